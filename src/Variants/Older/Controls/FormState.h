// One form's kept bounds (Controls/FormStates keeps them by name). This revision keeps plain
// pixels: it knows nothing of monitor densities.
#pragma once

#include "Platform/Vcl/Forms.h"

namespace krx {

class TFormState : public TObject {
public:
  explicit TFormState(const String &AName) : Name(AName) {}

  Integer Height = 0;
  Integer Left = 0;
  String Name;
  bool Sizeable = false;
  Integer Top = 0;
  Integer Width = 0;

  void Save(TCustomForm &Form);
  bool Restore(TCustomForm &Form);
};

} // namespace krx
