// A push button whose Kind fills in caption, default/cancel role and modal result in one step. Kind
// is never stored in a form description: what it sets is stored instead.
#pragma once

#include "Platform/Vcl/Buttons.h"
#include "Platform/Vcl/StdCtrls.h"

namespace krx {

class TKindButton : public TButton {
  KRX_PUBLISHED(TKindButton)
public:
  explicit TKindButton(TComponent *AOwner);

  TBitBtnKind Kind() const { return FKind; }
  // Ignored while loading and when unchanged; bkCustom only records the kind.
  void SetKind(TBitBtnKind Value);

private:
  TBitBtnKind FKind = bkCustom;
};

// Registers TKindButton with the form-description reader, and unregisters it.
void KindBtnsInitialization();
void KindBtnsFinalization();

} // namespace krx
