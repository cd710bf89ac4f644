// Source languages of files and proxies, and the Hungarian type prefixes that name the type
// of a parameter in a parameter signature (Integer -> "I").
#pragma once

#include "Common/KREngineDefs.h"
#include "Platform/Rtl/EnumSet.h"
#include "Platform/Rtl/SysUtils.h"

namespace krx {

#define KRX_TSOURCELANGUAGEKIND(X) X(lanUndefined) X(lanPascal)
KRX_DECLARE_ENGINE_ENUM(TSourceLanguageKind, KRX_TSOURCELANGUAGEKIND);
using TSourceLanguageKinds = EnumSet<TSourceLanguageKind>;

// lanUndefined is taken as lanPascal.
TSourceLanguageKind EffectiveLanguageKind(TSourceLanguageKind kind);
// "Default language", "Object Pascal".
String LanguageKindName(TSourceLanguageKind kind);
// lanPascal for "Object Pascal" (any case), lanUndefined for any other name.
TSourceLanguageKind LanguageKindFromName(StringView name);
// True and the kind when the set holds exactly one kind.
bool LanguageKindFromSet(TSourceLanguageKinds kinds, TSourceLanguageKind &kind);

// The Delphi type code 0..35 of a type name: 0..33 the predefined types, 34 any other name,
// 35 the empty name and "void". The language does not change the result.
Integer DelphiTypeCode(TSourceLanguageKind language, StringView typeName);
// The prefix of the type code; for code 34 "U" followed by the name as given.
String HungarianPrefix(TSourceLanguageKind language, StringView typeName);

} // namespace krx
