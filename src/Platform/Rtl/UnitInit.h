// Start-up order of units. Units that keep process-wide state register an initialise /
// finalise pair in one explicit, ordered list (see src/Units.cpp); the plug-in library runs
// the list when it is loaded and in reverse when it is unloaded, tests from a GoogleTest
// environment. No mutable global is built by a static constructor.
#pragma once

#include <cstddef>
#include <span>

namespace krx {

struct TUnitEntry {
  const char *Name;
  void (*Initialization)(); // may be null
  void (*Finalization)();   // may be null
};

// Runs the initialisation of every entry in order. When one raises, the units already
// initialised are finalised in reverse and the exception propagates.
void InitializeUnits(std::span<const TUnitEntry> units);
// Runs the finalisation of the initialised units in reverse order; a finalisation that
// raises does not stop the others.
void FinalizeUnits();
bool UnitsInitialized();

} // namespace krx
