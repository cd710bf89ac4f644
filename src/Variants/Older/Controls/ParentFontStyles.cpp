#include "Controls/ParentFontStyles.h"

#include "Controls/KRX.StyleSupport.h"

namespace krx {

void TakeParentFont(TWinControl *AControl, TColor AColor) {
  if (TWinControl *parent = AControl->Parent())
    AControl->Font().Assign(parent->Font());
  AControl->Font().SetColor(AColor);
}

void StyleParentFont(TWinControl *AControl, TStyleFont AFont) {
  TakeParentFont(AControl, TKRXStyle::GetStyleFontColor(AFont));
}

} // namespace krx
