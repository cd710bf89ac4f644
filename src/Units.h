// The ordered list of every unit with process-wide state, in dependency order.
#pragma once

#include "Platform/Rtl/UnitInit.h"

namespace krx {

std::span<const TUnitEntry> AllUnits();

} // namespace krx
