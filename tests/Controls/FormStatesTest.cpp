#include "Controls/FormStates.h"
#include "ControlsTestSupport.h"
#include "Platform/Rtl/OSVersion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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
  // A form made on the primary monitor, then given its bounds (moved onto the 144 monitor,
  // it takes that monitor's density).
  std::unique_ptr<TStateForm> NewStateForm(TRect bounds, TFormBorderStyle style = bsSizeable) {
    auto form = test::NewForm<TStateForm>();
    form->SetBorderStyle(style);
    form->SetBoundsRect(bounds);
    return form;
  }
  TFormState &Kept(const String &name) {
    TFormState *state = nullptr;
    EXPECT_TRUE(FormStateStore().States().TryGetValue(name, state));
    return *state;
  }
};

TEST_F(FormStatesFixture, ANewFormComesBackWhereAndAsLargeAsTheLastWasOnItsMonitor) {
  const TRect onPrimary = Bounds(10, 10, 200, 100), onDenser = Bounds(3000, 100, 200, 100);
  const struct {
    TRect Placed;
    TFormBorderStyle Style;
    Integer ChangedPPI; // the 144 monitor's density when the form comes back (0: unchanged)
    TRect Start;        // where the next form is when it is restored
    TRect Expected;
    Integer ExpectedPPI;
  } rows[] = {
      {Bounds(100, 120, 500, 400), bsSizeable, 0, onPrimary, Bounds(100, 120, 500, 400), 96},
      {Bounds(2200, 300, 500, 400), bsSizeable, 0, onPrimary, Bounds(2200, 300, 750, 600), 144},
      {Bounds(2200, 300, 500, 400), bsSizeable, 0, onDenser, Bounds(2200, 300, 750, 600), 144},
      {Bounds(2200, 300, 500, 400), bsSizeable, 192, onPrimary, Bounds(2200, 300, 1000, 800), 192},
      // A fixed-size dialog keeps its own size, at the density of the monitor it comes to.
      {Bounds(2200, 300, 200, 100), bsDialog, 0, onPrimary, Bounds(2200, 300, 300, 150), 144},
      // Made fully visible on the monitor's bounds, not its work area.
      {Bounds(100, 700, 500, 400), bsSizeable, 0, onPrimary, Bounds(100, 680, 500, 400), 96},
  };
  for (const auto &row : rows) {
    SaveFormState(*NewStateForm(row.Placed, row.Style), u"Dialog");
    if (row.ChangedPPI)
      Screen->SetMonitorPixelsPerInch(1, row.ChangedPPI);
    auto next = NewStateForm(row.Start, row.Style);
    EXPECT_TRUE(RestoreFormState(*next, u"Dialog"));
    EXPECT_EQ(next->BoundsRect(), row.Expected) << row.Placed.Left << " " << row.ChangedPPI;
    EXPECT_EQ(next->CurrentPPI(), row.ExpectedPPI);
    EXPECT_EQ(next->DefaultMonitor(), dmDesktop);
    Screen->SetMonitorPixelsPerInch(1, 144);
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
  // The class name is the key: one state per class.
  auto fixed = NewStateForm(Bounds(0, 0, 200, 100), bsDialog);
  EXPECT_TRUE(RestoreFormState(*fixed));
  EXPECT_EQ(fixed->BoundsRect(), Bounds(100, 100, 200, 100));
}

TEST_F(FormStatesFixture, TooLittleOnScreenOrImplausibleValuesAreNotRestored) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const struct {
    double Left, Top, Width, Height;
    bool Restored;
  } rows[] = {
      {-468, 100, 500, 400, false},  // 32 pixels left on the 96 monitor
      {-467, 100, 500, 400, true},   // 33
      {100, 1048, 500, 400, false},  // 32 pixels high
      {4432, 100, 500, 400, false},  // 48 on the 144 monitor: its margin is 48
      {4431, 100, 500, 400, true},   // 49
      {kNaN, 100, 500, 400, false},  // not a number
      {100, -kInf, 500, 400, false}, // infinite
      {1e300, 100, 500, 400, false}, // beyond any desktop
      {100, 100, 3e6, 400, false},   // wider than any desktop
      {100, 100, kInf, 400, false},  // an infinite size
      {100, 100, 500, -400, false},  // no form has a negative size
  };
  auto form = NewStateForm(Bounds(50, 50, 500, 400));
  SaveFormState(*form, u"Edge");
  TFormState &state = Kept(u"Edge");
  for (const auto &row : rows) {
    state.LeftNorm = row.Left, state.TopNorm = row.Top;
    state.WidthNorm = row.Width, state.HeightNorm = row.Height;
    auto next = NewStateForm(Bounds(50, 50, 500, 400));
    EXPECT_EQ(RestoreFormState(*next, u"Edge"), row.Restored) << row.Left << " " << row.Top;
    if (row.Restored) // made fully visible on its monitor
      EXPECT_TRUE(next->Monitor()->BoundsRect().Contains({next->Left(), next->Top()}));
    else
      EXPECT_EQ(next->BoundsRect(), Bounds(50, 50, 500, 400));
  }
}

TEST_F(FormStatesFixture, FormsThatAreNotDpiAwareKeepPlainPixels) {
  TOSVersionGuard os;
  TOSVersion::Set(6, 1, 7601);
  auto form = NewStateForm(Bounds(200, 300, 750, 600));
  SaveFormState(*form, u"Plain");
  TFormState &state = Kept(u"Plain");
  EXPECT_FALSE(state.IsDpiAware);
  EXPECT_EQ(state.Width, 750);
  EXPECT_EQ(state.WidthNorm, 0);
  form->SetBounds(0, 0, 10, 10);
  EXPECT_TRUE(RestoreFormState(*form, u"Plain"));
  EXPECT_EQ(form->BoundsRect(), Bounds(200, 300, 750, 600));
  state.Left = std::numeric_limits<Integer>::max();
  EXPECT_FALSE(RestoreFormState(*form, u"Plain"));
  state.Left = 200;
  state.Width = 3000000; // wider than any desktop
  EXPECT_FALSE(RestoreFormState(*form, u"Plain"));
  // Saved plain, restored aware: the normalised values are zeros, the place stays.
  TOSVersion::Set(10, 0, 19045);
  form->SetBounds(40, 40, 300, 300);
  EXPECT_TRUE(RestoreFormState(*form, u"Plain"));
  EXPECT_EQ(form->BoundsRect(), Bounds(40, 40, 300, 300));
}

TEST(FormStateScaling, RoundsHalvesToEven) {
  EXPECT_EQ(ScaleForPixelsPerInch(144, 96, 1), 2); // 1.5
  EXPECT_EQ(ScaleForPixelsPerInch(144, 96, 3), 4); // 4.5
  EXPECT_EQ(ScaleForPixelsPerInch(144, 96, 32), 48);
  EXPECT_EQ(ScaleForPixelsPerInch(96, 96, 33.3), 33);
}

} // namespace
} // namespace krx
