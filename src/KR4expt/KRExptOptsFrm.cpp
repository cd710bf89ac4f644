#include "KR4expt/KRExptOptsFrm.h"

#include "World/VersRes.h"

namespace krx {

TKRIDEExpertOptionsForm *KRIDEExpertOptionsForm = nullptr;

namespace {

constexpr const Char *kAutoRefreshHint =
    u"@Enable Auto Refresh|Enables the Auto Refresh Import feature. This "
    u"allows automatic "
    u"\\N\\Lrefresh importing and regenerating of files in the "
    u"model.\\N\\L\\N\\LCheck detailed "
    u"message that appears when enabling this option.";
constexpr const Char *kLockOnRunHint =
    u"@Lock Auto Refresh on Run|If enabled, the Auto Refresh Import is "
    u"temporarily\\N\\Ldisabled "
    u"when debugging an application.\\N\\LThis avoids potential deadlocks.";
constexpr const Char *kForegroundHint =
    u"@Bring to foreground mode|Whenever Kestrune swicthes to the Delphi "
    u"IDE\\N\\Lit tries to "
    u"bring Delphi to the foreground and activate\\N\\Lthe IDE editor. "
    u"Depending on OS and Delphi "
    u"IDE version\\N\\Land other variables, this might not always "
    u"work.\\N\\L\\N\\LThis option "
    u"allows changing the mechanism used.\\N\\LFor Delphi 7 and older \"Attach "
    u"thread\" or "
    u"\"Plain\" usually\\N\\Lgives good results. In newer IDEs \"Simulate "
    u"mouse click\"\\N\\Lis "
    u"usually best. Simulate mouse click can cause unwanted\\N\\Lside effects "
    u"such as the IDE "
    u"menu appearing as activated.";

} // namespace

// The destroy handler runs here, while the form is still whole (the base class would run an
// OnDestroy handler only after this part of the object is gone).
TKRIDEExpertOptionsForm::~TKRIDEExpertOptionsForm() { FormDestroy(this); }

void TKRIDEExpertOptionsForm::Created() {
  TFormEx::Created();
  SetCaption(u"Kestrune Integration options");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientWidth(420);
  SetClientHeight(330);

  PageControl = MakeControl<TPageControl>(this, this, u"PageControl");
  PageControl->SetBounds(8, 8, 404, 280);
  GeneralSheet = MakeControl<TTabSheet>(this, PageControl, u"GeneralSheet");
  GeneralSheet->SetPageControl(PageControl);
  GeneralSheet->SetCaption(u"General");
  BindingsSheet = MakeControl<TTabSheet>(this, PageControl, u"BindingsSheet");
  BindingsSheet->SetPageControl(PageControl);
  BindingsSheet->SetCaption(u"Keybindings");

  VersionLbl = MakeControl<TLabel>(this, GeneralSheet, u"VersionLbl");
  VersionLbl->SetBounds(8, 8, 380, 26);
  VersionLbl->SetAutoSize(false);
  VersionLbl->SetWordWrap(true);

  AutoRefreshGroup = MakeControl<TGroupBox>(this, GeneralSheet, u"AutoRefreshGroup");
  AutoRefreshGroup->SetCaption(u"Auto Refresh");
  AutoRefreshGroup->SetBounds(8, 40, 380, 64);
  AutoRefreshBox = MakeControl<TCheckBox>(this, AutoRefreshGroup, u"AutoRefreshBox");
  AutoRefreshBox->SetCaption(u"&Enable Auto Refresh");
  AutoRefreshBox->SetBounds(12, 18, 150, 17);
  LockOnRunBox = MakeControl<TCheckBox>(this, AutoRefreshGroup, u"LockOnRunBox");
  LockOnRunBox->SetCaption(u"&Lock Auto Refresh on Run");
  LockOnRunBox->SetBounds(12, 40, 170, 17);
  AutoRefreshHint = MakeControl<TKRHintImage>(this, AutoRefreshGroup, u"AutoRefreshHint");
  AutoRefreshHint->SetTop(18);
  AutoRefreshHint->SetRefControl(AutoRefreshBox);
  AutoRefreshHint->SetHint(kAutoRefreshHint);
  LockOnRunHint = MakeControl<TKRHintImage>(this, AutoRefreshGroup, u"LockOnRunHint");
  LockOnRunHint->SetTop(40);
  LockOnRunHint->SetRefControl(LockOnRunBox);
  LockOnRunHint->SetHint(kLockOnRunHint);

  MenuPosGroup = MakeControl<TRadioGroup>(this, GeneralSheet, u"MenuPosGroup");
  MenuPosGroup->SetCaption(u"Menu position");
  MenuPosGroup->SetBounds(8, 112, 380, 64);
  MenuPosGroup->Items().Add(u"Insert &Kestrune menu in main menu");
  MenuPosGroup->Items().Add(u"Insert Kestrune menu as &Tools sub menu");
  MenuPosGroup->SetItemIndex(0);

  ForeGroundModeCombo = MakeControl<TComboBox>(this, GeneralSheet, u"ForeGroundModeCombo");
  ForeGroundModeCombo->SetStyle(csDropDownList);
  ForeGroundModeCombo->SetBounds(160, 188, 140, 21);
  for (const Char *mode : {u"Simulate click", u"Plain", u"Attach thread"})
    ForeGroundModeCombo->Items().Add(mode);
  ForeGroundModeLbl = MakeControl<TLabel>(this, GeneralSheet, u"ForeGroundModeLbl");
  ForeGroundModeLbl->SetCaption(u"&Bring to foreground mode");
  ForeGroundModeLbl->SetBounds(8, 192, 140, 13);
  ForeGroundModeLbl->SetFocusControl(ForeGroundModeCombo);
  ForeGroundModeHint = MakeControl<TKRHintImage>(this, GeneralSheet, u"ForeGroundModeHint");
  ForeGroundModeHint->SetTop(190);
  ForeGroundModeHint->SetRefControl(ForeGroundModeCombo);
  ForeGroundModeHint->SetHint(kForegroundHint);

  // Built in code, the glyphs are not loaded: each is placed beside its control here.
  for (TKRHintImage *hint : {AutoRefreshHint, LockOnRunHint, ForeGroundModeHint})
    hint->AlignToRefControl();

  OKBtn = MakeControl<TKindButton>(this, this, u"OKBtn");
  OKBtn->SetKind(bkOK);
  OKBtn->SetBounds(244, 298, 81, 25);
  CancelBtn = MakeControl<TKindButton>(this, this, u"CancelBtn");
  CancelBtn->SetKind(bkCancel);
  CancelBtn->SetBounds(332, 298, 81, 25);

  OnCreate = [this](TObject *sender) { FormCreate(sender); };
  OnShow = [this](TObject *sender) { FormShow(sender); };
}

void TKRIDEExpertOptionsForm::FormCreate(TObject *) {
  try {
    TVersionRes &version = GetVersionRes();
    VersionLbl->SetCaption(version.FileDescription() + u"\r" + version.VersionText());
  } catch (const ENoVersionResource &) {
    // A module built without a version resource shows no version line.
  }
  KeyBindingsFrame = TCustomFrame::Create<TKRKeyBindingsFrame>(this);
  KeyBindingsFrame->SetName(u"KeyBindingsFrame");
  KeyBindingsFrame->SetParent(BindingsSheet);
  KeyBindingsFrame->SetAlign(alClient);
  KeyBindingsFrame->Show();
}

void TKRIDEExpertOptionsForm::FormShow(TObject *) {
  PageControl->SetActivePage(GeneralSheet);
  if (AutoRefreshBox->CanFocus())
    SetActiveControl(AutoRefreshBox);
}

void TKRIDEExpertOptionsForm::FormDestroy(TObject *) {
  if (KRIDEExpertOptionsForm == this)
    KRIDEExpertOptionsForm = nullptr;
}

void TKRIDEExpertOptionsForm::LoadKeyBindings(const std::vector<TMenuItem *> &MenuItems) {
  KeyBindingsFrame->LoadBindings(MenuItems);
}

void TKRIDEExpertOptionsForm::StoreKeyBindings(const std::vector<TMenuItem *> &MenuItems) {
  KeyBindingsFrame->StoreBindings(MenuItems);
}

bool TKRIDEExpertOptionsForm::Execute() { return ShowModal() == mrOk; }

} // namespace krx
