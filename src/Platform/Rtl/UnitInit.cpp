#include "Platform/Rtl/UnitInit.h"

#include <vector>

namespace krx {
namespace {

std::vector<TUnitEntry> &Initialized() {
  static std::vector<TUnitEntry> list; // built on first use, never by a static constructor
  return list;
}

} // namespace

void InitializeUnits(std::span<const TUnitEntry> units) {
  auto &done = Initialized();
  try {
    for (const TUnitEntry &u : units) {
      if (u.Initialization)
        u.Initialization();
      done.push_back(u);
    }
  } catch (...) {
    FinalizeUnits();
    throw;
  }
}

void FinalizeUnits() {
  auto &done = Initialized();
  while (!done.empty()) {
    TUnitEntry u = done.back();
    done.pop_back();
    try {
      if (u.Finalization)
        u.Finalization();
    } catch (...) {
      // Unloading goes on: one unit's failure must not leak the others' state.
    }
  }
}

bool UnitsInitialized() { return !Initialized().empty(); }

} // namespace krx
