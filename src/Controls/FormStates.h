// Remembers the position and size of forms while the process runs, so a dialog closed and
// opened again reappears where the user left it. Memory only. What one form's state keeps and
// how it is put back is the revision's (Controls/FormState.h); the store is the same for all.
#pragma once

#include "Controls/FormState.h"
#include "Platform/Rtl/GenericDictionaries.h"

namespace krx {

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

void FormStatesInitialization();
void FormStatesFinalization();

} // namespace krx
