#include "Common/KRX.StringList.Helper.h"

namespace krx {

TUniqueStringList::TUniqueStringList(bool ACaseSensitive)
    : TStringList(dupIgnore, true, ACaseSensitive) {}

void TUniqueStringList::Remove(const String &value) {
  const Integer i = IndexOf(value);
  if (i >= 0)
    Delete(i);
}

void TUniqueStringList::Remove(const TStrings &values) {
  // Taken first, so that removing a list from itself walks every entry.
  for (const String &s : values.ToStringArray())
    Remove(s);
}

} // namespace krx
