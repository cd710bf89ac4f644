// Small numeric helpers.
#pragma once

#include "Platform/Rtl/Types.h"

namespace krx {

constexpr Integer MinOf(Integer a, Integer b) { return a < b ? a : b; }

} // namespace krx
