// The test IDE host: an IDE over plain data that implements the IDE's services for a plug-in
// (Platform/ToolsAPI). Edit buffers hold UTF-8 bytes and have views with a cursor, a top line,
// a height and a block; modules save their buffers to disk and tell their notifiers; projects
// and project groups record what is built and added; the debugger runs scripted processes.
// Every effect a plug-in can cause or observe is written to the event log, one JSON line per
// event, so that tests and scripts can compare what happened, the foreground calls of the
// window layer included (the simulation lets a test set their answers). The IDE's main
// window (GetParentHandle) is its main form.
//
// Ownership: the host (TTestIDE) is owned by its creator and not counted; the IDE objects it
// hands out (modules, buffers, views, projects, processes) are counted and kept alive by the
// host while they are open. Notifier indexes count from 0 per registry and are never reused.
#pragma once

#include "Platform/Rtl/Files.h"
#include "Platform/ToolsAPI/ToolsAPI.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <variant>
#include <vector>

namespace krx::testide {

class TTestIDE;
class THostNTAServices;
class THostModule;
class THostBuffer;

// Handles this thread's messages (sent, posted, due timers) for `time`, or until `until`
// answers true. The queue is always gone through once more after the time is up, so what fell
// due while the thread waited for a processor still runs on a loaded machine.
void PumpMessages(std::chrono::milliseconds time, const std::function<bool()> &until = nullptr);

// ---- Event log ----------------------------------------------------------------------------

using TLogValue = std::variant<String, Int64, bool>;
using TLogFields = std::vector<std::pair<std::string, TLogValue>>;

// One JSON object per line: {"event":NAME, field: value, ...} in the order given.
class TEventLog {
public:
  void Add(const std::string &event, const TLogFields &fields = {});
  const std::vector<std::string> &Lines() const { return FLines; }
  // The lines of that event name.
  std::vector<std::string> Find(const std::string &event) const;
  void Clear() { FLines.clear(); }
  // Each new line is also written there (nullptr: kept only).
  void SetEcho(std::ostream *out) { FEcho = out; }

private:
  std::vector<std::string> FLines;
  std::ostream *FEcho = nullptr;
};

std::string JsonText(StringView s);

// ---- Notifier registries --------------------------------------------------------------------

// Registered notifiers by index; Remove of an unknown index is logged and ignored.
template <class T> class TNotifierList {
public:
  Integer Add(T *notifier) {
    const Integer index = FNext++;
    FItems.emplace(index, IPtr<T>(notifier));
    return index;
  }
  bool Remove(Integer index) { return FItems.erase(index) > 0; }
  Integer Count() const { return static_cast<Integer>(FItems.size()); }
  // A copy, so that a notifier may unregister while it is told.
  std::vector<IPtr<T>> Snapshot() const {
    std::vector<IPtr<T>> out;
    for (const auto &[index, item] : FItems)
      out.push_back(item);
    return out;
  }
  std::vector<std::pair<Integer, IPtr<T>>> Take() {
    std::vector<std::pair<Integer, IPtr<T>>> out(FItems.begin(), FItems.end());
    FItems.clear();
    return out;
  }

private:
  std::map<Integer, IPtr<T>> FItems;
  Integer FNext = 0;
};

// ---- Editors ------------------------------------------------------------------------------

class THostView : public TInterfacedObject, public IOTAEditView, public IOTAEditBlock {
public:
  explicit THostView(THostBuffer *buffer) : FBuffer(buffer) {}

  TOTAEditPos CursorPos() override { return FCursor; }
  void SetCursorPos(const TOTAEditPos &Value) override;
  TOTAEditPos TopPos() override { return FTop; }
  void SetTopPos(const TOTAEditPos &Value) override;
  Integer ViewWidth() override { return 80; }
  Integer ViewHeight() override { return FHeight; }
  Integer LastLineNumber() override;
  void ConvertPos(bool EdPosToCharPos, TOTAEditPos &EditPos, TOTACharPos &CharPos) override;
  Integer CharPosToPos(const TOTACharPos &CharPos) override;
  IPtr<IOTAEditBlock> Block() override { return IPtr<IOTAEditBlock>(this); }
  IPtr<IOTAEditBuffer> Buffer() override;
  IPtr<INTAEditWindow> GetEditWindow() override { return FWindow; }
  void Paint() override;

  // The block: valid while a selection is set.
  bool IsValid() override { return FBlockValid; }
  String Text() override;

  void SetHeight(Integer lines) { FHeight = lines; }
  // Selects from one edit position up to (not including) another; an empty range clears.
  void Select(TOTAEditPos from, TOTAEditPos to);
  void SetEditWindow(IPtr<INTAEditWindow> window) { FWindow = std::move(window); }
  void Detach() { FBuffer = nullptr; }

private:
  THostBuffer *FBuffer; // not counted: the buffer keeps its views
  TOTAEditPos FCursor{1, 1};
  TOTAEditPos FTop{1, 1};
  Integer FHeight = 40;
  bool FBlockValid = false;
  TOTAEditPos FBlockStart, FBlockEnd;
  IPtr<INTAEditWindow> FWindow;
};

// One open file's text. Also the module's source editor.
class THostBuffer : public TInterfacedObject, public IOTAEditBuffer {
public:
  THostBuffer(TTestIDE &ide, const String &fileName, std::string text);
  ~THostBuffer() override;

  String FileName() override { return FFileName; }
  bool Modified() override { return FModified; }
  IPtr<IOTAModule> Module() override;
  void Show() override;
  Integer AddNotifier(IOTANotifier *Notifier) override;
  void RemoveNotifier(Integer Index) override;
  IPtr<IOTAEditReader> CreateReader() override;
  IPtr<IOTAEditWriter> CreateWriter() override;
  IPtr<IOTAEditWriter> CreateUndoableWriter() override;
  Integer EditViewCount() override { return static_cast<Integer>(FViews.size()); }
  IPtr<IOTAEditView> EditViews(Integer Index) override;
  IPtr<IOTAEditView> TopView() override;

  const std::string &Utf8() const { return FText; }
  // Replaces the text (as typing or a writer does) and marks the buffer modified.
  void SetText(std::string text, const char *how);
  void SetModified(bool value) { FModified = value; }
  // Byte offset of each line start; always at least one line.
  std::vector<std::size_t> LineStarts() const;
  // Adds a view (the first one a buffer gets when it is opened).
  IPtr<THostView> AddView();
  void SetModule(THostModule *module) { FModule = module; }
  void SetFileName(const String &name) { FFileName = name; }
  // Tells the editor notifiers that the editor goes and drops them.
  void NotifyDestroyed();
  Integer NotifierCount() const { return FNotifiers.Count(); }
  // The most a reader hands out per call; a reader result to report instead of the real
  // count (to test a plug-in against a misbehaving IDE).
  Integer ReadLimit = 1 << 30;
  std::optional<Integer> ForcedReadResult;
  // Reader calls so far.
  Integer ReadCalls = 0;
  // The file the text was reloaded from, while the text is still that file's (any change of
  // the text, and a save, forget it).
  std::optional<TFileStamp> ReloadedFrom;

  TTestIDE &IDE() { return FIDE; }

private:
  TTestIDE &FIDE;
  String FFileName;
  std::string FText;
  bool FModified = false;
  THostModule *FModule = nullptr; // the module keeps the buffer
  std::vector<IPtr<THostView>> FViews;
  TNotifierList<IOTANotifier> FNotifiers;
};

// ---- Modules and projects -------------------------------------------------------------------

class THostModule : public TInterfacedObject, public virtual IOTAModule {
public:
  THostModule(TTestIDE &ide, const String &fileName);

  String FileName() override { return FReportedName.empty() ? FFileName : FReportedName; }
  Integer ModuleFileCount() override { return static_cast<Integer>(FEditors.size()); }
  IPtr<IOTAEditor> ModuleFileEditors(Integer Index) override;
  bool Save(bool ChangeName, bool ForceSave) override;
  Integer AddNotifier(IOTAModuleNotifier *Notifier) override;
  void RemoveNotifier(Integer Index) override;

  void AddEditor(IPtr<IOTAEditor> editor) { FEditors.push_back(std::move(editor)); }
  // The module's source buffer (the first file editor that is a host buffer), or null.
  IPtr<THostBuffer> SourceBuffer();
  // The name the module reports until Settle (a unit with a form is first reported under
  // its form file).
  void ReportAs(const String &name) { FReportedName = name; }
  void Settle() { FReportedName.clear(); }
  void Rename(const String &newName);
  // Tells the module notifiers and the editors' notifiers that the module goes.
  void NotifyDestroyed();
  Integer NotifierCount() const { return FNotifiers.Count(); }
  const String &RealFileName() const { return FFileName; }

protected:
  TTestIDE &FIDE;
  String FFileName;
  String FReportedName;
  std::vector<IPtr<IOTAEditor>> FEditors;
  TNotifierList<IOTAModuleNotifier> FNotifiers;
};

class THostProject : public THostModule, public IOTAProject, public IOTAProjectBuilder {
public:
  THostProject(TTestIDE &ide, const String &fileName, const String &personality,
               const String &projectType);

  String Personality() override { return FPersonality; }
  String ProjectType() override { return FProjectType; }
  Integer GetModuleCount() override { return static_cast<Integer>(FFiles.size()); }
  IPtr<IOTAModuleInfo> GetModule(Integer Index) override;
  void AddFile(const String &FileName, bool IsUnitOrForm) override;
  IPtr<IOTAProjectBuilder> ProjectBuilder() override { return IPtr<IOTAProjectBuilder>(this); }
  bool BuildProject(TOTACompileMode CompileMode, bool Wait) override;

  std::vector<String> &Files() { return FFiles; }
  // GetModule calls so far (what a plug-in's look through the project costs).
  Integer ModuleReads = 0;

private:
  String FPersonality;
  String FProjectType;
  std::vector<String> FFiles;
};

class THostProjectGroup : public THostModule, public IOTAProjectGroup {
public:
  THostProjectGroup(TTestIDE &ide, const String &fileName) : THostModule(ide, fileName) {}
  Integer ProjectCount() override { return static_cast<Integer>(FProjects.size()); }
  IPtr<IOTAProject> Projects(Integer Index) override;
  IPtr<IOTAProject> ActiveProject() override { return FActive; }

  void AddProject(IPtr<THostProject> project);
  void SetActive(IPtr<THostProject> project) { FActive = std::move(project); }

private:
  std::vector<IPtr<THostProject>> FProjects;
  IPtr<IOTAProject> FActive;
};

// ---- Debugger -----------------------------------------------------------------------------

class THostThread : public TInterfacedObject, public IOTAThread {
public:
  explicit THostThread(std::vector<String> calls) : FCalls(std::move(calls)) {}
  Integer GetCallCount() override { return static_cast<Integer>(FCalls.size()); }
  // Headers are numbered 0 to the count - 1, the innermost call first; others give "".
  String GetCallHeader(Integer Index) override;

private:
  std::vector<String> FCalls;
};

class THostProcess : public TInterfacedObject, public IOTAProcess {
public:
  explicit THostProcess(IPtr<THostThread> thread) : FThread(std::move(thread)) {}
  IPtr<IOTAThread> CurrentThread() override { return FThread; }
  Integer ThreadCount() override { return FThread ? 1 : 0; }
  IPtr<IOTAThread> Threads(Integer Index) override;

private:
  IPtr<IOTAThread> FThread;
};

// ---- Theming ------------------------------------------------------------------------------

class THostTheming : public TNoRefCountObject, public IOTAIDEThemingServices {
public:
  explicit THostTheming(TTestIDE &ide) : FIDE(ide) {}
  bool IDEThemingEnabled() override { return FEnabled; }
  TCustomStyleServices *StyleServices() override { return FStyleServices; }
  void ApplyTheme(TComponent *AComponent) override;
  void RegisterFormClass(TCustomFormClass AFormClass) override;
  Integer AddNotifier(INTAIDEThemingServicesNotifier *Notifier) override;
  void RemoveNotifier(Integer Index) override;

  void SetEnabled(bool value) { FEnabled = value; }
  void SetStyleServices(TCustomStyleServices *value) { FStyleServices = value; }
  // Tells the notifiers ChangingTheme, switches, then ChangedTheme.
  void ChangeTheme(const String &name);
  Integer NotifierCount() const { return FNotifiers.Count(); }
  const String &ThemeName() const { return FThemeName; }
  // Tells every notifier Destroyed and drops them.
  void DestroyNotifiers();

private:
  TTestIDE &FIDE;
  TNotifierList<INTAIDEThemingServicesNotifier> FNotifiers;
  bool FEnabled = true;
  TCustomStyleServices *FStyleServices = nullptr;
  String FThemeName = u"Light";
};

// ---- The IDE ------------------------------------------------------------------------------

class TTestIDE : public TNoRefCountObject,
                 public IBorlandIDEServices,
                 public IOTAWizardServices,
                 public IOTAAboutBoxServices,
                 public IOTASplashScreenServices,
                 public IOTAIDEServices,
                 public IOTAActionServices,
                 public IOTAModuleServices,
                 public IOTAEditorServices,
                 public IOTADebuggerServices {
public:
  TTestIDE();
  ~TTestIDE() override;

  TEventLog Log;

  // Services: a GUID in this set is answered with null.
  std::set<String> MissingServices;
  void SetServiceMissing(const TGUID &service, bool missing);
  IPtr<IInterface> QueryService(const TGUID &Service) override;

  // Wizards
  Integer AddWizard(IOTAWizard *Wizard) override;
  void RemoveWizard(Integer Index) override;
  Integer WizardCount() const { return FWizards.Count(); }
  // Tells every wizard Destroyed and drops them, as the IDE does when it shuts down.
  void DestroyWizards();

  // About box and splash screen
  Integer AddPluginInfo(const String &Title, const String &Description, HBITMAP Image,
                        bool IsUnRegistered, const String &StatusLabel, const String &VersionText,
                        const String &Extra) override;
  void RemovePluginInfo(Integer Index) override;
  void AddPluginBitmap(const String &Caption, HBITMAP Bitmap, bool IsUnRegistered,
                       const String &StatusText, const String &VersionText) override;

  // IDE notifiers
  Integer AddNotifier(IOTAIDENotifier *Notifier) override;
  void RemoveNotifier(Integer Index) override;
  HWND GetParentHandle() override { return FParentHandle; }
  void SetParentHandle(HWND wnd) { FParentHandle = wnd; }
  Integer IDENotifierCount() const { return FIDENotifiers.Count(); }
  // Tells every IDE notifier; returns whether one cancelled.
  bool FileNotification(TOTAFileNotification code, const String &fileName);

  // Actions on files
  bool OpenFile(const String &FileName) override;
  bool ReloadFile(const String &FileName) override;

  // Modules
  IPtr<IOTAModule> CurrentModule() override;
  IPtr<IOTAModule> FindModule(const String &FileName) override;
  IPtr<IOTAProjectGroup> MainProjectGroup() override { return GroupMissing ? nullptr : FGroup; }
  // The module services answer no main project group (the active project stays).
  bool GroupMissing = false;
  // Run once when ReloadFile is next called, before it reads the file: another program
  // finishing its write between the expert's own read and the IDE's.
  std::function<void()> BeforeReload;
  IPtr<IOTAProject> GetActiveProject() override;
  Integer ModuleCount() override { return static_cast<Integer>(FModules.size()); }
  IPtr<IOTAModule> Modules(Integer Index) override;
  bool SaveAll() override;
  // Opens a file from disk (an empty text when it does not exist and mustExist is false).
  // withForm: the module also has a form file and is first reported under it, until the
  // next Settle. Returns null when the file cannot be opened.
  IPtr<THostModule> Open(const String &fileName, bool withForm = false, bool mustExist = true);
  // Ends the first report of modules opened with a form.
  void SettleModules();
  bool Close(const String &fileName);
  void CloseAll();
  // Modules and buffers are found by their exact names, as the file system tells files apart.
  IPtr<THostModule> FindHostModule(const String &fileName);
  IPtr<THostBuffer> FindBuffer(const String &fileName);
  // Makes the module of the file the current one; its buffer becomes the top buffer.
  bool Activate(const String &fileName);
  // A project (with its group, created on first use); opens it as a module and makes it
  // the active project.
  IPtr<THostProject> AddProject(const String &fileName, const String &personality,
                                const String &projectType, const std::vector<String> &files);

  // Editors
  IPtr<IOTAEditBuffer> TopBuffer() override;
  IPtr<IOTAEditView> TopView() override;
  bool GetEditBufferIterator(IPtr<IOTAEditBufferIterator> &Iterator) override;
  bool IteratorMissing = false;

  // Debugger
  Integer ProcessCount() override { return static_cast<Integer>(FProcesses.size()); }
  IPtr<IOTAProcess> Processes(Integer Index) override;
  IPtr<IOTAProcess> CurrentProcess() override;
  // Starts a process whose current thread has these calls (innermost first); an empty list
  // gives a process without a current thread.
  void StartProcess(const std::vector<String> &calls, bool withThread = true);
  void StopProcesses();

  // The main form, main menu, image list and actions.
  std::unique_ptr<THostNTAServices> NTA;
  // The one edit window every view shows in; its form holds the editor control.
  IPtr<INTAEditWindow> EditWindow;

  // Theming (a separate object: its RemoveNotifier differs from the IDE services' one)
  THostTheming Theming;

  // Registrations still held (wizards, notifiers of every kind); 0 after a clean unload.
  Integer RegistrationCount();

  // Makes the module the current one (and its buffer the top buffer).
  void MakeCurrent(const IPtr<THostModule> &module);

private:
  // Foreground calls (of the window layer's simulation) go to the log as they are made:
  // {"event":"foreground","call":NAME,...} with the window as "ide", "none" or "other".
  void LogForegroundCall(const TWinCall &call);

  TNotifierList<IOTAWizard> FWizards;
  TNotifierList<IOTAIDENotifier> FIDENotifiers;
  std::map<Integer, String> FAboutEntries;
  Integer FNextAbout = 0;
  HWND FParentHandle = nullptr;
  std::vector<IPtr<THostModule>> FModules;
  IPtr<THostModule> FCurrent;
  IPtr<THostProjectGroup> FGroup;
  std::vector<IPtr<THostProcess>> FProcesses;
};

} // namespace krx::testide
