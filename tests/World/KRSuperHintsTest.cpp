#include "World/KRSuperHints.h"

#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/StdCtrls.h"

#include <gtest/gtest.h>

#include <memory>

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

TEST(SuperHints, AddTheActionShortcutToATitleOnly) {
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
      {u"@Reads again", true, {u"Reads again"}},
  };
  for (const auto &c : cases) {
    ApplicationHints().HintShortCuts = c.HintShortCuts;
    f.Button->SetHint(c.Hint);
    EXPECT_EQ(Painted(ActivateHint(f.Button)), c.Expected) << StringToUtf8(c.Hint);
  }
  ApplicationHints().HintShortCuts = true;
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
