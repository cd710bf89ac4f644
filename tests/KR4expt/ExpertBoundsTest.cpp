// What Kestrune's requests may cost the IDE: the test IDE host (krx-ide) runs the real
// plug-in, and this process plays Kestrune, sending as Kestrune's sender does (each send
// waits until the IDE took the call). Effects are read from the host's event log.
#include "ProcessSupport.h"

#include "KR4expt/CustomIDEPS.h"
#include "Platform/Win/Desktop.h"
#include "support/KrxTest.h"

#include <gmock/gmock.h>

#include <thread>

namespace krx {
namespace {

using namespace std::chrono_literals;

const std::string kIDE = test::ToolPath("testide/krx-ide").string();

const std::string kUnit = "unit Burst;\n"
                          "interface\n"
                          "type\n"
                          "  TShape = class\n"
                          "    procedure Draw(Canvas: TObject); overload;\n"
                          "    procedure Draw(X, Y: Integer); overload;\n"
                          "  end;\n"
                          "implementation\n"
                          "procedure TShape.Draw(Canvas: TObject);\n"
                          "begin\n"
                          "end;\n"
                          "procedure TShape.Draw(X, Y: Integer);\n"
                          "begin\n"
                          "end;\n"
                          "end.\n";

class TKestrune : public TCustomIDEProxy {
public:
  TKestrune() { SetRemoteName(u"_KR_BDS19_ENDPOINT"); }
  String DisplayName() const override { return u"IDE"; }
  void ShowHelp(const String &keyword) override { SendShowHelp(keyword); }
};

class ExpertBounds : public ::testing::Test {
protected:
  ExpertBounds()
      : FDesktop("KRX_DESKTOP_DIR", (Dir / "desktop").string()),
        FRegistry("KRX_REGISTRY_DIR", (Dir / "registry").string()),
        FShell("KRX_SHELL_ROOT", (Dir / "shell").string()) {
    ReopenDesktop();
  }
  ~ExpertBounds() override { ReopenDesktop(); }

  // Starts krx-ide on the script (followed by a long pump) and waits for its endpoint.
  std::unique_ptr<test::TChildProcess> StartIDE(const std::string &script) {
    test::WriteFileBytes(Dir / "script.ide", script + "pump 120000\n");
    auto ide = std::make_unique<test::TChildProcess>(
        std::vector<std::string>{kIDE, "--plugin", KRX_PLUGIN_FILE, "--script",
                                 (Dir / "script.ide").string()},
        Dir / "ide.out", Dir / "ide.err");
    for (int i = 0; i < 400 && !FindWindowW(UtilWindowClass, u"_KR_BDS19_ENDPOINT"); ++i)
      std::this_thread::sleep_for(50ms);
    return ide;
  }
  // The host's event lines of that name so far.
  std::vector<std::string> Events(const std::string &name) const {
    std::vector<std::string> out;
    for (const std::string &line : test::Lines(test::ReadFileBytes(Dir / "ide.out")))
      if (line.rfind("{\"event\":\"" + name + "\"", 0) == 0)
        out.push_back(line);
    return out;
  }
  // Waits (a minute at most) until the host logged an event of that name holding `text`.
  bool WaitForEvent(const std::string &name, const std::string &text) const {
    for (auto start = std::chrono::steady_clock::now();
         std::chrono::steady_clock::now() - start < 60s; std::this_thread::sleep_for(20ms))
      for (const std::string &e : Events(name))
        if (e.find(text) != std::string::npos)
          return true;
    return false;
  }

  test::TempDir Dir;

private:
  test::EnvGuard FDesktop, FRegistry, FShell;
};

// Navigation requests (1028, 1029, 1032) sent as fast as the IDE takes them cost it a few
// runs, not one each: a newer one takes the place of one still waiting. The IDE ends where
// the last puts it, and a request of another kind inside the burst still runs.
TEST_F(ExpertBounds, ABurstOfNavigationRequestsRunsAsItsLast) {
  const std::string unitPath = (Dir / "Burst.pas").string();
  test::WriteFileBytes(unitPath, kUnit);
  auto ide = StartIDE("open " + unitPath + "\n");
  TKestrune kestrune;
  ASSERT_TRUE(kestrune.Connected()) << ide->Error();
  const String unit = Utf8ToString(unitPath), answer = Utf8ToString((Dir / "e.ini").string());
  constexpr int kBurst = 300;
  int taken = 0;
  for (int i = 0; i < kBurst; ++i) {
    if (i == kBurst / 2)
      taken += kestrune.RequestEditorFiles(answer);
    if (i % 3 == 0)
      taken += kestrune.GotoLine(unit, 1 + i % 12, 1);
    else if (i % 3 == 1)
      taken += kestrune.OpenFile(unit);
    else
      taken += kestrune.JumpToLocation(unit, u"procedure", u"TShape", u"Draw", u"");
  }
  taken += kestrune.GotoLine(unit, 6, 9);
  EXPECT_EQ(taken, kBurst + 2);
  ASSERT_TRUE(WaitForEvent("view.cursor", "\"line\":6,\"col\":9")) << ide->Error();
  const auto cursors = Events("view.cursor");
  EXPECT_LT(cursors.size(), kBurst / 10u);
  EXPECT_THAT(cursors.back(), ::testing::HasSubstr("\"line\":6,\"col\":9"));
  EXPECT_THAT(test::ReadFileBytes(Dir / "e.ini"), ::testing::HasSubstr("TransferReady=1"));
  ide->Stop(20s);
}

} // namespace
} // namespace krx
