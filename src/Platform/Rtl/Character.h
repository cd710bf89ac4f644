// Unicode character classes and simple case mappings, judged per UTF-16 code unit.
#pragma once

#include "Platform/Rtl/Types.h"

namespace krx {

// Categories Lu, Ll, Lt, Lm, Lo.
bool IsLetter(Char c);
// Category Nd.
bool IsDigit(Char c);
bool IsLetterOrDigit(Char c);
bool IsWhiteSpace(Char c);
Char ToUpperChar(Char c);
Char ToLowerChar(Char c);
// Simple case folding: the form in which case-insensitive comparisons are made.
Char FoldChar(Char c);
// The text folded code unit by code unit: two texts are AnsiSameText exactly when their folded
// texts are equal, so it keys a lookup that ignores case.
String FoldedText(StringView s);

} // namespace krx
