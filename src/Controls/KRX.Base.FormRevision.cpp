// The members of the base form that this revision's form has beyond those every revision
// shares (KRX.Base.Form.cpp): the DPI-change handler, Ctrl+Enter, the image answers.
#include "Controls/KRX.Base.Form.h"

#include "Platform/Vcl/StdCtrls.h"

namespace krx {

TBaseForm::TBaseForm(TComponent *AOwner) : TForm(AOwner) {}

TBaseForm::~TBaseForm() {
  // The subscription ends before anything of the form goes; the handler puts the form's
  // monitor-DPI events back.
  FStyleIntf = nullptr;
  FFormDpiChangeHandler.reset();
}

void TBaseForm::Created() {
  TForm::Created();
  InitForm();
  FFormDpiChangeHandler = std::make_unique<TFormDPIChangeHandler>(this);
}

void TBaseForm::ChangeScale(Integer M, Integer D, bool isDpiChange) {
  TForm::ChangeScale(M, D, isDpiChange);
  ScaleChanged();
}

namespace {

// The first default button among the controls, at any depth.
TButton *FindDefaultButton(const TWinControl &Parent) {
  for (Integer i = 0; i < Parent.ControlCount(); ++i) {
    TControl *c = Parent.Controls(i);
    if (auto *button = dynamic_cast<TButton *>(c); button && button->Default())
      return button;
    if (auto *inner = dynamic_cast<TWinControl *>(c))
      if (TButton *button = FindDefaultButton(*inner))
        return button;
  }
  return nullptr;
}

} // namespace

// Ctrl+Enter confirms the dialog as its default button does; a default button that is hidden or
// disabled confirms nothing.
bool TBaseForm::ConfirmByCtrlEnter(Word Key, TShiftState Shift) {
  if (Key != VK_RETURN || Shift != TShiftState{ssCtrl})
    return false;
  TButton *button = FindDefaultButton(*this);
  if (!button || !button->CanFocus())
    return false;
  button->Click();
  return true;
}

void TBaseForm::KeyDown(Word &Key, TShiftState Shift) {
  TForm::KeyDown(Key, Shift);
  if (ConfirmByCtrlEnter(Key, Shift))
    Key = 0;
}

// Typed in a control, Ctrl+Enter reaches the form only when the control does not take it (a
// hot-key edit or a label editor keeps it).
bool TBaseForm::DialogKey(Word Key, TShiftState Shift) {
  return ConfirmByCtrlEnter(Key, Shift) || TForm::DialogKey(Key, Shift);
}

TCustomImageList *TBaseForm::GetScaledImageList(Integer, TCustomImageList *Source,
                                                TComponent *AOwner) {
  return CopyImageList(Source, AOwner ? AOwner : this);
}

TCustomImageList *TBaseForm::GetImageList(Integer, TComponent *AOwner) {
  return AOwner ? nullptr : FImageList;
}

String TBaseForm::GetImageName(Integer) { return {}; }

Integer TBaseForm::ImageIndexByName(TCustomImageList *, const String &) { return -1; }

Integer TBaseForm::ImageIndexById(TCustomImageList *Images, Integer ImageId) {
  return ImageIndexByName(Images, GetImageName(ImageId));
}

} // namespace krx
