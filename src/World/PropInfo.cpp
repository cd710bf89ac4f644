#include "World/PropInfo.h"

namespace krx {

String SetToText(UInt64 value, TEnumNames elementType) {
  return SetToString(elementType, value & 0xFFFFFFFFu, true);
}

TObjectAccess::TObjectAccess() : TypeKinds(tkProperties) {}

void TObjectAccess::SetObject(const TObject *instance) {
  FInstance = instance;
  FPropList.clear();
  if (instance)
    FPropList = GetPropList(instance->ClassInfo(), TypeKinds, true);
}

const TPropInfo &TObjectAccess::PropInfo(Integer index) const {
  KR_ASSERT(index >= 0 && index < PropCount());
  return *FPropList[static_cast<std::size_t>(index)];
}

String TObjectAccess::PropValueText(Integer index) const {
  const TPropInfo &prop = PropInfo(index);
  KR_ASSERT(FInstance != nullptr);
  const TObject &instance = *FInstance;
  switch (prop.Kind) {
  case tkInteger:
  case tkInt64:
    return IntToStr(GetOrdProp(instance, prop));
  case tkChar:
  case tkWChar:
    return String(1, static_cast<Char>(GetOrdProp(instance, prop)));
  case tkEnumeration:
    return GetEnumName(prop.EnumNames, GetOrdProp(instance, prop));
  case tkFloat:
    return FloatToStr(GetFloatProp(instance, prop));
  case tkString:
  case tkLString:
  case tkWString:
  case tkUString:
    return GetStrProp(instance, prop);
  case tkSet:
    return SetToText(static_cast<UInt64>(GetOrdProp(instance, prop)), prop.EnumNames);
  case tkMethod:
  case tkUnknown:
    return String();
  default:
    KR_ASSERT(!"property kind without a value text");
    return String();
  }
}

} // namespace krx
