#include "World/SuperHintControls.h"

#include "Platform/Rtl/SysUtils.h"
#include "Platform/Rtl/TypInfo.h"

namespace krx {

namespace {

bool IsToolbarClass(StringView name) {
  return name == u"TTBPopupWindow" || name == u"TTBCustomToolbar";
}

} // namespace

bool SuperHintAcceptsControl(const TControl *AControl) {
  KR_ASSERT(AControl != nullptr);
  if (IsToolbarClass(AControl->ClassName()))
    return false;
  for (const TClassInfo *info = AControl->ClassInfo(); info; info = info->Parent)
    if (IsToolbarClass(info->ClassName))
      return false;
  return true;
}

} // namespace krx
