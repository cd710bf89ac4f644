// Which controls show two-part super hints (World/KRSuperHints). This revision leaves the
// hints of the IDE's toolbars and their popup windows to the class library.
#pragma once

#include "Platform/Vcl/Controls.h"

namespace krx {

// False for a control whose class, or an ancestor the class library knows by name, is
// "TTBPopupWindow" or "TTBCustomToolbar". The control must be given (an internal assertion).
bool SuperHintAcceptsControl(const TControl *AControl);

} // namespace krx
