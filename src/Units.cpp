#include "Units.h"

#include "Engine/KRX.ReservedWords.h"

#include <array>

namespace krx {

// Add a unit here, after the units it depends on.
std::span<const TUnitEntry> AllUnits() {
  static constexpr std::array<TUnitEntry, 2> kUnits = {{
      {"Rtl", nullptr, nullptr},
      {"KRX.ReservedWords", ReservedWordsInitialization, ReservedWordsFinalization},
  }};
  return kUnits;
}

} // namespace krx
