#include "Common/KREngineDefs.h"

#include "Platform/Rtl/SysUtils.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

TEST(EngineEnumerations, OrdinalsAndNamesFollowTheDeclaredOrder) {
  // Sets of item kinds and the parsers depend on these positions.
  EXPECT_EQ(TCodeItemKindNames.size(), 32u);
  EXPECT_EQ(ckMethodImpl, 31);
  EXPECT_EQ(ckClass, 18);
  EXPECT_EQ(TCodeItemKindNames[ckKRTag], u"ckKRTag");
  EXPECT_EQ(TClassKindNames[clModule], u"clModule");
  EXPECT_EQ(TMethodDirectiveNames.size(), 19u);
  EXPECT_EQ(TMethodDirectiveNames[pdEmpty], u"pdEmpty");
  EXPECT_EQ(TPropertyDirectiveNames.size(), 16u);
  EXPECT_EQ(TPropertyDirectiveNames[prNotify], u"prNotify");
  EXPECT_EQ(TCSMethodBindingNames[csmbOverrideSealed], u"csmbOverrideSealed");
  EXPECT_EQ(TRWAccessExNames.size(), 4u);
  EXPECT_EQ(TRWAccessNames.size(), 3u);
  EXPECT_EQ(TRWAccessLast, rwMethod);
  EXPECT_EQ(TInterfaceRootNames[irUnspecified], u"irUnspecified");
}

TEST(EngineKeywords, KeywordTablesRenderSourceText) {
  EXPECT_EQ(VisibilityName(scStrictProtected), u"strict protected");
  EXPECT_EQ(VisibilityName(scDefault), u"default");
  EXPECT_EQ(MethodKindName(mkMethod), u"method");
  EXPECT_EQ(BindingKindName(bkAbstract), u"virtual");
  EXPECT_EQ(BindingKindName(bkMessage), u"message");
  EXPECT_EQ(CallConventionName(ccCDecl), u"cdecl");
  EXPECT_EQ(CallConventionName(ccVarArgs), u"varargs");
  EXPECT_EQ(HintDirectiveName(hdExperimental), u"experimental");
  EXPECT_EQ(InterfaceRootKeywords[irUnspecified], u"");
  EXPECT_THROW(VisibilityName(static_cast<TVisibility>(8)), EAssertionFailed);
}

TEST(EngineKeywords, HintDirectivesToTextJoinsInOrdinalOrder) {
  EXPECT_EQ(HintDirectivesToText({hdPlatform, hdDeprecated}, u"'Use Foo'", u", "),
            u"deprecated 'Use Foo', platform");
  EXPECT_EQ(HintDirectivesToText({hdAlign, hdDeprecated, hdLibrary}, u"", u" "),
            u"deprecated library align");
  EXPECT_EQ(HintDirectivesToText({}, u"msg", u" "), u"");
  EXPECT_THROW(HintDirectivesToText({hdPlatform}, u"", u""), EAssertionFailed);
}

} // namespace
} // namespace krx
