// The commands the expert sends to Kestrune, between two real processes: the plug-in loaded
// into the test IDE host, and the Kestrune stand-in, which logs every call it receives.
#include "KR4expt/ProcessSupport.h"
#include "testide/PluginHost.h"

#include "Platform/Registry/Registry.h"
#include "Platform/Rtl/Files.h"
#include "Platform/Shell/Dialogs.h"
#include "Platform/Shell/ShellApi.h"
#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/Hints.h"
#include "Platform/Vcl/Panels.h"
#include "Platform/Vcl/StdCtrls.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <thread>

namespace krx::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testide::TPluginLoader;
using testide::TTestIDE;

const String kKestruneKey = u"Software\\Kestrune\\Kestrune\\11.0";
const String kSettings = kKestruneKey + u"\\BDS22Expert";

// A file name that the comma text must carry whole: blanks, quotes, a comma, non-ASCII.
const std::string kUnitName = "\xC3\x9Cnit \"one\", two \xE6\x97\xA5.pas";
const std::string kUnitText = "unit One;\n\ninterface\n\ntype\n  TWidget = class\n"
                              "    procedure Paint;\n  end;\n\nimplementation\n\nend.\n";

void Pump(std::chrono::milliseconds time) { testide::PumpMessages(time); }

// One call as the stand-in logged it: "1027 a|b".
std::string CallText(const TJson &call) {
  std::string text = std::to_string(call["id"].Int());
  const char *sep = " ";
  for (const TJson &arg : call["args"].Array()) {
    text += sep + StringToUtf8(arg.Str());
    sep = "|";
  }
  return text;
}

class CommandsTest : public ::testing::Test {
protected:
  void SetUp() override {
    TRegistry reg;
    reg.DeleteKey(u"Software\\Kestrune");
    Unit = Utf8ToString((Dir / kUnitName).string());
    std::ofstream(Dir / kUnitName, std::ios::binary) << kUnitText;
  }
  void TearDown() override {
    if (Loader.Loaded()) {
      EXPECT_TRUE(Loader.Unload());
    }
    fs::remove_all(Dir);
  }

  void StartKestrune() {
    Kestrune = std::make_unique<TChildProcess>(
        std::vector<std::string>{ToolPath("kestrune-standin").string(), "--log",
                                 (Dir / "kestrune.jsonl").string(), "--serve-seconds", "120"},
        Dir / "standin.out", Dir / "standin.err");
    ASSERT_TRUE(Kestrune->WaitForError("listening as _KR_PS_END_POINT", 20s)) << Kestrune->Error();
  }
  void Load(const std::function<void(TRegistry &)> &settings = nullptr) {
    if (settings) {
      TRegistry reg;
      ASSERT_TRUE(reg.OpenKey(kSettings, true));
      settings(reg);
    }
    ASSERT_TRUE(Loader.Load(KRX_PLUGIN_FILE));
    Pump(400ms); // the start-up timer reads the settings and sets the default shortcuts
  }
  void OpenUnit(Integer line, Integer col) {
    ASSERT_TRUE(IDE.Open(Unit));
    IDE.TopView()->SetCursorPos({col, line});
    Pump(20ms);
  }
  void Type(const std::string &text) {
    auto *buffer = dynamic_cast<testide::THostBuffer *>(IDE.TopBuffer().get());
    buffer->SetText(text + buffer->Utf8(), "type");
  }

  // Inside the host's message loop an exception of an action goes to the application.
  template <class F> static void AsTheIDE(F f) {
    try {
      f();
    } catch (const Exception &) {
      Application->HandleException(nullptr);
    }
  }
  void Click(const String &path) {
    TMenuItem *item = IDE.NTA->FindByCaptionPath(u"Kestrune/" + path);
    ASSERT_NE(item, nullptr) << StringToUtf8(path);
    AsTheIDE([&] { item->Click(); });
    Pump(20ms);
  }
  void Keys(Word key, TShiftState shift) {
    PressKey(*IDE.NTA->MainForm(), key, shift);
    Pump(20ms);
  }
  TCustomAction *Action(const String &name) {
    for (TCustomAction *a : IDE.NTA->Actions())
      if (a->Name() == name)
        return a;
    ADD_FAILURE() << "no action " << StringToUtf8(name);
    return nullptr;
  }
  bool Enabled(const String &name) {
    TCustomAction *action = Action(name);
    action->Update();
    return action->Enabled();
  }

  // The calls Kestrune received, once `count` have arrived (at most 60 s). Messages are
  // handled meanwhile: a command may still wait for one of the expert's timers.
  std::vector<std::string> Received(std::size_t count) {
    std::vector<std::string> calls;
    testide::PumpMessages(60s, [&] {
      std::ifstream in(Dir / "kestrune.jsonl", std::ios::binary);
      calls.clear();
      for (std::string line; std::getline(in, line) && !in.eof();) // whole lines only
        calls.push_back(CallText(ParseJson(line)));
      return calls.size() >= count;
    });
    return calls;
  }
  std::vector<String> Messages() {
    std::vector<String> texts;
    for (const TMessageRequest &r : Shown.Requests())
      texts.push_back(r.Text);
    return texts;
  }

  // A modal step that clicks the named controls of the form in turn.
  static TScriptedModal::TStep Press(std::vector<String> names) {
    return [names](TCustomForm &form) {
      for (const String &name : names)
        ClickControl(dynamic_cast<TControl *>(form.FindComponent(name)));
    };
  }
  // A modal step that ticks the check box of a message dialog and confirms it.
  static void TickAndConfirm(TCustomForm &form) {
    for (Integer i = 0; i < form.ComponentCount(); ++i)
      if (auto *box = dynamic_cast<TCheckBox *>(form.Components(i)))
        box->SetChecked(true);
    PressKey(form, VK_RETURN);
  }
  static std::string ReadFile(const fs::path &file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  static fs::path NewDir() {
    std::string pattern = (fs::temp_directory_path() / "krx-commands-XXXXXX").string();
    return ::mkdtemp(pattern.data()) ? fs::path(pattern) : fs::path();
  }

  fs::path Dir = NewDir();
  String Unit;
  std::string U8() const { return StringToUtf8(Unit); }
  TTestIDE IDE;
  TPluginLoader Loader{IDE};
  std::unique_ptr<TChildProcess> Kestrune;
  TScriptedMessages Shown;
};

TEST_F(CommandsTest, EveryMenuCommandArrivesWithItsExactArguments) {
  StartKestrune();
  Load();
  OpenUnit(6, 5);       // on "TWidget"
  Click(u"Open Model"); // without a project: nothing goes
  const String project = Utf8ToString((Dir / "p, q \"r\".dproj").string());
  IDE.AddProject(project, u"Delphi.Personality", u"Application", {Unit});
  for (const char16_t *item :
       {u"Add to Model", u"Convert to Model", u"Refresh in Model", u"Jump to Kestrune",
        u"Open Model", u"Model Search", u"Synchronize model"})
    Click(item);
  const std::string dpr = (Dir / "p, q \"r\".dpr").string();
  EXPECT_EQ(Received(7), (std::vector<std::string>{
                             "1025 " + U8(), "1026 " + U8(), "1028 " + U8(), "1027 " + U8() + "|6",
                             "1031 " + U8() + "|" + dpr, "1035 TWidget", "1034"}));
  EXPECT_TRUE(Messages().empty()) << StringToUtf8(Messages()[0]);
}

TEST_F(CommandsTest, TheDefaultAndStoredShortcutsSendTheirCommands) {
  StartKestrune();
  Load([](TRegistry &reg) {
    ASSERT_TRUE(reg.OpenKey(u"KeyBindings", true));
    reg.WriteString(u"KRExptAddItem", u"Ctrl+F1");
  });
  OpenUnit(7, 15);
  Keys(u'M', {ssCtrl, ssShift, ssAlt});
  Keys(u'R', {ssCtrl, ssShift, ssAlt});
  Keys(VK_F1, {ssCtrl});
  EXPECT_EQ(Received(3),
            (std::vector<std::string>{"1027 " + U8() + "|7", "1028 " + U8(), "1025 " + U8()}));
}

TEST_F(CommandsTest, ASelectionIsSearchedAndBlankTextIsRefused) {
  StartKestrune();
  Load();
  OpenUnit(1, 1);
  auto *view = dynamic_cast<testide::THostView *>(IDE.TopView().get());
  view->Select({4, 6}, {10, 6}); // "Widget" of "  TWidget = class"
  Click(u"Model Search");
  view->Select({1, 1}, {1, 1});
  view->SetCursorPos({1, 2}); // an empty line
  Click(u"Model Search");
  EXPECT_EQ(Received(1), std::vector<std::string>{"1035 Widget"});
  EXPECT_EQ(Messages(), std::vector<String>{u"No text at cursor position to search."});
}

// Auto refresh follows the user's saves only: not the expert's own, not while a program runs
// under the debugger; "Jump to Kestrune" saves as the user would, so 1030 goes first, and the
// jump keeps the line it was started at.
TEST_F(CommandsTest, AutoRefreshFollowsTheUsersSavesOnly) {
  StartKestrune();
  Load([](TRegistry &reg) { reg.WriteBool(u"AutoRefresh", true); });
  OpenUnit(5, 1);
  Type("{a}");
  IDE.CurrentModule()->Save(false, false); // the user's save
  Type("{b}");
  Click(u"Refresh in Model"); // the expert's own save
  IDE.StartProcess({u"Main"});
  Type("{c}");
  IDE.CurrentModule()->Save(false, false);
  IDE.StopProcesses();
  Type("{d}");
  IDE.CurrentModule()->Save(false, false);
  Type("{e}");
  Click(u"Jump to Kestrune");
  IDE.TopView()->SetCursorPos({1, 9}); // moved before the delay timer fires
  Pump(200ms);
  EXPECT_EQ(Received(5), (std::vector<std::string>{"1030 " + U8(), "1028 " + U8(), "1030 " + U8(),
                                                   "1030 " + U8(), "1027 " + U8() + "|5"}));
}

TEST_F(CommandsTest, WithoutKestruneEveryCommandIsDisabledAndTellsItMustRun) {
  Load();
  IDE.AddProject(Utf8ToString((Dir / "p.dproj").string()), u"Delphi.Personality", u"Application",
                 {Unit});
  OpenUnit(6, 5);
  const String pascal = u"Kestrune Object Pascal Edition must be running to perform this "
                        u"operation.";
  const String any = u"Kestrune must be running to perform this operation.";
  const std::pair<const char16_t *, String> cases[] = {
      {u"KRAddToModelAction", pascal},     {u"KRConvertToModelAction", pascal},
      {u"KRRefreshInModelAction", pascal}, {u"KRJumpKestruneAction", pascal},
      {u"KROpenModelAction", pascal},      {u"KRInvokeModelSearchAction", pascal},
      {u"KRSynchronizeModelAction", any},  {u"KRAddFilesToModelAction", any},
      {u"KRConvertProjectAction", pascal},
  };
  const auto start = std::chrono::steady_clock::now();
  for (const auto &[name, message] : cases) {
    TCustomAction *action = Action(name);
    ASSERT_NE(action, nullptr);
    action->Update();
    EXPECT_FALSE(action->Enabled()) << StringToUtf8(name);
    AsTheIDE([&] { action->OnExecute(action); }); // run all the same
  }
  std::vector<String> expected;
  for (const auto &c : cases)
    expected.push_back(c.second);
  EXPECT_EQ(Messages(), expected);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "a command waited for Kestrune";
  // The menu's automatic hot keys outlive the updates of the actions.
  EXPECT_EQ(IDE.NTA->FindByCaptionPath(u"Kestrune/Jump to Kestrune")->Caption(),
            u"&Jump to Kestrune");
  EXPECT_EQ(IDE.NTA->FindByCaptionPath(u"Kestrune/Open Model")->Caption(), u"O&pen Model");

  // A file of no known language has the sender that is never connected.
  const String text = Utf8ToString((Dir / "notes.txt").string());
  std::ofstream(StringToUtf8(text)) << "notes\n";
  ASSERT_TRUE(IDE.Open(text));
  AsTheIDE([&] { Action(u"KRAddToModelAction")->OnExecute(nullptr); });
  EXPECT_EQ(Messages().back(), any);
}

TEST_F(CommandsTest, RunKestruneStartsTheProgramBelowItsInstallationFolder) {
  Load();
  std::vector<String> started;
  SetShellExecuteHook([&](const TShellExecuteRequest &r) {
    started.push_back(r.File);
    return HINSTANCE{42};
  });
  Click(u"Run Kestrune Pascal Edition"); // no installation folder
  const String install = Utf8ToString((Dir / "Kestrune 11").string());
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kKestruneKey, true));
    reg.WriteString(u"InstallDir", install);
  }
  Click(u"Run Kestrune Pascal Edition"); // no program there
  fs::create_directories(Dir / "Kestrune 11" / "bin");
  std::ofstream(Dir / "Kestrune 11" / "bin" / "kr11.exe") << "#!/bin/sh\n";
  Click(u"Run Kestrune Pascal Edition");
  SetShellExecuteHook(nullptr);
  const String exe = install + u"/bin/kr11.exe";
  EXPECT_EQ(started, std::vector<String>{exe});
  EXPECT_EQ(Messages(), (std::vector<String>{u"Kestrune Installation incomplete:\r\nUnable to read "
                                             u"Kestrune installation directory from HKLM registry.",
                                             u"Unable to locate Kestrune executable:\r\n" + exe}));
}

// The batch file lists what the user picked in the import dialog; a cancelled dialog sends
// nothing and says nothing.
TEST_F(CommandsTest, AddFilesSendsTheBatchOfTheFilesPickedInTheImportDialog) {
  StartKestrune();
  Load();
  const String other = Utf8ToString((Dir / "Other, unit.pas").string());
  std::ofstream(StringToUtf8(other)) << kUnitText;
  IDE.AddProject(Utf8ToString((Dir / "App.dproj").string()), u"Delphi.Personality", u"Application",
                 {Unit, other});
  {
    TScriptedModal cancel({Press({u"CancelBtn"})});
    Click(u"Add files to Model...");
  }
  TScriptedModal pick({Press({u"InsertAllBtn", u"OKBtn"})});
  Click(u"Add files to Model...");
  const auto calls = Received(1);
  ASSERT_EQ(calls.size(), 1u);
  ASSERT_EQ(calls[0].rfind("1029 ", 0), 0u) << calls[0];
  const std::string batch = ReadFile(calls[0].substr(5));
  EXPECT_NE(batch.find("Count=2\r\nFile_0=" + U8() + "\r\nFile_1=" + StringToUtf8(other)),
            std::string::npos)
      << batch;
  EXPECT_TRUE(Messages().empty());
}

TEST_F(CommandsTest, ConvertProjectSendsItsPascalFilesAsANewModel) {
  StartKestrune();
  Load();
  EXPECT_TRUE(Enabled(u"KRAddFilesToModelAction"));
  EXPECT_FALSE(Enabled(u"KRConvertProjectAction")); // no project
  const String dproj = Utf8ToString((Dir / "App.dproj").string());
  IDE.AddProject(dproj, u"Delphi.Personality", u"Application",
                 {Unit, Utf8ToString((Dir / "readme.txt").string())});
  EXPECT_TRUE(Enabled(u"KRConvertProjectAction"));
  Click(u"Convert project to Model");
  IDE.AddProject(Utf8ToString((Dir / "Web.dproj").string()), u"Web.Personality", u"Application",
                 {Unit});
  EXPECT_FALSE(Enabled(u"KRConvertProjectAction"));
  AsTheIDE([&] { Action(u"KRConvertProjectAction")->OnExecute(nullptr); });
  const auto calls = Received(1);
  ASSERT_EQ(calls.size(), 1u);
  const std::string batch = ReadFile(calls[0].substr(5));
  EXPECT_NE(batch.find("CreateNewModel=1"), std::string::npos) << batch;
  EXPECT_NE(batch.find("Project=" + (Dir / "App.dpr").string()), std::string::npos) << batch;
  EXPECT_NE(batch.find("Count=1\r\nFile_0=" + U8() + "\r\n"), std::string::npos) << batch;
  EXPECT_EQ(Messages(), std::vector<String>{u"Unable to determine active project language."});
}

// The batch file is the expert's own and written anew each time: a leftover that cannot be
// read does not block the import; what cannot be replaced is named at once, without a wait.
TEST_F(CommandsTest, ConvertProjectWritesTheBatchFileAnewOverAnyLeftover) {
  StartKestrune();
  Load();
  IDE.AddProject(Utf8ToString((Dir / "App.dproj").string()), u"Delphi.Personality", u"Application",
                 {Unit});
  Click(u"Convert project to Model");
  const auto first = Received(1);
  ASSERT_EQ(first.size(), 1u);
  const fs::path batch = first[0].substr(5);
  const std::string written = ReadFile(batch);
  std::ofstream(batch, std::ios::binary | std::ios::trunc) << std::string("\xFF\xFE\0\0[\0\0\0", 8);
  Click(u"Convert project to Model"); // marked as UTF-32
  EXPECT_EQ(ReadFile(batch), written);
  fs::remove(batch);
  fs::create_directory(batch);
  Click(u"Convert project to Model");
  fs::remove(batch);
  ASSERT_EQ(::mkfifo(batch.c_str(), 0600), 0);
  Click(u"Convert project to Model");
  fs::remove(batch);
  Click(u"Convert project to Model");
  EXPECT_EQ(Received(3).size(), 3u);
  const String shown = u"Cannot create file \"" + Utf8ToString(batch.string()) + u"\". ";
  EXPECT_EQ(Messages(),
            (std::vector<String>{shown + SysErrorMessage(EISDIR) + u".",
                                 shown + u"It is not a regular file (a pipe, device or socket)"}));
}

// A module whose name holds a line break is not offered: joined into the candidates' text, it
// would split into rows of names that are no module's.
TEST_F(CommandsTest, AModuleNameWithALineBreakAddsNoRowsToTheImportDialog) {
  StartKestrune();
  Load();
  const std::string forged = (Dir / "a.pas\nproject=Forged\nfile=forged.pas").string();
  std::ofstream(forged) << kUnitText;
  IDE.AddProject(Utf8ToString((Dir / "App.dproj").string()), u"Delphi.Personality", u"Application",
                 {Unit});
  ASSERT_TRUE(IDE.Open(Utf8ToString(forged)));
  TScriptedModal pick({Press({u"InsertAllBtn", u"OKBtn"})});
  Click(u"Add files to Model...");
  const auto calls = Received(1);
  ASSERT_EQ(calls.size(), 1u);
  const std::string batch = ReadFile(calls[0].substr(5));
  EXPECT_NE(batch.find("[Files]\r\nCount=1\r\nFile_0=" + U8() + "\r\n\r\n"), std::string::npos)
      << batch;
}

// Synchronising and converting the project need every module saved first.
TEST_F(CommandsTest, WhenSavingAllFailsNothingIsSent) {
  StartKestrune();
  Load();
  IDE.AddProject(Utf8ToString((Dir / "App.dproj").string()), u"Delphi.Personality", u"Application",
                 {Unit});
  ASSERT_TRUE(IDE.Open(Utf8ToString((Dir / "two.pas").string()), false, false));
  Type("unit Two;"); // modified, and its file's place taken by a folder: it cannot be saved
  fs::create_directory(Dir / "two.pas");
  OpenUnit(1, 1);
  AsTheIDE([&] { Action(u"KRSynchronizeModelAction")->OnExecute(nullptr); });
  AsTheIDE([&] { Action(u"KRConvertProjectAction")->OnExecute(nullptr); });
  Click(u"Add to Model");
  EXPECT_EQ(Received(1), std::vector<std::string>{"1025 " + U8()});
  EXPECT_EQ(IDE.Log.Find("module.saveall").size(), 2u);
}

// Request 1034 looks each name up in what it read of the project once, not by a walk through
// the project per entry.
TEST_F(CommandsTest, AProjectUpdateReadsTheProjectOnceWhateverItsLength) {
  Load();
  constexpr int kHeld = 300;
  std::vector<String> held;
  std::string doc = "<Files language=\"Object Pascal\">";
  for (int i = 0; i < 2 * kHeld; ++i) {
    const std::string name = "/p/Unit" + std::to_string(i) + ".pas";
    doc += "<File operation=\"add\" name=\"" + name + "\"/>";
    if (i % 2 == 0)
      held.push_back(Utf8ToString(name));
  }
  std::ofstream(Dir / "update.xml", std::ios::binary) << doc + "</Files>";
  IPtr<testide::THostProject> project =
      IDE.AddProject(u"/p/P.dproj", u"Delphi.Personality", u"Application", held);
  const String call = u"@01034:" + Utf8ToString((Dir / "update.xml").string());
  SendMessageW(FindWindowW(UtilWindowClass, u"_KR_BDS19_ENDPOINT"), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(call.c_str()));
  testide::PumpMessages(30s, [&] { return project->Files().size() == 2 * kHeld; });
  EXPECT_EQ(project->Files().size(), 2u * kHeld);
  EXPECT_EQ(project->ModuleReads, kHeld);
}

// The call stack goes to the file outermost call first (the IDE numbers calls from 0, the
// innermost first), after the earlier content when the user asks to append.
TEST_F(CommandsTest, TheCallStackIsWrittenOutermostFirstAndSent) {
  StartKestrune();
  Load();
  AsTheIDE([&] { Action(u"CreateSequenceDiagramAction")->OnExecute(nullptr); });
  IDE.StartProcess({u"TForm1.Inner"});
  AsTheIDE([&] { Action(u"CreateSequenceDiagramAction")->OnExecute(nullptr); });
  IDE.StopProcesses();
  IDE.StartProcess({u"TForm1.Inner", u"TForm1.Button1Click", u"Project1"});
  {
    TScriptedModal ok({Press({u"OKBtn"})});
    Click(u"Create sequence diagram from call stack");
  }
  TScriptedModal append({Press({u"AppendBox", u"OKBtn"})});
  Click(u"Create sequence diagram from call stack");
  const auto calls = Received(2);
  ASSERT_EQ(calls.size(), 2u);
  ASSERT_EQ(calls[0], calls[1]);
  const std::string block =
      "[BDS-STACKTRACE]\r\nProject1\r\nTForm1.Button1Click\r\nTForm1.Inner\r\n";
  EXPECT_EQ(ReadFile(calls[0].substr(5)), "\xEF\xBB\xBF" + block + block);
  EXPECT_EQ(calls[0].substr(calls[0].size() - 26), "/Auto-Sequence-Diagram.txt");
  EXPECT_EQ(Messages(),
            (std::vector<String>{u"No debug process available.\r\nStack trace only available when "
                                 u"debugger hits breakpoint.",
                                 u"Just a single stack frame is available. Unable to create stack "
                                 u"trace."}));
}

TEST_F(CommandsTest, WithoutKestruneTheCallStackIsWrittenAndTheUserToldItMustRun) {
  Load();
  IDE.StartProcess({u"Inner", u"Outer"});
  TScriptedModal ok({Press({u"OKBtn"})});
  AsTheIDE([&] { Action(u"CreateSequenceDiagramAction")->OnExecute(nullptr); });
  EXPECT_EQ(Messages(),
            std::vector<String>{u"Kestrune must be running to perform this operation."});
  const fs::path local = fs::path(std::getenv("KRX_SHELL_ROOT")) / "AppData" / "Local";
  std::string written;
  for (const auto &entry : fs::recursive_directory_iterator(local))
    if (entry.path().filename() == "Auto-Sequence-Diagram.txt")
      written = ReadFile(entry.path());
  EXPECT_EQ(written, "\xEF\xBB\xBF[BDS-STACKTRACE]\r\nOuter\r\nInner\r\n");
}

// Switching auto refresh on in the options warns once the user has not turned the warning
// off; the choices are saved at once and take effect.
TEST_F(CommandsTest, TheOptionsDialogSwitchesAutoRefreshOnAfterTheWarning) {
  StartKestrune();
  Load();
  {
    TScriptedModal options(
        {Press({u"AutoRefreshBox", u"OKBtn"}), [](TCustomForm &f) { TickAndConfirm(f); }});
    Click(u"Integration Options...");
    EXPECT_EQ(options.Remaining(), 0u);
  }
  TRegistry reg(KEY_READ);
  ASSERT_TRUE(reg.OpenKeyReadOnly(kSettings));
  EXPECT_TRUE(reg.ReadBool(u"AutoRefresh"));
  EXPECT_FALSE(reg.ReadBool(u"WarnAutoRefresh"));
  OpenUnit(1, 1);
  Type("{x}");
  IDE.CurrentModule()->Save(false, false);
  EXPECT_EQ(Received(1), std::vector<std::string>{"1030 " + U8()});
}

// The options' choices are saved and take effect: the menu moves into the Tools menu, the
// foreground mode picked by its name is stored, the settings the dialog does not show survive
// the save, and with the lock off a save while a program runs still refreshes.
TEST_F(CommandsTest, TheOptionsChosenAreSavedAndTakeEffect) {
  StartKestrune();
  Load([](TRegistry &reg) {
    reg.WriteBool(u"AutoRefresh", true);
    reg.WriteBool(u"ForeGndDelayed", true);
    reg.WriteBool(u"ForeGndFocusEditor", false);
  });
  TScriptedModal options({[](TCustomForm &f) {
    ClickControl(FindControl(&f, u"LockOnRunBox"));
    dynamic_cast<TRadioGroup *>(FindControl(&f, u"MenuPosGroup"))->Buttons(1)->Click();
    auto *modes = dynamic_cast<TComboBox *>(FindControl(&f, u"ForeGroundModeCombo"));
    modes->SelectItem(modes->Items().IndexOf(u"Attach thread"));
    ClickControl(FindControl(&f, u"OKBtn"));
  }});
  Click(u"Integration Options...");
  TRegistry reg(KEY_READ);
  ASSERT_TRUE(reg.OpenKeyReadOnly(kSettings));
  EXPECT_EQ(
      std::vector<bool>({reg.ReadBool(u"LockRefreshOnRun"), reg.ReadBool(u"ForeGndDelayed"),
                         reg.ReadBool(u"ForeGndFocusEditor"), reg.ReadBool(u"ToolsMenuExpert")}),
      std::vector<bool>({false, true, false, true}));
  EXPECT_EQ(reg.ReadString(u"ForeGndMode"), u"2");
  EXPECT_NE(IDE.NTA->FindByCaptionPath(u"Tools/Kestrune"), nullptr);
  OpenUnit(1, 1);
  IDE.StartProcess({u"Main"});
  Type("{x}");
  IDE.CurrentModule()->Save(false, false);
  EXPECT_EQ(Received(1), std::vector<std::string>{"1030 " + U8()});
}

// Cancel keeps everything: nothing is saved, no shortcut and no menu place changes.
TEST_F(CommandsTest, CancelledOptionsChangeNothing) {
  Load();
  const auto menu = IDE.NTA->MenuLines();
  TScriptedModal options({[](TCustomForm &f) {
    ClickControl(FindControl(&f, u"AutoRefreshBox"));
    dynamic_cast<TRadioGroup *>(FindControl(&f, u"MenuPosGroup"))->Buttons(1)->Click();
    dynamic_cast<TComboBox *>(FindControl(&f, u"ForeGroundModeCombo"))->SelectItem(2);
    auto *pages = dynamic_cast<TPageControl *>(FindControl(&f, u"PageControl"));
    pages->SetActivePage(dynamic_cast<TTabSheet *>(FindControl(&f, u"BindingsSheet")));
    dynamic_cast<TWinControl *>(FindControl(&f, u"ListView"))->SetFocus();
    PressKey(f, u'K', {ssCtrl});
    ClickControl(FindControl(&f, u"CancelBtn"));
  }});
  Click(u"Integration Options...");
  EXPECT_EQ(options.Remaining(), 0u); // and no warning
  EXPECT_EQ(IDE.NTA->MenuLines(), menu);
  TRegistry reg(KEY_READ);
  EXPECT_FALSE(reg.KeyExists(kSettings));
}

// A save that fails (the registry's hive is damaged) is reported, and the hive is left alone.
TEST_F(CommandsTest, AFailedSaveIsReportedAndLeavesTheHiveAlone) {
  Load();
  const fs::path hive = RegistryHiveFile(HKEY_CURRENT_USER);
  const bool existed = fs::exists(hive);
  const std::string good = existed ? ReadFile(hive) : std::string();
  std::ofstream(hive, std::ios::binary) << "damaged";
  TScriptedModal options({Press({u"OKBtn"})});
  Click(u"Integration Options...");
  const std::string after = ReadFile(hive);
  if (existed)
    std::ofstream(hive, std::ios::binary) << good;
  else
    fs::remove(hive);
  EXPECT_EQ(after, "damaged");
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find(Utf8ToString(hive.filename().string())), String::npos)
      << StringToUtf8(Messages()[0]);
}

// "@Title|Body" hints become two-part hints while the expert is loaded, and only then.
TEST_F(CommandsTest, TwoPartHintsFollowTheExpert) {
  TForm *form = TCustomForm::CreateNew<TForm>(nullptr);
  auto *button = new TButton(form);
  button->SetParent(form);
  button->SetHint(u"@Title|Body");
  button->SetShowHint(true);
  Load();
  EXPECT_EQ(ActivateHint(button).WindowClass, u"TKRSuperHintWindow");
  ASSERT_TRUE(Loader.Unload());
  EXPECT_NE(ActivateHint(button).WindowClass, u"TKRSuperHintWindow");
  delete form;
}

} // namespace
} // namespace krx::test
