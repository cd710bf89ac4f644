// Which controls show two-part super hints (World/KRSuperHints). Each revision has its own
// rule; in this one every control does.
#pragma once

#include "Platform/Vcl/Controls.h"

namespace krx {

inline bool SuperHintAcceptsControl(const TControl *) { return true; }

} // namespace krx
