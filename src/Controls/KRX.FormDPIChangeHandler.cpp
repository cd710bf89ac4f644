#include "Controls/KRX.FormDPIChangeHandler.h"

#include <algorithm>

namespace krx {

void ForEachWinControl(TComponent *AComponent, const std::function<void(TWinControl *)> &AProc,
                       bool ARecursive) {
  for (Integer i = 0; i < AComponent->ComponentCount(); ++i)
    if (auto *w = dynamic_cast<TWinControl *>(AComponent->Components(i))) {
      AProc(w);
      if (ARecursive)
        ForEachWinControl(w, AProc, true);
    }
}

TFormDPIChangeHandler::TFormDPIChangeHandler(TForm *AForm) : FForm(AForm) {
  FOnBeforeMonitorDpiChanged = FForm->OnBeforeMonitorDpiChanged;
  FOnAfterMonitorDpiChanged = FForm->OnAfterMonitorDpiChanged;
  FForm->OnBeforeMonitorDpiChanged = [this](TObject *s, Integer o, Integer n) {
    FormBeforeMonitorDpiChanged(s, o, n);
  };
  FForm->OnAfterMonitorDpiChanged = [this](TObject *s, Integer o, Integer n) {
    FormAfterMonitorDpiChanged(s, o, n);
  };
}

TFormDPIChangeHandler::~TFormDPIChangeHandler() {
  FForm->OnBeforeMonitorDpiChanged = std::move(FOnBeforeMonitorDpiChanged);
  FForm->OnAfterMonitorDpiChanged = std::move(FOnAfterMonitorDpiChanged);
}

void TFormDPIChangeHandler::FormBeforeMonitorDpiChanged(TObject *Sender, Integer OldDPI,
                                                        Integer NewDPI) {
  if (FOnBeforeMonitorDpiChanged)
    FOnBeforeMonitorDpiChanged(Sender, OldDPI, NewDPI);
  BeforeScaling();
}

void TFormDPIChangeHandler::FormAfterMonitorDpiChanged(TObject *Sender, Integer OldDPI,
                                                       Integer NewDPI) {
  AfterScaling();
  if (FOnAfterMonitorDpiChanged)
    FOnAfterMonitorDpiChanged(Sender, OldDPI, NewDPI);
}

void TFormDPIChangeHandler::BeforeScaling() {
  if (FScaling)
    return;
  FScaling = true;
  ForEachWinControl(FForm, [](TWinControl *w) { w->DisableAlign(); }, true);
  for (Integer i = 0; i < FForm->ControlCount(); ++i) {
    TControl *c = FForm->Controls(i);
    if (!c->Visible())
      continue;
    FVisibleControls.push_back(c);
    if (auto *w = dynamic_cast<TWinControl *>(c)) {
      w->HandleNeeded();
      w->Perform(WM_SETREDRAW, 1, 0);
    }
    c->SetVisible(false);
  }
}

void TFormDPIChangeHandler::AfterScaling() {
  if (!FScaling)
    return;
  FScaling = false;
  for (TControl *c : FVisibleControls) {
    // A control freed meanwhile is no longer among the form's children.
    bool present = false;
    for (Integer i = 0; i < FForm->ControlCount() && !present; ++i)
      present = FForm->Controls(i) == c;
    if (!present)
      continue;
    if (auto *w = dynamic_cast<TWinControl *>(c)) {
      w->HandleNeeded();
      w->Perform(WM_SETREDRAW, 1, 0);
    }
    c->SetVisible(true);
  }
  ForEachWinControl(
      FForm,
      [](TWinControl *w) {
        w->SetControlState(w->ControlState() - TControlState{csAlignmentNeeded});
        w->EnableAlign();
      },
      true);
  FVisibleControls.clear();
}

} // namespace krx
