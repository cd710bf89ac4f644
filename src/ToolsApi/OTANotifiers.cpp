#include "ToolsApi/OTANotifiers.h"

#include "Platform/Rtl/Files.h"
#include "ToolsApi/OTAUtils.h"
#include "World/DebugLog.h"

#include <algorithm>

namespace krx {

namespace {

// Numbers the notifiers for the debug log.
constinit Integer GNotifierInstances = 0;

bool HasExt(StringView fileName, StringView ext) { return SameText(ExtractFileExt(fileName), ext); }

// The module of a file as the IDE's module services find it, or null.
IPtr<IOTAModule> FindModuleOf(const String &fileName) {
  IPtr<IOTAModuleServices> services;
  TToolsAPIUtils::GetModuleServices(services);
  return services->FindModule(fileName);
}

void Fire(const TNotifyEvent &event, TObject *sender) {
  if (event)
    event(sender);
}

} // namespace

// ---- TOTANotifier -------------------------------------------------------------------------

TOTANotifier::TOTANotifier(IPtr<IInterface> ideObject)
    : FIDEObject(std::move(ideObject)), FInstance(GNotifierInstances++) {}

void TOTANotifier::AfterSave() {
  KR_ASSERT((DebugLogFmt(u"%s(%d).AfterSave", {ClassName(), FInstance})));
  Fire(OnAfterSave, this);
}

void TOTANotifier::BeforeSave() {
  KR_ASSERT((DebugLogFmt(u"%s(%d).BeforeSave", {ClassName(), FInstance})));
  Fire(OnBeforeSave, this);
}

void TOTANotifier::Modified() {
  KR_ASSERT((DebugLogFmt(u"%s(%d).Modified", {ClassName(), FInstance})));
  Fire(OnModified, this);
}

void TOTANotifier::Destroyed() {
  // The object may go with the last reference that a handler drops.
  IPtr<TOTANotifier> self(this);
  Fire(OnDestroyed, this);
  FIDEObject = nullptr;
  ClearEvents();
}

void TOTANotifier::ClearEvents() {
  OnAfterSave = nullptr;
  OnBeforeSave = nullptr;
  OnDestroyed = nullptr;
  OnModified = nullptr;
}

// ---- TOTAIDENotifier ----------------------------------------------------------------------

TOTAIDENotifier::TOTAIDENotifier()
    : TOTANotifier(nullptr), FRetryTimer(std::make_unique<TOneShotTimer>(nullptr)) {
  FRetryTimer->SetInterval(50);
  FRetryTimer->OnTimer = [this](TObject *sender) { RetryTimerTimer(sender); };
}

TOTAIDENotifier::~TOTAIDENotifier() { FRetryTimer->OnTimer = nullptr; }

void TOTAIDENotifier::ClearEvents() {
  TOTANotifier::ClearEvents();
  OnFileNotification = nullptr;
}

void TOTAIDENotifier::FileNotification(TOTAFileNotification NotifyCode, const String &FileName,
                                       bool &Cancel) {
  if (NotifyCode == ofnFileOpened) {
    IPtr<IOTAModule> module = FindModuleOf(FileName);
    if (!module)
      return;
    if (HasExt(FileName, u".pas") && !HasExt(module->FileName(), u".pas")) {
      FPending.insert(FPending.begin(), FileName);
      FRetryTimer->SetEnabled(true);
      return;
    }
  }
  if (OnFileNotification)
    OnFileNotification(NotifyCode, FileName, Cancel);
}

void TOTAIDENotifier::RetryTimerTimer(TObject *) {
  IPtr<TOTAIDENotifier> self(this);
  // A name waits as long as its module is open and not yet reported under the unit's own
  // name, however long the IDE takes: giving up would leave the unit without its notifiers.
  for (std::size_t i = FPending.size(); i-- > 0;) {
    if (i >= FPending.size())
      continue; // a handler changed the list
    const String fileName = FPending[i];
    IPtr<IOTAModule> module = FindModuleOf(fileName);
    if (!module) {
      FPending.erase(FPending.begin() + static_cast<std::ptrdiff_t>(i));
    } else if (HasExt(module->FileName(), u".pas")) {
      FPending.erase(FPending.begin() + static_cast<std::ptrdiff_t>(i));
      bool cancel = false;
      FileNotification(ofnFileOpened, fileName, cancel);
    }
  }
  if (FPending.size() > PendingMax)
    FPending.clear();
  if (!FPending.empty())
    FRetryTimer->SetEnabled(true);
}

// ---- Editor and module notifiers ----------------------------------------------------------

void TOTAEditorNotifier::ViewNotification(IOTAEditView *View, TOperation Operation) {
  if (OnViewNotification)
    OnViewNotification(this, View, Operation);
}

void TOTAEditorNotifier::ViewActivated(IOTAEditView *View) {
  if (OnViewActivated)
    OnViewActivated(this, View);
}

void TOTAEditorNotifier::ClearEvents() {
  TOTANotifier::ClearEvents();
  OnViewActivated = nullptr;
  OnViewNotification = nullptr;
}

IPtr<IOTAEditor> TOTAEditorNotifier::Editor() const {
  return IPtr<IOTAEditor>(dynamic_cast<IOTAEditor *>(IDEObject().get()));
}

TOTAModuleNotifier::TOTAModuleNotifier(IPtr<IOTAModule> module) : TOTANotifier(module) {
  if (module)
    FileName = module->FileName();
}

bool TOTAModuleNotifier::CheckOverwrite() {
  if (!OnCheckOverwrite)
    return true;
  return OnCheckOverwrite(Module().get());
}

void TOTAModuleNotifier::ModuleRenamed(const String &NewName) {
  const String oldName = FileName;
  FileName = NewName;
  if (OnModuleRenamed)
    OnModuleRenamed(Module().get(), oldName, NewName);
}

void TOTAModuleNotifier::ClearEvents() {
  TOTANotifier::ClearEvents();
  OnCheckOverwrite = nullptr;
  OnModuleRenamed = nullptr;
}

IPtr<IOTAModule> TOTAModuleNotifier::Module() const {
  return IPtr<IOTAModule>(dynamic_cast<IOTAModule *>(IDEObject().get()));
}

// ---- TOTANotifications --------------------------------------------------------------------

TOTANotifications::TOTANotifications() {
  FIDENotifier = TOTAIDENotifier::Create();
  FIDENotifier->OnFileNotification = [this](TOTAFileNotification code, const String &name,
                                            bool &cancel) { FileNotification(code, name, cancel); };
  FIDENotifier->OnDestroyed = [this](TObject *) {
    FIDENotifier->Index = -1;
    FIDENotifier = nullptr;
  };
  IPtr<IOTAIDEServices> services = ServiceCast<IOTAIDEServices>(BorlandIDEServices);
  FIDENotifier->Index = services->AddNotifier(FIDENotifier.get());
  HookOpenModules();
}

TOTANotifications::~TOTANotifications() {
  if (IPtr<TOTAIDENotifier> ide = std::exchange(FIDENotifier, nullptr)) {
    ide->ClearEvents();
    IPtr<IOTAIDEServices> services;
    if (ide->Index >= 0 && SupportsService(BorlandIDEServices, services))
      services->RemoveNotifier(std::exchange(ide->Index, -1));
  }
  while (!FEditorNotifiers.empty()) {
    IPtr<TOTAEditorNotifier> n = FEditorNotifiers.back();
    FEditorNotifiers.pop_back();
    n->ClearEvents();
    IPtr<IOTAEditor> editor = n->Editor();
    if (n->Index >= 0 && editor)
      editor->RemoveNotifier(std::exchange(n->Index, -1));
    n->Detach();
  }
  while (!FModuleNotifiers.empty()) {
    IPtr<TOTAModuleNotifier> n = FModuleNotifiers.back();
    FModuleNotifiers.pop_back();
    n->ClearEvents();
    IPtr<IOTAModule> module = n->Module();
    if (n->Index >= 0 && module)
      module->RemoveNotifier(std::exchange(n->Index, -1));
    n->Detach();
  }
}

void TOTANotifications::HookOpenModules() {
  if (!FEditorNotifiers.empty() || !FModuleNotifiers.empty())
    return;
  IPtr<IOTAEditorServices> editors;
  TToolsAPIUtils::GetEditViewServices(editors);
  IPtr<IOTAEditBufferIterator> iterator;
  if (!editors->GetEditBufferIterator(iterator) || !iterator)
    return;
  for (Integer i = 0; i < iterator->Count(); ++i) {
    IPtr<IOTAEditBuffer> buffer = iterator->EditBuffers(i);
    if (!buffer)
      continue;
    if (IPtr<IOTAModule> module = buffer->Module()) {
      AddEditorNotifier(buffer);
      AddModuleNotifier(module);
    }
  }
}

void TOTANotifications::AddEditorNotifier(IPtr<IOTAEditor> editor) {
  if (!editor)
    return;
  for (const auto &existing : FEditorNotifiers)
    if (existing->Editor() == editor)
      return;
  IPtr<TOTAEditorNotifier> n = TOTAEditorNotifier::Create(editor);
  FEditorNotifiers.push_back(n);
  n->OnDestroyed = [this](TObject *s) { EditorDestroyed(s); };
  n->OnModified = [this](TObject *s) { EditorModified(s); };
  n->OnViewActivated = [this](TObject *, IOTAEditView *view) {
    KR_ASSERT(view != nullptr && "Trapped nil View in ViewActivated");
    if (OnViewActivated)
      OnViewActivated(view);
  };
  n->OnViewNotification = [this](TObject *, IOTAEditView *view, TOperation operation) {
    KR_ASSERT(view != nullptr && "Trapped nil View in ViewNotification");
    if (OnViewNotification)
      OnViewNotification(view, operation);
  };
  n->Index = editor->AddNotifier(n.get());
}

void TOTANotifications::AddModuleNotifier(IPtr<IOTAModule> module) {
  if (!module)
    return;
  for (const auto &existing : FModuleNotifiers)
    if (existing->Module() == module)
      return;
  IPtr<TOTAModuleNotifier> n = TOTAModuleNotifier::Create(module);
  FModuleNotifiers.push_back(n);
  n->OnDestroyed = [this](TObject *s) { ModuleDestroyed(s); };
  n->OnModified = [this](TObject *s) { ModuleModified(s); };
  n->OnAfterSave = [this](TObject *s) { ModuleSaved(s); };
  n->OnModuleRenamed = [this](IOTAModule *m, const String &oldName, const String &newName) {
    KR_ASSERT(m != nullptr && "Trapped nil Module in ModuleRenamed");
    if (OnModuleRenamed)
      OnModuleRenamed(m, oldName, newName);
  };
  n->Index = module->AddNotifier(n.get());
}

void TOTANotifications::AddProjectSourceNotifier(IOTAModule *projectModule) {
  IPtr<IOTAProject> project;
  const String source = Supports(projectModule, project)
                            ? TToolsAPIUtils::GetProjectSourceName(project.get())
                            : ChangeFileExt(projectModule->FileName(), u".dpr");
  IPtr<IOTAEditBuffer> buffer;
  TToolsAPIUtils::FindOpenModule(source, buffer);
  if (buffer)
    AddEditorNotifier(buffer);
}

void TOTANotifications::FileNotification(TOTAFileNotification NotifyCode, const String &FileName,
                                         bool &Cancel) {
  if (NotifyCode == ofnFileOpened) {
    IPtr<IOTAModule> module = FindModuleOf(FileName);
    if (!module)
      return;
    AddModuleNotifier(module);
    if (HasExt(module->FileName(), u".dproj"))
      AddProjectSourceNotifier(module.get());
    IPtr<IOTASourceEditor> editor;
    TToolsAPIUtils::GetSourceEditor(module.get(), editor);
    if (editor)
      AddEditorNotifier(editor);
  }
  if (OnFileNotification)
    OnFileNotification(NotifyCode, FileName, Cancel);
}

void TOTANotifications::EditorDestroyed(TObject *Sender) {
  auto *n = dynamic_cast<TOTAEditorNotifier *>(Sender);
  if (!n)
    return;
  IPtr<TOTAEditorNotifier> keep(n);
  n->Index = -1; // the IDE has let go of it
  std::erase(FEditorNotifiers, keep);
  IPtr<IOTAEditor> editor = n->Editor();
  n->Detach();
  if (OnEditorDestroyed)
    OnEditorDestroyed(editor.get());
}

void TOTANotifications::EditorModified(TObject *Sender) {
  if (!OnEditorModified)
    return;
  auto *n = dynamic_cast<TOTAEditorNotifier *>(Sender);
  IPtr<IOTAEditor> editor = n ? n->Editor() : nullptr;
  KR_ASSERT(editor != nullptr && "Trapped nil Editor in EditorModified");
  OnEditorModified(editor.get());
}

void TOTANotifications::ModuleDestroyed(TObject *Sender) {
  auto *n = dynamic_cast<TOTAModuleNotifier *>(Sender);
  if (!n)
    return;
  IPtr<TOTAModuleNotifier> keep(n);
  n->Index = -1;
  std::erase(FModuleNotifiers, keep);
  n->Detach();
}

void TOTANotifications::ModuleModified(TObject *Sender) {
  if (!OnModuleModified)
    return;
  auto *n = dynamic_cast<TOTAModuleNotifier *>(Sender);
  IPtr<IOTAModule> module = n ? n->Module() : nullptr;
  KR_ASSERT(module != nullptr && "Trapped nil Module in ModuleModified");
  OnModuleModified(module.get());
}

void TOTANotifications::ModuleSaved(TObject *Sender) {
  if (!OnModuleSaved)
    return;
  auto *n = dynamic_cast<TOTAModuleNotifier *>(Sender);
  IPtr<IOTAModule> module = n ? n->Module() : nullptr;
  KR_ASSERT(module != nullptr && "Trapped nil Module in ModuleSaved");
  OnModuleSaved(module.get());
}

} // namespace krx
