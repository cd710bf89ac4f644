// Runs the process-wide unit list around every test program, as the plug-in library does
// when it is loaded and unloaded.
#include "Units.h"

#include <gtest/gtest.h>

namespace {

class UnitsEnvironment : public ::testing::Environment {
public:
  void SetUp() override { krx::InitializeUnits(krx::AllUnits()); }
  void TearDown() override { krx::FinalizeUnits(); }
};

} // namespace

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new UnitsEnvironment);
  return RUN_ALL_TESTS();
}
