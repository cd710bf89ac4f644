// Debug logging. Callers write the calls inside assertions (KR_ASSERT(DebugLogMsg(...))), so
// the routines always succeed; this build writes nothing. An argument list holds commas that
// the macro would split: KR_ASSERT((DebugLogFmt(u"%s %d", {a, b}))).
#pragma once

#include "Platform/Rtl/SysUtils.h"

namespace krx {

inline bool DebugLogMsg(StringView) { return true; }
inline bool DebugLogFmt(StringView, FormatArgs) { return true; }

} // namespace krx
