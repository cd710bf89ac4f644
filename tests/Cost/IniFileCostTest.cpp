// Reading an ini file, every value of it and writing every value again costs the same per
// section (or per key of one section) however many there are: nothing is found by scanning the
// others (Counters.h says how cost is counted).
#include "Cost/Counters.h"
#include "Platform/Rtl/IniFiles.h"
#include "support/KrxTest.h"

#include <gtest/gtest.h>

namespace krx::test {
namespace {

TEST(IniFileCost, LoadingAndLookupsCostTheSamePerSectionAndPerKey) {
  TempDir dir;
  const auto cost = [&](int sections, int keys) {
    std::string text;
    for (int s = 0; s < sections; ++s) {
      text += "[Section number " + std::to_string(s) + "]\n";
      for (int k = 0; k < keys; ++k)
        text += "Key number " + std::to_string(k) + "=v\n";
    }
    WriteFileBytes(dir / "big.ini", text);
    return CostOfWork([&] {
      TMemIniFile ini(dir.Str("big.ini"));
      for (int s = 0; s < sections; ++s) {
        const String section = u"SECTION NUMBER " + IntToStr(s);
        for (int k = 0; k < keys; ++k) {
          const String key = u"key number " + IntToStr(k);
          EXPECT_EQ(ini.ReadString(section, key, u""), u"v");
          ini.WriteString(section, key, u"w");
        }
      }
    });
  };
  // Eight times as many sections, or as many keys in one section: linear growth gives 8.
  const TCost sections = cost(1000, 1), moreSections = cost(8000, 1);
  EXPECT_TRUE(GrewAtMost(sections, moreSections, 12)) << sections << ", then " << moreSections;
  const TCost keys = cost(1, 1000), moreKeys = cost(1, 8000);
  EXPECT_TRUE(GrewAtMost(keys, moreKeys, 12)) << keys << ", then " << moreKeys;
}

} // namespace
} // namespace krx::test
