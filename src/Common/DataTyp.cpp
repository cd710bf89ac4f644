#include "Common/DataTyp.h"

#include <array>

namespace krx {
namespace {

struct TDelphiType {
  const Char *Name;
  const Char *Prefix;
};

// Indexed by type code; code 31 is produced by no name.
constexpr std::array<TDelphiType, 34> kDelphiTypes = {{
    {u"Integer", u"I"},    {u"ShortInt", u"I8"},    {u"SmallInt", u"I16"},  {u"LongInt", u"I32"},
    {u"Byte", u"B8"},      {u"Int64", u"I64"},      {u"Word", u"W"},        {u"LongWord", u"LW"},
    {u"Cardinal", u"CA"},  {u"Boolean", u"B"},      {u"ByteBool", u"BB"},   {u"WordBool", u"WB"},
    {u"LongBool", u"LB"},  {u"Extended", u"E"},     {u"Single", u"SF"},     {u"Double", u"D"},
    {u"Comp", u"CO"},      {u"Currency", u"CU"},    {u"Real", u"R"},        {u"Real48", u"R48"},
    {u"string", u"S"},     {u"ShortString", u"SS"}, {u"AnsiString", u"AS"}, {u"Char", u"C"},
    {u"AnsiChar", u"AC"},  {u"WideChar", u"WC"},    {u"PChar", u"PC"},      {u"PAnsiChar", u"PA"},
    {u"PWideChar", u"PW"}, {u"PString", u"PS"},     {u"Pointer", u"P"},     {nullptr, nullptr},
    {u"Variant", u"V"},    {u"OLEVariant", u"OV"},
}};

constexpr Integer kOtherType = 34;
constexpr Integer kNoType = 35;

} // namespace

TSourceLanguageKind EffectiveLanguageKind(TSourceLanguageKind kind) {
  return kind == lanUndefined ? lanPascal : kind;
}

String LanguageKindName(TSourceLanguageKind kind) {
  return kind == lanPascal ? u"Object Pascal" : u"Default language";
}

TSourceLanguageKind LanguageKindFromName(StringView name) {
  return AnsiSameText(name, u"Object Pascal") ? lanPascal : lanUndefined;
}

bool LanguageKindFromSet(TSourceLanguageKinds kinds, TSourceLanguageKind &kind) {
  Integer found = 0;
  for (Integer k = 0; k <= TSourceLanguageKindLast; ++k)
    if (kinds.Contains(static_cast<TSourceLanguageKind>(k))) {
      kind = static_cast<TSourceLanguageKind>(k);
      ++found;
    }
  return found == 1;
}

Integer DelphiTypeCode(TSourceLanguageKind, StringView typeName) {
  if (typeName.empty() || SameText(typeName, u"void"))
    return kNoType;
  if (typeName.size() < 4)
    return kOtherType;
  // The first letter picks the candidates; the comparison ignores case.
  const Char first = UpperCase(typeName.substr(0, 1))[0];
  for (std::size_t code = 0; code < kDelphiTypes.size(); ++code) {
    const Char *name = kDelphiTypes[code].Name;
    if (name && UpperCase(StringView(name, 1))[0] == first && SameText(typeName, name))
      return static_cast<Integer>(code);
  }
  return kOtherType;
}

String HungarianPrefix(TSourceLanguageKind language, StringView typeName) {
  const Integer code = DelphiTypeCode(language, typeName);
  if (code == kNoType)
    return {};
  if (code == kOtherType)
    return u"U" + String(typeName);
  return kDelphiTypes[static_cast<std::size_t>(code)].Prefix;
}

} // namespace krx
