#include "Controls/FormEx.h"

#include "Platform/Vcl/StdCtrls.h"

namespace krx {

namespace {

// The owned-component search: action lists answer, other components are searched in turn,
// owned forms are skipped (their shortcuts are their own).
bool FindShortCut(TComponent *Owner, TWMKey &Message) {
  for (Integer i = 0; i < Owner->ComponentCount(); ++i) {
    TComponent *c = Owner->Components(i);
    if (auto *list = dynamic_cast<TCustomActionList *>(c)) {
      if (list->IsShortCut(Message))
        return true;
    } else if (!dynamic_cast<TCustomForm *>(c) && FindShortCut(c, Message)) {
      return true;
    }
  }
  return false;
}

} // namespace

void TFormEx::InitializeNewForm() {
  TBaseForm::InitializeNewForm();
  SetPopupMode(pmAuto);
}

void TFormEx::CreateWnd() {
  TBaseForm::CreateWnd();
  if (Parent())
    SetParentBackground(true);
}

void TFormEx::DoShow() {
  TBaseForm::DoShow();
  if (FShownOnce) {
    TWinControl *active = ActiveControl();
    if (auto *edit = dynamic_cast<TCustomEdit *>(active)) {
      if (edit->AutoSelect())
        edit->SelectAll();
    } else if (auto *combo = dynamic_cast<TCustomComboBox *>(active)) {
      combo->SelectAll();
    }
  }
  FShownOnce = true;
}

bool TFormEx::IsShortCut(TWMKey &Message) {
  bool handled = false;
  if (OnShortCut)
    OnShortCut(Message, handled);
  if (!handled && Menu() && Menu()->WindowHandle())
    handled = Menu()->IsShortCut(Message);
  if (!handled)
    handled = FindShortCut(this, Message);
  return handled;
}

} // namespace krx
