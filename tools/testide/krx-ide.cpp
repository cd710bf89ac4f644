// The test IDE host as a program: loads a plug-in into an IDE over plain data, runs a script
// against it and prints every effect as one JSON line.
//
//   krx-ide --plugin FILE [--script FILE]
//
// The script language is the table of verbs below (TScriptRunner::kVerbs), which --help prints
// with the exit codes.
#include "PluginHost.h"
#include "TestIDE.h"
#include "common/DialogScript.h"

#include "Platform/PlatformUnits.h"
#include "Platform/Registry/Registry.h"
#include "Platform/Rtl/Encoding.h"
#include "Platform/Rtl/Files.h"
#include "Platform/Shell/Dialogs.h"
#include "Platform/Shell/ShellApi.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace krx::testide {
namespace {

std::vector<std::string> SplitWords(const std::string &line) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false, any = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') {
      word += '"'; // a doubled quote inside quotes stands for one
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (any)
        words.push_back(word);
      word.clear();
      any = false;
    } else if (!quoted && c == '#') {
      break;
    } else {
      word += c;
      any = true;
    }
  }
  if (any)
    words.push_back(word);
  return words;
}

void Pump(int milliseconds, const std::function<bool()> &until = nullptr) {
  PumpMessages(std::chrono::milliseconds(milliseconds), until);
}

using TWords = std::vector<std::string>;

class TScriptRunner {
public:
  TScriptRunner(TTestIDE &ide, TPluginLoader &loader, std::string plugin, std::string self)
      : FIDE(ide), FLoader(loader), FPlugin(std::move(plugin)), FSelf(std::move(self)) {}

  // Returns the exit code.
  int Run(std::istream &in) {
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
      ++lineNo;
      const auto w = SplitWords(line);
      if (w.empty())
        continue;
      try {
        const int rc = Verb(w);
        if (rc != 0)
          return rc;
      } catch (const std::exception &e) {
        std::cerr << "krx-ide: line " << lineNo << ": " << e.what() << "\n";
        return 2;
      }
    }
    return 0;
  }

  // The verbs' lines of the help text, in the table's order.
  static void PrintVerbs(std::ostream &out);

private:
  // A word as a text, exactly: a substitute character would make a file name name another file.
  static String S(const std::string &s) {
    String text;
    if (!TryUtf8ToString(s, text))
      throw Exception(Utf8ToString("the word \"" + ShownOSName(s) + "\" " + OSNameProblem(s) +
                                   ", and words are taken exactly or not at all"));
    return text;
  }
  static Integer N(const std::string &s) { return StrToInt(Utf8ToString(s)); }

  IPtr<THostView> CurrentView() {
    IPtr<IOTAEditView> view = FIDE.TopView();
    if (!view)
      throw Exception(u"no open buffer");
    return IPtr<THostView>(dynamic_cast<THostView *>(view.get()));
  }

  void Print(const std::string &what, const std::vector<std::string> &lines) {
    for (const auto &l : lines)
      std::cout << what << ": " << l << "\n";
    std::cout.flush();
  }

  // One script verb: the words it takes (the verb included, at most kAnyCount: no limit; the
  // second word one of Keyword's "|"-separated words when Keyword is set), what it does, and
  // its line of the help text (Arguments as shown beside the verb; Help's further lines are
  // indented under the first).
  struct TVerb {
    const char *Name;
    const char *Arguments;
    std::size_t MinWords;
    std::size_t MaxWords;
    const char *Keyword;
    int (*Run)(TScriptRunner &r, const TWords &w);
    const char *Help;
    bool ListsDialogActions = false; // the dialog scripts' actions follow its help

    bool Takes(const TWords &w) const {
      return w[0] == Name && w.size() >= MinWords && w.size() <= MaxWords &&
             (Keyword == nullptr || OneOf(w[1], Keyword));
    }
  };
  static constexpr std::size_t kAnyCount = static_cast<std::size_t>(-1);
  static const TVerb kVerbs[];

  static bool OneOf(const std::string &word, std::string_view words) {
    for (std::size_t start = 0;;) {
      const std::size_t bar = words.find('|', start);
      if (words.substr(start, bar - start) == word)
        return true;
      if (bar == std::string_view::npos)
        return false;
      start = bar + 1;
    }
  }

  // The first verb that takes the line runs it; its result is the exit code (0 goes on).
  int Verb(const TWords &w);

  int Type(const TWords &w) {
    IPtr<THostView> view = CurrentView();
    IPtr<IOTAEditBuffer> buffer = view->Buffer();
    auto *hb = dynamic_cast<THostBuffer *>(buffer.get());
    TOTAEditPos cursor = view->CursorPos();
    TOTACharPos pos;
    view->ConvertPos(true, cursor, pos);
    const Integer at = std::max(view->CharPosToPos(pos), 0);
    std::string text = hb->Utf8();
    text.insert(static_cast<std::size_t>(at), w[1]);
    hb->SetText(std::move(text), "type");
    return 0;
  }

  int Menu(const TWords &w) {
    if (w.size() == 1) {
      Print("menu", FIDE.NTA->MenuLines());
      return 0;
    }
    TMenuItem *item = FIDE.NTA->FindByCaptionPath(S(w[1]));
    if (!item)
      throw Exception(u"no menu item " + S(w[1]));
    FIDE.Log.Add("menu.click", {{"path", S(w[1])}});
    Guarded([&] { item->Click(); });
    return 0;
  }

  int Actions(const TWords &) {
    std::vector<std::string> lines;
    for (TCustomAction *a : FIDE.NTA->Actions())
      lines.push_back(StringToUtf8(a->Name() + u" \"" + a->Caption() + u"\" image " +
                                   IntToStr(a->ImageIndex()) + u" " +
                                   FIDE.NTA->ImageList()->GetNameByIndex(a->ImageIndex())));
    Print("action", lines);
    return 0;
  }

  int Keys(const TWords &w) {
    const TShortCut sc = TextToShortCut(S(w[1]));
    if (sc == 0)
      throw Exception(u"no shortcut " + S(w[1]));
    Word key = 0;
    TShiftState shift;
    ShortCutToKey(sc, key, shift);
    FIDE.Log.Add("keys", {{"shortcut", S(w[1])}});
    PressKey(*FIDE.NTA->MainForm(), key, shift);
    return 0;
  }

  int Debug(const TWords &w) {
    if (w[1] == "stop") {
      FIDE.StopProcesses();
      return 0;
    }
    std::vector<String> calls;
    for (std::size_t i = 2; i < w.size(); ++i)
      calls.push_back(S(w[i]));
    FIDE.StartProcess(calls, w[1] != "nothread");
    return 0;
  }

  int DialogAnswer(const TWords &w) {
    const Word key = w[1] == "ok" ? VK_RETURN : VK_ESCAPE;
    FModal.reset();
    FModal = std::make_unique<TScriptedModal>(
        std::vector<TScriptedModal::TStep>{[key](TCustomForm &f) { PressKey(f, key); }});
    return 0;
  }

  int DialogScripts(const TWords &w) {
    std::vector<TScriptedModal::TStep> steps;
    for (std::size_t i = 2; i < w.size(); ++i) {
      std::ifstream in(w[i]);
      if (!in)
        throw Exception(u"cannot read " + S(w[i]));
      steps.push_back(
          [this, lines = tool::ReadDialogScript(in)](TCustomForm &f) { DialogScript(f, lines); });
    }
    FModal.reset();
    FModal = std::make_unique<TScriptedModal>(std::move(steps));
    return 0;
  }

  int Expect(const TWords &w) {
    for (const auto &line : FIDE.Log.Find(w[1]))
      if (w.size() < 3 || line.find(w[2]) != std::string::npos)
        return 0;
    std::cerr << "krx-ide: expected event " << w[1] << (w.size() > 2 ? " with " + w[2] : "")
              << "\n";
    return 1;
  }

  int Unload(const TWords &w) {
    if (!FLoader.Unload(w.size() > 1 && w[1] == "destroyed-first") ||
        FIDE.RegistrationCount() > 0) {
      std::cerr << "krx-ide: the plug-in did not unload cleanly\n";
      return 1;
    }
    return 0;
  }

  int Load(const TWords &w) {
    const std::string &file = w.size() > 1 ? w[1] : FPlugin;
    if (!FLoader.Load(file))
      throw Exception(u"cannot load " + S(file) + u": " + FLoader.Error());
    return 0;
  }

  // Runs a dialog script in a modal form of the plug-in and logs what it did.
  void DialogScript(TCustomForm &Form, const std::vector<String> &Lines) {
    tool::TDialogScriptRun run;
    tool::RunDialogScript(Form, Lines, run);
    for (const tool::TDialogHint &h : run.Hints) {
      String painted;
      for (const THintText &t : h.Result.Painted)
        painted += (painted.empty() ? u"" : u"\n") + t.Text;
      FIDE.Log.Add("dialog.hint",
                   {{"control", h.Control}, {"shown", h.Result.Shown}, {"painted", painted}});
    }
    String errors;
    for (const String &e : run.Errors)
      errors += (errors.empty() ? u"" : u"; ") + e;
    FIDE.Log.Add("dialog", {{"caption", Form.Caption()},
                            {"focused", run.Focused},
                            {"result", Int64{Form.ModalResult()}},
                            {"errors", errors}});
  }

  template <class F> void Guarded(F f) {
    try {
      f();
    } catch (const Exception &) {
      Application->HandleException(nullptr);
    }
  }

  int Request(const std::vector<std::string> &w, const char *how) {
    const std::string standin = FSelf.substr(0, FSelf.rfind('/')) + "/../kestrune-standin";
    const char *env = std::getenv("KRX_STANDIN");
    std::vector<std::string> args{env ? env : standin, how};
    args.insert(args.end(), w.begin() + 1, w.end());
    std::vector<char *> argv;
    for (auto &a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
      throw Exception(u"cannot start " + S(args[0]));
    int status = 0;
    bool done = false;
    // The stand-in's send waits for this process to take the call: pump meanwhile.
    Pump(15000, [&] {
      done = waitpid(pid, &status, WNOHANG) == pid;
      return done;
    });
    if (!done) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
    }
    FIDE.Log.Add(
        "request",
        {{"id", S(w[1])}, {"result", Int64{done && WIFEXITED(status) ? WEXITSTATUS(status) : -1}}});
    Pump(50); // the queued call runs from the endpoint's next message
    return 0;
  }

  void RegSet(String key, const String &name, const std::string &value) {
    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    if (StartsText(u"HKLM\\", key)) {
      reg.SetRootKey(HKEY_LOCAL_MACHINE);
      key.erase(0, 5);
    }
    if (!reg.OpenKey(key, true))
      throw Exception(u"cannot open " + key);
    if (value.rfind("dword:", 0) == 0)
      reg.WriteInteger(name, N(value.substr(6)));
    else
      reg.WriteString(name, S(value));
  }

  void Foreground(const std::string &word) {
    TForegroundSimulation &sim = ForegroundSimulation();
    if (word == "reset") {
      auto onCall = sim.OnCall;
      ResetForegroundSimulation();
      ForegroundSimulation().OnCall = onCall;
    } else if (word == "locked" || word == "unlocked") {
      sim.SetForegroundSucceeds = word == "unlocked";
    } else if (word == "attach-fails") {
      sim.AttachSucceeds = false;
    } else if (word == "iconic") {
      sim.Iconic.insert(FIDE.GetParentHandle());
    } else if (word == "elsewhere") {
      sim.Foreground = FIDE.EditWindow->Form()->Handle();
    } else {
      throw Exception(u"unknown foreground word " + S(word));
    }
  }

  void Registry(const String &key) {
    TRegistry reg(KEY_READ);
    reg.SetRootKey(HKEY_CURRENT_USER);
    std::vector<std::string> lines;
    if (!reg.OpenKeyReadOnly(key)) {
      lines.push_back("(missing) " + StringToUtf8(key));
    } else {
      std::vector<String> names;
      reg.GetValueNames(names);
      for (const String &name : names) {
        String value;
        try {
          value = u"\"" + reg.ReadString(name) + u"\"";
        } catch (const Exception &) {
          value = IntToStr(reg.ReadInteger(name));
        }
        lines.push_back(StringToUtf8(key + u"\\" + name + u" = " + value));
      }
    }
    Print("registry", lines);
  }

  TTestIDE &FIDE;
  TPluginLoader &FLoader;
  std::string FPlugin;
  std::string FSelf;
  std::unique_ptr<TScriptedModal> FModal;
};

// In the order of the help text; a verb of several forms has a row for each.
const TScriptRunner::TVerb TScriptRunner::kVerbs[] = {
    {"open", "FILE [form]", 2, kAnyCount, nullptr,
     [](TScriptRunner &r, const TWords &w) {
       if (!r.FIDE.Open(S(w[1]), w.size() > 2 && w[2] == "form"))
         throw Exception(u"cannot open " + S(w[1]));
       return 0;
     },
     "open a file (with a form: first reported under its form file)"},
    {"cursor", "LINE COL", 3, 3, nullptr,
     [](TScriptRunner &r, const TWords &w) {
       r.CurrentView()->SetCursorPos({N(w[2]), N(w[1])});
       return 0;
     },
     "move the current view's cursor"},
    {"select", "L1 C1 L2 C2", 5, 5, nullptr,
     [](TScriptRunner &r, const TWords &w) {
       r.CurrentView()->Select({N(w[2]), N(w[1])}, {N(w[4]), N(w[3])});
       return 0;
     },
     "select a block in the current view"},
    {"type", "TEXT", 2, 2, nullptr, [](TScriptRunner &r, const TWords &w) { return r.Type(w); },
     "insert text at the cursor of the current buffer"},
    {"save", "[FILE]", 1, kAnyCount, nullptr,
     [](TScriptRunner &r, const TWords &w) {
       IPtr<IOTAModule> m = w.size() > 1 ? r.FIDE.FindModule(S(w[1])) : r.FIDE.CurrentModule();
       if (!m)
         throw Exception(u"no module to save");
       m->Save(false, false);
       return 0;
     },
     "save a module (the current one)"},
    {"close", "FILE", 2, 2, nullptr,
     [](TScriptRunner &r, const TWords &w) {
       r.FIDE.Close(S(w[1]));
       return 0;
     },
     "close a module"},
    {"copy", "FROM TO", 3, 3, nullptr,
     [](TScriptRunner &, const TWords &w) {
       std::filesystem::copy_file(w[1], w[2], std::filesystem::copy_options::overwrite_existing);
       return 0;
     },
     "copy a file on disk (as another program rewriting TO)"},
    {"move", "FROM TO", 3, 3, nullptr,
     [](TScriptRunner &, const TWords &w) {
       std::filesystem::rename(w[1], w[2]);
       return 0;
     },
     "rename anything on disk over TO (as another program replacing\nit)"},
    {"onreload", "move FROM TO", 4, 4, "move",
     [](TScriptRunner &r, const TWords &w) {
       r.FIDE.BeforeReload = [from = w[2], to = w[3]] { std::filesystem::rename(from, to); };
       return 0;
     },
     "the same when the IDE next reloads a file, before it reads it"},
    {"project", "FILE PERSONALITY TYPE [FILE...]", 4, kAnyCount, nullptr,
     [](TScriptRunner &r, const TWords &w) {
       std::vector<String> files;
       for (std::size_t i = 4; i < w.size(); ++i)
         files.push_back(S(w[i]));
       r.FIDE.AddProject(S(w[1]), S(w[2]), S(w[3]), files);
       return 0;
     },
     "open a project and make it active"},
    {"nogroup", "", 1, 1, nullptr,
     [](TScriptRunner &r, const TWords &) {
       r.FIDE.GroupMissing = true;
       return 0;
     },
     "the IDE answers no main project group from now on"},
    {"menu", "[PATH]", 1, kAnyCount, nullptr,
     [](TScriptRunner &r, const TWords &w) { return r.Menu(w); },
     "print the main menu, or click the item of a caption path"},
    {"actions", "", 1, kAnyCount, nullptr,
     [](TScriptRunner &r, const TWords &w) { return r.Actions(w); },
     "print the IDE's registered actions"},
    {"keys", "SHORTCUT", 2, 2, nullptr, [](TScriptRunner &r, const TWords &w) { return r.Keys(w); },
     "press a shortcut (\"Ctrl+Shift+Alt+R\") in the main form"},
    {"request", "ID [ARG...]", 2, kAnyCount, nullptr,
     [](TScriptRunner &r, const TWords &w) { return r.Request(w, "--send"); },
     "Kestrune's request through the link (kestrune-standin --send)"},
    {"request-text", "ID TEXT", 3, 3, nullptr,
     [](TScriptRunner &r, const TWords &w) { return r.Request(w, "--send-text"); },
     "a call with TEXT as its argument text, unchecked (--send-text)"},
    {"debug", "start|nothread [CALL...] | debug stop", 2, kAnyCount, nullptr,
     [](TScriptRunner &r, const TWords &w) { return r.Debug(w); },
     "a debug process whose thread has these\ncalls (nothread: one without a current thread)"},
    {"theme", "NAME", 2, 2, nullptr,
     [](TScriptRunner &r, const TWords &w) {
       r.FIDE.Theming.ChangeTheme(S(w[1]));
       return 0;
     },
     "switch the IDE theme"},
    {"dialog", "ok|cancel", 2, 2, "ok|cancel",
     [](TScriptRunner &r, const TWords &w) { return r.DialogAnswer(w); },
     "how the next modal dialog is answered"},
    {"dialog", "script FILE...", 3, kAnyCount, "script",
     [](TScriptRunner &r, const TWords &w) { return r.DialogScripts(w); },
     "each FILE is a script run in the next modal dialog (a nested\n"
     "one takes the next FILE; without one left it is cancelled),\n"
     "logged as \"dialog\" (caption, focused control, modal result,\n"
     "failed lines) and \"dialog.hint\"; a script holds one action a\n"
     "line:",
     true},
    {"pump", "MS", 2, 2, nullptr,
     [](TScriptRunner &r, const TWords &w) {
       r.FIDE.SettleModules();
       Pump(N(w[1]));
       return 0;
     },
     "handle messages (timers, requests) for MS milliseconds"},
    {"registry", "KEY", 2, 2, nullptr,
     [](TScriptRunner &r, const TWords &w) {
       r.Registry(S(w[1]));
       return 0;
     },
     "print the values of a key under HKEY_CURRENT_USER"},
    {"regset", "KEY NAME VALUE", 4, 4, nullptr,
     [](TScriptRunner &r, const TWords &w) {
       r.RegSet(S(w[1]), S(w[2]), w[3]);
       return 0;
     },
     "write a value (KEY \"HKLM\\...\" for HKEY_LOCAL_MACHINE; VALUE\n"
     "\"dword:N\" for a REG_DWORD, else a string)"},
    {"foreground", "WORD...", 2, kAnyCount, nullptr,
     [](TScriptRunner &r, const TWords &w) {
       for (std::size_t i = 1; i < w.size(); ++i)
         r.Foreground(w[i]);
       return 0;
     },
     "the foreground simulation's answers: reset, locked (the IDE\n"
     "may not take the foreground), unlocked, attach-fails, iconic\n"
     "(the IDE's window is minimised), elsewhere (another window is\n"
     "in front)"},
    {"expect", "EVENT [TEXT]", 2, kAnyCount, nullptr,
     [](TScriptRunner &r, const TWords &w) { return r.Expect(w); },
     "fail (exit 1) unless a logged event of that name holds TEXT"},
    {"unload", "[destroyed-first]", 1, kAnyCount, nullptr,
     [](TScriptRunner &r, const TWords &w) { return r.Unload(w); },
     "unload the plug-in (exit 1 unless it is gone and left nothing\nregistered)"},
    {"load", "[FILE]", 1, kAnyCount, nullptr,
     [](TScriptRunner &r, const TWords &w) { return r.Load(w); },
     "load the plug-in (or FILE) again; refused (exit 2) while one\nis loaded"},
};

int TScriptRunner::Verb(const TWords &w) {
  for (const TVerb &verb : kVerbs)
    if (verb.Takes(w))
      return verb.Run(*this, w);
  throw Exception(u"unknown or incomplete line: " + S(w[0]));
}

void TScriptRunner::PrintVerbs(std::ostream &out) {
  // The column where the verbs' explanations start.
  constexpr std::size_t kColumn = 29;
  const std::string indent(kColumn, ' ');
  for (const TVerb &verb : kVerbs) {
    std::string head = std::string("  ") + verb.Name;
    if (*verb.Arguments)
      head = head + " " + verb.Arguments;
    out << head << (head.size() < kColumn ? std::string(kColumn - head.size(), ' ') : "   ");
    const std::string_view help = verb.Help;
    for (std::size_t start = 0;;) {
      const std::size_t end = help.find('\n', start);
      out << help.substr(start, end - start) << "\n";
      if (end == std::string_view::npos)
        break;
      out << indent;
      start = end + 1;
    }
    if (verb.ListsDialogActions)
      for (const char *line = tool::kDialogScriptHelp; *line;) {
        const char *end = std::strchr(line, '\n');
        out << "    " << std::string(line, end) << "\n";
        line = end + 1;
      }
  }
}

constexpr const char *kUsage = "usage: krx-ide --plugin FILE [--script FILE]\n";

constexpr const char *kHelp =
    "\nAn IDE over plain data that loads the plug-in FILE through its wizard entry, runs the\n"
    "script (if any), unloads the plug-in and prints every effect as one JSON line. The\n"
    "desktop, registry and special folders follow KRX_DESKTOP_DIR, KRX_REGISTRY_DIR and\n"
    "KRX_SHELL_ROOT; `request` starts KRX_STANDIN (default: the kestrune-standin built\n"
    "beside this program).\n\n"
    "Script lines (words split at blanks, \"double quotes\" group, \"\" inside them is one quote;\n"
    "# starts a comment):\n";

// Printed after the verbs.
constexpr const char *kHelpAfterVerbs =
    "Programs the plug-in starts and message boxes it shows are logged (\"shell.execute\",\n"
    "\"message\"), not started or shown.\n"
    "Exit code: 0 when the script ran, 1 for a failed expect or a plug-in that did not unload\n"
    "cleanly, 2 for a usage or load error or a script line that failed.\n";

int Main(int argc, char **argv) {
  std::string plugin, script;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if ((a == "--help" || a == "-h") && argc == 2) {
      std::cout << kUsage << kHelp;
      TScriptRunner::PrintVerbs(std::cout);
      std::cout << kHelpAfterVerbs;
      return 0;
    }
    if (a == "--plugin" && i + 1 < argc)
      plugin = argv[++i];
    else if (a == "--script" && i + 1 < argc)
      script = argv[++i];
    else {
      std::cerr << kUsage;
      return 2;
    }
  }
  if (plugin.empty()) {
    std::cerr << "usage: krx-ide --plugin FILE [--script FILE]\n";
    return 2;
  }
  std::ifstream scriptIn;
  if (!script.empty()) {
    scriptIn.open(script);
    if (!scriptIn) {
      std::cerr << "krx-ide: cannot read " << script << "\n";
      return 2;
    }
  }
  int rc = 0;
  {
    TTestIDE ide;
    ide.Log.SetEcho(&std::cout);
    // Programs are not started and message boxes not shown: the IDE records them (a message
    // box answers its default button).
    TShellExecuteHook previousShell = SetShellExecuteHook([&](const TShellExecuteRequest &r) {
      ide.Log.Add("shell.execute", {{"operation", r.Operation},
                                    {"file", r.File},
                                    {"parameters", r.Parameters},
                                    {"directory", r.Directory}});
      return static_cast<HINSTANCE>(42);
    });
    TMessageService previousMessages = SetMessageService([&](const TMessageRequest &r) {
      ide.Log.Add("message", {{"text", r.Text}, {"caption", r.Caption}, {"flags", Int64{r.Flags}}});
      return r.DefaultAnswer;
    });
    struct TRestore {
      TShellExecuteHook &Shell;
      TMessageService &Messages;
      ~TRestore() {
        SetShellExecuteHook(std::move(Shell));
        SetMessageService(std::move(Messages));
      }
    } restore{previousShell, previousMessages};
    TPluginLoader loader(ide);
    SplashScreenServices = &ide; // while the IDE starts
    const bool loaded = loader.Load(plugin);
    SplashScreenServices = nullptr;
    if (!loaded) {
      std::cerr << "krx-ide: cannot load " << plugin << ": " << StringToUtf8(loader.Error())
                << "\n";
      return 2;
    }
    Pump(400); // the expert's start-up timer reads its settings
    if (!script.empty()) {
      TScriptRunner runner(ide, loader, plugin, argv[0]);
      rc = runner.Run(scriptIn);
    }
    if (loader.Loaded() && (!loader.Unload() || ide.RegistrationCount() > 0)) {
      std::cerr << "krx-ide: the plug-in did not unload cleanly\n";
      rc = rc ? rc : 1;
    }
  }
  return rc;
}

} // namespace
} // namespace krx::testide

int main(int argc, char **argv) {
  try {
    krx::InitializeUnits(krx::PlatformUnits());
  } catch (const std::exception &e) {
    std::cerr << "krx-ide: " << e.what() << "\n";
    return 2;
  }
  int rc = 2;
  try {
    rc = krx::testide::Main(argc, argv);
  } catch (const std::exception &e) {
    std::cerr << "krx-ide: " << e.what() << "\n";
  }
  krx::FinalizeUnits(krx::PlatformUnits());
  return rc;
}
