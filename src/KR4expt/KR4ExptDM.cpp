#include "KR4expt/KR4ExptDM.h"

#include "Common/DataFolders.h"
#include "Common/KREngineDefs.h"
#include "Common/KRX.DelphiVersions.h"
#include "Common/KRX.Exceptions.h"
#include "Common/RegUtils.h"
#include "Controls/StackTraceFrm.h"
#include "Engine/CodeItems.h"
#include "Engine/ModuleExplorers.h"
#include "KR4expt/D4ImportUnitsFrm.h"
#include "KR4expt/KRBatchCmds.h"
#include "KR4expt/KRExptOptsFrm.h"
#include "KR4expt/TransferFiles.h"
#include "Platform/Rtl/Files.h"
#include "Platform/Shell/Dialogs.h"
#include "Platform/Shell/ShellApi.h"
#include "ToolsApi/OTAUtils.h"
#include "World/ClassEx.h"
#include "World/CondMsgDlg.h"
#include "World/KRSuperHints.h"

#include <algorithm>

namespace krx {

constinit TKR4ExptDataModule *KR4ExptDataModule = nullptr;

namespace {

// The Kestrune version whose key holds the settings.
constexpr Integer KestruneVersion = 11;

using THandler = void (TKR4ExptDataModule::*)(TObject *);
using DM = TKR4ExptDataModule;

// The action table: name, caption, hint ("" none, "=" the caption), image index, execute
// and update handlers (null: none).
struct TActionSpec {
  TAction *TKR4ExptDataModule::*Field;
  const char16_t *Name;
  const char16_t *Caption;
  const char16_t *Hint;
  Integer Image;
  THandler Execute = nullptr;
  THandler Update = nullptr;
};

constexpr TActionSpec kActions[] = {
    {&TKR4ExptDataModule::KRRunKestruneAction, u"KRRunKestruneAction",
     u"Run Kestrune Pascal Edition", u"Run Kestrune", 0, &DM::KRExptRunKRPascalItemClick},
    {&TKR4ExptDataModule::KRRunKestruneCSharpAction, u"KRRunKestruneCSharpAction",
     u"Run Kestrune C# Edition", u"", 0, &DM::KRRunKestruneCSharpActionExecute},
    {&TKR4ExptDataModule::KRJumpKestruneAction, u"KRJumpKestruneAction", u"Jump to Kestrune",
     u"Jump to Kestrune", 1, &DM::KRExptJumpItemClick, &DM::SingleFileKestruneActionUpdate},
    {&TKR4ExptDataModule::KRInvokeModelSearchAction, u"KRInvokeModelSearchAction", u"Model Search",
     u"Start Model Search with token at cursor position.", 13,
     &DM::KRInvokeModelSearchActionExecute, &DM::SingleFileKestruneActionUpdate},
    {&TKR4ExptDataModule::KRAddToModelAction, u"KRAddToModelAction", u"Add to Model", u"=", 2,
     &DM::KRExptAddItemClick, &DM::SingleFileKestruneActionUpdate},
    {&TKR4ExptDataModule::KRVisualizeModuleAction, u"KRVisualizeModuleAction",
     u"Visualize source file", u"=", 10, &DM::KRVisualizeModuleActionExecute},
    {&TKR4ExptDataModule::KRAddFilesToModelAction, u"KRAddFilesToModelAction",
     u"Add files to Model...", u"=", 3, &DM::KRExptAddMultipleItemClick, &DM::AddFilesActionUpdate},
    {&TKR4ExptDataModule::KRRefreshInModelAction, u"KRRefreshInModelAction", u"Refresh in Model",
     u"=", 4, &DM::KRExptRefreshItemClick, &DM::SingleFileKestruneActionUpdate},
    {&TKR4ExptDataModule::KRSynchronizeModelAction, u"KRSynchronizeModelAction",
     u"Synchronize model",
     u"@Synchronize model|Refresh imports modules in the active model from their source "
     u"files.\\N\\LA model module is only refreshed if the source file was modified.",
     12, &DM::KRSynchronizeModelActionExecute, &DM::AnyProxyConnectedActionUpdate},
    {&TKR4ExptDataModule::KRConvertToModelAction, u"KRConvertToModelAction", u"Convert to Model",
     u"=", 6, &DM::KRExptConvertItemClick, &DM::SingleFileKestruneActionUpdate},
    {&TKR4ExptDataModule::KRConvertProjectAction, u"KRConvertProjectAction",
     u"Convert project to Model", u"=", 7, &DM::KRExptConvertProjectItemClick,
     &DM::KRConvertProjectActionUpdate},
    {&TKR4ExptDataModule::KROpenModelAction, u"KROpenModelAction", u"Open Model", u"=", 8,
     &DM::KRExptOpenModelItemClick, &DM::SingleFileKestruneActionUpdate},
    {&TKR4ExptDataModule::CreateSequenceDiagramAction, u"CreateSequenceDiagramAction",
     u"Create sequence diagram from call stack", u"=", 11, &DM::CreateSequenceDiagramActionExecute,
     &DM::AnyProxyConnectedActionUpdate},
    {&TKR4ExptDataModule::KRIntegrationOptionsAction, u"KRIntegrationOptionsAction",
     u"Integration Options...", u"", 9, &DM::KRD4ExptIntegrationOptionsClick},
};

// The glyphs of the image list, by index.
constexpr const char16_t *kImageNames[] = {
    u"Run",         u"Jump",           u"Add",       u"AddFiles", u"Refresh",   u"Reload",
    u"Convert",     u"ConvertProject", u"OpenModel", u"Options",  u"Visualize", u"SequenceDiagram",
    u"Synchronize", u"ModelSearch",
};

// The menu: item field, name and action (null for a separator).
struct TItemSpec {
  TMenuItem *TKR4ExptDataModule::*Field;
  const char16_t *Name;
  TAction *TKR4ExptDataModule::*Action;
};

constexpr TItemSpec kItems[] = {
    {&TKR4ExptDataModule::KRExptRunItem, u"KRExptRunItem",
     &TKR4ExptDataModule::KRRunKestruneAction},
    {&TKR4ExptDataModule::KRExptRunCSharpEditionItem, u"KRExptRunCSharpEditionItem",
     &TKR4ExptDataModule::KRRunKestruneCSharpAction},
    {nullptr, u"N1", nullptr},
    {&TKR4ExptDataModule::KRExptJumpItem, u"KRExptJumpItem",
     &TKR4ExptDataModule::KRJumpKestruneAction},
    {&TKR4ExptDataModule::KRExptModelSearchItem, u"KRExptModelSearchItem",
     &TKR4ExptDataModule::KRInvokeModelSearchAction},
    {nullptr, u"N2", nullptr},
    {&TKR4ExptDataModule::VisualizeItem, u"VisualizeItem",
     &TKR4ExptDataModule::KRVisualizeModuleAction},
    {&TKR4ExptDataModule::KRExptAddItem, u"KRExptAddItem", &TKR4ExptDataModule::KRAddToModelAction},
    {&TKR4ExptDataModule::KRExptAddMultipleItem, u"KRExptAddMultipleItem",
     &TKR4ExptDataModule::KRAddFilesToModelAction},
    {&TKR4ExptDataModule::KRExptConvertItem, u"KRExptConvertItem",
     &TKR4ExptDataModule::KRConvertToModelAction},
    {&TKR4ExptDataModule::KRExptConvertProjectItem, u"KRExptConvertProjectItem",
     &TKR4ExptDataModule::KRConvertProjectAction},
    {&TKR4ExptDataModule::KRExptOpenModelItem, u"KRExptOpenModelItem",
     &TKR4ExptDataModule::KROpenModelAction},
    {nullptr, u"N3", nullptr},
    {&TKR4ExptDataModule::KRExptRefreshItem, u"KRExptRefreshItem",
     &TKR4ExptDataModule::KRRefreshInModelAction},
    {&TKR4ExptDataModule::KRExptSyncModelItem, u"KRExptSyncModelItem",
     &TKR4ExptDataModule::KRSynchronizeModelAction},
    {nullptr, u"N4", nullptr},
    {&TKR4ExptDataModule::CreateSequenceDiagramItem, u"CreateSequenceDiagramItem",
     &TKR4ExptDataModule::CreateSequenceDiagramAction},
    {&TKR4ExptDataModule::KRSequenceDiagramSeparator, u"KRSequenceDiagramSeparator", nullptr},
    {&TKR4ExptDataModule::KRExptAutoRefreshoptionsItem, u"KRExptAutoRefreshoptionsItem",
     &TKR4ExptDataModule::KRIntegrationOptionsAction},
};

// Reads one value; a missing or mistyped value (the registry's error) or a text that does not
// convert leaves the default. Any other failure is a fault of the reader and goes on.
template <class F> void ReadGuarded(F read) {
  try {
    read();
  } catch (const ERegistryException &) {
  } catch (const EConvertError &) {
  }
}

const Char *const SKestruneNotRunning = u"Kestrune must be running to perform this operation.";
const Char *const SKestruneEditionNotRunning =
    u"Kestrune %s Edition must be running to perform this operation.";
const Char *const SNoTextToSearch = u"No text at cursor position to search";
const Char *const SInstallationIncomplete =
    u"Kestrune Installation incomplete:\r\nUnable to read Kestrune installation directory from "
    u"HKLM registry.";
const Char *const SExecutableMissing = u"Unable to locate Kestrune executable:\r\n";
const Char *const SExecutableNotStarted = u"Unable to start Kestrune executable:\r\n";
const Char *const SEditorFiles = u"Editor files";
const Char *const SNoLanguage = u"Unable to determine language for Kestrune operation";
const Char *const SNoProjectToConvert = u"Cannot convert project: No project active";
const Char *const SNoProjectLanguage = u"Unable to determine active project language.";
const Char *const SNoDebugProcess =
    u"No debug process available.\r\nStack trace only available when debugger hits breakpoint";
const Char *const SSingleStackFrame =
    u"Just a single stack frame is available. Unable to create stack trace.";
const Char *const SAutoRefreshWarning =
    u"Use the \"Auto Refresh Import\" feature with great care.\r\nThis feature can irrecoverably "
    u"corrupt your source files if used incorrectly.\r\nCheck the Kestrune User Manual for "
    u"details before enabling it.";
const Char *const SDontWarnAgain = u"Don't warn me again";

TOneShotTimer *NewTimer(TComponent *owner, const String &name, Integer interval) {
  auto *timer = new TOneShotTimer(owner);
  timer->SetName(name);
  timer->SetInterval(interval);
  timer->SetRetriggerable(true);
  return timer;
}

} // namespace

// ---- Senders to Kestrune ------------------------------------------------------------------

TKRProxies::TKRProxies() {
  Proxies[0] = std::make_unique<TDotNetKRProxy>(0);
  Proxies[1] = std::make_unique<TDotNetKRProxy>(1);
}

TDotNetKRProxy &TKRProxies::ProxyFor(const String &FileName) const {
  return *Proxies[ModuleExplorerRegistry().LanguageOfFile(FileName)];
}

bool TKRProxies::IsConnectedFor(const String &FileName) const {
  return ProxyFor(FileName).Connected();
}

TSourceLanguageKind TKRProxies::FirstConnectedLanguage() const {
  for (std::size_t i = Proxies.size(); i-- > 0;)
    if (Proxies[i]->Connected())
      return static_cast<TSourceLanguageKind>(i);
  return lanUndefined;
}

TDotNetKRProxy &TKRProxies::FirstConnected() const { return *Proxies[FirstConnectedLanguage()]; }

TSourceLanguageKinds TKRProxies::ConnectedLanguages() const {
  TSourceLanguageKinds languages;
  for (std::size_t i = 0; i < Proxies.size(); ++i)
    if (Proxies[i]->Connected())
      languages.Include(static_cast<TSourceLanguageKind>(i));
  return languages;
}

void TKRProxies::EnsureConnected(TSourceLanguageKind Language) const {
  if (Proxies[Language]->Connected())
    return;
  if (Language == lanUndefined)
    throw Exception(SKestruneNotRunning);
  throw Exception(Format(SKestruneEditionNotRunning, {LanguageKindName(Language)}));
}

void TKRProxies::EnsureConnectedFor(const String &FileName) const {
  EnsureConnected(ModuleExplorerRegistry().LanguageOfFile(FileName));
}

void TKRProxies::AddToModel(const String &FileName) const {
  EnsureConnectedFor(FileName);
  ProxyFor(FileName).AddFile(FileName);
}

void TKRProxies::ConvertToModel(const String &FileName) const {
  EnsureConnectedFor(FileName);
  ProxyFor(FileName).ConvertFile(FileName);
}

void TKRProxies::JumpToModel(const String &FileName, Integer Line) const {
  EnsureConnectedFor(FileName);
  ProxyFor(FileName).JumpToModel(FileName, Line);
}

void TKRProxies::RefreshInModel(const String &FileName) const {
  EnsureConnectedFor(FileName);
  ProxyFor(FileName).RefreshFile(FileName);
}

void TKRProxies::OpenModel(const String &FileName, const String &ProjectFileName) const {
  EnsureConnectedFor(FileName);
  ProxyFor(FileName).OpenModel(FileName, ProjectFileName);
}

void TKRProxies::VisualizeModule(const String &FileName) const {
  EnsureConnectedFor(FileName);
  ProxyFor(FileName).VisualizeModule(FileName);
}

void TKRProxies::ImportBatch(const String &BatchFileName, TSourceLanguageKind Language) const {
  EnsureConnected(Language);
  Proxies[Language]->AddFiles(BatchFileName);
}

void TKRProxies::AutoRefresh(const String &FileName) const {
  TDotNetKRProxy &proxy = ProxyFor(FileName);
  if (proxy.Connected())
    proxy.FileChanged(FileName);
}

// The two commands that go to whichever Kestrune runs still check that one does, so that the
// user is told it must run rather than that a window named ".Proxy::Null." is missing.
void TKRProxies::SendStackTrace(const String &StackFileName) const {
  const TSourceLanguageKind language = FirstConnectedLanguage();
  EnsureConnected(language);
  Proxies[language]->CreateSequenceDiagram(StackFileName);
}

void TKRProxies::SynchronizeModel() const {
  const TSourceLanguageKind language = FirstConnectedLanguage();
  EnsureConnected(language);
  Proxies[language]->SynchronizeModel();
}

// ---- Creation and destruction -------------------------------------------------------------

TKR4ExptDataModule::TKR4ExptDataModule(TComponent *AOwner) : TDataModule(AOwner) {
  SetName(u"KR4ExptDataModule");
}

TKR4ExptDataModule::~TKR4ExptDataModule() { DataModuleDestroy(); }

void TKR4ExptDataModule::Created() {
  CreateComponents();
  DataModuleCreate();
}

void TKR4ExptDataModule::CreateComponents() {
  KRMenu = new TMainMenu(this);
  KRMenu->SetName(u"KRMenu");
  KRExptMainItem = new TMenuItem(this);
  KRExptMainItem->SetName(u"KRExptMainItem");
  KRExptMainItem->SetCaption(u"Kestrune");
  KRExptMainItem->SetGroupIndex(200);
  KRMenu->Items()->Add(KRExptMainItem);
  StartUpTimer = NewTimer(this, u"StartUpTimer", 250);
  StartUpTimer->OnTimer = [this](TObject *sender) { StartUpTimerTimer(sender); };
  ForeGndTimer = NewTimer(this, u"ForeGndTimer", 10);
  KRActionList = new TActionList(this);
  KRActionList->SetName(u"KRActionList");
  KRImageList = new TImageList(this);
  KRImageList->SetName(u"KRImageList");
  for (const char16_t *image : kImageNames)
    KRImageList->Add(image);
  KRActionList->SetImages(KRImageList);
  KRMenu->SetImages(KRImageList);
  JumpDelayTimer = NewTimer(this, u"JumpDelayTimer", 5);
  JumpDelayTimer->OnTimer = [this](TObject *sender) { JumpDelayTimerTimer(sender); };

  for (const TActionSpec &spec : kActions) {
    auto *action = new TAction(this);
    action->SetName(spec.Name);
    action->SetCaption(spec.Caption);
    action->SetHint(String(spec.Hint) == u"=" ? String(spec.Caption) : String(spec.Hint));
    action->SetImageIndex(spec.Image);
    action->SetCategory(u"Kestrune");
    action->SetActionList(KRActionList);
    if (spec.Execute)
      action->OnExecute = [this, h = spec.Execute](TObject *sender) { (this->*h)(sender); };
    if (spec.Update)
      action->OnUpdate = [this, h = spec.Update](TObject *sender) { (this->*h)(sender); };
    this->*spec.Field = action;
  }
  KRVisualizeModuleAction->SetVisible(false);

  for (const TItemSpec &spec : kItems) {
    auto *item = new TMenuItem(this);
    item->SetName(spec.Name);
    if (spec.Action)
      item->SetAction(this->*spec.Action);
    else
      item->SetCaption(u"-");
    KRExptMainItem->Add(item);
    if (spec.Field)
      this->*spec.Field = item;
  }
}

void TKR4ExptDataModule::DataModuleCreate() {
  // The visualise command is not offered.
  delete std::exchange(KRVisualizeModuleAction, nullptr);
  VisualizeItem->SetVisible(false);

  CreateCodeItemModel();
  CreateSuperHintHandler();

  Proxies = std::make_unique<TKRProxies>();
  LockRefreshOnRun = true;
  WarnAutoRefresh = true;

  // The helper object follows the IDE theme from now on.
  ToolsAPIUtils().RegisterActions(KRActionList);
  KRRunKestruneCSharpAction->SetVisible(false);

  // Hidden items keep their bindings too: they are shown, saved and taken over like the
  // others, so that none is lost while an item is out of sight.
  for (Integer i = 0; i < KRExptMainItem->Count(); ++i)
    if (!KRExptMainItem->Items(i)->IsLine())
      KeyBindingItems.push_back(KRExptMainItem->Items(i));

  IPtr<INTAServices> nta = ServiceCast<INTAServices>(BorlandIDEServices);
  if (TMainMenu *mainMenu = nta->MainMenu()) {
    KRMenu->Items()->Remove(KRExptMainItem);
    mainMenu->Items()->Insert(std::max(mainMenu->Items()->Count() - 2, 0), KRExptMainItem);
    KRExptMainItem->SetAutoHotkeys(maAutomatic);
    mainMenu->RethinkHotkeys();
    KRExptMainItem->RethinkHotkeys();
  }

  StartUpTimer->SetEnabled(true);

  Notifications = std::make_unique<TOTANotifications>();
  Notifications->OnModuleSaved = [this](IOTAModule *module) { ModuleSaved(module); };

  Stub = TDotNetStub::Create<TDelphiIDEStub>(static_cast<Byte>(ThisIDEVersion()));
  BindRequests();
}

void TKR4ExptDataModule::DataModuleDestroy() {
  // Settings still at their defaults (unloaded within the start-up delay) are not written
  // over what the user stored.
  if (FSettingsLoaded)
    SaveSettings();
  KeyBindingItems.clear();
  Stub.reset();
  Notifications.reset();
  if (KR4ExptDataModule == this)
    KR4ExptDataModule = nullptr;
  Proxies.reset();
  FreeCodeItemModel();
  // No theme notifier of the helper object may outlive the expert.
  FreeToolsAPIUtils();
}

// ---- Settings -----------------------------------------------------------------------------

std::optional<TForeGndMode> ForeGndModeFromNumber(Integer Number) {
  if (Number < 0 || Number > static_cast<Integer>(TForeGndMode::AttachThread))
    return std::nullopt;
  return static_cast<TForeGndMode>(Number);
}

String TKR4ExptDataModule::SettingsKeyName(Integer VersionIndex) {
  if (VersionIndex < 0 || VersionIndex > dvDelphi11Alexandria)
    return String();
  return Format(KestruneRegistryKey(KestruneVersion) + u"\\BDS%dExpert",
                {DelphiVersionToBDSVersion(VersionIndex)});
}

bool TKR4ExptDataModule::OpenSettingsKey(TRegistry &Registry) {
  for (Integer v = ThisIDEVersion(); v >= 0; --v)
    if (Registry.OpenKeyReadOnly(SettingsKeyName(v)))
      return true;
  return false;
}

void TKR4ExptDataModule::StartUpTimerTimer(TObject *) {
  KRExptJumpItem->SetShortCut(ShortCut(u'M', TShiftState{ssCtrl, ssShift, ssAlt}));
  KRExptRefreshItem->SetShortCut(ShortCut(u'R', TShiftState{ssCtrl, ssShift, ssAlt}));
  ReadSettings();
  ReadKeyBindings();
  FSettingsLoaded = true;
}

void TKeptValues::Keep(const String &Name, std::function<bool()> Unchanged) {
  FValues.emplace_back(Name, std::move(Unchanged));
}

bool TKeptValues::Keeps(StringView Name) const {
  return std::any_of(FValues.begin(), FValues.end(),
                     [&](const auto &kept) { return kept.first == Name && kept.second(); });
}

void TKeptValues::Written(StringView Name) {
  std::erase_if(FValues, [&](const auto &kept) { return kept.first == Name; });
}

namespace {

// A number stored as a REG_DWORD or as a number text (REG_SZ or REG_EXPAND_SZ, read as
// StrToInt reads); nothing for a value of another type or a text that is no number.
std::optional<Integer> ReadStoredNumber(TRegistry &reg, StringView name) {
  Integer number = 0;
  switch (reg.GetDataType(name)) {
  case rdInteger:
    return reg.ReadInteger(name);
  case rdString:
  case rdExpandString:
    if (TryStrToInt(reg.ReadString(name), number))
      return number;
    return std::nullopt;
  default:
    return std::nullopt;
  }
}

std::optional<bool> BoolFromNumber(Integer Number) { return Number != 0; }

} // namespace

template <class T, class C>
void TKR4ExptDataModule::ReadSetting(TRegistry &Registry, const Char *Name, T &Field, C Convert) {
  bool stored = true;
  std::optional<T> value;
  ReadGuarded([&] {
    stored = Registry.ValueExists(Name);
    if (const std::optional<Integer> number =
            stored ? ReadStoredNumber(Registry, Name) : std::nullopt)
      value = Convert(*number);
  });
  if (value)
    Field = *value;
  else if (stored)
    FKeptSettings.Keep(Name, [&Field, was = Field] { return Field == was; });
}

void TKR4ExptDataModule::ReadSettings() {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_CURRENT_USER);
  if (!OpenSettingsKey(reg))
    return;
  ReadSetting(reg, u"AutoRefresh", AutoRefresh, BoolFromNumber);
  ReadSetting(reg, u"WarnAutoRefresh", WarnAutoRefresh, BoolFromNumber);
  ReadSetting(reg, u"LockRefreshOnRun", LockRefreshOnRun, BoolFromNumber);
  ReadSetting(reg, u"ForeGndDelayed", ForeGndDelayed, BoolFromNumber);
  ReadSetting(reg, u"ForeGndMode", ForeGndMode, ForeGndModeFromNumber);
  ReadSetting(reg, u"ForeGndFocusEditor", ForeGndFocusEditor, BoolFromNumber);
  // The toggle flips the flag as it moves the menu: the flag read is set back first.
  const bool toolsMenu = ToolsMenuExpert;
  ReadSetting(reg, u"ToolsMenuExpert", ToolsMenuExpert, BoolFromNumber);
  if (ToolsMenuExpert != toolsMenu) {
    ToolsMenuExpert = toolsMenu;
    ToggleToolsMenu();
  }
}

void TKR4ExptDataModule::ReadKeyBindings() {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_CURRENT_USER);
  if (!OpenSettingsKey(reg) || !reg.KeyExists(u"KeyBindings") ||
      !reg.OpenKeyReadOnly(u"KeyBindings"))
    return;
  for (TMenuItem *item : KeyBindingItems) {
    if (!reg.ValueExists(item->Name()))
      continue;
    // "" is no shortcut; a text no key answers to, or a value that is no text, is kept as it
    // is stored, and the item keeps its shortcut.
    bool read = false;
    ReadGuarded([&] {
      const String text = reg.ReadString(item->Name());
      const TShortCut shortCut = TextToShortCut(text);
      if (shortCut == scNone && !text.empty())
        return;
      item->SetShortCut(shortCut);
      read = true;
    });
    if (!read)
      FKeptBindings.Keep(item->Name(),
                         [item, was = item->ShortCut()] { return item->ShortCut() == was; });
  }
}

void TKR4ExptDataModule::SaveSettings() {
  TRegistry reg;
  reg.SetRootKey(HKEY_CURRENT_USER);
  // A key that cannot be opened (a damaged hive) is reported like a failed write: the
  // user's choices would otherwise be lost without a word.
  try {
    if (!reg.OpenKey(SettingsKeyName(ThisIDEVersion()), true))
      return;
    // A value kept as stored is not written; one written is the module's own from then on.
    const auto put = [&reg](TKeptValues &kept, const String &name, auto write) {
      if (kept.Keeps(name))
        return;
      write(reg, name);
      kept.Written(name);
    };
    const auto putBool = [&](const Char *name, bool value) {
      put(FKeptSettings, name, [value](TRegistry &r, const String &n) { r.WriteBool(n, value); });
    };
    putBool(u"AutoRefresh", AutoRefresh);
    putBool(u"WarnAutoRefresh", WarnAutoRefresh);
    putBool(u"LockRefreshOnRun", LockRefreshOnRun);
    putBool(u"ToolsMenuExpert", ToolsMenuExpert);
    putBool(u"ForeGndDelayed", ForeGndDelayed);
    put(FKeptSettings, u"ForeGndMode", [this](TRegistry &r, const String &n) {
      r.WriteString(n, IntToStr(static_cast<Integer>(ForeGndMode)));
    });
    putBool(u"ForeGndFocusEditor", ForeGndFocusEditor);
    if (reg.OpenKey(u"KeyBindings", true))
      for (TMenuItem *item : KeyBindingItems)
        put(FKeptBindings, item->Name(), [item](TRegistry &r, const String &n) {
          r.WriteString(n, ShortCutToText(item->ShortCut()));
        });
  } catch (const Exception &) {
    Application->HandleException(this);
  }
}

// ---- Menu placement -----------------------------------------------------------------------

bool TKR4ExptDataModule::FindToolsMenu(TMainMenu *&MainMenu, TMenuItem *&ToolsItem) {
  ToolsItem = nullptr;
  MainMenu = ServiceCast<INTAServices>(BorlandIDEServices)->MainMenu();
  if (!MainMenu)
    return false;
  for (Integer i = MainMenu->Items()->Count() - 1; i >= 0; --i)
    if (SameText(MainMenu->Items()->Items(i)->Name(), u"ToolsMenu")) {
      ToolsItem = MainMenu->Items()->Items(i);
      return true;
    }
  return false;
}

void TKR4ExptDataModule::ToggleToolsMenu() {
  // The flag is the user's choice and is kept even when the menu cannot follow it.
  ToolsMenuExpert = !ToolsMenuExpert;
  TMainMenu *mainMenu = nullptr;
  TMenuItem *tools = nullptr;
  if (!FindToolsMenu(mainMenu, tools))
    return;
  if (TMenuItem *parent = KRExptMainItem->Parent())
    parent->Remove(KRExptMainItem);
  if (ToolsMenuExpert)
    tools->Insert(0, KRExptMainItem);
  else
    mainMenu->Items()->Insert(std::max(mainMenu->Items()->Count() - 2, 0), KRExptMainItem);
}

// ---- Commands: update handlers -------------------------------------------------------------

namespace {

void SetActionEnabled(TObject *Sender, bool Enabled) {
  if (auto *action = dynamic_cast<TCustomAction *>(Sender))
    action->SetEnabled(Enabled);
}

// The current editor, when it has unsaved changes.
IPtr<IOTASourceEditor> ModifiedCurrentEditor() {
  IPtr<IOTASourceEditor> editor;
  TToolsAPIUtils::GetCurrentEditor(editor);
  return editor && editor->Modified() ? editor : IPtr<IOTASourceEditor>();
}

} // namespace

void TKR4ExptDataModule::SingleFileKestruneActionUpdate(TObject *Sender) {
  SetActionEnabled(Sender, Proxies->IsConnectedFor(TToolsAPIUtils::GetCurrentFileName()));
}

void TKR4ExptDataModule::AnyProxyConnectedActionUpdate(TObject *Sender) {
  SetActionEnabled(Sender, Proxies->FirstConnected().Connected());
}

void TKR4ExptDataModule::AddFilesActionUpdate(TObject *Sender) {
  SetActionEnabled(Sender, !Proxies->ConnectedLanguages().Empty());
}

void TKR4ExptDataModule::KRConvertProjectActionUpdate(TObject *Sender) {
  SetActionEnabled(Sender, Proxies->ConnectedLanguages().Contains(
                               IsDelphiPersonality() ? lanPascal : lanUndefined));
}

void TKR4ExptDataModule::EditorActionUpdate(TObject *Sender) {
  IPtr<IOTASourceEditor> editor;
  TToolsAPIUtils::GetCurrentEditor(editor);
  SetActionEnabled(Sender, editor != nullptr);
}

// ---- Commands: execute handlers ------------------------------------------------------------

void TKR4ExptDataModule::KRExptAddItemClick(TObject *) {
  SaveCurrentModule();
  Proxies->AddToModel(TToolsAPIUtils::GetCurrentFileName());
}

void TKR4ExptDataModule::KRExptConvertItemClick(TObject *) {
  SaveCurrentModule();
  Proxies->ConvertToModel(TToolsAPIUtils::GetCurrentFileName());
}

void TKR4ExptDataModule::KRExptRefreshItemClick(TObject *) {
  SaveCurrentModule();
  Proxies->RefreshInModel(TToolsAPIUtils::GetCurrentFileName());
}

void TKR4ExptDataModule::KRVisualizeModuleActionExecute(TObject *) {
  SaveCurrentModule();
  Proxies->VisualizeModule(TToolsAPIUtils::GetCurrentFileName());
}

void TKR4ExptDataModule::KRExptJumpItemClick(TObject *) {
  // The position is the one the user clicked at, also when the command goes later.
  const String fileName = TToolsAPIUtils::GetCurrentFileName();
  const Integer line = TToolsAPIUtils::GetCursorPosition();
  if (AutoRefreshAllowed()) {
    if (IPtr<IOTASourceEditor> editor = ModifiedCurrentEditor()) {
      // A save of the user's kind: its notification sends the auto refresh first, and the
      // jump follows from the delay timer.
      if (IPtr<IOTAModule> module = editor->Module())
        module->Save(false, false);
      FJumpFileName = fileName;
      FJumpLine = line;
      JumpDelayTimer->SetEnabled(true);
      return;
    }
  }
  SaveCurrentModule();
  Proxies->JumpToModel(fileName, line);
}

void TKR4ExptDataModule::JumpDelayTimerTimer(TObject *) {
  Proxies->JumpToModel(FJumpFileName, FJumpLine);
}

void TKR4ExptDataModule::KRExptOpenModelItemClick(TObject *) {
  IPtr<IOTAProject> project;
  TToolsAPIUtils::GetActiveProject(project);
  if (!project)
    return;
  Proxies->OpenModel(TToolsAPIUtils::GetCurrentFileName(),
                     TToolsAPIUtils::GetProjectSourceName(project.get()));
}

void TKR4ExptDataModule::KRInvokeModelSearchActionExecute(TObject *) {
  IPtr<IOTAEditView> view;
  TToolsAPIUtils::GetTopEditWindow(view);
  if (!view)
    return;
  IPtr<IOTAEditBuffer> buffer = view->Buffer();
  const String fileName = buffer ? buffer->FileName() : String();
  TDotNetKRProxy *proxy = &Proxies->ProxyFor(fileName);
  if (!proxy->Connected())
    proxy = &Proxies->FirstConnected();
  if (!proxy->Connected())
    Proxies->EnsureConnectedFor(fileName);
  String text;
  TToolsAPIUtils::GetSelectedText(view.get(), text);
  if (text.empty())
    throw EKRToolsException(SNoTextToSearch);
  proxy->InvokeModelSearch(text);
}

void TKR4ExptDataModule::KRSynchronizeModelActionExecute(TObject *) {
  IPtr<IOTAModuleServices> services;
  TToolsAPIUtils::GetModuleServices(services);
  if (services->SaveAll())
    Proxies->SynchronizeModel();
}

void TKR4ExptDataModule::KRExptRunKRPascalItemClick(TObject *) {
  RunKestrune(Format(u"kr%d.exe", {KestruneVersion}));
}

void TKR4ExptDataModule::KRRunKestruneCSharpActionExecute(TObject *) {
  RunKestrune(Format(u"krcs%d.exe", {KestruneVersion}));
}

void TKR4ExptDataModule::RunKestrune(const String &ExeName) {
  const String dir = KestruneInstallDir(KestruneVersion);
  if (dir.empty()) {
    ShowMessage(SInstallationIncomplete);
    return;
  }
  const String path = IncludeTrailingPathDelimiter(dir) + u"bin/" + ExeName;
  if (!FileExists(path)) {
    ShowMessage(SExecutableMissing + path);
    return;
  }
  // A program that cannot be started is reported too, not passed over in silence.
  if (ShellExecuteW(0, nullptr, path.c_str(), nullptr, nullptr, SW_SHOW) <= 32)
    ShowMessage(SExecutableNotStarted + path);
}

// ---- Commands: saving, personality, auto refresh -------------------------------------------

void TKR4ExptDataModule::SaveCurrentModule() {
  IPtr<IOTASourceEditor> editor = ModifiedCurrentEditor();
  if (!editor)
    return;
  IPtr<IOTAModule> module = editor->Module();
  if (!module)
    return;
  TBusyGuard busy(*this);
  module->Save(false, false);
}

bool TKR4ExptDataModule::IsDelphiPersonality() {
  const String personality = TToolsAPIUtils::GetActiveProjectString();
  return SameText(personality, u"Delphi.Personality") ||
         SameText(personality, u"DelphiDotNet.Personality");
}

bool TKR4ExptDataModule::AutoRefreshAllowed() {
  if (Busy || !AutoRefresh)
    return false;
  if (!LockRefreshOnRun)
    return true;
  IPtr<IOTADebuggerServices> debugger = ServiceCast<IOTADebuggerServices>(BorlandIDEServices);
  return debugger->ProcessCount() < 1;
}

void TKR4ExptDataModule::ModuleSaved(IOTAModule *Module) {
  // Saved by the user (the expert's own saves run Busy): the file is theirs now.
  if (Module && !Busy)
    ForgetKestruneFile(Module->FileName());
  if (Module && AutoRefreshAllowed())
    Proxies->AutoRefresh(Module->FileName());
}

// ---- Batch import and the call stack ---------------------------------------------------------

String TKR4ExptDataModule::BatchFileName() {
  return ExpandFileName(LocalAppDataFolder(KestruneVersion) + u"KRPrjBatch.imp");
}

String TKR4ExptDataModule::StackTraceFileName() {
  return ExpandFileName(LocalAppDataFolder(KestruneVersion) + u"Auto-Sequence-Diagram.txt");
}

// The lines are joined into one text and split again: a name holding a line break would make
// rows of its own. Such a module is not offered (the batch file could not carry it); a
// project's row shows its line breaks written out.
String TKR4ExptDataModule::CollectImportCandidates() {
  TStringList lines;
  const auto addFile = [&lines](const String &name) {
    if (!HoldsLineBreak(name))
      lines.Add(u"file=" + name);
  };
  IPtr<IOTAProjectGroup> group;
  TToolsAPIUtils::GetMainProjectGroup(group);
  if (group)
    for (Integer i = 0; i < group->ProjectCount(); ++i) {
      IPtr<IOTAProject> project = group->Projects(i);
      if (!project)
        continue;
      const String source = TToolsAPIUtils::GetProjectSourceName(project.get());
      lines.Add(u"project=" + (HoldsLineBreak(source) ? ShownFileName(source) : source));
      for (Integer j = 0; j < project->GetModuleCount(); ++j)
        if (IPtr<IOTAModuleInfo> info = project->GetModule(j))
          addFile(info->FileName());
    }
  lines.Add(String(u"project=") + SEditorFiles);
  IPtr<IOTAModuleServices> services;
  TToolsAPIUtils::GetModuleServices(services);
  for (Integer i = 0; i < services->ModuleCount(); ++i)
    if (IPtr<IOTAModule> module = services->Modules(i))
      addFile(module->FileName());
  return lines.Text();
}

void TKR4ExptDataModule::KRExptAddMultipleItemClick(TObject *) {
  const TSourceLanguageKinds connected = Proxies->ConnectedLanguages();
  if (connected.Empty())
    Proxies->EnsureConnected(lanUndefined);
  TSourceLanguageKind language = lanUndefined;
  if (!LanguageKindFromSet(connected, language))
    language = IsDelphiPersonality() ? lanPascal : lanUndefined;
  if (language == lanUndefined)
    throw Exception(SNoLanguage);
  TKRBatchCommand command;
  if (!ImportUnitsDialog(CollectImportCandidates(), command, language))
    Abort();
  if (command.CreateNewModel)
    command.Project = TToolsAPIUtils::GetActiveProjectSource();
  command.SaveToFile(BatchFileName());
  Proxies->ImportBatch(BatchFileName(), language);
}

void TKR4ExptDataModule::KRExptConvertProjectItemClick(TObject *) {
  IPtr<IOTAModuleServices> services;
  TToolsAPIUtils::GetModuleServices(services);
  if (!services->SaveAll())
    return;
  IPtr<IOTAProject> project;
  TToolsAPIUtils::GetActiveProject(project);
  if (!project)
    throw Exception(SNoProjectToConvert);
  const TSourceLanguageKind language = IsDelphiPersonality() ? lanPascal : lanUndefined;
  if (language == lanUndefined)
    throw Exception(SNoProjectLanguage);
  Proxies->EnsureConnected(language);
  TKRBatchCommand command;
  command.Project = TToolsAPIUtils::GetProjectSourceName(project.get());
  command.CreateNewModel = true;
  for (Integer i = 0; i < project->GetModuleCount(); ++i)
    if (IPtr<IOTAModuleInfo> info = project->GetModule(i))
      if (ModuleExplorerRegistry().LanguageOfFile(info->FileName()) == language)
        command.AddFile(info->FileName());
  command.SaveToFile(BatchFileName());
  Proxies->ImportBatch(BatchFileName(), language);
}

void TKR4ExptDataModule::CreateSequenceDiagramActionExecute(TObject *) {
  IPtr<IOTADebuggerServices> debugger = ServiceCast<IOTADebuggerServices>(BorlandIDEServices);
  IPtr<IOTAProcess> process = debugger->CurrentProcess();
  if (!process)
    throw EKRToolsException(SNoDebugProcess);
  IPtr<IOTAThread> thread = process->CurrentThread();
  const Integer count = thread ? thread->GetCallCount() : 0;
  if (count < 1)
    throw EKRToolsException(SNoDebugProcess);
  if (count == 1)
    throw EKRToolsException(SSingleStackFrame);
  const String fileName = StackTraceFileName();
  bool append = false, send = true;
  if (!StackTraceDialog(fileName, append, send))
    return;
  TStringList lines;
  if (append && FileExists(fileName))
    LoadStringsFromFile(lines, fileName);
  lines.Add(u"[BDS-STACKTRACE]");
  // The IDE numbers the calls from 0, the innermost first: the outermost caller comes first.
  for (Integer i = count - 1; i >= 0; --i)
    lines.Add(thread->GetCallHeader(i));
  SaveStringsToUtf8File(lines, fileName);
  if (send)
    Proxies->SendStackTrace(fileName);
}

void TKR4ExptDataModule::KRD4ExptIntegrationOptionsClick(TObject *) {
  std::unique_ptr<TKRIDEExpertOptionsForm> form(
      TCustomForm::Create<TKRIDEExpertOptionsForm>(nullptr));
  form->SetAutoRefresh(AutoRefresh);
  form->SetLockOnRun(LockRefreshOnRun);
  form->SetMenuAsToolsSubMenu(ToolsMenuExpert);
  form->SetForegroundMode(static_cast<Integer>(ForeGndMode));
  form->LoadKeyBindings(KeyBindingItems);
  if (!form->Execute())
    return;
  if (form->GetAutoRefresh() != AutoRefresh) {
    AutoRefresh = form->GetAutoRefresh();
    if (AutoRefresh && WarnAutoRefresh) {
      bool dontWarn = false;
      ConditionalMessageDlg(SAutoRefreshWarning, mtWarning, {mbOK}, dontWarn, SDontWarnAgain);
      WarnAutoRefresh = !dontWarn;
    }
  }
  LockRefreshOnRun = form->GetLockOnRun();
  // The combo box gives -1 without a choice: the first mode.
  ForeGndMode =
      ForeGndModeFromNumber(form->GetForegroundMode()).value_or(TForeGndMode::SimulateClick);
  form->StoreKeyBindings(KeyBindingItems);
  if (form->GetMenuAsToolsSubMenu() != ToolsMenuExpert)
    ToggleToolsMenu();
  SaveSettings();
}

} // namespace krx
