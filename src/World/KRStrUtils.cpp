#include "World/KRStrUtils.h"

#include "Platform/Rtl/Character.h"
#include "Platform/Rtl/SysUtils.h"

#include <algorithm>

namespace krx {

namespace KRStrUtils {

namespace {
constexpr StringView kTrueTexts[] = {u"1", u"True", u"Yes", u"Ja", u"T", u"-1"};
constexpr StringView kFalseTexts[] = {u"0", u"False", u"No", u"Nee", u"F", u"0"};
} // namespace

String BoolToStr(bool value) { return value ? u"True" : u"False"; }

bool StrToBool(StringView text) {
  for (StringView t : kTrueTexts)
    if (SameText(text, t))
      return true;
  for (StringView t : kFalseTexts)
    if (SameText(text, t))
      return false;
  throw EConvertError(u"%s is not a valid Boolean value", {text});
}

} // namespace KRStrUtils

namespace {

int HexValue(Char c) {
  if (c >= u'0' && c <= u'9')
    return c - u'0';
  if (c >= u'a' && c <= u'f')
    return c - u'a' + 10;
  if (c >= u'A' && c <= u'F')
    return c - u'A' + 10;
  return -1;
}

} // namespace

bool UnquotePascalString(StringView literal, String &text) {
  if (literal.empty() || (literal[0] != u'#' && literal[0] != u'\'')) {
    text = String(literal);
    return true;
  }
  text.clear();
  const std::size_t n = literal.size();
  std::size_t i = 0;
  while (i < n) {
    const Char c = literal[i];
    if (c == u'#') {
      ++i;
      // Codes wrap modulo 65536, as a 16-bit character would take them.
      std::uint32_t code = 0;
      if (i < n && literal[i] == u'$') {
        ++i;
        for (int h; i < n && (h = HexValue(literal[i])) >= 0; ++i)
          code = ((code << 4) | static_cast<std::uint32_t>(h)) & 0xFFFF;
      } else {
        for (; i < n && literal[i] >= u'0' && literal[i] <= u'9'; ++i)
          code = (code * 10 + (literal[i] - u'0')) & 0xFFFF;
      }
      text += static_cast<Char>(code);
    } else if (c == u'\'') {
      ++i;
      for (;;) {
        if (i >= n || literal[i] == u'\r' || literal[i] == u'\n')
          return false;
        if (literal[i] == u'\'') {
          if (i + 1 < n && literal[i + 1] == u'\'') {
            text += u'\'';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        text += literal[i++];
      }
    } else {
      break;
    }
  }
  return true;
}

String EscapeLineBreaks(StringView text) {
  String out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size() && text[i] != 0; ++i) {
    const Char c = text[i];
    if (c == u'\r') {
      out += u"\\N";
      if (i + 1 < text.size() && text[i + 1] == u'\n')
        ++i;
    } else if (c == u'\n') {
      out += u"\\N";
    } else if (c == u'\\') {
      out += u"\\\\";
    } else {
      out += c;
    }
  }
  return out;
}

String UnescapeLineBreaks(StringView text) {
  String out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size() && text[i] != 0; ++i) {
    const Char c = text[i];
    if (c == u'\\') {
      if (i + 1 >= text.size() || text[i + 1] == 0) {
        out += c;
        continue;
      }
      const Char d = text[++i];
      if (d == u'N')
        out += u"\r\n";
      else if (d != u'L')
        out += d;
    } else if (c != u'\v') {
      out += c;
    }
  }
  return out;
}

bool WordAtPos(StringView text, Integer &position, String &word) {
  const Integer n = Length(text);
  if (n == 0)
    return false;
  const Integer p = std::clamp(position, 1, n);
  auto ident = [&](Integer i) { return IsIdentChar(text[i - 1]); };
  Integer i = p;
  while (i >= 1 && !ident(i))
    --i;
  if (i < 1) {
    i = p;
    while (i <= n && !ident(i))
      ++i;
    if (i > n)
      return false;
  }
  Integer first = i, last = i;
  while (first > 1 && ident(first - 1))
    --first;
  while (last < n && ident(last + 1))
    ++last;
  word = String(text.substr(first - 1, last - first + 1));
  position = first;
  return true;
}

Integer LeadingWhiteSpace(StringView line, Integer &tabCount, Integer &index) {
  tabCount = 0;
  index = 0;
  while (index < Length(line) && line[index] <= u' ') {
    if (line[index] == u'\t')
      ++tabCount;
    ++index;
  }
  return index;
}

String ExpandLeadingTabs(StringView line, Integer tabWidth) {
  Integer tabs, index;
  LeadingWhiteSpace(line, tabs, index);
  if (tabs == 0)
    return String(line);
  KR_ASSERT(tabWidth >= 1);
  String out;
  for (Integer i = 0; i < index; ++i) {
    if (line[i] == u'\t')
      out.append(tabWidth - Length(out) % tabWidth, u' ');
    else
      out += u' ';
  }
  out += line.substr(index);
  return out;
}

String CompressLeadingSpaces(StringView line, Integer tabWidth) {
  String s = ExpandLeadingTabs(line, tabWidth);
  const auto spaces = static_cast<Integer>(std::min(s.find_first_not_of(u' '), s.size()));
  if (spaces == 0)
    return s;
  KR_ASSERT(tabWidth >= 1);
  String out(spaces / tabWidth, u'\t');
  out.append(spaces % tabWidth, u' ');
  out += StringView(s).substr(spaces);
  return out;
}

Integer CharPos(Char c, StringView text) {
  const auto p = text.find(c);
  return p == StringView::npos ? 0 : static_cast<Integer>(p) + 1;
}

bool IsIdentChar(Char c) { return c == u'_' || IsDigit(c) || IsLetter(c); }

} // namespace krx
