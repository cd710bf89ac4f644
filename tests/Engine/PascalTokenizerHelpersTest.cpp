#include "Engine/PascalTokenizerHelpers.h"
#include "Engine/KRX.ProjectStorage.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

namespace krx {
namespace {

// A context that records what the helper tells it. UnexpectedToken raises EAbort unless
// told to return, so that a context which does not raise can be tried as well.
class TRecordingContext : public TInterfacedObject, public ITokenizerContext {
public:
  explicit TRecordingContext(TPreprocessedPascalTokenizer &t) : T(t) {}

  void UnexpectedToken() override {
    ++Unexpected;
    if (RaiseOnUnexpected)
      Abort();
  }
  void AttributeIdentifier() override { AttributeIdents.push_back(T.Token()); }
  void BracketIdentifier(Char open) override {
    BracketIdents.push_back(String(1, open) + T.Token());
  }
  void CheckIdentifier() override { Checked.push_back(T.Token()); }
  String CompressText(String text) override { return Compress ? Compress(text) : text; }
  void AddMessage(const String &text) override { Messages.push_back(text); }
  TTokenKinds GetSkipKinds() override { return T.SkipKinds(); }
  void IncludeFileStarted(const String &name) override { Events.push_back(u"start " + name); }
  void IncludeFileFinished(const String &name) override { Events.push_back(u"end " + name); }
  bool CurrentIsReservedWord() override { return SameText(T.Token(), u"begin"); }
  TTokenKind NextToken() override { return T.NextToken(); }
  bool ReadIncludeFile(String &name, TTokenizerTextPtr &source) override {
    auto it = Files.find(name);
    if (it == Files.end())
      return false;
    source = SplitTokenizerText(it->second);
    return true;
  }
  void SetSkipKinds(TTokenKinds kinds) override { T.SetSkipKinds(kinds); }

  TPreprocessedPascalTokenizer &T;
  bool RaiseOnUnexpected = true;
  std::function<String(const String &)> Compress;
  std::map<String, String> Files;
  Integer Unexpected = 0;
  std::vector<String> AttributeIdents, BracketIdents, Checked, Messages, Events;
};

// A helper over a text with a recording context, positioned before the first token.
struct Reader {
  explicit Reader(StringView text)
      : Helper([this](TPreprocessedPascalTokenizer &t) {
          Context = new TRecordingContext(t);
          return IPtr<ITokenizerContext>(Context);
        }) {
    T().SetSkipKinds(TTokenKinds{TTokenKind::tkComment, TTokenKind::tkDirective});
    T().SetText(text);
  }
  TPreprocessedPascalTokenizer &T() { return Helper.GetTokenizer(); }
  // Moves to the next token and checks that it is the given symbol.
  void Expect(StringView symbol) {
    T().NextToken();
    ASSERT_TRUE(T().IsSymbol(symbol)) << StringToUtf8(T().Token());
  }

  TRecordingContext *Context = nullptr;
  TPascalTokenizerHelper Helper;
};

class GenericNames : public ::testing::Test {
protected:
  TTokenizerSwitchesGuard Guard;
  void SetUp() override { SetGenericNamesEnabled(true); }
};

// ---- Names ----------------------------------------------------------------------------------

TEST(TokenizerHelper, IdentifiersAndDottedNamesLeaveTheFollowingTokenCurrent) {
  Reader r(u"Foo; System.SysUtils.Exception := x");
  EXPECT_EQ(r.Helper.ReadIdent(), u"Foo");
  r.Expect(u";");
  EXPECT_EQ(r.Helper.ReadQualifiedIdent(), u"System.SysUtils.Exception");
  EXPECT_TRUE(r.T().IsSymbol(u":="));
  EXPECT_EQ(r.Context->Checked,
            (std::vector<String>{u"Foo", u"System", u"SysUtils", u"Exception"}));
}

TEST(TokenizerHelper, UnexpectedTokensGoToTheContextAndTheDefaultContextAbortsSilently) {
  // A dot followed by no identifier.
  Reader r(u"x. ;");
  EXPECT_THROW(r.Helper.ReadQualifiedIdent(), EAbort);
  EXPECT_EQ(r.Context->Unexpected, 1);

  TPascalTokenizerHelper plain;
  plain.GetTokenizer().SetText(u"; Foo");
  EXPECT_THROW(plain.ReadIdent(), EAbort);
  EXPECT_EQ(plain.ReadIdent(), u"Foo");
}

TEST_F(GenericNames, TypeNamesTakeNestedGenericArgumentsWhileTheSwitchIsOn) {
  Reader r(u"TDictionary<string, TList<Integer>>.TPairEnumerator;"
           u" TFoo<TBar<X>, Y>.TBaz<Z> = nil;");
  EXPECT_EQ(r.Helper.ReadTypeIdent(), u"TDictionary<string, TList<Integer>>.TPairEnumerator");
  EXPECT_TRUE(r.T().IsSymbol(u";"));
  EXPECT_EQ(r.Helper.ReadTypeIdent(), u"TFoo<TBar<X>, Y>.TBaz<Z>");
  EXPECT_TRUE(r.T().IsSymbol(u"="));
  EXPECT_EQ(r.Helper.ReadIdent(), u"nil");
}

TEST(TokenizerHelper, TypeNamesStopBeforeTheAngleBracketWhileTheSwitchIsOff) {
  TTokenizerSwitchesGuard guard;
  SetGenericNamesEnabled(false);
  Reader r(u"TList<Integer>.Create");
  EXPECT_EQ(r.Helper.ReadTypeIdent(), u"TList");
  EXPECT_TRUE(r.T().IsSymbol(u"<"));
}

// ---- Bracketed texts ------------------------------------------------------------------------

TEST(TokenizerHelper, BracketedTextsCountTopLevelItemsAndKeepTheClosingBracketCurrent) {
  Reader r(u"(const A: Integer; B: TArray<Byte> = nil;\r\n   C: array of (x, y)) ;");
  r.Expect(u"(");
  Integer items = 0;
  EXPECT_EQ(r.Helper.ReadBracketed(u'(', u')', false, &items),
            u"const A: Integer; B: TArray<Byte> = nil; C: array of (x, y)");
  EXPECT_EQ(items, 1); // semicolons separate parameters; only commas count
  EXPECT_TRUE(r.T().IsSymbol(u")"));
  r.Expect(u";");
  EXPECT_EQ(r.Context->BracketIdents,
            (std::vector<String>{u"(const", u"(A", u"(Integer", u"(B", u"(TArray", u"(Byte",
                                 u"(nil", u"(C", u"(array", u"(of", u"(x", u"(y"}));

  Reader g(u"<K, TPair<K, V>, V >= 3> rest");
  g.Expect(u"<");
  EXPECT_EQ(g.Helper.ReadBracketed(u'<', u'>', false, &items), u"K, TPair<K, V>, V >= 3");
  EXPECT_EQ(items, 3);
  EXPECT_TRUE(g.T().IsSymbol(u">"));

  // Only SkipOnly: nothing is collected, the position is the same.
  Reader s(u"[a, [b, c], d] e");
  s.Expect(u"[");
  EXPECT_EQ(s.Helper.ReadBracketed(u'[', u']', true, &items), u"");
  EXPECT_EQ(items, 3);
  EXPECT_EQ(s.Helper.ReadIdent(), u"e");
}

TEST(TokenizerHelper, BracketedTextsPassAttributesOverAndWarnAboutCommentsAndDirectives) {
  Reader r(u"([Ref] const A; [Weak, Volatile] B: T // note\r\n {$IFDEF X}; C{$ENDIF}) {x} y");
  r.Context->Compress = [](const String &s) { return u"<" + s + u">"; };
  r.Expect(u"(");
  Integer items = 0;
  EXPECT_EQ(r.Helper.ReadBracketed(u'(', u')', false, &items),
            u"<[Ref] const A; [Weak, Volatile] B: T // note {$IFDEF X}; C{$ENDIF}>");
  EXPECT_EQ(items, 1); // the comma inside the attribute brackets does not count
  EXPECT_EQ(r.Context->AttributeIdents, (std::vector<String>{u"Ref", u"Weak", u"Volatile"}));
  EXPECT_EQ(r.Context->Messages,
            (std::vector<String>{u"// style comment in parameter list can cause import problems",
                                 u"Directive in parameter list can cause import problems",
                                 u"Directive in parameter list can cause import problems"}));
  // The skip set comes back, so the brace comment after the list is skipped again.
  EXPECT_EQ(r.T().SkipKinds(), (TTokenKinds{TTokenKind::tkComment, TTokenKind::tkDirective}));
  EXPECT_EQ(r.Helper.ReadIdent(), u"y");
}

TEST(TokenizerHelper, UnclosedBracketsAreReportedAndNeverHang) {
  // A raising context: the skip set and the mark are restored on the way out.
  Reader r(u"(a, (b)");
  r.Expect(u"(");
  EXPECT_THROW(r.Helper.ReadBracketed(u'(', u')', false), EAbort);
  EXPECT_EQ(r.T().SkipKinds(), (TTokenKinds{TTokenKind::tkComment, TTokenKind::tkDirective}));
  EXPECT_FALSE(r.T().Collecting());

  // A context that returns from UnexpectedToken: every reader stops at the end of the text.
  Reader q(u"<a, [b");
  q.Context->RaiseOnUnexpected = false;
  q.Expect(u"<");
  Integer items = 0;
  q.Helper.ReadBracketed(u'<', u'>', false, &items);
  EXPECT_EQ(items, 2);
  EXPECT_GE(q.Context->Unexpected, 1);
  for (const Char *text : {u"<T: ", u"<T: class x", u"<T, ", u"<[a", u"<T; U"}) {
    Reader p(text);
    p.Context->RaiseOnUnexpected = false;
    p.Expect(u"<");
    p.Helper.ReadGenericParamList(nullptr);
    EXPECT_GE(p.Context->Unexpected, 1) << StringToUtf8(text);
    EXPECT_EQ(p.T().TokenKind(), TTokenKind::tkNone) << StringToUtf8(text);
  }
  Reader n(u"[[x]");
  n.Context->RaiseOnUnexpected = false;
  n.Expect(u"[");
  n.Helper.SkipToClosingBracket(1);
  EXPECT_EQ(n.T().TokenKind(), TTokenKind::tkNone);
}

TEST(TokenizerHelper, BracketedTextsRefuseTokensThatCannotAppearInThem) {
  // An unterminated string, tolerated by the tokenizer, is an error token.
  Reader r(u"(a, 'open\r\n b)");
  r.T().SetTolerateErrors(true);
  r.Expect(u"(");
  EXPECT_THROW(r.Helper.ReadBracketed(u'(', u')', false), EAbort);
}

// ---- Generic parameter lists ----------------------------------------------------------------

TEST_F(GenericNames, ParameterListsGroupNamesWithTheirAttributesAndConstraints) {
  Reader r(u"<[Ref] [Weak(1)] T, U; V, W: class, constructor; X: IFoo<T>, System.IBar;"
           u" Y: record> tail");
  r.Expect(u"<");
  TGenericParamList list;
  list.Add({}, u"Stale", {});
  EXPECT_EQ(r.Helper.ReadGenericParamList(&list), 6);
  EXPECT_TRUE(r.T().IsSymbol(u">"));
  ASSERT_EQ(list.Count(), 6);
  struct Want {
    const Char *Attributes, *Name, *Constraints;
  };
  const Want want[] = {{u"[Ref] [Weak(1)]", u"T", u""},      {u"", u"U", u""},
                       {u"", u"V", u"class, constructor"},   {u"", u"W", u"class, constructor"},
                       {u"", u"X", u"IFoo<T>, System.IBar"}, {u"", u"Y", u"record"}};
  for (Integer i = 0; i < 6; ++i) {
    EXPECT_EQ(list[i].Attributes, want[i].Attributes) << i;
    EXPECT_EQ(list[i].Name, want[i].Name) << i;
    EXPECT_EQ(list[i].Constraints, want[i].Constraints) << i;
  }
  EXPECT_EQ(list.GetAsText(),
            u"<[Ref] [Weak(1)] T; U; V, W: class, constructor; X: IFoo<T>, System.IBar; "
            u"Y: record>");
  // The first word of a constraint is not an identifier to check ("constructor").
  EXPECT_EQ(r.Context->Checked, (std::vector<String>{u"T", u"U", u"V", u"W", u"X", u"IBar", u"Y"}));
}

TEST_F(GenericNames, AListEndJoinedToTheEqualSignEndsTheList) {
  // The tokenizer joins ">=" as a comparison; a declaration list ends at its ">".
  Reader r(u"<T>=class <T: class>= record <T: IFoo<T>, X.Y>=(a, b) <[A]T>= 1");
  for (const Char *next : {u"class", u"record", u"(", u"1"}) {
    r.Expect(u"<");
    TGenericParamList list;
    EXPECT_EQ(r.Helper.ReadGenericParamList(&list), 1);
    EXPECT_TRUE(r.T().IsSymbol(u">"));
    EXPECT_EQ(r.T().TokenStartCol() + 1, r.T().LinePos()) << "\">\" is one column";
    r.Expect(u"=");
    r.T().NextToken();
    EXPECT_EQ(r.T().Token(), next);
    if (String(next) == u"(")
      r.Helper.ReadBracketed(u'(', u')', true);
  }
  // Inside a text taken as written, ">=" stays a comparison (see the bracketed texts).
  Reader p(u"TFoo<T>= TFoo<T> =");
  TGenericIdentPath path;
  p.Helper.ReadGenericIdentPath(path, false, false);
  EXPECT_EQ(path[0].GenericText, u"<T>");
  EXPECT_TRUE(p.T().IsSymbol(u"="));
  // The "=" is collected once when the list is part of a collected text.
  Reader c(u"(x: TFoo<T>= nil)");
  c.Expect(u"(");
  EXPECT_EQ(c.Helper.ReadBracketed(u'(', u')', false), u"x: TFoo<T>= nil");
}

TEST(GenericParamList, TextsReadBackGroupedAndMalformedTextsRaiseTheListError) {
  TTokenizerSwitchesGuard guard;
  SetGenericNamesEnabled(true);
  TGenericParamList list;
  list.ParseText(u"  <A, B; C: class>  ");
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list[2].Name, u"C");
  EXPECT_EQ(list[2].Constraints, u"class");
  EXPECT_EQ(list.GetAsText(), u"<A, B; C: class>");

  // Equal constraints (by tokens) join separate groups; attributes never join.
  list.ParseText(u"<T: TObject; U: tobject; [A] V: TObject; W: TObject>");
  EXPECT_EQ(list.GetAsText(), u"<T, U: TObject; [A] V: TObject; W: TObject>");
  list.ParseText(u"<T: {comment} TFoo< X,Y >;U:TFoo<X, y>>");
  EXPECT_EQ(list[0].Constraints, u"TFoo<X,Y>");
  EXPECT_EQ(list[1].Constraints, u"TFoo<X, y>");
  EXPECT_EQ(list.GetAsText(), u"<T, U: TFoo<X,Y>>");

  // A text written by GetAsText reads back to the same text.
  for (const Char *text : {u"<T>", u"<[A] [B] T: class; U, V: class; W: IFoo<T>, record>",
                           u"<K; V: TList<TPair<K, V>>>"}) {
    list.ParseText(text);
    EXPECT_EQ(list.GetAsText(), String(text));
  }

  for (const Char *bad :
       {u"T", u"<T", u"<>", u"<T: (x)>", u"<T = x>", u"<(T)>", u"<T; >", u"<T: class", u"<'s'>"}) {
    list.ParseText(u"<Old>");
    try {
      list.ParseText(bad);
      ADD_FAILURE() << StringToUtf8(bad) << " was read";
    } catch (const EGenericParamListError &e) {
      EXPECT_EQ(e.Message(), u"Illegal generic parameter list:\r\n" + String(bad));
    } catch (const std::exception &e) {
      ADD_FAILURE() << StringToUtf8(bad) << ": " << e.what();
    }
    EXPECT_EQ(list.Count(), 0) << StringToUtf8(bad);
  }
  static_assert(std::is_base_of_v<EAbort, EGenericParamListError>);

  list.ParseText(u"<T>");
  list.ParseText(u" \t");
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.GetAsText(), u"");
}

TEST(GenericParamList, InsertAndIndexChecks) {
  TGenericParamList list;
  list.Add({}, u"B", {});
  list.Insert(0, std::make_unique<TGenericParam>(u"[A]", u"A", u"class"));
  list.Insert(2, std::make_unique<TGenericParam>(String(), u"C", String()));
  EXPECT_EQ(list.GetAsText(), u"<[A] A: class; B, C>");
  EXPECT_THROW(list[3], EArgumentOutOfRangeException);
  EXPECT_THROW(list.Insert(5, std::make_unique<TGenericParam>()), EArgumentOutOfRangeException);
}

// ---- Generic identifier paths ---------------------------------------------------------------

TEST_F(GenericNames, IdentPathsReadGenericPartsAsTextOrAsParameterLists) {
  Reader r(u"TDictionary<string, TList<Integer>>.TPair<>.Create(");
  TGenericIdentPath path;
  r.Helper.ReadGenericIdentPath(path, true, false);
  ASSERT_EQ(path.size(), 3u);
  EXPECT_EQ(path[0].Name, u"TDictionary");
  EXPECT_EQ(path[0].GenericText, u"<string, TList<Integer>>");
  EXPECT_EQ(path[0].GenericCount, 2);
  EXPECT_EQ(path[1].GenericText, u"<>");
  EXPECT_EQ(path[1].GenericCount, 0);
  EXPECT_EQ(path[2].GenericText, u"");
  EXPECT_TRUE(r.T().IsSymbol(u"("));
  EXPECT_EQ(GenericIdentPathText(path, 3), u"TDictionary<string, TList<Integer>>.TPair<>.Create");
  EXPECT_EQ(GenericIdentPathText(path, 1), u"TDictionary<string, TList<Integer>>");
  EXPECT_EQ(GenericIdentPathLookupName(path, 2), u"TDictionary<,>.TPair");
  EXPECT_EQ(GenericIdentPathLookupName(path, 0), u"");
  EXPECT_THROW(GenericIdentPathText(path, 4), EAssertionFailed);
  EXPECT_THROW(GenericIdentPathLookupName(path, 3), EAssertionFailed);

  Reader p(u"TFoo<T: class; [A] U>.TBar<V>.Method;");
  path.clear();
  p.Helper.ReadGenericIdentPath(path, false, false);
  ASSERT_EQ(path.size(), 3u);
  EXPECT_EQ(path[0].GenericText, u"<T: class; [A] U>");
  EXPECT_EQ(path[0].GenericCount, 2);
  EXPECT_EQ(path[1].GenericText, u"<V>");
  EXPECT_EQ(GenericIdentPathLookupName(path, 2), u"TFoo<,>.TBar<>");
  EXPECT_TRUE(p.T().IsSymbol(u";"));
  EXPECT_THROW(p.Helper.ReadGenericIdentPath(path, true, false), EAssertionFailed);
}

TEST_F(GenericNames, OptionalIdentPathsLeaveReservedWordsAndSymbolsAlone) {
  TGenericIdentPath path;
  Reader r(u"begin");
  r.Helper.ReadGenericIdentPath(path, true, true);
  EXPECT_TRUE(path.empty());
  EXPECT_EQ(r.T().Token(), u"begin");
  Reader s(u";");
  s.Helper.ReadGenericIdentPath(path, true, true);
  EXPECT_TRUE(path.empty());
  EXPECT_EQ(s.Context->Unexpected, 0);
  // Only the first part is optional.
  Reader t(u"A.;");
  EXPECT_THROW(t.Helper.ReadGenericIdentPath(path, true, true), EAbort);
  path.clear();
  Reader u(u"begin");
  u.Helper.ReadGenericIdentPath(path, true, false);
  ASSERT_EQ(path.size(), 1u);
  path.clear();
  Reader v(u";");
  EXPECT_THROW(v.Helper.ReadGenericIdentPath(path, true, false), EAbort);
}

TEST(TokenizerHelper, IdentPathsIgnoreAngleBracketsWhileTheSwitchIsOff) {
  TTokenizerSwitchesGuard guard;
  SetGenericNamesEnabled(false);
  Reader r(u"TFoo<T>.Bar");
  TGenericIdentPath path;
  r.Helper.ReadGenericIdentPath(path, true, false);
  ASSERT_EQ(path.size(), 1u);
  EXPECT_EQ(path[0].GenericText, u"");
  EXPECT_TRUE(r.T().IsSymbol(u"<"));
}

// ---- Tokenizer events and project conditionals ---------------------------------------------

TEST(TokenizerHelper, TokenizerEventsReachTheContext) {
  Reader r(u"{$I inc.inc} {$ENDIF} b");
  r.Context->Files[u"inc.inc"] = u"a";
  r.T().SetEvaluateConditions(true);
  EXPECT_EQ(r.Helper.ReadIdent(), u"a");
  EXPECT_EQ(r.Helper.ReadIdent(), u"b");
  EXPECT_EQ(r.Context->Events, (std::vector<String>{u"start inc.inc", u"end inc.inc"}));
  ASSERT_EQ(r.Context->Messages.size(), 1u);
  EXPECT_TRUE(StartsStr(u"Unmatched", r.Context->Messages[0]));
}

class TStoredConditionals : public TProjectStorage {
protected:
  String ReadString(const String &section, const String &ident, const String &) override {
    EXPECT_EQ(section, u"Parser");
    return ident == u"Defines" ? u"ALPHA;BETA" : u"Gamma > 2";
  }
};

TEST(TokenizerHelper, EvaluatingConditionsTakesTheProjectConditionals) {
  TPascalTokenizerHelper helper;
  TCompilerContext &cc = helper.GetTokenizer().CompilerContext();
  cc.SetDefines(u"OLD");
  cc.SetIfExpressions(u"Old > 1");
  helper.SetEvaluateConditions(true);
  EXPECT_TRUE(helper.GetTokenizer().EvaluateConditions());
  EXPECT_EQ(cc.Defines(), u"");
  EXPECT_EQ(cc.IfExpressions(), u"");

  RegisterProjectStorageClass([] { return std::make_unique<TStoredConditionals>(); });
  try {
    helper.SetEvaluateConditions(false);
    RegisterProjectStorageClass(nullptr);
  } catch (...) {
    RegisterProjectStorageClass(nullptr);
    throw;
  }
  EXPECT_FALSE(helper.GetTokenizer().EvaluateConditions());
  EXPECT_TRUE(cc.IsDefined(u"ALPHA"));
  EXPECT_TRUE(cc.IsDefined(u"BETA"));
  EXPECT_TRUE(cc.EvaluateCondition(u"Gamma > 2"));
}

} // namespace
} // namespace krx
