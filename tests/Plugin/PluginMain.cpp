// The host side of the plug-in tests runs only the platform half of the unit list: the
// system half is the plug-in's own, run when the library is loaded.
#include "Platform/PlatformUnits.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class PlatformEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "krx-plugin-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
      FRoot = pattern;
      for (auto [name, sub] : {std::pair{"KRX_DESKTOP_DIR", "desktop"},
                               {"KRX_SHELL_ROOT", "shell"},
                               {"KRX_REGISTRY_DIR", "registry"}})
        ::setenv(name, (std::filesystem::path(FRoot) / sub).string().c_str(), 1);
      std::filesystem::create_directories(std::filesystem::path(FRoot) / "desktop");
    }
    krx::InitializeUnits(krx::PlatformUnits());
  }
  void TearDown() override {
    krx::FinalizeUnits(krx::PlatformUnits());
    std::error_code ec;
    if (!FRoot.empty())
      std::filesystem::remove_all(FRoot, ec);
  }

private:
  std::string FRoot;
};

} // namespace

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new PlatformEnvironment);
  return RUN_ALL_TESTS();
}
