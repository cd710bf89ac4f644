#include "Controls/FormStates.h"

namespace krx {

namespace {

TFormStateStore *gStore = nullptr; // owned; constant-initialised

} // namespace

TFormStateStore::~TFormStateStore() {
  if (gStore == this)
    gStore = nullptr;
}

TFormStateStore &FormStateStore() {
  if (!gStore)
    gStore = new TFormStateStore();
  return *gStore;
}

void SaveFormState(TCustomForm &Form, const String &Name) {
  if (Form.WindowState() != wsNormal)
    return;
  const String key = Name.empty() ? Form.ClassName() : Name;
  TFormStateList &states = FormStateStore().States();
  TFormState *state = nullptr;
  if (!states.TryGetValue(key, state)) {
    state = new TFormState(key);
    states.Add(key, state);
  }
  state->Save(Form);
}

bool RestoreFormState(TCustomForm &Form, const String &Name) {
  const String key = Name.empty() ? Form.ClassName() : Name;
  TFormState *state = nullptr;
  if (!FormStateStore().States().TryGetValue(key, state))
    return false;
  return state->Restore(Form);
}

void FormStatesInitialization() { gStore = nullptr; }

void FormStatesFinalization() { delete gStore; }

} // namespace krx
