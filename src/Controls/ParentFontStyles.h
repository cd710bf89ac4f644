// What the extended list view and hot-key edit (Controls/ComCtrlsEx) do after the class
// library has handled a change of their parent's font. Each revision has its own rule; in
// this one nothing more.
#pragma once

#include "Platform/Vcl/Controls.h"
#include "Platform/Vcl/Themes.h"

namespace krx {

inline void StyleParentFont(TWinControl *, TStyleFont) {}

} // namespace krx
