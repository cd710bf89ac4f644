#include "World/WordScanners.h"

namespace krx {

TWordScanner::TWordScanner() : Delimiters(TSysCharSet::Range(0, 32)) {}

void TWordScanner::AddWord(Integer start, Integer length) {
  if (Count >= Capacity) {
    if (Capacity > 64)
      Capacity += Capacity / 4;
    else if (Capacity > 8)
      Capacity += 16;
    else
      Capacity += 4;
    Items.resize(static_cast<std::size_t>(Capacity));
  }
  Items[static_cast<std::size_t>(Count++)] = {start, length};
}

Integer TWordScanner::Scan(StringView line) {
  Text.assign(line);
  Count = 0;
  const Integer len = Length(Text);
  auto at = [&](Integer pos) { return Text[static_cast<std::size_t>(pos - 1)]; };
  Integer i = 1;
  while (i <= len) {
    const Char c = at(i);
    if (IsDelimiter(c)) {
      if (KeepEmpty)
        AddWord(i, 0);
      ++i;
    } else if (c == QuoteChar) {
      if (i < len && at(i + 1) == QuoteChar) {
        // An empty quoted text.
        if (KeepEmpty) {
          AddWord(i + 1, 0);
          i += 3;
        } else {
          i += 2;
        }
      } else {
        Integer j = i + 1;
        while (j <= len && at(j) != QuoteChar)
          ++j;
        AddWord(i + 1, j - (i + 1));
        // The character after the closing quote is the word's separator.
        i = j + 2;
      }
    } else {
      Integer j = i;
      while (j <= len && !IsDelimiter(at(j)))
        ++j;
      AddWord(i, j - i);
      i = j + 1;
    }
  }
  if (KeepEmpty && len > 0 && IsDelimiter(at(len)))
    AddWord(len, 0);
  return Count;
}

String TWordScanner::GetWord(Integer index) const {
  KR_ASSERT(index >= 0 && index < Count);
  const TWordIndex &w = Items[static_cast<std::size_t>(index)];
  if (w.Length == 0)
    return {};
  return Copy(Text, w.Start, w.Length);
}

String TWordScanner::Words(Integer from, Integer to, StringView separator, bool trim) const {
  String r;
  for (Integer i = from; i <= to; ++i) {
    if (i > from)
      r.append(separator);
    r.append(trim ? Trim(GetWord(i)) : GetWord(i));
  }
  return r;
}

} // namespace krx
