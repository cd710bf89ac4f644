#include "World/KRSuperHints.h"

#include "Controls/ControlsTestSupport.h"
#include "Platform/Rtl/OSVersion.h"
#include "Platform/Vcl/ActnList.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/StdCtrls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>

namespace krx {
namespace {

struct HintForm {
  std::unique_ptr<TForm> Form{TCustomForm::CreateNew<TForm>(nullptr)};
  TButton *Button = new TButton(Form.get());
  HintForm() {
    CreateSuperHintHandler();
    Button->SetParent(Form.get());
    Button->SetShowHint(true);
  }
};

// The painted blocks as "text" (normal) or "*text*" (bold).
std::vector<String> Painted(const THintResult &r) {
  std::vector<String> out;
  for (const THintText &t : r.Painted)
    out.push_back(t.Style.Contains(fsBold) ? u"*" + t.Text + u"*" : t.Text);
  return out;
}

TEST(SuperHints, ShowTitleInBoldOverBodyAndPlainHintsAsBefore) {
  struct {
    const char16_t *Hint;
    const char *Window;
    std::vector<String> Expected;
  } cases[] = {
      {u"@Append|Adds to the file", "TKRSuperHintWindow", {u"*Append*", u"Adds to the file"}},
      {u"@Adds to the file", "TKRSuperHintWindow", {u"Adds to the file"}},
      {u"@Two\\Nlines|One\\N\\Ltwo", "TKRSuperHintWindow", {u"*Two\r\nlines*", u"One\r\ntwo"}},
      {u"Append|Adds to the file", "THintWindow", {u"Append"}},
  };
  for (const auto &c : cases) {
    HintForm f;
    f.Button->SetHint(c.Hint);
    const THintResult r = ActivateHint(f.Button);
    ASSERT_TRUE(r.Shown);
    EXPECT_EQ(StringToUtf8(r.WindowClass), c.Window);
    EXPECT_EQ(Painted(r), c.Expected) << StringToUtf8(c.Hint);
  }
}

TEST(SuperHints, StayUpAMinuteAndTakeRoomForTheTitle) {
  HintForm f;
  f.Button->SetHint(u"@Body only");
  const THintResult plain = ActivateHint(f.Button);
  f.Button->SetHint(u"@Title|Body only");
  const THintResult titled = ActivateHint(f.Button);
  EXPECT_EQ(titled.Info.HideTimeout, 60000);
  EXPECT_EQ(titled.Info.HintData, f.Button);
  EXPECT_GT(titled.Rect.Height(), plain.Rect.Height());
}

TEST(SuperHints, AddTheActionShortcutToTheTitle) {
  HintForm f;
  auto *action = new TAction(f.Form.get());
  action->SetShortCut(TextToShortCut(u"Ctrl+R"));
  f.Button->SetAction(action);
  struct {
    const char16_t *Hint;
    bool HintShortCuts;
    std::vector<String> Expected;
  } cases[] = {
      {u"@Refresh|Reads again", true, {u"*Refresh (Ctrl+R)*", u"Reads again"}},
      {u"@Refresh|Reads again", false, {u"*Refresh*", u"Reads again"}},
      {u"@Reads again", true, {u"* (Ctrl+R)*", u"Reads again"}},
  };
  for (const auto &c : cases) {
    ApplicationHints().HintShortCuts = c.HintShortCuts;
    f.Button->SetHint(c.Hint);
    EXPECT_EQ(Painted(ActivateHint(f.Button)), c.Expected) << StringToUtf8(c.Hint);
  }
  ApplicationHints().HintShortCuts = true;
}

TEST(SuperHints, AMenuItemGivesItsOwnHintAndShortcut) {
  TMenuItem item(nullptr);
  item.SetHint(u"@Open|Opens a file");
  item.SetShortCut(TextToShortCut(u"Ctrl+O"));
  TKRSuperHintWindow window(nullptr);
  window.ActivateHintData(Rect(0, 0, 100, 40), u"Open", &item);
  EXPECT_EQ(window.Title() + u"/" + window.Body(), u"Open (Ctrl+O)/Opens a file");
}

TEST(SuperHints, LeaveNoLaterHandlerToChangeTheHint) {
  HintForm f;
  TApplicationEvents later(nullptr); // asked after the super-hint handler
  int asked = 0;
  later.OnShowHint = [&](String &hint, bool &, THintInfo &) {
    ++asked;
    hint = u"changed";
  };
  f.Button->SetHint(u"@Title|Body");
  EXPECT_EQ(Painted(ActivateHint(f.Button)), (std::vector<String>{u"*Title*", u"Body"}));
  EXPECT_EQ(asked, 0);
}

TEST(SuperHints, MeasureTheHintFontAtTheActiveFormsDensity) {
  HintForm f;
  f.Button->SetHint(u"@Body text");
  f.Form->Show();
  const Integer at96 = ActivateHint(f.Button).Rect.Width();
  Screen->SetMonitorPixelsPerInch(0, 192);
  const Integer at192 = ActivateHint(f.Button).Rect.Width();
  Screen->SetMonitorPixelsPerInch(0, 96);
  // The text doubles; the window's own margins (6 + 2 x 8 at its 96 PPI) stay.
  EXPECT_EQ(at192 - 22, 2 * (at96 - 22));
}

// The colours of what a hint painted: its fills (a gradient, one fill per row, by its first and
// last row) and its texts.
std::string Colours(const THintResult &r) {
  std::ostringstream fills, texts;
  const auto n = std::count_if(r.Ops.begin(), r.Ops.end(), [](const TCanvasOp &op) {
    return op.Kind == TCanvasOpKind::FillRect;
  });
  std::ptrdiff_t i = 0;
  for (const TCanvasOp &op : r.Ops)
    if (op.Kind != TCanvasOpKind::FillRect)
      texts << " " << std::hex << op.Color;
    else if (i++ == 0 || i == n)
      fills << " " << std::hex << op.Color;
  return "fill" + fills.str() + ", text" + texts.str();
}

TEST(SuperHints, PaintTheStylesBackgroundAndTextColour) {
  HintForm f;
  f.Button->SetHint(u"@Title|Body");
  const TColor savedColor = HintFont().Color();
  HintFont().SetColor(0x123456);
  enum TStyle {
    System,
    SystemBeforeVista,
    Disabled,
    DarkWithHintColours,
    DarkWithNone,
    DarkWithout
  };
  const std::pair<TStyle, std::string> rows[] = {
      {System, "fill ff000018, text 123456 123456"},                 // the tooltip element
      {SystemBeforeVista, "fill e1ffff e1ffff, text 123456 123456"}, // a gradient of clInfoBk
      {Disabled, "fill, text 123456 123456"},                        // the window's own background
      {DarkWithHintColours, "fill 404040 202020, text e0e0e0 e0e0e0"},
      {DarkWithNone, "fill e1ffff e1ffff, text 123456 123456"}, // clNone is no colour
      {DarkWithout, "fill e1ffff e1ffff, text 123456 123456"},
  };
  for (const auto &[style, expected] : rows) {
    TOSVersionGuard os;
    std::unique_ptr<test::TIDEStyleGuard> dark;
    if (style == SystemBeforeVista)
      TOSVersion::Set(5, 1, 2600);
    StyleServices()->SetEnabled(style != Disabled);
    if (style >= DarkWithHintColours)
      dark = std::make_unique<test::TIDEStyleGuard>();
    if (style == DarkWithHintColours)
      for (auto [which, colour] : {std::pair{ecGradientColor1, 0x404040},
                                   {ecGradientColor2, 0x202020},
                                   {ecTextColor, 0xE0E0E0}})
        dark->Style()->SetElementColor(thHintNormal, which, colour);
    if (style == DarkWithNone)
      for (TElementColor which : {ecGradientColor1, ecGradientColor2, ecTextColor})
        dark->Style()->SetElementColor(thHintNormal, which, clNone);
    EXPECT_EQ(Colours(ActivateHint(f.Button)), expected) << style;
  }
  StyleServices()->SetEnabled(true);
  HintFont().SetColor(savedColor);
}

TEST(SuperHints, TakeTheHintFromTheParentThatCarriesIt) {
  HintForm f;
  auto *panel = new TGroupBox(f.Form.get());
  panel->SetParent(f.Form.get());
  panel->SetHint(u"@Group|About the group");
  f.Button->SetParent(panel);
  EXPECT_EQ(Painted(ActivateHint(f.Button)), (std::vector<String>{u"*Group*", u"About the group"}));
}

} // namespace
} // namespace krx
