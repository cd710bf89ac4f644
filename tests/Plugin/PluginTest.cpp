// The expert as the IDE meets it: the real plug-in library loaded into the test IDE host with
// dlopen, observed only through what it does to the IDE and to the registry.
#include "testide/PluginHost.h"
#include <gtest/gtest.h>

#include "Platform/Registry/Registry.h"
#include "Platform/Vcl/ComCtrls.h"

#include <chrono>
#include <thread>

namespace krx::test {
namespace {

using testide::TPluginLoader;
using testide::TTestIDE;

const String kSettings22 = u"Software\\Kestrune\\Kestrune\\11.0\\BDS22Expert";
const String kSettings20 = u"Software\\Kestrune\\Kestrune\\11.0\\BDS20Expert";

void Pump(int milliseconds) { testide::PumpMessages(std::chrono::milliseconds(milliseconds)); }

class PluginTest : public ::testing::Test {
protected:
  void SetUp() override {
    TRegistry reg;
    reg.DeleteKey(u"Software\\Kestrune");
  }
  bool Load() {
    SplashScreenServices = &IDE;
    const bool ok = Loader.Load(KRX_PLUGIN_FILE);
    SplashScreenServices = nullptr;
    return ok;
  }
  std::string Events(const std::string &event) {
    std::string all;
    for (const auto &l : IDE.Log.Find(event))
      all += l + "\n";
    return all;
  }
  std::vector<std::string> Menu() { return IDE.NTA->MenuLines(); }
  static void Write(const String &key, const std::function<void(TRegistry &)> &f) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(key, true));
    f(reg);
  }
  static String ReadString(const String &key, const String &name) {
    TRegistry reg(KEY_READ);
    return reg.OpenKeyReadOnly(key) && reg.ValueExists(name) ? reg.ReadString(name) : u"<none>";
  }

  TTestIDE IDE;
  TPluginLoader Loader{IDE};
};

TEST_F(PluginTest, LoadsAndUnloadsTwiceLeavingNothingBehind) {
  const auto before = Menu();
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(Load()) << Events("plugin.load");
    EXPECT_NE(Events("wizard.add").find("\"index\":" + std::to_string(round)), std::string::npos)
        << Events("wizard.add");
    EXPECT_EQ(IDE.Theming.NotifierCount(), 1);
    Pump(round == 0 ? 0 : 400); // the second round lets the start-up timer run
    EXPECT_TRUE(Loader.Unload()) << "the library is still loaded";
    Pump(300); // no timer or window of the library is left to call into it
    EXPECT_EQ(IDE.RegistrationCount(), 0);
    EXPECT_TRUE(IDE.NTA->Actions().empty());
    EXPECT_EQ(Menu(), before);
  }
  EXPECT_EQ(IDE.Log.Find("wizard.remove").size(), 2u);
}

// A library without the wizard entry is let go again: the host is as it was, and the plug-in
// loads afterwards.
TEST_F(PluginTest, AFailedLoadLeavesTheHostAsItWas) {
  EXPECT_FALSE(Loader.Load(KRX_PLATFORM_FILE));
  EXPECT_EQ(Loader.Error(), u"no wizard entry");
  EXPECT_FALSE(Loader.Loaded());
  EXPECT_TRUE(Load()) << StringToUtf8(Loader.Error());
}

TEST_F(PluginTest, AfterDestroyedTheTerminateProcedureRemovesNothing) {
  ASSERT_TRUE(Load());
  EXPECT_TRUE(Loader.Unload(/*destroyedFirst=*/true));
  EXPECT_TRUE(IDE.Log.Find("wizard.remove").empty());
  EXPECT_EQ(IDE.RegistrationCount(), 0);
}

TEST_F(PluginTest, WizardAboutBoxAndSplashEntries) {
  ASSERT_TRUE(Load());
  const std::string wizard = Events("wizard.add");
  EXPECT_NE(wizard.find("\"id\":\"Kestrune Tools.Kestrune Integration Wizard\""),
            std::string::npos);
  EXPECT_NE(wizard.find("\"name\":\"Kestrune integration expert\""), std::string::npos) << wizard;
  const std::string about = Events("about.add"), splash = Events("splash.add");
  EXPECT_NE(about.find("\"title\":\"Kestrune\xE2\x84\xA2 11 Integration Addin\""),
            std::string::npos);
  EXPECT_NE(about.find("\"version\":\"Version 11.0.0 build 1\""), std::string::npos) << about;
  EXPECT_NE(about.find("\"image\":\"48x48\""), std::string::npos) << about;
  EXPECT_NE(splash.find("\"version\":\"version 11.0.0 build 1\""), std::string::npos) << splash;
  EXPECT_NE(splash.find("\"image\":\"24x24\""), std::string::npos) << splash;
}

TEST_F(PluginTest, TheMenuGoesBeforeWindowAndHelpAndTheActionsShowOurImages) {
  ASSERT_TRUE(Load());
  const auto menu = Menu();
  const auto at = [&](const std::string &prefix) {
    return std::find_if(menu.begin(), menu.end(),
                        [&](const std::string &l) { return l.rfind(prefix, 0) == 0; }) -
           menu.begin();
  };
  EXPECT_LT(at("Tools"), at("Kestrune"));
  EXPECT_LT(at("Kestrune"), at("Window"));
  // Of the fourteen actions the visualise one is freed before the others go to the IDE.
  EXPECT_EQ(IDE.Log.Find("action.add").size(), 13u);
  EXPECT_EQ(IDE.NTA->Actions().size(), 13u);
  for (TCustomAction *a : IDE.NTA->Actions())
    EXPECT_EQ(IDE.NTA->ImageList()
                  ->GetNameByIndex(a->ImageIndex())
                  .rfind(u"KRXTrailScope.KRImageList.", 0),
              0u)
        << StringToUtf8(a->Name());
}

TEST_F(PluginTest, SettingsOfAnOlderIDEAreTakenOverAndSavedUnderThisOne) {
  Write(kSettings20, [](TRegistry &r) {
    r.WriteBool(u"AutoRefresh", true);
    r.WriteBool(u"ToolsMenuExpert", true);
    r.WriteString(u"ForeGndMode", u"x");
  });
  Write(kSettings20 + u"\\KeyBindings", [](TRegistry &r) {
    r.WriteString(u"KRExptJumpItem", u"");
    r.WriteString(u"KRExptAddItem", u"Ctrl+F9");
    r.WriteString(u"VisualizeItem", u"Ctrl+Num +"); // hidden items keep their bindings
    r.WriteString(u"KRExptRunCSharpEditionItem", u"Ctrl+/");
  });
  ASSERT_TRUE(Load());
  Pump(600);
  const auto menu = Menu();
  const auto tools = std::find_if(menu.begin(), menu.end(),
                                  [](const std::string &l) { return l.rfind("Tools", 0) == 0; });
  ASSERT_NE(tools, menu.end());
  EXPECT_EQ((tools + 1)->rfind("  Kestrune", 0), 0u) << *(tools + 1);
  ASSERT_TRUE(Loader.Unload());
  // A mode that cannot be read is not taken over: it stays where it is stored.
  EXPECT_EQ(ReadString(kSettings22, u"ForeGndMode"), u"<none>");
  EXPECT_EQ(ReadString(kSettings20, u"ForeGndMode"), u"x");
  const String bindings = kSettings22 + u"\\KeyBindings";
  EXPECT_EQ(ReadString(bindings, u"KRExptJumpItem"), u"");
  EXPECT_EQ(ReadString(bindings, u"KRExptAddItem"), u"Ctrl+F9");
  EXPECT_EQ(ReadString(bindings, u"KRExptRefreshItem"), u"Shift+Ctrl+Alt+R");
  EXPECT_EQ(ReadString(bindings, u"VisualizeItem"), u"Ctrl+Num +");
  EXPECT_EQ(ReadString(bindings, u"KRExptRunCSharpEditionItem"), u"Ctrl+/");
  TRegistry reg(KEY_READ);
  ASSERT_TRUE(reg.OpenKeyReadOnly(kSettings22));
  EXPECT_TRUE(reg.ReadBool(u"AutoRefresh"));
  EXPECT_TRUE(reg.ReadBool(u"ToolsMenuExpert"));
}

TEST_F(PluginTest, AnUnloadBeforeTheSettingsWereReadKeepsWhatTheUserStored) {
  Write(kSettings22, [](TRegistry &r) { r.WriteBool(u"AutoRefresh", true); });
  ASSERT_TRUE(Load());
  ASSERT_TRUE(Loader.Unload());
  TRegistry reg(KEY_READ);
  ASSERT_TRUE(reg.OpenKeyReadOnly(kSettings22));
  EXPECT_TRUE(reg.ReadBool(u"AutoRefresh"));
  EXPECT_FALSE(reg.ValueExists(u"WarnAutoRefresh"));
}

// The menu cannot go into a Tools menu the IDE lacks, but the user's choice is kept.
TEST_F(PluginTest, AMissingToolsMenuKeepsTheFlagAndAnUnknownForegroundModeIsKept) {
  TMenuItem *tools = IDE.NTA->FindByCaptionPath(u"Tools");
  tools->SetName(u"OtherMenu");
  Write(kSettings22, [](TRegistry &r) {
    r.WriteBool(u"ToolsMenuExpert", true);
    r.WriteString(u"ForeGndMode", u"7");
  });
  ASSERT_TRUE(Load());
  Pump(600);
  ASSERT_TRUE(Loader.Unload());
  TRegistry reg(KEY_READ);
  ASSERT_TRUE(reg.OpenKeyReadOnly(kSettings22));
  EXPECT_TRUE(reg.ReadBool(u"ToolsMenuExpert"));
  EXPECT_EQ(reg.ReadString(u"ForeGndMode"), u"7");
  tools->SetName(u"ToolsMenu");
}

// A stored binding that cannot be read is left in the registry as it was, and its item keeps
// its shortcut, until the user gives that item another one.
TEST_F(PluginTest, AStoredBindingThatCannotBeReadIsKeptUntilTheUserChangesIt) {
  const String bindings = kSettings22 + u"\\KeyBindings";
  Write(bindings, [](TRegistry &r) {
    r.WriteInteger(u"KRExptJumpItem", 77);
    r.WriteString(u"KRExptAddItem", u"Ctrl+Nothing");
    r.WriteInteger(u"KRExptRunItem", 1);
  });
  ASSERT_TRUE(Load());
  Pump(600);
  TScriptedModal options({[](TCustomForm &f) {
    auto *pages = dynamic_cast<TPageControl *>(FindControl(&f, u"PageControl"));
    pages->SetActivePage(dynamic_cast<TTabSheet *>(FindControl(&f, u"BindingsSheet")));
    auto *list = dynamic_cast<TListView *>(FindControl(&f, u"ListView"));
    // Every command of the menu, the hidden ones included.
    std::vector<String> commands;
    for (Integer i = 0; i < list->Items().Count(); ++i)
      commands.push_back(list->Items()[i]->Caption());
    EXPECT_EQ(commands.size(), 14u);
    for (const Char *hidden : {u"Visualize source file", u"Run Kestrune C# Edition"})
      EXPECT_NE(std::find(commands.begin(), commands.end(), hidden), commands.end());
    list->SetFocus();
    PressKey(f, u'K', {ssCtrl}); // the first command, "Run Kestrune Pascal Edition"
    ClickControl(FindControl(&f, u"OKBtn"));
  }});
  IDE.NTA->FindByCaptionPath(u"Kestrune/Integration Options...")->Click();
  const auto menu = Menu();
  EXPECT_NE(
      std::find(menu.begin(), menu.end(), "  Jump to Kestrune [KRExptJumpItem] Shift+Ctrl+Alt+M"),
      menu.end())
      << ::testing::PrintToString(menu);
  ASSERT_TRUE(Loader.Unload());
  TRegistry reg(KEY_READ);
  ASSERT_TRUE(reg.OpenKeyReadOnly(bindings));
  EXPECT_EQ(reg.ReadInteger(u"KRExptJumpItem"), 77);
  EXPECT_EQ(reg.ReadString(u"KRExptAddItem"), u"Ctrl+Nothing");
  EXPECT_EQ(reg.ReadString(u"KRExptRunItem"), u"Ctrl+K");
}

} // namespace
} // namespace krx::test
