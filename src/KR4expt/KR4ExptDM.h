// The expert's centre inside the IDE: the data module that owns the Kestrune menu, the
// actions and their images, the key bindings of the menu items, three one-shot timers, the
// settings, the two senders to Kestrune and the IDE's endpoint with its request handlers.
//
// Creation hands the actions and images to the IDE, moves the menu into the IDE's main menu
// (before its last two entries), starts the start-up timer, installs the IDE notifiers and
// opens the endpoint. 250 ms later the start-up timer sets the default shortcuts and reads the
// settings (from the newest settings key of this or an older IDE version) and the stored key
// bindings. Destruction saves the settings (only when they were read: a load and unload
// within the start-up delay keeps what the user stored) and undoes the rest.
//
// Settings live under HKEY_CURRENT_USER in SettingsKeyName(5): "AutoRefresh",
// "WarnAutoRefresh", "LockRefreshOnRun", "ToolsMenuExpert", "ForeGndDelayed",
// "ForeGndFocusEditor" (REG_DWORD Booleans), "ForeGndMode" (REG_SZ decimal, 0 to 2) and the
// subkey "KeyBindings" (one REG_SZ shortcut text per visible menu item, by component name).
#pragma once

#include "KR4expt/DelphiIDEPS.h"
#include "KR4expt/DotNetKRPS.h"
#include "KR4expt/PrjFileUpdates.h"
#include "Platform/Registry/Registry.h"
#include "Platform/ToolsAPI/ToolsAPI.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/Menus.h"
#include "ToolsApi/OTANotifiers.h"
#include "World/Timers.h"

#include <array>
#include <memory>
#include <vector>

namespace krx {

// The expert's two senders to Kestrune, by source language: index 0 is never connected,
// index 1 reaches Kestrune's endpoint.
class TKRProxies : public TObject {
public:
  TKRProxies();
  std::array<std::unique_ptr<TDotNetKRProxy>, 2> Proxies;
};

class TKR4ExptDataModule : public TDataModule {
public:
  explicit TKR4ExptDataModule(TComponent *AOwner);
  ~TKR4ExptDataModule() override;

  // "<Kestrune key of version 11>\BDS<n>Expert" for IDE positions 0 to 5; empty for others.
  static String SettingsKeyName(Integer VersionIndex);
  // Opens the newest existing settings key (positions 5 down to 0) read-only.
  bool OpenSettingsKey(TRegistry &Registry);
  void SaveSettings();
  bool FindToolsMenu(TMainMenu *&MainMenu, TMenuItem *&ToolsItem);
  // Moves the Kestrune menu between the main menu and the Tools menu, by where it is, and
  // flips ToolsMenuExpert when it moved. Without a "ToolsMenu" nothing changes.
  void ToggleToolsMenu();
  void StartUpTimerTimer(TObject *Sender);
  // True once the start-up timer has read the settings.
  bool SettingsLoaded() const { return FSettingsLoaded; }

  // ---- Requests from Kestrune (KR4ExptDMRequests.cpp) ----------------------------------------
  // Each runs from the endpoint's queue, one at a time, on the IDE's main thread.

  // 1026: Kestrune rewrote the file; an open buffer without changes of its own takes the
  // new text, the file keeps Kestrune's bytes and its last-write time.
  void RefreshFileRequest(const String &FileName);
  // 1027: the IDE's own help; the keyword is not used.
  void ShowHelpRequest(const String &Keyword);
  // 1028: the declared element, found in the editor's current text of the file.
  void JumpToLocationRequest(const String &FileName, const String &KindName,
                             const String &ClassName, const String &MemberName,
                             const String &ParamText);
  // 1029
  void OpenFileRequest(const String &FileName);
  // 1030: the active project's files of its language into the transfer file.
  void ProjectFilesRequest(const String &TransferFile);
  // 1031: mode 0 make, 1 build, 2 check, 3 make; any other mode is ignored.
  void BuildProjectRequest(Integer Mode);
  // 1032: 1-based line and column.
  void GotoLineRequest(const String &FileName, Integer Line, Integer Column);
  // 1033: the files of the buffers with unsaved changes into the transfer file.
  void EditorFilesRequest(const String &TransferFile);
  // 1034: adds the files a project-update document adds (or renames to).
  void UpdateProjectFileRequest(const String &UpdateFile);
  // Opens the file with the cursor at (Line, Column) and the top line at least TopMin, moved
  // down when Line would otherwise lie below the view's last-but-one line.
  void ShowFileAtPosition(const String &FileName, Integer TopMin, Integer Line, Integer Column);
  // One entry of a project-update document, applied to UpdateProject.
  void ApplyProjectUpdate(TFileUpdateOperation Op, const String &Name, const String &NewName);
  // The active project is a Delphi one ("Delphi.Personality" or "DelphiDotNet.Personality").
  bool IsDelphiPersonality();

  // ---- Foreground switching (KR4ExptDMRequests.cpp) ------------------------------------------
  // Brings the IDE's window to the front by ForeGndMode (0 simulated click, 1 plain, 2 attach
  // thread; another value is reset to 0) and focuses the editor when both FocusEditor and
  // ForeGndFocusEditor are set.
  void BringIDEToFront(bool FocusEditor);
  // With ForeGndDelayed: once more from ForeGndTimer, 10 ms later (restarted by every call;
  // the last call's FocusEditor counts).
  void DelayedForeground(bool FocusEditor);
  void ForeGndTimerTimer(TObject *Sender);
  void ForceForegroundByClick(HWND Window);
  // Whether the window is the foreground window afterwards.
  bool ForceForegroundAttached(HWND Window);

  // Components
  TMainMenu *KRMenu = nullptr;
  TMenuItem *KRExptMainItem = nullptr;
  TMenuItem *KRExptRunItem = nullptr;
  TMenuItem *KRExptRunCSharpEditionItem = nullptr;
  TMenuItem *KRExptJumpItem = nullptr;
  TMenuItem *KRExptModelSearchItem = nullptr;
  TMenuItem *VisualizeItem = nullptr;
  TMenuItem *KRExptAddItem = nullptr;
  TMenuItem *KRExptAddMultipleItem = nullptr;
  TMenuItem *KRExptConvertItem = nullptr;
  TMenuItem *KRExptConvertProjectItem = nullptr;
  TMenuItem *KRExptOpenModelItem = nullptr;
  TMenuItem *KRExptRefreshItem = nullptr;
  TMenuItem *KRExptSyncModelItem = nullptr;
  TMenuItem *CreateSequenceDiagramItem = nullptr;
  TMenuItem *KRSequenceDiagramSeparator = nullptr;
  TMenuItem *KRExptAutoRefreshoptionsItem = nullptr;
  TOneShotTimer *StartUpTimer = nullptr;
  TOneShotTimer *ForeGndTimer = nullptr;
  TActionList *KRActionList = nullptr;
  TImageList *KRImageList = nullptr;
  TOneShotTimer *JumpDelayTimer = nullptr;

  TAction *KRRunKestruneAction = nullptr;
  TAction *KRRunKestruneCSharpAction = nullptr;
  TAction *KRJumpKestruneAction = nullptr;
  TAction *KRInvokeModelSearchAction = nullptr;
  TAction *KRAddToModelAction = nullptr;
  TAction *KRVisualizeModuleAction = nullptr;
  TAction *KRAddFilesToModelAction = nullptr;
  TAction *KRRefreshInModelAction = nullptr;
  TAction *KRSynchronizeModelAction = nullptr;
  TAction *KRConvertToModelAction = nullptr;
  TAction *KRConvertProjectAction = nullptr;
  TAction *KROpenModelAction = nullptr;
  TAction *CreateSequenceDiagramAction = nullptr;
  TAction *KRIntegrationOptionsAction = nullptr;

  // State
  bool AutoRefresh = false;
  bool ForeGndDelayed = false;
  bool ForeGndFocusEditor = false;
  Integer ForeGndMode = 0;
  bool LockRefreshOnRun = true;
  bool Busy = false;
  bool WarnAutoRefresh = true;
  bool ToolsMenuExpert = false;
  std::unique_ptr<TOTANotifications> Notifications;
  std::unique_ptr<TDelphiIDEStub> Stub;
  std::vector<TMenuItem *> KeyBindingItems; // the items are the menu's
  std::unique_ptr<TKRProxies> Proxies;
  IPtr<IOTAProject> UpdateProject;

protected:
  void Created() override;

private:
  void CreateComponents();
  void DataModuleCreate();
  void DataModuleDestroy();
  void ReadSettings();
  void ReadKeyBindings();
  // Binds the endpoint's request events and the foreground timer to their handlers.
  void BindRequests();

  bool FSettingsLoaded = false;
};

// The one data module, set by the wizard object; null otherwise.
extern TKR4ExptDataModule *KR4ExptDataModule;

} // namespace krx
