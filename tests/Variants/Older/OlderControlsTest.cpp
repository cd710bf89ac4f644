// The older revision's UI differences: super hints leave the IDE's toolbars alone, and the
// list view and hot-key edit take their parent's font with the style's text colour.
#include "Controls/ComCtrlsEx.h"
#include "Controls/ControlsTestSupport.h"
#include "Platform/Rtl/TypInfo.h"
#include "Platform/Vcl/Hints.h"
#include "Platform/Vcl/Panels.h"
#include "World/KRSuperHints.h"

#include <gtest/gtest.h>

namespace krx {

// Stand-ins for the IDE's toolbar classes, known to the class library by name.
class TTBCustomToolbar : public TWinControl {
  KRX_PUBLISHED(TTBCustomToolbar)
public:
  using TWinControl::TWinControl;
};
const TClassInfo &TTBCustomToolbar::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TTBCustomToolbar>(&TWinControl::StaticClassInfo()).Build();
  return info;
}
class TTBPopupWindow : public TWinControl {
public:
  using TWinControl::TWinControl;
};
class TIDEMenuBar : public TTBCustomToolbar {
public:
  using TTBCustomToolbar::TTBCustomToolbar;
};

namespace {

TEST(OlderSuperHints, AreNotShownForTheIDEsToolbarsAndTheirDescendants) {
  TPanel panel(nullptr);
  TTBCustomToolbar toolbar(nullptr);
  TTBPopupWindow popup(nullptr);
  TIDEMenuBar menuBar(nullptr);
  EXPECT_TRUE(TKRSuperHintWindow::AcceptsControl(&panel));
  EXPECT_FALSE(TKRSuperHintWindow::AcceptsControl(&toolbar));
  EXPECT_FALSE(TKRSuperHintWindow::AcceptsControl(&popup));
  EXPECT_FALSE(TKRSuperHintWindow::AcceptsControl(&menuBar));
  EXPECT_THROW(TKRSuperHintWindow::AcceptsControl(nullptr), EAssertionFailed);
  // A two-part hint of a toolbar is left to the class library: shown as a normal hint.
  CreateSuperHintHandler();
  auto form = test::NewForm<TForm>();
  auto *bar = test::Add<TIDEMenuBar>(form.get(), u"MenuBar", Rect(0, 0, 200, 24));
  auto *button = test::Add<TPanel>(form.get(), u"Button", Rect(0, 30, 200, 54));
  for (TControl *c : {static_cast<TControl *>(bar), static_cast<TControl *>(button)}) {
    c->SetHint(u"@Append|Adds to the file");
    c->SetShowHint(true);
  }
  EXPECT_EQ(ActivateHint(bar).WindowClass, u"THintWindow");
  EXPECT_EQ(ActivateHint(button).WindowClass, u"TKRSuperHintWindow");
}

TEST(OlderListControls, TakeTheirParentsFontWithTheStylesTextColour) {
  test::TIDEStyleGuard style;
  style.Style()->SetStyleFontColor(sfListItemTextNormal, 0x00AA00);
  style.Style()->SetStyleFontColor(sfEditBoxTextNormal, 0x0000BB);
  auto form = test::NewForm<TForm>();
  auto *panel = test::Add<TPanel>(form.get(), u"Panel1", Rect(0, 0, 300, 200));
  auto *list = test::Add<TListViewEx>(panel, u"List1", Rect(0, 0, 200, 100));
  auto *hotKey = test::Add<THotKeyEx>(panel, u"HotKey1", Rect(0, 120, 200, 140));
  list->SetParentFont(false); // taken all the same
  panel->Font().SetName(u"Consolas");
  panel->Font().SetSize(14);
  for (auto [control, colour] :
       {std::pair<TWinControl *, TColor>{list, 0x00AA00}, {hotKey, 0x0000BB}}) {
    EXPECT_EQ(control->Font().Name(), u"Consolas");
    EXPECT_EQ(control->Font().Size(), 14);
    EXPECT_EQ(control->Font().Color(), colour);
  }
}

} // namespace
} // namespace krx
