// Helpers of the code-model tests: a guard that puts the process-wide language mode back,
// and a named item made under an owner.
#pragma once

#include "Engine/CodeItems.h"

namespace krx {

class TLanguageModeGuard {
public:
  explicit TLanguageModeGuard(TDelphiLanguageMode mode) : FSaved(DelphiLanguageMode()) {
    GlobalPascalLanguage()->SetLanguageMode(mode);
  }
  ~TLanguageModeGuard() { GlobalPascalLanguage()->SetLanguageMode(FSaved); }
  TLanguageModeGuard(const TLanguageModeGuard &) = delete;
  TLanguageModeGuard &operator=(const TLanguageModeGuard &) = delete;

private:
  TDelphiLanguageMode FSaved;
};

// A new item of class T under owner (which owns it), named name.
template <class T> T *Named(TCodeItem *owner, const String &name) {
  auto *item = new T(owner);
  item->SetName(name);
  return item;
}

} // namespace krx
