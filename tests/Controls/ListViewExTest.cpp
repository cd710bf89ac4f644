#include "Controls/ComCtrlsEx.h"
#include "Controls/ControlsTestSupport.h"
#include "Controls/KeyBindFrames.h"

#include "Platform/Vcl/ActnList.h"
#include "Platform/Vcl/Forms.h"

#include <gtest/gtest.h>

#include <memory>

namespace krx {
namespace {

struct ListForm {
  std::unique_ptr<TForm> Form{TCustomForm::CreateNew<TForm>(nullptr)};
  TButton *Cancel = new TButton(Form.get());
  TListViewEx *List = new TListViewEx(Form.get());
  ListForm() {
    Cancel->SetParent(Form.get());
    Cancel->SetCancel(true);
    Cancel->SetModalResult(mrCancel);
    List->SetParent(Form.get());
    List->SetViewStyle(vsReport);
    List->Columns().Add()->SetWidth(100);
    for (const char16_t *c : {u"Open", u"Save", u"Close"})
      List->Items().Add()->SetCaption(c);
    Form->Show();
  }
};

TEST(ListViewEx, TheFocusingClickStartsNoEditTheNextOneDoes) {
  ListForm f;
  f.List->Items()[1]->SetSelected(true);
  f.List->Items()[1]->SetFocused(true);
  f.List->ClickItem(1);
  EXPECT_FALSE(f.List->IsEditing());
  f.List->ClickItem(1);
  EXPECT_TRUE(f.List->IsEditing());
}

TEST(ListViewEx, EditKeysStayWithTheEditorAndEscapeNeverClosesTheDialog) {
  ListForm f;
  int cancelled = 0;
  f.List->OnCancelEdit = [&](TObject *) { ++cancelled; };
  f.List->SetFocus();
  PressKey(*f.Form, VK_ESCAPE);
  EXPECT_EQ(f.Form->ModalResult(), mrNone);

  ASSERT_TRUE(f.List->Items()[0]->EditCaption());
  TypeText(*f.Form, u"ed");
  PressKey(*f.Form, VK_BACK);
  PressKey(*f.Form, VK_RETURN);
  EXPECT_EQ(f.List->Items()[0]->Caption(), u"Opene");

  ASSERT_TRUE(f.List->Items()[2]->EditCaption());
  PressKey(*f.Form, VK_ESCAPE);
  EXPECT_EQ(cancelled, 1);
  EXPECT_EQ(f.Form->ModalResult(), mrNone);
  EXPECT_EQ(f.List->Items()[2]->Caption(), u"Close");
}

// An action shortcut of the form, to see which keys reach it.
void AddAction(TForm &form, const char16_t *shortCut, int &executed) {
  auto *list = new TActionList(&form);
  auto *action = new TAction(&form);
  action->SetActionList(list);
  action->SetShortCut(TextToShortCut(shortCut));
  action->OnExecute = [&executed](TObject *) { ++executed; };
}

TEST(ListViewEx, ClipboardKeysReachTheEditorBeforeTheFormsShortcuts) {
  ListForm f;
  int copied = 0;
  AddAction(*f.Form, u"Ctrl+C", copied);
  f.List->SetFocus();
  PressKey(*f.Form, u'C', {ssCtrl});
  EXPECT_EQ(copied, 1); // without an editor the shortcut runs
  ASSERT_TRUE(f.List->Items()[0]->EditCaption());
  PressKey(*f.Form, u'C', {ssCtrl});
  EXPECT_EQ(copied, 1);
  EXPECT_TRUE(f.List->IsEditing());
}

TEST(ListViewEx, AnEmptyTextIsAppliedAndTheTextGoesToTheItemWhoseEditBegan) {
  ListForm f;
  int cancelled = 0;
  f.List->OnCancelEdit = [&](TObject *) { ++cancelled; };
  f.List->OnChangeEditText = [](TListView *, TListItem *item, String &text) {
    text = u"[" + item->Caption() + u"]";
  };
  f.List->SetFocus();
  f.List->Items()[0]->SetFocused(true); // the focused item is not the edited one
  ASSERT_TRUE(f.List->Items()[2]->EditCaption());
  Application->ProcessMessages(); // WM_LVSTARTEDIT
  EXPECT_EQ(f.List->EditText(), u"[Close]");
  PressKey(*f.Form, VK_RETURN);
  EXPECT_EQ(f.List->Items()[2]->Caption(), u"[Close]");
  EXPECT_EQ(f.List->Items()[0]->Caption(), u"Open");

  ASSERT_TRUE(f.List->Items()[1]->EditCaption());
  Application->ProcessMessages();
  for (int i = 0; i < 6; ++i)
    PressKey(*f.Form, VK_BACK);
  PressKey(*f.Form, VK_RETURN);
  EXPECT_EQ(cancelled, 0);
  EXPECT_EQ(f.List->Items()[1]->Caption(), u"");
}

// The list's own messages and notifications, seen from outside.
class TProbedList : public TListViewEx {
public:
  using TListViewEx::CNNotify;
  using TListViewEx::TListViewEx;
  std::vector<WPARAM> SelectedColumns; // LVM_SETSELECTEDCOLUMN sent to the native list

protected:
  void WndProc(TMessage &Message) override {
    if (Message.Msg == LVM_SETSELECTEDCOLUMN)
      SelectedColumns.push_back(Message.WParam);
    TListViewEx::WndProc(Message);
  }
};

TEST(ListViewEx, SelectsAllAndTellsOfADoubleClickOnceItIsHandled) {
  ListForm f;
  f.List->SetMultiSelect(true);
  f.List->SelectAll();
  EXPECT_EQ(f.List->SelCount(), 3);
  std::vector<std::string> events;
  f.List->OnDblClick = [&](TObject *) { events.push_back("dblclick"); };
  f.List->OnDblClicked = [&](TObject *) { events.push_back("dblclicked"); };
  f.List->DblClickItem(1);
  EXPECT_EQ(events, std::vector<std::string>{"dblclick"});
  Application->ProcessMessages();
  EXPECT_EQ(events, (std::vector<std::string>{"dblclick", "dblclicked"}));
}

TEST(ListViewEx, GivesTheNativeListItsSelectedColumnWhenTheWindowIsMade) {
  std::unique_ptr<TForm> form(TCustomForm::CreateNew<TForm>(nullptr));
  auto *list = new TProbedList(form.get());
  list->SetSelectedColumn(1); // no window yet
  list->HandleNeeded();
  list->SetSelectedColumn(2);
  list->RecreateWnd();
  EXPECT_EQ(list->SelectedColumns, (std::vector<WPARAM>{1, 2, 2}));
}

TEST(ListViewEx, InfoTipsComeFromTheHandlerWhileHintsAreOff) {
  ListForm f;
  auto *list = new TProbedList(f.Form.get());
  list->SetParent(f.Form.get());
  list->Items().Add()->SetCaption(u"Save");
  list->OnInfoTip = [](TObject *, TListItem *, String &tip) { tip += u" tip"; };
  const struct {
    bool ShowHint;
    UINT Flags;
    const char16_t *Tip;
    LRESULT Result;
  } rows[] = {
      {false, 1, u"Save ti", 1}, // the caption, cut to the buffer
      {false, 0, u"buf tip", 1}, // the buffer's text
      {true, 1, u"buf tip", 0},  // the class library's own answer
  };
  for (const auto &row : rows) {
    list->SetShowHint(row.ShowHint);
    TLVNotify n{TLVCode::GetInfoTip, 0, String(u"buf"), 8, row.Flags};
    list->CNNotify(n);
    EXPECT_EQ(n.Text.value_or(u"-") + u"/" + IntToStr(Integer(n.Result)),
              String(row.Tip) + u"/" + IntToStr(Integer(row.Result)));
  }
}

TEST(ListViewEx, TheShowHintEventDecidesTheHint) {
  ListForm f;
  f.List->SetShowHint(true);
  f.List->SetHint(u"Commands");
  f.List->OnShowHint = [](String &hint, bool &canShow, THintInfo &) {
    canShow = hint != u"Commands";
    hint = u"Changed";
  };
  EXPECT_FALSE(ActivateHint(f.List).Shown);
  f.List->SetHint(u"Other");
  const THintResult shown = ActivateHint(f.List);
  ASSERT_EQ(shown.Painted.size(), 1u);
  EXPECT_EQ(shown.Painted[0].Text, u"Changed");
}

TEST(ListViewEx, AndTheHotKeyEditTakeTheStylesColours) {
  for (bool enabled : {true, false}) {
    test::TIDEStyleGuard style;
    style.Style()->SetStyleColor(scListView, 0x101010);
    style.Style()->SetStyleColor(scEdit, 0x202020);
    style.Style()->SetEnabled(enabled);
    std::unique_ptr<TForm> form(TCustomForm::CreateNew<TForm>(nullptr));
    auto *list = new TListViewEx(form.get());
    auto *edit = new THotKeyEx(form.get());
    EXPECT_EQ(std::tuple(list->Color(), list->HideSelection(), edit->Color()),
              std::tuple(0x101010, enabled, 0x202020));
  }
}

TEST(ListViewEx, StretchesTheLastColumnAndKeepsSelectionAcrossRecreation) {
  ListForm f;
  f.List->SetAutoUpdateColumns(true);
  f.List->Columns()[0]->SetWidth(100);
  f.List->Columns().Add()->SetWidth(50);
  f.List->SetBounds(0, 0, 300, 100);
  Application->ProcessMessages();
  EXPECT_EQ(f.List->Columns()[1]->Width(), 200);
  f.List->Columns()[0]->SetWidth(400);
  f.List->UpdateColumns(false);
  EXPECT_EQ(f.List->Columns()[1]->Width(), 200);

  f.List->SetMultiSelect(true);
  f.List->Items()[0]->SetSelected(true);
  f.List->Items()[2]->SetSelected(true);
  f.List->Items()[2]->SetFocused(true);
  f.List->RecreateWnd();
  EXPECT_TRUE(f.List->Items()[0]->Selected());
  EXPECT_FALSE(f.List->Items()[1]->Selected());
  EXPECT_TRUE(f.List->Items()[2]->Selected());
  EXPECT_EQ(f.List->ItemFocused(), f.List->Items()[2]);
}

TEST(ListViewEx, ScrollMessagesReachTheirOwnEvents) {
  ListForm f;
  std::vector<std::pair<char, Word>> seen;
  f.List->OnHScroll = [&](TWinControl *, TWMScroll &m) { seen.push_back({'h', m.ScrollCode}); };
  f.List->OnVScroll = [&](TWinControl *, TWMScroll &m) { seen.push_back({'v', m.Pos}); };
  f.List->Perform(WM_VSCROLL, (7 << 16) | 5, 0); // SB_THUMBTRACK at 7
  f.List->Perform(WM_HSCROLL, 1, 0);              // SB_LINERIGHT
  EXPECT_EQ(seen, (std::vector<std::pair<char, Word>>{{'v', 7}, {'h', 1}}));
}

TEST(ListViewEx, DrawsTheEmptyTextGreyAndCentredWhileEmpty) {
  ListForm f;
  f.List->Items().Clear();
  f.List->SetEmptyListText(u"No commands");
  TCanvas canvas;
  f.List->PaintTo(canvas);
  bool found = false;
  for (const TCanvasOp &op : canvas.Ops())
    if (op.Text == u"No commands") {
      found = true;
      EXPECT_EQ(op.Color, clGrayText);
      EXPECT_GT(op.Rect.Top, f.List->HeaderHeight() - 1);
    }
  EXPECT_TRUE(found);
  f.List->Items().Add()->SetCaption(u"x");
  EXPECT_FALSE(f.List->EmptyTextShowing());
}

TEST(HotKeyEx, TakesShortcutsLeavesDialogKeysAndClears) {
  std::unique_ptr<TForm> form(TCustomForm::CreateNew<TForm>(nullptr));
  auto *ok = new TButton(form.get());
  ok->SetParent(form.get());
  ok->SetDefault(true);
  ok->SetModalResult(mrOk);
  auto *edit = new THotKeyEx(form.get());
  edit->SetParent(form.get());
  edit->SetModifiers({});
  edit->SetInvalidKeys({hcNone});
  int changes = 0;
  edit->OnChange = [&](TObject *) { ++changes; };
  form->Show();
  edit->SetFocus();
  struct {
    Word Key;
    TShiftState Shift;
    const char16_t *Expected;
  } cases[] = {
      {VK_DELETE, {ssCtrl}, u"Ctrl+Del"},
      {u'R', {ssCtrl, ssShift}, u"Shift+Ctrl+R"},
      {VK_RETURN, {ssCtrl}, u"Ctrl+Enter"}, // taken, so the default button stays
      {VK_DELETE, {}, u""},                 // cleared
  };
  int saved = 0;
  AddAction(*form, u"Ctrl+S", saved);
  for (const auto &c : cases) {
    PressKey(*form, c.Key, c.Shift);
    EXPECT_EQ(ShortCutToText(edit->HotKey()), String(c.Expected));
  }
  EXPECT_EQ(changes, 4);
  PressKey(*form, u'S', {ssCtrl}); // a shortcut of the form is still the edit's
  EXPECT_EQ(ShortCutToText(edit->HotKey()), u"Ctrl+S");
  EXPECT_EQ(saved, 0);
  EXPECT_EQ(form->ModalResult(), mrNone);
  PressKey(*form, VK_RETURN); // plain Enter belongs to the dialog
  EXPECT_EQ(form->ModalResult(), mrOk);
}

struct FrameForm {
  std::unique_ptr<TForm> Form{TCustomForm::CreateNew<TForm>(nullptr)};
  TKRKeyBindingsFrame *Frame = TCustomFrame::Create<TKRKeyBindingsFrame>(Form.get());
  std::vector<std::unique_ptr<TMenuItem>> Items;
  std::vector<TMenuItem *> Pointers;
  FrameForm(std::initializer_list<std::pair<const char16_t *, const char16_t *>> commands) {
    Frame->SetParent(Form.get());
    for (auto [caption, shortcut] : commands) {
      Items.push_back(std::make_unique<TMenuItem>(nullptr));
      Items.back()->SetCaption(caption);
      Items.back()->SetShortCut(TextToShortCut(shortcut));
      Pointers.push_back(Items.back().get());
    }
    Frame->LoadBindings(Pointers);
    Form->Show();
  }
  std::vector<String> Captions() const {
    std::vector<String> out;
    for (Integer i = 0; i < Frame->ListView->Items().Count(); ++i)
      out.push_back(Frame->ListView->Items()[i]->Caption());
    return out;
  }
};

TEST(KeyBindingsFrame, MarksDuplicatesAndClearsThemAgain) {
  FrameForm f({{u"&Refresh", u"Ctrl+R"}, {u"Re&name", u"ctrl+r"}, {u"Open", u""}, {u"Go", u""}});
  auto &items = f.Frame->ListView->Items();
  EXPECT_TRUE(f.Frame->DuplicatesLbl->Enabled());
  EXPECT_TRUE(f.Frame->IsDuplicate(items[0]) && f.Frame->IsDuplicate(items[1]));
  EXPECT_FALSE(f.Frame->IsDuplicate(items[2]) || f.Frame->IsDuplicate(items[3]));
  EXPECT_GE(items[0]->ImageIndex(), 0); // the "Warnings" image is always there
  TCanvas canvas;
  f.Frame->DuplicatesLbl->PaintTo(canvas);
  ASSERT_FALSE(canvas.Ops().empty());
  EXPECT_TRUE(canvas.Ops().back().Style.Contains(fsBold));
  EXPECT_EQ(f.Frame->DuplicatesLbl->Font().Color(), clRed);
  // The command column takes what the shortcut column and a scroll bar leave.
  f.Frame->SetBounds(0, 0, 500, 300);
  auto &columns = f.Frame->ListView->Columns();
  EXPECT_EQ(columns[0]->Width(), f.Frame->ListView->ClientWidth() - columns[1]->Width() - 17);

  // The second command gets another shortcut typed into the list.
  f.Frame->ListView->SetFocus();
  items[1]->SetSelected(true);
  items[1]->SetFocused(true);
  PressKey(*f.Form, u'N', {ssCtrl});
  EXPECT_FALSE(f.Frame->DuplicatesLbl->Enabled());
  EXPECT_FALSE(f.Frame->IsDuplicate(items[0]));
  f.Frame->StoreBindings(f.Pointers);
  EXPECT_EQ(ShortCutToText(f.Items[1]->ShortCut()), u"Ctrl+N");
  EXPECT_EQ(ShortCutToText(f.Items[0]->ShortCut()), u"Ctrl+R");
}

TEST(KeyBindingsFrame, PlainLettersMoveAndSortingIsUndone) {
  FrameForm f({{u"Zoom", u""}, {u"Apply", u""}, {u"Build", u""}});
  f.Frame->ListView->SetFocus();
  // The letters at both ends of the range move too; none becomes a shortcut.
  for (auto [key, caption] : {std::pair{u'B', u"Build"}, {u'Z', u"Zoom"}, {u'A', u"Apply"}}) {
    PressKey(*f.Form, key);
    EXPECT_EQ(f.Frame->ListView->ItemFocused()->Caption(), caption);
    EXPECT_EQ(f.Frame->ListView->ItemFocused()->SubItems()[0], u"");
  }
  PressKey(*f.Form, u'Z', {ssCtrl});
  EXPECT_EQ(f.Frame->ListView->ItemFocused()->SubItems()[0], u"Ctrl+Z");

  ClickControl(f.Frame->SortedBox);
  EXPECT_TRUE(f.Frame->Sorted());
  EXPECT_EQ(f.Captions(), (std::vector<String>{u"Apply", u"Build", u"Zoom"}));
  f.Frame->SetSorted(false);
  EXPECT_FALSE(f.Frame->SortedBox->Checked());
  EXPECT_EQ(f.Captions(), (std::vector<String>{u"Zoom", u"Apply", u"Build"}));
}

} // namespace
} // namespace krx
