// The Pascal dialects the parser and the code model can follow (the process-wide language
// mode), the mode in force at start, and which of them target the .NET platform. Each revision
// of the engine has its own list; the older one lives in its variant folder.
#pragma once

#include "Common/KREngineDefs.h"

namespace krx {

// clang-format off
// The order is that of the compiler releases, so "later" compares by ordinal.
#define KRX_TDELPHILANGUAGEMODE(X) \
  X(dlmDelphi7Win32) X(dlmDelphi9Win32) X(dlmDelphi10Win32) X(dlmD2009Win32) \
  X(dlmD2010Win32) X(dlmDXEWin32) X(dlmDXE2Win32) X(dlmDXE3Win32) X(dlmDXE4Win32) \
  X(dlmDXE5Win32) X(dlmDXE6Win32) X(dlmDXE7Win32) X(dlmDXE8Win32) X(dlmDelphi10_0Win32) \
  X(dlmDelphi10_1Win32) X(dlmDelphi10_2Win32) X(dlmDelphi10_3Win32) X(dlmDelphi10_4Win32) \
  X(dlmDelphi11Win32)
KRX_DECLARE_ENGINE_ENUM(TDelphiLanguageMode, KRX_TDELPHILANGUAGEMODE);
// clang-format on

inline constexpr TDelphiLanguageMode DefaultLanguageMode = dlmDelphi11Win32;

// This list has no dialect of the .NET platform.
constexpr bool IsDotNetLanguageMode(TDelphiLanguageMode) { return false; }

} // namespace krx
