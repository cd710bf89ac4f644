// What Kestrune's requests may cost the IDE: the test IDE host (krx-ide) runs the real
// plug-in, and this process plays Kestrune, sending as Kestrune's sender does (each send
// waits until the IDE took the call). Effects are read from the host's event log.
#include "ProcessSupport.h"

#include "KR4expt/CustomIDEPS.h"
#include "KR4expt/KR4ExptDM.h"
#include "Platform/Win/Desktop.h"
#include "support/KrxTest.h"

#include <gmock/gmock.h>

#include <thread>

namespace krx {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;

constexpr int kMaxFiles = static_cast<int>(TKR4ExptDataModule::MaxKestruneFiles);

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
  // Run one by one, the burst moves the cursor about 200 times. A pause of the sender longer
  // than the settle time lets one navigation run early, so the bound leaves room for many
  // such pauses on a loaded machine.
  EXPECT_LT(cursors.size(), kBurst / 3u) << cursors.size() << " cursor moves";
  EXPECT_THAT(cursors.back(), HasSubstr("\"line\":6,\"col\":9"));
  EXPECT_THAT(test::ReadFileBytes(Dir / "e.ini"), HasSubstr("TransferReady=1"));
  ide->Stop(20s);
}

// Files opened at Kestrune's requests stay open for it within a bound: the request for one
// more file beyond it is refused with a message naming the file and the bound, and opens
// nothing. Files that were open already cost nothing more.
TEST_F(ExpertBounds, RequestsOpenNoMoreFilesThanTheBound) {
  std::vector<String> files;
  for (int i = 0; i <= kMaxFiles; ++i) {
    files.push_back(Utf8ToString((Dir / ("U" + std::to_string(i) + ".pas")).string()));
    test::WriteFileBytes(StringToUtf8(files.back()), kUnit);
  }
  auto ide = StartIDE("");
  TKestrune kestrune;
  ASSERT_TRUE(kestrune.Connected()) << ide->Error();
  // One at a time, each run before the next arrives (a newer one would take its place).
  const auto handled = [&] { return Events("action.openfile").size() + Events("message").size(); };
  for (const String &file : files) {
    const std::size_t before = handled();
    ASSERT_EQ(kestrune.OpenFile(file), 1);
    for (int i = 0; i < 3000 && handled() == before; ++i)
      std::this_thread::sleep_for(5ms);
  }
  kestrune.GotoLine(files[0], 2, 1); // open already
  ASSERT_TRUE(WaitForEvent("view.cursor", "\"line\":2")) << ide->Error();
  EXPECT_EQ(Events("file.open").size(), std::size_t{kMaxFiles});
  const auto messages = Events("message");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_THAT(messages[0], HasSubstr("U64.pas\\\" was not opened"));
  EXPECT_THAT(messages[0], HasSubstr("at most 64 of them with 256 MB in all"));
  ide->Stop(20s);
}

// The bound counts bytes too. A file the user changed is theirs and no longer counts, whether
// it is still changed or was saved since.
TEST_F(ExpertBounds, AFileTheUserChangedNoLongerCounts) {
  std::vector<std::string> files;
  std::string request[6];
  for (int i = 0; i < 6; ++i) {
    files.push_back((Dir / ("Big" + std::to_string(i) + ".pas")).string());
    test::WriteFileBytes(files.back(), kUnit);
    std::filesystem::resize_file(files.back(), Int64{60} << 20); // sparse
    request[i] = "request 1029 " + files.back() + "\n";
  }
  // Four files hold 240 MB: the fifth is refused. Once the user changed the fourth and saved
  // it, the fifth fits; once they changed the fifth, the sixth does.
  test::WriteFileBytes(Dir / "script.ide", request[0] + request[1] + request[2] + request[3] +
                                               request[4] + "type x\nsave\n" + request[4] +
                                               "type y\n" + request[5] + "pump 100\n");
  test::TChildProcess ide(
      {kIDE, "--plugin", KRX_PLUGIN_FILE, "--script", (Dir / "script.ide").string()},
      Dir / "ide.out", Dir / "ide.err");
  ASSERT_EQ(ide.Wait(120s), 0) << ide.Error();
  EXPECT_EQ(Events("file.open").size(), 6u);
  const auto messages = Events("message");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_THAT(messages[0], HasSubstr("Big4.pas\\\" was not opened"));
  EXPECT_THAT(messages[0], HasSubstr("and 4 of them with 240 MB are open now"));
}

} // namespace
} // namespace krx
