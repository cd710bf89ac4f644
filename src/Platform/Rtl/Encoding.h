// Byte encodings of text: UTF-8, UTF-16LE and the ANSI code page (Windows-1252).
// Decoders replace invalid input with U+FFFD; the ANSI encoder writes '?' for characters
// it cannot map.
#pragma once

#include "Platform/Rtl/Types.h"

#include <cstddef>

namespace krx {

String DecodeUtf8(const Byte *data, std::size_t size);
TBytes EncodeUtf8(StringView s);
bool IsValidUtf8(const Byte *data, std::size_t size);

// An odd trailing byte decodes to U+FFFD.
String DecodeUtf16LE(const Byte *data, std::size_t size);
TBytes EncodeUtf16LE(StringView s);

String DecodeAnsi(const Byte *data, std::size_t size);
TBytes EncodeAnsi(StringView s);
Char AnsiToChar(Byte b);

inline String DecodeUtf8(const TBytes &b) { return DecodeUtf8(b.data(), b.size()); }
inline String DecodeAnsi(const TBytes &b) { return DecodeAnsi(b.data(), b.size()); }
inline String DecodeUtf16LE(const TBytes &b) { return DecodeUtf16LE(b.data(), b.size()); }

} // namespace krx
