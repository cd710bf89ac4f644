// Listing an object's published properties and rendering each value as text, for the code
// model's tag data (one Name=Value pair per property).
#pragma once

#include "Platform/Rtl/TypInfo.h"

#include <vector>

namespace krx {

// "[a,b]": the names of the elements 0 to 31 whose bit is set in value, ascending; "[]" for
// the empty set.
String SetToText(UInt64 value, TEnumNames elementType);

// Points at one object at a time and lists its published properties of the value kinds
// (integer, char, enumeration, float, strings, set, wide char, 64-bit integer), inherited
// ones included, sorted by name.
class TObjectAccess : public TObject {
public:
  TObjectAccess();

  // Rebuilds the list for instance (not owned); nullptr leaves it empty.
  void SetObject(const TObject *instance);
  const TObject *Instance() const { return FInstance; }

  Integer PropCount() const { return static_cast<Integer>(FPropList.size()); }
  const TPropInfo &PropInfo(Integer index) const;
  String PropName(Integer index) const { return PropInfo(index).Name; }
  TTypeKind PropKind(Integer index) const { return PropInfo(index).Kind; }
  // The property has a read accessor.
  bool IsReadable(Integer index) const { return PropInfo(index).IsReadable(); }
  // The value of property index of the instance as text: integers in decimal, characters
  // as themselves, enumerations by name, floats by FloatToStr, strings unchanged, sets by
  // SetToText.
  String PropValueText(Integer index) const;

  TTypeKinds TypeKinds;

private:
  std::vector<const TPropInfo *> FPropList;
  const TObject *FInstance = nullptr;
};

} // namespace krx
