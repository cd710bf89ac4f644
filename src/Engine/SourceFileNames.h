// Finds the file that a name written in Pascal source means. Such names come from a
// case-insensitive file system with backslashes ({$I ..\inc\defs.inc}): backslashes become
// slashes, then every path component is matched ignoring case.
#pragma once

#include "Platform/Rtl/Types.h"

namespace krx {

// The full path of the regular file that `name` means, relative names starting at
// `baseDir`; empty when there is none. An exact match wins over a case-insensitive one;
// among several case-insensitive matches the first in code-unit order is taken.
String ResolveSourceFileName(StringView name, StringView baseDir);

} // namespace krx
