// The Pascal dialects the parser and the code model can follow (the process-wide language
// mode), the mode in force at start, and which of them target the .NET platform. This
// revision ends with Delphi 10.4 and the two dialects of the .NET platform.
#pragma once

#include "Common/KREngineDefs.h"

namespace krx {

// clang-format off
// The Win32 dialects in the order of the compiler releases, so "later" compares by ordinal;
// the .NET dialects come last.
#define KRX_TDELPHILANGUAGEMODE(X) \
  X(dlmDelphi7Win32) X(dlmDelphi9Win32) X(dlmDelphi10Win32) X(dlmD2009Win32) \
  X(dlmD2010Win32) X(dlmDXEWin32) X(dlmDXE2Win32) X(dlmDXE3Win32) X(dlmDXE4Win32) \
  X(dlmDXE5Win32) X(dlmDXE6Win32) X(dlmDXE7Win32) X(dlmDXE8Win32) X(dlmDelphi10_0Win32) \
  X(dlmDelphi10_1Win32) X(dlmDelphi10_2Win32) X(dlmDelphi10_3Win32) X(dlmDelphi10_4Win32) \
  X(dlmDelphiDotNet) X(dlmDelphiDotNet2)
KRX_DECLARE_ENGINE_ENUM(TDelphiLanguageMode, KRX_TDELPHILANGUAGEMODE);
// clang-format on

inline constexpr TDelphiLanguageMode DefaultLanguageMode = dlmDelphi10_4Win32;

constexpr bool IsDotNetLanguageMode(TDelphiLanguageMode mode) {
  return mode == dlmDelphiDotNet || mode == dlmDelphiDotNet2;
}

} // namespace krx
