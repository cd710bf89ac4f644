#include "HostFixture.h"

#include "Platform/Rtl/Files.h"
#include "ToolsApi/OTANotifiers.h"

#include <memory>

namespace krx::test {
namespace {

class NotifiersTest : public HostTest {
protected:
  void Install() {
    N = std::make_unique<TOTANotifications>();
    N->OnFileNotification = [this](TOTAFileNotification code, const String &name, bool &) {
      if (code == ofnFileOpened)
        Events.push_back(u"opened " + ExtractFileName(name));
    };
    N->OnModuleSaved = [this](IOTAModule *m) {
      Events.push_back(u"saved " + ExtractFileName(m->FileName()));
    };
    N->OnModuleRenamed = [this](IOTAModule *, const String &o, const String &n) {
      Events.push_back(u"renamed " + ExtractFileName(o) + u" " + ExtractFileName(n));
    };
  }
  std::unique_ptr<TOTANotifications> N;
  std::vector<String> Events;
};

TEST_F(NotifiersTest, FollowsOpenSaveRenameAndClose) {
  OpenBuffer("a.pas", "unit a;");
  Install();
  EXPECT_EQ(N->ModuleNotifierCount(), 1);
  EXPECT_EQ(N->EditorNotifierCount(), 1);
  auto b = OpenBuffer("b.pas", "unit b;");
  b->SetText("unit b; // changed", "type");
  IDE.FindHostModule(Dir.Str("b.pas"))->Save(false, false);
  IDE.FindHostModule(Dir.Str("b.pas"))->Rename(Dir.Str("c.pas"));
  EXPECT_EQ(Events, (std::vector<String>{u"opened b.pas", u"saved b.pas", u"renamed b.pas c.pas"}));
  EXPECT_EQ(N->ModuleNotifierCount(), 2);
  IDE.Close(Dir.Str("c.pas"));
  EXPECT_EQ(N->ModuleNotifierCount(), 1);
  EXPECT_EQ(N->EditorNotifierCount(), 1);
}

TEST_F(NotifiersTest, AModuleGetsOneModuleNotifierAndOneSaveEvent) {
  Install();
  const String a = File("a.pas", "unit a;");
  IDE.Open(a);
  bool cancel = false;
  N->IDENotifier()->FileNotification(ofnFileOpened, a, cancel);
  EXPECT_EQ(N->ModuleNotifierCount(), 1);
  IDE.FindHostModule(a)->Save(false, true);
  EXPECT_EQ(Events.back(), u"saved a.pas");
  EXPECT_EQ(std::count(Events.begin(), Events.end(), u"saved a.pas"), 1);
}

TEST_F(NotifiersTest, AFileWithoutModuleIsSwallowed) {
  Install();
  bool cancel = false;
  N->IDENotifier()->FileNotification(ofnFileOpened, Dir.Str("ghost.pas"), cancel);
  EXPECT_TRUE(Events.empty());
}

TEST_F(NotifiersTest, AUnitFirstReportedUnderItsFormIsAnnouncedOnceItReportsItself) {
  Install();
  IDE.Open(File("f.pas", "unit f;"), /*withForm=*/true);
  EXPECT_TRUE(Events.empty());
  EXPECT_EQ(N->IDENotifier()->PendingCount(), 1);
  IDE.SettleModules();
  ASSERT_TRUE(PumpUntil([&] { return !Events.empty(); }));
  EXPECT_EQ(Events, std::vector<String>{u"opened f.pas"});
}

// However long the IDE takes to report the unit (here the clock jumps a minute ahead), the
// unit is announced once it does; only a unit no longer open is dropped.
TEST_F(NotifiersTest, AWaitingUnitIsAnnouncedHoweverLateAndDroppedOnlyWhenClosed) {
  Install();
  IDE.Open(File("f.pas", "unit f;"), /*withForm=*/true);
  IDE.Open(File("g.pas", "unit g;"), /*withForm=*/true);
  ASSERT_EQ(N->IDENotifier()->PendingCount(), 2);
  IDE.Close(Dir.Str("g.pas"));
  struct TClockAhead {
    TClockAhead() { SetTickCountBias(60000); }
    ~TClockAhead() { SetTickCountBias(0); }
  } clock;
  ASSERT_TRUE(PumpUntil([&] { return N->IDENotifier()->PendingCount() == 1; }));
  IDE.SettleModules();
  ASSERT_TRUE(PumpUntil([&] { return !Events.empty(); }));
  EXPECT_EQ(Events, std::vector<String>{u"opened f.pas"});
  EXPECT_EQ(N->IDENotifier()->PendingCount(), 0);
}

TEST_F(NotifiersTest, TeardownUnregistersEverythingItRegistered) {
  OpenBuffer("a.pas", "unit a;");
  Install();
  OpenBuffer("b.pas", "unit b;");
  EXPECT_EQ(IDE.RegistrationCount(), 5);
  N.reset();
  EXPECT_EQ(IDE.RegistrationCount(), 0);
  EXPECT_TRUE(IDE.Log.Find("notifier.remove").size() == 5);
  for (const auto &line : IDE.Log.Find("notifier.remove"))
    EXPECT_NE(line.find("\"known\":true"), std::string::npos) << line;
}

TEST_F(NotifiersTest, TeardownWithoutIDEServicesStillUnregistersFromModulesAndEditors) {
  OpenBuffer("a.pas", "unit a;");
  Install();
  IDE.SetServiceMissing(IOTAIDEServices::IID, true);
  N.reset();
  EXPECT_EQ(IDE.RegistrationCount(), 1); // the IDE notifier only
}

TEST_F(NotifiersTest, AProjectGetsAnEditorNotifierOnItsOwnSource) {
  File("Pkg.dpk", "package Pkg;");
  Install();
  IDE.AddProject(Dir.Str("Pkg.dproj"), u"Delphi.Personality", u"Package", {});
  EXPECT_EQ(N->ModuleNotifierCount(), 1);
  EXPECT_EQ(N->EditorNotifierCount(), 1);
  EXPECT_EQ(IDE.FindBuffer(Dir.Str("Pkg.dpk"))->NotifierCount(), 1);
}

} // namespace
} // namespace krx::test
