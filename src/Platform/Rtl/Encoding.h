// Byte encodings of text: UTF-8, UTF-16LE and the ANSI code page (Windows-1252).
// Decoders replace invalid input with U+FFFD; the ANSI encoder writes '?' for characters
// it cannot map.
#pragma once

#include "Platform/Rtl/Types.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace krx {

String DecodeUtf8(const Byte *data, std::size_t size);
TBytes EncodeUtf8(StringView s);
bool IsValidUtf8(const Byte *data, std::size_t size);

// Exact conversions, for names that must not change on the way (file names, program
// arguments): false, with the index of the first byte or code unit that has no form on the
// other side, where the converters above would put U+FFFD.
bool TryUtf8ToString(std::string_view utf8, String &out, std::size_t *badAt = nullptr);
bool TryStringToUtf8(StringView s, std::string &out, std::size_t *badAt = nullptr);
// The index of the first byte that starts no valid UTF-8 sequence, or npos.
std::size_t FindInvalidUtf8(std::string_view utf8);
// The index of the first unpaired surrogate, or npos.
std::size_t FindUnpairedSurrogate(StringView s);

// An odd trailing byte decodes to U+FFFD.
String DecodeUtf16LE(const Byte *data, std::size_t size);
TBytes EncodeUtf16LE(StringView s);

String DecodeAnsi(const Byte *data, std::size_t size);
// Decodes into `out`, room for `size` code units.
void DecodeAnsi(const Byte *data, std::size_t size, Char *out);
TBytes EncodeAnsi(StringView s);
Char AnsiToChar(Byte b);

inline String DecodeUtf8(const TBytes &b) { return DecodeUtf8(b.data(), b.size()); }
inline String DecodeAnsi(const TBytes &b) { return DecodeAnsi(b.data(), b.size()); }
inline String DecodeUtf16LE(const TBytes &b) { return DecodeUtf16LE(b.data(), b.size()); }

// An odd trailing byte decodes to U+FFFD.
String DecodeUtf16BE(const Byte *data, std::size_t size);
TBytes EncodeUtf16BE(StringView s);

// The class library's encoding objects as far as text files need them: the ANSI code page,
// UTF-8, UTF-16LE ("Unicode") and UTF-16BE. The instances are immutable constants; a null
// pointer stands for "not given" where the class library takes nil.
class TEncoding {
public:
  enum class TKind : Byte { ANSI, UTF8, Unicode, BigEndianUnicode };

  static const TEncoding *ANSI();
  static const TEncoding *Default() { return ANSI(); }
  static const TEncoding *UTF8();
  static const TEncoding *Unicode();
  static const TEncoding *BigEndianUnicode();

  TKind Kind() const { return FKind; }
  String EncodingName() const;
  // The byte-order mark that announces the encoding; empty for ANSI.
  TBytes GetPreamble() const;
  TBytes GetBytes(StringView s) const;
  String GetString(const Byte *data, std::size_t size) const;
  String GetString(const TBytes &b) const { return GetString(b.data(), b.size()); }

  // Looks for a byte-order mark at the start of the buffer. When `encoding` is null it
  // becomes the encoding whose mark is found (UTF-8, UTF-16LE, UTF-16BE) or `defaultEncoding`
  // when there is none; the result is the length of the mark found. When `encoding` is
  // given, the result is the length of its own mark when the buffer starts with it, else 0.
  static std::size_t GetBufferEncoding(const Byte *data, std::size_t size,
                                       const TEncoding *&encoding,
                                       const TEncoding *defaultEncoding = Default());

  constexpr explicit TEncoding(TKind kind) : FKind(kind) {}

private:
  TKind FKind;
};

} // namespace krx
