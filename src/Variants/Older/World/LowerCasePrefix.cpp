#include "World/LowerCasePrefix.h"

#include "Platform/Rtl/SysUtils.h"

namespace krx {

String StripLowerCasePrefix(StringView name) {
  std::size_t i = 0;
  while (i < name.size() && name[i] >= u'a' && name[i] <= u'z')
    ++i;
  KR_ASSERT(i < name.size());
  return String(name.substr(i));
}

} // namespace krx
