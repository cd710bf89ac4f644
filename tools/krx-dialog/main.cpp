// krx-dialog NAME [--monitor L,T,W,H,PPI]... [--script FILE]...: runs one of the system's dialogs
// headless and prints, as JSON, the dialog's control tree when it is shown (a form also with its
// density), the hint texts painted on the way, the lines of the script that failed, the control
// focused when the script ended, and the results the dialog handed back.
//
// NAME is condmsg, stacktrace, options or import. Each --monitor adds a monitor (the first is the
// primary one; its work area is 40 pixels shorter). Each script is one run of the dialog in the
// same process, so a later run sees what an earlier one left (a remembered place); with more
// than one script the output is an array of one document per run. A script
// (tools/common/DialogScript.h) holds one action per line (blank lines and lines starting with #
// are skipped), run while the dialog is modal. Without a script the dialog is cancelled (Escape).
#include "../common/DialogScript.h"
#include "../common/LinkTool.h"

#include "Controls/StackTraceFrm.h"
#include "KR4expt/D4ImportUnitsFrm.h"
#include "KR4expt/KRExptOptsFrm.h"
#include "Platform/Rtl/Files.h"
#include "Platform/Vcl/Forms.h"
#include "World/CondMsgDlg.h"
#include "World/KRSuperHints.h"

#include <fstream>
#include <iostream>
#include <sstream>

namespace krx::tool {
namespace {

std::string Tree(const TControl *c, int depth) {
  std::ostringstream out;
  const std::string pad(static_cast<std::size_t>(depth * 2), ' ');
  out << pad << "{\"name\": " << JsonString(c->Name())
      << ", \"class\": " << JsonString(c->ClassName())
      << ", \"caption\": " << JsonString(c->Caption()) << ", \"bounds\": [" << c->Left() << ", "
      << c->Top() << ", " << c->Width() << ", " << c->Height()
      << "], \"visible\": " << (c->Visible() ? "true" : "false")
      << ", \"enabled\": " << (c->Enabled() ? "true" : "false");
  if (dynamic_cast<const TCustomForm *>(c))
    out << ", \"ppi\": " << c->CurrentPPI();
  if (auto *w = dynamic_cast<const TWinControl *>(c); w && w->ControlCount() > 0) {
    out << ", \"children\": [\n";
    for (Integer i = 0; i < w->ControlCount(); ++i)
      out << Tree(w->Controls(i), depth + 1) << (i + 1 < w->ControlCount() ? ",\n" : "\n");
    out << pad << "]";
  }
  out << "}";
  return out.str();
}

struct TRun {
  std::vector<String> Script;
  std::string TreeJson = "null";
  TDialogScriptRun Done;
};

std::string HintJson(const TDialogHint &h) {
  const THintResult &r = h.Result;
  std::string painted = "[";
  for (std::size_t i = 0; i < r.Painted.size(); ++i)
    painted += (i ? ", " : "") + std::string("{\"text\": ") + JsonString(r.Painted[i].Text) +
               ", \"bold\": " + (r.Painted[i].Style.Contains(fsBold) ? "true" : "false") + "}";
  return "{\"control\": " + JsonString(h.Control) + ", \"shown\": " + (r.Shown ? "true" : "false") +
         ", \"window\": " + JsonString(r.WindowClass) +
         ", \"hideTimeout\": " + std::to_string(r.Info.HideTimeout) + ", \"painted\": " + painted +
         "]}";
}

// Acts on the first modal dialog: records its tree, then runs the script's
// lines.
class TToolModal : public TModalService {
public:
  explicit TToolModal(TRun &Run) : FRun(Run), FPrevious(SetModalService(this)) {}
  ~TToolModal() override { SetModalService(FPrevious); }

  bool Step(TCustomForm &Form) override {
    if (FDone)
      return false;
    FDone = true;
    FRun.TreeJson = Tree(&Form, 1);
    if (FRun.Script.empty()) {
      PressKey(Form, VK_ESCAPE);
      return true;
    }
    RunDialogScript(Form, FRun.Script, FRun.Done);
    return true;
  }

private:
  TRun &FRun;
  bool FDone = false;
  TModalService *FPrevious;
};

std::string Bool(bool b) { return b ? "true" : "false"; }

// "L,T,W,H,PPI": a monitor whose work area leaves 40 pixels for a task bar at the bottom.
bool ParseMonitor(const std::string &spec, TMonitorInfo &monitor) {
  const String text = Utf8ToString(spec);
  Integer v[5];
  std::size_t start = 0;
  for (std::size_t i = 0; i < 5; ++i) {
    const std::size_t end = i < 4 ? text.find(u',', start) : text.size();
    // No desktop reaches 2^20 pixels; beyond that the sums of the class library would overflow.
    if (end == String::npos || !TryStrToInt(StringView(text).substr(start, end - start), v[i]) ||
        v[i] < -(1 << 20) || v[i] > (1 << 20))
      return false;
    start = end + 1;
  }
  if (v[2] <= 0 || v[3] <= 0 || v[4] <= 0)
    return false;
  monitor.Bounds = Bounds(v[0], v[1], v[2], v[3]);
  monitor.WorkArea = Bounds(v[0], v[1], v[2], std::max(0, v[3] - 40));
  monitor.PixelsPerInch = v[4];
  return true;
}

bool ReadScript(const char *file, std::vector<String> &script) {
  std::ifstream in(file);
  if (!in)
    return false;
  script = ReadDialogScript(in);
  return true;
}

std::string Document(const std::string &name, const TRun &run, const std::string &result) {
  std::string out = "{\n  \"dialog\": " + JsonString(Utf8ToString(name)) + ",\n  \"tree\":\n" +
                    run.TreeJson + ",\n  \"hints\": [";
  for (std::size_t i = 0; i < run.Done.Hints.size(); ++i)
    out += (i ? ",\n    " : "\n    ") + HintJson(run.Done.Hints[i]);
  out += "],\n  \"errors\": [";
  for (std::size_t i = 0; i < run.Done.Errors.size(); ++i)
    out += (i ? ", " : "") + JsonString(run.Done.Errors[i]);
  return out + "],\n  \"focused\": " + JsonString(run.Done.Focused) + ",\n  \"result\": " +
         result + "\n}";
}

int DialogMain(int argc, char **argv) {
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::cout << "usage: krx-dialog condmsg|stacktrace|options|import [--monitor L,T,W,H,PPI]...\n"
                 "                  [--script FILE]...\n"
                 "\nRuns one dialog headless and prints, as JSON, its control tree at show, the\n"
                 "hints painted, the script lines that failed, the control focused at the end and\n"
                 "the results. Each script runs the dialog once more in the same process; with\n"
                 "several the output is an array of one document per run. A script holds one\n"
                 "action a line:\n"
              << kDialogScriptHelp;
    return 0;
  }
  const char *usage = "usage: krx-dialog condmsg|stacktrace|options|import "
                      "[--monitor L,T,W,H,PPI]... [--script FILE]...\n";
  if (argc < 2) {
    std::cerr << usage;
    return 2;
  }
  const std::string name = argv[1];
  std::vector<TRun> runs;
  std::vector<TMonitorInfo> monitors;
  for (int i = 2; i < argc; i += 2) {
    const std::string option = argv[i];
    if (i + 1 >= argc || (option != "--script" && option != "--monitor")) {
      std::cerr << usage;
      return 2;
    }
    if (option == "--monitor") {
      monitors.emplace_back();
      if (!ParseMonitor(argv[i + 1], monitors.back())) {
        std::cerr << "krx-dialog: not a monitor: " << argv[i + 1] << "\n";
        return 2;
      }
    } else if (runs.emplace_back(); !ReadScript(argv[i + 1], runs.back().Script)) {
      std::cerr << "krx-dialog: cannot read " << argv[i + 1] << "\n";
      return 2;
    }
  }
  if (runs.empty())
    runs.emplace_back(); // cancelled
  if (!monitors.empty())
    Screen->SetMonitors(monitors);
  // Two-part "@" hints are shown by the super-hint handler, as in the IDE.
  CreateSuperHintHandler();
  std::vector<std::string> documents;
  for (TRun &run : runs) {
    std::string result;
    TToolModal modal(run);
    if (name == "condmsg") {
      bool checked = false;
      const Integer r = ConditionalMessageDlg(u"Auto refresh re-imports every file you save.",
                                              mtConfirmation, {mbYes, mbNo}, checked);
      result = "{\"modalResult\": " + std::to_string(r) + ", \"checked\": " + Bool(checked) + "}";
    } else if (name == "stacktrace") {
      bool append = false, diagram = true;
      const bool ok = StackTraceDialog(u"/home/user/Documents/Kestrune/Auto-Sequence-Diagram.txt",
                                       append, diagram);
      result = "{\"ok\": " + Bool(ok) + ", \"append\": " + Bool(append) +
               ", \"createDiagram\": " + Bool(diagram) + "}";
    } else if (name == "options") {
      std::vector<std::unique_ptr<TMenuItem>> items;
      std::vector<TMenuItem *> pointers;
      for (auto [caption, key] : {std::pair{u"&Refresh in Model", u"Ctrl+Alt+R"},
                                  std::pair{u"&Jump to Kestrune", u"Ctrl+Alt+J"},
                                  std::pair{u"Import &multiple...", u""}}) {
        items.push_back(std::make_unique<TMenuItem>(nullptr));
        items.back()->SetCaption(caption);
        items.back()->SetShortCut(TextToShortCut(key));
        pointers.push_back(items.back().get());
      }
      std::unique_ptr<TKRIDEExpertOptionsForm> form(
          TCustomForm::Create<TKRIDEExpertOptionsForm>(nullptr));
      form->SetAutoRefresh(true);
      form->SetForegroundMode(0);
      form->LoadKeyBindings(pointers);
      const bool ok = form->Execute();
      if (ok)
        form->StoreKeyBindings(pointers);
      std::vector<JsonValue> bindings;
      for (TMenuItem *item : pointers)
        bindings.push_back(StripHotkey(item->Caption()) + u"=" + ShortCutToText(item->ShortCut()));
      result = "{\"ok\": " + Bool(ok) + ", \"autoRefresh\": " + Bool(form->GetAutoRefresh()) +
               ", \"lockOnRun\": " + Bool(form->GetLockOnRun()) +
               ", \"menuAsToolsSubMenu\": " + Bool(form->GetMenuAsToolsSubMenu()) +
               ", \"foregroundMode\": " + std::to_string(form->GetForegroundMode()) +
               ", \"sorted\": " + Bool(form->KeyBindingsFrame->Sorted()) +
               ", \"bindings\": " + JsonArray(bindings) + "}";
    } else if (name == "import") {
      TKRBatchCommand command;
      command.CreateNewModel = true;
      const bool ok = ImportUnitsDialog(u"project=Demo\nfile=/src/Demo.dpr\nfile=/src/"
                                        u"Main.pas\nfile=/src/Tools.pas\n"
                                        u"file=/src/Notes.txt",
                                        command, lanPascal);
      std::vector<JsonValue> files;
      for (Integer i = 0; i < command.FileCount(); ++i)
        files.push_back(command.Files(i));
      result = "{\"ok\": " + Bool(ok) + ", \"createNewModel\": " + Bool(command.CreateNewModel) +
               ", \"project\": " + JsonString(command.Project) +
               ", \"files\": " + JsonArray(files) + "}";
    } else {
      std::cerr << "krx-dialog: unknown dialog " << name << "\n";
      return 2;
    }
    documents.push_back(Document(name, run, result));
  }
  if (documents.size() == 1) {
    std::cout << documents.front() << "\n";
    return 0;
  }
  for (std::size_t i = 0; i < documents.size(); ++i)
    std::cout << (i ? ",\n" : "[\n") << documents[i];
  std::cout << "\n]\n";
  return 0;
}

} // namespace
} // namespace krx::tool

int main(int argc, char **argv) {
  return krx::tool::RunTool("krx-dialog", krx::tool::DialogMain, argc, argv);
}
