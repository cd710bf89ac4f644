// The root class of the class library's objects.
#pragma once

#include "Platform/Rtl/Types.h"

#include <typeinfo>

namespace krx {

struct TClassInfo;

// Objects are not copied; descendants that carry published properties override ClassInfo
// (see TypInfo.h, KRX_PUBLISHED).
class TObject {
public:
  TObject() = default;
  TObject(const TObject &) = delete;
  TObject &operator=(const TObject &) = delete;
  virtual ~TObject() = default;

  // The name of the object's class without namespace ("TStringList"), from the C++ type.
  String ClassName() const;
  // The published-property table of the object's class; null for a class without any.
  virtual const TClassInfo *ClassInfo() const { return nullptr; }
};

// The unqualified name of a C++ type as ClassName reports it.
String ClassNameOf(const std::type_info &type);

} // namespace krx
