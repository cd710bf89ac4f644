#include "Engine/KRX.ReservedWords.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

TReservedWord Lookup(StringView w) {
  TReservedWord r = rwAlign;
  EXPECT_TRUE(IsReservedWord(w, r)) << StringToUtf8(w);
  return r;
}

TEST(ReservedWords, LookupIgnoresAsciiCase) {
  EXPECT_EQ(Lookup(u"Begin"), rwBegin);
  EXPECT_EQ(Lookup(u"BEGIN"), rwBegin);
  EXPECT_EQ(Lookup(u"begin"), rwBegin);
  EXPECT_EQ(Lookup(u"ResourceString"), rwResourceString);
  EXPECT_EQ(Lookup(u"dispid"), rwDispID);
  EXPECT_EQ(Lookup(u"ReadOnly"), rwReadOnly);
  EXPECT_EQ(Lookup(u"align"), rwAlign);
  TReservedWord w = rwEnd;
  EXPECT_FALSE(IsReservedWord(u"beginx", w));
  EXPECT_FALSE(IsReservedWord(u"", w));
  EXPECT_FALSE(IsReservedWord(u"InitializationX", w));
  // Same length, first, second and last letters as a word, different inside.
  EXPECT_FALSE(IsReservedWord(u"bexin", w));
  EXPECT_FALSE(IsReservedWord(u"PRxTECTED", w));
  EXPECT_FALSE(IsReservedWord(u"implementatiin", w));
  // Only ASCII letters fold: a dotless i does not make "begin".
  EXPECT_FALSE(IsReservedWord(u"beg\u0131n", w));
  EXPECT_EQ(w, rwEnd);
}

TEST(ReservedWords, EveryWordButThreeIsInTheDictionary) {
  int found = 0;
  for (Integer i = 0; i < ReservedWordCount; ++i) {
    auto v = static_cast<TReservedWord>(i);
    String word = ReservedWordName(v).substr(2);
    TReservedWord r;
    bool isWord = IsReservedWord(word, r);
    if (v == rwUnsafe || v == rwAdd || v == rwRemove) {
      EXPECT_FALSE(isWord) << StringToUtf8(word);
    } else {
      ASSERT_TRUE(isWord) << StringToUtf8(word);
      EXPECT_EQ(r, v);
      ++found;
    }
  }
  EXPECT_EQ(found, 69);
  EXPECT_EQ(ReservedWordName(rwUses), u"rwUses");
  EXPECT_EQ(static_cast<int>(rwUses), 26);
  EXPECT_EQ(static_cast<int>(rwStrict), 32);
  EXPECT_EQ(static_cast<int>(rwDeprecated), 67);
}

TEST(ReservedWords, KeywordsAreTheStructuralWordsOnly) {
  TReservedWord w = rwAlign;
  EXPECT_TRUE(IsReservedWord(u"private", w));
  EXPECT_EQ(w, rwPrivate);
  w = rwAlign;
  EXPECT_FALSE(IsReservedKeyword(u"private", w));
  EXPECT_EQ(w, rwAlign);
  EXPECT_TRUE(IsReservedKeyword(u"uses", w));
  EXPECT_EQ(w, rwUses);
  EXPECT_TRUE(IsReservedKeyword(u"Class", w));
  EXPECT_EQ(w, rwClass);
  EXPECT_FALSE(IsReservedKeyword(u"unsafe", w));
  EXPECT_FALSE(IsReservedWord(u"Unsafe", w));
  EXPECT_FALSE(IsReservedWord(u"add", w));
  EXPECT_FALSE(IsReservedWord(u"remove", w));
}

} // namespace
} // namespace krx
