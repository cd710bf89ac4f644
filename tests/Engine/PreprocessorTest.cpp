#include "Engine/KRX.BoolExpEval.h"
#include "Engine/KRX.PascalPreprocessors.h"
#include "Engine/KRX.ProjectStorage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

namespace krx {
namespace {

// Idents, numbers and symbols of the compiled text joined by blanks; directives that come
// back are shown as they are.
String Compiled(TPreprocessedPascalTokenizer &t) {
  String r;
  while (t.NextToken() != TTokenKind::tkNone) {
    if (!r.empty())
      r += u' ';
    r += t.Token();
  }
  return r;
}

String Compiled(StringView text, std::vector<String> *errors = nullptr, StringView defines = {}) {
  TPascalPreprocessor pp;
  pp.CompilerContext().SetDefines(defines);
  if (errors)
    pp.Tokenizer().OnError = [errors](const String &m) { errors->push_back(m); };
  pp.SetText(text);
  return Compiled(pp.Tokenizer());
}

// ---- Boolean expressions ------------------------------------------------------------------

bool Eval(StringView expr, const std::map<String, bool> &leaves,
          std::vector<String> *seen = nullptr, bool *error = nullptr) {
  TPascalTokenizer t(expr);
  TBooleanExpressionEvaluator ev(&t);
  ev.OnEvaluateLeaf = [&](const String &leaf) {
    if (seen)
      seen->push_back(leaf);
    auto it = leaves.find(leaf);
    return it != leaves.end() && it->second;
  };
  bool r = ev.Evaluate();
  if (error)
    *error = ev.Error();
  return r;
}

TEST(BooleanExpressionEvaluator, AndOrNotAndParentheses) {
  std::map<String, bool> v = {{u"A", true}, {u"B", false}, {u"C", true}};
  EXPECT_TRUE(Eval(u"A and C", v));
  EXPECT_FALSE(Eval(u"A AND B", v));
  EXPECT_TRUE(Eval(u"B or C", v));
  EXPECT_FALSE(Eval(u"B Or B", v));
  EXPECT_TRUE(Eval(u"not B", v));
  EXPECT_FALSE(Eval(u"NOT (B OR C)", v));
  EXPECT_TRUE(Eval(u"NOT B OR C", v));
  EXPECT_TRUE(Eval(u"A AND (B OR C) AND NOT B", v));
  // AND binds tighter than OR.
  EXPECT_TRUE(Eval(u"C OR B AND B", v));
}

TEST(BooleanExpressionEvaluator, EveryLeafIsEvaluatedAndStrippedOfBlanks) {
  std::vector<String> seen;
  Eval(u"A OR defined( X ) AND CompilerVersion >= 35.0", {}, &seen);
  EXPECT_EQ(seen, (std::vector<String>{u"A", u"defined(X)", u"CompilerVersion>=35.0"}));
  seen.clear();
  Eval(u"(F(a, b)) AND G", {}, &seen);
  EXPECT_EQ(seen, (std::vector<String>{u"F(a,b)", u"G"}));
  seen.clear();
  Eval(u"\tdefined(\tX\r\n)\r\nOR\tY\t", {}, &seen); // tabs and line breaks are blanks too
  EXPECT_EQ(seen, (std::vector<String>{u"defined(X)", u"Y"}));
  seen.clear();
  EXPECT_FALSE(Eval(u"", {}, &seen));
  EXPECT_EQ(seen, (std::vector<String>{u""}));
  // No short cut after a true left side of OR: the right side is read too, and the rest of
  // the expression after the parenthesis still counts.
  seen.clear();
  bool error = true;
  EXPECT_TRUE(Eval(u"(Defined(A) or Defined(B)) and Defined(C)",
                   {{u"Defined(A)", true}, {u"Defined(C)", true}}, &seen, &error));
  EXPECT_FALSE(error);
  EXPECT_EQ(seen, (std::vector<String>{u"Defined(A)", u"Defined(B)", u"Defined(C)"}));
}

TEST(BooleanExpressionEvaluator, MalformedExpressionsGiveWhatWasComputed) {
  std::map<String, bool> v = {{u"A", true}};
  bool error = false;
  EXPECT_FALSE(Eval(u"(A", v, nullptr, &error));
  EXPECT_TRUE(error);
  // A stray ")" ends the leaf; the part before it counts.
  EXPECT_TRUE(Eval(u"A ) OR X", v, nullptr, &error));
  EXPECT_TRUE(error);
  EXPECT_TRUE(Eval(u"A", v, nullptr, &error));
  EXPECT_FALSE(error);
  // An invalid token inside is an error, not a crash.
  EXPECT_FALSE(Eval(u"A AND 'open", v, nullptr, &error));
  EXPECT_TRUE(error);
  // Nesting deep enough to exhaust the stack is refused.
  String deep(100000, u'(');
  deep += u"A";
  EXPECT_FALSE(Eval(deep, v, nullptr, &error));
  EXPECT_TRUE(error);
  String ok = String(200, u'(') + u"A" + String(200, u')');
  EXPECT_TRUE(Eval(ok, v, nullptr, &error));
  EXPECT_FALSE(error);
  // The bound is on nesting, not on the number of parentheses.
  String siblings = u"(A)";
  for (int i = 0; i < 300; ++i)
    siblings += u" AND (A)";
  EXPECT_TRUE(Eval(siblings, v, nullptr, &error));
  EXPECT_FALSE(error);
}

// ---- Compiler context ---------------------------------------------------------------------

TEST(CompilerContext, DefaultsAndSymbols) {
  TCompilerContext c;
  EXPECT_EQ(c.CompilerSwitches(),
            u"{$A8,B-,C+,D+,E-,F-,G+,H+,I+,J-,K-,L+,M-,N+,O+,P+,Q-,R-,S-,T-,U-,V+,W-,X+,YD,Z1}");
  EXPECT_EQ(c.CompilerVersion(), dcmpDelphi11Win32);
  EXPECT_TRUE(c.IsDefined(u"mswindows"));
  EXPECT_TRUE(c.IsDefined(u"KRX"));
  EXPECT_TRUE(c.IsDefined(u"VER350"));
  EXPECT_FALSE(c.IsDefined(u"ver350"));
  EXPECT_FALSE(c.IsDefined(u"VER340"));
  EXPECT_FALSE(c.IsDefined(u"FPC"));
  c.SetCompilerVersion(dcmpDelphi10_4Win32);
  EXPECT_TRUE(c.IsDefined(u"VER340"));
  EXPECT_EQ(CompilerVersionName(dcmpDelphi10_1Win32), u"dcmpDelphi10_1Win32");
  EXPECT_EQ(CompilerVersionSymbol(dcmpDelphi10Win32), u"VER300");
}

TEST(CompilerContext, DefinesAndIfExpressions) {
  TCompilerContext c;
  c.SetDefines(u"Beta;alpha; ;ALPHA;");
  EXPECT_EQ(c.Defines(), u"alpha;Beta");
  EXPECT_TRUE(c.IsDefined(u"BETA"));
  c.SetDefine(u"beta", false);
  EXPECT_FALSE(c.IsDefined(u"Beta"));
  c.SetDefine(u"Gamma", true);
  c.SetDefine(u"GAMMA", true);
  c.SetDefine(u"Delta", false); // not defined: its neighbours stay
  EXPECT_EQ(c.Defines(), u"alpha;Gamma");
  c.SetIfExpressions(u"FOO>3;a b");
  EXPECT_EQ(c.IfExpressions(), u"FOO>3;a b");
  EXPECT_TRUE(c.EvaluateCondition(u"foo>3"));

  TCompilerContext d;
  d.SetSwitch(u'R', 1);
  d.SetCompilerVersion(dcmpDelphi10Win32);
  c.Assign(d);
  EXPECT_EQ(c.Defines(), u"");
  EXPECT_EQ(c.IfExpressions(), u"");
  EXPECT_EQ(c.Switch(u'R'), 1);
  EXPECT_EQ(c.CompilerVersion(), dcmpDelphi10Win32);
}

TEST(CompilerContext, VersionComparisons) {
  TCompilerContext c;
  EXPECT_TRUE(c.EvaluateCondition(u"CompilerVersion>=35"));
  EXPECT_TRUE(c.EvaluateCondition(u"COMPILERVERSION=35.0"));
  EXPECT_FALSE(c.EvaluateCondition(u"RTLVersion<35"));
  EXPECT_TRUE(c.EvaluateCondition(u"RTLVERSION<>34"));
  EXPECT_TRUE(c.EvaluateCondition(u"CompilerVersion>34.5"));
  EXPECT_FALSE(c.EvaluateCondition(u"CompilerVersion>=0"));
  EXPECT_FALSE(c.EvaluateCondition(u"CompilerVersion<>0"));
  EXPECT_FALSE(c.EvaluateCondition(u"FPC_VERSION>=3"));
  EXPECT_FALSE(c.EvaluateCondition(u"CompilerVersion"));
  EXPECT_FALSE(c.EvaluateCondition(u"CompilerVersion:=35"));
  EXPECT_FALSE(c.EvaluateCondition(u"CompilerVersion>=$23"));
  c.SetCompilerVersion(dcmpDelphi10_3Win32);
  EXPECT_FALSE(c.EvaluateCondition(u"CompilerVersion>=34"));
  EXPECT_TRUE(c.EvaluateCondition(u"CompilerVersion<=33"));
}

TEST(CompilerContext, SwitchTextsRoundTrip) {
  TCompilerContext c;
  c.SetCompilerSwitches(u"{$A4,B+,R+,YD,Z2,Y-}");
  EXPECT_EQ(c.SwitchText(u'A'), u"A4");
  EXPECT_EQ(c.SwitchText(u'B'), u"B+");
  EXPECT_EQ(c.SwitchText(u'R'), u"R+");
  EXPECT_EQ(c.SwitchText(u'Y'), u"Y-");
  EXPECT_EQ(c.SwitchText(u'Z'), u"Z2");
  TCompilerContext d;
  d.SetCompilerSwitches(c.CompilerSwitches());
  EXPECT_EQ(d.CompilerSwitches(), c.CompilerSwitches());
  EXPECT_THROW(d.SetCompilerSwitches(u"no directive"), EAssertionFailed);
}

// ---- Preprocessing tokenizer --------------------------------------------------------------

TEST(Preprocessor, WithoutEvaluationEveryDirectiveComesBack) {
  TPreprocessedPascalTokenizer t;
  t.SetText(u"{$IFDEF NONE} a {$ELSE} b {$ENDIF}");
  EXPECT_EQ(Compiled(t), u"{$IFDEF NONE} a {$ELSE} b {$ENDIF}");
}

TEST(Preprocessor, IfdefElseAndNesting) {
  EXPECT_EQ(Compiled(u"{$IFDEF NONE} a {$IFDEF KRX} b {$ELSE} c {$ENDIF} d {$ELSE} e {$ENDIF} f"),
            u"e f");
  EXPECT_EQ(Compiled(u"{$IFNDEF NONE} a {$ELSE} b {$ENDIF}"), u"a");
  EXPECT_EQ(Compiled(u"{$ifdef mswindows} a {$endif} (*$IFDEF NONE*) b (*$ENDIF*) c"), u"a c");
  EXPECT_EQ(Compiled(u"{$DEFINE X} {$IFDEF X} a {$ENDIF} {$UNDEF X} {$IFDEF X} b {$ENDIF}"), u"a");
  // Defines in dropped text are not applied.
  EXPECT_EQ(Compiled(u"{$IFDEF NONE}{$DEFINE Y}{$ENDIF}{$IFDEF Y} a {$ENDIF}"), u"");
  EXPECT_EQ(Compiled(u"{$IFDEF P} a {$ENDIF}", nullptr, u"p"), u"a");
  EXPECT_EQ(Compiled(u"{$IFDEF 0} a {$ELSE} b {$ENDIF}"), u"b");
}

TEST(Preprocessor, IfAndElseIf) {
  EXPECT_EQ(Compiled(u"{$IF CompilerVersion >= 35} a {$ELSE} b {$IFEND}"), u"a");
  EXPECT_EQ(Compiled(u"{$IF RTLVersion < 35} a {$ELSE} b {$ENDIF}"), u"b");
  EXPECT_EQ(Compiled(u"{$IF CompilerVersion >= 0} a {$ELSE} b {$ENDIF}"), u"b");
  EXPECT_EQ(Compiled(u"{$IF Defined(KRX) and not Defined(NONE)} a {$ENDIF}"), u"a");
  EXPECT_EQ(Compiled(u"{$IF True} a {$ENDIF}"), u"a");
  EXPECT_EQ(Compiled(u"{$IF NONE} a {$ELSEIF defined(KRX)} b {$ELSEIF True} c {$ELSE} d {$ENDIF}"),
            u"b");
  // A body of two characters is no conditional: the ENDIF then has nothing to close.
  std::vector<String> errors;
  EXPECT_EQ(Compiled(u"{$IF} a {$ENDIF} b", &errors), u"{$IF} a b");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(StartsStr(u"Unmatched conditional define", errors[0]));
}

TEST(Preprocessor, ElseIfAfterTakenBranchIsNotEvaluated) {
  TPascalPreprocessor pp;
  pp.CompilerContext().SetIfExpressions(u"X");
  std::vector<String> errors;
  pp.Tokenizer().OnError = [&](const String &m) { errors.push_back(m); };
  // Were the ELSEIF evaluated, its unbalanced expression would still give False; what shows
  // it is skipped is that a taken IF keeps ELSE branches out.
  pp.SetText(u"{$IF X} a {$ELSEIF X} b {$ELSE} c {$ENDIF}");
  EXPECT_EQ(Compiled(pp.Tokenizer()), u"a");
  EXPECT_TRUE(errors.empty());
}

TEST(Preprocessor, IfExpressionsMatchTheBlankFreeUpperCaseLeaf) {
  TPascalPreprocessor pp;
  pp.CompilerContext().SetIfExpressions(u"myflag>2;A B");
  pp.SetText(u"{$IF MyFlag > 2} a {$ENDIF} {$IF A B} b {$ENDIF}");
  EXPECT_EQ(Compiled(pp.Tokenizer()), u"a");
}

TEST(Preprocessor, LegacyIfEndChecksTheKind) {
  std::vector<String> errors;
  EXPECT_EQ(Compiled(u"{$IF True} a {$ENDIF} b", &errors), u"a b");
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(Compiled(u"{$IFDEF KRX} a {$IFEND} b", &errors), u"a b");
  EXPECT_TRUE(errors.empty());
  TPascalPreprocessor pp;
  pp.CompilerContext().SetDefine(u"LEGACYIFEND", true);
  pp.Tokenizer().OnError = [&](const String &m) { errors.push_back(m); };
  pp.SetText(u"{$IF False} a {$ENDIF} b {$IFEND} c");
  EXPECT_EQ(Compiled(pp.Tokenizer()), u"c");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], u"Unmatched conditional define at line 1; column 15\r\n"
                       u"{$IF False} a {$ENDIF} b {$IFEND} c");
}

TEST(Preprocessor, ErrorsAreReportedOrRaised) {
  std::vector<String> errors;
  EXPECT_EQ(Compiled(u"a {$ELSE}\n{$ENDIF}\n{$ELSEIF X}{$IFDEF}{$IFNDEF 'x'}\n{$IFOPT Q}b{$ENDIF}",
                     &errors),
            u"a {$ELSE} {$ELSEIF X} {$IFDEF} {$IFNDEF 'x'}");
  ASSERT_EQ(errors.size(), 6u);
  EXPECT_EQ(errors[0], u"Unmatched ELSE at line 1; column 3\r\na {$ELSE}");
  EXPECT_TRUE(StartsStr(u"Unmatched conditional define at line 2; column 1", errors[1]));
  EXPECT_TRUE(StartsStr(u"Unmatched ELSEIF at line 3", errors[2]));
  EXPECT_TRUE(StartsStr(u"Bad IFDEF condition", errors[3]));
  EXPECT_TRUE(StartsStr(u"Bad IFNDEF condition", errors[4]));
  EXPECT_TRUE(StartsStr(u"Bad IFOPT condition at line 4", errors[5]));
  EXPECT_THROW(Compiled(u"{$ENDIF}"), ECompilationConditionError);
}

TEST(Preprocessor, ErrorsNameWhereADirectiveOnSeveralLinesStarts) {
  const StringView text = u"a\n\n\n  {$ELSE\n}\nb";
  std::vector<String> errors;
  EXPECT_EQ(Compiled(text, &errors), u"a {$ELSE\r\n} b");
  EXPECT_EQ(errors, (std::vector<String>{u"Unmatched ELSE at line 4; column 3\r\n  {$ELSE"}));
  try {
    Compiled(text);
    ADD_FAILURE() << "no ECompilationConditionError";
  } catch (const ECompilationConditionError &e) {
    EXPECT_EQ(e.Pos, (TSourcePos{4, 3}));
  }
}

TEST(Preprocessor, SwitchesAndIfOpt) {
  TPascalPreprocessor pp;
  pp.SetText(u"{$R+} {$IFOPT R+} a {$ENDIF} {$R *.res} {$Q+, I-} {$IFOPT I-} b {$ENDIF} "
             u"{$ALIGN 4}{$MINENUMSIZE ON}{$RANGECHECKS OFF}{$IFOPT R-} c {$ENDIF}");
  EXPECT_EQ(Compiled(pp.Tokenizer()), u"{$R+} a {$R *.res} {$Q+, I-} {$ALIGN 4} "
                                      u"{$MINENUMSIZE ON} {$RANGECHECKS OFF} c");
  const TCompilerContext &c = pp.CompilerContext();
  EXPECT_EQ(c.Switch(u'Q'), 1);
  EXPECT_EQ(c.Switch(u'I'), 1); // the part after the blank is not applied
  EXPECT_EQ(c.Switch(u'A'), 4);
  EXPECT_EQ(c.Switch(u'Z'), 4);
  EXPECT_EQ(c.Switch(u'R'), 0);
  pp.SetText(u"{$ALIGN OFF}{$A2,YD,Z-}{$IFDEF NONE}{$B+}{$ENDIF}");
  Compiled(pp.Tokenizer());
  EXPECT_EQ(c.Switch(u'A'), 2);
  EXPECT_EQ(c.Switch(u'Y'), 68);
  EXPECT_EQ(c.Switch(u'Z'), 1);
  EXPECT_EQ(c.Switch(u'B'), 0);
}

TEST(Preprocessor, DirectivesSeenEvenWhenSkipped) {
  TPascalPreprocessor pp;
  pp.Tokenizer().SetSkipKinds({TTokenKind::tkDirective, TTokenKind::tkComment});
  pp.SetText(u"{$IFDEF NONE} a {$ELSE} b {c} {$ENDIF} {$R+} d");
  EXPECT_EQ(Compiled(pp.Tokenizer()), u"b d");
  pp.Tokenizer().SetRaiseAtEnd(true);
  pp.SetText(u"x");
  pp.NextToken();
  EXPECT_THROW(pp.NextToken(), ENoMoreTokens);
}

// The quick reading of directive words agrees with a tokenizer over the upper-cased body
// wherever it answers; what it declines (Plain: how many words it reads) the tokenizer reads.
TEST(Preprocessor, PlainDirectiveWordsAreTheTokenizersIdentifiers) {
  const struct {
    StringView Body;
    int Plain;
  } cases[] = {{u"ifdef Fpc_Unicode", 2}, {u"\r\n\tDefine\r\n _x9 y", 2}, {u"I name.inc", 2},
               {u"IFDEF(X)", 1},          {u"IFDEF{X}", 1},               {u"IFDEF 0", 1},
               {u"IFDEF $1F", 1},         {u"IFDEF &X", 1},               {u"IFDEF", 1},
               {u"IFDEF X\u00E9", 1},     {u"IFDEF X\u00A0", 1},          {u"\u00E9IFDEF X", 0},
               {u"9X", 0},                {u"'X'", 0},                    {u"  ", 0}};
  for (const auto &c : cases) {
    const std::string shown = StringToUtf8(c.Body);
    TPascalTokenizer t(UpperCase(c.Body));
    t.SetTolerateErrors(true);
    std::size_t pos = 0;
    StringView word;
    int plain = 0;
    while (plain < 2 && ReadPlainDirectiveWord(c.Body, pos, word)) {
      ++plain;
      EXPECT_EQ(t.NextToken(), TTokenKind::tkIdent) << shown;
      EXPECT_EQ(t.Token(), UpperCase(word)) << shown;
    }
    EXPECT_EQ(plain, c.Plain) << shown;
  }
}

// A character beyond ASCII right behind the last word of a directive leaves it to the
// tokenizer-based reading; the two readings act alike.
TEST(Preprocessor, QuickAndTokenizedDirectiveReadingsAgree) {
  const StringView bodies[] = {
      u"ifdef KRX",    u"IFNDEF none",  u"Define Local",        u"IFDEF local", u"else",
      u"endif",        u"undef LOCAL",  u"ifdef ver350",        u"Endif",       u"ifdef Local",
      u"ENDIF",        u"mode objfpc",  u"DEFINE LegacyIfEnd",  u"IFDEF KRX",   u"IfEnd",
      u"Else",         u"ENDIF",        u"ELSE",                u"ifndef x",    u"endif"};
  const auto run = [&](StringView behind) {
    String text;
    int i = 0;
    for (StringView b : bodies)
      text += u"{$" + String(b) + String(behind) + u"} t" + IntToStr(i++) + u"\n";
    std::vector<String> errors;
    String r = Compiled(text, &errors);
    for (const String &e : errors)
      r += u" | " + e.substr(0, e.find(u'\r'));
    r.erase(std::remove(r.begin(), r.end(), u'\u00A0'), r.end());
    return r;
  };
  const String quick = run(u"");
  EXPECT_EQ(quick, u"t0 t1 t2 t3 t5 t6 t7 t8 t10 {$mode objfpc} t11 t12 t13 t14 t16 | "
                   u"Unmatched conditional define at line 15; column 1");
  EXPECT_EQ(run(u"\u00A0"), quick);
}

// Switch lists: letters in either case, empty parts skipped, applied up to the first part
// that is no switch.
TEST(Preprocessor, SwitchListsInEitherCase) {
  TPascalPreprocessor pp;
  pp.SetText(u"{$r+,,q+}{$,B+,}{$i-, X}{$T+ ,W+}");
  Compiled(pp.Tokenizer());
  const TCompilerContext &c = pp.CompilerContext();
  EXPECT_EQ(c.CompilerSwitches(),
            u"{$A8,B+,C+,D+,E-,F-,G+,H+,I-,J-,K-,L+,M-,N+,O+,P+,Q+,R+,S-,T+,U-,V+,W+,X+,YD,Z1}");
}

// Inactive text is passed over up to the next directive without tokens; with OnBlankLine set
// (which needs every line) it is read token by token. Both give the same tokens, positions,
// errors, previous token and last comment.
TEST(Preprocessor, InactiveTextPassedOverAsIfReadTokenByToken) {
  const StringView texts[] = {
      u"{$IFDEF NONE} a 'x {$ENDIF}' {b {$ENDIF}} (* {$ENDIF} *) // {$ENDIF}\n"
      u"#13'y'#$0A (*) {$ENDIF} *) {c\n{$ENDIF}\n} (*$ELSE*) yes {$ENDIF} z",
      u"{$IFDEF NONE}\n\n  { one }\n  'open\n{$ENDIF} after",
      u"{$IFDEF NONE} a { last } b\n#10'open",
      u"{$IFDEF NONE} (* open\n x",
      u"{$IFDEF NONE} x // last\n y",
      u"{$IFDEF NONE}{$IFDEF KRX} a {$ELSE} b {$ENDIF}{$ELSE} c {$ENDIF} d"};
  const auto at = [](TSourcePos p) { return IntToStr(p.Line) + u":" + IntToStr(p.Column); };
  const auto run = [&](StringView text, bool everyLine, bool tolerate) {
    TPascalPreprocessor pp;
    TPreprocessedPascalTokenizer &t = pp.Tokenizer();
    t.SetRecordComments(true);
    t.SetTolerateErrors(tolerate);
    if (everyLine)
      t.OnBlankLine = [](TKRBaseTokenizer &) {};
    t.SetText(text);
    String r;
    try {
      while (t.NextToken() != TTokenKind::tkNone)
        r += t.Token() + u"@" + at(t.TokenPos()) + u" ";
      r += u"| after " + t.PrevToken() + u"@" + at(t.PrevTokenPos());
    } catch (const ETokenError &e) {
      r += u"| error@" + at(e.Pos);
    }
    return r + u" | comment@" + at(t.LastComment().Pos);
  };
  for (const StringView text : texts)
    for (const bool tolerate : {false, true})
      EXPECT_EQ(run(text, false, tolerate), run(text, true, tolerate)) << StringToUtf8(text);
  EXPECT_EQ(run(texts[0], false, false), u"yes@4:13 z@4:26 | after z@4:26 | comment@4:17");
}

struct TIncludeFixture {
  std::map<String, String> Files;
  std::vector<String> Events;
  std::vector<String> Errors;
  int Reads = 0;
  bool AskOpen = false; // the reader asks IsOpenFile before it reads
  TPascalPreprocessor PP;

  TIncludeFixture() {
    auto &t = PP.Tokenizer();
    t.OnReadIncludeFile = [this, &t](String &name, TTokenizerTextPtr &source) {
      auto it = Files.find(name);
      // Names are found ignoring case, as written in source.
      if (it == Files.end() || (AskOpen && t.IsOpenFile(u"/src/" + LowerCase(name))))
        return false;
      ++Reads;
      name = u"/src/" + LowerCase(name);
      source = SplitTokenizerText(it->second);
      return true;
    };
    t.OnError = [this](const String &m) { Errors.push_back(m); };
    t.OnIncludeStarted = [this](const String &n) { Events.push_back(u"+" + n); };
    t.OnIncludeFinished = [this](const String &n) { Events.push_back(u"-" + n); };
  }
};

TEST(Preprocessor, IncludeFilesAreFollowed) {
  TIncludeFixture f;
  f.Files[u"a.inc"] = u"x {$DEFINE FROM_A} {$I 'b.inc'} y";
  f.Files[u"b.inc"] = u"z";
  f.Files[u"empty.inc"] = u"";
  f.PP.SetText(u"begin\n{$I a.inc} {$IFDEF FROM_A} ok {$ENDIF}\n{$INCLUDE missing.inc} "
               u"{$I empty.inc} {$I} end");
  auto &t = f.PP.Tokenizer();
  std::vector<std::pair<String, Integer>> seen;
  while (t.NextToken() != TTokenKind::tkNone)
    seen.push_back({t.Token(), t.LineNr()});
  std::vector<std::pair<String, Integer>> expected = {{u"begin", 1},
                                                      {u"x", 1},
                                                      {u"z", 1},
                                                      {u"y", 1},
                                                      {u"ok", 2},
                                                      {u"{$INCLUDE missing.inc}", 3},
                                                      {u"{$I empty.inc}", 3},
                                                      {u"{$I}", 3},
                                                      {u"end", 3}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(f.Events,
            (std::vector<String>{u"+/src/a.inc", u"+/src/b.inc", u"-/src/b.inc", u"-/src/a.inc"}));
  EXPECT_EQ(t.FileName(), u"");
}

// A reader may keep views of tokens (the explorer's identifier records) past the end of the
// include file they came from; the fixture's texts have no other holder.
TEST(Preprocessor, TokenViewsOfIncludeFilesLastUntilTheNextText) {
  TIncludeFixture f;
  f.Files[u"a.inc"] = u"x {$I b.inc} y";
  f.Files[u"b.inc"] = u"z";
  f.PP.SetText(u"{$I a.inc} end");
  auto &t = f.PP.Tokenizer();
  std::vector<StringView> views;
  String store;
  while (t.NextToken() != TTokenKind::tkNone)
    views.push_back(t.TakeTokenText(store));
  EXPECT_EQ(std::vector<String>(views.begin(), views.end()),
            (std::vector<String>{u"x", u"z", u"y", u"end"}));
}

TEST(Preprocessor, IncludeCyclesAndDepthAreRefused) {
  TIncludeFixture f;
  f.Files[u"self.inc"] = u"s {$I self.inc}";
  f.Files[u"p.inc"] = u"p {$I q.inc}";
  f.Files[u"q.inc"] = u"q {$I p.inc}";
  f.PP.SetText(u"{$I self.inc} {$I p.inc}");
  EXPECT_EQ(Compiled(f.PP.Tokenizer()), u"s {$I self.inc} p q {$I p.inc}");

  TIncludeFixture g;
  for (int i = 0; i < 40; ++i)
    g.Files[Format(u"d%d.inc", {i})] = Format(u"{$I d%d.inc}", {i + 1});
  g.PP.SetText(u"{$I d0.inc}");
  EXPECT_EQ(Compiled(g.PP.Tokenizer()), u"{$I d32.inc}");
}

TEST(Preprocessor, ASelfIncludeIsRefusedBeforeItIsRead) {
  const String body = u"{$I main.pas}{$I MAIN.PAS}{$I self.inc}";
  for (bool askOpen : {false, true}) {
    TIncludeFixture f;
    f.AskOpen = askOpen;
    f.Files[u"main.pas"] = f.Files[u"MAIN.PAS"] = body;
    f.Files[u"self.inc"] = u"s {$I self.inc}";
    f.PP.Tokenizer().SetFileName(u"/src/main.pas");
    f.PP.SetText(body);
    EXPECT_EQ(Compiled(f.PP.Tokenizer()), u"{$I main.pas} {$I MAIN.PAS} s {$I self.inc}");
    // Without the reader's check each cycle is read once and then refused.
    EXPECT_EQ(f.Reads, askOpen ? 1 : 4) << "askOpen " << askOpen;
  }
}

// Each file includes the next one twice: the work doubles with every level.
TEST(Preprocessor, IncludeWorkOfAUnitIsBounded) {
  using T = TPreprocessedPascalTokenizer;
  TIncludeFixture f;
  for (int i = 0; i < 30; ++i)
    f.Files[Format(u"d%d.inc", {i})] = Format(u"x {$I d%d.inc} {$I d%d.inc}", {i + 1, i + 1});
  f.PP.SetText(u"{$I d0.inc} end");
  String out = Compiled(f.PP.Tokenizer());
  EXPECT_TRUE(EndsStr(u" end", out));
  EXPECT_EQ(f.Reads, static_cast<int>(T::MaxIncludeExpansions));
  ASSERT_EQ(f.Errors.size(), 1u);
  EXPECT_TRUE(StartsStr(u"Include limit of this unit reached; d", f.Errors[0]))
      << StringToUtf8(f.Errors[0]);
}

// A big file included again and again is stopped by the amount of text; a new text starts
// with a fresh budget.
TEST(Preprocessor, IncludedTextOfAUnitIsBounded) {
  using T = TPreprocessedPascalTokenizer;
  TIncludeFixture g;
  g.Files[u"big.inc"] = String(T::MaxIncludedText / 4, u' ') + u"b";
  g.PP.SetText(u"{$I big.inc}{$I big.inc}{$I big.inc}{$I big.inc}{$I big.inc}");
  EXPECT_EQ(Compiled(g.PP.Tokenizer()), u"b b b {$I big.inc} {$I big.inc}");
  EXPECT_EQ(g.Errors.size(), 1u);
  g.PP.SetText(u"{$I big.inc}");
  EXPECT_EQ(Compiled(g.PP.Tokenizer()), u"b");
}

// A read that stops inside an include file or a conditional leaves neither open for the
// next text.
TEST(Preprocessor, ANewTextStartsWithNothingOpen) {
  TIncludeFixture f;
  f.Files[u"a.inc"] = u"in more";
  auto &t = f.PP.Tokenizer();
  f.PP.SetText(u"{$IFNDEF UNDEFINED_X} {$I a.inc} after {$ENDIF}");
  ASSERT_EQ(t.NextToken(), TTokenKind::tkIdent);
  ASSERT_EQ(t.IncludeDepth(), 1u);
  f.PP.SetText(u"next");
  EXPECT_EQ(Compiled(t), u"next");
  f.PP.SetText(u"{$IFDEF UNDEFINED_X} a");
  EXPECT_EQ(Compiled(t), u"");
  f.PP.SetText(u"b");
  EXPECT_EQ(Compiled(t), u"b");
}

TEST(Preprocessor, TenThousandNestedConditionals) {
  String text;
  for (int i = 0; i < 10000; ++i)
    text += i == 5000 ? u"{$IFDEF NONE}\n" : u"{$IFDEF KRX}\n";
  text += u"a\n";
  for (int i = 0; i < 10000; ++i)
    text += i == 4999 ? u"{$ELSE} b {$ENDIF}\n" : u"{$ENDIF}\n";
  text += u"c";
  TPascalPreprocessor pp;
  pp.SetText(text);
  EXPECT_EQ(Compiled(pp.Tokenizer()), u"b c");
  EXPECT_TRUE(pp.Tokenizer().Conditions().empty());
}

TEST(DefaultTokenizerContext, AbortsAndPassesThrough) {
  TPreprocessedPascalTokenizer t;
  t.SetText(u"a b");
  IPtr<ITokenizerContext> ctx(new TDefaultTokenizerContext(&t));
  EXPECT_THROW(ctx->UnexpectedToken(), EAbort);
  EXPECT_EQ(ctx->NextToken(), TTokenKind::tkIdent);
  ctx->SetSkipKinds({TTokenKind::tkIdent});
  EXPECT_EQ(t.SkipKinds(), TTokenKinds{TTokenKind::tkIdent});
  EXPECT_EQ(ctx->GetSkipKinds(), TTokenKinds{TTokenKind::tkIdent});
  EXPECT_EQ(ctx->CompressText(u" x  y "), u" x  y ");
  String name = u"x.inc";
  TTokenizerTextPtr source = SplitTokenizerText(u"stale");
  EXPECT_FALSE(ctx->ReadIncludeFile(name, source));
  EXPECT_EQ(source, nullptr);
  EXPECT_FALSE(ctx->CurrentIsReservedWord());
}

// ---- Project storage ----------------------------------------------------------------------

TEST(ProjectStorage, BaseClassAnswersDefaults) {
  auto s = CreateProjectStorage();
  s->SetConditionalDefines(u"A;B");
  EXPECT_EQ(s->ConditionalDefines(), u"");
  EXPECT_EQ(s->ConditionalExpressions(), u"");
  EXPECT_FALSE(s->AutoSortUsesClause());
  EXPECT_EQ(s->ReadUsesClauseGroupNames(u"System;Vcl"), u"System;Vcl");
  EXPECT_EQ(s->CurrentProjectName(), u"");

  // Applying the empty project conditionals clears what was set before.
  TCompilerContext c;
  c.SetDefines(u"X");
  c.SetIfExpressions(u"Y");
  c.SetDefines(s->ConditionalDefines());
  c.SetIfExpressions(s->ConditionalExpressions());
  EXPECT_EQ(c.Defines(), u"");
  EXPECT_EQ(c.IfExpressions(), u"");
}

class TMemoryStorage : public TProjectStorage {
public:
  std::map<String, String> Values;

protected:
  String ReadString(const String &section, const String &ident, const String &def) override {
    auto it = Values.find(section + u"/" + ident);
    return it == Values.end() ? def : it->second;
  }
  void WriteString(const String &section, const String &ident, const String &value) override {
    Values[section + u"/" + ident] = value;
  }
};

TEST(ProjectStorage, RegisteredClassIsCreated) {
  RegisterProjectStorageClass([] { return std::make_unique<TMemoryStorage>(); });
  auto s = CreateProjectStorage();
  RegisterProjectStorageClass(nullptr);
  s->SetConditionalExpressions(u"A>1");
  s->WriteUsesClauseGroupNames(u"G");
  EXPECT_EQ(s->ConditionalExpressions(), u"A>1");
  EXPECT_EQ(s->ReadUsesClauseGroupNames(u"x"), u"G");
  EXPECT_EQ(static_cast<TMemoryStorage &>(*s).Values.count(u"Parser/IfExpressions"), 1u);
  EXPECT_EQ(dynamic_cast<TMemoryStorage *>(CreateProjectStorage().get()), nullptr);
}

} // namespace
} // namespace krx
