// Enumeration value names carry a short lower-case prefix of their type ("ckModule",
// "rwBegin"); the older keyword self-test takes the rest as the keyword.
#pragma once

#include "Platform/Rtl/Types.h"

namespace krx {

// The name without its leading run of the letters "a" to "z" (only those 26 count); something
// must be left (an internal assertion).
String StripLowerCasePrefix(StringView name);

} // namespace krx
