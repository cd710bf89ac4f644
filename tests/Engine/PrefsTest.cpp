#include "Engine/Prefs.h"

#include <gtest/gtest.h>

#include <map>

namespace krx {
namespace {

// Puts every touched preference back, since the instances are process-wide.
class PrefsTest : public ::testing::Test {
protected:
  void TearDown() override { FinalizePrefs(); }
};

TEST_F(PrefsTest, OneInstancePerLanguage) {
  TPreferences &a = GetPreferences(lanPascal);
  EXPECT_EQ(&a, &GetPreferences(lanPascal));
  EXPECT_NE(&a, &GetPreferences(lanUndefined));
  EXPECT_EQ(a.Language, lanPascal);
  EXPECT_EQ(GetPreferences(lanUndefined).Language, lanUndefined);
}

TEST_F(PrefsTest, AutoModuleNameFormatReadsWithTheClassMarker) {
  TPreferences &p = GetPreferences(lanPascal);
  EXPECT_EQ(p.GetAutoModuleNameFmt(), u"[Class]s");
  p.SetAutoModuleNameFmt(u"Unit[Class]Impl");
  EXPECT_EQ(p.AutoModuleNameFormat, u"Unit%sImpl");
  EXPECT_EQ(p.GetAutoModuleNameFmt(), u"Unit[Class]Impl");
  // Without the marker the text is stored unchanged.
  p.SetAutoModuleNameFmt(u"Fixed");
  EXPECT_EQ(p.AutoModuleNameFormat, u"Fixed");
  EXPECT_EQ(p.GetAutoModuleNameFmt(), u"Fixed");
  // Only the first marker is substituted.
  p.SetAutoModuleNameFmt(u"[Class]_[Class]");
  EXPECT_EQ(p.GetAutoModuleNameFmt(), u"[Class]_[Class]");
}

TEST_F(PrefsTest, PercentSignsSurviveTheRoundTrip) {
  TPreferences &p = GetPreferences(lanPascal);
  for (const char16_t *text : {u"50%[Class]", u"[Class]%d", u"%s[Class]%", u"100%"}) {
    p.SetAutoModuleNameFmt(text);
    EXPECT_EQ(p.GetAutoModuleNameFmt(), text);
  }
  // A format written directly with directives other than %s reads without raising.
  p.AutoModuleNameFormat = u"%d-%s-%x";
  EXPECT_EQ(p.GetAutoModuleNameFmt(), u"%d-[Class]-%x");
}

TEST_F(PrefsTest, EmptyInterfaceRootSwitchesBetweenTwoRoots) {
  TPreferences &p = GetPreferences(lanPascal);
  p.InterfaceRoot = irIUnknown;
  EXPECT_FALSE(p.GetEmptyInterfaceRoot());
  p.SetEmptyInterfaceRoot(false); // the current value: nothing changes
  EXPECT_EQ(p.InterfaceRoot, irIUnknown);
  p.SetEmptyInterfaceRoot(true);
  EXPECT_EQ(p.InterfaceRoot, irUnspecified);
  p.SetEmptyInterfaceRoot(false);
  EXPECT_EQ(p.InterfaceRoot, irIInterface);
}

std::map<String, String> Streamed(const TPreferences &p) {
  std::map<String, String> r;
  for (const TPropInfo *prop : GetPropList(p.ClassInfo()))
    if (IsStreamedProp(p, *prop))
      r[prop->Name] = GetPropValueText(p, *prop);
  return r;
}

TEST_F(PrefsTest, DefaultsAndStoredRulesThroughThePropertyTable) {
  const auto pascal = Streamed(GetPreferences(lanPascal));
  const auto undefined = Streamed(GetPreferences(lanUndefined));
  EXPECT_EQ(pascal.at(u"AccessVisibility"), u"scPrivate");
  EXPECT_EQ(pascal.at(u"DefaultReadAccess"), u"rwField");
  EXPECT_EQ(pascal.at(u"EmptyInterfaceRoot"), u"False");
  EXPECT_EQ(pascal.at(u"InterfaceRoot"), u"irIInterface");
  EXPECT_EQ(pascal.at(u"IntfCallConvention"), u"ccStdCall");
  EXPECT_EQ(pascal.at(u"InterfacePrefix"), u"I");
  EXPECT_EQ(pascal.at(u"AutoModuleNameFormat"), u"%ss");
  EXPECT_EQ(pascal.at(u"UsesClauseGroupsDefault"),
            u"Winapi;System.Win;System;Data;REST;Xml;Vcl;FMX");
  EXPECT_EQ(pascal.at(u"MulticastUsesEventVisibility"), u"True");
  // Only the Pascal instance streams ShowEmptyParamLists.
  EXPECT_EQ(pascal.at(u"ShowEmptyParamLists"), u"False");
  EXPECT_EQ(undefined.count(u"ShowEmptyParamLists"), 0u);
  // Never streamed, and empty strings are left out.
  for (const char16_t *name :
       {u"_AutoModuleNameFmt", u"EventhandlerVisibility", u"ModifiersOrder", u"NewMethodSnippet",
        u"PropBinding", u"StateFieldCase", u"UsingInModule", u"EventDispatchPrefix"})
    EXPECT_EQ(pascal.count(name), 0u) << StringToUtf8(name);
  EXPECT_EQ(pascal.size(), undefined.size() + 1);
}

TEST_F(PrefsTest, WrittenFormReadsBackEqual) {
  TPreferences &source = GetPreferences(lanPascal);
  source.ClassPrefix = u"C";
  source.SetInterfacePrefix(u"J");
  source.StateFieldVisibility = scStrictPrivate;
  source.PropReadCode = false;
  source.DefaultWriteAccess = rwMethod;
  const auto written = Streamed(source);
  TPreferences copy(lanPascal);
  for (const auto &[name, value] : written) {
    const TPropInfo *prop = GetPropInfo(copy.ClassInfo(), name);
    ASSERT_NE(prop, nullptr);
    if (prop->Kind == tkEnumeration)
      SetEnumProp(copy, *prop, value);
    else
      SetStrProp(copy, *prop, value);
  }
  EXPECT_EQ(Streamed(copy), written);
  EXPECT_EQ(copy.GetInterfacePrefix(), u"J");
  EXPECT_EQ(copy.StateFieldVisibility, scStrictPrivate);
  EXPECT_EQ(copy.DefaultWriteAccess, rwMethod);
}

} // namespace
} // namespace krx
