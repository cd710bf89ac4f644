// Settings as another program, an older expert or the user's own hand stored them, in types
// the expert does not write: the plug-in, loaded into the test IDE host (krx-ide), reads what
// it can at start-up and saves at unload; what it cannot read stays in the registry as it was.
// The hive file is written and read back as text, so every type is the file's own.
#include "ProcessSupport.h"

#include "Platform/Registry/Registry.h"
#include "support/KrxTest.h"

#include <gmock/gmock.h>

namespace krx {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;

const std::string kSettingsKey =
    "[HKEY_CURRENT_USER\\Software\\Kestrune\\Kestrune\\11.0\\BDS22Expert]\r\n";
const std::string kBindingsKey =
    "[HKEY_CURRENT_USER\\Software\\Kestrune\\Kestrune\\11.0\\BDS22Expert\\KeyBindings]\r\n";

class StoredSettings : public ::testing::Test {
protected:
  StoredSettings()
      : FDesktop("KRX_DESKTOP_DIR", (Dir / "desktop").string()),
        FRegistry("KRX_REGISTRY_DIR", (Dir / "registry").string()),
        FShell("KRX_SHELL_ROOT", (Dir / "shell").string()) {}

  // A hive holding the settings key and its bindings subkey with these value lines.
  void Seed(const std::string &settings, const std::string &bindings) {
    std::filesystem::create_directories(Dir / "registry");
    test::WriteFileBytes(RegistryHiveFile(HKEY_CURRENT_USER),
                         "Windows Registry Editor Version 5.00\r\n\r\n" + kSettingsKey + settings +
                             "\r\n" + kBindingsKey + bindings);
  }
  std::string Hive() const { return test::ReadFileBytes(RegistryHiveFile(HKEY_CURRENT_USER)); }

  // krx-ide loads the plug-in (whose start-up timer reads the settings), runs the script and
  // unloads it (which saves them); what it printed.
  std::string RunIDE(const std::string &script) {
    test::WriteFileBytes(Dir / "script.ide", script);
    test::TChildProcess ide({test::ToolPath("testide/krx-ide").string(), "--plugin",
                             KRX_PLUGIN_FILE, "--script", (Dir / "script.ide").string()},
                            Dir / "ide.out", Dir / "ide.err");
    EXPECT_EQ(ide.Wait(120s), 0) << ide.Error();
    return ide.Output();
  }

  test::TempDir Dir;

private:
  test::EnvGuard FDesktop, FRegistry, FShell;
};

TEST_F(StoredSettings, ANumberOfEitherTypeIsReadAndAnythingElseIsKeptAsStored) {
  const struct {
    std::string Stored, Saved;
  } settings[] = {
      {R"("ForeGndMode"=dword:00000002)", R"("ForeGndMode"="2")"},
      {R"("AutoRefresh"="yes")", R"("AutoRefresh"="yes")"},
      {R"("ToolsMenuExpert"="1")", R"("ToolsMenuExpert"=dword:00000001)"},
      {R"("ForeGndFocusEditor"=hex(2):31,00,00,00)", R"("ForeGndFocusEditor"=dword:00000001)"},
      {R"("ForeGndDelayed"=hex(2):25,00,58,00,25,00,00,00)",
       R"("ForeGndDelayed"=hex(2):25,00,58,00,25,00,00,00)"},
      {R"("LockRefreshOnRun"=hex:01)", R"("LockRefreshOnRun"=hex:01)"},
      {R"("WarnAutoRefresh"="0")", R"("WarnAutoRefresh"=dword:00000000)"},
  };
  // Keys the class library names through Windows, not from its own table.
  const std::pair<std::string, std::string> bindings[] = {
      {"KRExptJumpItem", "Ctrl+Pause"},           {"KRExptRefreshItem", "Shift+Scroll Lock"},
      {"KRExptAddItem", "Alt+Num Lock"},          {"KRExptConvertItem", "Caps Lock"},
      {"KRExptOpenModelItem", "Shift+Prnt Scrn"}, {"KRExptSyncModelItem", "Ctrl+Application"},
  };
  std::string settingLines, bindingLines;
  for (const auto &s : settings)
    settingLines += s.Stored + "\r\n";
  for (const auto &[item, text] : bindings)
    bindingLines += "\"" + item + "\"=\"" + text + "\"\r\n";
  Seed(settingLines, bindingLines);

  const std::string out = RunIDE("menu\n");
  EXPECT_THAT(out, HasSubstr("menu:   Kestrune [KRExptMainItem]\n")); // in the Tools menu
  const std::string hive = Hive();
  for (const auto &s : settings)
    EXPECT_THAT(hive, HasSubstr(s.Saved + "\r\n"));
  for (const auto &[item, text] : bindings) {
    EXPECT_THAT(out, HasSubstr("[" + item + "] " + text + "\n"));
    EXPECT_THAT(hive, HasSubstr("\"" + item + "\"=\"" + text + "\"\r\n"));
  }
}

// What the user sets in the options dialog is saved, also when it comes back to the value the
// module held in place of a value kept as stored.
TEST_F(StoredSettings, TheUsersChoiceReplacesAKeptValueEachTimeItIsMade) {
  Seed("\"AutoRefresh\"=\"yes\"\r\n\"WarnAutoRefresh\"=dword:00000000\r\n",
       "\"KRExptJumpItem\"=dword:0000004d\r\n");
  const auto dialog = [&](const std::string &name, const std::string &steps) {
    test::WriteFileBytes(Dir / name, steps + "click OKBtn\n");
    return "dialog script " + (Dir / name).string() +
           "\nmenu \"Kestrune/Integration Options...\"\n";
  };
  const std::string bindingsPage = "select PageControl 1\nitem ListView 2\n";
  RunIDE(dialog("on.dlg", "click AutoRefreshBox\n" + bindingsPage + "key Ctrl+J\n") +
         dialog("off.dlg", "click AutoRefreshBox\n" + bindingsPage + "key Shift+Ctrl+Alt+M\n"));
  const std::string hive = Hive();
  EXPECT_THAT(hive, HasSubstr("\"AutoRefresh\"=dword:00000000\r\n"));
  EXPECT_THAT(hive, HasSubstr("\"KRExptJumpItem\"=\"Shift+Ctrl+Alt+M\"\r\n"));
}

} // namespace
} // namespace krx
