#include "Common/DataTyp.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

TEST(HungarianPrefix, PredefinedTypesOtherNamesAndNoType) {
  EXPECT_EQ(HungarianPrefix(lanPascal, u"ShortInt"), u"I8");
  EXPECT_EQ(HungarianPrefix(lanPascal, u"smallint"), u"I16");
  EXPECT_EQ(HungarianPrefix(lanPascal, u"INTEGER"), u"I");
  EXPECT_EQ(HungarianPrefix(lanPascal, u"string"), u"S");
  EXPECT_EQ(HungarianPrefix(lanPascal, u"OleVariant"), u"OV");
  EXPECT_EQ(HungarianPrefix(lanUndefined, u"Real48"), u"R48");
  EXPECT_EQ(HungarianPrefix(lanPascal, u"TObject"), u"UTObject");
  EXPECT_EQ(HungarianPrefix(lanPascal, u"Int"), u"UInt"); // shorter than four characters
  EXPECT_EQ(HungarianPrefix(lanPascal, u"&"), u"U&");
  EXPECT_EQ(HungarianPrefix(lanPascal, u"VOID"), u"");
  EXPECT_EQ(HungarianPrefix(lanPascal, u""), u"");
  EXPECT_EQ(DelphiTypeCode(lanPascal, u"Pointer"), 30);
  EXPECT_EQ(DelphiTypeCode(lanPascal, u"Variant"), 32);
  EXPECT_EQ(DelphiTypeCode(lanPascal, u"Integers"), 34);
  // Every predefined name, in upper case, gives its code (31 is no name's).
  const char16_t *const names[] = {
      u"INTEGER",  u"SHORTINT", u"SMALLINT", u"LONGINT",     u"BYTE",       u"INT64",
      u"WORD",     u"LONGWORD", u"CARDINAL", u"BOOLEAN",     u"BYTEBOOL",   u"WORDBOOL",
      u"LONGBOOL", u"EXTENDED", u"SINGLE",   u"DOUBLE",      u"COMP",       u"CURRENCY",
      u"REAL",     u"REAL48",   u"STRING",   u"SHORTSTRING", u"ANSISTRING", u"CHAR",
      u"ANSICHAR", u"WIDECHAR", u"PCHAR",    u"PANSICHAR",   u"PWIDECHAR",  u"PSTRING",
      u"POINTER",  nullptr,     u"VARIANT",  u"OLEVARIANT"};
  for (Integer code = 0; code < 34; ++code) {
    if (!names[code])
      continue;
    EXPECT_EQ(DelphiTypeCode(lanPascal, names[code]), code) << StringToUtf8(names[code]);
  }
}

TEST(SourceLanguageKind, NamesAndSets) {
  EXPECT_EQ(LanguageKindName(lanPascal), u"Object Pascal");
  EXPECT_EQ(LanguageKindName(lanUndefined), u"Default language");
  EXPECT_EQ(LanguageKindFromName(u"object pascal"), lanPascal);
  EXPECT_EQ(LanguageKindFromName(u"Default language"), lanUndefined);
  EXPECT_EQ(EffectiveLanguageKind(lanUndefined), lanPascal);
  TSourceLanguageKind k = lanUndefined;
  EXPECT_TRUE(LanguageKindFromSet({lanPascal}, k));
  EXPECT_EQ(k, lanPascal);
  EXPECT_FALSE(LanguageKindFromSet({}, k));
  EXPECT_FALSE(LanguageKindFromSet({lanPascal, lanUndefined}, k));
}

} // namespace
} // namespace krx
