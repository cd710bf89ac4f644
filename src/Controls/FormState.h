// One form's kept bounds (Controls/FormStates keeps them by name). Bounds of DPI-aware forms
// are kept normalised to the default density and scaled back on restore; a position that would
// leave too little of the form on screen is not restored.
#pragma once

#include "Platform/Vcl/Forms.h"

namespace krx {

class TFormState : public TObject {
public:
  explicit TFormState(const String &AName) : Name(AName) {}

  Integer Height = 0;
  double HeightNorm = 0;
  bool IsDpiAware = false;
  Integer Left = 0;
  double LeftNorm = 0;
  String Name;
  bool Sizeable = false;
  Integer Top = 0;
  double TopNorm = 0;
  Integer Width = 0;
  double WidthNorm = 0;

  void Save(TCustomForm &Form);
  bool Restore(TCustomForm &Form);
};

// Round(p * v / d), halves to even.
Integer ScaleForPixelsPerInch(Integer PixelsPerInch, Integer DefaultPixelsPerInch, double Value);

} // namespace krx
