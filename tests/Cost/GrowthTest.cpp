// The parser's cost on extreme but legal inputs grows about linearly with their size. Each
// input is parsed at a first size and after three doublings; the larger may cost little more
// than eight times the first (quadratic growth gives 64), in counts that the machine's load
// cannot move (Counters.h). Time is measured by bench/extreme.cpp, never judged here.
#include "Cost/Counters.h"
#include "support/ExplorerSupport.h"
#include "support/KrxTest.h"

#include <chrono>
#include <filesystem>

namespace krx::test {
namespace {

// `line` n times (every `every`-th of them), "#" standing for a number of fixed width.
std::string Lines(const std::string &line, int n, int every = 1) {
  std::string r;
  for (int i = 0; i < n; i += every) {
    std::string l = line;
    for (std::size_t at; (at = l.find('#')) != std::string::npos;)
      l.replace(at, 1, std::to_string(1000000 + n - i));
    r += l;
  }
  return r;
}

struct TInput {
  const char *What;
  int FirstSize;
  std::string Head, Open, Close, Tail;
  std::string Delegates; // a line of the global delegates file, when the input has one
};

TCost CostOf(const TInput &in, int n) {
  namespace fs = std::filesystem;
  const fs::path file(StringToUtf8(TDelphiModuleExplorer::GetGlobalDelegatesFileName()));
  const bool delegates = !in.Delegates.empty();
  const String text =
      Utf8ToString(in.Head + Lines(in.Open, n, delegates ? 64 : 1) + Lines(in.Close, n) + in.Tail);
  if (delegates)
    WriteFileBytes(file, Lines(in.Delegates, n));
  static int minutes = 0; // a new time for every run, so that the file is read again
  const TCost cost = CostOfWork([&] {
    if (delegates)
      fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(1) +
                                    std::chrono::minutes(++minutes));
    Explore(text); // parsed, then freed
  });
  if (delegates)
    fs::remove(file);
  return cost;
}

TEST(Growth, ExtremeInputsCostAboutLinearly) {
  const TInput inputs[] = {
      {"nested regions", 4000, "unit U;\n", "{$REGION r}\n", "{$ENDREGION}\n", "end.", ""},
      {"nested local routines", 4000, "unit U;\ninterface\nimplementation\n", "procedure P;\n",
       "begin end;\n", "end.", ""},
      {"nested classes", 400, "unit U;\ninterface\ntype\n", "T = class\ntype\n", "end;\n",
       "implementation\nend.", ""},
      {"defines (in descending order)", 4000, "unit U;\n", "{$DEFINE D#}\n", "", "end.", ""},
      {"global delegates file, valid and invalid lines", 4000,
       "unit U;\ninterface\ntype T = class\n", "  property P#: TEv# read F write F;\n", "",
       "end;\nend.", "TEv# = procedure of object;\n1bad#\n"},
  };
  for (const TInput &in : inputs) {
    const TCost first = CostOf(in, in.FirstSize), last = CostOf(in, 8 * in.FirstSize);
    EXPECT_TRUE(GrewAtMost(first, last, 12)) << in.What << ": " << first << ", then " << last;
  }
}

// A qualified name costs its length, however deep the item stands: the model itself does not
// bound nesting (only the parser does), and building the name by prepending each owner's made
// deeply nested classes cost cubic time.
TEST(Growth, QualifiedNamesCostTheirLength) {
  const auto cost = [](int depth) {
    TModuleItem module;
    TCodeItem *item = &module;
    for (int i = 0; i < depth; ++i)
      item = Named<TClassItem>(item, u"TNameOfSixteen__");
    return CostOfWork([item] {
      for (int i = 0; i < 200; ++i)
        EXPECT_FALSE(item->GetQualifiedName().empty());
    });
  };
  const TCost first = cost(200), last = cost(1600);
  EXPECT_TRUE(GrewAtMost(first, last, 12)) << first << ", then " << last;
}

} // namespace
} // namespace krx::test
