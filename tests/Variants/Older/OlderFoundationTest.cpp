// The older revision's foundation and code-model differences: the string-list text stream,
// the prefix helper and the .NET language modes.
#include "Engine/CodeItems.h"
#include "Engine/CodeItemsTestSupport.h"
#include "World/LowerCasePrefix.h"
#include "World/StringsText.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

// Counts the update brackets the list enters and leaves.
class TCountingList : public TStringList {
public:
  int Brackets = 0;

protected:
  void SetUpdateState(bool Updating) override {
    ++Brackets;
    TStringList::SetUpdateState(Updating);
  }
};

TEST(StringsText, WritesReplaceLinesFromTheStartAndAppendAtTheIndex) {
  TStringList list;
  list.SetText(u"one\r\ntwo\r\nthree");
  {
    TStringsText text(&list, false);
    text.WriteLine(u"A");
    text.WriteLine(u"B");
    text.Write(u"+");
    EXPECT_EQ(text.LineNo(), 2);
    EXPECT_EQ(list.UpdateCount(), 1); // held in one update bracket
  }
  EXPECT_EQ(list.Text(), u"A\r\nB\r\nthree+\r\n");
  EXPECT_EQ(list.UpdateCount(), 0);
}

TEST(StringsText, WritingPastTheEndAddsLines) {
  TStringList list;
  TStringsText text(&list, false);
  text.Write(u"x");
  text.WriteLine(u"y");
  text.WriteLine(u"z");
  EXPECT_EQ(list.Text(), u"y\r\nz\r\n"); // Write added "x", WriteLine replaced it
}

TEST(StringsText, ReadOnlyReadsEveryLineNeverBracketsAndRefusesWrites) {
  TCountingList list;
  list.Add(u"a");
  list.Add(u"b");
  TStringsText text(&list, true);
  String read;
  while (!text.Eof())
    read += text.ReadLine() + u";";
  EXPECT_EQ(read, u"a;b;");
  EXPECT_THROW(text.ReadLine(), EStringListError);
  for (auto write : {&TStringsText::Write, &TStringsText::WriteLine}) {
    try {
      (text.*write)(u"c");
      ADD_FAILURE() << "a read-only list was written";
    } catch (const Exception &e) {
      EXPECT_EQ(e.Message(), u"Cannot write to read only strings");
    }
  }
  EXPECT_EQ(text.GetText(), u"a\r\nb\r\n");
  text.SetStrings(nullptr);
  EXPECT_EQ(list.Brackets, 0);
}

TEST(StringsText, TakingAnotherListEndsTheBracketOfTheFirst) {
  TStringList first, second;
  TStringsText text(&first, false);
  text.SetStrings(&second);
  EXPECT_EQ(first.UpdateCount(), 0);
  EXPECT_EQ(second.UpdateCount(), 1);
  text.SetStrings(&second); // the same list: nothing changes
  EXPECT_EQ(second.UpdateCount(), 1);
}

TEST(StripLowerCasePrefix, DropsTheLeadingLowerCaseLettersOnly) {
  const std::pair<const Char *, const Char *> cases[] = {{u"ckModule", u"Module"},
                                                         {u"rwBegin", u"Begin"},
                                                         {u"dlmD2009Win32", u"D2009Win32"},
                                                         {u"\u00e9tat", u"\u00e9tat"},
                                                         {u"Upper", u"Upper"}};
  for (auto [name, expected] : cases)
    EXPECT_EQ(StripLowerCasePrefix(name), expected) << StringToUtf8(name);
  EXPECT_THROW(StripLowerCasePrefix(u"abc"), EAssertionFailed);
}

TEST(OlderLanguageModes, EndWithTheDotNetDialectsAndStartAtDelphi10_4) {
  EXPECT_EQ(dlmDelphi10_4Win32, 17);
  EXPECT_EQ(dlmDelphiDotNet2, 19);
  EXPECT_EQ(TDelphiLanguageModeNames.size(), 20u);
  EXPECT_EQ(DelphiLanguageMode(), dlmDelphi10_4Win32);
}

TEST(OlderLanguageModes, MulticastEventsOnlyForKindsWithEventsInTheDotNetDialects) {
  const auto multicast = [](TClassKind kind) {
    return GlobalPascalLanguage()->GetClassifierKind(kind).AllowsMulticastEvents();
  };
  for (TDelphiLanguageMode mode : {dlmDelphiDotNet, dlmDelphiDotNet2}) {
    TLanguageModeGuard guard(mode);
    EXPECT_TRUE(multicast(clClass));
    EXPECT_FALSE(multicast(clObject)); // old-style objects hold no events
  }
  TLanguageModeGuard guard(dlmDelphi10_4Win32);
  EXPECT_FALSE(multicast(clClass));
}

} // namespace
} // namespace krx
