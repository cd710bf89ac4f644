#include "Engine/DelphiKeywordJumpTables.h"

#include "Engine/CodeItems.h"
#include "Platform/Rtl/SysUtils.h"
#include "World/LowerCasePrefix.h"

#include <array>
#include <span>

namespace krx {

namespace {

constexpr const Char *kNames[] = {
#define KRX_X(name) u"rw" #name,
    KRX_RESERVED_WORDS(KRX_X)
#undef KRX_X
};
static_assert(std::size(kNames) == 70);

// The language modes in which a word of a table counts.
enum class TModeRule : Byte {
  Always,
  Delphi10OrLater, // operator
  D2010OrLater,    // delayed
  NotDelphi7,      // experimental, final, static, strict
  DotNetOnly,      // add, remove, unsafe
};

bool RuleHolds(TModeRule rule, TDelphiLanguageMode mode) {
  switch (rule) {
  case TModeRule::Always:
    return true;
  case TModeRule::Delphi10OrLater:
    return mode >= dlmDelphi10Win32;
  case TModeRule::D2010OrLater:
    return mode >= dlmD2010Win32;
  case TModeRule::NotDelphi7:
    return mode != dlmDelphi7Win32;
  case TModeRule::DotNetOnly:
    return IsDotNetLanguageMode(mode);
  }
  return false;
}

struct TEntry {
  const Char *Text; // upper case
  TReservedWord Word;
  TModeRule Rule = TModeRule::Always;
};

// One comparer per letter: its words in the order compared.
using TComparer = std::span<const TEntry>;
using TDispatch = std::array<TComparer, 26>; // "A" .. "Z"; an empty span has no comparer

// ---- The keyword table: the structural words ------------------------------------------------

constexpr TEntry kKeyA[] = {{u"ASM", rwAsm}};
constexpr TEntry kKeyB[] = {{u"BEGIN", rwBegin}};
constexpr TEntry kKeyC[] = {
    {u"CLASS", rwClass}, {u"CASE", rwCase}, {u"CONST", rwConst}, {u"CONSTRUCTOR", rwConstructor}};
constexpr TEntry kKeyD[] = {{u"DESTRUCTOR", rwDestructor}, {u"DISPINTERFACE", rwDispInterface}};
constexpr TEntry kKeyE[] = {{u"END", rwEnd}};
constexpr TEntry kKeyF[] = {{u"FUNCTION", rwFunction}, {u"FINALIZATION", rwFinalization}};
constexpr TEntry kKeyI[] = {{u"IMPLEMENTATION", rwImplementation},
                            {u"INTERFACE", rwInterface},
                            {u"INITIALIZATION", rwInitialization}};
constexpr TEntry kKeyL[] = {{u"LABEL", rwLabel}};
constexpr TEntry kKeyO[] = {{u"OBJECT", rwObject},
                            {u"OPERATOR", rwOperator, TModeRule::Delphi10OrLater}};
constexpr TEntry kKeyP[] = {
    {u"PROCEDURE", rwProcedure}, {u"PROPERTY", rwProperty}, {u"PACKED", rwPacked}};
constexpr TEntry kKeyR[] = {{u"RECORD", rwRecord}, {u"RESOURCESTRING", rwResourceString}};
constexpr TEntry kKeyT[] = {{u"TYPE", rwType}, {u"TRY", rwTry}, {u"THREADVAR", rwThreadVar}};
constexpr TEntry kKeyU[] = {{u"USES", rwUses}};
constexpr TEntry kKeyV[] = {{u"VAR", rwVar}};

constexpr Char kKeywordLast = u'V';
constexpr TDispatch kKeywordTable = {kKeyA, kKeyB, kKeyC, kKeyD, kKeyE, kKeyF, {},    {}, kKeyI,
                                     {},    {},    kKeyL, {},    {},    kKeyO, kKeyP, {}, kKeyR,
                                     {},    kKeyT, kKeyU, kKeyV, {},    {},    {},    {}};

// ---- The full table: every reserved and directive word -------------------------------------

constexpr TEntry kAllA[] = {{u"ABSTRACT", rwAbstract},
                            {u"AUTOMATED", rwAutomated},
                            {u"ASM", rwAsm},
                            {u"ADD", rwAdd, TModeRule::DotNetOnly}};
constexpr TEntry kAllC[] = {{u"CLASS", rwClass},
                            {u"CASE", rwCase},
                            {u"CONSTRUCTOR", rwConstructor},
                            {u"CONST", rwConst},
                            {u"CDECL", rwCdecl}};
constexpr TEntry kAllD[] = {{u"DESTRUCTOR", rwDestructor},
                            {u"DYNAMIC", rwDynamic},
                            {u"DEFAULT", rwDefault},
                            {u"DISPID", rwDispID},
                            {u"DISPINTERFACE", rwDispInterface},
                            {u"DEPRECATED", rwDeprecated},
                            {u"DELAYED", rwDelayed, TModeRule::D2010OrLater}};
constexpr TEntry kAllE[] = {{u"END", rwEnd},
                            {u"EXPORT", rwExport},
                            {u"EXTERNAL", rwExternal},
                            {u"EXPERIMENTAL", rwExperimental, TModeRule::NotDelphi7}};
constexpr TEntry kAllF[] = {{u"FUNCTION", rwFunction},
                            {u"FINALIZATION", rwFinalization},
                            {u"FORWARD", rwForward},
                            {u"FAR", rwFar},
                            {u"FINAL", rwFinal, TModeRule::NotDelphi7}};
constexpr TEntry kAllI[] = {{u"IMPLEMENTATION", rwImplementation}, {u"INTERFACE", rwInterface},
                            {u"IMPLEMENTS", rwImplements},         {u"INDEX", rwIndex},
                            {u"INITIALIZATION", rwInitialization}, {u"INLINE", rwInline}};
constexpr TEntry kAllL[] = {{u"LABEL", rwLabel}, {u"LIBRARY", rwLibrary}};
constexpr TEntry kAllM[] = {{u"MESSAGE", rwMessage}};
constexpr TEntry kAllN[] = {{u"NODEFAULT", rwNodefault}};
constexpr TEntry kAllO[] = {{u"OVERRIDE", rwOverride},
                            {u"OVERLOAD", rwOverload},
                            {u"OBJECT", rwObject},
                            {u"OPERATOR", rwOperator, TModeRule::Delphi10OrLater}};
constexpr TEntry kAllP[] = {
    {u"PROCEDURE", rwProcedure}, {u"PROPERTY", rwProperty}, {u"PRIVATE", rwPrivate},
    {u"PROTECTED", rwProtected}, {u"PUBLIC", rwPublic},     {u"PUBLISHED", rwPublished},
    {u"PACKED", rwPacked},       {u"PASCAL", rwPascal},     {u"PLATFORM", rwPlatform}};
constexpr TEntry kAllR[] = {{u"READ", rwRead},
                            {u"RECORD", rwRecord},
                            {u"RESOURCESTRING", rwResourceString},
                            {u"REINTRODUCE", rwReintroduce},
                            {u"REGISTER", rwRegister},
                            {u"READONLY", rwReadOnly},
                            {u"REMOVE", rwRemove, TModeRule::DotNetOnly}};
constexpr TEntry kAllS[] = {{u"STORED", rwStored},
                            {u"STDCALL", rwStdcall},
                            {u"SAFECALL", rwSafecall},
                            {u"STATIC", rwStatic, TModeRule::NotDelphi7},
                            {u"STRICT", rwStrict, TModeRule::NotDelphi7}};
constexpr TEntry kAllU[] = {{u"USES", rwUses}, {u"UNSAFE", rwUnsafe, TModeRule::DotNetOnly}};
constexpr TEntry kAllV[] = {{u"VAR", rwVar}, {u"VIRTUAL", rwVirtual}};
constexpr TEntry kAllW[] = {{u"WRITE", rwWrite}, {u"WRITEONLY", rwWriteOnly}};

constexpr Char kDirectiveLast = u'W';
constexpr TDispatch kFullTable = {kAllA, kKeyB, kAllC, kAllD, kAllE, kAllF, {},    {}, kAllI,
                                  {},    {},    kAllL, kAllM, kAllN, kAllO, kAllP, {}, kAllR,
                                  kAllS, kKeyT, kAllU, kAllV, kAllW, {},    {},    {}};

bool Lookup(const TDispatch &table, Char last, StringView text, TReservedWord &word) {
  if (text.size() <= 2)
    return false;
  Char first = text[0];
  if (first >= u'a' && first <= u'z')
    first = static_cast<Char>(first - u'a' + u'A');
  if (first < u'A' || first > last)
    return false;
  const TDelphiLanguageMode mode = DelphiLanguageMode();
  for (const TEntry &e : table[static_cast<std::size_t>(first - u'A')])
    if (RuleHolds(e.Rule, mode) && SameText(text, e.Text)) {
      word = e.Word;
      return true;
    }
  return false;
}

// Whether the mode lets a word be missing from the tables.
bool MayBeMissing(TReservedWord w, TDelphiLanguageMode mode) {
  auto oneOf = [w](std::initializer_list<TReservedWord> words) {
    for (TReservedWord x : words)
      if (x == w)
        return true;
    return false;
  };
  if (w == rwDelayed && mode <= dlmD2009Win32)
    return true;
  if (IsDotNetLanguageMode(mode))
    return false;
  switch (mode) {
  case dlmDelphi7Win32:
    return oneOf({rwOperator, rwStrict, rwUnsafe, rwInline, rwStatic, rwFinal, rwAdd, rwRemove,
                  rwExperimental});
  case dlmDelphi9Win32:
    return oneOf({rwOperator, rwUnsafe, rwAdd, rwRemove});
  default:
    return oneOf({rwUnsafe, rwAdd, rwRemove}); // Delphi 2006 to Delphi 10.4
  }
}

void CheckWords(const TKeywordLookup &lookup, TReservedWord last, TDelphiLanguageMode mode) {
  for (Integer i = 0; i <= static_cast<Integer>(last); ++i) {
    const auto w = static_cast<TReservedWord>(i);
    TReservedWord found;
    const bool ok = lookup(StripLowerCasePrefix(kNames[i]), found);
    if (ok ? found != w : !MayBeMissing(w, mode))
      throw Exception(kNames[i]);
  }
}

} // namespace

String ReservedWordName(TReservedWord word) {
  KR_ASSERT(static_cast<Integer>(word) < ReservedWordCount);
  return kNames[word];
}

bool LookupDelphiKeyword(StringView text, TReservedWord &word) {
  return Lookup(kKeywordTable, kKeywordLast, text, word);
}

bool LookupDelphiDirective(StringView text, TReservedWord &word) {
  return Lookup(kFullTable, kDirectiveLast, text, word);
}

void CheckDelphiKeywordTables(const TKeywordLookup &directive, const TKeywordLookup &keyword) {
  const TDelphiLanguageMode mode = DelphiLanguageMode();
  KR_ASSERT(static_cast<Integer>(mode) < static_cast<Integer>(TDelphiLanguageModeNames.size()));
  CheckWords(directive, rwExperimental, mode);
  CheckWords(keyword, rwUses, mode);
}

} // namespace krx
