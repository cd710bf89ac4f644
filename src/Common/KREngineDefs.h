// The code engine's vocabulary: the enumerations of the code model and the Pascal keyword
// that belongs to each value the code model renders as source text.
//
// Every enumeration is declared once as an X-macro list; the same list gives the
// enumeration and its table of value names (for reflection and parsing). The ordinals are
// part of the contract: the code model, the parsers and the jump-location finder rely on
// the positions, for example in sets of item kinds.
#pragma once

#include "Common/CallConventions.h"
#include "Platform/Rtl/EnumSet.h"
#include "Platform/Rtl/Types.h"

#include <array>
#include <cstdint>
#include <span>

namespace krx {

// ===========================================================================================
// Engine enumerations and keyword tables
// ===========================================================================================

// clang-format off
#define KRX_ENUM_VALUE(name) name,
#define KRX_ENUM_NAME(name) u"" #name,

// Declares `enum Type : std::uint8_t` and `TypeNames`, the names of its values in order.
#define KRX_DECLARE_ENGINE_ENUM(Type, LIST)                                                        \
  enum Type : std::uint8_t { LIST(KRX_ENUM_VALUE) };                                               \
  inline constexpr StringView Type##NameTable[] = {LIST(KRX_ENUM_NAME)};                           \
  inline constexpr std::span<const StringView> Type##Names{Type##NameTable};                       \
  inline constexpr Type Type##Last = static_cast<Type>(std::size(Type##NameTable) - 1)

#define KRX_TCODEITEMKIND(X) \
  X(ckNone) X(ckError) X(ckCustom) X(ckModule) X(ckModuleSection) X(ckUses) X(ckDelegate) \
  X(ckFunctionPointer) X(ckMethodReference) X(ckKRTag) X(ckVar) X(ckNameSpace) X(ckEnum) \
  X(ckEnumValue) X(ckUnhandledType) X(ckCodeSection) X(ckVisibility) X(ckProcedure) \
  X(ckClass) X(ckInterface) X(ckRecord) X(ckObject) X(ckDispInterface) X(ckHelper) \
  X(ckRecordHelper) X(ckField) X(ckMethod) X(ckProperty) X(ckEvent) X(ckResClause) \
  X(ckVariantSection) X(ckMethodImpl)
KRX_DECLARE_ENGINE_ENUM(TCodeItemKind, KRX_TCODEITEMKIND);
using TCodeItemKinds = EnumSet<TCodeItemKind>;

#define KRX_TCLASSKIND(X) \
  X(clUndefined) X(clClass) X(clInterface) X(clRecord) X(clObject) X(clDispInterface) \
  X(clHelper) X(clRecordHelper) X(clModule)
KRX_DECLARE_ENGINE_ENUM(TClassKind, KRX_TCLASSKIND);

#define KRX_THINTDIRECTIVE(X) \
  X(hdDeprecated) X(hdPlatform) X(hdLibrary) X(hdExperimental) X(hdAlign)
KRX_DECLARE_ENGINE_ENUM(THintDirective, KRX_THINTDIRECTIVE);
using THintDirectives = EnumSet<THintDirective>;

#define KRX_TVISIBILITY(X) \
  X(scDefault) X(scStrictPrivate) X(scPrivate) X(scStrictProtected) X(scProtected) \
  X(scPublic) X(scPublished) X(scAutomated)
KRX_DECLARE_ENGINE_ENUM(TVisibility, KRX_TVISIBILITY);

#define KRX_TCLASSDIRECTIVE(X) \
  X(cldAbstract) X(cldPureAbstract) X(cldSealed) X(cldReintroduce) X(cldUnsafe) \
  X(cldPacked) X(cldStatic) X(cldPartial) X(cldForward)
KRX_DECLARE_ENGINE_ENUM(TClassDirective, KRX_TCLASSDIRECTIVE);
using TClassDirectives = EnumSet<TClassDirective>;

#define KRX_TDELEGATEDIRECTIVE(X) \
  X(doReintroduce) X(doUnsafe)
KRX_DECLARE_ENGINE_ENUM(TDelegateDirective, KRX_TDELEGATEDIRECTIVE);
using TDelegateDirectives = EnumSet<TDelegateDirective>;

#define KRX_TMETHODKIND(X) \
  X(mkConstructor) X(mkDestructor) X(mkProcedure) X(mkFunction) X(mkOperator) X(mkMethod)
KRX_DECLARE_ENGINE_ENUM(TMethodKind, KRX_TMETHODKIND);

#define KRX_TBINDINGKIND(X) \
  X(bkStatic) X(bkVirtual) X(bkAbstract) X(bkOverride) X(bkDynamic) X(bkMessage)
KRX_DECLARE_ENGINE_ENUM(TBindingKind, KRX_TBINDINGKIND);

#define KRX_TCSMETHODBINDING(X) \
  X(csmbUndefined) X(csmbNonVirtual) X(csmbVirtual) X(csmbOverride) X(csmbStatic) \
  X(csmbAbstract) X(csmbOverrideAbstract) X(csmbOverrideSealed)
KRX_DECLARE_ENGINE_ENUM(TCSMethodBinding, KRX_TCSMETHODBINDING);

KRX_DECLARE_ENGINE_ENUM(TCallConvention, KRX_TCALLCONVENTION);

#define KRX_TMETHODDIRECTIVE(X) \
  X(pdForward) X(pdExternal) X(pdOverload) X(pdUnsafe) X(pdInline) X(pdDelayed) \
  X(pdVirtual) X(pdDynamic) X(pdAbstract) X(pdMessage) X(pdOverride) X(pdStatic) \
  X(pdReintroduce) X(pdSealed) X(pdPartial) X(pdClassMethod) X(pdAsync) X(pdLocked) \
  X(pdEmpty)
KRX_DECLARE_ENGINE_ENUM(TMethodDirective, KRX_TMETHODDIRECTIVE);
using TMethodDirectives = EnumSet<TMethodDirective>;

#define KRX_TFIELDDIRECTIVE(X) \
  X(foReintroduce) X(foReadOnly) X(foVolatile) X(foUnsafe)
KRX_DECLARE_ENGINE_ENUM(TFieldDirective, KRX_TFIELDDIRECTIVE);
using TFieldDirectives = EnumSet<TFieldDirective>;

#define KRX_TFIELDKIND(X) \
  X(fkInstance) X(fkStatic) X(fkConst) X(fkResourceString) X(fkStaticThread)
KRX_DECLARE_ENGINE_ENUM(TFieldKind, KRX_TFIELDKIND);

#define KRX_TPROPERTYDIRECTIVE(X) \
  X(prArray) X(prDefaultArray) X(prIndex) X(prStored) X(prReadOnly) X(prWriteOnly) \
  X(prStatic) X(prVirtual) X(prOverride) X(prAbstract) X(prExternal) X(prReintroduce) \
  X(prSealed) X(prUnsafe) X(prAutoImplemented) X(prNotify)
KRX_DECLARE_ENGINE_ENUM(TPropertyDirective, KRX_TPROPERTYDIRECTIVE);
using TPropertyDirectives = EnumSet<TPropertyDirective>;

#define KRX_TDEFAULTSPECIFIER(X) \
  X(dsUnspecified) X(dsDefault) X(dsNoDefault)
KRX_DECLARE_ENGINE_ENUM(TDefaultSpecifier, KRX_TDEFAULTSPECIFIER);

#define KRX_TRWACCESSEX(X) \
  X(rwNone) X(rwField) X(rwMethod) X(rwCustom)
KRX_DECLARE_ENGINE_ENUM(TRWAccessEx, KRX_TRWACCESSEX);

// The subrange rwNone..rwMethod of TRWAccessEx. Its name table holds only those three
// values, so reflection over a TRWAccess property lists exactly them.
using TRWAccess = TRWAccessEx;
inline constexpr StringView TRWAccessNameTable[] = {u"rwNone", u"rwField", u"rwMethod"};
inline constexpr std::span<const StringView> TRWAccessNames{TRWAccessNameTable};
inline constexpr TRWAccess TRWAccessLast = rwMethod;

#define KRX_TINTERFACEROOT(X) \
  X(irIInterface) X(irIUnknown) X(irUnspecified)
KRX_DECLARE_ENGINE_ENUM(TInterfaceRoot, KRX_TINTERFACEROOT);
// clang-format on

// Keyword tables, indexed by ordinal. bkAbstract renders as "virtual": the abstract
// directive is rendered on its own by the code model.
inline constexpr StringView VisibilityKeywords[] = {
    u"default",   u"strict private", u"private",   u"strict protected",
    u"protected", u"public",         u"published", u"automated"};
inline constexpr StringView MethodKindKeywords[] = {u"constructor", u"destructor", u"procedure",
                                                    u"function",    u"operator",   u"method"};
inline constexpr StringView BindingKindKeywords[] = {u"static",   u"virtual", u"virtual",
                                                     u"override", u"dynamic", u"message"};
inline constexpr StringView CallConventionKeywords[] = {KRX_CALLCONVENTION_KEYWORDS};
inline constexpr StringView HintDirectiveKeywords[] = {u"deprecated", u"platform", u"library",
                                                       u"experimental", u"align"};
inline constexpr StringView InterfaceRootKeywords[] = {u"IInterface", u"IUnknown", u""};

static_assert(std::size(VisibilityKeywords) == std::size(TVisibilityNameTable));
static_assert(std::size(MethodKindKeywords) == std::size(TMethodKindNameTable));
static_assert(std::size(BindingKindKeywords) == std::size(TBindingKindNameTable));
static_assert(std::size(CallConventionKeywords) == std::size(TCallConventionNameTable));
static_assert(std::size(HintDirectiveKeywords) == std::size(THintDirectiveNameTable));
static_assert(std::size(InterfaceRootKeywords) == std::size(TInterfaceRootNameTable));
static_assert(std::size(TCodeItemKindNameTable) == 32);

// The keyword of a value. A value outside the enumeration fails an internal assertion.
String VisibilityName(TVisibility value);
String MethodKindName(TMethodKind value);
String BindingKindName(TBindingKind value);
String CallConventionName(TCallConvention value);
String HintDirectiveName(THintDirective value);

// The keywords of the directives in the set, in ordinal order, joined with the separator;
// "deprecated" is followed by a blank and the message when the message is not empty.
// An empty separator fails an internal assertion.
String HintDirectivesToText(THintDirectives directives, StringView deprecationMessage,
                            StringView separator);

// ===========================================================================================
// Registry key names of Kestrune and of the maker's tools (relative to a root key chosen by
// the caller; registry paths keep their backslashes)
// ===========================================================================================

// Product versions below this use the older maker and product names.
inline constexpr Integer NewMakerNamesVersion = 13;
// From this product version on, the shared settings live under the tool's own key.
inline constexpr Integer SharedUnderExpertKeyVersion = 15;

// "Software\Kestrune\Kestrune\<v>.0"
String KestruneRegistryKey(Integer version);
// "Software\Kestrune\Torvane\<v>.0" below 13, else "Software\Drummel Software\KRX\<v>.0".
String ExpertRegistryKey(Integer version);
// "Software\Kestrune\Shared" below 13, "Software\Drummel Software\Shared" for 13 and 14,
// ExpertRegistryKey(v) from 15 on.
String SharedRegistryKey(Integer version);

} // namespace krx
