#include "Controls/FormStates.h"
#include "ControlsTestSupport.h"
#include "Platform/Rtl/OSVersion.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

class TStateForm : public TForm {
public:
  using TForm::TForm;
};

struct FormStatesFixture : ::testing::Test {
  void SetUp() override {
    // A 96 primary monitor and a 144 one to its right; the system density is 96.
    Screen->SetMonitors({{Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1040), 96},
                         {Rect(1920, 0, 4480, 1440), Rect(1920, 0, 4480, 1400), 144}},
                        96);
    FormStateStore().States().Clear();
  }
  void TearDown() override {
    Screen->SetMonitors({{Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1040), 96}});
  }
  std::unique_ptr<TStateForm> NewStateForm(TRect bounds) {
    auto form = test::NewForm<TStateForm>();
    form->SetBoundsRect(bounds);
    return form;
  }
};

TEST_F(FormStatesFixture, ASavedFormComesBackWhereItWasOnEitherMonitor) {
  const TRect places[] = {Bounds(100, 120, 500, 400), Bounds(2200, 300, 750, 600)};
  for (const TRect &place : places) {
    auto form = NewStateForm(place);
    SaveFormState(*form, u"Dialog");
    form->SetBounds(10, 10, 300, 200);
    EXPECT_TRUE(RestoreFormState(*form, u"Dialog"));
    EXPECT_EQ(form->BoundsRect(), place); // a high-density monitor gives the size back too
    EXPECT_EQ(form->DefaultMonitor(), dmDesktop);
  }
}

TEST_F(FormStatesFixture, WhatIsNotSavedOrRestored) {
  auto form = NewStateForm(Bounds(100, 100, 500, 400));
  EXPECT_FALSE(RestoreFormState(*form)); // nothing kept
  form->SetWindowState(wsMaximized);
  SaveFormState(*form);
  EXPECT_EQ(FormStateStore().States().Count(), 0);
  form->SetWindowState(wsNormal);
  SaveFormState(*form);
  // A fixed-size dialog gets its position back but keeps its own size.
  auto fixed = NewStateForm(Bounds(0, 0, 200, 100));
  fixed->SetBorderStyle(bsDialog);
  EXPECT_TRUE(RestoreFormState(*fixed)); // the class name is the key: one state per class
  EXPECT_EQ(fixed->BoundsRect(), Bounds(100, 100, 200, 100));
}

TEST_F(FormStatesFixture, TooLittleOnScreenIsNotRestoredAndTheMarginFollowsTheDensity) {
  const struct {
    TRect Saved;
    bool Restored;
  } rows[] = {
      {Bounds(-468, 100, 500, 400), false}, // 32 pixels left on the 96 monitor
      {Bounds(-467, 100, 500, 400), true},  // 33
      {Bounds(100, 1048, 500, 400), false}, // 32 pixels high
      {Bounds(4432, 100, 500, 400), false}, // 48 on the 144 monitor: its margin is 48
      {Bounds(4431, 100, 500, 400), true},
  };
  for (const auto &row : rows) {
    auto form = NewStateForm(row.Saved);
    SaveFormState(*form, u"Edge");
    form->SetBounds(50, 50, 500, 400);
    EXPECT_EQ(RestoreFormState(*form, u"Edge"), row.Restored);
    if (row.Restored) // made fully visible in the work area of its monitor
      EXPECT_TRUE(form->Monitor()->WorkareaRect().Contains({form->Left(), form->Top()}));
    else
      EXPECT_EQ(form->BoundsRect(), Bounds(50, 50, 500, 400));
  }
}

TEST_F(FormStatesFixture, FormsThatAreNotDpiAwareKeepPlainPixels) {
  TOSVersionGuard os;
  TOSVersion::Set(6, 1, 7601);
  auto form = NewStateForm(Bounds(2200, 300, 750, 600));
  SaveFormState(*form, u"Plain");
  TFormState *state = nullptr;
  ASSERT_TRUE(FormStateStore().States().TryGetValue(u"Plain", state));
  EXPECT_FALSE(state->IsDpiAware);
  EXPECT_EQ(state->Width, 750);
  EXPECT_EQ(state->WidthNorm, 0);
  form->SetBounds(0, 0, 10, 10);
  EXPECT_TRUE(RestoreFormState(*form, u"Plain"));
  EXPECT_EQ(form->BoundsRect(), Bounds(2200, 300, 750, 600));
  // Saved plain, restored aware: the normalised values are zeros, the place stays.
  TOSVersion::Set(10, 0, 19045);
  form->SetBounds(40, 40, 300, 300);
  EXPECT_TRUE(RestoreFormState(*form, u"Plain"));
  EXPECT_EQ(form->BoundsRect(), Bounds(40, 40, 300, 300));
}

TEST(FormStateScaling, RoundsHalvesToEven) {
  EXPECT_EQ(ScaleForPixelsPerInch(144, 96, 1), 2);   // 1.5
  EXPECT_EQ(ScaleForPixelsPerInch(144, 96, 3), 4);   // 4.5
  EXPECT_EQ(ScaleForPixelsPerInch(144, 96, 32), 48);
  EXPECT_EQ(ScaleForPixelsPerInch(96, 96, 33.3), 33);
}

} // namespace
} // namespace krx
