// The older revision's keyword recognition: the per-letter tables, their language-mode
// conditions and the start-up self-test that checks them against the enumeration.
#include "Engine/CodeItems.h"
#include "Engine/CodeItemsTestSupport.h"
#include "Engine/KRX.ReservedWords.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

TEST(KeywordTables, TheSelfTestPassesInEveryModeFromDelphi7ToDotNet2) {
  for (std::size_t m = 0; m < TDelphiLanguageModeNames.size(); ++m) {
    TLanguageModeGuard guard(static_cast<TDelphiLanguageMode>(m));
    EXPECT_NO_THROW(CheckDelphiKeywordTables()) << StringToUtf8(TDelphiLanguageModeNames[m]);
  }
}

TEST(KeywordTables, TheSelfTestNamesTheFirstWordATableGetsWrong) {
  const auto fails = [](const TKeywordLookup &directive, const TKeywordLookup &keyword) {
    try {
      CheckDelphiKeywordTables(directive, keyword);
    } catch (const Exception &e) {
      return e.Message();
    }
    return String(u"<passed>");
  };
  const TKeywordLookup withoutVirtual = [](StringView t, TReservedWord &w) {
    return !SameText(t, u"virtual") && LookupDelphiDirective(t, w);
  };
  const TKeywordLookup usesIsVar = [](StringView t, TReservedWord &w) {
    const bool found = LookupDelphiKeyword(t, w);
    if (found && w == rwUses)
      w = rwVar;
    return found;
  };
  TLanguageModeGuard guard(dlmDelphi10_4Win32);
  EXPECT_EQ(fails(withoutVirtual, LookupDelphiKeyword), u"rwVirtual");
  EXPECT_EQ(fails(LookupDelphiDirective, usesIsVar), u"rwUses");
  // Unsafe may be missing in a Win32 mode, but not in a .NET mode.
  const TKeywordLookup withoutUnsafe = [](StringView t, TReservedWord &w) {
    return !SameText(t, u"unsafe") && LookupDelphiDirective(t, w);
  };
  EXPECT_EQ(fails(withoutUnsafe, LookupDelphiKeyword), u"<passed>");
  TLanguageModeGuard dotNet(dlmDelphiDotNet);
  EXPECT_EQ(fails(withoutUnsafe, LookupDelphiKeyword), u"rwUnsafe");
}

struct TLookupCase {
  TDelphiLanguageMode Mode;
  const Char *Text;
  int Directive; // the full table's word, -1 none
  int Keyword;   // the keyword table's word, -1 none
};

TEST(KeywordTables, WordsCountOnlyInTheirModes) {
  const TLookupCase cases[] = {
      {dlmDelphi7Win32, u"strict", -1, -1},
      {dlmDelphi9Win32, u"Strict", rwStrict, -1},
      {dlmDelphi7Win32, u"final", -1, -1},
      {dlmDelphi9Win32, u"operator", -1, -1},
      {dlmDelphi10Win32, u"OPERATOR", rwOperator, rwOperator},
      {dlmD2009Win32, u"delayed", -1, -1},
      {dlmD2010Win32, u"delayed", rwDelayed, -1},
      {dlmDelphi10_4Win32, u"add", -1, -1},
      {dlmDelphi10_4Win32, u"unsafe", -1, -1},
      {dlmDelphiDotNet, u"add", rwAdd, -1},
      {dlmDelphiDotNet2, u"Remove", rwRemove, -1},
      {dlmDelphiDotNet2, u"unsafe", rwUnsafe, -1},
      {dlmDelphiDotNet, u"operator", rwOperator, rwOperator},
      {dlmDelphi10_4Win32, u"bEgIn", rwBegin, rwBegin},
      {dlmDelphi10_4Win32, u"writeonly", rwWriteOnly, -1}, // no "W" in the keyword table
      {dlmDelphi10_4Win32, u"constructor", rwConstructor, rwConstructor},
      {dlmDelphi10_4Win32, u"en", -1, -1}, // two letters are never a word
      {dlmDelphi10_4Win32, u"begins", -1, -1},
      {dlmDelphi10_4Win32, u"xor", -1, -1},
      {dlmDelphi10_4Win32, u"_begin", -1, -1},
      {dlmDelphi10_4Win32, u"varargs", -1, -1},
      {dlmDelphi10_4Win32, u"align", -1, -1},
  };
  for (const TLookupCase &c : cases) {
    TLanguageModeGuard guard(c.Mode);
    TReservedWord w = rwExperimental;
    const int directive = LookupDelphiDirective(c.Text, w) ? w : -1;
    w = rwExperimental;
    const int keyword = LookupDelphiKeyword(c.Text, w) ? w : -1;
    EXPECT_EQ(directive, c.Directive) << StringToUtf8(c.Text);
    EXPECT_EQ(keyword, c.Keyword) << StringToUtf8(c.Text);
  }
}

TEST(KeywordTables, TheEnumerationHasSeventyValuesWithoutVarArgsAndAlign) {
  EXPECT_EQ(ReservedWordCount, 70);
  EXPECT_EQ(rwStdcall, rwCdecl + 1);
  EXPECT_EQ(ReservedWordName(rwExperimental), u"rwExperimental");
  EXPECT_EQ(TCallConventionNames.back(), u"ccFar");
}

} // namespace
} // namespace krx
