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
// subkey "KeyBindings" (one REG_SZ shortcut text per menu item other than the separators, by
// component name). A number is read whether it is stored as a REG_DWORD or as a text. A
// stored value that cannot be read (another type, a text that is no number or no mode, a
// shortcut text no key answers to) is left as it is until the user changes that setting or
// that item's shortcut.
#pragma once

#include "Common/DataTyp.h"
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
#include <functional>
#include <memory>
#include <optional>
#include <unordered_set>
#include <utility>
#include <vector>

namespace krx {

// ---- Commands to Kestrune ------------------------------------------------------------------

// The expert's two senders to Kestrune, by source language: index 0 (lanUndefined) is never
// connected, index 1 (lanPascal) reaches Kestrune's endpoint. A file's sender is chosen by the
// file's language in the module-explorer registry. Every command but the auto-refresh one
// first makes sure its sender is connected, and raises "... must be running to perform this
// operation." otherwise, so the user is told instead of a send failing.
class TKRProxies : public TObject {
public:
  TKRProxies();
  std::array<std::unique_ptr<TDotNetKRProxy>, 2> Proxies;

  TDotNetKRProxy &ProxyFor(const String &FileName) const;
  bool IsConnectedFor(const String &FileName) const;
  // The connected sender with the highest index; Proxies[0] when none is connected.
  TDotNetKRProxy &FirstConnected() const;
  TSourceLanguageKinds ConnectedLanguages() const;
  void EnsureConnected(TSourceLanguageKind Language) const;
  void EnsureConnectedFor(const String &FileName) const;

  void AddToModel(const String &FileName) const;
  void ConvertToModel(const String &FileName) const;
  void JumpToModel(const String &FileName, Integer Line) const;
  void RefreshInModel(const String &FileName) const;
  void OpenModel(const String &FileName, const String &ProjectFileName) const;
  void VisualizeModule(const String &FileName) const;
  void ImportBatch(const String &BatchFileName, TSourceLanguageKind Language) const;
  // Only when the file's sender is connected; otherwise nothing and no message.
  void AutoRefresh(const String &FileName) const;
  void SendStackTrace(const String &StackFileName) const;
  void SynchronizeModel() const;

private:
  // The language whose sender FirstConnected gives.
  TSourceLanguageKind FirstConnectedLanguage() const;
};

// How BringIDEToFront puts the IDE in front; stored, and listed in the options dialog, by its
// number: 0 a simulated click, 1 plain, 2 with the threads' input attached.
enum class TForeGndMode : Byte { SimulateClick, Plain, AttachThread };
// The mode of a stored or chosen number; nothing for a number that is no mode.
std::optional<TForeGndMode> ForeGndModeFromNumber(Integer Number);

// Stored values that could not be read, each with a test whether what the module holds in
// their place is still what it held then. While it is, the save leaves the stored value as it
// is; once the module has written a value, the value is the module's own.
class TKeptValues {
public:
  void Keep(const String &Name, std::function<bool()> Unchanged);
  bool Keeps(StringView Name) const;
  void Written(StringView Name);

private:
  std::vector<std::pair<String, std::function<bool()>>> FValues;
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
  // Flips ToolsMenuExpert, then puts the Kestrune menu where the flag says: first in the
  // Tools menu, or before the main menu's last two entries. Without a "ToolsMenu" the menu
  // stays where it is and the flag stays flipped.
  void ToggleToolsMenu();
  void StartUpTimerTimer(TObject *Sender);
  // True once the start-up timer has read the settings.
  bool SettingsLoaded() const { return FSettingsLoaded; }

  // ---- Requests from Kestrune (KR4ExptDMRequests.cpp) ----------------------------------------
  // Each runs from the endpoint's queue, one at a time, on the IDE's main thread.

  // 1026: Kestrune rewrote the file; an open buffer without changes of its own takes the
  // new text, the file keeps Kestrune's bytes and its last-write time. A buffer that cannot
  // take the new text is not saved (the file stays as Kestrune wrote it); that is raised.
  void RefreshFileRequest(const String &FileName);
  // 1027: the IDE's own help; the keyword is not used.
  void ShowHelpRequest(const String &Keyword);
  // 1028: the declared element, found in the editor's current text of the file.
  void JumpToLocationRequest(const String &FileName, const String &KindName,
                             const String &ClassName, const String &MemberName,
                             const String &ParamText);
  // 1029
  void OpenFileRequest(const String &FileName);
  // 1030: the active project's files of its language into the transfer file. 1030 and 1033
  // write only a new file or over an earlier answer (TransferFiles.h).
  void ProjectFilesRequest(const String &TransferFile);
  // 1031: mode 0 make, 1 build, 2 check, 3 make; any other mode is ignored.
  void BuildProjectRequest(Integer Mode);
  // 1032: 1-based line and column.
  void GotoLineRequest(const String &FileName, Integer Line, Integer Column);
  // 1033: the files of the buffers with unsaved changes into the transfer file.
  void EditorFilesRequest(const String &TransferFile);
  // 1034: adds the files a project-update document adds (or renames to). Names holding a
  // line break are not added; they are raised, named, after the others went in.
  void UpdateProjectFileRequest(const String &UpdateFile);
  // Opens the file with the cursor at (Line, Column) and the top line at least TopMin, moved
  // down when Line would otherwise lie below the view's last-but-one line.
  void ShowFileAtPosition(const String &FileName, Integer TopMin, Integer Line, Integer Column);
  // One entry of a project-update document, applied to UpdateProject.
  void ApplyProjectUpdate(TFileUpdateOperation Op, const String &Name, const String &NewName);

  // Files that Kestrune's requests opened (1028, 1029, 1032 for a file not open yet) stay open
  // for it; those the user has not changed (nor closed) are bounded in number and in bytes, so
  // that requests for one file after another cannot fill the IDE's memory. 64 files is more
  // than anyone reads at once; 256 MB holds four units at the read bound (64 MB) and is a
  // small part of what a 32-bit IDE can address. Nothing is ever closed for the bound: a
  // request beyond it is refused.
  static constexpr std::size_t MaxKestruneFiles = 64;
  static constexpr Int64 MaxKestruneBytes = Int64{256} << 20;
  // Before a request opens FileName: -1 when it is open already or cannot be examined (the
  // open adds nothing, or fails). Otherwise its size, once sure that opening it stays within
  // the bound; beyond it, raises EKRXException naming the file and the bound.
  Int64 AdmitKestruneFile(const String &FileName);
  // After the open: the file counts from now on when the request opened it.
  void CountKestruneFile(const String &FileName, Int64 Size);
  // The user saved the file: it is theirs, and no longer counts.
  void ForgetKestruneFile(const String &FileName);

  // ---- Foreground switching (KR4ExptDMRequests.cpp) ------------------------------------------
  // Brings the IDE's window to the front by ForeGndMode and focuses the editor when both
  // FocusEditor and ForeGndFocusEditor are set.
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
  TForeGndMode ForeGndMode = TForeGndMode::SimulateClick;
  bool LockRefreshOnRun = true;
  bool Busy = false;
  bool WarnAutoRefresh = true;
  bool ToolsMenuExpert = false;
  std::unique_ptr<TOTANotifications> Notifications;
  std::unique_ptr<TDelphiIDEStub> Stub;
  std::vector<TMenuItem *> KeyBindingItems; // the items are the menu's
  std::unique_ptr<TKRProxies> Proxies;
  IPtr<IOTAProject> UpdateProject;
  // While request 1034 runs: UpdateProject's file names (as they stand: names that differ in
  // case are two files), and the names refused for holding a line break.
  std::unordered_set<String> UpdateProjectNames;
  std::vector<String> RefusedUpdateNames;
  // The files Kestrune's requests opened that count against the bound, with their sizes.
  struct TKestruneFile {
    String FileName;
    Int64 Size = 0;
  };
  std::vector<TKestruneFile> KestruneFiles;

  // ---- Commands to Kestrune: update and execute handlers of the actions ----
  void SingleFileKestruneActionUpdate(TObject *Sender);
  void AnyProxyConnectedActionUpdate(TObject *Sender);
  void AddFilesActionUpdate(TObject *Sender);
  void KRConvertProjectActionUpdate(TObject *Sender);
  void EditorActionUpdate(TObject *Sender);

  void KRExptRunKRPascalItemClick(TObject *Sender);
  void KRRunKestruneCSharpActionExecute(TObject *Sender);
  void KRExptJumpItemClick(TObject *Sender);
  void JumpDelayTimerTimer(TObject *Sender);
  void KRInvokeModelSearchActionExecute(TObject *Sender);
  void KRExptAddItemClick(TObject *Sender);
  void KRVisualizeModuleActionExecute(TObject *Sender);
  void KRExptRefreshItemClick(TObject *Sender);
  void KRSynchronizeModelActionExecute(TObject *Sender);
  void KRExptConvertItemClick(TObject *Sender);
  void KRExptOpenModelItemClick(TObject *Sender);
  // Starts bin/<ExeName> below Kestrune's installation folder.
  void RunKestrune(const String &ExeName);

  // ---- Commands: saving, personality, batch import, call stack, auto refresh ----
  // Sets Busy for the lifetime of the guard (cleared also on an exception), so that the
  // save notification of a save the expert makes itself sends no auto refresh.
  class TBusyGuard {
  public:
    explicit TBusyGuard(TKR4ExptDataModule &DM) : FDM(DM), FWas(DM.Busy) { FDM.Busy = true; }
    ~TBusyGuard() { FDM.Busy = FWas; }
    TBusyGuard(const TBusyGuard &) = delete;
    TBusyGuard &operator=(const TBusyGuard &) = delete;

  private:
    TKR4ExptDataModule &FDM;
    bool FWas;
  };
  // Saves the current editor's module when it has unsaved changes, with Busy set.
  void SaveCurrentModule();
  // The active project is a Delphi one ("Delphi.Personality" or "DelphiDotNet.Personality").
  bool IsDelphiPersonality();
  bool AutoRefreshAllowed();
  // The module-saved event of the notifications: command 1030 when auto refresh is allowed.
  void ModuleSaved(IOTAModule *Module);

  // ---- Commands: batch import, call stack, options ----
  // The batch-import file and the call-stack file in Kestrune's local data folder.
  static String BatchFileName();
  static String StackTraceFileName();
  // "project=<source>" followed by "file=<name>" lines for every project of the project group,
  // then the same for the files open in the IDE, under "project=Editor files".
  String CollectImportCandidates();
  void KRExptAddMultipleItemClick(TObject *Sender);
  void KRExptConvertProjectItemClick(TObject *Sender);
  // Writes the debugger's call stack, outermost call first, and hands it to Kestrune.
  void CreateSequenceDiagramActionExecute(TObject *Sender);
  void KRD4ExptIntegrationOptionsClick(TObject *Sender);

protected:
  void Created() override;

private:
  void CreateComponents();
  void DataModuleCreate();
  void DataModuleDestroy();
  void ReadSettings();
  // Takes the stored number that Convert makes a value of into Field; keeps a stored value
  // that cannot be read (Field stays as it is).
  template <class T, class C>
  void ReadSetting(TRegistry &Registry, const Char *Name, T &Field, C Convert);
  void ReadKeyBindings();
  // Binds the endpoint's request events and the foreground timer to their handlers.
  void BindRequests();

  bool FSettingsLoaded = false;
  // The settings, and the items' bindings (by item name), that are kept as stored.
  TKeptValues FKeptSettings;
  TKeptValues FKeptBindings;

  // The file and cursor line "Jump to Kestrune" was started with, sent when the delay
  // timer fires.
  String FJumpFileName;
  Integer FJumpLine = 0;
};

// The one data module, set by the wizard object; null otherwise.
extern TKR4ExptDataModule *KR4ExptDataModule;

} // namespace krx
