// Hides a form's visible child controls and suspends the alignment of its windowed controls
// while the class library rescales the form for a monitor of another density, so no
// intermediate layout is drawn; shows them and resumes alignment afterwards. It chains the
// form's own two monitor-DPI events and puts them back when it is freed (while the form
// still exists).
#pragma once

#include "Platform/Vcl/Forms.h"

#include <functional>
#include <vector>

namespace krx {

// Calls AProc for every windowed control owned by AComponent (in index order) and, when
// ARecursive, for the windowed controls they own in turn; other owned components are
// neither passed nor descended into.
void ForEachWinControl(TComponent *AComponent, const std::function<void(TWinControl *)> &AProc,
                       bool ARecursive);

class TFormDPIChangeHandler : public TObject {
public:
  explicit TFormDPIChangeHandler(TForm *AForm);
  ~TFormDPIChangeHandler() override;
  TFormDPIChangeHandler(const TFormDPIChangeHandler &) = delete;
  TFormDPIChangeHandler &operator=(const TFormDPIChangeHandler &) = delete;

  // A second BeforeScaling before the matching AfterScaling changes nothing, and an
  // AfterScaling without a BeforeScaling does nothing: alignment is suspended and resumed
  // exactly once per scaling.
  void BeforeScaling();
  void AfterScaling();

private:
  void FormBeforeMonitorDpiChanged(TObject *Sender, Integer OldDPI, Integer NewDPI);
  void FormAfterMonitorDpiChanged(TObject *Sender, Integer OldDPI, Integer NewDPI);

  std::vector<TControl *> FVisibleControls; // hidden by the current scaling, in order
  TForm *FForm;
  TMonitorDpiChangedEvent FOnAfterMonitorDpiChanged;
  TMonitorDpiChangedEvent FOnBeforeMonitorDpiChanged;
  bool FScaling = false;
};

} // namespace krx
