#include "Common/KREngineDefs.h"

#include "Platform/Rtl/SysUtils.h"

namespace krx {

namespace {

template <std::size_t N, typename E> String Keyword(const StringView (&table)[N], E value) {
  const auto i = static_cast<std::size_t>(value);
  KR_ASSERT(i < N);
  return String(table[i]);
}

} // namespace

String VisibilityName(TVisibility value) { return Keyword(VisibilityKeywords, value); }
String MethodKindName(TMethodKind value) { return Keyword(MethodKindKeywords, value); }
String BindingKindName(TBindingKind value) { return Keyword(BindingKindKeywords, value); }
String CallConventionName(TCallConvention value) { return Keyword(CallConventionKeywords, value); }
String HintDirectiveName(THintDirective value) { return Keyword(HintDirectiveKeywords, value); }

String HintDirectivesToText(THintDirectives directives, StringView deprecationMessage,
                            StringView separator) {
  KR_ASSERT(!separator.empty());
  String result;
  for (std::size_t i = 0; i <= THintDirectiveLast; ++i) {
    const auto d = static_cast<THintDirective>(i);
    if (!directives.Contains(d))
      continue;
    if (!result.empty())
      result += separator;
    result += HintDirectiveKeywords[i];
    if (d == hdDeprecated && !deprecationMessage.empty()) {
      result += u' ';
      result += deprecationMessage;
    }
  }
  return result;
}

// ---- Registry key names -------------------------------------------------------------------

namespace {

String VersionedKey(StringView base, Integer version) {
  return Format(u"%s\\%d.0", {base, version});
}

} // namespace

String KestruneRegistryKey(Integer version) {
  return VersionedKey(u"Software\\Kestrune\\Kestrune", version);
}

String ExpertRegistryKey(Integer version) {
  if (version < NewMakerNamesVersion)
    return VersionedKey(u"Software\\Kestrune\\Torvane", version);
  return VersionedKey(u"Software\\Drummel Software\\KRX", version);
}

String SharedRegistryKey(Integer version) {
  if (version < NewMakerNamesVersion)
    return u"Software\\Kestrune\\Shared";
  if (version < SharedUnderExpertKeyVersion)
    return u"Software\\Drummel Software\\Shared";
  return ExpertRegistryKey(version);
}

} // namespace krx
