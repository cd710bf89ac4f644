#include "Units.h"

#include "Platform/Win/Windows.h"

#include <array>

namespace krx {

// Add a unit here, after the units it depends on.
std::span<const TUnitEntry> AllUnits() {
  static constexpr std::array<TUnitEntry, 2> kUnits = {{
      {"Rtl", nullptr, nullptr},
      {"Win", InitializeWindows, FinalizeWindows},
  }};
  return kUnits;
}

} // namespace krx
