#include "World/CondMsgDlg.h"

#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/MessageDialogs.h"
#include "Platform/Vcl/StdCtrls.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

TCheckBox *BoxOf(TCustomForm &f) {
  for (Integer i = 0; i < f.ControlCount(); ++i)
    if (auto *box = dynamic_cast<TCheckBox *>(f.Controls(i)))
      return box;
  return nullptr;
}

TEST(ConditionalMessageDlg, LaysOutTheRequestedButtonsFromTheRightAndHidesTwoSpares) {
  struct {
    TMsgDlgButtons Buttons;
    std::vector<String> RightToLeft;
    std::vector<String> Spares;
  } cases[] = {
      {{mbOK}, {u"OK"}, {u"Close", u"Help"}},
      {{mbYes, mbNo, mbCancel}, {u"Cancel", u"No", u"Yes"}, {u"Close", u"Help"}},
      {{mbHelp, mbClose}, {u"Close", u"Help"}, {u"YesToAll", u"NoToAll"}},
  };
  for (const auto &c : cases) {
    bool checked = false;
    TScriptedModal modal({[&](TCustomForm &f) {
      Integer right = f.ClientWidth() - 8;
      TControl *leftmost = nullptr;
      for (const String &name : c.RightToLeft) {
        TControl *b = FindControl(&f, name);
        EXPECT_TRUE(b->Visible());
        EXPECT_EQ(b->Left() + b->Width(), right) << StringToUtf8(name);
        right = b->Left() - 8;
        leftmost = b;
      }
      for (const String &name : c.Spares) {
        EXPECT_FALSE(FindControl(&f, name)->Visible()) << StringToUtf8(name);
        EXPECT_FALSE(dynamic_cast<TButton *>(FindControl(&f, name))->Default());
      }
      TCheckBox *box = BoxOf(f);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->Left(), 8);
      EXPECT_EQ(box->Top(), leftmost->Top() + (leftmost->Height() - box->Height()) / 2);
      EXPECT_EQ(box->Caption(), u"Don't ask me again");
      ClickControl(leftmost);
    }});
    ConditionalMessageDlg(u"Proceed?", mtConfirmation, c.Buttons, checked);
  }
}

TEST(ConditionalMessageDlg, DefaultButtonIsAlwaysARequestedOne) {
  bool checked = false;
  TScriptedModal modal({[&](TCustomForm &f) {
    EXPECT_TRUE(dynamic_cast<TButton *>(FindControl(&f, u"Help"))->Default());
    PressKey(f, VK_RETURN);
  }});
  // Enter presses the visible default button; Help has no modal result, so the run ends only when
  // the script runs out and the dialog is closed.
  EXPECT_EQ(ConditionalMessageDlg(u"x", mtInformation, {mbHelp, mbClose}, checked), mrCancel);
}

TEST(ConditionalMessageDlg, HandsTheBoxStateBackWithTheResult) {
  bool checked = true;
  TScriptedModal modal({[](TCustomForm &f) {
    EXPECT_TRUE(BoxOf(f)->Checked());
    EXPECT_EQ(f.Caption(), u"Mine");
    EXPECT_EQ(BoxOf(f)->Caption(), u"Never again");
    ClickControl(BoxOf(f));
    ClickControl(FindControl(&f, u"No"));
  }});
  EXPECT_EQ(
      ConditionalMessageDlg(u"Save?", mtWarning, {mbYes, mbNo}, checked, u"Never again", u"Mine"),
      mrNo);
  EXPECT_FALSE(checked);
}

} // namespace
} // namespace krx
