#include "KR4expt/KR4ExptDM.h"

#include "Common/KREngineDefs.h"
#include "Common/KRX.DelphiVersions.h"
#include "ToolsApi/OTAUtils.h"

#include <algorithm>

namespace krx {

constinit TKR4ExptDataModule *KR4ExptDataModule = nullptr;

namespace {

// The Kestrune version whose key holds the settings.
constexpr Integer KestruneVersion = 11;

// The action table: name, caption, hint ("" none, "=" the caption), image index.
struct TActionSpec {
  TAction *TKR4ExptDataModule::*Field;
  const char16_t *Name;
  const char16_t *Caption;
  const char16_t *Hint;
  Integer Image;
};

constexpr TActionSpec kActions[] = {
    {&TKR4ExptDataModule::KRRunKestruneAction, u"KRRunKestruneAction",
     u"Run Kestrune Pascal Edition", u"Run Kestrune", 0},
    {&TKR4ExptDataModule::KRRunKestruneCSharpAction, u"KRRunKestruneCSharpAction",
     u"Run Kestrune C# Edition", u"", 0},
    {&TKR4ExptDataModule::KRJumpKestruneAction, u"KRJumpKestruneAction", u"Jump to Kestrune",
     u"Jump to Kestrune", 1},
    {&TKR4ExptDataModule::KRInvokeModelSearchAction, u"KRInvokeModelSearchAction", u"Model Search",
     u"Start Model Search with token at cursor position.", 13},
    {&TKR4ExptDataModule::KRAddToModelAction, u"KRAddToModelAction", u"Add to Model", u"=", 2},
    {&TKR4ExptDataModule::KRVisualizeModuleAction, u"KRVisualizeModuleAction",
     u"Visualize source file", u"=", 10},
    {&TKR4ExptDataModule::KRAddFilesToModelAction, u"KRAddFilesToModelAction",
     u"Add files to Model...", u"=", 3},
    {&TKR4ExptDataModule::KRRefreshInModelAction, u"KRRefreshInModelAction", u"Refresh in Model",
     u"=", 4},
    {&TKR4ExptDataModule::KRSynchronizeModelAction, u"KRSynchronizeModelAction",
     u"Synchronize model",
     u"@Synchronize model|Refresh imports modules in the active model from their source "
     u"files.\\N\\LA model module is only refreshed if the source file was modified.",
     12},
    {&TKR4ExptDataModule::KRConvertToModelAction, u"KRConvertToModelAction", u"Convert to Model",
     u"=", 6},
    {&TKR4ExptDataModule::KRConvertProjectAction, u"KRConvertProjectAction",
     u"Convert project to Model", u"=", 7},
    {&TKR4ExptDataModule::KROpenModelAction, u"KROpenModelAction", u"Open Model", u"=", 8},
    {&TKR4ExptDataModule::CreateSequenceDiagramAction, u"CreateSequenceDiagramAction",
     u"Create sequence diagram from call stack", u"=", 11},
    {&TKR4ExptDataModule::KRIntegrationOptionsAction, u"KRIntegrationOptionsAction",
     u"Integration Options...", u"", 9},
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

// Reads one value; a missing or mistyped value leaves the default.
template <class F> void ReadGuarded(F read) {
  try {
    read();
  } catch (const Exception &) {
  }
}

TOneShotTimer *NewTimer(TComponent *owner, const String &name, Integer interval) {
  auto *timer = new TOneShotTimer(owner);
  timer->SetName(name);
  timer->SetInterval(interval);
  timer->SetRetriggerable(true);
  return timer;
}

} // namespace

TKRProxies::TKRProxies() {
  Proxies[0] = std::make_unique<TDotNetKRProxy>(0);
  Proxies[1] = std::make_unique<TDotNetKRProxy>(1);
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

  for (const TActionSpec &spec : kActions) {
    auto *action = new TAction(this);
    action->SetName(spec.Name);
    action->SetCaption(spec.Caption);
    action->SetHint(String(spec.Hint) == u"=" ? String(spec.Caption) : String(spec.Hint));
    action->SetImageIndex(spec.Image);
    action->SetCategory(u"Kestrune");
    action->SetActionList(KRActionList);
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

  Proxies = std::make_unique<TKRProxies>();
  LockRefreshOnRun = true;
  WarnAutoRefresh = true;

  // The helper object follows the IDE theme from now on.
  ToolsAPIUtils().RegisterActions(KRActionList);
  KRRunKestruneCSharpAction->SetVisible(false);

  // Hidden items (the freed visualise action's, the other language's) have no binding.
  for (Integer i = 0; i < KRExptMainItem->Count(); ++i) {
    TMenuItem *item = KRExptMainItem->Items(i);
    if (!item->IsLine() && item->Visible())
      KeyBindingItems.push_back(item);
  }

  IPtr<INTAServices> nta = ServiceCast<INTAServices>(BorlandIDEServices);
  if (TMainMenu *mainMenu = nta->MainMenu()) {
    KRMenu->Items()->Remove(KRExptMainItem);
    mainMenu->Items()->Insert(std::max(mainMenu->Items()->Count() - 2, 0), KRExptMainItem);
  }

  StartUpTimer->SetEnabled(true);

  Notifications = std::make_unique<TOTANotifications>();

  Stub = TDotNetStub::Create<TDelphiIDEStub>(static_cast<Byte>(ThisIDEVersion()));
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
  // No theme notifier of the helper object may outlive the expert.
  FreeToolsAPIUtils();
}

// ---- Settings -----------------------------------------------------------------------------

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

void TKR4ExptDataModule::ReadSettings() {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_CURRENT_USER);
  if (!OpenSettingsKey(reg))
    return;
  ReadGuarded([&] { AutoRefresh = reg.ReadBool(u"AutoRefresh"); });
  ReadGuarded([&] { WarnAutoRefresh = reg.ReadBool(u"WarnAutoRefresh"); });
  ReadGuarded([&] { LockRefreshOnRun = reg.ReadBool(u"LockRefreshOnRun"); });
  ReadGuarded([&] { ForeGndDelayed = reg.ReadBool(u"ForeGndDelayed"); });
  ReadGuarded([&] { ForeGndMode = StrToIntDef(reg.ReadString(u"ForeGndMode"), 0); });
  // Only the three known methods; anything else is the first.
  if (ForeGndMode < 0 || ForeGndMode > 2)
    ForeGndMode = 0;
  ReadGuarded([&] { ForeGndFocusEditor = reg.ReadBool(u"ForeGndFocusEditor"); });
  bool toolsMenu = ToolsMenuExpert;
  ReadGuarded([&] { toolsMenu = reg.ReadBool(u"ToolsMenuExpert"); });
  if (toolsMenu != ToolsMenuExpert)
    ToggleToolsMenu();
}

void TKR4ExptDataModule::ReadKeyBindings() {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_CURRENT_USER);
  if (!OpenSettingsKey(reg) || !reg.KeyExists(u"KeyBindings") ||
      !reg.OpenKeyReadOnly(u"KeyBindings"))
    return;
  for (TMenuItem *item : KeyBindingItems)
    if (reg.ValueExists(item->Name()))
      ReadGuarded([&] { item->SetShortCut(TextToShortCut(reg.ReadString(item->Name()))); });
}

void TKR4ExptDataModule::SaveSettings() {
  TRegistry reg;
  reg.SetRootKey(HKEY_CURRENT_USER);
  try {
    if (!reg.OpenKey(SettingsKeyName(ThisIDEVersion()), true))
      return;
  } catch (const Exception &) {
    return;
  }
  try {
    reg.WriteBool(u"AutoRefresh", AutoRefresh);
    reg.WriteBool(u"WarnAutoRefresh", WarnAutoRefresh);
    reg.WriteBool(u"LockRefreshOnRun", LockRefreshOnRun);
    reg.WriteBool(u"ToolsMenuExpert", ToolsMenuExpert);
    reg.WriteBool(u"ForeGndDelayed", ForeGndDelayed);
    reg.WriteString(u"ForeGndMode", IntToStr(ForeGndMode));
    reg.WriteBool(u"ForeGndFocusEditor", ForeGndFocusEditor);
    if (reg.OpenKey(u"KeyBindings", true))
      for (TMenuItem *item : KeyBindingItems)
        reg.WriteString(item->Name(), ShortCutToText(item->ShortCut()));
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
  TMainMenu *mainMenu = nullptr;
  TMenuItem *tools = nullptr;
  if (!FindToolsMenu(mainMenu, tools))
    return;
  const bool inTools = KRExptMainItem->Parent() == tools;
  if (TMenuItem *parent = KRExptMainItem->Parent())
    parent->Remove(KRExptMainItem);
  if (inTools)
    mainMenu->Items()->Insert(std::max(mainMenu->Items()->Count() - 2, 0), KRExptMainItem);
  else
    tools->Insert(0, KRExptMainItem);
  ToolsMenuExpert = !inTools;
}

} // namespace krx
