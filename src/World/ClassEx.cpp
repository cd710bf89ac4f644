#include "World/ClassEx.h"

#include "Platform/Rtl/Encoding.h"
#include "Platform/Rtl/SysUtils.h"

namespace krx {

// ---- Encodings ----------------------------------------------------------------------------

TTextEncoding DetectBOM(const Byte *b, std::size_t count) {
  if (count < 2)
    return teAnsi;
  if (count >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
    return teUtf8;
  if (b[0] == 0xFF && b[1] == 0xFE)
    return count >= 4 && b[2] == 0 && b[3] == 0 ? teUtf32LE : teUtf16LE;
  if (b[0] == 0xFE && b[1] == 0xFF)
    return teUtf16BE;
  if (count >= 4 && b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF)
    return teUtf32BE;
  return teAnsi;
}

Integer BOMLength(TTextEncoding encoding) {
  switch (encoding) {
  case teUtf8:
    return 3;
  case teUtf16LE:
  case teUtf16BE:
    return 2;
  case teUtf32LE:
  case teUtf32BE:
    return 4;
  default:
    return 0;
  }
}

Integer EncodingInfo(TTextEncoding encoding) {
  switch (encoding) {
  case teUtf16LE:
  case teUtf16BE:
    return 2;
  case teUtf32LE:
  case teUtf32BE:
    return 4;
  default:
    return 1;
  }
}

bool DecodeTextBytes(const Byte *data, std::size_t size, String &text, TTextEncoding &encoding) {
  text.clear();
  encoding = teAnsi;
  if (size == 0)
    return true;
  encoding = DetectBOM(data, size < 4 ? size : 4);
  const std::size_t mark = static_cast<std::size_t>(BOMLength(encoding));
  switch (encoding) {
  case teAnsi:
    text = DecodeAnsi(data, size);
    return true;
  case teUtf8:
    text = DecodeUtf8(data + mark, size - mark);
    return true;
  case teUtf16LE:
    // An odd last byte is no code unit and is dropped.
    text = DecodeUtf16LE(data + mark, (size - mark) & ~std::size_t{1});
    return true;
  default:
    return false;
  }
}

} // namespace krx
