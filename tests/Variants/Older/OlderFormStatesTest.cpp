// Form states of the older revision: plain pixels, no densities, no rule for a zero position.
#include "Controls/FormStates.h"
#include "Platform/Vcl/VclTestSupport.h"

#include <gtest/gtest.h>

#include <limits>

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

TEST_F(OlderFormStates, EnoughOverlapInBothDirectionsAndOnlyPlausibleValuesAreRestored) {
  constexpr Integer kMax = std::numeric_limits<Integer>::max();
  constexpr Integer kMin = std::numeric_limits<Integer>::min();
  const struct {
    Integer Left, Top, Width, Height;
    bool Restored;
  } rows[] = {
      {100, 1048, 200, 100, false},    // 32 pixels high on the desktop
      {100, 1047, 200, 100, true},     // 33
      {1887, 100, 200, 100, true},     // 33 wide
      {kMax, 100, 200, 100, false},    // the integer limits would overflow
      {100, kMin, 200, 100, false},    // ...
      {100, 100, kMax, 100, false},    // ...
      {100, 100, 3000000, 100, false}, // wider than any desktop
      {100, 100, -200, 100, false},    // no form has a negative size
  };
  auto form = test::NewForm<TForm>();
  SaveFormState(*form, u"Kept");
  TFormState *state = nullptr;
  ASSERT_TRUE(FormStateStore().States().TryGetValue(u"Kept", state));
  for (const auto &row : rows) {
    state->Left = row.Left, state->Top = row.Top;
    state->Width = row.Width, state->Height = row.Height;
    form->SetBounds(10, 20, 300, 200);
    const bool restored = RestoreFormState(*form, u"Kept");
    EXPECT_EQ(restored, row.Restored) << row.Left << ", " << row.Top << ", " << row.Width;
    EXPECT_EQ(form->BoundsRect() == Bounds(10, 20, 300, 200), !row.Restored) << row.Left;
  }
}

} // namespace
} // namespace krx
