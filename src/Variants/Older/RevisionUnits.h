// The units of the start-up list (src/Units.cpp) that only this revision has; they start after
// the units every revision shares. The PNG image list learns whether its build answers the
// class library's image-name questions: the Delphi 10.4 build does, the 10.3 build does not.
#pragma once

#include "Common/KRX.DelphiVersions.h"
#include "Platform/Rtl/UnitInit.h"
#include "lib/PngImaging/Source/PngImageList.h"

#include <span>

namespace krx {

inline void PngImageListInitialization() {
  SetPngImageNamesInBuild(ThisIDEVersion() >= dvDelphi10_4Sydney);
}

inline std::span<const TUnitEntry> RevisionUnits() {
  static constexpr TUnitEntry kUnits[] = {
      {"PngImageList", PngImageListInitialization, FinalizePngImageList},
  };
  return kUnits;
}

} // namespace krx
