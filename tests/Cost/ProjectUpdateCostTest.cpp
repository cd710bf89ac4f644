// A project update whose removals come before the adds of the same names (all of them dropped)
// costs about what the document's size does (Counters.h says how cost is counted).
#include "Cost/Counters.h"
#include "KR4expt/PrjFileUpdates.h"
#include "XML/KRXMLDOM.h"
#include "support/KrxTest.h"

namespace krx::test {
namespace {

TEST(ProjectUpdateCost, DroppingRemovalsGrowsLinearlyWithTheDocument) {
  TempDir dir;
  const auto cost = [&](int pairs) {
    std::string text = "<Files language='Object Pascal'>";
    for (const char *op : {"remove", "add"})
      for (int i = 0; i < pairs; ++i)
        text += "<File operation='" + std::string(op) + "' name='u" + std::to_string(i) + ".pas'/>";
    WriteFileBytes(dir / "u.xml", text + "</Files>");
    return CostOfWork([&] {
      TProjectFileUpdates u;
      u.LoadFromFile(dir.Str("u.xml"));
      EXPECT_EQ(u.Root()->ChildCount(), pairs);
    });
  };
  // Eight times the entries: linear growth gives 8.
  const TCost first = cost(6000), last = cost(48000);
  EXPECT_TRUE(GrewAtMost(first, last, 12)) << first << ", then " << last;
}

} // namespace
} // namespace krx::test
