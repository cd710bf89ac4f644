// Puts the process-wide language mode back when a test leaves.
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

} // namespace krx
