// The platform half of the unit start-up list: the units of the shared platform library that
// keep process-wide state, in dependency order. The program that hosts the platform runs it
// first (tests and tools through AllUnits); a plug-in never runs it.
#pragma once

#include "Platform/Rtl/UnitInit.h"

namespace krx {

std::span<const TUnitEntry> PlatformUnits();

} // namespace krx
