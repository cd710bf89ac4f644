#include "World/ClassEx.h"

#include "support/KrxTest.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

std::vector<String> Lines(const TStrings &s) { return s.ToStringArray(); }

TEST(StringListHelpers, IndentLinesIndentsNonEmptyLinesInRange) {
  TStringList l;
  l.SetText(u"a\r\n\r\nb\r\nc\r\n");
  IndentLines(l, 1, 100, 2);
  EXPECT_EQ(Lines(l), (std::vector<String>{u"a", u"", u"  b", u"  c"}));
  IndentLines(l, 0, 0, 0);
  EXPECT_EQ(Lines(l)[0], u"a");
  EXPECT_THROW(IndentLines(l, 0, 3, -1), EAssertionFailed);
  EXPECT_EQ(Lines(l), (std::vector<String>{u"a", u"", u"  b", u"  c"}));
  EXPECT_EQ(l.UpdateCount(), 0);
}

TEST(StringListHelpers, TrimBlankAndTrailingWhiteSpace) {
  TStringList l;
  l.SetText(u" \t\r\n\r\nx  \r\n\r\ny\t\r\n \r\n");
  TrimBlankLines(l);
  EXPECT_EQ(Lines(l), (std::vector<String>{u"x  ", u"", u"y\t"}));
  TrimRightLines(l);
  EXPECT_EQ(Lines(l), (std::vector<String>{u"x", u"", u"y"}));
  TStringList blank;
  blank.SetText(u" \r\n\t\r\n");
  TrimBlankLines(blank);
  EXPECT_EQ(blank.Count(), 0);
}

TEST(StringListHelpers, JoinStrings) {
  TStringList l;
  l.SetText(u"a\r\n b \r\n   \r\nc");
  EXPECT_EQ(JoinStrings(l, u", ", false), u"a,  b ,    , c");
  EXPECT_EQ(JoinStrings(l, u", ", true), u"a, b, , c");
  EXPECT_EQ(JoinStrings(TStringList(), u",", true), u"");
}

TEST(StringListHelpers, SetDelimitedTextUsesTheDelimiter) {
  TStringList l;
  SetDelimitedText(l, u';', u"a;\"b;c\";d e");
  EXPECT_EQ(Lines(l), (std::vector<String>{u"a", u"b;c", u"d", u"e"}));
  l.SetStrictDelimiter(true);
  SetDelimitedText(l, u'|', u"x y|z");
  EXPECT_EQ(Lines(l), (std::vector<String>{u"x y", u"z"}));
}

TEST(StringListHelpers, LoadAndSaveFiles) {
  test::TempDir dir;
  TStringList l;
  l.SetText(u"\u00e9\r\nb");
  SaveStringsToUtf8File(l, dir.Str("l.txt"));
  EXPECT_EQ(test::ReadFileBytes(dir / "l.txt"), "\xEF\xBB\xBF\xC3\xA9\r\nb\r\n");
  TStringList back;
  LoadStringsFromFile(back, dir.Str("l.txt"));
  EXPECT_EQ(Lines(back), (std::vector<String>{u"\u00e9", u"b"}));
  // A refused encoding assigns nothing.
  test::WriteFileBytes(dir / "be.txt", std::string("\xFE\xFF\0x", 4));
  EXPECT_THROW(LoadStringsFromFile(back, dir.Str("be.txt")), EUnsupportedTextEncoding);
  EXPECT_EQ(Lines(back), (std::vector<String>{u"\u00e9", u"b"}));
}

TEST(IStringList, WrapsOneCountedList) {
  IPtr<IStringList> list(new TIStringList(u"b=2\r\na=1"));
  EXPECT_EQ(list->GetCount(), 2);
  EXPECT_EQ(list->GetValues(u"a"), u"1");
  EXPECT_EQ(list->GetNames(0), u"b");
  EXPECT_EQ(list->GetValueFromIndex(1), u"1");
  EXPECT_EQ(list->IndexOfName(u"A"), 1);
  EXPECT_EQ(list->AddFmt(u"%s=%d", {u"c", 3}), 2);
  EXPECT_EQ(list->GetLast(), u"c=3");
  list->SetLast(u"z");
  EXPECT_EQ(list->GetStrings(2), u"z");
  EXPECT_TRUE(list->Contains(u"Z"));
  list->SetValues(u"b", u"");
  EXPECT_EQ(list->GetText(), u"a=1\r\nz\r\n");
  list->SetCommaText(u"x,\"y z\"");
  EXPECT_EQ(list->GetCommaText(), u"x,\"y z\"");
  list->SetSorted(true);
  list->SetDuplicates(dupError);
  EXPECT_THROW(list->Add(u"x"), EStringListError);
  Integer index;
  EXPECT_TRUE(list->Find(u"y z", index));
  EXPECT_EQ(index, 1);
  EXPECT_EQ(list->GetList()->Count(), 2);

  IPtr<IStringList> empty(new TIStringList);
  EXPECT_THROW(empty->GetLast(), EStringListError);
  EXPECT_EQ(empty->GetText(), u"");
}

TEST(IStringList, BlankLinesAndFiles) {
  test::TempDir dir;
  IPtr<IStringList> list(new TIStringList(u"  \r\na \r\n\r\n\t\r\nb\r\n "));
  list->TrimBlankLines();
  EXPECT_EQ(list->GetText(), u"a \r\n\r\n\t\r\nb\r\n");
  list->RemoveBlankLines();
  list->TrimRight();
  EXPECT_EQ(list->GetText(), u"a\r\nb\r\n");
  list->SaveToFile(dir.Str("s.txt"));
  IPtr<IStringList> back(new TIStringList);
  back->LoadFromFile(dir.Str("s.txt"));
  EXPECT_EQ(back->GetText(), u"a\r\nb\r\n");
  test::WriteFileBytes(dir / "u.txt", std::string("\xEF\xBB\xBFx\xC3\xA9\r\ny\0z", 10));
  back->LoadFromUtf8File(dir.Str("u.txt"));
  EXPECT_EQ(back->GetText(), u"x\u00e9\r\ny\r\n");
}

} // namespace
} // namespace krx
