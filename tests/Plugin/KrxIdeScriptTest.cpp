// The script verbs of krx-ide, run against the real plug-in: each script's effects are read
// back from the host's event log, which the program prints as JSON lines.
#include "KR4expt/ProcessSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace krx::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A fresh folder for one test, removed with it.
struct TTestDir {
  TTestDir() {
    std::string pattern = (fs::temp_directory_path() / "krx-ide-script-XXXXXX").string();
    if (::mkdtemp(pattern.data()))
      Path = pattern;
  }
  ~TTestDir() {
    std::error_code ec;
    fs::remove_all(Path, ec);
  }
  fs::path operator/(const std::string &name) const { return Path / name; }
  fs::path Path;
};

void WriteFile(const fs::path &p, const std::string &bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

std::string ReadFile(const fs::path &p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct TScriptRun {
  int ExitCode = -1;
  std::string Out, Err;
};

// Runs the script with a registry of its own, so that no run sees the settings of another.
TScriptRun RunScript(const TTestDir &dir, const std::string &script, int index) {
  WriteFile(dir / "script.ide", script);
  ::setenv("KRX_REGISTRY_DIR", (dir / ("registry" + std::to_string(index))).c_str(), 1);
  TChildProcess ide({ToolPath("testide/krx-ide").string(), "--plugin", KRX_PLUGIN_FILE,
                     "--script", (dir / "script.ide").string()},
                    dir / "out", dir / "err");
  TScriptRun run;
  run.ExitCode = ide.Wait(60s);
  run.Out = ide.Output();
  run.Err = ide.Error();
  return run;
}

const std::string kShowSettings =
    "registry \"Software\\Kestrune\\Kestrune\\11.0\\BDS22Expert\"\n";

TEST(KrxIdeScript, EachVerbLeavesItsEventsInTheLog) {
  const char *registry = std::getenv("KRX_REGISTRY_DIR");
  const std::string ownRegistry = registry ? registry : "";
  ::setenv("KRX_STANDIN", ToolPath("kestrune-standin").c_str(), 1);
  TTestDir dir;
  ASSERT_FALSE(dir.Path.empty());
  WriteFile(dir / "a.pas", "ab\ncd\n");
  WriteFile(dir / "b.pas", "ab\ncd\n");
  const std::string unit = (dir / "a.pas").string();
  // A user's session in the options dialog: a mode by its access key, a shortcut on the
  // second page, OK; the lines that fail (an unknown action, an unknown control) are reported
  // and the others run.
  WriteFile(dir / "options.dlg", "key Alt+B\nkey Down\nkey Ctrl+Tab\nitem ListView 0\n"
                                 "key Ctrl+Shift+Q\nnoSuchAction\nclick NoSuchBtn\nclick OKBtn\n");
  const std::string dialogScript = (dir / "options.dlg").string();
  const struct {
    std::string Script;
    int ExitCode;
    std::vector<std::string> Expected; // in the output, or for a failure in the error output
  } rows[] = {
      // Typing goes in at the cursor (line 2, column 2) and is saved with the module.
      {"open " + unit + "\ncursor 2 2\ntype XY\nsave\n",
       0,
       {R"("how":"type","bytes":8)", R"("event":"module.save")"}},
      // The lowest column and column 0 are before the first: typing goes in at the line's start.
      {"open " + (dir / "b.pas").string() +
           "\ncursor 1 -2147483648\ntype XY\ncursor 2 0\ntype Z\nsave\n",
       0,
       {R"("col":-2147483648)"}},
      {"keys Ctrl+Shift+Alt+R\n", 0, {R"({"event":"keys","shortcut":"Ctrl+Shift+Alt+R"})"}},
      {"keys Ctrl+Nothing\n", 2, {"no shortcut Ctrl+Nothing"}},
      {"theme Dark\n", 0, {R"({"event":"theme.change","theme":"Dark"})"}},
      {"debug start TForm1.Click TApplication.Run\ndebug nothread\ndebug stop\n",
       0,
       {R"({"event":"debug.start","calls":2,"thread":true})",
        R"({"event":"debug.start","calls":0,"thread":false})", R"({"event":"debug.stop"})"}},
      // The IDE takes a well-formed request through the link; the stand-in refuses others.
      {"request 1026 " + unit + "\n", 0, {R"({"event":"request","id":"1026","result":1})"}},
      {"request 1099\n", 0, {R"({"event":"request","id":"1099","result":2})"}},
      {"theme Dark\nexpect theme.change Light\n", 1, {"expected event theme.change with Light"}},
      // The options dialog answers as told: only OK saves the settings.
      {"dialog cancel\nmenu \"Kestrune/Integration Options...\"\n" + kShowSettings,
       0,
       {"registry: (missing)"}},
      {"dialog ok\nmenu \"Kestrune/Integration Options...\"\n" + kShowSettings,
       0,
       {"BDS22Expert\\AutoRefresh = "}},
      {"dialog script " + dialogScript + "\nmenu \"Kestrune/Integration Options...\"\n" +
           kShowSettings +
           "registry \"Software\\Kestrune\\Kestrune\\11.0\\BDS22Expert\\KeyBindings\"\n",
       0,
       {R"({"event":"dialog","caption":"Kestrune Integration options","focused":"ListView",)"
        R"("result":1,"errors":"Unknown action: noSuchAction; No control named 'NoSuchBtn'"})",
        R"(BDS22Expert\ForeGndMode = "1")", R"(KeyBindings\KRExptRunItem = "Shift+Ctrl+Q")"}},
      {"dialog script " + (dir / "missing.dlg").string() + "\n", 2, {"cannot read"}},
      // A second load is refused, whatever it names; the loaded plug-in still unloads cleanly.
      {"load\n", 2, {"a plug-in is loaded already"}},
      {"load " + (dir / "missing.so").string() + "\n", 2, {"a plug-in is loaded already"}},
  };
  int index = 0;
  for (const auto &row : rows) {
    const TScriptRun run = RunScript(dir, row.Script, ++index);
    EXPECT_EQ(run.ExitCode, row.ExitCode) << row.Script << run.Err;
    const std::string &where = row.ExitCode == 0 ? run.Out : run.Err;
    for (const auto &text : row.Expected)
      EXPECT_NE(where.find(text), std::string::npos) << row.Script << "lacks " << text;
  }
  EXPECT_EQ(ReadFile(dir / "a.pas"), "ab\ncXYd\n");
  EXPECT_EQ(ReadFile(dir / "b.pas"), "XYab\nZcd\n");
  ::unsetenv("KRX_STANDIN");
  if (registry)
    ::setenv("KRX_REGISTRY_DIR", ownRegistry.c_str(), 1);
}

// A plug-in named without a folder is the file in the current folder; when that is no
// library, the loader's own reason is reported.
TEST(KrxIdeScript, APluginThatIsNoLibraryIsReportedWithTheLoadersReason) {
  TTestDir dir;
  WriteFile(dir / "u.pas", "unit u;\n\ninterface\n\n" + std::string(100, ' ') + "\nend.\n");
  const fs::path cwd = fs::current_path();
  fs::current_path(dir.Path);
  TChildProcess ide({ToolPath("testide/krx-ide").string(), "--plugin", "u.pas"}, dir / "out",
                    dir / "err");
  fs::current_path(cwd);
  EXPECT_EQ(ide.Wait(60s), 2);
  EXPECT_NE(ide.Error().find("cannot load u.pas: ./u.pas: invalid ELF header"), std::string::npos)
      << ide.Error();
}

} // namespace
} // namespace krx::test
