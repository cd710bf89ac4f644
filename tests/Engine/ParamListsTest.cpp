#include "Engine/ParamLists.h"
#include "Engine/Tokenizers.h"
#include "Platform/Rtl/Encoding.h"

#include "support/FpcCorpus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

namespace krx {

namespace {

TEST(ParamList, GroupsShareModifierAndType) {
  auto list = ParseParamList(u"const A, B: Integer; var C: string", lanPascal);
  ASSERT_EQ(list->Count(), 3);
  EXPECT_EQ((*list)[0].Name, u"A");
  EXPECT_EQ((*list)[0].Modifier, pmConst);
  EXPECT_EQ((*list)[1].Name, u"B");
  EXPECT_EQ((*list)[1].Modifier, pmConst);
  EXPECT_EQ((*list)[1].TypeText, u"Integer");
  EXPECT_EQ((*list)[2].Modifier, pmVar);
  EXPECT_EQ((*list)[2].TypeText, u"string");
  EXPECT_EQ(list->GetSignature(), u"+I+I+S");
  EXPECT_EQ((*list)[2].GetAsText(), u"var C: string");
}

TEST(ParamList, DefaultValuesSplitAtTheFirstEquals) {
  auto list = ParseParamList(u"A: Integer = 5; out B: TFoo=Bar = 1", lanPascal);
  ASSERT_EQ(list->Count(), 2);
  EXPECT_EQ((*list)[0].TypeText, u"Integer");
  EXPECT_EQ((*list)[0].DefaultValue, u"5");
  EXPECT_EQ((*list)[0].GetAsText(), u"A: Integer = 5");
  EXPECT_EQ((*list)[1].TypeText, u"TFoo");
  EXPECT_EQ((*list)[1].DefaultValue, u"Bar = 1");
  EXPECT_EQ((*list)[1].GetAsText(), u"out B: TFoo = Bar = 1");
  EXPECT_EQ(list->GetSignature(), u"+I+UTFoo");
}

TEST(ParamList, UntypedParametersAndStructuredTypes) {
  auto list = ParseParamList(u"var Buffer; Count: Integer; const Data: array of const", lanPascal);
  ASSERT_EQ(list->Count(), 3);
  EXPECT_EQ((*list)[0].TypeText, u"");
  EXPECT_EQ((*list)[0].TypeSignature(), u"U&");
  EXPECT_EQ((*list)[2].TypeText, u"array of const");
  EXPECT_EQ(list->GetSignature(), u"+U&+I+Uarray of const");
  // Brackets and strings inside a type or default value are raw text.
  list = ParseParamList(u"A: array[0..1] of Byte; S: string = 'a;b'", lanPascal);
  ASSERT_EQ(list->Count(), 2);
  EXPECT_EQ((*list)[0].TypeText, u"array[0..1] of Byte");
  EXPECT_EQ((*list)[1].DefaultValue, u"'a;b'");
}

TEST(ParamList, WhiteSpaceInTypesIsNormalisedInTheSignature) {
  EXPECT_EQ(ParamSignature(u"A:  array   of\tInteger", lanPascal),
            ParamSignature(u"X: array of Integer", lanPascal));
  EXPECT_EQ(ParamSignature(u"A: Integer;\r\n B: string", lanPascal), u"+I+S");
}

TEST(ParamList, AttributesAreSkippedAndFlagged) {
  auto list = ParseParamList(u"[Ref] const A: TRec; [Attr([1, 2])] B: Integer", lanPascal);
  EXPECT_TRUE(list->HasAttributes());
  ASSERT_EQ(list->Count(), 2);
  EXPECT_EQ((*list)[0].Name, u"A");
  EXPECT_EQ((*list)[1].Name, u"B");
  list->Clear();
  EXPECT_FALSE(list->HasAttributes());
}

TEST(ParamList, IllegalTextsRaiseSilentlyAndSignatureFallsBack) {
  EXPECT_THROW(ParseParamList(u"A: Integer; (B)", lanPascal), EParamListError);
  try {
    ParseParamList(u"(", lanPascal);
    FAIL();
  } catch (const EAbort &e) { // silent
    EXPECT_EQ(e.Message(), u"Illegal parameter list:\r(");
  }
  EXPECT_EQ(ParamSignature(u"A: Integer; (B)", lanPascal), u"+A: Integer; (B)");
  // An invalid token (here an unterminated string) is the tokenizer's error, not the list's.
  for (StringView text : {u"A: string = 'abc", u"A { open: Integer", u"'x"}) {
    try {
      ParseParamList(text, lanPascal);
      ADD_FAILURE() << "no error for " << StringToUtf8(text);
    } catch (const EParamListError &) {
      ADD_FAILURE() << "list error for " << StringToUtf8(text);
    } catch (const ETokenError &e) {
      EXPECT_EQ(e.Message(), u"Invalid token");
    }
    EXPECT_EQ(ParamSignature(text, lanPascal), u"+" + String(text));
  }
  EXPECT_EQ(ParamSignature(u"", lanPascal), u"+");
  EXPECT_EQ(ParamSignature(u"  \t ", lanPascal), u"+");
}

// What the full parser makes of a text: the signature ParamSignature must give.
String ParsedSignature(StringView text) {
  if (Trim(text).empty())
    return u"+";
  try {
    return ParseParamList(text, lanPascal)->GetSignature();
  } catch (const std::exception &) {
    return u"+" + String(text);
  }
}

TEST(ParamList, SignatureOfPlainTextsEqualsTheParsersOne) {
  for (StringView text : {u"A, B: Integer; var C: string",
                          u"const A: TFoo = nil; out B",
                          u"A;B:Byte;;C:",
                          u"A: Integer;\r\n B: array\r\nof\tChar",
                          u"Outer, constref: Byte",
                          u"A: B: C; D",
                          u"A := 1",
                          u"A.B: Integer",
                          u"1: Integer",
                          u"A: string = ';'",
                          u"A: Integer {;} = 1",
                          u"A: Integer (*;*)",
                          u"A: Integer // ;",
                          u"[Ref] A: TRec",
                          u"A: string[20]; B: Byte",
                          u"A: TArray<Integer>; B: Byte",
                          u"&Type: Integer",
                          u"A\u00e9: Integer",
                          u"A: Word = $FF",
                          u"A: Word = #13; B: Char",
                          u"A: Word = 1 + (2 * 3); B",
                          u": Integer",
                          u"const",
                          u"A: void",
                          u"A: VOID; B: Byte",
                          u"A, B: void",
                          u"",
                          u" \r\n"}) {
    EXPECT_EQ(ParamSignature(text, lanPascal), ParsedSignature(text)) << StringToUtf8(text);
    // The test for the empty list's signature reads only the first parameters.
    EXPECT_EQ(IsEmptyParamSignature(text, lanPascal), ParsedSignature(text) == u"+")
        << StringToUtf8(text);
  }
}

TEST(ParamList, ModifierWordsAndLanguage) {
  EXPECT_EQ(ModifierText(pmNone), u"");
  EXPECT_EQ(ModifierText(pmOut), u"out");
  EXPECT_THROW(ModifierText(4), EAssertionFailed);
  TParamList list(lanUndefined);
  EXPECT_EQ(list.Language(), lanPascal);
  TParam &p = list.AddParam(0, pmConst, u" 1 ", u"Integer", u"X");
  EXPECT_EQ(p.DefaultValue, u"1");
  EXPECT_TRUE(p.SameName(u"x"));
  EXPECT_EQ(p.GetAsText(), u"const X: Integer = 1");
  EXPECT_THROW(p.SetDefaultValue(u"{ open"), EParamListError);
  // "Outer" is a name, not the modifier "out".
  auto names = ParseParamList(u"Outer, Constant: Byte", lanPascal);
  EXPECT_EQ((*names)[0].Modifier, pmNone);
  EXPECT_EQ((*names)[1].Name, u"Constant");
}

// ---- Every routine heading of the Free Pascal sources -------------------------------------

struct THeading {
  String Name;
  String Params;
};

// Routine headings with a parameter list: the routine's (possibly qualified) name and the
// raw text between its brackets.
std::vector<THeading> Headings(const String &source) {
  std::vector<THeading> out;
  TPascalTokenizer t(source);
  t.SetSkipKinds({TTokenKind::tkComment, TTokenKind::tkDirective});
  t.SetTolerateErrors(true);
  static const std::set<String> kRoutines = {u"PROCEDURE", u"FUNCTION", u"CONSTRUCTOR",
                                             u"DESTRUCTOR"};
  TTokenKind k = t.NextToken();
  while (k != TTokenKind::tkNone) {
    if (k != TTokenKind::tkIdent || !kRoutines.count(UpperCase(t.Token()))) {
      k = t.NextToken();
      continue;
    }
    String name;
    k = t.NextToken();
    while (k == TTokenKind::tkIdent ||
           (k == TTokenKind::tkSymbol &&
            (t.Token() == u"." || t.Token() == u"<" || t.Token() == u">" || t.Token() == u","))) {
      name += t.Token();
      k = t.NextToken();
    }
    if (name.empty() || k != TTokenKind::tkSymbol || t.Token() != u"(")
      continue;
    t.StartCollecting();
    Integer depth = 1;
    while (depth > 0) {
      k = t.NextToken();
      if (k == TTokenKind::tkNone || k == TTokenKind::tkError)
        break;
      if (k == TTokenKind::tkSymbol && t.Token() == u"(")
        ++depth;
      if (k == TTokenKind::tkSymbol && t.Token() == u")")
        --depth;
    }
    if (depth == 0)
      out.push_back({name, t.CollectedTextAsLine(false)});
    else
      t.StopCollecting();
  }
  return out;
}

class ParamListCorpus : public ::testing::TestWithParam<int> {};
constexpr int kShards = 8;

// C-style variable argument lists ("...", Mac Pascal mode) and C declarations ("s16 *in",
// left in a few sources that are never compiled) are no Delphi syntax.
bool IsDelphiSyntax(const String &params) {
  if (params.find(u"...") != String::npos)
    return false;
  for (std::size_t i = 0; i < params.size(); ++i)
    if (params[i] == u'*' && (i == 0 || params[i - 1] != u'(') &&
        (i + 1 == params.size() || params[i + 1] != u')'))
      return false;
  return true;
}

TEST_P(ParamListCorpus, EveryHeadingParsesAndDistinctTypesGetDistinctSignatures) {
  // Delphi mode: escaped identifiers ("&file") and generic names are on.
  TTokenizerSwitchesGuard switches;
  SetEscapedIdentifiersEnabled(true);
  SetGenericNamesEnabled(true);
  if (!test::FpcSourcesInstalled())
    GTEST_SKIP() << "Free Pascal sources not installed";
  const auto files = test::FpcSourceFiles(GetParam(), kShards);
  std::size_t headings = 0;
  for (std::size_t f = 0; f < files.size(); ++f) {
    const String text = test::ReadSourceText(files[f]);
    // Per routine name: which upper-cased type list each signature came from.
    std::map<String, std::map<String, std::vector<String>>> seen;
    for (const THeading &h : Headings(text)) {
      if (!IsDelphiSyntax(h.Params))
        continue;
      ++headings;
      std::unique_ptr<TParamList> list;
      try {
        list = ParseParamList(h.Params, lanPascal);
      } catch (const EParamListError &e) {
        ADD_FAILURE() << files[f] << ": " << StringToUtf8(h.Name) << "(" << StringToUtf8(h.Params)
                      << "): " << StringToUtf8(e.Message());
        continue;
      }
      EXPECT_EQ(ParamSignature(h.Params, lanPascal), list->GetSignature()) << StringToUtf8(h.Params);
      std::vector<String> types;
      for (Integer i = 0; i < list->Count(); ++i)
        types.push_back(AnsiUpperCase(NormalizeWhiteSpace((*list)[i].TypeText)));
      auto [it, fresh] = seen[AnsiUpperCase(h.Name)].emplace(list->GetSignature(), types);
      if (!fresh) {
        EXPECT_EQ(it->second, types) << files[f] << ": overloads of " << StringToUtf8(h.Name)
                                     << " share the signature " << StringToUtf8(it->first);
      }
    }
  }
  EXPECT_GT(headings, 1000u);
}

INSTANTIATE_TEST_SUITE_P(Shards, ParamListCorpus, ::testing::Range(0, kShards));

} // namespace
} // namespace krx
