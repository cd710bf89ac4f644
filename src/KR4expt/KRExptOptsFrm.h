// The integration options dialog: auto refresh, lock on run, the menu position, the
// bring-to-foreground mode, and the key bindings (in a key-bindings frame on its own page).
#pragma once

#include "Controls/FormEx.h"
#include "Controls/KRHintImages.h"
#include "Controls/KeyBindFrames.h"
#include "Controls/KindBtns.h"
#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/Panels.h"

namespace krx {

class TKRIDEExpertOptionsForm : public TFormEx {
public:
  explicit TKRIDEExpertOptionsForm(TComponent *AOwner) : TFormEx(AOwner) {}
  ~TKRIDEExpertOptionsForm() override;

  TPageControl *PageControl = nullptr;
  TTabSheet *GeneralSheet = nullptr;
  TTabSheet *BindingsSheet = nullptr;
  TLabel *VersionLbl = nullptr;
  TGroupBox *AutoRefreshGroup = nullptr;
  TCheckBox *AutoRefreshBox = nullptr;
  TCheckBox *LockOnRunBox = nullptr;
  TKRHintImage *AutoRefreshHint = nullptr;
  TKRHintImage *LockOnRunHint = nullptr;
  TRadioGroup *MenuPosGroup = nullptr;
  TLabel *ForeGroundModeLbl = nullptr;
  TComboBox *ForeGroundModeCombo = nullptr;
  TKRHintImage *ForeGroundModeHint = nullptr;
  TKindButton *OKBtn = nullptr;
  TKindButton *CancelBtn = nullptr;
  TKRKeyBindingsFrame *KeyBindingsFrame = nullptr;

  bool GetAutoRefresh() const { return AutoRefreshBox->Checked(); }
  void SetAutoRefresh(bool Value) { AutoRefreshBox->SetChecked(Value); }
  bool GetLockOnRun() const { return LockOnRunBox->Checked(); }
  void SetLockOnRun(bool Value) { LockOnRunBox->SetChecked(Value); }
  bool GetMenuAsToolsSubMenu() const { return MenuPosGroup->ItemIndex() > 0; }
  void SetMenuAsToolsSubMenu(bool Value) { MenuPosGroup->SetItemIndex(Value ? 1 : 0); }
  Integer GetForegroundMode() const { return ForeGroundModeCombo->ItemIndex(); }
  void SetForegroundMode(Integer Value) { ForeGroundModeCombo->SetItemIndex(Value); }
  void LoadKeyBindings(const std::vector<TMenuItem *> &MenuItems);
  void StoreKeyBindings(const std::vector<TMenuItem *> &MenuItems);

  // Shows the dialog modally; True when it closed with OK.
  bool Execute();

  void FormCreate(TObject *Sender);
  void FormShow(TObject *Sender);
  void FormDestroy(TObject *Sender);

protected:
  void Created() override;
};

// The dialog while one is open (cleared when it goes).
extern TKRIDEExpertOptionsForm *KRIDEExpertOptionsForm;

} // namespace krx
