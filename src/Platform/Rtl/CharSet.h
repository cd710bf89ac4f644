// A set of one-byte characters, as Pascal's `set of AnsiChar`. Characters above U+00FF are
// never members.
#pragma once

#include "Platform/Rtl/Types.h"

#include <bitset>
#include <initializer_list>

namespace krx {

class TSysCharSet {
public:
  TSysCharSet() = default;
  TSysCharSet(std::initializer_list<Char> chars) {
    for (Char c : chars)
      Include(c);
  }
  // Every character from `first` to `last`.
  static TSysCharSet Range(Char first, Char last) {
    TSysCharSet s;
    for (unsigned c = first; c <= last && c < 256; ++c)
      s.FBits.set(c);
    return s;
  }

  bool Contains(Char c) const { return c < 256 && FBits.test(c); }
  TSysCharSet &Include(Char c) {
    if (c < 256)
      FBits.set(c);
    return *this;
  }
  TSysCharSet &Exclude(Char c) {
    if (c < 256)
      FBits.reset(c);
    return *this;
  }
  TSysCharSet operator+(const TSysCharSet &o) const {
    TSysCharSet s;
    s.FBits = FBits | o.FBits;
    return s;
  }
  bool operator==(const TSysCharSet &) const = default;
  bool Empty() const { return FBits.none(); }

private:
  std::bitset<256> FBits;
};

} // namespace krx
