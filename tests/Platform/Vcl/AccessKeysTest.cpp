#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/StdCtrls.h"
#include "Platform/Vcl/TextDraw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace krx {
namespace {

// A dialog with one control of each kind that answers an access key, and a page control whose
// pages hold buttons. Clicks are logged by name.
struct AccelDialog {
  std::unique_ptr<TForm> Form{TCustomForm::CreateNew<TForm>(nullptr)};
  std::vector<String> Log;
  TPageControl *Pages = nullptr;

  template <class T> T *Add(TWinControl *parent, const char16_t *name, const char16_t *caption) {
    auto *c = new T(Form.get());
    c->SetName(name);
    c->SetCaption(caption);
    c->SetParent(parent);
    c->OnClick = [this, name](TObject *) { Log.push_back(name); };
    return c;
  }

  AccelDialog() {
    auto *edit = Add<TEdit>(Form.get(), u"Edit", u"");
    Add<TLabel>(Form.get(), u"NameLbl", u"&Name")->SetFocusControl(edit);
    Add<TLabel>(Form.get(), u"LoneLbl", u"&Unused"); // no focus control
    Add<TButton>(Form.get(), u"Go1", u"&Go");
    Add<TButton>(Form.get(), u"Go2", u"&Go on");
    Add<TButton>(Form.get(), u"Quit", u"Save && &Quit");
    Add<TButton>(Form.get(), u"Literal", u"&&Literal");
    Add<TButton>(Form.get(), u"One", u"Step &1");
    Add<TButton>(Form.get(), u"Off", u"&Disabled")->SetEnabled(false);
    auto *check = Add<TCheckBox>(Form.get(), u"Check", u"&Check");
    auto *plain = Add<TLabel>(Form.get(), u"PlainLbl", u"&Plain"); // shows its "&"
    plain->SetFocusControl(check);
    plain->SetShowAccelChar(false);
    Add<TRadioButton>(Form.get(), u"Radio", u"&Radio");
    Pages = Add<TPageControl>(Form.get(), u"Pages", u"");
    for (auto [sheet, caption, button, buttonCaption] :
         {std::tuple{u"First", u"&First", u"Inner", u"&Inner"},
          std::tuple{u"Second", u"&Second", u"Hidden", u"&Hidden"},
          std::tuple{u"Third", u"&Third", u"Far", u"&Away"}}) {
      auto *page = new TTabSheet(Form.get());
      page->SetName(sheet);
      page->SetCaption(caption);
      page->SetPageControl(Pages);
      Add<TButton>(page, button, buttonCaption);
    }
    Form->Show();
  }
  TWinControl *Control(const char16_t *name) {
    return dynamic_cast<TWinControl *>(FindControl(Form.get(), name));
  }
};

TEST(AccessKeys, EachKindOfControlAnswersItsLetterWhereTheFocusedControlLetsIt) {
  const struct {
    const char16_t *Focus;
    TShiftState Shift; // with Alt: a key pressed; without: the character typed
    Char Key;
    std::vector<String> Log;
    const char16_t *Focused;
    const char16_t *Page;
  } rows[] = {
      {u"Edit", {ssAlt}, u'Q', {u"Quit"}, u"Edit", u"First"},
      {u"Edit", {ssAlt, ssShift}, u'Q', {u"Quit"}, u"Edit", u"First"},
      {u"Edit", {}, u'q', {}, u"Edit", u"First"},          // the edit takes characters
      {u"Check", {}, u'q', {u"Quit"}, u"Check", u"First"}, // a check box takes none
      {u"Edit", {ssAlt, ssCtrl}, u'Q', {}, u"Edit", u"First"},
      {u"Check", {ssAlt}, u'N', {}, u"Edit", u"First"}, // the label focuses its control
      {u"Edit", {ssAlt}, u'U', {}, u"Edit", u"First"},  // a label without one does nothing
      {u"Edit", {ssAlt}, u'P', {}, u"Edit", u"First"},  // nor one that shows its "&"
      {u"Edit", {ssAlt}, u'C', {u"Check"}, u"Check", u"First"},
      {u"Edit", {ssAlt}, u'R', {u"Radio"}, u"Radio", u"First"},
      {u"Edit", {ssAlt}, u'L', {}, u"Edit", u"First"}, // "&&" is a literal ampersand
      {u"Edit", {ssAlt}, u'1', {u"One"}, u"Edit", u"First"},
      {u"Edit", {ssAlt}, u'D', {}, u"Edit", u"First"}, // disabled
      {u"Edit", {ssAlt}, u'I', {u"Inner"}, u"Edit", u"First"},
      {u"Edit", {ssAlt}, u'H', {}, u"Edit", u"First"}, // on the hidden page
      {u"Edit", {ssAlt}, u'S', {}, u"Edit", u"Second"},
      {u"Inner", {ssAlt}, u'S', {}, u"Hidden", u"Second"}, // the focus follows into the page
      // The search starts after the focused control and wraps around.
      {u"Edit", {ssAlt}, u'G', {u"Go1"}, u"Edit", u"First"},
      {u"Go1", {ssAlt}, u'G', {u"Go2"}, u"Go1", u"First"},
      {u"Radio", {}, u'g', {u"Go1"}, u"Radio", u"First"},
  };
  for (const auto &row : rows) {
    AccelDialog d;
    d.Control(row.Focus)->SetFocus();
    if (row.Shift.Contains(ssAlt))
      PressKey(*d.Form, row.Key, row.Shift);
    else
      TypeText(*d.Form, String(1, row.Key));
    const std::string where = StringToUtf8(String(row.Focus) + u" " + String(1, row.Key));
    EXPECT_EQ(d.Log, row.Log) << where;
    EXPECT_EQ(d.Form->ActiveControl()->Name(), row.Focused) << where;
    EXPECT_EQ(d.Pages->ActivePage()->Name(), row.Page) << where;
  }
}

TEST(AccessKeys, AControlThatUsesTheKeyOrPassesTheFocusOnKeepsItsStateAndTheDialogs) {
  AccelDialog d;
  auto *edit = d.Control(u"Edit");
  edit->SetFocus();
  // A check box that sends the focus on when it gets it is not toggled by its access key.
  d.Control(u"Check")->OnEnter = [edit](TObject *) { edit->SetFocus(); };
  PressKey(*d.Form, u'C', {ssAlt});
  edit->OnKeyDown = [](TObject *, Word &key, TShiftState) { key = 0; };
  PressKey(*d.Form, u'Q', {ssAlt});
  EXPECT_TRUE(d.Log.empty());
}

TEST(AccessKeys, TheCanvasShowsWhichLetterIsUnderlined) {
  TCanvas canvas;
  TRect r = Rect(0, 0, 40, 100);
  DrawTextW(canvas, u"Save && &Quit", r, DT_WORDBREAK);
  ASSERT_EQ(canvas.Ops().size(), 2u); // "Save &" and "Quit"
  EXPECT_EQ(canvas.Ops()[0].Underline, -1);
  EXPECT_EQ(canvas.Ops()[1].Text, u"Quit");
  EXPECT_EQ(canvas.Ops()[1].Underline, 0);
  canvas.ClearOps();
  r = Rect(0, 0, 400, 20);
  DrawTextW(canvas, u"&a&b", r, DT_SINGLELINE); // the last one, as the access key
  EXPECT_EQ(canvas.Ops()[0].Underline, 1);
  canvas.ClearOps();
  DrawTextW(canvas, u"&a", r, DT_SINGLELINE | DT_NOPREFIX);
  EXPECT_EQ(canvas.Ops()[0].Underline, -1);
  EXPECT_EQ(GetHotkey(u"&a&b"), u'b');
  // Each kind of control with an access key paints its caption with that letter underlined.
  AccelDialog d;
  for (auto [name, text, underline] : {std::tuple{u"NameLbl", u"Name", 0},
                                       {u"Quit", u"Save & Quit", 7},
                                       {u"Check", u"Check", 0},
                                       {u"Radio", u"Radio", 0}}) {
    canvas.ClearOps();
    FindControl(d.Form.get(), name)->PaintTo(canvas);
    const auto op = std::find_if(canvas.Ops().begin(), canvas.Ops().end(),
                                 [&](const TCanvasOp &o) { return o.Text == text; });
    ASSERT_NE(op, canvas.Ops().end()) << StringToUtf8(name);
    EXPECT_EQ(op->Underline, underline) << StringToUtf8(name);
  }
}

TEST(PageControl, CtrlTabCyclesThePagesFromInsideOnlyAndATabClickSelectsOne) {
  AccelDialog d;
  d.Control(u"Inner")->SetFocus();
  PressKey(*d.Form, VK_TAB, {ssCtrl});
  EXPECT_EQ(d.Pages->ActivePage()->Name(), u"Second");
  EXPECT_EQ(d.Form->ActiveControl()->Name(), u"Hidden");
  // Back, back again (wrapping to the last page), and forward again (wrapping to the first).
  std::vector<String> visited;
  for (TShiftState shift : {TShiftState{ssCtrl, ssShift}, {ssCtrl, ssShift}, {ssCtrl}}) {
    PressKey(*d.Form, VK_TAB, shift);
    visited.push_back(d.Pages->ActivePage()->Name());
  }
  EXPECT_EQ(visited, (std::vector<String>{u"First", u"Third", u"First"}));
  PressKey(*d.Form, VK_TAB, {ssCtrl});

  d.Control(u"Edit")->SetFocus(); // outside the page control: nothing
  PressKey(*d.Form, VK_TAB, {ssCtrl});
  EXPECT_EQ(d.Pages->ActivePage()->Name(), u"Second");

  d.Pages->ClickTab(0); // the focus stays where it is
  EXPECT_EQ(d.Pages->ActivePage()->Name(), u"First");
  EXPECT_EQ(d.Form->ActiveControl()->Name(), u"Edit");
  d.Pages->SetEnabled(false); // a disabled page control takes no clicks
  d.Pages->ClickTab(1);
  EXPECT_EQ(d.Pages->ActivePage()->Name(), u"First");
  d.Pages->SetEnabled(true);

  d.Pages->SetFocus(); // the arrows move along the tabs, without wrapping
  for (int i = 0; i < 3; ++i)
    PressKey(*d.Form, VK_RIGHT);
  EXPECT_EQ(d.Pages->ActivePage()->Name(), u"Third");
  for (Word key : {VK_LEFT, VK_LEFT, VK_LEFT, VK_UP})
    PressKey(*d.Form, key);
  ASSERT_NE(d.Pages->ActivePage(), nullptr) << "stepped before the first page";
  EXPECT_EQ(d.Pages->ActivePage()->Name(), u"First");
  EXPECT_EQ(d.Form->ActiveControl(), d.Pages);
}

} // namespace
} // namespace krx
