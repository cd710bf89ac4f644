#include "Platform/Rtl/SysUtils.h"
#include "Platform/Rtl/UnitInit.h"

#include <gtest/gtest.h>

#include <string>

namespace krx {
namespace {

std::string gLog;

void InitA() { gLog += "+a"; }
void FinA() { gLog += "-a"; }
void InitB() { gLog += "+b"; }
void FinB() { gLog += "-b"; }
void InitFails() { throw Exception(u"no"); }

constexpr TUnitEntry kHalfOne[] = {{"A", InitA, FinA}, {"B", InitB, FinB}};
constexpr TUnitEntry kHalfTwo[] = {{"B", InitB, FinB}};
constexpr TUnitEntry kFailing[] = {{"A", InitA, FinA}, {"X", InitFails, FinB}};

// The two halves of the list (platform, system) start and end independently, as a plug-in
// that is unloaded finalises only its own half.
TEST(UnitGroups, EachListIsFinalisedOnItsOwn) {
  gLog.clear();
  InitializeUnits(kHalfOne);
  InitializeUnits(kHalfTwo);
  InitializeUnits(kHalfOne); // already running: not run twice
  FinalizeUnits(kHalfOne);
  EXPECT_TRUE(UnitsInitialized(kHalfTwo));
  EXPECT_FALSE(UnitsInitialized(kHalfOne));
  FinalizeUnits(kHalfTwo);
  FinalizeUnits(kHalfTwo); // not running: nothing
  EXPECT_EQ(gLog, "+a+b+b-b-a-b");
}

TEST(UnitGroups, AFailingStartFinalisesOnlyItsOwnGroup) {
  gLog.clear();
  InitializeUnits(kHalfTwo);
  EXPECT_THROW(InitializeUnits(kFailing), Exception);
  EXPECT_FALSE(UnitsInitialized(kFailing));
  EXPECT_TRUE(UnitsInitialized(kHalfTwo));
  FinalizeUnits(kHalfTwo);
  EXPECT_EQ(gLog, "+b+a-a-b");
}

} // namespace
} // namespace krx
