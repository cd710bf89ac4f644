// Runs the two halves of the unit list around every test program: the platform half, as the
// program hosting the platform does, then the system half, as the plug-in library does when
// it is loaded (and the reverse when it is unloaded).
#include "Units.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

class UnitsEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    // Every test program gets a desktop of its own (inherited by the processes it starts),
    // so that windows of tests running in parallel never find each other.
    if (std::getenv("KRX_DESKTOP_DIR") == nullptr) {
      std::string pattern =
          (std::filesystem::temp_directory_path() / "krx-desktop-test-XXXXXX").string();
      if (::mkdtemp(pattern.data()) != nullptr) {
        FDesktop = pattern;
        ::setenv("KRX_DESKTOP_DIR", pattern.c_str(), 1);
      }
    }
    // The same for the folders and registry hives the units write to at start-up.
    if (!FDesktop.empty()) {
      for (auto [name, sub] :
           {std::pair{"KRX_SHELL_ROOT", "shell"}, {"KRX_REGISTRY_DIR", "registry"}})
        if (std::getenv(name) == nullptr) {
          ::setenv(name, (std::filesystem::path(FDesktop) / sub).string().c_str(), 1);
          FRerooted.push_back(name);
        }
    }
    krx::InitializeUnits(krx::PlatformUnits());
    krx::InitializeUnits(krx::SystemUnits());
  }
  void TearDown() override {
    krx::FinalizeUnits(krx::SystemUnits());
    krx::FinalizeUnits(krx::PlatformUnits());
    if (!FDesktop.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(FDesktop, ec);
      ::unsetenv("KRX_DESKTOP_DIR");
    }
    for (const char *name : FRerooted)
      ::unsetenv(name);
  }

private:
  std::string FDesktop;
  std::vector<const char *> FRerooted;
};

} // namespace

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new UnitsEnvironment);
  return RUN_ALL_TESTS();
}
