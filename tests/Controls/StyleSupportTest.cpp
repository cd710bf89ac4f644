#include "Controls/KRX.StyleSupport.h"
#include "ControlsTestSupport.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

struct StyleSupport : ::testing::Test {
  void TearDown() override {
    UpdateStyleServices(nullptr);
    StyleSupportFinalization();
    TStyleManager::SetStyle(u"Windows");
  }
};

TEST_F(StyleSupport, RequestsReachTheIDESideBeforeTheCallReturns) {
  test::TThemeRequests ide;
  auto form = test::NewForm();
  TKRXStyle::RegisterFormClass(FormClassOf(*form));
  TKRXStyle::ApplyTheme(form.get());
  EXPECT_EQ(ide.Registered, std::vector<String>{u"TForm"});
  EXPECT_EQ(ide.Applied, std::vector<TComponent *>{form.get()});
  EXPECT_EQ(FormClassOf(*form), FormClassOf(*test::NewForm())); // one descriptor per class
}

TEST_F(StyleSupport, SubscriptionsHearChangesUntilReleased) {
  int heard = 0;
  IPtr<IInterface> subscription = TKRXStyle::Subscribe([&] { ++heard; });
  TCustomStyleServices a(u"A", true), b(u"B", true);
  UpdateStyleServices(&a);
  UpdateStyleServices(&a); // the same services: no broadcast
  UpdateStyleServices(&b);
  EXPECT_EQ(heard, 2);
  subscription = nullptr;
  UpdateStyleServices(&a);
  EXPECT_EQ(heard, 2);
}

// The IDE style holds only while the IDE has reported services of its own: not after a
// colour question cached the class library's, and not when the class library's own style
// changes under that cache.
TEST_F(StyleSupport, IsIDEStyleOnlyWhileTheIDEReportedItsServices) {
  EXPECT_FALSE(TKRXStyle::IsIDEStyle());
  EXPECT_EQ(TKRXStyle::GetStyleColor(scEdit), clWindow);
  EXPECT_EQ(StyleServicesInUse(), StyleServices());
  auto *custom = TStyleManager::RegisterStyle(std::make_unique<TCustomStyleServices>(u"Sky", true));
  TStyleManager::SetStyle(u"Sky");
  EXPECT_FALSE(TKRXStyle::IsIDEStyle());
  EXPECT_TRUE(TKRXStyle::IsCustomStyleActive());
  TStyleManager::SetStyle(u"Windows");
  {
    test::TIDEStyleGuard ide;
    EXPECT_TRUE(TKRXStyle::IsIDEStyle());
    EXPECT_EQ(TKRXStyle::MapSystemColor(clBtnFace), 0x2B2B2B);
    ide.Style()->SetEnabled(false);
    EXPECT_EQ(TKRXStyle::MapSystemColor(clBtnFace), clBtnFace);
    EXPECT_FALSE(TKRXStyle::IsStyled());
  }
  EXPECT_FALSE(TKRXStyle::IsIDEStyle()); // theming switched off: the class library's style
  TStyleManager::UnregisterStyle(custom);
}

} // namespace
} // namespace krx
