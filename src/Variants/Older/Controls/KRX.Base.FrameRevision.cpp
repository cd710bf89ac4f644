// The members of this revision's base frame beyond those every revision shares
// (KRX.Base.Frame.cpp).
#include "Controls/KRX.Base.Frame.h"

namespace krx {

void TBaseFrame::SetParent(TWinControl *AParent) {
  TFrame::SetParent(AParent);
  if (AParent)
    ApplyTheme();
}

} // namespace krx
