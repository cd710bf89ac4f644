#include "World/KRStrUtils.h"

#include "Platform/Rtl/SysUtils.h"
#include "World/NumUtils.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

TEST(KRStrUtilsBool, AcceptsTheListedTextsInAnyCase) {
  for (StringView t : {u"yes", u"JA", u"t", u"-1", u"1", u"TRUE"})
    EXPECT_TRUE(KRStrUtils::StrToBool(t)) << StringToUtf8(t);
  for (StringView t : {u"nee", u"f", u"0", u"no", u"False"})
    EXPECT_FALSE(KRStrUtils::StrToBool(t)) << StringToUtf8(t);
  for (StringView t : {u"Y", u" yes", u"", u"2"})
    EXPECT_THROW(KRStrUtils::StrToBool(t), EConvertError) << StringToUtf8(t);
  try {
    KRStrUtils::StrToBool(u"Y");
  } catch (const EConvertError &e) {
    EXPECT_EQ(e.Message(), u"Y is not a valid Boolean value");
  }
  EXPECT_EQ(KRStrUtils::BoolToStr(true), u"True");
  EXPECT_EQ(KRStrUtils::BoolToStr(false), u"False");
}

TEST(KRStrUtilsUnquote, DecodesQuotedPartsAndCharacterCodes) {
  String s;
  EXPECT_TRUE(UnquotePascalString(u"'line1'#13#10'it''s'", s));
  EXPECT_EQ(s, u"line1\r\nit's");
  EXPECT_TRUE(UnquotePascalString(u"plain text", s));
  EXPECT_EQ(s, u"plain text");
  EXPECT_TRUE(UnquotePascalString(u"'abc' { comment }", s));
  EXPECT_EQ(s, u"abc");
  EXPECT_TRUE(UnquotePascalString(u"''", s));
  EXPECT_EQ(s, u"");
  // Codes wrap at 65536; '#' without digits is character 0.
  EXPECT_TRUE(UnquotePascalString(u"#65601#", s));
  EXPECT_EQ(s, String(u"A") + Char(0));
}

TEST(KRStrUtilsUnquote, HexadecimalCodes) {
  String s;
  EXPECT_TRUE(UnquotePascalString(u"#$0D#$0a'x'#$263a", s));
  EXPECT_EQ(s, u"\r\nx\u263a");
}

TEST(KRStrUtilsUnquote, UnterminatedQuoteGivesFalseAndTheTextSoFar) {
  String s;
  EXPECT_FALSE(UnquotePascalString(u"'abc", s));
  EXPECT_EQ(s, u"abc");
  EXPECT_FALSE(UnquotePascalString(u"'ab\r\ncd'", s));
  EXPECT_EQ(s, u"ab");
  EXPECT_FALSE(UnquotePascalString(u"#65'x''", s));
  EXPECT_EQ(s, u"Ax'");
}

TEST(KRStrUtilsEscape, LineBreaksRoundTripAsCrLf) {
  const String text = u"a\r\nb\nc\\d\re";
  const String escaped = EscapeLineBreaks(text);
  EXPECT_EQ(escaped, u"a\\Nb\\Nc\\\\d\\Ne");
  EXPECT_EQ(UnescapeLineBreaks(escaped), u"a\r\nb\r\nc\\d\r\ne");
}

TEST(KRStrUtilsEscape, UnescapeRules) {
  EXPECT_EQ(UnescapeLineBreaks(u"x\\Ly\\qz\\"), u"xyqz\\");
  EXPECT_EQ(UnescapeLineBreaks(u"a\vb"), u"ab");
  EXPECT_EQ(UnescapeLineBreaks(String(u"ab") + Char(0) + u"cd"), u"ab");
  EXPECT_EQ(EscapeLineBreaks(String(u"ab") + Char(0) + u"\ncd"), u"ab");
}

TEST(KRStrUtilsWordAtPos, FindsTheIdentifierAtOrBeforeThePosition) {
  String w;
  Integer p = 6; // the blank between the words
  EXPECT_TRUE(WordAtPos(u"hello world", p, w));
  EXPECT_EQ(w, u"hello");
  EXPECT_EQ(p, 1);
  p = 9;
  EXPECT_TRUE(WordAtPos(u"hello world", p, w));
  EXPECT_EQ(w, u"world");
  EXPECT_EQ(p, 7);
  p = 1; // nothing before: searches forward
  EXPECT_TRUE(WordAtPos(u"  (_x1)", p, w));
  EXPECT_EQ(w, u"_x1");
  EXPECT_EQ(p, 4);
  p = 100; // clamped to the end
  EXPECT_TRUE(WordAtPos(u"a.\u00e9t\u00e9", p, w));
  EXPECT_EQ(w, u"\u00e9t\u00e9");
  p = 2;
  EXPECT_FALSE(WordAtPos(u" ;; ", p, w));
  EXPECT_FALSE(WordAtPos(u"", p, w));
}

TEST(KRStrUtilsTabs, ExpandAndCompressLeadingWhiteSpace) {
  Integer tabs, index;
  EXPECT_EQ(LeadingWhiteSpace(u" \t x", tabs, index), 3);
  EXPECT_EQ(tabs, 1);
  EXPECT_EQ(index, 3);
  EXPECT_EQ(LeadingWhiteSpace(u"  ", tabs, index), 2);

  EXPECT_EQ(ExpandLeadingTabs(u" \tx", 4), u"    x");
  EXPECT_EQ(CompressLeadingSpaces(u" \tx", 4), u"\tx");
  EXPECT_EQ(ExpandLeadingTabs(u"\t\tx\ty", 3), u"      x\ty");
  EXPECT_EQ(CompressLeadingSpaces(u"      ", 4), u"\t  ");
  EXPECT_EQ(ExpandLeadingTabs(u"   x", 0), u"   x"); // nothing to convert
  EXPECT_THROW(ExpandLeadingTabs(u"\tx", 0), EAssertionFailed);
}

TEST(KRStrUtilsMisc, CharPosIdentCharMinOf) {
  EXPECT_EQ(CharPos(u'c', u"abcabc"), 3);
  EXPECT_EQ(CharPos(u'z', u"abc"), 0);
  EXPECT_TRUE(IsIdentChar(u'_'));
  EXPECT_TRUE(IsIdentChar(u'\u0416'));
  EXPECT_TRUE(IsIdentChar(u'7'));
  EXPECT_FALSE(IsIdentChar(u'.'));
  EXPECT_EQ(MinOf(3, -2), -2);
}

} // namespace
} // namespace krx
