#include "Platform/Rtl/Intf.h"

namespace krx {

namespace detail {
void BadGUID(std::string_view s) {
  throw EConvertError(Format(u"'%s' is not a valid GUID value", {Utf8ToString(s)}));
}
} // namespace detail

String GUIDToString(const TGUID &g) {
  return Format(
      u"{%.8X-%.4X-%.4X-%.2X%.2X-%.2X%.2X%.2X%.2X%.2X%.2X}",
      {g.D1, g.D2, g.D3, g.D4[0], g.D4[1], g.D4[2], g.D4[3], g.D4[4], g.D4[5], g.D4[6], g.D4[7]});
}

TGUID StringToGUID(StringView s) {
  std::string narrow;
  for (Char c : s) {
    if (c > 0x7F)
      detail::BadGUID(StringToUtf8(s));
    narrow += static_cast<char>(c);
  }
  return TGUID::Parse(narrow);
}

bool IsEqualGUID(const TGUID &a, const TGUID &b) { return a == b; }

} // namespace krx
