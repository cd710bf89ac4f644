// The operations of a source language that only this revision of the engine has, taken in by
// TSourceLanguage as a base class.
#pragma once

#include "Platform/Rtl/Types.h"

namespace krx {

class TSourceLanguageRevision {
public:
  virtual ~TSourceLanguageRevision() = default;
  // The form in which procedural-type declarations are written back; every language of
  // this revision writes form 1.
  virtual Integer DelegateDeclarationForm() const { return 1; }
};

} // namespace krx
