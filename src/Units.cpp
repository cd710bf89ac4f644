#include "Units.h"

#include <array>

namespace krx {

// Add a unit here, after the units it depends on.
std::span<const TUnitEntry> AllUnits() {
  static constexpr std::array<TUnitEntry, 1> kUnits = {{
      {"Rtl", nullptr, nullptr},
  }};
  return kUnits;
}

} // namespace krx
