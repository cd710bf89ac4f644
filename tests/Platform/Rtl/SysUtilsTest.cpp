#include "Platform/Rtl/SysUtils.h"
#include "Platform/Rtl/Character.h"
#include "Platform/Rtl/Encoding.h"

#include <gtest/gtest.h>

#include <limits>

namespace krx {
namespace {

TEST(StringHelpers, CopyClampsLikeTheClassLibrary) {
  EXPECT_EQ(Copy(u"abcdef", 2, 3), u"bcd");
  EXPECT_EQ(Copy(u"abcdef", 0, 2), u"ab"); // index below 1 starts at the first character
  EXPECT_EQ(Copy(u"abcdef", -5, 2), u"ab");
  EXPECT_EQ(Copy(u"abcdef", 5, 100), u"ef");
  EXPECT_EQ(Copy(u"abcdef", 7, 1), u"");
  EXPECT_EQ(Copy(u"abcdef", 2, -1), u"");
  EXPECT_EQ(Copy(u"abcdef", 3), u"cdef");
}

TEST(StringHelpers, PosDeleteInsert) {
  EXPECT_EQ(Pos(u"cd", u"abcdcd"), 3);
  EXPECT_EQ(Pos(u"cd", u"abcdcd", 4), 5);
  EXPECT_EQ(Pos(u"", u"abc"), 0);
  EXPECT_EQ(Pos(u"x", u"abc"), 0);
  EXPECT_EQ(Pos(u"a", u"abc", 0), 0);
  String s = u"abcdef";
  Delete(s, 2, 2);
  EXPECT_EQ(s, u"adef");
  Delete(s, 3, 100);
  EXPECT_EQ(s, u"ad");
  Delete(s, 0, 1);
  EXPECT_EQ(s, u"ad");
  Delete(s, 3, 1);
  EXPECT_EQ(s, u"ad");
  Insert(u"XY", s, 2);
  EXPECT_EQ(s, u"aXYd");
  Insert(u"<", s, -3);
  EXPECT_EQ(s, u"<aXYd");
  Insert(u">", s, 100);
  EXPECT_EQ(s, u"<aXYd>");
}

TEST(StringHelpers, TrimStripsControlsAndSpaceOnly) {
  EXPECT_EQ(Trim(u"\t\r\n x y \x01"), u"x y");
  EXPECT_EQ(Trim(u"\u00A0x\u00A0"), u"\u00A0x\u00A0"); // no-break space is kept
  EXPECT_EQ(TrimLeft(u"  a "), u"a ");
  EXPECT_EQ(TrimRight(u"  a "), u"  a");
  EXPECT_EQ(Trim(u"   "), u"");
}

TEST(StringHelpers, AsciiCaseFunctionsLeaveOtherLettersAlone) {
  EXPECT_EQ(UpperCase(u"abcäö"), u"ABCäö");
  EXPECT_EQ(LowerCase(u"ABCÄÖ"), u"abcÄÖ");
  EXPECT_TRUE(SameText(u"Hello", u"hELLO"));
  EXPECT_FALSE(SameText(u"Ä", u"ä"));
  EXPECT_LT(CompareText(u"abc", u"ABD"), 0);
  EXPECT_GT(CompareText(u"abcd", u"ABC"), 0);
  EXPECT_EQ(CompareText(u"_", u"_"), 0);
  // ASCII folding compares upper case: '_' (0x5F) sorts after 'Z' but before 'a'-folded.
  EXPECT_GT(CompareText(u"_", u"a"), 0);
}

TEST(StringHelpers, UnicodeCaseFunctionsFoldEveryLetter) {
  EXPECT_EQ(AnsiUpperCase(u"straße äöü ǆ"), u"STRAßE ÄÖÜ Ǆ");
  EXPECT_EQ(AnsiLowerCase(u"ÄÖÜ ΣΑΣ"), u"äöü σασ");
  EXPECT_TRUE(AnsiSameText(u"ÄRGER", u"ärger"));
  EXPECT_TRUE(AnsiSameText(u"ΣΑΣ", u"σας")); // final sigma folds with sigma
  EXPECT_FALSE(AnsiSameText(u"a", u"ab"));
  EXPECT_EQ(AnsiCompareText(u"äb", u"ÄC"), -1);
  EXPECT_EQ(AnsiCompareStr(u"a", u"B"), 1); // ordinal
}

TEST(StringHelpers, QuotingAndReplacing) {
  EXPECT_EQ(QuotedStr(u"it's"), u"'it''s'");
  EXPECT_EQ(AnsiDequotedStr(u"'it''s' tail", u'\''), u"it's");
  EXPECT_EQ(AnsiDequotedStr(u"plain", u'\''), u"plain");
  EXPECT_EQ(AnsiDequotedStr(u"'open", u'\''), u"'open");
  EXPECT_EQ(StringOfChar(u'-', 3), u"---");
  EXPECT_EQ(StringOfChar(u'-', -1), u"");
  EXPECT_EQ(StringReplace(u"aXbxc", u"x", u"-", rfReplaceAll), u"aXb-c");
  EXPECT_EQ(StringReplace(u"aXbxc", u"x", u"-", rfReplaceAllIgnoreCase), u"a-b-c");
  EXPECT_EQ(StringReplace(u"aXbxc", u"x", u"-", rfIgnoreCase), u"a-bxc");
  EXPECT_EQ(StringReplace(u"aaa", u"a", u"aa", rfReplaceAll), u"aaaaaa");
  EXPECT_EQ(StringReplace(u"abc", u"", u"-", rfReplaceAll), u"abc");
}

TEST(Conversions, StrToIntFollowsTheClassLibraryRules) {
  EXPECT_EQ(StrToInt(u" 123"), 123);
  EXPECT_EQ(StrToInt(u"-42"), -42);
  EXPECT_EQ(StrToInt(u"+7"), 7);
  EXPECT_EQ(StrToInt(u"$0400"), 1024);
  EXPECT_EQ(StrToInt(u"0x400"), 1024);
  EXPECT_EQ(StrToInt(u"x1F"), 31);
  EXPECT_EQ(StrToInt(u"$FFFFFFFF"), -1);
  EXPECT_EQ(StrToInt(u"-2147483648"), std::numeric_limits<Integer>::min());
  EXPECT_EQ(StrToInt(u"2147483647"), std::numeric_limits<Integer>::max());
  Integer v = 99;
  for (const char16_t *bad : {u"12 ", u"", u" ", u"2147483648", u"-2147483649", u"$100000000",
                              u"1.0", u"abc", u"-", u"$", u"0x", u"\t1"}) {
    EXPECT_FALSE(TryStrToInt(bad, v)) << StringToUtf8(bad);
  }
  EXPECT_EQ(v, 99);
  EXPECT_EQ(StrToIntDef(u"12 ", -1), -1);
  Int64 w;
  EXPECT_TRUE(TryStrToInt64(u"9223372036854775807", w));
  EXPECT_EQ(w, std::numeric_limits<Int64>::max());
  EXPECT_TRUE(TryStrToInt64(u"-9223372036854775808", w));
  EXPECT_EQ(w, std::numeric_limits<Int64>::min());
  EXPECT_FALSE(TryStrToInt64(u"9223372036854775808", w));
}

TEST(Conversions, StrToIntRaisesWithTheValueInTheMessage) {
  try {
    StrToInt(u"12x");
    FAIL();
  } catch (const EConvertError &e) {
    EXPECT_EQ(e.Message(), u"'12x' is not a valid integer value");
  }
}

TEST(Conversions, NumbersToText) {
  EXPECT_EQ(IntToStr(-1234567890123LL), u"-1234567890123");
  EXPECT_EQ(IntToStr(0), u"0");
  EXPECT_EQ(IntToStr(std::numeric_limits<Int64>::min()), u"-9223372036854775808");
  EXPECT_EQ(IntToStr(std::numeric_limits<Int64>::max()), u"9223372036854775807");
  EXPECT_EQ(IntToHex(255, 4), u"00FF");
  EXPECT_EQ(IntToHex(-1, 2), u"FFFFFFFF");
  EXPECT_EQ(IntToHex(Int64(0x123456789), 1), u"123456789");
  EXPECT_EQ(FloatToStr(0.1), u"0.1");
  EXPECT_EQ(FloatToStr(1.5), u"1.5");
  EXPECT_EQ(FloatToStr(-2), u"-2");
  EXPECT_EQ(FloatToStr(1e14), u"100000000000000");
  EXPECT_EQ(FloatToStr(1e15), u"1E15");
  EXPECT_EQ(FloatToStr(0.0001), u"0.0001");
  EXPECT_EQ(FloatToStr(0.00001), u"1E-5");
  EXPECT_EQ(FloatToStr(1.0 / 3), u"0.333333333333333");
  EXPECT_EQ(FloatToStr(0), u"0");
  EXPECT_EQ(BoolToStr(true), u"-1");
  EXPECT_EQ(BoolToStr(false), u"0");
  EXPECT_EQ(BoolToStr(true, true), u"True");
  EXPECT_TRUE(StrToBool(u"true"));
  EXPECT_FALSE(StrToBool(u"0"));
  EXPECT_TRUE(StrToBool(u"-1"));
  EXPECT_THROW(StrToBool(u"yes"), EConvertError);
}

TEST(FormatTest, IntegerDirectives) {
  EXPECT_EQ(Format(u"@%5.5d:%s", {1028, u"x"}), u"@01028:x");
  EXPECT_EQ(Format(u"%5.5d", {-12}), u"-00012");
  EXPECT_EQ(Format(u"[%5d|%-5d]", {42, 42}), u"[   42|42   ]");
  EXPECT_EQ(Format(u"%x %.4x %u", {255, 10, -1}), u"FF 000A 4294967295");
  EXPECT_EQ(Format(u"%d%%", {50}), u"50%");
  EXPECT_EQ(Format(u"%1:s %0:s %s", {u"a", u"b"}), u"b a b");
  EXPECT_EQ(Format(u"%*d", {4, 7}), u"   7");
  EXPECT_EQ(Format(u"%d|%x|%.22d|%-6.3d|", {std::numeric_limits<Int64>::min(),
                                           std::numeric_limits<UInt64>::max(), 7, -5}),
            u"-9223372036854775808|FFFFFFFFFFFFFFFF|0000000000000000000007|-005  |");
}

TEST(FormatTest, StringAndFloatDirectives) {
  EXPECT_EQ(Format(u"%s|%.2s|%-4s|%4s", {u"abc", u"abc", u"ab", u"ab"}), u"abc|ab|ab  |  ab");
  EXPECT_EQ(Format(u"%f %.3f %.0f", {1.5, 2.0, 2.4}), u"1.50 2.000 2");
  EXPECT_EQ(Format(u"%g", {1234.5}), u"1234.5");
  EXPECT_EQ(Format(u"%e", {1234.5}), u"1.23450000000000E+003");
  EXPECT_EQ(Format(u"%n", {1234567.891}), u"1,234,567.89");
  EXPECT_EQ(Format(u"%s", {u'c'}), u"c");
}

TEST(FormatTest, BadDirectivesRaiseConvertError) {
  EXPECT_THROW(Format(u"%d", {u"text"}), EConvertError);
  EXPECT_THROW(Format(u"%s", {12}), EConvertError);
  EXPECT_THROW(Format(u"%f", {1}), EConvertError);
  EXPECT_THROW(Format(u"%d %d", {1}), EConvertError);
  EXPECT_THROW(Format(u"%", {}), EConvertError);
  EXPECT_THROW(Format(u"%q", {1}), EConvertError);
  EXPECT_THROW(Format(u"%5", {1}), EConvertError);
}

TEST(Exceptions, HierarchyNamesAndMessages) {
  try {
    throw EFOpenError(u"Cannot open file \"%s\". %s", {u"ä.txt", u"No such file"});
  } catch (const EStreamError &e) {
    EXPECT_EQ(e.Message(), u"Cannot open file \"ä.txt\". No such file");
    EXPECT_STREQ(e.what(), "Cannot open file \"ä.txt\". No such file");
    EXPECT_EQ(String(e.ClassName()), u"EFOpenError");
  }
  EXPECT_THROW(Abort(), EAbort);
  EXPECT_THROW(KR_ASSERT(1 + 1 == 3), EAssertionFailed);
  EXPECT_NO_THROW(KR_ASSERT(1 + 1 == 2));
}

TEST(Encodings, Utf8RoundTripAndReplacement) {
  String s = u"Aä€\U0001F600";
  EXPECT_EQ(Utf8ToString(StringToUtf8(s)), s);
  EXPECT_EQ(Utf8ToString("a\xFF"
                         "b"),
            u"a\uFFFDb");
  EXPECT_EQ(Utf8ToString("\xE2\x82"), u"\uFFFD");                   // truncated sequence
  EXPECT_EQ(Utf8ToString("\xC0\xAF"), u"\uFFFD\uFFFD");             // overlong form
  EXPECT_EQ(Utf8ToString("\xED\xA0\x80"), u"\uFFFD");               // encoded surrogate
  EXPECT_EQ(StringToUtf8(String(1, Char(0xD800))), "\xEF\xBF\xBD"); // lone surrogate
  // The first and last code point of each sequence length.
  const std::pair<String, std::string> bounds[] = {
      {u"\u007F", "\x7F"},         {u"\u0080", "\xC2\x80"},     {u"\u07FF", "\xDF\xBF"},
      {u"\u0800", "\xE0\xA0\x80"}, {u"\uFFFF", "\xEF\xBF\xBF"}, {u"\U00010000", "\xF0\x90\x80\x80"},
  };
  for (const auto &[text, bytes] : bounds) {
    EXPECT_EQ(StringToUtf8(text), bytes);
    EXPECT_EQ(Utf8ToString(bytes), text);
  }
  const std::string bad = "\xF5\x80";
  EXPECT_FALSE(IsValidUtf8(reinterpret_cast<const Byte *>(bad.data()), bad.size()));
}

TEST(Encodings, AnsiIsWindows1252) {
  const Byte bytes[] = {0x80, 0x41, 0xE4, 0x9F, 0x81};
  EXPECT_EQ(DecodeAnsi(bytes, 5), u"\u20ACAä\u0178\u0081");
  TBytes enc = EncodeAnsi(u"€ä\u0100\U0001F600");
  EXPECT_EQ(enc, (TBytes{0x80, 0xE4, '?', '?'}));
}

// ASCII runs are widened several bytes at a time: a mapped byte at any offset must still be
// mapped, and every other byte kept.
TEST(Encodings, AnsiHighBytesAtEveryOffset) {
  for (std::size_t at = 0; at < 40; ++at) {
    std::vector<Byte> bytes(40, 'a');
    bytes[at] = 0x80;
    String want(40, u'a');
    want[at] = u'\u20AC';
    EXPECT_EQ(DecodeAnsi(bytes.data(), bytes.size()), want) << at;
  }
}

TEST(Encodings, Utf16LeOddTrailingByte) {
  const Byte bytes[] = {0x41, 0x00, 0xAC, 0x20, 0x42};
  EXPECT_EQ(DecodeUtf16LE(bytes, 5), u"A€\uFFFD");
  EXPECT_EQ(EncodeUtf16LE(u"A€"), (TBytes{0x41, 0x00, 0xAC, 0x20}));
}

TEST(Characters, LettersDigitsAndSpaceByCategory) {
  EXPECT_TRUE(IsLetter(u'ß'));
  EXPECT_TRUE(IsLetter(u'λ'));
  EXPECT_TRUE(IsLetter(u'中'));
  EXPECT_FALSE(IsLetter(u'_'));
  EXPECT_FALSE(IsLetter(u'1'));
  EXPECT_TRUE(IsDigit(u'٣'));
  EXPECT_FALSE(IsDigit(u'x'));
  EXPECT_TRUE(IsWhiteSpace(u'\u2003'));
  EXPECT_FALSE(IsWhiteSpace(u'x'));
  EXPECT_EQ(FoldChar(u'Σ'), u'σ');
  EXPECT_EQ(ToUpperChar(u'ÿ'), u'Ÿ');
}

} // namespace
} // namespace krx
