// The expert's IDE notifiers: one IDE notifier for file notifications, and a module notifier
// and an editor notifier for every open module and source editor. TOTANotifications installs
// them, keeps them in two lists, forwards their events through events of its own, and
// removes them again.
//
// A unit that the IDE opens together with its form may first be reported under its form
// file: the IDE notifier then holds the file notification back and retries it every 50 ms
// until the module reports the unit itself. A name is dropped only when its module is no
// longer found, or with all the others when more than 100 wait.
//
// Notifiers are counted: the IDE and the lists hold them. Each keeps the IDE object it is
// attached to until Destroyed, its removal from a list, or the teardown. Indexes are -1 while
// not registered. IDE main thread only.
#pragma once

#include "Platform/Rtl/Classes.h"
#include "Platform/ToolsAPI/ToolsAPI.h"
#include "World/Timers.h"

#include <functional>
#include <memory>
#include <vector>

namespace krx {

class TOTANotifier : public TInterfacedObject, public virtual IOTANotifier {
public:
  void AfterSave() override;
  void BeforeSave() override;
  // Fires OnDestroyed, then lets go of the IDE object and clears the events.
  void Destroyed() override;
  void Modified() override;

  virtual void ClearEvents();
  // Lets go of the IDE object.
  void Detach() { FIDEObject = nullptr; }
  const IPtr<IInterface> &IDEObject() const { return FIDEObject; }
  Integer InstanceNumber() const { return FInstance; }

  // The index the IDE registered this notifier under; -1 while not registered.
  Integer Index = -1;
  TNotifyEvent OnAfterSave;
  TNotifyEvent OnBeforeSave;
  TNotifyEvent OnDestroyed;
  TNotifyEvent OnModified;

protected:
  explicit TOTANotifier(IPtr<IInterface> ideObject);

private:
  IPtr<IInterface> FIDEObject;
  Integer FInstance = 0;
};

using TFileNotificationEvent =
    std::function<void(TOTAFileNotification NotifyCode, const String &FileName, bool &Cancel)>;

class TOTAIDENotifier : public TOTANotifier, public IOTAIDENotifier {
public:
  static IPtr<TOTAIDENotifier> Create() { return IPtr<TOTAIDENotifier>(new TOTAIDENotifier()); }
  ~TOTAIDENotifier() override;

  void FileNotification(TOTAFileNotification NotifyCode, const String &FileName,
                        bool &Cancel) override;
  void BeforeCompile(IOTAProject *, bool &) override {}
  void AfterCompile(bool) override {}
  void ClearEvents() override;

  TFileNotificationEvent OnFileNotification;
  // File names waiting for their unit (newest first).
  Integer PendingCount() const { return static_cast<Integer>(FPending.size()); }

  // More pending names than this are dropped whole.
  static constexpr std::size_t PendingMax = 100;

private:
  TOTAIDENotifier();
  void RetryTimerTimer(TObject *Sender);

  std::unique_ptr<TOneShotTimer> FRetryTimer;
  std::vector<String> FPending;
};

using TViewActivatedEvent = std::function<void(TObject *Sender, IOTAEditView *View)>;
using TViewNotificationEvent =
    std::function<void(TObject *Sender, IOTAEditView *View, TOperation Operation)>;

class TOTAEditorNotifier : public TOTANotifier, public IOTAEditorNotifier {
public:
  static IPtr<TOTAEditorNotifier> Create(IPtr<IOTAEditor> editor) {
    return IPtr<TOTAEditorNotifier>(new TOTAEditorNotifier(std::move(editor)));
  }
  void ViewNotification(IOTAEditView *View, TOperation Operation) override;
  void ViewActivated(IOTAEditView *View) override;
  void ClearEvents() override;
  IPtr<IOTAEditor> Editor() const;

  TViewActivatedEvent OnViewActivated;
  TViewNotificationEvent OnViewNotification;

private:
  explicit TOTAEditorNotifier(IPtr<IOTAEditor> editor) : TOTANotifier(std::move(editor)) {}
};

using TCheckOverwriteEvent = std::function<bool(IOTAModule *Module)>;
using TModuleRenamedEvent =
    std::function<void(IOTAModule *Module, const String &OldName, const String &NewName)>;

class TOTAModuleNotifier : public TOTANotifier, public IOTAModuleNotifier {
public:
  static IPtr<TOTAModuleNotifier> Create(IPtr<IOTAModule> module) {
    return IPtr<TOTAModuleNotifier>(new TOTAModuleNotifier(std::move(module)));
  }
  bool CheckOverwrite() override;
  void ModuleRenamed(const String &NewName) override;
  void ClearEvents() override;
  IPtr<IOTAModule> Module() const;

  TCheckOverwriteEvent OnCheckOverwrite;
  TModuleRenamedEvent OnModuleRenamed;
  // The module's file name at creation, then the last new name.
  String FileName;

private:
  explicit TOTAModuleNotifier(IPtr<IOTAModule> module);
};

using TEditorEvent = std::function<void(IOTAEditor *Editor)>;
using TModuleEvent = std::function<void(IOTAModule *Module)>;
using TViewEvent = std::function<void(IOTAEditView *View)>;
using TViewOperationEvent = std::function<void(IOTAEditView *View, TOperation Operation)>;

class TOTANotifications : public TObject {
public:
  // Registers the IDE notifier and hooks every open buffer and its module.
  TOTANotifications();
  // Unregisters every notifier through the IDE object it is attached to, then detaches it.
  ~TOTANotifications() override;

  void HookOpenModules();
  // Both add nothing when the editor or module already has a notifier of ours (a project's
  // source is met both as the project's editor and by its name).
  void AddEditorNotifier(IPtr<IOTAEditor> editor);
  void AddModuleNotifier(IPtr<IOTAModule> module);
  void AddProjectSourceNotifier(IOTAModule *projectModule);

  Integer EditorNotifierCount() const { return static_cast<Integer>(FEditorNotifiers.size()); }
  Integer ModuleNotifierCount() const { return static_cast<Integer>(FModuleNotifiers.size()); }
  TOTAIDENotifier *IDENotifier() const { return FIDENotifier.get(); }

  TEditorEvent OnEditorDestroyed;
  TEditorEvent OnEditorModified;
  TFileNotificationEvent OnFileNotification;
  TModuleEvent OnModuleModified;
  TModuleRenamedEvent OnModuleRenamed;
  TModuleEvent OnModuleSaved;
  TViewEvent OnViewActivated;
  TViewOperationEvent OnViewNotification;

private:
  void FileNotification(TOTAFileNotification NotifyCode, const String &FileName, bool &Cancel);
  void EditorDestroyed(TObject *Sender);
  void EditorModified(TObject *Sender);
  void ModuleDestroyed(TObject *Sender);
  void ModuleModified(TObject *Sender);
  void ModuleSaved(TObject *Sender);

  std::vector<IPtr<TOTAEditorNotifier>> FEditorNotifiers;
  IPtr<TOTAIDENotifier> FIDENotifier;
  std::vector<IPtr<TOTAModuleNotifier>> FModuleNotifiers;
};

} // namespace krx
