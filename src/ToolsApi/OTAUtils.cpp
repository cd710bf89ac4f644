#include "ToolsApi/OTAUtils.h"

#include "Common/KRX.Exceptions.h"
#include "Controls/KRX.StyleSupport.h"
#include "Platform/Rtl/Files.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/ImgList.h"
#include "World/ClassEx.h"
#include "World/KRStrUtils.h"

#include <climits>
#include <memory>

namespace krx {

namespace {

TToolsAPIUtils *GToolsAPIUtils = nullptr;

const Char *const SUnexpectedEditorResult = u"Unexpected result from editor";
const Char *const STooLargeEditorText = u"The editor's text is larger than %d MB";

} // namespace

void GetThemingServices(IPtr<IOTAIDEThemingServices> &Services) {
  SupportsService(BorlandIDEServices, Services);
}

TToolsAPIUtils &ToolsAPIUtils() {
  if (!GToolsAPIUtils)
    GToolsAPIUtils = new TToolsAPIUtils();
  return *GToolsAPIUtils;
}

void FreeToolsAPIUtils() { delete std::exchange(GToolsAPIUtils, nullptr); }

void OTAUtilsInitialization() { GToolsAPIUtils = nullptr; }
void OTAUtilsFinalization() { FreeToolsAPIUtils(); }

// ---- Theme notifier -----------------------------------------------------------------------

TThemeNotifierPersistent::TThemeNotifierPersistent() { AddThemeNotifier(); }

TThemeNotifierPersistent::~TThemeNotifierPersistent() { RemoveThemeNotifier(); }

void TThemeNotifierPersistent::AddThemeNotifier() {
  IPtr<IOTAIDEThemingServices> services;
  GetThemingServices(services);
  if (FThemeNotifierIndex < 0 && services)
    FThemeNotifierIndex = services->AddNotifier(this);
}

void TThemeNotifierPersistent::RemoveThemeNotifier() {
  IPtr<IOTAIDEThemingServices> services;
  GetThemingServices(services);
  if (FThemeNotifierIndex >= 0 && services)
    services->RemoveNotifier(std::exchange(FThemeNotifierIndex, -1));
}

// ---- Theme --------------------------------------------------------------------------------

TToolsAPIUtils::TToolsAPIUtils() {
  UpdateIDEStyle();
  // The toolkit's forms and frames ask for the IDE theme through these two messages.
  TMessageManager &manager = TMessageManager::DefaultManager();
  const TMessageListener handler = [this](const TObject *Sender, const TMessageBase &Message) {
    HandleStyleMessage(Sender, Message);
  };
  FApplyThemeId = manager.SubscribeToMessage<TApplyThemeMessage>(handler);
  FRegisterFormId = manager.SubscribeToMessage<TRegisterFormMessage>(handler);
}

TToolsAPIUtils::~TToolsAPIUtils() {
  TMessageManager &manager = TMessageManager::DefaultManager();
  manager.Unsubscribe<TApplyThemeMessage>(FApplyThemeId);
  manager.Unsubscribe<TRegisterFormMessage>(FRegisterFormId);
}

void TToolsAPIUtils::UpdateIDEStyle() {
  IPtr<IOTAIDEThemingServices> services;
  GetThemingServices(services);
  if (services && services->IDEThemingEnabled())
    UpdateStyleServices(services->StyleServices());
}

void TToolsAPIUtils::HandleStyleMessage(const TObject *, const TMessageBase &Message) {
  if (const auto *apply = dynamic_cast<const TApplyThemeMessage *>(&Message))
    ApplyTheme(apply->Value());
  else if (const auto *reg = dynamic_cast<const TRegisterFormMessage *>(&Message))
    RegisterThemedFormClass(reg->Value());
}

void TToolsAPIUtils::ApplyTheme(TComponent *AComponent) {
  IPtr<IOTAIDEThemingServices> services;
  GetThemingServices(services);
  if (services && services->IDEThemingEnabled())
    services->ApplyTheme(AComponent);
}

void TToolsAPIUtils::RegisterThemedFormClass(TCustomFormClass AFormClass) {
  IPtr<IOTAIDEThemingServices> services;
  GetThemingServices(services);
  if (services && services->IDEThemingEnabled())
    services->RegisterFormClass(AFormClass);
}

// ---- Services -----------------------------------------------------------------------------

void TToolsAPIUtils::GetActionServices(IPtr<IOTAActionServices> &Services) {
  Services = ServiceCast<IOTAActionServices>(BorlandIDEServices);
}

void TToolsAPIUtils::GetEditViewServices(IPtr<IOTAEditorServices> &Services) {
  Services = ServiceCast<IOTAEditorServices>(BorlandIDEServices);
}

void TToolsAPIUtils::GetModuleServices(IPtr<IOTAModuleServices> &Services) {
  Services = ServiceCast<IOTAModuleServices>(BorlandIDEServices);
}

// ---- Projects -----------------------------------------------------------------------------

void TToolsAPIUtils::GetActiveProject(IPtr<IOTAProject> &Project) {
  IPtr<IOTAModuleServices> services;
  GetModuleServices(services);
  Project = services->GetActiveProject();
}

void TToolsAPIUtils::GetMainProjectGroup(IPtr<IOTAProjectGroup> &Group) {
  IPtr<IOTAModuleServices> services;
  GetModuleServices(services);
  Group = services->MainProjectGroup();
}

String TToolsAPIUtils::GetProjectString(IOTAProject *Project) {
  return Project ? Project->Personality() : String();
}

String TToolsAPIUtils::GetActiveProjectString() {
  IPtr<IOTAProject> project;
  GetActiveProject(project);
  return GetProjectString(project.get());
}

String TToolsAPIUtils::GetProjectSourceName(IOTAProject *Project) {
  if (!Project)
    return String();
  return ChangeFileExt(Project->FileName(),
                       SameText(Project->ProjectType(), u"Package") ? u".dpk" : u".dpr");
}

String TToolsAPIUtils::GetActiveProjectSource() {
  IPtr<IOTAProject> project;
  GetActiveProject(project);
  return GetProjectSourceName(project.get());
}

bool TToolsAPIUtils::ProjectContainsFile(IOTAProject *Project, const String &FileName) {
  if (!Project)
    return false;
  for (Integer i = 0; i < Project->GetModuleCount(); ++i)
    if (IPtr<IOTAModuleInfo> info = Project->GetModule(i);
        info && SameFileName(info->FileName(), FileName))
      return true;
  return false;
}

// ---- Editors ------------------------------------------------------------------------------

void TToolsAPIUtils::GetCurrentEditor(IPtr<IOTASourceEditor> &Editor) {
  IPtr<IOTAEditorServices> editors;
  IPtr<IOTAEditBuffer> buffer;
  if (SupportsService(BorlandIDEServices, editors))
    buffer = editors->TopBuffer();
  Editor = buffer;
  if (!buffer)
    return;
  IPtr<IOTAModuleServices> modules;
  GetModuleServices(modules);
  IPtr<IOTAModule> current = modules->CurrentModule();
  IPtr<IOTAModule> own = buffer->Module();
  if (current && !SameFileName(current->FileName(), own ? own->FileName() : String()))
    GetSourceEditor(current.get(), Editor);
}

void TToolsAPIUtils::GetSourceEditor(IOTAModule *Module, IPtr<IOTASourceEditor> &Editor) {
  Editor = nullptr;
  if (!Module)
    return;
  for (Integer i = 0; i < Module->ModuleFileCount(); ++i) {
    IPtr<IOTASourceEditor> source;
    if (!Supports(Module->ModuleFileEditors(i), source))
      continue;
    Editor = source;
    const String ext = ExtractFileExt(source->FileName());
    if (SameText(ext, u".pas") || SameText(ext, u".cs"))
      return;
  }
}

namespace {

IPtr<IOTAEditView> TopViewOf(IOTASourceEditor *editor) {
  if (!editor)
    return nullptr;
  IPtr<IOTAEditBuffer> buffer;
  if (Supports(editor, buffer))
    return buffer->TopView();
  return editor->EditViewCount() > 0 ? editor->EditViews(0) : nullptr;
}

} // namespace

void TToolsAPIUtils::GetTopEditWindow(IPtr<IOTAEditView> &View) {
  IPtr<IOTASourceEditor> editor;
  GetCurrentEditor(editor);
  View = TopViewOf(editor.get());
}

Integer TToolsAPIUtils::GetCursorPosition() {
  IPtr<IOTASourceEditor> editor;
  GetCurrentEditor(editor);
  if (!editor || editor->EditViewCount() < 1)
    return 0;
  return editor->EditViews(0)->CursorPos().Line;
}

String TToolsAPIUtils::GetCurrentFileName() {
  IPtr<IOTASourceEditor> editor;
  GetCurrentEditor(editor);
  return editor ? editor->FileName() : String();
}

void TToolsAPIUtils::FindOpenModule(const String &FileName, IPtr<IOTAEditBuffer> &Buffer) {
  Buffer = nullptr;
  IPtr<IOTAEditorServices> services;
  GetEditViewServices(services);
  IPtr<IOTAEditBufferIterator> iterator;
  if (!services->GetEditBufferIterator(iterator) || !iterator)
    return;
  for (Integer i = 0; i < iterator->Count(); ++i) {
    IPtr<IOTAEditBuffer> b = iterator->EditBuffers(i);
    if (b && SameFileName(b->FileName(), FileName)) {
      Buffer = b;
      return;
    }
  }
}

void TToolsAPIUtils::OpenFile(const String &FileName, IPtr<IOTAEditBuffer> &Buffer) {
  FindOpenModule(FileName, Buffer);
  if (!Buffer && FileExists(FileName)) {
    IPtr<IOTAActionServices> actions;
    GetActionServices(actions);
    if (actions->OpenFile(FileName))
      FindOpenModule(FileName, Buffer);
  }
  if (Buffer) {
    Buffer->Show();
    if (IPtr<IOTAEditView> view = Buffer->TopView())
      FocusEditControl(view.get());
  }
}

TWinControl *TToolsAPIUtils::GetEditControl() {
  IPtr<IOTAEditView> view;
  GetTopEditWindow(view);
  return EditControlOfWindow(view.get());
}

TWinControl *TToolsAPIUtils::EditControlOfWindow(IOTAEditView *View) {
  KR_ASSERT(View != nullptr);
  IPtr<INTAEditWindow> window = View->GetEditWindow();
  KR_ASSERT(window != nullptr);
  TCustomForm *form = window->Form();
  KR_ASSERT(form != nullptr);
  for (Integer i = 0; i < form->ComponentCount(); ++i)
    if (auto *control = dynamic_cast<TWinControl *>(form->Components(i));
        control && SameText(control->ClassName(), u"TEditControl"))
      return control;
  return nullptr;
}

void TToolsAPIUtils::FocusEditControl(IOTAEditView *View) {
  try {
    TWinControl *control = EditControlOfWindow(View);
    if (control && control->CanFocus())
      control->SetFocus();
  } catch (const Exception &) {
    KR_ASSERT(false && "focusing the edit control failed");
  }
}

Integer TToolsAPIUtils::AddImagesToIDE(TCustomImageList *ImageList) {
  if (!ImageList || ImageList->Count() == 0)
    return 0;
  IPtr<INTAServices> nta = ServiceCast<INTAServices>(BorlandIDEServices);
  return nta->AddImages(ImageList, u"KRXTrailScope." + ImageList->Name());
}

Integer TToolsAPIUtils::RegisterActions(TCustomActionList *ActionList) {
  const Integer first = AddImagesToIDE(ActionList->Images());
  IPtr<INTAServices> nta = ServiceCast<INTAServices>(BorlandIDEServices);
  ActionList->SetImages(nta->ImageList());
  std::vector<TCustomAction *> actions;
  for (Integer i = 0; i < ActionList->ActionCount(); ++i)
    if (auto *action = dynamic_cast<TCustomAction *>(ActionList->Actions(i)))
      actions.push_back(action);
  for (TCustomAction *action : actions) {
    // The indexes counted in our own list; the IDE's list holds our images from `first` on.
    if (action->ImageIndex() >= 0)
      action->SetImageIndex(action->ImageIndex() + first);
    nta->AddActionMenu(String(), action, nullptr, true, false);
  }
  return first;
}

// ---- Reading and writing ------------------------------------------------------------------

void TToolsAPIUtils::ReadEditorSource(IOTASourceEditor *Editor, String &Text) {
  IPtr<IOTAEditReader> reader = Editor->CreateReader();
  std::string bytes;
  std::size_t total = 0;
  Integer count = 0;
  do {
    bytes.resize(total + EditorReadChunk);
    count = reader->GetText(static_cast<Integer>(total), bytes.data() + total, EditorReadChunk);
    if (count < 0 || count > EditorReadChunk)
      throw EKRToolsException(SUnexpectedEditorResult);
    total += static_cast<std::size_t>(count);
    // The editor's text is held twice here (bytes, then UTF-16): as bounded as a file read.
    if (static_cast<Int64>(total) > MaxReadFileSize)
      throw EKRToolsException(
          Format(STooLargeEditorText, {static_cast<Integer>(MaxReadFileSize >> 20)}));
  } while (count == EditorReadChunk);
  bytes.resize(total);
  Text = Utf8ToString(bytes);
}

void TToolsAPIUtils::ReadEditorChunks(IOTASourceEditor *Editor, Integer Start, std::string &Utf8,
                                      Integer End) {
  Utf8.clear();
  if (Start == -1)
    return;
  Int64 remaining = End == -1 ? INT_MAX : Int64{End} - Start;
  IPtr<IOTAEditReader> reader = Editor->CreateReader();
  Integer count = 0, n = 0;
  // An end before the start reads nothing (instead of growing by a negative size).
  while (remaining > 0) {
    n = static_cast<Integer>(std::min<Int64>(EditorReadChunk, remaining));
    const std::size_t done = Utf8.size();
    Utf8.resize(done + n);
    count = reader->GetText(Start + static_cast<Integer>(done), Utf8.data() + done, n);
    if (count < 0 || count > n) {
      Utf8.resize(done);
      throw EKRToolsException(SUnexpectedEditorResult + IntToStr(count));
    }
    Utf8.resize(done + count);
    remaining -= count;
    if (count != n)
      break;
  }
}

void TToolsAPIUtils::ReadEditorLinesUtf8(IOTASourceEditor *Editor, Integer FirstLine,
                                         std::string &Utf8, Integer LastLine) {
  Utf8.clear();
  if (FirstLine < 0 || LastLine < FirstLine || !Editor || Editor->EditViewCount() < 1)
    return;
  IPtr<IOTAEditView> view = Editor->EditViews(0);
  const Integer lastIndex = view->LastLineNumber() - 1;
  if (lastIndex < FirstLine)
    return;
  const Integer start = view->CharPosToPos(TOTACharPos{0, FirstLine + 1});
  if (start == -1)
    return;
  Integer end = INT_MAX;
  if (LastLine < lastIndex)
    end = view->CharPosToPos(TOTACharPos{0, LastLine + 2});
  ReadEditorChunks(Editor, start, Utf8, end);
}

void TToolsAPIUtils::ReadEditorLines(IOTASourceEditor *Editor, Integer FirstLine, String &Text,
                                     Integer LastLine) {
  std::string utf8;
  ReadEditorLinesUtf8(Editor, FirstLine, utf8, LastLine);
  Text = Utf8ToString(utf8);
}

bool TToolsAPIUtils::WriteEditorSource(IOTASourceEditor *Editor, const String &FileName) {
  try {
    const TReadResult read = ReadRegularFile(FileNameToOS(FileName));
    String text;
    TTextEncoding encoding;
    if (!read.Ok() || !DecodeTextBytes(reinterpret_cast<const Byte *>(read.Bytes.data()),
                                       read.Bytes.size(), text, encoding))
      return false;
    const std::string utf8 = StringToUtf8(text);
    IPtr<IOTAEditWriter> writer = Editor->CreateWriter();
    writer->DeleteTo(INT_MAX);
    if (!utf8.empty())
      writer->Insert(utf8.c_str());
    return true;
  } catch (...) {
    return false;
  }
}

void TToolsAPIUtils::GetSelectedText(IOTAEditView *View, String &Text) {
  Text.clear();
  if (IPtr<IOTAEditBlock> block = View->Block(); block && block->IsValid())
    Text = block->Text();
  if (Text.empty())
    GetWordAtCursor(View, Text);
}

void TToolsAPIUtils::GetWordAtCursor(IOTAEditView *View, String &Text) {
  Text.clear();
  IPtr<IOTAEditBuffer> buffer = View->Buffer();
  if (!buffer)
    return;
  TOTAEditPos cursor = View->CursorPos();
  TOTACharPos pos;
  View->ConvertPos(true, cursor, pos);
  String line;
  ReadEditorLines(buffer.get(), pos.Line - 1, line, pos.Line - 1);
  Integer column = std::min(pos.CharIndex + 1, static_cast<Integer>(line.size()));
  String word;
  if (WordAtPos(line, column, word))
    Text = word;
}

} // namespace krx
