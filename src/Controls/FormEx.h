// The form every dialog of the system derives from: the base form plus the automatic popup
// mode, re-selection of the active edit's text when the form is shown again, and shortcut
// routing into the action lists the form owns (not into those of forms it owns).
#pragma once

#include "Controls/KRX.Base.Form.h"

namespace krx {

class TFormEx : public TBaseForm {
public:
  explicit TFormEx(TComponent *AOwner) : TBaseForm(AOwner) {}

  // OnShortCut, then the main menu (when its window exists), then the action lists owned by
  // the form and, at any depth, by its components that are no forms.
  bool IsShortCut(TWMKey &Message) override;

protected:
  void InitializeNewForm() override;
  // Embedded in another control, the form draws its parent's background.
  void CreateWnd() override;
  // From the second show on, the text of the active control is selected again: an edit's
  // when its AutoSelect is on, a combo box's always (the first show leaves the selection as
  // it is).
  void DoShow() override;

private:
  bool FShownOnce = false;
};

} // namespace krx
