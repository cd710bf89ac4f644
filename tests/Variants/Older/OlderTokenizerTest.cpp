// The older revision's tokenizer units: lines read from a text stream, the ten-operation
// context, the helper chosen by class, the parameter-list tokenizer services, the generic
// parameter parser, the extra language operation, and the grammar reading directives as
// tokens it passes over.
#include "Engine/CodeItems.h"
#include "Engine/ModuleExplorers.h"
#include "Engine/ParamTokens.h"
#include "Engine/PascalTokenizerHelpers.h"
#include "World/StringsText.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

// Every token as "text;" up to the end, and the line number at the end.
String Tokens(TKRBaseTokenizer &t) {
  String s;
  while (t.NextToken() != TTokenKind::tkNone)
    s += t.Token() + u";";
  return s + u"#" + IntToStr(t.LineNr());
}

TEST(OlderTokenizer, ReadsFromEveryKindOfSource) {
  TStringList list;
  list.SetText(u"a b\r\n\r\nc");
  TPascalTokenizer fromText(u"x\ny := 1");
  TPascalTokenizer fromList(&list);
  TPascalTokenizer listFirst(&list, u"ignored");
  TPascalTokenizer textWithoutList(nullptr, u"t");
  auto stream = std::make_unique<TTextString>();
  stream->SetText(u"s1\r\ns2");
  TPascalTokenizer fromStream(std::move(stream));
  EXPECT_EQ(Tokens(fromText), u"x;y;:=;1;#2");
  EXPECT_EQ(Tokens(fromList), u"a;b;c;#3");
  EXPECT_EQ(Tokens(listFirst), u"a;b;c;#3");
  EXPECT_EQ(Tokens(textWithoutList), u"t;#1");
  EXPECT_EQ(Tokens(fromStream), u"s1;s2;#2");
  EXPECT_EQ(dynamic_cast<TStringsText *>(&fromList.Stream())->ReadOnly, true);
}

TEST(OlderTokenizer, SetTextKeepsATextStreamAndReplacesAnyOther) {
  TStringList list;
  list.Add(u"old");
  TPascalTokenizer t(&list);
  t.NextToken();
  t.SetText(u"new text");
  EXPECT_NE(dynamic_cast<TTextString *>(&t.Stream()), nullptr);
  EXPECT_EQ(t.TokenKind(), TTokenKind::tkNone);
  EXPECT_EQ(t.Token(), u"");
  TTextStream *kept = &t.Stream();
  t.NextToken();
  t.SetText(u"again");
  EXPECT_EQ(&t.Stream(), kept);
  EXPECT_EQ(Tokens(t), u"again;#1");
}

TEST(OlderTokenizer, DefaultContextWorksThroughItsTokenizer) {
  TPascalTokenizer t(u"a {c} b");
  TDefaultTokenizerContext context(&t);
  context.SetSkipKinds(TTokenKinds{TTokenKind::tkComment});
  EXPECT_EQ(t.SkipKinds(), context.GetSkipKinds());
  context.NextToken();
  EXPECT_EQ(context.NextToken(), TTokenKind::tkIdent);
  EXPECT_EQ(t.Token(), u"b");
  EXPECT_EQ(context.CompressText(u"x  y"), u"x  y");
  EXPECT_THROW(context.UnexpectedToken(), EAbort);
}

TEST(OlderTokenizer, StripCommentDelimitersLooksAtTheFirstCharacterOnly) {
  const struct {
    const Char *In;
    bool Ok;
    const Char *Out;
  } cases[] = {
      {u"  { note }  ", true, u" note "}, {u"{}", true, u""},       {u"{", false, u""},
      {u"(* x *)", true, u" x "},         {u"(abcd", true, u"bcd"}, {u"(abc)", true, u"b"},
      {u"(*)", false, u")"},              {u"// c", true, u" c"},   {u"x", false, u"x"},
  };
  for (const auto &c : cases) {
    String s = c.In;
    EXPECT_EQ(StripCommentDelimiters(s), c.Ok) << StringToUtf8(c.In);
    if (c.Ok) {
      EXPECT_EQ(s, c.Out) << StringToUtf8(c.In);
    }
  }
}

TEST(OlderParamTokens, NormalizeRejoinsOnAnyControlCharacter) {
  const struct {
    const Char *In;
    const Char *Out;
  } cases[] = {
      {u"array of\tInteger", u"array of Integer"}, {u"x\t:=\t1", u"x:=1"},
      {u"a\x01" u"b", u"a b"},                       {u"'a'\t'b'", u"'a' 'b'"},
      {u"TList<Integer>", u"TList<Integer>"},      {u"", u""},
  };
  for (const auto &c : cases)
    EXPECT_EQ(NormalizeWhiteSpace(c.In), c.Out) << StringToUtf8(c.In);
}

TEST(OlderParamTokens, TokenComparisonHonoursTheCaseFlag) {
  auto same = [](StringView a, StringView b, bool caseSensitive) {
    return SameTokens(*CreateParamTokenizer(nullptr, a), *CreateParamTokenizer(nullptr, b),
                      caseSensitive);
  };
  EXPECT_TRUE(same(u"Foo ( x )", u"foo(x)", false));
  EXPECT_FALSE(same(u"Foo(x)", u"foo(x)", true));
  EXPECT_TRUE(same(u"Foo(x)", u"Foo (x)", true));
  EXPECT_FALSE(same(u"a", u"a b", false));
  EXPECT_TRUE(SameIgnoringWhiteSpace(u"CLASS,  Record", u"class,record"));
}

TEST(OlderHelper, ClassFollowsTheGenericNamesSwitch) {
  TTokenizerSwitchesGuard guard;
  for (bool generics : {false, true}) {
    SetGenericNamesEnabled(generics);
    TPascalTokenizer t(u"TList<T>.TEnum;");
    auto helper = CreateTokenizerHelper(t, nullptr);
    EXPECT_EQ(dynamic_cast<TPascalGenericsTokenizerHelper *>(helper.get()) != nullptr, generics);
    EXPECT_EQ(helper->ReadTypeIdent(), generics ? u"TList<T>.TEnum" : u"TList");
  }
}

TEST(OlderHelper, GenericParamParserReadsAndRejects) {
  TGenericParamList list;
  list.ParseText(u"  <T, U: class; [A] V>  ");
  EXPECT_EQ(list.GetAsText(), u"<T, U: class; [A] V>");
  for (const Char *bad : {u"T>", u"<T; >", u"<T: (>", u"<T"}) {
    TPascalGenericParamParser parser;
    try {
      parser.Parse(bad, list);
      ADD_FAILURE() << StringToUtf8(bad);
    } catch (const EGenericParamListError &e) {
      EXPECT_EQ(e.Message(), u"Illegal generic parameter list:\r\n" + String(bad));
    }
  }
  TPascalGenericParamParser parser;
  parser.Parse(u"   ", list);
  EXPECT_EQ(list.Count(), 0);
}

TEST(OlderLanguage, ProceduralTypeFormIsOne) {
  const TSourceLanguage &language = *GlobalPascalLanguage();
  EXPECT_EQ(language.DelegateDeclarationForm(), 1);
}

TEST(OlderGrammar, ReadsBothBranchesAndNoIncludeFile) {
  auto explorer = ModuleExplorerRegistry().CreateExplorer(lanPascal);
  explorer->ExploreText(u"unit U;\ninterface\n{$IFDEF X}\nprocedure A;\n{$ELSE}\nprocedure B;\n"
                        u"{$ENDIF}\n{$I missing.inc}\nimplementation\nend.");
  for (const Char *name : {u"A", u"B"}) {
    std::vector<TCodeItem *> found;
    explorer->ModuleItem()->CollectChildren(name, found, TCodeItemKinds{ckProcedure}, true);
    EXPECT_EQ(found.size(), 1u) << StringToUtf8(name);
  }
  EXPECT_EQ(explorer->Messages()->GetMessagesText().find(u"Include"), String::npos)
      << StringToUtf8(explorer->Messages()->GetMessagesText());
}

} // namespace
} // namespace krx
