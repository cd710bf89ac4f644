#include "Engine/Prefs.h"

#include "World/ParsingLocks.h"

#include <array>
#include <memory>

namespace krx {

namespace {

constexpr const Char *kClassMarker = u"[Class]";

std::array<std::unique_ptr<TPreferences>, TSourceLanguageKindLast + 1> &Instances() {
  static std::array<std::unique_ptr<TPreferences>, TSourceLanguageKindLast + 1> instances;
  return instances;
}

// Formats an automatic module name pattern with "[Class]" for its first "%s": "%%" gives a
// percent sign and any other directive stays as written, so no stored text can make the
// read fail.
String SafeFormatWithClass(StringView pattern) {
  String r;
  bool substituted = false;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == u'%' && i + 1 < pattern.size()) {
      if (pattern[i + 1] == u'%') {
        r.push_back(u'%');
        ++i;
        continue;
      }
      if (pattern[i + 1] == u's' && !substituted) {
        r += kClassMarker;
        substituted = true;
        ++i;
        continue;
      }
    }
    r.push_back(pattern[i]);
  }
  return r;
}

} // namespace

String TPreferences::GetAutoModuleNameFmt() const {
  return SafeFormatWithClass(AutoModuleNameFormat);
}

void TPreferences::SetAutoModuleNameFmt(StringView value) {
  const auto marker = value.find(kClassMarker);
  auto escape = [](StringView s) { return StringReplace(s, u"%", u"%%", rfReplaceAll); };
  if (marker == StringView::npos) {
    AutoModuleNameFormat = escape(value);
    return;
  }
  AutoModuleNameFormat =
      escape(value.substr(0, marker)) + u"%s" +
      escape(value.substr(marker + std::char_traits<Char>::length(kClassMarker)));
}

void TPreferences::SetEmptyInterfaceRoot(bool value) {
  if (value == GetEmptyInterfaceRoot())
    return;
  InterfaceRoot = value ? irUnspecified : irIInterface;
}

void TPreferences::SetInterfacePrefix(StringView value) {
  if (value == FInterfacePrefix)
    return;
  TParsingLock lock;
  FInterfacePrefix = String(value);
}

#define KRX_PREF(Member)                                                                           \
  [](const TPreferences &p) { return p.Member; },                                                  \
      [](TPreferences &p, decltype(TPreferences::Member) v) { p.Member = v; }

const TClassInfo &TPreferences::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TPreferences>(nullptr, u"TPreferences")
          .Enum(u"AccessVisibility", TVisibilityNames, KRX_PREF(AccessVisibility))
          .Bool(u"ApplyPropCats", KRX_PREF(ApplyPropCats))
          .Bool(u"AutoDeriveModuleName", KRX_PREF(AutoDeriveModuleName))
          .Str(u"AutoModuleNameFormat", KRX_PREF(AutoModuleNameFormat))
          .Str(u"_AutoModuleNameFmt", &TPreferences::GetAutoModuleNameFmt,
               [](TPreferences &p, const String &v) { p.SetAutoModuleNameFmt(v); })
          .Stored(false)
          .Str(u"ClassPrefix", KRX_PREF(ClassPrefix))
          .Enum(u"DefaultReadAccess", TRWAccessNames, KRX_PREF(DefaultReadAccess))
          .Enum(u"DefaultWriteAccess", TRWAccessNames, KRX_PREF(DefaultWriteAccess))
          .Bool(u"EmptyInterfaceRoot", &TPreferences::GetEmptyInterfaceRoot,
                [](TPreferences &p, bool v) { p.SetEmptyInterfaceRoot(v); })
          .Enum(u"EventDispatchBinding", TBindingKindNames, KRX_PREF(EventDispatchBinding))
          .Str(u"EventDispatchPrefix", KRX_PREF(EventDispatchPrefix))
          .Enum(u"EventDispatchVisibility", TVisibilityNames, KRX_PREF(EventDispatchVisibility))
          .Enum(u"EventhandlerVisibility", TVisibilityNames, KRX_PREF(EventhandlerVisibility))
          .Stored(false)
          .Str(u"FieldParamPrefix", KRX_PREF(FieldParamPrefix))
          .Bool(u"InstrumentedMethods", KRX_PREF(InstrumentedMethods))
          .Str(u"InterfacePrefix", &TPreferences::GetInterfacePrefix,
               [](TPreferences &p, const String &v) { p.SetInterfacePrefix(v); })
          .Enum(u"InterfaceRoot", TInterfaceRootNames, KRX_PREF(InterfaceRoot))
          .Enum(u"IntfCallConvention", TCallConventionNames, KRX_PREF(IntfCallConvention))
          .Str(u"ModifiersOrder", KRX_PREF(ModifiersOrder))
          .Stored(false)
          .Str(u"MulticastAddPrefix", KRX_PREF(MulticastAddPrefix))
          .Enum(u"MulticastMethodVisibility", TVisibilityNames, KRX_PREF(MulticastMethodVisibility))
          .Str(u"MulticastRemovePrefix", KRX_PREF(MulticastRemovePrefix))
          .Bool(u"MulticastUsesEventVisibility", KRX_PREF(MulticastUsesEventVisibility))
          .Str(u"NewMethodSnippet", KRX_PREF(NewMethodSnippet))
          .Stored(false)
          .Enum(u"PropBinding", TCSMethodBindingNames, KRX_PREF(PropBinding))
          .Stored(false)
          .Bool(u"PropConstWriteParam", KRX_PREF(PropConstWriteParam))
          .Bool(u"PropExtWriteCode", KRX_PREF(PropExtWriteCode))
          .Bool(u"PropReadCode", KRX_PREF(PropReadCode))
          .Str(u"PropReadSnippet", KRX_PREF(PropReadSnippet))
          .Bool(u"PropStateField", KRX_PREF(PropStateField))
          .Bool(u"PropWriteCode", KRX_PREF(PropWriteCode))
          .Str(u"PropWriteParam", KRX_PREF(PropWriteParam))
          .Str(u"PropWriteSnippet", KRX_PREF(PropWriteSnippet))
          .Str(u"ReadMethodPrefix", KRX_PREF(ReadMethodPrefix))
          .Bool(u"ShowEmptyParamLists", KRX_PREF(ShowEmptyParamLists))
          .Stored([](const TPreferences &p) { return p.Language == lanPascal; })
          .Enum(u"StateFieldCase", TStateFieldCaseNames, KRX_PREF(StateFieldCase))
          .Stored(false)
          .Str(u"StateFieldPrefix", KRX_PREF(StateFieldPrefix))
          .Enum(u"StateFieldVisibility", TVisibilityNames, KRX_PREF(StateFieldVisibility))
          .Str(u"StructPrefix", KRX_PREF(StructPrefix))
          .Bool(u"UseGenericInherited", KRX_PREF(UseGenericInherited))
          .Str(u"UsesClauseGroupsDefault", KRX_PREF(UsesClauseGroupsDefault))
          .Bool(u"UsingInModule", KRX_PREF(UsingInModule))
          .Stored(false)
          .Str(u"WriteMethodPrefix", KRX_PREF(WriteMethodPrefix))
          .Build();
  return info;
}

#undef KRX_PREF

TPreferences &GetPreferences(TSourceLanguageKind kind) {
  KR_ASSERT(kind <= TSourceLanguageKindLast);
  auto &slot = Instances()[kind];
  if (!slot)
    slot = std::make_unique<TPreferences>(kind);
  return *slot;
}

void FinalizePrefs() {
  for (auto &p : Instances())
    p.reset();
}

} // namespace krx
