#include "Platform/Rtl/TypInfo.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

#define TEST_TCOLOR(X) X(clRed) X(clGreen) X(clBlue) X(clBlack)
KRX_DECLARE_ENUM(TColorKind, TEST_TCOLOR);
using TColorKinds = EnumSet<TColorKind>;

class TBase : public TObject {
  KRX_PUBLISHED(TBase)
public:
  Integer LineNr = -1;
  String Name;
  bool Flag = false;
  TColorKind Color = clRed;
  TColorKinds Colors;
  Integer Secret = 0;
  void SetLineNr(Integer v) { LineNr = v < -1 ? -1 : v; }
};

const TClassInfo &TBase::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TBase>(nullptr)
          .Integer(u"LineNr", &TBase::LineNr, &TBase::SetLineNr)
          .Str(u"Name", &TBase::Name, [](TBase &b, const String &v) { b.Name = v; })
          .Bool(u"Flag", &TBase::Flag, [](TBase &b, bool v) { b.Flag = v; })
          .Enum(u"Color", TColorKindNames, &TBase::Color,
                [](TBase &b, TColorKind v) { b.Color = v; })
          .Default(clGreen)
          .Set(u"Colors", TColorKindNames, &TBase::Colors,
               [](TBase &b, TColorKinds v) { b.Colors = v; })
          .Integer(u"Secret", nullptr, [](TBase &b, Integer v) { b.Secret = v; }) // write-only
          .Build();
  return info;
}

class TDerived : public TBase {
  KRX_PUBLISHED(TDerived)
public:
  double Ratio = 0.5;
  Int64 Big = 0;
  Char Letter = u'x';
  Integer Language = 0;
  String Auto = u"%ss";
};

const TClassInfo &TDerived::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TDerived>(&TBase::StaticClassInfo())
          .Float(u"Ratio", &TDerived::Ratio, [](TDerived &d, double v) { d.Ratio = v; })
          .Int64(u"Big", &TDerived::Big)
          .WChar(u"Letter", &TDerived::Letter)
          .Str(u"_AutoFmt", &TDerived::Auto, [](TDerived &d, const String &v) { d.Auto = v; })
          .Stored(false)
          .Bool(
              u"aLower", [](const TDerived &) { return true; }, [](TDerived &, bool) {})
          .Stored([](const TDerived &d) { return d.Language == 1; })
          // Redeclared: keeps its place, read-only now.
          .Integer(u"LineNr", [](const TDerived &d) { return d.LineNr * 10; })
          .Other(u"OnChange", tkMethod)
          .Build();
  return info;
}

class TPlain : public TBase {}; // inherits the table of its base

std::vector<String> Names(const std::vector<const TPropInfo *> &list) {
  std::vector<String> r;
  for (auto *p : list)
    r.push_back(p->Name);
  return r;
}

TEST(TypInfo, ListsInheritedPropertiesSortedWithMaskedBytes) {
  TDerived d;
  EXPECT_EQ(d.ClassInfo()->ClassName, u"TDerived");
  // '_' (0x5F) sorts after every letter; case is ignored; the method is not listed.
  EXPECT_EQ(Names(GetPropList(d.ClassInfo())),
            (std::vector<String>{u"aLower", u"Big", u"Color", u"Colors", u"Flag", u"Letter",
                                 u"LineNr", u"Name", u"Ratio", u"Secret", u"_AutoFmt"}));
  // Declaration order, bases first; the redeclared property keeps its base's place.
  EXPECT_EQ(
      Names(GetPropInfos(d.ClassInfo())),
      (std::vector<String>{u"LineNr", u"Name", u"Flag", u"Color", u"Colors", u"Secret", u"Ratio",
                           u"Big", u"Letter", u"_AutoFmt", u"aLower", u"OnChange"}));
  EXPECT_EQ(GetPropList(d.ClassInfo(), TTypeKinds{tkMethod}).size(), 1u);
  TPlain p;
  EXPECT_EQ(p.ClassInfo(), &TBase::StaticClassInfo());
  EXPECT_EQ(GetPropList(static_cast<const TClassInfo *>(nullptr)).size(), 0u);
  EXPECT_LT(ComparePropNames(u"Ab", u"abc"), 0);
  EXPECT_LT(ComparePropNames(u"A1", u"AA"), 0);
}

TEST(TypInfo, ValueTexts) {
  TDerived d;
  d.Colors = {clGreen, clBlack};
  d.Big = -5000000000;
  d.Name = u"";
  auto text = [&](StringView name) { return GetPropValueText(d, *GetPropInfo(d, name)); };
  EXPECT_EQ(text(u"LineNr"), u"-10"); // the redeclared getter is used
  EXPECT_EQ(text(u"linenr"), u"-10");
  EXPECT_EQ(text(u"Flag"), u"False");
  EXPECT_EQ(text(u"aLower"), u"True");
  EXPECT_EQ(text(u"Color"), u"clRed");
  EXPECT_EQ(text(u"Colors"), u"[clGreen,clBlack]");
  EXPECT_EQ(text(u"Ratio"), u"0.5");
  EXPECT_EQ(text(u"Big"), u"-5000000000");
  EXPECT_EQ(text(u"Letter"), u"x");
  EXPECT_EQ(text(u"Name"), u"");
  EXPECT_EQ(text(u"OnChange"), u"");
  d.Colors = {};
  EXPECT_EQ(text(u"Colors"), u"[]");
  EXPECT_FALSE(GetPropInfo(d, u"Secret")->IsReadable());
  EXPECT_THROW(text(u"Secret"), EPropWriteOnly);
  EXPECT_EQ(GetPropInfo(d, u"Missing"), nullptr);
}

TEST(TypInfo, WritingThroughTheTable) {
  TDerived d;
  TBase &b = d;
  const TPropInfo &line = *GetPropInfo(&TBase::StaticClassInfo(), u"LineNr");
  SetOrdProp(b, line, -7); // the setter's own rule applies
  EXPECT_EQ(d.LineNr, -1);
  EXPECT_THROW(SetOrdProp(d, *GetPropInfo(d, u"LineNr"), 3), EPropReadOnly);
  SetEnumProp(d, *GetPropInfo(d, u"Color"), u"CLBLUE");
  EXPECT_EQ(d.Color, clBlue);
  EXPECT_THROW(SetEnumProp(d, *GetPropInfo(d, u"Color"), u"clPink"), EPropertyConvertError);
  SetSetProp(d, *GetPropInfo(d, u"Colors"), u"[clBlack, clRed]");
  EXPECT_EQ(d.Colors, (TColorKinds{clRed, clBlack}));
  EXPECT_THROW(SetSetProp(d, *GetPropInfo(d, u"Colors"), u"[clRed,,clBlack]"),
               EPropertyConvertError);
  SetOrdProp(d, *GetPropInfo(d, u"Secret"), 42);
  EXPECT_EQ(d.Secret, 42);
  SetFloatProp(d, *GetPropInfo(d, u"Ratio"), 2.25);
  EXPECT_EQ(d.Ratio, 2.25);
  SetStrProp(d, *GetPropInfo(d, u"Name"), u"abc");
  EXPECT_EQ(d.Name, u"abc");
  // A value of the wrong kind is an internal error, not a silent conversion.
  EXPECT_THROW(SetPropValue(d, *GetPropInfo(d, u"Name"), TPropValue(Int64{1})), EAssertionFailed);
}

TEST(TypInfo, StoredRulesAndDefaults) {
  TDerived d;
  auto streamed = [&](StringView name) { return IsStreamedProp(d, *GetPropInfo(d, name)); };
  EXPECT_FALSE(streamed(u"_AutoFmt")); // stored False
  EXPECT_FALSE(streamed(u"aLower"));   // stored only for language 1
  d.Language = 1;
  EXPECT_TRUE(streamed(u"aLower"));
  EXPECT_FALSE(streamed(u"Name")); // empty string is the default
  d.Name = u"n";
  EXPECT_TRUE(streamed(u"Name"));
  EXPECT_TRUE(streamed(u"Color")); // clRed differs from the default clGreen
  d.Color = clGreen;
  EXPECT_FALSE(streamed(u"Color"));
  EXPECT_TRUE(streamed(u"Flag"));    // no default: always written
  EXPECT_FALSE(streamed(u"Big"));    // read-only
  EXPECT_FALSE(streamed(u"Secret")); // write-only
  d.Ratio = 0;
  EXPECT_FALSE(streamed(u"Ratio"));
}

TEST(TypInfo, EnumerationNamesBothWays) {
  EXPECT_EQ(GetEnumName(TColorKindNames, 2), u"clBlue");
  EXPECT_EQ(GetEnumName(TColorKindNames, 4), u"");
  EXPECT_EQ(GetEnumName(TColorKindNames, -1), u"");
  EXPECT_EQ(GetEnumName(BooleanNames, 1), u"True");
  EXPECT_EQ(GetEnumValue(TColorKindNames, u"clblack"), 3);
  EXPECT_EQ(GetEnumValue(TColorKindNames, u"clBlac"), -1);
  EXPECT_EQ(GetEnumName(TTypeKindNames, tkUString), u"tkUString");
  EXPECT_EQ(SetToString(TColorKindNames, 0b1010), u"clGreen,clBlack");
  EXPECT_EQ(SetToString(TColorKindNames, 0b10000), u""); // beyond the table
  EXPECT_EQ(StringToSet(TColorKindNames, u" clRed "), 1u);
  EXPECT_EQ(StringToSet(TColorKindNames, u"[]"), 0u);
}

} // namespace
} // namespace krx
