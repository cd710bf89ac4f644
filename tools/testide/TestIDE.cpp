#include "TestIDE.h"

#include "PluginHost.h"

#include "../common/LinkTool.h"
#include "Platform/Rtl/Classes.h"
#include "Platform/Rtl/Files.h"
#include "Platform/Vcl/Graphics.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <limits>
#include <optional>
#include <sstream>
#include <thread>
#include <utility>

namespace krx::testide {

void PumpMessages(std::chrono::milliseconds time, const std::function<bool()> &until) {
  const auto end = std::chrono::steady_clock::now() + time;
  MSG msg;
  for (;;) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if ((until && until()) || std::chrono::steady_clock::now() >= end)
      return;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

// ---- Event log ----------------------------------------------------------------------------

std::string JsonText(StringView s) { return tool::JsonString(s); }

void TEventLog::Add(const std::string &event, const TLogFields &fields) {
  std::string line = "{\"event\":\"" + event + "\"";
  for (const auto &[name, value] : fields) {
    line += ",\"" + name + "\":";
    if (const auto *s = std::get_if<String>(&value))
      line += JsonText(*s);
    else if (const auto *b = std::get_if<bool>(&value))
      line += *b ? "true" : "false";
    else
      line += std::to_string(std::get<Int64>(value));
  }
  line += "}";
  FLines.push_back(line);
  if (FEcho)
    *FEcho << line << std::endl;
}

std::vector<std::string> TEventLog::Find(const std::string &event) const {
  const std::string prefix = "{\"event\":\"" + event + "\"";
  std::vector<std::string> out;
  for (const std::string &line : FLines)
    if (line.compare(0, prefix.size(), prefix) == 0)
      out.push_back(line);
  return out;
}

namespace {

// The text a buffer takes from a file: UTF-8 without the byte-order mark the file may start
// with. Read as the IDE side reads files: nothing for a missing file, one that is not regular
// (a FIFO would block the reader, and a request from Kestrune may name one), one past the
// read bound or a name the file system cannot take; `why` then says why.
std::optional<std::string> BufferTextOf(const String &fileName, String *why = nullptr,
                                        TFileStamp *stamp = nullptr) {
  std::string os;
  if (!TryFileNameToOS(fileName, os)) {
    if (why)
      *why = FileNameProblem(fileName);
    return std::nullopt;
  }
  TReadResult read = ReadRegularFile(os);
  if (!read.Ok()) {
    if (why)
      *why = read.Reason();
    return std::nullopt;
  }
  if (stamp)
    *stamp = read.Stamp;
  std::string text = std::move(read.Bytes);
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
    text.erase(0, 3);
  return text;
}

// Why a save failed, in the words of a failed read ("is not a regular file").
String SaveFailure(const TReplaceResult &result) {
  if (result.FailedStep == TReplaceStep::Changed)
    return u"the file changed on disk since the buffer took its text, or while it was saved";
  if (result.FailedStep == TReplaceStep::Create && result.Error == ENXIO)
    return u"is not a regular file";
  if (result.FailedStep == TReplaceStep::Create && result.Error == EISDIR)
    return u"is a folder";
  return SysErrorMessage(result.Error);
}

// An action's outcome in the log, with the reason of a failed read.
TLogFields ActionFields(const String &fileName, bool ok, const String &why) {
  TLogFields fields{{"file", fileName}, {"ok", ok}};
  if (!ok && !why.empty())
    fields.emplace_back("reason", why);
  return fields;
}

// How a plug-in's bitmap shows in the log: its size, or what else the handle is.
TLogValue BitmapText(HBITMAP Handle) {
  if (!Handle)
    return u"none";
  const TBitmap *bitmap = TBitmap::FromHandle(Handle);
  if (!bitmap)
    return u"unknown";
  return IntToStr(bitmap->Width()) + u"x" + IntToStr(bitmap->Height());
}

// The UTF-8 bytes of the code units [0, count) of a line's text, clamped to the line.
std::size_t BytesOfUnits(const std::string &text, std::size_t from, std::size_t to, Integer units) {
  std::size_t pos = from;
  while (units > 0 && pos < to) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    const std::size_t len = lead < 0x80    ? 1
                            : lead >= 0xF0 ? 4
                            : lead >= 0xE0 ? 3
                            : lead >= 0xC0 ? 2
                                           : 1;
    units -= len == 4 ? 2 : 1;
    pos = std::min(pos + len, to);
  }
  return pos;
}

} // namespace

// ---- Views --------------------------------------------------------------------------------

void THostView::SetCursorPos(const TOTAEditPos &Value) {
  FCursor = Value;
  if (FBuffer)
    FBuffer->IDE().Log.Add(
        "view.cursor",
        {{"file", FBuffer->FileName()}, {"line", Int64{Value.Line}}, {"col", Int64{Value.Col}}});
}

void THostView::SetTopPos(const TOTAEditPos &Value) {
  FTop = Value;
  if (FBuffer)
    FBuffer->IDE().Log.Add(
        "view.top",
        {{"file", FBuffer->FileName()}, {"line", Int64{Value.Line}}, {"col", Int64{Value.Col}}});
}

Integer THostView::LastLineNumber() {
  return FBuffer ? static_cast<Integer>(FBuffer->LineStarts().size()) : 0;
}

// A column may be any integer a script or a plug-in sets: the steps between 1-based columns
// and 0-based indexes are clamped, so the lowest and highest values do not overflow.
void THostView::ConvertPos(bool EdPosToCharPos, TOTAEditPos &EditPos, TOTACharPos &CharPos) {
  if (EdPosToCharPos) {
    CharPos.Line = EditPos.Line;
    CharPos.CharIndex = EditPos.Col < 1 ? 0 : EditPos.Col - 1;
  } else {
    EditPos.Line = CharPos.Line;
    EditPos.Col = static_cast<Integer>(
        std::min<Int64>(Int64{CharPos.CharIndex} + 1, std::numeric_limits<Integer>::max()));
  }
}

Integer THostView::CharPosToPos(const TOTACharPos &CharPos) {
  if (!FBuffer)
    return -1;
  const auto starts = FBuffer->LineStarts();
  if (CharPos.Line < 1 || CharPos.Line > static_cast<Integer>(starts.size()) ||
      CharPos.CharIndex < 0)
    return -1;
  const std::string &text = FBuffer->Utf8();
  const std::size_t from = starts[CharPos.Line - 1];
  const std::size_t to =
      CharPos.Line < static_cast<Integer>(starts.size()) ? starts[CharPos.Line] - 1 : text.size();
  return static_cast<Integer>(BytesOfUnits(text, from, to, CharPos.CharIndex));
}

IPtr<IOTAEditBuffer> THostView::Buffer() { return IPtr<IOTAEditBuffer>(FBuffer); }

void THostView::Paint() {
  if (FBuffer)
    FBuffer->IDE().Log.Add("view.paint", {{"file", FBuffer->FileName()}});
}

String THostView::Text() {
  if (!FBlockValid || !FBuffer)
    return String();
  // A column below 1 gives no position (-1), and so no text.
  const auto index = [](Integer col) { return col < 1 ? -1 : col - 1; };
  TOTACharPos a{index(FBlockStart.Col), FBlockStart.Line}, b{index(FBlockEnd.Col), FBlockEnd.Line};
  const Integer from = CharPosToPos(a), to = CharPosToPos(b);
  if (from < 0 || to < from)
    return String();
  return Utf8ToString(std::string_view(FBuffer->Utf8()).substr(from, to - from));
}

void THostView::Select(TOTAEditPos from, TOTAEditPos to) {
  FBlockStart = from;
  FBlockEnd = to;
  FBlockValid = from.Line != to.Line || from.Col != to.Col;
}

// ---- Readers and writers ------------------------------------------------------------------

namespace {

class THostReader : public TInterfacedObject, public IOTAEditReader {
public:
  explicit THostReader(IPtr<THostBuffer> buffer) : FBuffer(std::move(buffer)) {}
  Integer GetText(Integer Position, char *Buffer, Integer Count) override {
    ++FBuffer->ReadCalls;
    if (FBuffer->ForcedReadResult)
      return *FBuffer->ForcedReadResult;
    const std::string &text = FBuffer->Utf8();
    if (Position < 0 || Count <= 0 || static_cast<std::size_t>(Position) >= text.size())
      return 0;
    const std::size_t n =
        std::min({static_cast<std::size_t>(Count), static_cast<std::size_t>(FBuffer->ReadLimit),
                  text.size() - static_cast<std::size_t>(Position)});
    std::memcpy(Buffer, text.data() + Position, n);
    return static_cast<Integer>(n);
  }

private:
  IPtr<THostBuffer> FBuffer;
};

// Builds the new text while it lives (copied and inserted parts), and replaces the buffer's
// text with it, plus the rest of the original, when the last reference goes.
class THostWriter : public TInterfacedObject, public IOTAEditWriter {
public:
  THostWriter(IPtr<THostBuffer> buffer, bool undoable)
      : FBuffer(std::move(buffer)), FOriginal(FBuffer->Utf8()), FUndoable(undoable) {}
  ~THostWriter() override {
    FOut.append(FOriginal, FPos);
    FBuffer->SetText(std::move(FOut), FUndoable ? "undoable-writer" : "writer");
  }
  void CopyTo(Integer Pos) override {
    const std::size_t to = Clamp(Pos);
    if (to > FPos) {
      FOut.append(FOriginal, FPos, to - FPos);
      FPos = to;
    }
  }
  void DeleteTo(Integer Pos) override { FPos = std::max(FPos, Clamp(Pos)); }
  void Insert(const char *Text) override { FOut += Text; }
  Integer CurrentPos() override { return static_cast<Integer>(FPos); }

private:
  std::size_t Clamp(Integer pos) const {
    return pos < 0 ? 0 : std::min(static_cast<std::size_t>(pos), FOriginal.size());
  }
  IPtr<THostBuffer> FBuffer;
  std::string FOriginal;
  std::string FOut;
  std::size_t FPos = 0;
  bool FUndoable;
};

// The form file of a unit: an editor without text.
class THostFormEditor : public TInterfacedObject, public IOTAEditor {
public:
  THostFormEditor(const String &fileName, THostModule *module)
      : FFileName(fileName), FModule(module) {}
  String FileName() override { return FFileName; }
  bool Modified() override { return false; }
  IPtr<IOTAModule> Module() override { return IPtr<IOTAModule>(FModule); }
  void Show() override {}
  Integer AddNotifier(IOTANotifier *Notifier) override { return FNotifiers.Add(Notifier); }
  void RemoveNotifier(Integer Index) override { FNotifiers.Remove(Index); }

private:
  String FFileName;
  THostModule *FModule;
  TNotifierList<IOTANotifier> FNotifiers;
};

class THostIterator : public TInterfacedObject, public IOTAEditBufferIterator {
public:
  explicit THostIterator(std::vector<IPtr<THostBuffer>> buffers) : FBuffers(std::move(buffers)) {}
  Integer Count() override { return static_cast<Integer>(FBuffers.size()); }
  IPtr<IOTAEditBuffer> EditBuffers(Integer Index) override {
    if (Index < 0 || Index >= Count())
      return nullptr;
    return FBuffers[Index];
  }

private:
  std::vector<IPtr<THostBuffer>> FBuffers;
};

class THostModuleInfo : public TInterfacedObject, public IOTAModuleInfo {
public:
  explicit THostModuleInfo(const String &fileName) : FFileName(fileName) {}
  String FileName() override { return FFileName; }

private:
  String FFileName;
};

} // namespace

// ---- Buffers ------------------------------------------------------------------------------

THostBuffer::THostBuffer(TTestIDE &ide, const String &fileName, std::string text)
    : FIDE(ide), FFileName(fileName), FText(std::move(text)) {}

THostBuffer::~THostBuffer() {
  for (auto &view : FViews)
    view->Detach();
}

IPtr<IOTAModule> THostBuffer::Module() { return IPtr<IOTAModule>(FModule); }

void THostBuffer::Show() {
  FIDE.Log.Add("buffer.show", {{"file", FFileName}});
  if (FModule)
    FIDE.MakeCurrent(IPtr<THostModule>(FModule));
}

Integer THostBuffer::AddNotifier(IOTANotifier *Notifier) {
  const Integer index = FNotifiers.Add(Notifier);
  FIDE.Log.Add("notifier.add", {{"kind", u"editor"}, {"file", FFileName}, {"index", Int64{index}}});
  return index;
}

void THostBuffer::RemoveNotifier(Integer Index) {
  const bool known = FNotifiers.Remove(Index);
  FIDE.Log.Add(
      "notifier.remove",
      {{"kind", u"editor"}, {"file", FFileName}, {"index", Int64{Index}}, {"known", known}});
}

IPtr<IOTAEditReader> THostBuffer::CreateReader() {
  return IPtr<IOTAEditReader>(new THostReader(IPtr<THostBuffer>(this)));
}

IPtr<IOTAEditWriter> THostBuffer::CreateWriter() {
  return IPtr<IOTAEditWriter>(new THostWriter(IPtr<THostBuffer>(this), false));
}

IPtr<IOTAEditWriter> THostBuffer::CreateUndoableWriter() {
  return IPtr<IOTAEditWriter>(new THostWriter(IPtr<THostBuffer>(this), true));
}

IPtr<IOTAEditView> THostBuffer::EditViews(Integer Index) {
  if (Index < 0 || Index >= EditViewCount())
    return nullptr;
  return FViews[Index];
}

IPtr<IOTAEditView> THostBuffer::TopView() {
  return FViews.empty() ? nullptr : IPtr<IOTAEditView>(FViews.front());
}

void THostBuffer::SetText(std::string text, const char *how) {
  FText = std::move(text);
  FModified = true;
  ReloadedFrom.reset();
  FIDE.Log.Add("buffer.change",
               {{"file", FFileName}, {"how", Utf8ToString(how)}, {"bytes", Int64(FText.size())}});
  for (auto &n : FNotifiers.Snapshot())
    n->Modified();
}

std::vector<std::size_t> THostBuffer::LineStarts() const {
  std::vector<std::size_t> starts{0};
  for (std::size_t i = 0; i < FText.size(); ++i)
    if (FText[i] == '\n')
      starts.push_back(i + 1);
  return starts;
}

IPtr<THostView> THostBuffer::AddView() {
  IPtr<THostView> view(new THostView(this));
  view->SetEditWindow(FIDE.EditWindow);
  FViews.push_back(view);
  return view;
}

void THostBuffer::NotifyDestroyed() {
  for (auto &[index, n] : FNotifiers.Take())
    n->Destroyed();
}

// ---- Modules ------------------------------------------------------------------------------

THostModule::THostModule(TTestIDE &ide, const String &fileName) : FIDE(ide), FFileName(fileName) {}

IPtr<IOTAEditor> THostModule::ModuleFileEditors(Integer Index) {
  if (Index < 0 || Index >= ModuleFileCount())
    return nullptr;
  return FEditors[Index];
}

IPtr<THostBuffer> THostModule::SourceBuffer() {
  for (auto &e : FEditors)
    if (auto *b = dynamic_cast<THostBuffer *>(e.get()))
      return IPtr<THostBuffer>(b);
  return nullptr;
}

bool THostModule::Save(bool ChangeName, bool ForceSave) {
  IPtr<THostBuffer> buffer = SourceBuffer();
  if (!buffer || (!buffer->Modified() && !ForceSave)) {
    FIDE.Log.Add("module.save", {{"file", FFileName}, {"written", false}});
    return true;
  }
  for (auto &n : FNotifiers.Snapshot())
    n->BeforeSave();
  // Regular files only, never waiting: a FIFO or device where the unit was is refused. A file
  // that another program writes while the buffer is saved is left to that program, and so is
  // one written since the buffer reloaded it: saved, the buffer would only put the older text
  // back over it.
  const std::string os = FileNameToOS(buffer->FileName());
  TFileStamp before;
  TReplaceOptions options;
  if (buffer->ReloadedFrom)
    options.ExpectedFile = &*buffer->ReloadedFrom;
  else if (FileStampOf(os, before))
    options.ExpectedFile = &before;
  options.ExpectUnchanged = true;
  const TReplaceResult saved = ReplaceFileContents(os, buffer->Utf8(), options);
  if (saved.FailedStep != TReplaceStep::None) {
    FIDE.Log.Add("module.save", {{"file", FFileName},
                                 {"written", false},
                                 {"failed", true},
                                 {"reason", SaveFailure(saved)}});
    return false;
  }
  buffer->SetModified(false);
  buffer->ReloadedFrom.reset();
  FIDE.Log.Add(
      "module.save",
      {{"file", FFileName}, {"written", true}, {"changeName", ChangeName}, {"force", ForceSave}});
  for (auto &n : FNotifiers.Snapshot())
    n->AfterSave();
  return true;
}

Integer THostModule::AddNotifier(IOTAModuleNotifier *Notifier) {
  const Integer index = FNotifiers.Add(Notifier);
  FIDE.Log.Add("notifier.add", {{"kind", u"module"}, {"file", FFileName}, {"index", Int64{index}}});
  return index;
}

void THostModule::RemoveNotifier(Integer Index) {
  const bool known = FNotifiers.Remove(Index);
  FIDE.Log.Add(
      "notifier.remove",
      {{"kind", u"module"}, {"file", FFileName}, {"index", Int64{Index}}, {"known", known}});
}

void THostModule::Rename(const String &newName) {
  const String old = FFileName;
  FFileName = newName;
  if (IPtr<THostBuffer> b = SourceBuffer())
    b->SetFileName(newName);
  FIDE.Log.Add("module.rename", {{"file", old}, {"newName", newName}});
  for (auto &n : FNotifiers.Snapshot())
    n->ModuleRenamed(newName);
}

void THostModule::NotifyDestroyed() {
  for (auto &e : FEditors)
    if (auto *b = dynamic_cast<THostBuffer *>(e.get()))
      b->NotifyDestroyed();
  for (auto &[index, n] : FNotifiers.Take())
    n->Destroyed();
}

// ---- Projects -----------------------------------------------------------------------------

THostProject::THostProject(TTestIDE &ide, const String &fileName, const String &personality,
                           const String &projectType)
    : THostModule(ide, fileName), FPersonality(personality), FProjectType(projectType) {}

IPtr<IOTAModuleInfo> THostProject::GetModule(Integer Index) {
  ++ModuleReads;
  if (Index < 0 || Index >= GetModuleCount())
    return nullptr;
  return IPtr<IOTAModuleInfo>(new THostModuleInfo(FFiles[Index]));
}

void THostProject::AddFile(const String &FileName, bool IsUnitOrForm) {
  FFiles.push_back(FileName);
  FIDE.Log.Add("project.addfile",
               {{"project", FFileName}, {"file", FileName}, {"isUnitOrForm", IsUnitOrForm}});
}

bool THostProject::BuildProject(TOTACompileMode CompileMode, bool Wait) {
  static const char16_t *const kModes[] = {u"make", u"build", u"check"};
  const Int64 mode = CompileMode;
  FIDE.Log.Add("project.build", {{"project", FFileName},
                                 {"mode", mode >= 0 && mode <= 2 ? String(kModes[mode]) : u"?"},
                                 {"wait", Wait}});
  return true;
}

IPtr<IOTAProject> THostProjectGroup::Projects(Integer Index) {
  if (Index < 0 || Index >= ProjectCount())
    return nullptr;
  return FProjects[Index];
}

void THostProjectGroup::AddProject(IPtr<THostProject> project) {
  FProjects.push_back(std::move(project));
}

// ---- Debugger -----------------------------------------------------------------------------

String THostThread::GetCallHeader(Integer Index) {
  if (Index < 0 || Index >= GetCallCount())
    return String();
  return FCalls[static_cast<std::size_t>(Index)];
}

IPtr<IOTAThread> THostProcess::Threads(Integer Index) { return Index == 0 ? FThread : nullptr; }

// ---- Theming ------------------------------------------------------------------------------

void THostTheming::ApplyTheme(TComponent *AComponent) {
  FIDE.Log.Add("theme.apply", {{"component", AComponent ? AComponent->Name() : String()}});
}

void THostTheming::RegisterFormClass(TCustomFormClass AFormClass) {
  FIDE.Log.Add("theme.registerform", {{"given", AFormClass != nullptr}});
}

Integer THostTheming::AddNotifier(INTAIDEThemingServicesNotifier *Notifier) {
  const Integer index = FNotifiers.Add(Notifier);
  FIDE.Log.Add("notifier.add", {{"kind", u"theme"}, {"index", Int64{index}}});
  return index;
}

void THostTheming::RemoveNotifier(Integer Index) {
  const bool known = FNotifiers.Remove(Index);
  FIDE.Log.Add("notifier.remove", {{"kind", u"theme"}, {"index", Int64{Index}}, {"known", known}});
}

void THostTheming::ChangeTheme(const String &name) {
  for (auto &n : FNotifiers.Snapshot())
    n->ChangingTheme();
  FThemeName = name;
  FIDE.Log.Add("theme.change", {{"theme", name}});
  for (auto &n : FNotifiers.Snapshot())
    n->ChangedTheme();
}

void THostTheming::DestroyNotifiers() {
  for (auto &[index, n] : FNotifiers.Take())
    n->Destroyed();
}

// ---- The IDE ------------------------------------------------------------------------------

namespace {

// How a foreground call names a window: the IDE's main window, none, or another.
String WindowRole(std::uintptr_t wnd, HWND ide) {
  if (wnd == 0)
    return u"none";
  return wnd == reinterpret_cast<std::uintptr_t>(ide) ? u"ide" : u"other";
}

} // namespace

TTestIDE::TTestIDE()
    : NTA(std::make_unique<THostNTAServices>(*this)), EditWindow(CreateEditWindow(*this)),
      Theming(*this) {
  BorlandIDEServices = this;
  FParentHandle = NTA->MainForm()->Handle();
  ForegroundSimulation().OnCall = [this](const TWinCall &c) { LogForegroundCall(c); };
}

void TTestIDE::LogForegroundCall(const TWinCall &c) {
  TLogFields fields{{"call", c.Name}};
  if (c.Name == u"AttachThreadInput") {
    fields.emplace_back("attach", c.C != 0);
  } else if (c.Name == u"SystemParametersInfoW") {
    fields.emplace_back("action", static_cast<Int64>(c.A));
    fields.emplace_back("value", static_cast<Int64>(c.B));
  } else if (c.Name == u"mouse_event") {
    fields.emplace_back("flags", static_cast<Int64>(c.A));
  } else if (c.Name != u"GetForegroundWindow") {
    fields.emplace_back("window", WindowRole(c.A, FParentHandle));
    if (c.Name == u"ShowWindow")
      fields.emplace_back("show", static_cast<Int64>(c.B));
  }
  Log.Add("foreground", fields);
}

TTestIDE::~TTestIDE() {
  ForegroundSimulation().OnCall = nullptr;
  if (BorlandIDEServices == this)
    BorlandIDEServices = nullptr;
  StopProcesses();
  CloseAll();
  EditWindow = nullptr;
  NTA.reset();
}

void TTestIDE::SetServiceMissing(const TGUID &service, bool missing) {
  if (missing)
    MissingServices.insert(GUIDToString(service));
  else
    MissingServices.erase(GUIDToString(service));
}

IPtr<IInterface> TTestIDE::QueryService(const TGUID &Service) {
  if (MissingServices.count(GUIDToString(Service)))
    return nullptr;
  if (Service == IOTAWizardServices::IID)
    return static_cast<IOTAWizardServices *>(this);
  if (Service == IOTAAboutBoxServices::IID)
    return static_cast<IOTAAboutBoxServices *>(this);
  if (Service == IOTAIDEServices::IID)
    return static_cast<IOTAIDEServices *>(this);
  if (Service == IOTAActionServices::IID)
    return static_cast<IOTAActionServices *>(this);
  if (Service == IOTAModuleServices::IID)
    return static_cast<IOTAModuleServices *>(this);
  if (Service == IOTAEditorServices::IID)
    return static_cast<IOTAEditorServices *>(this);
  if (Service == IOTADebuggerServices::IID)
    return static_cast<IOTADebuggerServices *>(this);
  if (Service == INTAServices::IID)
    return static_cast<INTAServices *>(NTA.get());
  if (Service == IOTAIDEThemingServices::IID)
    return static_cast<IOTAIDEThemingServices *>(&Theming);
  return nullptr;
}

Integer TTestIDE::AddWizard(IOTAWizard *Wizard) {
  const Integer index = FWizards.Add(Wizard);
  Log.Add("wizard.add",
          {{"index", Int64{index}}, {"id", Wizard->GetIDString()}, {"name", Wizard->GetName()}});
  return index;
}

void TTestIDE::RemoveWizard(Integer Index) {
  const bool known = FWizards.Remove(Index);
  Log.Add("wizard.remove", {{"index", Int64{Index}}, {"known", known}});
}

void TTestIDE::DestroyWizards() {
  for (auto &[index, w] : FWizards.Take()) {
    Log.Add("wizard.destroyed", {{"index", Int64{index}}});
    w->Destroyed();
  }
}

Integer TTestIDE::AddPluginInfo(const String &Title, const String &Description, HBITMAP Image,
                                bool IsUnRegistered, const String &StatusLabel,
                                const String &VersionText, const String &Extra) {
  const Integer index = FNextAbout++;
  FAboutEntries[index] = Title;
  Log.Add("about.add", {{"index", Int64{index}},
                        {"title", Title},
                        {"description", Description},
                        {"image", BitmapText(Image)},
                        {"unregistered", IsUnRegistered},
                        {"status", StatusLabel},
                        {"version", VersionText},
                        {"extra", Extra}});
  return index;
}

void TTestIDE::RemovePluginInfo(Integer Index) {
  const bool known = FAboutEntries.erase(Index) > 0;
  Log.Add("about.remove", {{"index", Int64{Index}}, {"known", known}});
}

void TTestIDE::AddPluginBitmap(const String &Caption, HBITMAP Bitmap, bool IsUnRegistered,
                               const String &StatusText, const String &VersionText) {
  Log.Add("splash.add", {{"caption", Caption},
                         {"image", BitmapText(Bitmap)},
                         {"unregistered", IsUnRegistered},
                         {"status", StatusText},
                         {"version", VersionText}});
}

Integer TTestIDE::AddNotifier(IOTAIDENotifier *Notifier) {
  const Integer index = FIDENotifiers.Add(Notifier);
  Log.Add("notifier.add", {{"kind", u"ide"}, {"index", Int64{index}}});
  return index;
}

void TTestIDE::RemoveNotifier(Integer Index) {
  const bool known = FIDENotifiers.Remove(Index);
  Log.Add("notifier.remove", {{"kind", u"ide"}, {"index", Int64{Index}}, {"known", known}});
}

bool TTestIDE::FileNotification(TOTAFileNotification code, const String &fileName) {
  bool cancel = false;
  for (auto &n : FIDENotifiers.Snapshot())
    n->FileNotification(code, fileName, cancel);
  return cancel;
}

bool TTestIDE::OpenFile(const String &FileName) {
  const bool ok = static_cast<bool>(Open(FileName));
  String why;
  if (!ok)
    BufferTextOf(FileName, &why);
  Log.Add("action.openfile", ActionFields(FileName, ok, why));
  return ok;
}

bool TTestIDE::ReloadFile(const String &FileName) {
  if (auto before = std::exchange(BeforeReload, nullptr))
    before();
  IPtr<THostBuffer> buffer = FindBuffer(FileName);
  String why;
  TFileStamp stamp;
  const std::optional<std::string> text =
      buffer ? BufferTextOf(FileName, &why, &stamp) : std::nullopt;
  const bool ok = text.has_value();
  if (ok) {
    buffer->SetText(*text, "reload");
    buffer->SetModified(false);
    buffer->ReloadedFrom = stamp;
  }
  Log.Add("action.reloadfile", ActionFields(FileName, ok, why));
  return ok;
}

IPtr<IOTAModule> TTestIDE::CurrentModule() { return FCurrent; }

IPtr<THostModule> TTestIDE::FindHostModule(const String &fileName) {
  for (auto &m : FModules) {
    if (SameFileName(m->RealFileName(), fileName))
      return m;
    for (Integer i = 0; i < m->ModuleFileCount(); ++i)
      if (SameFileName(m->ModuleFileEditors(i)->FileName(), fileName))
        return m;
  }
  return nullptr;
}

IPtr<IOTAModule> TTestIDE::FindModule(const String &FileName) { return FindHostModule(FileName); }

IPtr<THostBuffer> TTestIDE::FindBuffer(const String &fileName) {
  for (auto &m : FModules)
    for (Integer i = 0; i < m->ModuleFileCount(); ++i)
      if (auto *b = dynamic_cast<THostBuffer *>(m->ModuleFileEditors(i).get()))
        if (SameFileName(b->FileName(), fileName))
          return IPtr<THostBuffer>(b);
  return nullptr;
}

IPtr<IOTAProject> TTestIDE::GetActiveProject() {
  return FGroup ? FGroup->ActiveProject() : nullptr;
}

IPtr<IOTAModule> TTestIDE::Modules(Integer Index) {
  if (Index < 0 || Index >= ModuleCount())
    return nullptr;
  return FModules[Index];
}

bool TTestIDE::SaveAll() {
  bool ok = true;
  for (auto m : std::vector<IPtr<THostModule>>(FModules))
    if (IPtr<THostBuffer> b = m->SourceBuffer(); b && b->Modified())
      ok = m->Save(false, false) && ok;
  Log.Add("module.saveall", {{"ok", ok}});
  return ok;
}

IPtr<THostModule> TTestIDE::Open(const String &fileName, bool withForm, bool mustExist) {
  if (IPtr<THostModule> open = FindHostModule(fileName)) {
    MakeCurrent(open);
    return open;
  }
  std::optional<std::string> text = BufferTextOf(fileName);
  if (!text && mustExist)
    return nullptr;
  FileNotification(ofnFileOpening, fileName);
  IPtr<THostModule> module(new THostModule(*this, fileName));
  IPtr<THostBuffer> buffer(new THostBuffer(*this, fileName, text.value_or(std::string())));
  buffer->SetModule(module.get());
  buffer->AddView();
  module->AddEditor(buffer);
  if (withForm) {
    const String form = ChangeFileExt(fileName, u".dfm");
    module->AddEditor(IPtr<IOTAEditor>(new THostFormEditor(form, module.get())));
    module->ReportAs(form);
  }
  FModules.push_back(module);
  FCurrent = module;
  Log.Add("file.open", {{"file", fileName}, {"form", withForm}});
  FileNotification(ofnFileOpened, fileName);
  return module;
}

void TTestIDE::SettleModules() {
  for (auto &m : FModules)
    m->Settle();
}

bool TTestIDE::Close(const String &fileName) {
  IPtr<THostModule> module = FindHostModule(fileName);
  if (!module)
    return false;
  FileNotification(ofnFileClosing, module->RealFileName());
  module->NotifyDestroyed();
  std::erase(FModules, module);
  if (FCurrent == module)
    FCurrent = FModules.empty() ? nullptr : FModules.back();
  Log.Add("file.close", {{"file", module->RealFileName()}});
  return true;
}

void TTestIDE::CloseAll() {
  while (!FModules.empty())
    Close(FModules.back()->RealFileName());
  FGroup = nullptr;
}

bool TTestIDE::Activate(const String &fileName) {
  IPtr<THostModule> module = FindHostModule(fileName);
  if (module)
    MakeCurrent(module);
  return static_cast<bool>(module);
}

void TTestIDE::MakeCurrent(const IPtr<THostModule> &module) {
  if (FCurrent == module)
    return;
  // The current module's buffer is the top one: keep the list in use order.
  std::erase(FModules, module);
  FModules.push_back(module);
  FCurrent = module;
}

IPtr<THostProject> TTestIDE::AddProject(const String &fileName, const String &personality,
                                        const String &projectType,
                                        const std::vector<String> &files) {
  if (!FGroup)
    FGroup = IPtr<THostProjectGroup>(new THostProjectGroup(*this, u"ProjectGroup1.groupproj"));
  IPtr<THostProject> project(new THostProject(*this, fileName, personality, projectType));
  project->Files() = files;
  const String source =
      ChangeFileExt(fileName, SameText(projectType, u"Package") ? u".dpk" : u".dpr");
  if (std::optional<std::string> text = BufferTextOf(source)) {
    IPtr<THostBuffer> buffer(new THostBuffer(*this, source, std::move(*text)));
    buffer->SetModule(project.get());
    buffer->AddView();
    project->AddEditor(buffer);
  }
  FGroup->AddProject(project);
  FGroup->SetActive(project);
  FModules.push_back(project);
  Log.Add("project.open", {{"project", fileName}, {"personality", personality}});
  FileNotification(ofnFileOpened, fileName);
  return project;
}

IPtr<IOTAEditBuffer> TTestIDE::TopBuffer() {
  for (auto it = FModules.rbegin(); it != FModules.rend(); ++it)
    if (IPtr<THostBuffer> b = (*it)->SourceBuffer())
      return b;
  return nullptr;
}

IPtr<IOTAEditView> TTestIDE::TopView() {
  IPtr<IOTAEditBuffer> b = TopBuffer();
  return b ? b->TopView() : nullptr;
}

bool TTestIDE::GetEditBufferIterator(IPtr<IOTAEditBufferIterator> &Iterator) {
  if (IteratorMissing) {
    Iterator = nullptr;
    return false;
  }
  std::vector<IPtr<THostBuffer>> buffers;
  for (auto &m : FModules)
    for (Integer i = 0; i < m->ModuleFileCount(); ++i)
      if (auto *b = dynamic_cast<THostBuffer *>(m->ModuleFileEditors(i).get()))
        buffers.emplace_back(b);
  Iterator = IPtr<IOTAEditBufferIterator>(new THostIterator(std::move(buffers)));
  return true;
}

IPtr<IOTAProcess> TTestIDE::Processes(Integer Index) {
  if (Index < 0 || Index >= ProcessCount())
    return nullptr;
  return FProcesses[Index];
}

IPtr<IOTAProcess> TTestIDE::CurrentProcess() {
  return FProcesses.empty() ? nullptr : IPtr<IOTAProcess>(FProcesses.back());
}

void TTestIDE::StartProcess(const std::vector<String> &calls, bool withThread) {
  IPtr<THostThread> thread = withThread ? IPtr<THostThread>(new THostThread(calls)) : nullptr;
  FProcesses.emplace_back(new THostProcess(thread));
  Log.Add("debug.start", {{"calls", Int64(calls.size())}, {"thread", withThread}});
}

void TTestIDE::StopProcesses() {
  if (FProcesses.empty())
    return;
  FProcesses.clear();
  Log.Add("debug.stop");
}

Integer TTestIDE::RegistrationCount() {
  Integer n = FWizards.Count() + FIDENotifiers.Count() + Theming.NotifierCount();
  for (auto &m : FModules) {
    n += m->NotifierCount();
    for (Integer i = 0; i < m->ModuleFileCount(); ++i)
      if (auto *b = dynamic_cast<THostBuffer *>(m->ModuleFileEditors(i).get()))
        n += b->NotifierCount();
  }
  return n;
}

} // namespace krx::testide
