// The four dialogs driven by krx-dialog scripts as their user drives them: access keys, Ctrl+Tab
// and tab clicks, hints, drags, double clicks. Each row's output must show no failed line, the
// control focused at the end and the results the dialog handed back.
#include "ProcessSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace krx::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string RunDialog(const std::string &dialog, const std::string &script) {
  const fs::path dir = fs::temp_directory_path() / ("krx-dialog-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "script.txt") << script;
  TChildProcess tool(
      {ToolPath("krx-dialog").string(), dialog, "--script", (dir / "script.txt").string()},
      dir / "out", dir / "err");
  EXPECT_EQ(tool.Wait(60s), 0) << tool.Error();
  std::string out = tool.Output();
  fs::remove_all(dir);
  return out;
}

TEST(DialogScripts, EachDialogAnswersItsAccessKeysAndEveryControlCanBeDriven) {
  const struct {
    std::string Dialog, Script;
    std::vector<std::string> Expected;
  } rows[] = {
      // The default button has the focus and takes no characters: a plain letter is an
      // access key; so is Alt with it.
      {"condmsg", "type n\n", {R"("focused": "Yes")", R"("modalResult": 7)"}},
      {"condmsg", "key Alt+Y\n", {R"("modalResult": 6)"}},
      {"stacktrace",
       "key Alt+A\nkey Alt+C\nhint KRHintImage1\nkey Enter\n",
       {R"("ok": true, "append": true, "createDiagram": false)",
        R"("text": "Append to exsiting trace file", "bold": true)"}},
      // Labels focus their lists; a double click and a drag add files; Delete removes one.
      {"import",
       "key Alt+A\nitem ListView 2 double\nitem ListView 3\ndrag ListView ImportList\n"
       "key Alt+F\nitem ImportList 0\nkey Del\nkey Alt+N\nclick OKBtn\n",
       {R"("focused": "NewModelBox")",
        R"("ok": true, "createNewModel": false, "project": "Demo", "files": ["/src/Tools.pas"])"}},
      // Both menu positions by their access keys; both pages by Ctrl+Tab and Ctrl+Shift+Tab; a
      // hidden page's access keys do nothing, so Alt+E on the bindings page reaches the shortcut
      // editor's label; Cancel.
      {"options",
       "key Alt+T\nkey Alt+K\nkey Ctrl+Tab\nkey Ctrl+Shift+Tab\nkey Ctrl+Tab\nkey Alt+E\n"
       "click CancelBtn\n",
       {R"("focused": "HotKeyEdit")",
        R"("ok": false, "autoRefresh": true, "lockOnRun": false, "menuAsToolsSubMenu": false)"}},
      // Every control of both pages; Ctrl+Enter is bound where a control takes it and
      // confirms where none does.
      {"options",
       "key Alt+E\ntype l\nkey Alt+T\nkey Alt+B\nkey Down\nkey Down\n"
       "hint AutoRefreshHint\nhint LockOnRunHint\nhint ForeGroundModeHint\n"
       "select PageControl 1\nkey Alt+S\nitem ListView 1\nkey Ctrl+Enter\n"
       "item ListView 2\nkey Tab\nkey Ctrl+Enter\nselect PageControl 0\nkey Ctrl+Enter\n",
       {R"("focused": "AutoRefreshBox")",
        R"("ok": true, "autoRefresh": false, "lockOnRun": true, "menuAsToolsSubMenu": true, )"
        R"("foregroundMode": 2, "sorted": true, "bindings": ["Refresh in Model=Ctrl+Enter",)"
        R"("Jump to Kestrune=Ctrl+Enter","Import multiple...="])",
        R"("text": "Enable Auto Refresh")", R"("text": "Lock Auto Refresh on Run")",
        R"("text": "Bring to foreground mode")"}},
  };
  for (const auto &row : rows) {
    const std::string out = RunDialog(row.Dialog, row.Script);
    EXPECT_NE(out.find(R"("errors": [])"), std::string::npos) << row.Script << out;
    for (const std::string &text : row.Expected)
      EXPECT_NE(out.find(text), std::string::npos) << row.Script << "lacks " << text;
  }
}

} // namespace
} // namespace krx::test
