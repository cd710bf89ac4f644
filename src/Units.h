// The system half of the unit start-up list: every unit of the system's own folders with
// process-wide state, in dependency order. The plug-in runs it when it is loaded; test
// programs run it after the platform half (Platform/PlatformUnits.h).
#pragma once

#include "Platform/PlatformUnits.h"

namespace krx {

std::span<const TUnitEntry> SystemUnits();
// Both halves as one list, platform first: for programs that host the platform and link
// the system themselves (the tools, benchmarks and fuzz targets).
std::span<const TUnitEntry> AllUnits();

} // namespace krx
