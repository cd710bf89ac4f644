// The units of the start-up list (src/Units.cpp) that only one revision has; they start after
// the units every revision shares. The current revision has none.
#pragma once

#include "Platform/Rtl/UnitInit.h"

#include <span>

namespace krx {

inline std::span<const TUnitEntry> RevisionUnits() { return {}; }

} // namespace krx
