#include "Common/KRX.StringWrapper.h"
#include "Engine/Tokenizers.h"
#include "Platform/Rtl/Encoding.h"
#include "World/KRStrUtils.h"

#include "support/FpcCorpus.h"
#include "support/KrxTest.h"

#include <algorithm>
#include <filesystem>

namespace krx {

namespace {

std::vector<String> Wrap(StringView line, Integer indention, Integer width, Integer tab = 2) {
  TStringList out;
  TStringWrapper w(&out, indention, width, tab);
  w.WrapString(line);
  std::vector<String> r;
  for (Integer i = 0; i < out.Count(); ++i)
    r.push_back(out[i]);
  return r;
}

TEST(StringWrapper, SettingsAreClamped) {
  TStringList out;
  TStringWrapper w(&out, 25, 30, 0);
  EXPECT_EQ(w.WrapWidth(), 40);
  EXPECT_EQ(w.Indention(), 20);
  EXPECT_EQ(w.TabWidth(), 1);
  w.SetIndention(-3);
  EXPECT_EQ(w.Indention(), 0);
  w.SetWrapWidth(100);
  w.SetIndention(60);
  EXPECT_EQ(w.Indention(), 50);
  EXPECT_THROW(TStringWrapper(nullptr, 0, 80, 2), EAssertionFailed);
}

TEST(StringWrapper, ShortLinesAreAppendedAfterTabExpansionAndTrimming) {
  EXPECT_EQ(Wrap(u"\tx := 1;   ", 2, 80, 4), std::vector<String>{u"    x := 1;"});
  EXPECT_EQ(Wrap(u"", 2, 80), std::vector<String>{u""});
}

TEST(StringWrapper, LongHeadingBreaksInsideTheParameterListAndIndents) {
  const String line = u"  procedure DoSomethingLong(const AFirst: Integer; var ASecond: string; "
                      u"AThird: TObject);";
  auto parts = Wrap(line, 4, 60);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0], u"  procedure DoSomethingLong(const AFirst: Integer; var");
  EXPECT_EQ(parts[1], u"      ASecond: string; AThird: TObject);");
  for (const String &p : parts)
    EXPECT_LE(Length(p), 60);
}

TEST(StringWrapper, BreaksAfterOpeningBracketAndCommas) {
  const String line = u"X(aaaaaaaaaaaaaaaaaaaa,bbbbbbbbbbbbbbbbbbbb,cccccccccccccccccccc)";
  auto parts = Wrap(line, 2, 40);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[0], u"X(aaaaaaaaaaaaaaaaaaaa,");
  EXPECT_EQ(parts[1], u"  bbbbbbbbbbbbbbbbbbbb,");
  EXPECT_EQ(parts[2], u"  cccccccccccccccccccc)");
}

TEST(StringWrapper, UnbreakableLinesAndLineCommentsStayWhole) {
  const String ident(120, u'a');
  EXPECT_EQ(Wrap(ident, 2, 40), std::vector<String>{ident});
  // Nothing after a line comment is a break point.
  const String commented = u"x; // " + String(60, u'c') + u" (a, b, c, d, e, f)";
  EXPECT_EQ(Wrap(commented, 2, 40), std::vector<String>{commented});
  // Strings are single tokens: no break falls inside one.
  const String str = u"s := '" + String(30, u'x') + u" , ( ; " + String(30, u'y') + u"';";
  for (const String &p : Wrap(str, 2, 40))
    EXPECT_EQ(std::count(p.begin(), p.end(), u'\''), p.find(u'\'') == String::npos ? 0 : 2);
}

TEST(StringWrapper, SearchGoesPastTheWidthUntilABreakAndTheFirstLineMayBreakEarly) {
  // Neither "." nor "Member" follows a delimiter: the first break is the blank before "Next".
  const String dotted = String(45, u'A') + u".Member";
  EXPECT_EQ(Wrap(dotted + u" Next", 2, 40), (std::vector<String>{dotted, u"  Next"}));
  // Only continuation lines keep their indentation whole: the first breaks at column 4.
  const String ident(70, u'X');
  EXPECT_EQ(Wrap(u"  a " + ident, 4, 40), (std::vector<String>{u"  a", u"      " + ident}));
}

TEST(StringWrapper, UseTabsCompressesLeadingBlanks) {
  TStringList out;
  TStringWrapper w(&out, 4, 40, 4);
  w.SetUseTabs(true);
  w.WrapString(u"    call(aaaaaaaaaaaaaaaa, bbbbbbbbbbbbbbbb, cccccccccccccccc);");
  ASSERT_EQ(out.Count(), 3);
  EXPECT_EQ(out[0], u"\tcall(aaaaaaaaaaaaaaaa,");
  EXPECT_EQ(out[1], u"\t\tbbbbbbbbbbbbbbbb,");
  EXPECT_EQ(out[2], u"\t\tcccccccccccccccc);");
}

// ---- The wrapper over real source ---------------------------------------------------------

String WithoutWhiteSpace(StringView s) {
  String r;
  for (Char c : s)
    if (c > u' ')
      r.push_back(c);
  return r;
}

// Offsets, counted in characters above U+0020, at which tokens of the line start; reading
// stops at an invalid token or a line comment, as the break search does.
std::vector<std::size_t> TokenStarts(StringView line) {
  std::vector<std::size_t> starts;
  TPascalTokenizer t;
  t.SetCommentTextMode(TCommentTextMode::Whole);
  t.SetNumbersAsNumbers(true);
  t.SetTolerateErrors(true);
  t.SetSkipKinds({});
  t.SetText(line);
  for (;;) {
    TTokenKind k = t.NextToken();
    if (k == TTokenKind::tkNone || k == TTokenKind::tkError)
      break;
    const Integer start = t.LinePos() - Length(t.Token());
    starts.push_back(WithoutWhiteSpace(line.substr(0, static_cast<std::size_t>(start - 1))).size());
    if (k == TTokenKind::tkComment && StartsStr(u"//", t.Token()))
      break;
  }
  return starts;
}

class WrapperCorpus : public ::testing::TestWithParam<int> {};
constexpr int kShards = 8;

TEST_P(WrapperCorpus, EveryLongLineRejoinsAndBreaksOnlyBetweenTokens) {
  if (!test::FpcSourcesInstalled())
    GTEST_SKIP() << "Free Pascal sources not installed";
  const auto files = test::FpcSourceFiles(GetParam(), kShards);
  ASSERT_GT(files.size(), 1000u / kShards);
  const Integer width = 80;
  std::size_t lines = 0;
  for (std::size_t f = 0; f < files.size(); ++f) {
    const String text = test::ReadSourceText(files[f]);
    std::size_t pos = 0;
    while (pos <= text.size()) {
      std::size_t end = text.find_first_of(u"\r\n", pos);
      if (end == String::npos)
        end = text.size();
      const StringView line = StringView(text).substr(pos, end - pos);
      pos = end + 1;
      if (end < text.size() && text[end] == u'\r' && end + 1 < text.size() &&
          text[end + 1] == u'\n')
        ++pos;
      if (Length(line) <= width)
        continue;
      ++lines;
      TStringList out;
      TStringWrapper w(&out, 4, width, 2);
      w.WrapString(line);
      const String expanded = TrimRight(ExpandLeadingTabs(line, 2));
      String joined;
      std::vector<std::size_t> cuts;
      for (Integer i = 0; i < out.Count(); ++i) {
        if (i > 0)
          cuts.push_back(WithoutWhiteSpace(joined).size());
        joined += out[i] + u" ";
      }
      ASSERT_EQ(WithoutWhiteSpace(joined), WithoutWhiteSpace(expanded))
          << files[f] << ": " << StringToUtf8(line);
      if (cuts.empty())
        continue;
      const auto starts = TokenStarts(expanded);
      for (std::size_t c : cuts)
        ASSERT_TRUE(std::binary_search(starts.begin(), starts.end(), c))
            << "break inside a token at " << c << " in " << files[f] << ": " << StringToUtf8(line);
    }
  }
  EXPECT_GT(lines, 1000u);
}

INSTANTIATE_TEST_SUITE_P(Shards, WrapperCorpus, ::testing::Range(0, kShards));

} // namespace
} // namespace krx
