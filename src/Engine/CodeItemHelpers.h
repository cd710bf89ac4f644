// What the code model's own source files share (CodeItems.cpp and the CodeItem*.cpp files):
// the process-wide Pascal language pointer, a few message texts and small helpers. Users of the
// code model include CodeItems.h only.
#pragma once

#include "Engine/CodeItems.h"

namespace krx {

inline constexpr const Char *SAlreadyExists = u"\"%s\" already exists";

// The process-wide Pascal language while the unit runs (CodeItemLanguages.cpp), else nullptr.
extern TPascalLanguage *gPascalLanguage;

// The process-wide Pascal language; the unit must have been started.
inline TPascalLanguage &PascalLanguage() {
  KR_ASSERT(gPascalLanguage != nullptr);
  return *gPascalLanguage;
}

// The method kinds that have a result type.
inline bool HasResultKind(TMethodKind kind) {
  return kind == mkFunction || kind == mkOperator || kind == mkMethod;
}

// Frees a list's storage once it is empty.
template <class V> void ReleaseStorage(V &list) { V().swap(list); }

// Shows the question in a warning dialog; anything but OK cancels silently.
void ConfirmOrAbort(const Char *question, const String &name);

} // namespace krx
