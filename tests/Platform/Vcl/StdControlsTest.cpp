#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/MessageDialogs.h"
#include "Platform/Vcl/StdCtrls.h"

#include <gtest/gtest.h>

#include <memory>

namespace krx {
namespace {

struct Dialog {
  std::unique_ptr<TForm> Form{TCustomForm::CreateNew<TForm>(nullptr)};
  template <class T> T *Add() {
    auto *c = new T(Form.get());
    c->SetParent(Form.get());
    return c;
  }
};

TEST(StdControls, EnterAndEscapePressTheDefaultAndCancelButtons) {
  Dialog d;
  auto *ok = d.Add<TButton>();
  ok->SetDefault(true);
  ok->SetModalResult(mrOk);
  auto *cancel = d.Add<TButton>();
  cancel->SetCancel(true);
  cancel->SetModalResult(mrCancel);
  auto *box = d.Add<TCheckBox>();
  int clicks = 0;
  box->OnClick = [&](TObject *) { ++clicks; };
  TScriptedModal modal({[&](TCustomForm &f) {
                          box->SetFocus();
                          PressKey(f, VK_SPACE); // toggles the focused box
                          PressKey(f, VK_ESCAPE);
                        },
                        [&](TCustomForm &f) { PressKey(f, VK_RETURN); }});
  EXPECT_EQ(d.Form->ShowModal(), mrCancel);
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(d.Form->ShowModal(), mrOk);
  box->SetChecked(false); // a change of state by code clicks as well
  box->SetChecked(false);
  EXPECT_EQ(clicks, 2);
}

TEST(StdControls, EditsTypeOverTheirSelectionWhichTheSelectionMessagesSet) {
  Dialog d;
  auto *edit = d.Add<TEdit>();
  d.Form->Show();
  edit->SetFocus();
  const struct {
    WPARAM First;
    LPARAM End;
    const char16_t *Typed;
    const char16_t *Expected;
    LRESULT Caret; // EM_GETSEL afterwards: caret as first and end
  } rows[] = {
      {0, -1, u"ab", u"ab", 2 | 2 << 16},               // all replaced
      {1, 1, u"X", u"aXb", 2 | 2 << 16},                // inserted at the caret
      {3, 0, u"", u"aXb", 0 | 3 << 16},                 // backwards: ordered
      {3, 3, u"\b", u"aX", 2 | 2 << 16},                // no selection: Backspace removes one
      {1, 99, u"\b", u"a", 1 | 1 << 16},                // a selection: Backspace removes it
  };
  edit->SetText(u"old");
  for (const auto &row : rows) {
    edit->Perform(EM_SETSEL, row.First, row.End);
    for (const char16_t *c = row.Typed; *c; ++c)
      *c == u'\b' ? PressKey(*d.Form, VK_BACK) : TypeText(*d.Form, String(1, *c));
    EXPECT_EQ(edit->Text(), row.Expected);
    EXPECT_EQ(edit->Perform(EM_GETSEL, 0, 0), row.Caret) << StringToUtf8(row.Expected);
  }
  edit->SetText(u"typed after"); // a text from outside: the caret goes to its end
  EXPECT_EQ(edit->SelStart(), 11);

  auto *combo = d.Add<TComboBox>();
  combo->SetText(u"combo");
  EXPECT_EQ(combo->Perform(CB_SETEDITSEL, 0, LPARAM(0xFFFF0001u)), 1);
  EXPECT_EQ(combo->Perform(CB_GETEDITSEL, 0, 0), 1 | 5 << 16);
  combo->SetStyle(csDropDownList);
  EXPECT_EQ(combo->Perform(CB_SETEDITSEL, 0, 0), CB_ERR);
}

TEST(StdControls, ListBoxSelectionMovesWithItsLines) {
  Dialog d;
  auto *list = d.Add<TListBox>();
  list->SetMultiSelect(true);
  for (const char16_t *s : {u"a", u"b", u"c", u"d"})
    list->Items().Add(s);
  list->ClickItem(1);
  list->ClickItem(3, {ssCtrl});
  list->Items().Delete(0);
  list->Items().Insert(0, u"z");
  EXPECT_EQ(list->SelCount(), 2);
  EXPECT_TRUE(list->Selected(1)); // "b"
  EXPECT_TRUE(list->Selected(3)); // "d"
  list->Items().SetText(u"x\ny");
  EXPECT_EQ(list->SelCount(), 0);
}

TEST(StdControls, AutoSizedLabelsFollowTheirCaption) {
  Dialog d;
  auto *label = d.Add<TLabel>();
  int resized = 0;
  label->OnResize = [&](TObject *) { ++resized; };
  label->SetCaption(u"&Edit");
  EXPECT_EQ(label->Width(), TextWidthOf(label->Font(), u"Edit"));
  label->SetCaption(u"&Edit Short cut");
  EXPECT_EQ(resized, 2);
}

TEST(StdControls, DragAndDropAsksTheTargetFirst) {
  Dialog d;
  auto *from = d.Add<TListBox>();
  auto *to = d.Add<TListBox>();
  int drops = 0;
  to->OnDragOver = [&](TObject *, TObject *source, Integer, Integer, bool &accept) {
    accept = source == from;
  };
  to->OnDragDrop = [&](TObject *, TObject *, Integer, Integer) { ++drops; };
  EXPECT_TRUE(DragAndDrop(from, to));
  EXPECT_FALSE(DragAndDrop(to, to));
  EXPECT_FALSE(DragAndDrop(to, from)); // no handler: refused
  EXPECT_EQ(drops, 1);
}

TEST(MessageDialog, NamesItsButtonsAndPicksDefaultAndCancelFromThem) {
  std::unique_ptr<TForm> dlg(
      CreateMessageDialog(u"Save changes?", mtConfirmation, {mbYes, mbNo, mbCancel}));
  EXPECT_EQ(dlg->Caption(), u"Confirm");
  auto *yes = dynamic_cast<TButton *>(FindControl(dlg.get(), u"Yes"));
  auto *no = dynamic_cast<TButton *>(FindControl(dlg.get(), u"No"));
  auto *cancel = dynamic_cast<TButton *>(FindControl(dlg.get(), u"Cancel"));
  ASSERT_TRUE(yes && no && cancel);
  EXPECT_TRUE(yes->Default());
  EXPECT_TRUE(cancel->Cancel());
  EXPECT_EQ(no->ModalResult(), mrNo);
  EXPECT_LT(yes->Left(), no->Left());
  EXPECT_EQ(dynamic_cast<TLabel *>(FindControl(dlg.get(), u"Message"))->Caption(),
            u"Save changes?");
  std::unique_ptr<TForm> other(CreateMessageDialog(u"x", mtError, {mbOK, mbNo}, mbNo));
  EXPECT_TRUE(dynamic_cast<TButton *>(FindControl(other.get(), u"No"))->Default());
  EXPECT_TRUE(dynamic_cast<TButton *>(FindControl(other.get(), u"No"))->Cancel());
}

TEST(ListView, ClickOnTheCurrentItemEditsAndTheEditGoesToThatItem) {
  Dialog d;
  auto *list = d.Add<TListView>();
  std::vector<String> edited;
  list->OnEdited = [&](TObject *, TListItem *item, String &s) {
    edited.push_back(item->Caption() + u">" + s);
  };
  for (const char16_t *s : {u"one", u"two"})
    list->Items().Add()->SetCaption(s);
  d.Form->Show();
  list->ClickItem(1);
  EXPECT_FALSE(list->IsEditing());
  list->ClickItem(1);
  ASSERT_TRUE(list->IsEditing());
  list->Items()[0]->SetFocused(true);
  TypeText(*d.Form, u"!");
  PressKey(*d.Form, VK_RETURN);
  list->Items()[0]->EditCaption();
  PressKey(*d.Form, VK_ESCAPE); // cancelled: no edit
  EXPECT_EQ(edited, (std::vector<String>{u"two>two!"}));
  EXPECT_EQ(list->Items()[1]->Caption(), u"two!");
}

TEST(HotKey, TakesShortcutsClearsAndLeavesPlainDialogKeys) {
  Dialog d;
  auto *ok = d.Add<TButton>();
  ok->SetDefault(true);
  ok->SetModalResult(mrOk);
  auto *box = d.Add<TCheckBox>();
  auto *key = d.Add<THotKey>();
  key->SetModifiers({});
  key->SetInvalidKeys({hcNone});
  d.Form->Show();
  key->SetFocus();
  struct {
    Word Key;
    TShiftState Shift;
    const char16_t *Expected;
  } cases[] = {{u'R', {ssCtrl}, u"Ctrl+R"},
               {VK_SPACE, {}, u"Space"},
               {VK_BACK, {}, u""},
               {VK_ESCAPE, {ssShift}, u"Shift+Esc"},
               {VK_DELETE, {}, u""}};
  for (const auto &c : cases) {
    PressKey(*d.Form, c.Key, c.Shift);
    EXPECT_EQ(ShortCutToText(key->HotKey()), String(c.Expected));
  }
  EXPECT_FALSE(box->Checked());
  EXPECT_EQ(d.Form->ModalResult(), mrNone);
  PressKey(*d.Form, VK_RETURN);
  EXPECT_EQ(d.Form->ModalResult(), mrOk);
}

} // namespace
} // namespace krx
