#include "Platform/Rtl/Character.h"

#include <algorithm>
#include <iterator>

namespace krx {
namespace {

struct CodeRange {
  Char First, Last;
};
struct CodeMap {
  Char From, To;
};

#include "Platform/Rtl/UnicodeData.inc"

template <std::size_t N> bool InRanges(const CodeRange (&table)[N], Char c) {
  auto it = std::upper_bound(std::begin(table), std::end(table), c,
                             [](Char v, const CodeRange &r) { return v < r.First; });
  return it != std::begin(table) && c <= std::prev(it)->Last;
}

template <std::size_t N> Char Mapped(const CodeMap (&table)[N], Char c) {
  auto it = std::lower_bound(std::begin(table), std::end(table), c,
                             [](const CodeMap &m, Char v) { return m.From < v; });
  return (it != std::end(table) && it->From == c) ? it->To : c;
}

} // namespace

bool IsLetter(Char c) {
  if (c < 0x80)
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
  return InRanges(kLetters, c);
}

bool IsDigit(Char c) {
  if (c < 0x80)
    return c >= u'0' && c <= u'9';
  return InRanges(kDigits, c);
}

bool IsLetterOrDigit(Char c) { return IsLetter(c) || IsDigit(c); }

bool IsWhiteSpace(Char c) { return InRanges(kWhiteSpace, c); }

Char ToUpperChar(Char c) {
  if (c < 0x80)
    return (c >= u'a' && c <= u'z') ? Char(c - 32) : c;
  return Mapped(kUpper, c);
}

Char ToLowerChar(Char c) {
  if (c < 0x80)
    return (c >= u'A' && c <= u'Z') ? Char(c + 32) : c;
  return Mapped(kLower, c);
}

Char FoldChar(Char c) {
  if (c < 0x80)
    return (c >= u'A' && c <= u'Z') ? Char(c + 32) : c;
  return Mapped(kFold, c);
}

String FoldedText(StringView s) {
  String out(s);
  for (Char &c : out)
    c = FoldChar(c);
  return out;
}

} // namespace krx
