#include "World/WordScanners.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

std::vector<String> WordsOf(TWordScanner &s, StringView line) {
  std::vector<String> r;
  const Integer n = s.Scan(line);
  for (Integer i = 0; i < n; ++i)
    r.push_back(s.GetWord(i));
  return r;
}

TEST(WordScanner, DefaultsSplitAtBlanksAndKeepQuotedTextsTogether) {
  TWordScanner s;
  EXPECT_EQ(WordsOf(s, u"alpha  beta"), (std::vector<String>{u"alpha", u"beta"}));
  EXPECT_EQ(WordsOf(s, u"\"x y\" z"), (std::vector<String>{u"x y", u"z"}));
  EXPECT_EQ(WordsOf(s, u""), std::vector<String>{});
  EXPECT_EQ(WordsOf(s, u"\t a \r\n"), std::vector<String>{u"a"});
  // The character right after a closing quote is consumed as the separator.
  EXPECT_EQ(WordsOf(s, u"\"ab\"cd"), (std::vector<String>{u"ab", u"d"}));
  // An unterminated quote takes the rest; a final quote gives one empty word.
  EXPECT_EQ(WordsOf(s, u"a \"b c"), (std::vector<String>{u"a", u"b c"}));
  EXPECT_EQ(WordsOf(s, u"a \""), (std::vector<String>{u"a", u""}));
  EXPECT_EQ(s.GetText(), u"a \"");
}

TEST(WordScanner, CommaListsWithAndWithoutEmptyWords) {
  TWordScanner s;
  s.Delimiters = TSysCharSet{u','};
  s.QuoteChar = 0;
  EXPECT_EQ(WordsOf(s, u"a,,b"), (std::vector<String>{u"a", u"b"}));
  EXPECT_EQ(WordsOf(s, u"a b,c"), (std::vector<String>{u"a b", u"c"}));
  s.KeepEmpty = true;
  EXPECT_EQ(WordsOf(s, u"a,,b"), (std::vector<String>{u"a", u"", u"b"}));
  EXPECT_EQ(WordsOf(s, u"a,"), (std::vector<String>{u"a", u""}));
  EXPECT_EQ(WordsOf(s, u",a"), (std::vector<String>{u"", u"a"}));
}

TEST(WordScanner, EmptyQuotedTexts) {
  TWordScanner s;
  EXPECT_EQ(WordsOf(s, u"\"\" a"), std::vector<String>{u"a"});
  s.KeepEmpty = true;
  // The empty word is reported and the separator after it consumed.
  EXPECT_EQ(WordsOf(s, u"\"\" a"), (std::vector<String>{u"", u"a"}));
}

TEST(WordScanner, CharactersAboveByteRangeAreNeverDelimiters) {
  TWordScanner s;
  s.Delimiters = TSysCharSet{u','} + TSysCharSet::Range(0, 32);
  // U+012C has ',' (0x2C) as its low byte.
  EXPECT_EQ(WordsOf(s, u"a\u012Cb,c"), (std::vector<String>{u"a\u012Cb", u"c"}));
}

TEST(WordScanner, WordsJoinsARangeAndGrowsPastManyEntries) {
  TWordScanner s;
  s.Delimiters = TSysCharSet{u','};
  s.Scan(u" a,b ,c");
  EXPECT_EQ(s.Words(0, 1, u", ", true), u"a, b");
  EXPECT_EQ(s.Words(0, 2, u"|", false), u" a|b |c");
  EXPECT_EQ(s.Words(2, 1, u"|", false), u"");
  EXPECT_EQ(s.GetFirstWord(), u" a");
  EXPECT_EQ(s.GetLastWord(), u"c");
  EXPECT_THROW(s.GetWord(3), EAssertionFailed);
  EXPECT_THROW(s.GetWord(-1), EAssertionFailed);

  String many;
  for (int i = 0; i < 1000; ++i)
    many += IntToStr(i) + u",";
  ASSERT_EQ(s.Scan(many), 1000);
  EXPECT_EQ(s.GetWord(999), u"999");
  EXPECT_GE(s.Capacity, 1000);
}

TEST(WordScanner, InterfaceFormForwardsAndFreesItself) {
  IPtr<IWordScanner> w(new TIWordScanner);
  EXPECT_EQ(w->Scan(u"one two"), 2);
  EXPECT_EQ(w->GetLastWord(), u"two");
  w->SetKeepEmpty(true);
  EXPECT_TRUE(w->GetKeepEmpty());
  w->SetQuoteChar(u'\'');
  EXPECT_EQ(w->GetQuoteChar(), u'\'');
  w->SetDelimiters(TSysCharSet{u';'});
  EXPECT_EQ(w->Scan(u"'a;b';c"), 2);
  EXPECT_EQ(w->GetWord(0), u"a;b");
  EXPECT_EQ(w->GetCount(), 2);
  EXPECT_EQ(w->GetText(), u"'a;b';c");
}

} // namespace
} // namespace krx
