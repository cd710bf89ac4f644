#include "Platform/Rtl/Encoding.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace krx {
namespace {

constexpr Char kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at data[i]; returns the code point or -1 when invalid, and
// advances i past the sequence (past one byte when invalid).
long DecodeOne(const Byte *data, std::size_t size, std::size_t &i) {
  Byte b0 = data[i];
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int n;
  long cp, min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 1;
    cp = b0 & 0x1F;
    min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 2;
    cp = b0 & 0x0F;
    min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 3;
    cp = b0 & 0x07;
    min = 0x10000;
  } else {
    ++i;
    return -1;
  }
  std::size_t j = i + 1;
  for (int k = 0; k < n; ++k, ++j) {
    if (j >= size || (data[j] & 0xC0) != 0x80) {
      i = j; // skip the valid prefix as one bad sequence
      return -1;
    }
    cp = (cp << 6) | (data[j] & 0x3F);
  }
  i = j;
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    return -1;
  return cp;
}

void AppendCodePoint(String &out, long cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<Char>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<Char>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<Char>(0xDC00 + (cp & 0x3FF)));
  }
}

// Windows-1252 bytes 0x80..0x9F; the five undefined bytes map to the C1 controls, as
// Windows' MultiByteToWideChar does.
constexpr std::array<Char, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

String DecodeUtf8(const Byte *data, std::size_t size) {
  String out;
  out.reserve(size);
  std::size_t i = 0;
  while (i < size) {
    long cp = DecodeOne(data, size, i);
    if (cp < 0)
      out.push_back(kReplacement);
    else
      AppendCodePoint(out, cp);
  }
  return out;
}

std::size_t FindInvalidUtf8(std::string_view utf8) {
  const auto *data = reinterpret_cast<const Byte *>(utf8.data());
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t at = i;
    if (DecodeOne(data, utf8.size(), i) < 0)
      return at;
  }
  return std::string_view::npos;
}

bool IsValidUtf8(const Byte *data, std::size_t size) {
  return FindInvalidUtf8({reinterpret_cast<const char *>(data), size}) == std::string_view::npos;
}

bool TryUtf8ToString(std::string_view utf8, String &out, std::size_t *badAt) {
  if (const std::size_t bad = FindInvalidUtf8(utf8); bad != std::string_view::npos) {
    if (badAt)
      *badAt = bad;
    return false;
  }
  out = Utf8ToString(utf8);
  return true;
}

std::size_t FindUnpairedSurrogate(StringView s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    const Char c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF)
      ++i;
    else if (c >= 0xD800 && c <= 0xDFFF)
      return i;
  }
  return StringView::npos;
}

bool TryStringToUtf8(StringView s, std::string &out, std::size_t *badAt) {
  if (const std::size_t bad = FindUnpairedSurrogate(s); bad != StringView::npos) {
    if (badAt)
      *badAt = bad;
    return false;
  }
  out = StringToUtf8(s);
  return true;
}

TBytes EncodeUtf8(StringView s) {
  TBytes out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    unsigned long cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement; // lone surrogate
    }
    if (cp < 0x80) {
      out.push_back(static_cast<Byte>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<Byte>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<Byte>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<Byte>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<Byte>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<Byte>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<Byte>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<Byte>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<Byte>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<Byte>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

String DecodeUtf16LE(const Byte *data, std::size_t size) {
  String out;
  out.reserve(size / 2 + 1);
  std::size_t i = 0;
  for (; i + 1 < size; i += 2)
    out.push_back(static_cast<Char>(data[i] | (data[i + 1] << 8)));
  if (i < size)
    out.push_back(kReplacement);
  return out;
}

TBytes EncodeUtf16LE(StringView s) {
  TBytes out;
  out.reserve(s.size() * 2);
  for (Char c : s) {
    out.push_back(static_cast<Byte>(c & 0xFF));
    out.push_back(static_cast<Byte>(c >> 8));
  }
  return out;
}

Char AnsiToChar(Byte b) { return (b >= 0x80 && b <= 0x9F) ? kCp1252High[b - 0x80] : Char(b); }

void DecodeAnsi(const Byte *data, std::size_t size, Char *out) {
  // A call per byte through the exported AnsiToChar costs more than the mapping itself.
  const auto map = [](Byte b) {
    return (b >= 0x80 && b <= 0x9F) ? kCp1252High[b - 0x80] : Char(b);
  };
  std::size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time: zero-extended in two stores when none has its high bit set.
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= size; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
    if (_mm_movemask_epi8(v) == 0) {
      _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_unpacklo_epi8(v, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i + 8), _mm_unpackhi_epi8(v, zero));
    } else {
      for (std::size_t k = 0; k < 16; ++k)
        out[i + k] = map(data[i + k]);
    }
  }
#endif
  // Runs of eight bytes below 0x80 (most of a source file) are widened without the table.
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, data + i, 8);
    if ((word & 0x8080808080808080ULL) == 0) {
      for (std::size_t k = 0; k < 8; ++k)
        out[i + k] = Char(data[i + k]);
    } else {
      for (std::size_t k = 0; k < 8; ++k)
        out[i + k] = map(data[i + k]);
    }
  }
  for (; i < size; ++i)
    out[i] = map(data[i]);
}

String DecodeAnsi(const Byte *data, std::size_t size) {
  // Decoded piece by piece into a small buffer and appended: a string sized up front would
  // be zero-filled first, a second pass over memory as large as the text.
  String out;
  out.reserve(size);
  constexpr std::size_t kPiece = 1024;
  Char piece[kPiece];
  for (std::size_t i = 0; i < size; i += kPiece) {
    const std::size_t n = size - i < kPiece ? size - i : kPiece;
    DecodeAnsi(data + i, n, piece);
    out.append(piece, n);
  }
  return out;
}

TBytes EncodeAnsi(StringView s) {
  TBytes out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    Char c = s[i];
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out.push_back(static_cast<Byte>(c));
      continue;
    }
    Byte mapped = '?';
    for (std::size_t k = 0; k < kCp1252High.size(); ++k)
      if (kCp1252High[k] == c) {
        mapped = static_cast<Byte>(0x80 + k);
        break;
      }
    // A surrogate pair is one character and becomes one '?'.
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF)
      ++i;
    out.push_back(mapped);
  }
  return out;
}

String Utf8ToString(std::string_view utf8) {
  return DecodeUtf8(reinterpret_cast<const Byte *>(utf8.data()), utf8.size());
}

std::string StringToUtf8(StringView s) {
  TBytes b = EncodeUtf8(s);
  return std::string(b.begin(), b.end());
}

} // namespace krx

namespace krx {

String DecodeUtf16BE(const Byte *data, std::size_t size) {
  String out;
  out.reserve(size / 2 + 1);
  std::size_t i = 0;
  for (; i + 1 < size; i += 2)
    out.push_back(static_cast<Char>((data[i] << 8) | data[i + 1]));
  if (i < size)
    out.push_back(0xFFFD);
  return out;
}

TBytes EncodeUtf16BE(StringView s) {
  TBytes out;
  out.reserve(s.size() * 2);
  for (Char c : s) {
    out.push_back(static_cast<Byte>(c >> 8));
    out.push_back(static_cast<Byte>(c & 0xFF));
  }
  return out;
}

namespace {
constexpr TEncoding kAnsiEncoding{TEncoding::TKind::ANSI};
constexpr TEncoding kUtf8Encoding{TEncoding::TKind::UTF8};
constexpr TEncoding kUnicodeEncoding{TEncoding::TKind::Unicode};
constexpr TEncoding kBigEndianUnicodeEncoding{TEncoding::TKind::BigEndianUnicode};

bool StartsWithBytes(const Byte *data, std::size_t size, const TBytes &prefix) {
  if (prefix.empty() || size < prefix.size())
    return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (data[i] != prefix[i])
      return false;
  return true;
}
} // namespace

const TEncoding *TEncoding::ANSI() { return &kAnsiEncoding; }
const TEncoding *TEncoding::UTF8() { return &kUtf8Encoding; }
const TEncoding *TEncoding::Unicode() { return &kUnicodeEncoding; }
const TEncoding *TEncoding::BigEndianUnicode() { return &kBigEndianUnicodeEncoding; }

String TEncoding::EncodingName() const {
  switch (FKind) {
  case TKind::ANSI:
    return u"Windows-1252";
  case TKind::UTF8:
    return u"UTF-8";
  case TKind::Unicode:
    return u"UTF-16LE";
  case TKind::BigEndianUnicode:
    return u"UTF-16BE";
  }
  return {};
}

TBytes TEncoding::GetPreamble() const {
  switch (FKind) {
  case TKind::ANSI:
    return {};
  case TKind::UTF8:
    return {0xEF, 0xBB, 0xBF};
  case TKind::Unicode:
    return {0xFF, 0xFE};
  case TKind::BigEndianUnicode:
    return {0xFE, 0xFF};
  }
  return {};
}

TBytes TEncoding::GetBytes(StringView s) const {
  switch (FKind) {
  case TKind::ANSI:
    return EncodeAnsi(s);
  case TKind::UTF8:
    return EncodeUtf8(s);
  case TKind::Unicode:
    return EncodeUtf16LE(s);
  case TKind::BigEndianUnicode:
    return EncodeUtf16BE(s);
  }
  return {};
}

String TEncoding::GetString(const Byte *data, std::size_t size) const {
  switch (FKind) {
  case TKind::ANSI:
    return DecodeAnsi(data, size);
  case TKind::UTF8:
    return DecodeUtf8(data, size);
  // The class library reads whole code units only: an odd last byte is dropped.
  case TKind::Unicode:
    return DecodeUtf16LE(data, size & ~std::size_t(1));
  case TKind::BigEndianUnicode:
    return DecodeUtf16BE(data, size & ~std::size_t(1));
  }
  return {};
}

std::size_t TEncoding::GetBufferEncoding(const Byte *data, std::size_t size,
                                         const TEncoding *&encoding,
                                         const TEncoding *defaultEncoding) {
  if (encoding == nullptr) {
    for (const TEncoding *candidate : {UTF8(), Unicode(), BigEndianUnicode()}) {
      TBytes mark = candidate->GetPreamble();
      if (StartsWithBytes(data, size, mark)) {
        encoding = candidate;
        return mark.size();
      }
    }
    encoding = defaultEncoding ? defaultEncoding : Default();
    return 0;
  }
  TBytes mark = encoding->GetPreamble();
  return StartsWithBytes(data, size, mark) ? mark.size() : 0;
}

} // namespace krx
