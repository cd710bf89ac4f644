#include "Platform/Rtl/SysUtils.h"

#include "Platform/Rtl/Character.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>

namespace krx {

// ---- Exceptions ---------------------------------------------------------------------------

const char *Exception::what() const noexcept {
  try {
    if (FUtf8.empty() && !FMessage.empty())
      FUtf8 = StringToUtf8(FMessage);
    return FUtf8.c_str();
  } catch (...) {
    return "Exception";
  }
}

String SysErrorMessage(Integer errorCode) {
  char buf[256];
  // GNU strerror_r may return a static text instead of filling the buffer.
  const char *text = ::strerror_r(errorCode, buf, sizeof buf);
  return Utf8ToString(text ? text : "");
}

Integer GetLastError() { return errno; }

void RaiseLastOSError(Integer errorCode) {
  throw EOSError(
      Format(u"System Error.  Code: %d.\r\n%s", {errorCode, SysErrorMessage(errorCode)}));
}

void RaiseLastOSError() { RaiseLastOSError(GetLastError()); }

void Abort() { throw EAbort(u"Operation aborted"); }

void AssertFailed(const char *condition, const char *file, int line) {
  throw EAssertionFailed(Format(u"Assertion failed: %s (%s, line %d)",
                                {Utf8ToString(condition), Utf8ToString(file), line}));
}

// ---- 1-based string helpers ---------------------------------------------------------------

String Copy(StringView s, Integer index, Integer count) {
  const Integer len = Length(s);
  Integer start = index < 1 ? 0 : std::min(index - 1, len);
  if (count <= 0)
    return {};
  Integer n = std::min<Int64>(count, len - start);
  return String(s.substr(start, n));
}

Integer Pos(StringView sub, StringView s, Integer offset) {
  if (sub.empty() || offset < 1 || offset > Length(s))
    return 0;
  auto p = s.find(sub, static_cast<std::size_t>(offset - 1));
  return p == StringView::npos ? 0 : static_cast<Integer>(p) + 1;
}

void Delete(String &s, Integer index, Integer count) {
  const Integer len = Length(s);
  if (index < 1 || index > len || count <= 0)
    return;
  s.erase(index - 1, std::min<Int64>(count, len - index + 1));
}

void Insert(StringView sub, String &s, Integer index) {
  Integer at = std::clamp<Integer>(index, 1, Length(s) + 1);
  s.insert(static_cast<std::size_t>(at - 1), sub);
}

StringView TrimView(StringView s) {
  std::size_t b = 0, e = s.size();
  while (b < e && s[b] <= u' ')
    ++b;
  while (e > b && s[e - 1] <= u' ')
    --e;
  return s.substr(b, e - b);
}

String Trim(StringView s) { return String(TrimView(s)); }

String TrimLeft(StringView s) {
  std::size_t b = 0;
  while (b < s.size() && s[b] <= u' ')
    ++b;
  return String(s.substr(b));
}

String TrimRight(StringView s) {
  std::size_t e = s.size();
  while (e > 0 && s[e - 1] <= u' ')
    --e;
  return String(s.substr(0, e));
}

namespace {

Char AsciiUpper(Char c) { return (c >= u'a' && c <= u'z') ? Char(c - 32) : c; }
Char AsciiLower(Char c) { return (c >= u'A' && c <= u'Z') ? Char(c + 32) : c; }

// Callers pass the fold as a lambda, not a function pointer, so that it is inlined; equal
// code units need no folding.
template <typename Fold> Integer CompareFolded(StringView a, StringView b, Fold fold) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] == b[i])
      continue;
    const Char x = fold(a[i]), y = fold(b[i]);
    if (x != y)
      return static_cast<Integer>(x) - static_cast<Integer>(y);
  }
  return static_cast<Integer>(a.size()) - static_cast<Integer>(b.size());
}

Integer Sign(Integer v) { return (v > 0) - (v < 0); }

} // namespace

String UpperCase(StringView s) {
  String r(s);
  for (Char &c : r)
    c = AsciiUpper(c);
  return r;
}

String LowerCase(StringView s) {
  String r(s);
  for (Char &c : r)
    c = AsciiLower(c);
  return r;
}

Integer CompareText(StringView a, StringView b) {
  return CompareFolded(a, b, [](Char c) { return AsciiUpper(c); });
}
bool SameText(StringView a, StringView b) { return a.size() == b.size() && CompareText(a, b) == 0; }
Integer CompareStr(StringView a, StringView b) {
  return CompareFolded(a, b, [](Char c) { return c; });
}
bool SameStr(StringView a, StringView b) { return a == b; }

String AnsiUpperCase(StringView s) {
  String r(s);
  for (Char &c : r)
    c = ToUpperChar(c);
  return r;
}

String AnsiLowerCase(StringView s) {
  String r(s);
  for (Char &c : r)
    c = ToLowerChar(c);
  return r;
}

Integer AnsiCompareText(StringView a, StringView b) {
  return Sign(CompareFolded(a, b, [](Char c) { return FoldChar(c); }));
}
bool AnsiSameText(StringView a, StringView b) {
  return a.size() == b.size() && CompareFolded(a, b, [](Char c) { return FoldChar(c); }) == 0;
}
Integer AnsiCompareStr(StringView a, StringView b) { return Sign(CompareStr(a, b)); }
bool AnsiSameStr(StringView a, StringView b) { return a == b; }

bool StartsText(StringView subText, StringView text) {
  return text.size() >= subText.size() && AnsiSameText(text.substr(0, subText.size()), subText);
}
bool EndsText(StringView subText, StringView text) {
  return text.size() >= subText.size() &&
         AnsiSameText(text.substr(text.size() - subText.size()), subText);
}
bool StartsStr(StringView subText, StringView text) {
  return text.substr(0, std::min(text.size(), subText.size())) == subText &&
         text.size() >= subText.size();
}
bool EndsStr(StringView subText, StringView text) {
  return text.size() >= subText.size() && text.substr(text.size() - subText.size()) == subText;
}
bool ContainsText(StringView text, StringView subText) {
  return AnsiUpperCase(text).find(AnsiUpperCase(subText)) != String::npos;
}

String StringOfChar(Char c, Integer count) { return count > 0 ? String(count, c) : String(); }

String AnsiQuotedStr(StringView s, Char quote) {
  String r(1, quote);
  for (Char c : s) {
    r.push_back(c);
    if (c == quote)
      r.push_back(c);
  }
  r.push_back(quote);
  return r;
}

String QuotedStr(StringView s) { return AnsiQuotedStr(s, u'\''); }

String AnsiDequotedStr(StringView s, Char quote) {
  if (s.empty() || s[0] != quote)
    return String(s);
  String r;
  std::size_t i = 1;
  while (i < s.size()) {
    if (s[i] == quote) {
      if (i + 1 < s.size() && s[i + 1] == quote) {
        r.push_back(quote);
        i += 2;
        continue;
      }
      return r; // closing quote; the rest is dropped
    }
    r.push_back(s[i++]);
  }
  return String(s); // no closing quote: unchanged, as the class library does
}

String StringReplace(StringView s, StringView oldPattern, StringView newPattern,
                     TReplaceFlags flags) {
  if (oldPattern.empty())
    return String(s);
  String hay = flags.IgnoreCase ? AnsiUpperCase(s) : String(s);
  String pat = flags.IgnoreCase ? AnsiUpperCase(oldPattern) : String(oldPattern);
  String r;
  std::size_t from = 0;
  while (from <= s.size()) {
    auto p = hay.find(pat, from);
    if (p == String::npos)
      break;
    r.append(s.substr(from, p - from));
    r.append(newPattern);
    from = p + pat.size();
    if (!flags.ReplaceAll)
      break;
  }
  if (from <= s.size())
    r.append(s.substr(from));
  return r;
}

// ---- Conversions --------------------------------------------------------------------------

String IntToStr(Int64 value) {
  // Digits written backwards into a buffer: parser messages put line numbers together with it.
  Char digits[20];
  Char *first = std::end(digits);
  UInt64 magnitude = value < 0 ? 0ull - static_cast<UInt64>(value) : static_cast<UInt64>(value);
  do {
    *--first = static_cast<Char>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0)
    *--first = u'-';
  return String(first, std::end(digits));
}
String UIntToStr(UInt64 value) { return Utf8ToString(std::to_string(value)); }

String IntToHex(Int64 value, Integer digits) {
  static const char *hex = "0123456789ABCDEF";
  UInt64 v = static_cast<UInt64>(value);
  // A value that fits 32 bits is shown as a 32-bit number, as IntToHex(Integer) does.
  if (value < 0 && value >= std::numeric_limits<Integer>::min())
    v &= 0xFFFFFFFFu;
  String r;
  do {
    r.insert(r.begin(), Char(hex[v & 0xF]));
    v >>= 4;
  } while (v != 0);
  if (Length(r) < digits)
    r.insert(0, static_cast<std::size_t>(digits - Length(r)), u'0');
  return r;
}

namespace {

// The class library's Val for integers: leading spaces, an optional sign, '$', 'x', 'X',
// '0x' or '0X' for hexadecimal, then digits to the end. Hexadecimal accepts the full
// unsigned range of the target (so "$FFFFFFFF" is -1 as a 32-bit integer).
bool ParseInt(StringView s, int bits, Int64 &out) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == u' ')
    ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) {
    neg = s[i] == u'-';
    ++i;
  }
  bool hex = false;
  if (i < s.size() && (s[i] == u'$' || s[i] == u'x' || s[i] == u'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == u'0' && (s[i + 1] == u'x' || s[i + 1] == u'X')) {
    hex = true;
    i += 2;
  }
  if (i >= s.size())
    return false;
  const UInt64 unsignedMax = bits == 32 ? 0xFFFFFFFFull : ~0ull;
  const UInt64 signedMax = bits == 32 ? 0x7FFFFFFFull : 0x7FFFFFFFFFFFFFFFull;
  UInt64 v = 0;
  for (; i < s.size(); ++i) {
    Char c = s[i];
    unsigned d;
    if (c >= u'0' && c <= u'9')
      d = c - u'0';
    else if (hex && c >= u'a' && c <= u'f')
      d = c - u'a' + 10;
    else if (hex && c >= u'A' && c <= u'F')
      d = c - u'A' + 10;
    else
      return false;
    const UInt64 base = hex ? 16 : 10;
    const UInt64 limit = hex ? unsignedMax : signedMax + (neg ? 1 : 0);
    if (v > (limit - d) / base)
      return false;
    v = v * base + d;
  }
  Int64 r;
  if (hex) {
    r = bits == 32 ? static_cast<Int64>(static_cast<Integer>(static_cast<Cardinal>(v)))
                   : static_cast<Int64>(v);
  } else {
    r = static_cast<Int64>(v); // -2^63 wraps to itself
  }
  if (neg)
    r = static_cast<Int64>(0ull - static_cast<UInt64>(r));
  if (bits == 32 && hex && neg)
    r = static_cast<Integer>(static_cast<Cardinal>(r));
  out = r;
  return true;
}

} // namespace

bool TryStrToInt(StringView s, Integer &value) {
  Int64 v;
  if (!ParseInt(s, 32, v))
    return false;
  value = static_cast<Integer>(v);
  return true;
}

bool TryStrToInt64(StringView s, Int64 &value) { return ParseInt(s, 64, value); }

Integer StrToInt(StringView s) {
  Integer v;
  if (!TryStrToInt(s, v))
    throw EConvertError(u"'%s' is not a valid integer value", {s});
  return v;
}

Int64 StrToInt64(StringView s) {
  Int64 v;
  if (!TryStrToInt64(s, v))
    throw EConvertError(u"'%s' is not a valid integer value", {s});
  return v;
}

Integer StrToIntDef(StringView s, Integer def) {
  Integer v;
  return TryStrToInt(s, v) ? v : def;
}

Int64 StrToInt64Def(StringView s, Int64 def) {
  Int64 v;
  return TryStrToInt64(s, v) ? v : def;
}

namespace {

// The significant digits and decimal exponent of |v| (v = d.ddd * 10^exp10), rounded half
// away from zero to `precision` digits from the value's 18-digit decimal form, as the class
// library rounds; trailing zeros are removed. v must be finite and not 0.
void DecimalDigits(double v, int precision, std::string &digits, int &exp10) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17e", std::fabs(v));
  const std::string s(buf);
  const auto e = s.find('e');
  exp10 = std::atoi(s.c_str() + e + 1);
  digits.clear();
  for (std::size_t i = 0; i < e; ++i)
    if (s[i] >= '0' && s[i] <= '9')
      digits.push_back(s[i]);
  precision = std::clamp(precision, 1, 18);
  if (static_cast<std::size_t>(precision) < digits.size()) {
    const bool up = digits[static_cast<std::size_t>(precision)] >= '5';
    digits.resize(static_cast<std::size_t>(precision));
    if (up) {
      int i = precision - 1;
      while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9')
        digits[static_cast<std::size_t>(i--)] = '0';
      if (i >= 0) {
        ++digits[static_cast<std::size_t>(i)];
      } else {
        digits.insert(digits.begin(), '1');
        digits.pop_back();
        ++exp10;
      }
    }
  }
  while (digits.size() > 1 && digits.back() == '0')
    digits.pop_back();
}

std::string SpecialFloat(double v) {
  if (std::isnan(v))
    return "NAN";
  return v < 0 ? "-INF" : "INF";
}

// ffGeneral: plain digits unless the exponent is at least the precision or below -4.
std::string GeneralFloat(double v, int precision) {
  if (!std::isfinite(v))
    return SpecialFloat(v);
  if (v == 0)
    return "0";
  std::string digits;
  int exp10;
  DecimalDigits(v, precision, digits, exp10);
  std::string r = v < 0 ? "-" : "";
  if (exp10 >= precision || exp10 < -4) {
    r += digits[0];
    if (digits.size() > 1)
      r += "." + digits.substr(1);
    r += "E" + std::to_string(exp10);
    return r;
  }
  if (exp10 < 0) {
    r += "0." + std::string(static_cast<std::size_t>(-exp10 - 1), '0') + digits;
  } else {
    const std::size_t intLen = static_cast<std::size_t>(exp10) + 1;
    if (digits.size() <= intLen) {
      r += digits + std::string(intLen - digits.size(), '0');
    } else {
      r += digits.substr(0, intLen) + "." + digits.substr(intLen);
    }
  }
  return r;
}

// ffFixed and ffNumber: the value is first taken to 15 significant digits, then rounded half
// away from zero to `precision` decimals; a value that rounds to zero has no sign.
std::string FixedFloat(double v, int precision, bool thousands) {
  if (!std::isfinite(v))
    return SpecialFloat(v);
  std::string intPart = "0", frac(static_cast<std::size_t>(precision), '0');
  bool nonZero = false;
  if (v != 0) {
    std::string digits;
    int exp10;
    DecimalDigits(v, 15, digits, exp10);
    // Digit k of `digits` has the weight 10^(exp10 - k); keep those down to 10^-precision.
    const int kept = exp10 + 1 + precision;
    std::string d;
    if (kept >= 0) {
      d = digits;
      if (static_cast<int>(d.size()) < kept + 1)
        d.append(static_cast<std::size_t>(kept + 1 - static_cast<int>(d.size())), '0');
      const bool up = d[static_cast<std::size_t>(kept)] >= '5';
      d.resize(static_cast<std::size_t>(kept));
      if (up) {
        int i = kept - 1;
        while (i >= 0 && d[static_cast<std::size_t>(i)] == '9')
          d[static_cast<std::size_t>(i--)] = '0';
        if (i >= 0)
          ++d[static_cast<std::size_t>(i)];
        else
          d.insert(d.begin(), '1');
      }
    }
    // d holds the value times 10^precision as an integer (possibly empty for 0).
    nonZero = d.find_first_not_of('0') != std::string::npos;
    if (static_cast<int>(d.size()) < precision + 1)
      d.insert(0, static_cast<std::size_t>(precision + 1 - static_cast<int>(d.size())), '0');
    intPart = d.substr(0, d.size() - static_cast<std::size_t>(precision));
    frac = d.substr(d.size() - static_cast<std::size_t>(precision));
  }
  if (thousands)
    for (std::ptrdiff_t p = static_cast<std::ptrdiff_t>(intPart.size()) - 3; p > 0; p -= 3)
      intPart.insert(static_cast<std::size_t>(p), ",");
  std::string r = (v < 0 && nonZero) ? "-" : "";
  r += intPart;
  if (precision > 0)
    r += "." + frac;
  return r;
}

// ffExponent: `precision` significant digits, the exponent signed with at least 3 digits.
std::string ScientificFloat(double v, int precision) {
  if (!std::isfinite(v))
    return SpecialFloat(v);
  precision = std::clamp(precision, 1, 18);
  std::string digits = "0";
  int exp10 = 0;
  if (v != 0)
    DecimalDigits(v, precision, digits, exp10);
  digits.append(static_cast<std::size_t>(precision) - digits.size(), '0');
  std::string r = v < 0 ? "-" : "";
  r += digits[0];
  if (precision > 1)
    r += "." + digits.substr(1);
  char ebuf[16];
  std::snprintf(ebuf, sizeof ebuf, "E%c%03d", exp10 < 0 ? '-' : '+', std::abs(exp10));
  return r + ebuf;
}

} // namespace

String FloatToStr(double value) { return Utf8ToString(GeneralFloat(value, 15)); }

bool TryStrToFloat(StringView s, double &value) {
  String t = Trim(s);
  if (t.empty())
    return false;
  std::string a;
  for (Char c : t) {
    if (!((c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == u'+' || c == u'e' ||
          c == u'E'))
      return false;
    a.push_back(static_cast<char>(c));
  }
  char *end = nullptr;
  double v = std::strtod(a.c_str(), &end);
  if (end != a.c_str() + a.size())
    return false;
  value = v;
  return true;
}

double StrToFloat(StringView s) {
  double v;
  if (!TryStrToFloat(s, v))
    throw EConvertError(u"'%s' is not a valid floating point value", {s});
  return v;
}

String BoolToStr(bool value, bool useBoolStrs) {
  if (useBoolStrs)
    return value ? u"True" : u"False";
  return value ? u"-1" : u"0";
}

bool TryStrToBool(StringView s, bool &value) {
  if (SameText(s, u"True")) {
    value = true;
    return true;
  }
  if (SameText(s, u"False")) {
    value = false;
    return true;
  }
  double d;
  if (TryStrToFloat(s, d)) {
    value = d != 0;
    return true;
  }
  return false;
}

bool StrToBool(StringView s) {
  bool v;
  if (!TryStrToBool(s, v))
    throw EConvertError(u"'%s' is not a valid boolean value", {s});
  return v;
}

bool StrToBoolDef(StringView s, bool def) {
  bool v;
  return TryStrToBool(s, v) ? v : def;
}

// ---- Format -------------------------------------------------------------------------------

namespace {

[[noreturn]] void InvalidFormat(StringView fmt) {
  throw EConvertError(Format(u"Format '%s' invalid or incompatible with argument", {fmt}));
}

// Appends s padded with blanks to width (on the right when left-justified).
void AppendPadded(String &out, StringView s, Integer width, bool left) {
  const std::size_t pad =
      Length(s) >= width ? 0 : static_cast<std::size_t>(width - Length(s));
  if (!left)
    out.append(pad, u' ');
  out += s;
  if (left)
    out.append(pad, u' ');
}

// Appends an integer directive's text: the digits of mag in base 10 or 16 (upper case), zeros
// in front up to prec digits, a minus sign when negative, blanks up to width.
void AppendInteger(String &out, UInt64 mag, bool hex, bool negative, Integer prec, Integer width,
                   bool left) {
  Char buf[24];
  Char *const end = buf + std::size(buf);
  Char *p = end;
  const unsigned base = hex ? 16 : 10;
  do {
    *--p = u"0123456789ABCDEF"[mag % base];
    mag /= base;
  } while (mag != 0);
  const StringView digits(p, static_cast<std::size_t>(end - p));
  const Integer count = Length(digits);
  const Integer zeros = prec > count ? prec - count : 0;
  const Integer body = (negative ? 1 : 0) + zeros + count;
  const std::size_t pad = width > body ? static_cast<std::size_t>(width - body) : 0;
  if (!left)
    out.append(pad, u' ');
  if (negative)
    out.push_back(u'-');
  out.append(static_cast<std::size_t>(zeros), u'0');
  out += digits;
  if (left)
    out.append(pad, u' ');
}

String FormatImpl(StringView fmt, const FormatArg *args, std::size_t argCount) {
  String out;
  out.reserve(fmt.size() + 16);
  std::size_t argIndex = 0;
  std::size_t i = 0;
  auto readNumber = [&](Integer &n) -> bool {
    if (i < fmt.size() && fmt[i] == u'*') {
      ++i;
      if (argIndex >= argCount || !std::holds_alternative<Int64>(args[argIndex].Value))
        InvalidFormat(fmt);
      n = static_cast<Integer>(std::get<Int64>(args[argIndex++].Value));
      return true;
    }
    bool any = false;
    n = 0;
    while (i < fmt.size() && fmt[i] >= u'0' && fmt[i] <= u'9') {
      if (n > 100000000)
        InvalidFormat(fmt);
      n = n * 10 + (fmt[i++] - u'0');
      any = true;
    }
    return any;
  };
  while (i < fmt.size()) {
    // The literal text up to the next directive goes in at once.
    const std::size_t next = std::min(fmt.find(u'%', i), fmt.size());
    out.append(fmt.substr(i, next - i));
    i = next;
    if (i >= fmt.size())
      break;
    ++i;
    if (i >= fmt.size())
      InvalidFormat(fmt);
    if (fmt[i] == u'%') {
      out.push_back(u'%');
      ++i;
      continue;
    }
    Integer n = 0;
    bool left = false;
    Integer width = -1, prec = -1;
    bool haveNumber = readNumber(n);
    if (haveNumber && i < fmt.size() && fmt[i] == u':') {
      ++i;
      argIndex = static_cast<std::size_t>(n);
      haveNumber = false;
    }
    if (!haveNumber && i < fmt.size() && fmt[i] == u'-') {
      left = true;
      ++i;
    }
    if (haveNumber)
      width = n;
    else if (readNumber(n))
      width = n;
    if (i < fmt.size() && fmt[i] == u'.') {
      ++i;
      if (!readNumber(n))
        n = 0;
      prec = n;
    }
    if (i >= fmt.size())
      InvalidFormat(fmt);
    Char type = static_cast<Char>(AsciiLower(fmt[i++]));
    if (argIndex >= argCount)
      throw EConvertError(Format(u"No argument for format '%s'", {fmt}));
    const auto &v = args[argIndex++].Value;
    std::string text;
    switch (type) {
    case u'd':
    case u'u':
    case u'x': {
      UInt64 mag;
      bool neg = false;
      if (std::holds_alternative<Int64>(v)) {
        Int64 iv = std::get<Int64>(v);
        if (type == u'd') {
          neg = iv < 0;
          mag = neg ? 0ull - static_cast<UInt64>(iv) : static_cast<UInt64>(iv);
        } else {
          // Negative 32-bit values show as their 32-bit two's complement.
          mag = (iv < 0 && iv >= std::numeric_limits<Integer>::min())
                    ? static_cast<UInt64>(static_cast<Cardinal>(iv))
                    : static_cast<UInt64>(iv);
        }
      } else if (std::holds_alternative<UInt64>(v)) {
        mag = std::get<UInt64>(v);
      } else {
        InvalidFormat(fmt);
      }
      AppendInteger(out, mag, type == u'x', neg, prec, width, left);
      continue;
    }
    case u'f':
    case u'n':
    case u'e':
    case u'g': {
      if (!std::holds_alternative<double>(v))
        InvalidFormat(fmt);
      double dv = std::get<double>(v);
      if (type == u'f' || type == u'n')
        text = FixedFloat(dv, prec < 0 ? 2 : std::min(prec, 18), type == u'n');
      else if (type == u'e')
        text = ScientificFloat(dv, prec < 0 ? 15 : std::clamp(prec, 1, 18));
      else
        text = GeneralFloat(dv, prec < 0 ? 15 : std::clamp(prec, 1, 18));
      break;
    }
    case u's': {
      if (!std::holds_alternative<String>(v))
        InvalidFormat(fmt);
      StringView sv = std::get<String>(v);
      if (prec >= 0 && Length(sv) > prec)
        sv = sv.substr(0, static_cast<std::size_t>(prec));
      AppendPadded(out, sv, width, left);
      continue;
    }
    default:
      InvalidFormat(fmt);
    }
    AppendPadded(out, Utf8ToString(text), width, left);
  }
  return out;
}

} // namespace

String Format(StringView fmt, FormatArgs args) {
  return FormatImpl(fmt, args.begin(), args.size());
}

String Format(StringView fmt, const std::vector<FormatArg> &args) {
  return FormatImpl(fmt, args.data(), args.size());
}

} // namespace krx
