// Source languages of files and proxies, and the Hungarian type prefixes that name the type
// of a parameter in a parameter signature (Integer -> "I").
#pragma once

#include "Common/KREngineDefs.h"
#include "Platform/Rtl/Classes.h"
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

// ---- The lookup file "HungarianTypeLookup.txt" -------------------------------------------

// The lines "type=prefix" read for one language, with its two parameters.
class THungarianLookup : public TStringList {
public:
  bool ReplacePrefix = false;
  String ReplaceWith;
};

// The process-wide lookup of a language (between the unit's initialisation and
// finalisation).
THungarianLookup &HungarianLookup(TSourceLanguageKind kind);
// The shared data folder (version 15), then "HungarianTypeLookup.txt".
String HungarianLookupFileName();
// Writes the default file: the language's section and its ".Params" section with
// ReplacePrefix=False and ReplaceWith=A (ANSI, CR LF).
void WriteDefaultHungarianLookupFile(const String &fileName);
// Clears the lookups and reads them and the parameters from the file, writing missing
// parameters back; the file is rewritten as UTF-8. Without a byte-order mark the file is
// UTF-8 when its bytes are valid UTF-8, else ANSI. A file that does not decode exactly (NUL
// bytes, as UTF-16 without its mark has, or text that breaks its mark's encoding) is left as
// it is, the built-in defaults are used and the user is told in a message box.
void ReadHungarianLookupFile(const String &fileName);

// Start-up: creates the lookups, writes the default file when it is missing and reads it.
// A file that cannot be written or read leaves the built-in defaults in memory and is
// reported once through the message box service; start-up goes on.
void DataTypInitialization();
void DataTypFinalization();

} // namespace krx
