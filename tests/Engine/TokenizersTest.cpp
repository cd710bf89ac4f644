#include "Engine/Tokenizers.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace krx {
namespace {

struct Tok {
  TTokenKind Kind;
  String Text;
  bool operator==(const Tok &) const = default;
};

void PrintTo(const Tok &t, std::ostream *os) {
  *os << StringToUtf8(TokenKindName(t.Kind)) << " \"" << StringToUtf8(t.Text) << "\"";
}

std::vector<Tok> All(TKRBaseTokenizer &t) {
  std::vector<Tok> r;
  for (TTokenKind k; (k = t.NextToken()) != TTokenKind::tkNone;)
    r.push_back({k, t.Token()});
  return r;
}

std::vector<Tok> All(StringView text, bool numbers = false) {
  TPascalTokenizer t(text);
  t.SetNumbersAsNumbers(numbers);
  return All(t);
}

TEST(PascalTokenizer, EmptyTextEndsAtOnceOrRaises) {
  TPascalTokenizer t(u"");
  EXPECT_EQ(t.NextToken(), TTokenKind::tkNone);
  EXPECT_EQ(t.NextToken(), TTokenKind::tkNone);
  t.SetRaiseAtEnd(true);
  EXPECT_THROW(t.NextToken(), ENoMoreTokens);
  TPascalTokenizer blank(u"  \r\n\t\r\n");
  blank.SetRaiseAtEnd(true);
  try {
    blank.NextToken();
    FAIL();
  } catch (const ETokenError &e) {
    EXPECT_EQ(e.Message(), u"Tokenizer: No more tokens");
  }
}

TEST(PascalTokenizer, SymbolsJoinOnlyTheKnownPairs) {
  std::vector<Tok> expected = {
      {TTokenKind::tkIdent, u"a"},   {TTokenKind::tkSymbol, u":="}, {TTokenKind::tkIdent, u"b"},
      {TTokenKind::tkSymbol, u"<>"}, {TTokenKind::tkSymbol, u"="},  {TTokenKind::tkSymbol, u">"},
      {TTokenKind::tkSymbol, u"<="}, {TTokenKind::tkSymbol, u">="}, {TTokenKind::tkSymbol, u".."},
      {TTokenKind::tkSymbol, u"."},  {TTokenKind::tkSymbol, u"("},  {TTokenKind::tkSymbol, u"^"},
      {TTokenKind::tkSymbol, u"/"},  {TTokenKind::tkSymbol, u":"}};
  EXPECT_EQ(All(u"a:=b<>=><=>=..  .(^/:"), expected);
  // A pair split by the line end stays two symbols.
  EXPECT_EQ(All(u":\n="),
            (std::vector<Tok>{{TTokenKind::tkSymbol, u":"}, {TTokenKind::tkSymbol, u"="}}));
}

TEST(PascalTokenizer, IdentifiersIncludingUnicodeAndEscaped) {
  EXPECT_EQ(All(u"_a1 Größe x\u00B2"), (std::vector<Tok>{{TTokenKind::tkIdent, u"_a1"},
                                                         {TTokenKind::tkIdent, u"Größe"},
                                                         {TTokenKind::tkIdent, u"x"},
                                                         {TTokenKind::tkSymbol, u"\u00B2"}}));
  const bool before = EscapedIdentifiersEnabled();
  {
    TTokenizerSwitchesGuard guard;
    SetEscapedIdentifiersEnabled(false);
    EXPECT_EQ(All(u"&begin"),
              (std::vector<Tok>{{TTokenKind::tkSymbol, u"&"}, {TTokenKind::tkIdent, u"begin"}}));
    SetEscapedIdentifiersEnabled(true);
    EXPECT_EQ(All(u"&begin &1 &"), (std::vector<Tok>{{TTokenKind::tkIdent, u"&begin"},
                                                     {TTokenKind::tkSymbol, u"&"},
                                                     {TTokenKind::tkIdent, u"1"},
                                                     {TTokenKind::tkSymbol, u"&"}}));
  }
  EXPECT_EQ(EscapedIdentifiersEnabled(), before);
}

TEST(PascalTokenizer, StringsKeepTheirRawSource) {
  EXPECT_EQ(All(u"x := 'it''s'#13#10'end' + #$0d#$Fa'';"),
            (std::vector<Tok>{{TTokenKind::tkIdent, u"x"},
                              {TTokenKind::tkSymbol, u":="},
                              {TTokenKind::tkString, u"'it''s'#13#10'end'"},
                              {TTokenKind::tkSymbol, u"+"},
                              {TTokenKind::tkString, u"#$0d#$Fa''"},
                              {TTokenKind::tkSymbol, u";"}}));
  EXPECT_EQ(All(u"'' #"),
            (std::vector<Tok>{{TTokenKind::tkString, u"''"}, {TTokenKind::tkString, u"#"}}));
}

TEST(PascalTokenizer, UnterminatedStringIsAnErrorUpToTheLineEnd) {
  TPascalTokenizer t(u"a 'open\nnext");
  EXPECT_EQ(t.NextToken(), TTokenKind::tkIdent);
  try {
    t.NextToken();
    FAIL();
  } catch (const ETokenError &e) {
    EXPECT_EQ(e.Message(), u"Invalid token");
  }
  EXPECT_EQ(t.NextToken(), TTokenKind::tkIdent);
  EXPECT_EQ(t.Token(), u"next");

  TPascalTokenizer tolerant(u"a 'open\nnext");
  tolerant.SetTolerateErrors(true);
  EXPECT_EQ(All(tolerant), (std::vector<Tok>{{TTokenKind::tkIdent, u"a"},
                                             {TTokenKind::tkError, u"'open"},
                                             {TTokenKind::tkIdent, u"next"}}));
}

TEST(PascalTokenizer, DoubleQuotedStringsOnlyWhenEnabled) {
  EXPECT_EQ(All(u"\"ab\""), (std::vector<Tok>{{TTokenKind::tkSymbol, u"\""},
                                              {TTokenKind::tkIdent, u"ab"},
                                              {TTokenKind::tkSymbol, u"\""}}));
  TPascalTokenizer t(u"\"a''b\" \"open");
  t.SetDoubleQuotedStrings(true);
  t.SetTolerateErrors(true);
  EXPECT_EQ(All(t), (std::vector<Tok>{{TTokenKind::tkString, u"\"a''b\""},
                                      {TTokenKind::tkError, u"\"open"}}));
}

TEST(PascalTokenizer, Numbers) {
  EXPECT_EQ(All(u"1.5e-3 2E+4 $1aF 1..9 7e 3.x", true),
            (std::vector<Tok>{{TTokenKind::tkNumber, u"1.5e-3"},
                              {TTokenKind::tkNumber, u"2E"},
                              {TTokenKind::tkSymbol, u"+"},
                              {TTokenKind::tkNumber, u"4"},
                              {TTokenKind::tkNumber, u"$1aF"},
                              {TTokenKind::tkNumber, u"1"},
                              {TTokenKind::tkSymbol, u".."},
                              {TTokenKind::tkNumber, u"9"},
                              {TTokenKind::tkNumber, u"7e"},
                              {TTokenKind::tkNumber, u"3"},
                              {TTokenKind::tkSymbol, u"."},
                              {TTokenKind::tkIdent, u"x"}}));
  EXPECT_EQ(All(u"42 $"),
            (std::vector<Tok>{{TTokenKind::tkIdent, u"42"}, {TTokenKind::tkIdent, u"$"}}));
}

TEST(PascalTokenizer, CommentTextsByMode) {
  const StringView src = u"{ brace } (* star *) // line\n{$R+}(*$I x*)";
  {
    TPascalTokenizer t(src);
    EXPECT_EQ(All(t), (std::vector<Tok>{{TTokenKind::tkComment, u"{"},
                                        {TTokenKind::tkComment, u"(*"},
                                        {TTokenKind::tkComment, u"//"},
                                        {TTokenKind::tkDirective, u"{$R+}"},
                                        {TTokenKind::tkDirective, u"(*$I x*)"}}));
  }
  for (TCommentTextMode mode : {TCommentTextMode::Whole, TCommentTextMode::FirstLine}) {
    TPascalTokenizer t(src);
    t.SetCommentTextMode(mode);
    EXPECT_EQ(All(t), (std::vector<Tok>{{TTokenKind::tkComment, u"{ brace }"},
                                        {TTokenKind::tkComment, u"(* star *)"},
                                        {TTokenKind::tkComment, u"// line"},
                                        {TTokenKind::tkDirective, u"{$R+}"},
                                        {TTokenKind::tkDirective, u"(*$I x*)"}}));
  }
}

TEST(PascalTokenizer, MultiLineComments) {
  const StringView src = u"a (* one\n\n  two *) b {$IFDEF\n X}";
  TPascalTokenizer m1(src);
  m1.SetCommentTextMode(TCommentTextMode::Whole);
  EXPECT_EQ(All(m1), (std::vector<Tok>{{TTokenKind::tkIdent, u"a"},
                                       {TTokenKind::tkComment, u"(* one\r\n\r\n  two *)"},
                                       {TTokenKind::tkIdent, u"b"},
                                       {TTokenKind::tkDirective, u"{$IFDEF\r\n X}"}}));
  TPascalTokenizer m2(src);
  m2.SetCommentTextMode(TCommentTextMode::FirstLine);
  std::vector<Tok> toks = All(m2);
  ASSERT_EQ(toks.size(), 4u);
  EXPECT_EQ(toks[1].Text, u"(* one");
  EXPECT_EQ(toks[3].Text, u"{$IFDEF\r\n X}");
  // The token after a multi-line comment knows its true line and column.
  TPascalTokenizer t(src);
  t.NextToken();
  t.NextToken();
  t.NextToken();
  EXPECT_EQ(t.LineNr(), 3);
  EXPECT_EQ(t.TokenStartCol(), 10);
}

TEST(PascalTokenizer, UnterminatedCommentAtEndOfText) {
  TPascalTokenizer t(u"x { never closed\n\n");
  t.SetTolerateErrors(true);
  t.SetCommentTextMode(TCommentTextMode::Whole);
  EXPECT_EQ(t.NextToken(), TTokenKind::tkIdent);
  EXPECT_EQ(t.NextToken(), TTokenKind::tkError);
  EXPECT_EQ(t.Token(), u"{ never closed");
  EXPECT_EQ(t.NextToken(), TTokenKind::tkNone);
  TPascalTokenizer strict(u"(* open");
  EXPECT_THROW(strict.NextToken(), ETokenError);
}

TEST(PascalTokenizer, PositionsAreOneBasedUtf16Columns) {
  TPascalTokenizer t(u"\r\n  \u00E4x := '\U0001F600' ;\rlast\n");
  EXPECT_EQ(t.NextToken(), TTokenKind::tkIdent);
  EXPECT_EQ(t.LineNr(), 2);
  EXPECT_EQ(t.TokenStartCol(), 3);
  t.NextToken();
  EXPECT_EQ(t.TokenStartCol(), 6);
  t.NextToken(); // a surrogate pair counts two columns
  EXPECT_EQ(t.Token().size(), 4u);
  t.NextToken();
  EXPECT_EQ(t.Token(), u";");
  EXPECT_EQ(t.TokenStartCol(), 14);
  EXPECT_EQ(t.LineEndCol(), 15);
  t.NextToken();
  EXPECT_EQ(t.LineNr(), 3);
  EXPECT_EQ(t.Line(), u"last");
  EXPECT_EQ(t.PrevToken(), u";");
  EXPECT_EQ(t.PrevTokenKind(), TTokenKind::tkSymbol);
}

// Every token's position is where its first character is, also for tokens that end on a
// later line, in every comment text mode.
TEST(PascalTokenizer, TokenPositionsAreTakenWhereTokensStart) {
  struct TPosTok {
    TTokenKind Kind;
    TSourcePos Pos;
    bool operator==(const TPosTok &) const = default;
  };
  const StringView src = u"a (* one\n\n  two *) b {$IFDEF\n X}\n  // x\n\t{ open\n";
  const std::vector<TPosTok> expected = {
      {TTokenKind::tkIdent, {1, 1}},   {TTokenKind::tkComment, {1, 3}},
      {TTokenKind::tkIdent, {3, 10}},  {TTokenKind::tkDirective, {3, 12}},
      {TTokenKind::tkComment, {5, 3}}, {TTokenKind::tkError, {6, 2}}};
  for (TCommentTextMode mode :
       {TCommentTextMode::Opener, TCommentTextMode::Whole, TCommentTextMode::FirstLine}) {
    TPascalTokenizer t(src);
    t.SetCommentTextMode(mode);
    t.SetTolerateErrors(true);
    std::vector<TPosTok> seen;
    for (TTokenKind k; (k = t.NextToken()) != TTokenKind::tkNone;)
      seen.push_back({k, t.TokenPos()});
    ASSERT_EQ(seen.size(), expected.size()) << "mode " << int(mode);
    for (std::size_t i = 0; i < seen.size(); ++i)
      EXPECT_TRUE(seen[i] == expected[i]) << "mode " << int(mode) << ", token " << i << " at "
                                          << seen[i].Pos.Line << ":" << seen[i].Pos.Column;
  }
  // The error names the position of the invalid token.
  TPascalTokenizer strict(u"x\n  { open\n\n");
  strict.NextToken();
  try {
    strict.NextToken();
    ADD_FAILURE() << "no ETokenError";
  } catch (const ETokenError &e) {
    EXPECT_EQ(e.Pos, (TSourcePos{2, 3}));
  }
}

TEST(PascalTokenizer, SkipSetNeverSkipsNoneOrError) {
  TPascalTokenizer t(u"{c} a // x\n'open");
  t.SetTolerateErrors(true);
  t.SetSkipKinds({TTokenKind::tkComment, TTokenKind::tkNone, TTokenKind::tkError});
  EXPECT_EQ(t.SkipKinds(),
            (TTokenKinds{TTokenKind::tkComment, TTokenKind::tkNone, TTokenKind::tkError}));
  EXPECT_EQ(All(t),
            (std::vector<Tok>{{TTokenKind::tkIdent, u"a"}, {TTokenKind::tkError, u"'open"}}));
}

TEST(PascalTokenizer, BlankLinesNotifiedOutsideCommentsOnly) {
  TPascalTokenizer t(u"a\n\n  \nb { \n\n } c");
  int blanks = 0;
  t.OnBlankLine = [&](TKRBaseTokenizer &) { ++blanks; };
  All(t);
  EXPECT_EQ(blanks, 2);
}

TEST(PascalTokenizer, CommentRecording) {
  TPascalTokenizer t(u"x := 1; // trailing\n   (* own line *)\n");
  t.SetRecordComments(true);
  All(t);
  EXPECT_EQ(t.LastComment().Kind, TCommentKind::ParenStar);
  EXPECT_TRUE(t.LastComment().StartsLine);
  EXPECT_EQ(t.LastComment().Pos, (TSourcePos{2, 4}));
  TPascalTokenizer u(u"x := 1; // trailing");
  u.SetRecordComments(true);
  All(u);
  EXPECT_EQ(u.LastComment().Kind, TCommentKind::LineSlash);
  EXPECT_FALSE(u.LastComment().StartsLine);
  EXPECT_EQ(u.LastComment().Pos.Column, 9);
  TPascalTokenizer off(u"{ x }");
  All(off);
  EXPECT_EQ(off.LastComment().Pos.Line, 0);
}

TEST(PascalTokenizer, CollectedLinesAreTrimmedAndJoinedByOneBlank) {
  const std::pair<const Char *, const Char *> rows[] = {
      {u"  a  b  ", u"a  b"},
      {u"a\r\n\r\n  b\n c ;", u"a b c ;"},
      {u"\n\n x\t\n", u"x"},
      {u"{ one\r\n  two } z", u"{ one two } z"},
      {u" \n ", u""},
      {u"procedure Foo(a: Integer;\r\n   b: string; c: Char);\n\n  var x: Byte;",
       u"procedure Foo(a: Integer; b: string; c: Char); var x: Byte;"}};
  for (const auto &[source, expected] : rows) {
    TPascalTokenizer t(source);
    t.StartCollecting();
    while (t.NextToken() != TTokenKind::tkNone) {
    }
    EXPECT_EQ(t.CollectedTextAsLine(true), expected) << StringToUtf8(source);
  }
}

TEST(PascalTokenizer, MarkCollectsRawText) {
  TPascalTokenizer t(u"f(a,\n   { c } b :  Integer) ;");
  EXPECT_THROW(t.StopCollecting(), EKRToolsException);
  t.NextToken();
  t.NextToken(); // "("
  t.StartCollecting();
  while (!t.IsSymbol(u")"))
    t.NextToken();
  EXPECT_EQ(t.CollectedTextAsLine(false), u"a, { c } b :  Integer");
  EXPECT_FALSE(t.Collecting());
  t.StartCollecting();
  t.NextToken();
  EXPECT_EQ(t.CollectedTextAsLine(true), u";");
  t.StartCollecting();
  t.NextToken();
  EXPECT_EQ(t.StopCollecting(), u"");
}

TEST(PascalTokenizer, SaveAndRestoreState) {
  TPascalTokenizer t(u"a b\nc d");
  t.SetFileName(u"main.pas");
  t.NextToken();
  t.NextToken();
  TTokenizerState s = SaveTokenizerState(t);
  t.SetText(u"x y z");
  t.SetFileName(u"inc.inc");
  EXPECT_EQ(All(t).size(), 3u);
  RestoreTokenizerState(s, t);
  EXPECT_EQ(t.FileName(), u"main.pas");
  EXPECT_EQ(t.Token(), u"b");
  EXPECT_EQ(t.PrevToken(), u"a");
  EXPECT_EQ(t.TokenPos(), (TSourcePos{1, 3}));
  EXPECT_EQ(t.PrevTokenPos(), (TSourcePos{1, 1}));
  EXPECT_EQ(All(t), (std::vector<Tok>{{TTokenKind::tkIdent, u"c"}, {TTokenKind::tkIdent, u"d"}}));
  EXPECT_EQ(t.LineNr(), 2);
}

// Token texts are slices of the source text, except a directive spanning lines: both kinds
// must stay readable after a restore and after the source text is replaced.
TEST(PascalTokenizer, TokenTextsOutliveRestoresAndTheirSourceText) {
  TPascalTokenizer t(u"{$x\n y} z");
  t.NextToken();
  TTokenizerState s = SaveTokenizerState(t);
  t.NextToken();
  RestoreTokenizerState(s, t);
  EXPECT_EQ(t.TokenText(), u"{$x\r\n y}");
  t.NextToken();
  EXPECT_EQ(t.PrevTokenText(), u"{$x\r\n y}");
  t.NextToken();
  t.SetText(u"w");
  EXPECT_EQ(t.PrevToken(), u"z");
}

TEST(PascalTokenizer, TakenTokensMatchReadTokensWhateverTheBufferSizes) {
  // Taken texts hand their buffers back to the tokenizer, so long and short tokens are mixed
  // to catch a stale or cut buffer.
  const StringView text = u"AVeryLongIdentifierIndeed := 'a string much longer than any symbol';"
                          u" x.y (* c *) Z; {$I-} LongerAgainThanTheFirstOne @ q";
  TPascalTokenizer t(text);
  std::vector<Tok> taken;
  for (TTokenKind k; (k = t.NextToken()) != TTokenKind::tkNone;) {
    String into = u"old text that is dropped";
    if (taken.size() % 2 == 1) {
      EXPECT_FALSE(t.Token().empty()); // a text copied for Token() moves on as well
    }
    t.TakeToken(into);
    EXPECT_TRUE(t.Token().empty());
    taken.push_back({k, std::move(into)});
  }
  EXPECT_EQ(taken, All(text));
}

TEST(PascalTokenizer, SetLinesKeepsLinesAsGiven) {
  TPascalTokenizer t;
  t.SetLines({u"a", u"", u"b"});
  EXPECT_EQ(t.LineCount(), 3);
  EXPECT_EQ(t.GetText(), u"a\r\n\r\nb\r\n");
  t.NextToken();
  t.NextToken();
  EXPECT_EQ(t.LineNr(), 3);
  t.SetLines({});
  EXPECT_EQ(t.NextToken(), TTokenKind::tkNone);
}

TEST(PascalTokenizer, BadInputNeverHangs) {
  String nul = String(u"a") + Char(0) + u"b";
  EXPECT_EQ(All(nul), (std::vector<Tok>{{TTokenKind::tkIdent, u"a"}, {TTokenKind::tkIdent, u"b"}}));
  String lone = u"x";
  lone.push_back(Char(0xD800));
  lone += u"y";
  lone.push_back(Char(0xDFFF));
  EXPECT_EQ(All(lone), (std::vector<Tok>{{TTokenKind::tkIdent, u"x"},
                                         {TTokenKind::tkSymbol, String(1, Char(0xD800))},
                                         {TTokenKind::tkIdent, u"y"},
                                         {TTokenKind::tkSymbol, String(1, Char(0xDFFF))}}));
  String huge(1 << 20, u'a');
  huge += u" {";
  huge += String(1 << 20, u'x');
  TPascalTokenizer t(huge);
  t.SetTolerateErrors(true);
  EXPECT_EQ(t.NextToken(), TTokenKind::tkIdent);
  EXPECT_EQ(t.Token().size(), std::size_t{1} << 20);
  EXPECT_EQ(t.NextToken(), TTokenKind::tkError);
  EXPECT_EQ(t.NextToken(), TTokenKind::tkNone);
}

TEST(WhiteSpaceTokenizer, NormalizeAndCompare) {
  EXPECT_EQ(NormalizeWhiteSpace(u"procedure  Foo(a , b :Integer ) ;"),
            u"procedure Foo(a,b:Integer);");
  EXPECT_EQ(NormalizeWhiteSpace(u"x:Integer"), u"x:Integer");
  EXPECT_EQ(NormalizeWhiteSpace(u"'a' 'b' 1 2 { c }"), u"'a' 'b'1 2{ c }");
  // An unterminated part ends the text.
  EXPECT_EQ(NormalizeWhiteSpace(u"a  b 'open"), u"a b");
  EXPECT_TRUE(SameIgnoringWhiteSpace(u"A, b,C", u"a ,B , c"));
  EXPECT_FALSE(SameIgnoringWhiteSpace(u"a, b", u"a, b, c"));
  EXPECT_FALSE(SameIgnoringWhiteSpace(u"a b", u"ab"));
  TWhiteSpaceTokenizer w(u"x : T");
  EXPECT_TRUE(w.SameAsText(u"X:t"));
}

TEST(StripCommentDelimiters, AllThreeKinds) {
  std::vector<std::pair<String, std::pair<bool, String>>> cases = {
      {u"  { text }  ", {true, u" text "}},
      {u"{", {false, u""}},
      {u"{unclosed", {true, u"unclosed"}},
      {u"(* x *)", {true, u" x "}},
      {u"(*x", {false, u"x"}},
      {u"(*ab", {true, u"ab"}},
      {u"// rest", {true, u" rest"}},
      {u"plain", {false, u"plain"}},
  };
  for (auto &[in, out] : cases) {
    String s = in;
    EXPECT_EQ(StripCommentDelimiters(s), out.first) << StringToUtf8(in);
    EXPECT_EQ(s, out.second) << StringToUtf8(in);
  }
}

TEST(TokenKindName, DeclaredNames) {
  EXPECT_EQ(TokenKindName(TTokenKind::tkNone), u"tkNone");
  EXPECT_EQ(TokenKindName(TTokenKind::tkKRTag), u"tkKRTag");
  EXPECT_EQ(TokenKindName(TTokenKind::tkError), u"tkError");
}

// The line split reads several characters at a time: a break (or a control character that is
// none) at every offset of a block must end the line exactly where it stands, whether the text
// is copied, borrowed or decoded from ANSI bytes (where the rest is above 0x7F).
TEST(SplitTokenizerText, BreaksAtEveryOffsetOfABlock) {
  using TLines = std::vector<std::pair<std::size_t, std::size_t>>;
  const std::size_t n = 40;
  for (const std::string brk : {"\r\n", "\r", "\n", "\t", "\n\r"}) {
    for (std::size_t at = 0; at < n; ++at) {
      const std::string bytes = std::string(at, 'x') + brk + std::string(n - at, '\x80');
      const String text =
          String(at, u'x') + String(brk.begin(), brk.end()) + String(n - at, Char(0x20AC));
      TLines want{{0, at}, {at + brk.size(), n - at}};
      if (brk == "\t")
        want = {{0, text.size()}};
      else if (brk == "\n\r")
        want.insert(want.begin() + 1, {at + 1, 0});
      const TTokenizerTextPtr made[] = {
          SplitTokenizerText(text), BorrowTokenizerText(text),
          DecodeAnsiTokenizerText(reinterpret_cast<const Byte *>(bytes.data()), bytes.size())};
      for (const TTokenizerTextPtr &t : made) {
        TLines got;
        for (const auto &l : t->Lines)
          got.emplace_back(l.Start, l.Length);
        EXPECT_TRUE(got == want && t->Text == text) << "break " << brk.size() << " at " << at;
      }
    }
  }
}

// Line starts and lengths are kept in 32 bits: a longer text is refused by its size, before
// any of it is read.
TEST(SplitTokenizerText, TextsOf4GCharactersAreRefused) {
  const Char c = u'x';
  const std::size_t huge = std::size_t{1} << 32;
  EXPECT_THROW(SplitTokenizerText(StringView(&c, huge)), ETokenError);
  EXPECT_THROW(BorrowTokenizerText(StringView(&c, huge)), ETokenError);
  EXPECT_THROW(DecodeAnsiTokenizerText(reinterpret_cast<const Byte *>(&c), huge), ETokenError);
}

} // namespace
} // namespace krx
