// Name-value lists: the attribute list of an XML element and the tag data of code items.
// Every routine takes the list first and writes lines of a name, the list's name-value
// separator and a value.
#pragma once

#include "Platform/Rtl/Classes.h"

namespace krx {

// One entry per line: name, separator (by default "="), value.
class TDictionary : public TStringList {
public:
  using TStringList::TStringList;
};

// Appends the line; an existing line of the same name is not looked for.
Integer AddNameValue(TStrings &List, StringView Name, StringView Value);
// Nothing for an empty Value (-1); otherwise AddNameValue.
Integer SetDictValue(TStrings &List, StringView Name, StringView Value);
// AddNameValue with the value in decimal.
Integer SetDictValueInt(TStrings &List, StringView Name, Integer Value);
// Replaces the value of the first line named Name (kept even when Value is empty), or
// appends a new line.
Integer SetStringsValue(TStrings &List, StringView Name, StringView Value);

} // namespace krx
