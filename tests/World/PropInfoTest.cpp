#include "World/PropInfo.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

#define KRX_TEST_COLOR(X) X(clRed) X(clGreen) X(clBlue) X(clWhite)
KRX_DECLARE_ENUM(TTestColor, KRX_TEST_COLOR);
using TTestColors = EnumSet<TTestColor>;

class TBase : public TObject {
  KRX_PUBLISHED(TBase)
public:
  Integer Zeta = 7;
  String Title;
};

class TSample : public TBase {
  KRX_PUBLISHED(TSample)
public:
  bool Flag = true;
  TTestColors Colors;
  TTestColor Color = clBlue;
  double Ratio = 0.5;
  Char Letter = u'Q';
  Int64 Big = 1234567890123LL;
  Integer Hidden = 0;
};

const TClassInfo &TBase::StaticClassInfo() {
  static const TClassInfo info = TClassInfoBuilder<TBase>(nullptr)
                                     .Integer(u"Zeta", &TBase::Zeta)
                                     .Str(u"Title", &TBase::Title)
                                     .Build();
  return info;
}

const TClassInfo &TSample::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TSample>(&TBase::StaticClassInfo())
          .Bool(u"Flag", &TSample::Flag)
          .Set(u"Colors", TTestColorNames, &TSample::Colors)
          .Enum(u"Color", TTestColorNames, &TSample::Color)
          .Float(u"Ratio", &TSample::Ratio)
          .WChar(u"Letter", &TSample::Letter)
          .Int64(u"Big", &TSample::Big)
          // Write-only: listed, not readable.
          .Integer(u"Hidden", nullptr, [](TSample &s, Integer v) { s.Hidden = v; })
          .Other(u"OnChange", tkMethod)
          .Build();
  return info;
}

TEST(ObjectAccess, ListsValuePropertiesInNameOrder) {
  TSample s;
  TObjectAccess access;
  EXPECT_EQ(access.PropCount(), 0);
  access.SetObject(&s);
  std::vector<String> names;
  for (Integer i = 0; i < access.PropCount(); ++i)
    names.push_back(access.PropName(i));
  EXPECT_EQ(names, (std::vector<String>{u"Big", u"Color", u"Colors", u"Flag", u"Hidden", u"Letter",
                                        u"Ratio", u"Title", u"Zeta"}));
  EXPECT_FALSE(access.IsReadable(4)); // Hidden
  EXPECT_TRUE(access.IsReadable(0));
  EXPECT_EQ(access.PropKind(1), tkEnumeration);
  access.SetObject(nullptr);
  EXPECT_EQ(access.PropCount(), 0);
}

TEST(ObjectAccess, RendersValuesAsText) {
  TSample s;
  TObjectAccess access;
  access.SetObject(&s);
  auto text = [&](const String &name) {
    for (Integer i = 0; i < access.PropCount(); ++i)
      if (access.PropName(i) == name)
        return access.PropValueText(i);
    return String(u"<missing>");
  };
  EXPECT_EQ(text(u"Big"), u"1234567890123");
  EXPECT_EQ(text(u"Color"), u"clBlue");
  EXPECT_EQ(text(u"Colors"), u"[]");
  EXPECT_EQ(text(u"Flag"), u"True");
  EXPECT_EQ(text(u"Letter"), u"Q");
  EXPECT_EQ(text(u"Ratio"), u"0.5");
  EXPECT_EQ(text(u"Title"), u"");
  EXPECT_EQ(text(u"Zeta"), u"7");
  s.Colors = {clGreen, clWhite};
  s.Flag = false;
  s.Title = u"a=b";
  EXPECT_EQ(text(u"Colors"), u"[clGreen,clWhite]");
  EXPECT_EQ(text(u"Flag"), u"False");
  EXPECT_EQ(text(u"Title"), u"a=b");
}

TEST(ObjectAccess, SetToTextUsesTheLow32Bits) {
  EXPECT_EQ(SetToText(0, TTestColorNames), u"[]");
  EXPECT_EQ(SetToText(0b1010, TTestColorNames), u"[clGreen,clWhite]");
  EXPECT_EQ(SetToText((UInt64{1} << 32) | 1, TTestColorNames), u"[clRed]");
}

} // namespace
} // namespace krx
