// The Pascal reserved words and directives as the grammar sees them. This revision has no
// dictionary: the words are recognised by the per-letter keyword tables
// (Engine/DelphiKeywordJumpTables), whose self-test is the unit-list entry.
#pragma once

#include "Common/KREngineDefs.h"
#include "Engine/DelphiKeywordJumpTables.h"

#include <initializer_list>
#include <utility>

namespace krx {

// The hint directives run from rwDeprecated to this word, in THintDirective's order.
inline constexpr TReservedWord rwLastHint = rwExperimental;
// No hint directive of this revision takes a number.
constexpr bool HintTakesNumber(TReservedWord) { return false; }
// The calling-convention words and the conventions they declare.
inline constexpr std::pair<TReservedWord, TCallConvention> CallConventionWords[] = {
    {rwRegister, ccRegister}, {rwPascal, ccPascal},     {rwCdecl, ccCDecl}, {rwStdcall, ccStdCall},
    {rwExport, ccExport},     {rwSafecall, ccSafeCall}, {rwFar, ccFar}};
// Every directive word of a routine heading: each ends the text of a directive argument.
inline constexpr std::initializer_list<TReservedWord> RoutineDirectiveWords = {
    rwForward, rwExternal,   rwOverload, rwUnsafe,   rwInline,      rwDelayed,     rwRegister,
    rwPascal,  rwCdecl,      rwStdcall,  rwExport,   rwSafecall,    rwFar,         rwVirtual,
    rwDynamic, rwAbstract,   rwMessage,  rwOverride, rwStatic,      rwReintroduce, rwFinal,
    rwDispID,  rwDeprecated, rwPlatform, rwLibrary,  rwExperimental};

inline constexpr const char *ReservedWordsUnitName = "CustomPascalExplorers";

// Every reserved and directive word the tables know in the current language mode.
inline bool IsReservedWord(StringView word, TReservedWord &value) {
  return LookupDelphiDirective(word, value);
}
// Only the structural words (up to rwUses); for any other word `value` is left unchanged.
inline bool IsReservedKeyword(StringView word, TReservedWord &value) {
  return LookupDelphiKeyword(word, value);
}

// Unit start-up: the tables' self-test in the language mode in force at load time.
inline void ReservedWordsInitialization() { CheckDelphiKeywordTables(); }
inline void ReservedWordsFinalization() {}

} // namespace krx
