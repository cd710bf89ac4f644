// Remembers the position and size of forms while the process runs, so a dialog closed and
// opened again reappears where the user left it. Memory only. Bounds of DPI-aware forms are
// kept normalised to the default density and scaled back on restore; a position that would
// leave too little of the form on screen is not restored.
#pragma once

#include "Platform/Rtl/GenericDictionaries.h"
#include "Platform/Vcl/Forms.h"

#include <memory>

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

class TFormStateList : public TObjectDictionary<String, TFormState> {};

class TFormStateStore : public TObject {
public:
  TFormStateStore() = default;
  ~TFormStateStore() override;

  TFormStateList &States() { return FStates; }

private:
  TFormStateList FStates;
};

// The process-wide store, made on first use.
TFormStateStore &FormStateStore();
// Saves the form's bounds under the name (the form's class name when empty); only while the
// form is in its normal state.
void SaveFormState(TCustomForm &Form, const String &Name = {});
// False, and the form untouched, when nothing is kept under the name or the kept bounds
// would leave too little of the form on screen.
bool RestoreFormState(TCustomForm &Form, const String &Name = {});

// Round(p * v / d), halves to even.
Integer ScaleForPixelsPerInch(Integer PixelsPerInch, Integer DefaultPixelsPerInch, double Value);

void FormStatesInitialization();
void FormStatesFinalization();

} // namespace krx
