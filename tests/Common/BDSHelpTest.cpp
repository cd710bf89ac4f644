#include "Common/BDSHelp.h"

#include "Platform/Registry/Registry.h"
#include "Platform/Shell/ShellApi.h"
#include "support/KrxTest.h"

#include <gtest/gtest.h>

#include <vector>

namespace krx {
namespace {

class BDSHelpTest : public ::testing::Test {
protected:
  void SetUp() override {
    FOldHook = SetShellExecuteHook([this](const TShellExecuteRequest &r) {
      Calls.push_back(r);
      return Answer;
    });
  }
  void TearDown() override { SetShellExecuteHook(std::move(FOldHook)); }

  static void Write(HKEY root, StringView key, StringView name, StringView value) {
    TRegistry reg;
    reg.SetRootKey(root);
    ASSERT_TRUE(reg.OpenKey(key, true));
    reg.WriteString(name, value);
  }

  test::TempDir Dir;
  test::EnvGuard Env{"KRX_REGISTRY_DIR", Dir.Path().string()};
  std::vector<TShellExecuteRequest> Calls;
  HINSTANCE Answer = 42;

private:
  TShellExecuteHook FOldHook;
};

TEST_F(BDSHelpTest, NamespaceFromTheRegistryOrBuiltIn) {
  EXPECT_EQ(HelpNamespace(5), u"borland.bds");
  EXPECT_EQ(HelpNamespace(0), u"embarcadero.rs_xe9");
  EXPECT_EQ(HelpNamespace(3), u"embarcadero.rs_xe12");
  Write(HKEY_CURRENT_USER, u"Software\\Embarcadero\\BDS\\22.0\\Help", u"HtmlHelp2NameSpace",
        u"embarcadero.rs_alexandria");
  EXPECT_EQ(HelpNamespace(5), u"embarcadero.rs_alexandria");
  EXPECT_EQ(DocumentExplorerPath(), u"");
}

TEST_F(BDSHelpTest, StartsDocumentExplorerOnlyForAnInstalledIDE) {
  const String dexplore = u"C:\\Program Files\\Common Files\\Microsoft Shared\\dexplore.exe";
  Write(HKEY_LOCAL_MACHINE,
        u"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\dexplore.exe", u"", dexplore);
  EXPECT_EQ(DocumentExplorerPath(), dexplore);
  EXPECT_FALSE(ShowBDSHelp(5)); // no BDS key under HKEY_LOCAL_MACHINE
  EXPECT_TRUE(Calls.empty());

  Write(HKEY_LOCAL_MACHINE, u"Software\\Embarcadero\\BDS\\22.0", u"RootDir", u"C:\\BDS");
  EXPECT_TRUE(ShowBDSHelp(5));
  ASSERT_EQ(Calls.size(), 1u);
  EXPECT_EQ(Calls[0].Operation, u"");
  EXPECT_EQ(Calls[0].File, dexplore);
  EXPECT_EQ(Calls[0].Parameters, u"/helpcol ms-help://borland.bds");
  EXPECT_EQ(Calls[0].Directory, u"");
  EXPECT_EQ(Calls[0].ShowCmd, 1);

  Answer = 2; // the shell reports a failure
  EXPECT_FALSE(ShowBDSHelp(5));
}

TEST_F(BDSHelpTest, ADamagedRegistryGivesEmptyResults) {
  test::WriteFileBytes(RegistryHiveFile(HKEY_LOCAL_MACHINE), "not a registry file\r\n[");
  test::WriteFileBytes(RegistryHiveFile(HKEY_CURRENT_USER), "garbage");
  EXPECT_EQ(DocumentExplorerPath(), u"");
  EXPECT_EQ(HelpNamespace(5), u"");
  EXPECT_FALSE(ShowBDSHelp(5));
  EXPECT_TRUE(Calls.empty());
}

} // namespace
} // namespace krx
