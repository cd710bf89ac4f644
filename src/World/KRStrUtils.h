// String routines shared by the code engine and the IDE side: Boolean texts, Pascal string
// literals, the escaped form of line breaks used in hints and settings, the identifier under
// a position, and leading tabs versus spaces. Positions are 1-based.
#pragma once

#include "Platform/Rtl/Types.h"

namespace krx {

// The Boolean conversions of this unit differ from the class library's routines of the same
// name, so they live in their own namespace and callers name them as KRStrUtils::BoolToStr.
namespace KRStrUtils {

// "False" or "True".
String BoolToStr(bool value);
// Compares without regard to case with "1", "True", "Yes", "Ja", "T", "-1", then with "0",
// "False", "No", "Nee", "F"; blanks are not removed. No match raises EConvertError.
bool StrToBool(StringView text);

} // namespace KRStrUtils

// Decodes a Pascal string literal made of quoted parts and #nnn / #$hh character codes.
// A text that does not begin with '#' or a quote is returned unchanged. Decoding stops at
// the first character that begins no piece. A quoted part cut short by a line break or the
// end of the text ends the result there and gives False.
bool UnquotePascalString(StringView literal, String &text);

// Each CR LF, lone CR and lone LF becomes \N; each backslash is doubled. A zero character
// ends the text.
String EscapeLineBreaks(StringView text);
// \N becomes CR LF, \L is dropped, a backslash before any other character gives that
// character, a trailing backslash stays, vertical tabs are dropped; a zero character ends
// the text.
String UnescapeLineBreaks(StringView text);

// Finds the identifier at or before the 1-based position (or the next one after it); sets
// the position to its first character. False when the text holds no identifier character.
bool WordAtPos(StringView text, Integer &position, String &word);

// Counts the leading characters up to U+0020; returns the 0-based index of the first
// character above U+0020 (the length when there is none); tabCount counts tabs among them.
Integer LeadingWhiteSpace(StringView line, Integer &tabCount, Integer &index);

// Replaces the leading white space of a line that holds a tab there: a tab becomes spaces
// up to the next multiple of the width, any other such character one space.
String ExpandLeadingTabs(StringView line, Integer tabWidth);
// Expands, then turns the leading spaces into as many tabs as fit, plus the remaining spaces.
String CompressLeadingSpaces(StringView line, Integer tabWidth);

// 1-based position of the first occurrence of c, 0 when absent.
Integer CharPos(Char c, StringView text);

// A decimal digit, the underscore or a letter.
bool IsIdentChar(Char c);

} // namespace krx
