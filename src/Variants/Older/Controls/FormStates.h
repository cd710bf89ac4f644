// Remembers the position and size of forms while the process runs, so a dialog closed and
// opened again reappears where the user left it. Memory only. This revision keeps plain
// pixels: it knows nothing of monitor densities.
#pragma once

#include "Platform/Rtl/GenericDictionaries.h"
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
// would leave too little of the form on the desktop.
bool RestoreFormState(TCustomForm &Form, const String &Name = {});

void FormStatesInitialization();
void FormStatesFinalization();

} // namespace krx
