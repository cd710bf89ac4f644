// Start-up order of units. Units that keep process-wide state register an initialise /
// finalise pair in an explicit, ordered list. There are two lists: the platform half
// (PlatformUnits, src/Platform/PlatformUnits.h), run by whichever program hosts the shared
// platform library, and the system half (SystemUnits, src/Units.h), run by the plug-in when
// it is loaded and by test programs and tools after the platform half. Each list runs as one
// group: in order when it starts, in reverse when it is finalised. No mutable global is
// built by a static constructor.
#pragma once

#include <cstddef>
#include <span>

namespace krx {

struct TUnitEntry {
  const char *Name;
  void (*Initialization)(); // may be null
  void (*Finalization)();   // may be null
};

// Runs the initialisation of every entry in order, as one group. When one raises, the units
// of this group already initialised are finalised in reverse and the exception propagates.
// A list that is already initialised is not run again.
void InitializeUnits(std::span<const TUnitEntry> units);
// Finalises the group started with this list (its initialised units in reverse order); a
// finalisation that raises does not stop the others. Nothing when the list is not running.
void FinalizeUnits(std::span<const TUnitEntry> units);
// Finalises every group, the one started last first.
void FinalizeUnits();
bool UnitsInitialized();
bool UnitsInitialized(std::span<const TUnitEntry> units);

} // namespace krx
