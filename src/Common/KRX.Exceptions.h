// The root classes of the system's own failures.
#pragma once

#include "Platform/Rtl/SysUtils.h"

namespace krx {

KRX_DECLARE_EXCEPTION(EKRToolsException, Exception);
KRX_DECLARE_EXCEPTION(EKRXException, EKRToolsException);

} // namespace krx
