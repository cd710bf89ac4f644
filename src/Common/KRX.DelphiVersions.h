// The IDE versions the expert supports, with their BDS major numbers and display names.
#pragma once

#include "Platform/Rtl/Types.h"

namespace krx {

// Position in this list + 17 is the BDS major number.
enum TDelphiVersion : Byte {
  dvDelphi10Seattle,
  dvDelphi10_1Berlin,
  dvDelphi10_2Tokyo,
  dvDelphi10_3Rio,
  dvDelphi10_4Sydney,
  dvDelphi11Alexandria,
};

inline constexpr Integer DelphiVersionCount = 6;

// The IDE this build of the expert is made for. Each plug-in links the one unit that defines
// it (src/ThisIDE.cpp, compiled once per plug-in); test programs and tools link Delphi 11's.
TDelphiVersion ThisIDEVersion();

// Position + 17; a position beyond the last version fails an assertion.
Integer DelphiVersionToBDSVersion(Integer version);
// The display name ("Delphi 11 Alexandria"); a position beyond the last version fails an
// assertion.
String DelphiVersionName(Integer version);

} // namespace krx
