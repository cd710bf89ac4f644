// Form states of the older revision: plain pixels, no densities, no rule for a zero position.
#include "Controls/FormStates.h"
#include "Platform/Vcl/VclTestSupport.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

struct OlderFormStates : ::testing::Test {
  void SetUp() override { FormStateStore().States().Clear(); }
};

TEST_F(OlderFormStates, APositionAtTheDesktopCornerIsRestored) {
  auto form = test::NewForm<TForm>();
  form->SetBounds(0, 0, 400, 300);
  SaveFormState(*form, u"Corner");
  form->SetBounds(500, 400, 200, 100);
  EXPECT_TRUE(RestoreFormState(*form, u"Corner"));
  EXPECT_EQ(form->BoundsRect(), Bounds(0, 0, 400, 300));
  EXPECT_EQ(form->DefaultMonitor(), dmDesktop);
}

TEST_F(OlderFormStates, FixedSizeKeepsItsSizeAndTooLittleOnTheDesktopIsRefused) {
  auto form = test::NewForm<TForm>();
  form->SetBounds(100, 50, 400, 300);
  SaveFormState(*form, u"Fixed");
  form->SetBorderStyle(bsDialog);
  form->SetBounds(0, 0, 200, 100);
  EXPECT_TRUE(RestoreFormState(*form, u"Fixed"));
  EXPECT_EQ(form->BoundsRect(), Bounds(100, 50, 200, 100));
  // 32 pixels on the desktop are not enough.
  form->SetBounds(1920 - 32, 100, 200, 100);
  SaveFormState(*form, u"Edge");
  form->SetBounds(10, 10, 200, 100);
  EXPECT_FALSE(RestoreFormState(*form, u"Edge"));
  EXPECT_EQ(form->BoundsRect(), Bounds(10, 10, 200, 100));
}

} // namespace
} // namespace krx
