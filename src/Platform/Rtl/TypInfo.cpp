#include "Platform/Rtl/TypInfo.h"

#include <algorithm>

namespace krx {

// ---- Enumerations and sets ----------------------------------------------------------------

String GetEnumName(TEnumNames names, Int64 value) {
  if (value < 0 || value >= static_cast<Int64>(names.size()))
    return {};
  return String(names[static_cast<std::size_t>(value)]);
}

Integer GetEnumValue(TEnumNames names, StringView name) {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (SameText(names[i], name))
      return static_cast<Integer>(i);
  return -1;
}

String SetToString(TEnumNames elementNames, UInt64 bits, bool brackets) {
  String result;
  const std::size_t n = std::min<std::size_t>(elementNames.size(), 64);
  for (std::size_t i = 0; i < n; ++i) {
    if ((bits >> i) & 1) {
      if (!result.empty())
        result += u',';
      result += elementNames[i];
    }
  }
  if (brackets)
    result = u"[" + result + u"]";
  return result;
}

UInt64 StringToSet(TEnumNames elementNames, StringView text) {
  String t = Trim(text);
  if (!t.empty() && t.front() == u'[')
    t.erase(0, 1);
  if (!t.empty() && t.back() == u']')
    t.pop_back();
  UInt64 bits = 0;
  std::size_t start = 0;
  while (start <= t.size()) {
    std::size_t end = t.find(u',', start);
    if (end == String::npos)
      end = t.size();
    const String name = Trim(StringView(t).substr(start, end - start));
    if (!name.empty()) {
      const Integer v = GetEnumValue(elementNames, name);
      if (v < 0 || v >= 64)
        throw EPropertyConvertError(Format(u"Invalid property element: %s", {name}));
      bits |= UInt64{1} << v;
    } else if (end < t.size()) {
      throw EPropertyConvertError(Format(u"Invalid property element: %s", {name}));
    }
    start = end + 1;
  }
  return bits;
}

// ---- Class tables -------------------------------------------------------------------------

bool TClassInfo::InheritsFrom(const TClassInfo &other) const {
  for (const TClassInfo *c = this; c; c = c->Parent)
    if (c == &other)
      return true;
  return false;
}

Integer ComparePropNames(StringView a, StringView b) {
  const std::string ua = StringToUtf8(a), ub = StringToUtf8(b);
  const std::size_t n = std::min(ua.size(), ub.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = static_cast<unsigned char>(ua[i]) & 0xDF;
    const int cb = static_cast<unsigned char>(ub[i]) & 0xDF;
    if (ca != cb)
      return ca - cb;
  }
  return static_cast<Integer>(ua.size()) - static_cast<Integer>(ub.size());
}

std::vector<const TPropInfo *> GetPropInfos(const TClassInfo *info) {
  std::vector<const TClassInfo *> chain;
  for (const TClassInfo *c = info; c; c = c->Parent)
    chain.push_back(c);
  std::vector<const TPropInfo *> result;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    for (const TPropInfo &p : (*it)->Props) {
      auto same = std::find_if(result.begin(), result.end(),
                               [&](const TPropInfo *q) { return SameText(q->Name, p.Name); });
      if (same != result.end())
        *same = &p;
      else
        result.push_back(&p);
    }
  }
  return result;
}

std::vector<const TPropInfo *> GetPropList(const TClassInfo *info, TTypeKinds kinds, bool sorted) {
  std::vector<const TPropInfo *> result;
  for (const TPropInfo *p : GetPropInfos(info))
    if (kinds.Contains(p->Kind))
      result.push_back(p);
  if (sorted)
    std::stable_sort(result.begin(), result.end(), [](const TPropInfo *a, const TPropInfo *b) {
      return ComparePropNames(a->Name, b->Name) < 0;
    });
  return result;
}

const TPropInfo *GetPropInfo(const TClassInfo *info, StringView name) {
  // The most derived declaration wins.
  for (const TClassInfo *c = info; c; c = c->Parent)
    for (const TPropInfo &p : c->Props)
      if (SameText(p.Name, name))
        return &p;
  return nullptr;
}

const TPropInfo *GetPropInfo(const TObject &instance, StringView name) {
  return GetPropInfo(instance.ClassInfo(), name);
}

// ---- Values -------------------------------------------------------------------------------

namespace {

bool IsOrdinalKind(TTypeKind k) { return tkOrdinal.Contains(k) || k == tkInt64; }

} // namespace

TPropValue GetPropValue(const TObject &instance, const TPropInfo &prop) {
  if (!prop.Get)
    throw EPropWriteOnly(Format(u"Property %s is write-only", {prop.Name}));
  return prop.Get(instance);
}

void SetPropValue(TObject &instance, const TPropInfo &prop, const TPropValue &value) {
  if (!prop.Set)
    throw EPropReadOnly(Format(u"Property %s is read-only", {prop.Name}));
  if (IsOrdinalKind(prop.Kind))
    KR_ASSERT(std::holds_alternative<Int64>(value));
  else if (prop.Kind == tkFloat)
    KR_ASSERT(std::holds_alternative<double>(value));
  else if (tkStrings.Contains(prop.Kind))
    KR_ASSERT(std::holds_alternative<String>(value));
  prop.Set(instance, value);
}

Int64 GetOrdProp(const TObject &instance, const TPropInfo &prop) {
  KR_ASSERT(IsOrdinalKind(prop.Kind));
  return std::get<Int64>(GetPropValue(instance, prop));
}

void SetOrdProp(TObject &instance, const TPropInfo &prop, Int64 value) {
  KR_ASSERT(IsOrdinalKind(prop.Kind));
  SetPropValue(instance, prop, value);
}

String GetStrProp(const TObject &instance, const TPropInfo &prop) {
  KR_ASSERT(tkStrings.Contains(prop.Kind));
  return std::get<String>(GetPropValue(instance, prop));
}

void SetStrProp(TObject &instance, const TPropInfo &prop, const String &value) {
  KR_ASSERT(tkStrings.Contains(prop.Kind));
  SetPropValue(instance, prop, value);
}

double GetFloatProp(const TObject &instance, const TPropInfo &prop) {
  KR_ASSERT(prop.Kind == tkFloat);
  return std::get<double>(GetPropValue(instance, prop));
}

void SetFloatProp(TObject &instance, const TPropInfo &prop, double value) {
  KR_ASSERT(prop.Kind == tkFloat);
  SetPropValue(instance, prop, value);
}

String GetEnumProp(const TObject &instance, const TPropInfo &prop) {
  KR_ASSERT(prop.Kind == tkEnumeration);
  return GetEnumName(prop.EnumNames, GetOrdProp(instance, prop));
}

void SetEnumProp(TObject &instance, const TPropInfo &prop, StringView name) {
  KR_ASSERT(prop.Kind == tkEnumeration);
  const Integer v = GetEnumValue(prop.EnumNames, name);
  if (v < 0)
    throw EPropertyConvertError(Format(u"Invalid property element: %s", {name}));
  SetOrdProp(instance, prop, v);
}

String GetSetProp(const TObject &instance, const TPropInfo &prop, bool brackets) {
  KR_ASSERT(prop.Kind == tkSet);
  return SetToString(prop.EnumNames, static_cast<UInt64>(GetOrdProp(instance, prop)), brackets);
}

void SetSetProp(TObject &instance, const TPropInfo &prop, StringView text) {
  KR_ASSERT(prop.Kind == tkSet);
  SetOrdProp(instance, prop, static_cast<Int64>(StringToSet(prop.EnumNames, text)));
}

String GetPropValueText(const TObject &instance, const TPropInfo &prop) {
  switch (prop.Kind) {
  case tkInteger:
  case tkInt64:
    return IntToStr(GetOrdProp(instance, prop));
  case tkChar:
  case tkWChar:
    return String(1, static_cast<Char>(GetOrdProp(instance, prop)));
  case tkEnumeration:
    return GetEnumProp(instance, prop);
  case tkFloat:
    return FloatToStr(GetFloatProp(instance, prop));
  case tkString:
  case tkLString:
  case tkWString:
  case tkUString:
    return GetStrProp(instance, prop);
  case tkSet:
    return GetSetProp(instance, prop, true);
  default:
    return {};
  }
}

bool IsDefaultPropValue(const TObject &instance, const TPropInfo &prop) {
  if (!prop.Get)
    return false;
  if (IsOrdinalKind(prop.Kind))
    return prop.Default != NoDefault && GetOrdProp(instance, prop) == prop.Default;
  if (prop.Kind == tkFloat)
    return GetFloatProp(instance, prop) == 0.0;
  if (tkStrings.Contains(prop.Kind))
    return GetStrProp(instance, prop).empty();
  return false;
}

bool IsStoredProp(const TObject &instance, const TPropInfo &prop) {
  return !prop.Stored || prop.Stored(instance);
}

bool IsStreamedProp(const TObject &instance, const TPropInfo &prop) {
  return prop.Get && prop.Set && IsStoredProp(instance, prop) &&
         !IsDefaultPropValue(instance, prop);
}

} // namespace krx
