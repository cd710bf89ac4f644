// TUniqueStringList: a sorted string list that silently drops duplicates.
#pragma once

#include "Platform/Rtl/Classes.h"

namespace krx {

class TUniqueStringList : public TStringList {
public:
  explicit TUniqueStringList(bool ACaseSensitive);

  bool Contains(const String &value) const { return IndexOf(value) >= 0; }
  // Deletes the value when present.
  void Remove(const String &value);
  // Removes every string of the list, one by one, in its order.
  void Remove(const TStrings &values);
};

} // namespace krx
