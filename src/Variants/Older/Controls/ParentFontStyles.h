// What the extended list view and hot-key edit (Controls/ComCtrlsEx) do after the class
// library has handled a change of their parent's font. In this revision they take the
// parent's font whole and then the font colour of the style in use.
#pragma once

#include "Platform/Vcl/Controls.h"
#include "Platform/Vcl/Themes.h"

namespace krx {

// The parent's font (when the control has a parent), then the colour.
void TakeParentFont(TWinControl *AControl, TColor AColor);
// TakeParentFont with the colour the style in use gives the font.
void StyleParentFont(TWinControl *AControl, TStyleFont AFont);

} // namespace krx
