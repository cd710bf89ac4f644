// Shortening of file names for display.
#pragma once

#include "Platform/Rtl/Types.h"

#include <functional>

namespace krx {

// The width of a text in pixels, as a canvas measures it.
using TTextWidthFunc = std::function<Integer(const String &)>;

// The file name shortened to fit `maxLen` pixels: the name itself is always kept, and the
// folders are replaced from the left by "..." one at a time (".../b/name", then ".../name")
// until the text fits; when even ".../name" does not fit, the name alone is returned. A
// name that fits is returned unchanged. Both '/' and '\' separate folders; the "..." part
// takes the separator that follows it in the name.
String MinimizeName(const String &fileName, const TTextWidthFunc &textWidth, Integer maxLen);

} // namespace krx
