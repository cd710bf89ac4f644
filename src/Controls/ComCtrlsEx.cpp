#include "Controls/ComCtrlsEx.h"

#include "Controls/KRX.StyleSupport.h"
#include "Controls/ParentFontStyles.h"
#include "Platform/Vcl/FormDescription.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/TextDraw.h"

namespace krx {

// ---- TListViewEx ---------------------------------------------------------------------------

const TClassInfo &TListViewEx::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TListViewEx>(&TCustomListView::StaticClassInfo())
          .Bool(u"AutoUpdateColumns", &TListViewEx::AutoUpdateColumns,
                &TListViewEx::SetAutoUpdateColumns)
          .Default(0)
          .Bool(u"ControlEditState", &TListViewEx::ControlEditState,
                &TListViewEx::SetControlEditState)
          .Default(1)
          .Str(u"EmptyListText", &TListViewEx::EmptyListText, &TListViewEx::SetEmptyListText)
          .Integer(u"SelectedColumn", &TListViewEx::SelectedColumn, &TListViewEx::SetSelectedColumn)
          .Default(-1)
          .Bool(u"ShowDragImages", &TListViewEx::ShowDragImages, &TListViewEx::SetShowDragImages)
          .Default(1)
          .Build();
  return info;
}

TListViewEx::TListViewEx(TComponent *AOwner) : TListView(AOwner) {
  if (!ComponentState().Contains(csDesigning)) {
    FStyleSubscription = TKRXStyle::Subscribe([this] { ApplyStyle(); });
    ApplyStyle();
  }
}

TListViewEx::~TListViewEx() { FStyleSubscription = nullptr; }

void TListViewEx::ApplyStyle() {
  SetColor(TKRXStyle::GetStyleColor(scListView));
  SetHideSelection(TKRXStyle::IsStyled());
}

void TListViewEx::SetEmptyListText(const String &Value) {
  FEmptyListText = Value;
  Invalidate();
}

void TListViewEx::SelectAll() {
  Items().BeginUpdate();
  for (Integer i = 0; i < Items().Count(); ++i)
    Items()[i]->SetSelected(true);
  Items().EndUpdate();
}

void TListViewEx::UpdateColumns(bool Post) {
  if (Post)
    PostToSelf(WM_LVUPDATECOLUMNS);
  else
    Perform(WM_LVUPDATECOLUMNS, 0, 0);
}

void TListViewEx::SetSelectedColumn(Integer Value) {
  if (Value == FSelectedColumn)
    return;
  FSelectedColumn = Value;
  if (HandleAllocated()) {
    Perform(LVM_SETSELECTEDCOLUMN, static_cast<WPARAM>(Value), 0);
    Invalidate();
  }
}

void TListViewEx::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  if (ALeft == Left() && ATop == Top() && AWidth == Width() && AHeight == Height())
    return;
  TListView::SetBounds(ALeft, ATop, AWidth, AHeight);
  if (EmptyTextShowing())
    Invalidate();
}

void TListViewEx::Resize() {
  TListView::Resize();
  if (FAutoUpdateColumns)
    UpdateColumns(true);
}

void TListViewEx::CreateWnd() {
  TListView::CreateWnd();
  RestoreSelection();
  if (FSelectedColumn >= 0)
    Perform(LVM_SETSELECTEDCOLUMN, static_cast<WPARAM>(FSelectedColumn), 0);
  PostToSelf(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_DOUBLEBUFFER, LVS_EX_DOUBLEBUFFER);
  if (OnCreateWnd)
    OnCreateWnd(this);
}

void TListViewEx::DestroyWnd() {
  if (OnDestroyWnd)
    OnDestroyWnd(this);
  SaveSelection();
  TListView::DestroyWnd();
}

void TListViewEx::ParentFontChanged() {
  TListView::ParentFontChanged();
  StyleParentFont(this, sfListItemTextNormal);
}

// One byte per item, in item order: 1 when selected.
void TListViewEx::SaveSelection() {
  if (FSavedSelection)
    FSavedSelection->SetSize(0);
  else
    FSavedSelection = std::make_unique<TMemoryStream>();
  for (Integer i = 0; i < Items().Count(); ++i) {
    const Byte b = Items()[i]->Selected() ? 1 : 0;
    FSavedSelection->WriteBuffer(&b, 1);
  }
  FSavedSelection->SetPosition(0);
  FSavedFocused = ItemFocused() ? ItemFocused()->Index() : -1;
}

void TListViewEx::RestoreSelection() {
  if (!FSavedSelection)
    return;
  if (FSavedSelection->Size() == Items().Count())
    for (Integer i = 0; i < Items().Count(); ++i) {
      Byte b = 0;
      FSavedSelection->ReadBuffer(&b, 1);
      Items()[i]->SetSelected(b != 0);
    }
  FSavedSelection.reset();
  if (FSavedFocused >= 0 && FSavedFocused < Items().Count()) {
    Items()[FSavedFocused]->SetFocused(true);
    Perform(LVM_ENSUREVISIBLE, static_cast<WPARAM>(FSavedFocused), 0);
  }
  FSavedFocused = -1;
}

void TListViewEx::DblClick() {
  TListView::DblClick();
  PostToSelf(WM_LVDBLCLICKED);
}

bool TListViewEx::WantsKeyFirst(Word Key, TShiftState Shift) const {
  if (Key == VK_ESCAPE)
    return true;
  if (!IsEditing())
    return false;
  if (Key == VK_BACK || Key == VK_RETURN || Key == VK_INSERT || Key == VK_DELETE)
    return true;
  return Shift == TShiftState{ssCtrl} && (Key == u'C' || Key == u'V' || Key == u'X');
}

// The edit state: focus arriving (1), the click that brought it (2), anything else (0).
void TListViewEx::DoEnter() {
  FEditState = 1;
  TListView::DoEnter();
}

void TListViewEx::DoExit() {
  FEditState = 0;
  TListView::DoExit();
  if (OnKillFocus)
    OnKillFocus(this);
}

void TListViewEx::KeyDown(Word &Key, TShiftState Shift) {
  FEditState = 0;
  TListView::KeyDown(Key, Shift);
}

void TListViewEx::MouseDown(TShiftState Shift) {
  FEditState = FEditState == 1 ? 2 : 0;
  TListView::MouseDown(Shift);
}

bool TListViewEx::CanEdit(TListItem *Item) {
  if (FControlEditState && FEditState == 2) {
    FEditState = 0;
    return false;
  }
  return TListView::CanEdit(Item);
}

void TListViewEx::WndProc(TMessage &Message) {
  switch (Message.Msg) {
  case LVM_EDITLABELW:
    if (static_cast<std::intptr_t>(Message.WParam) != -1)
      FEditState = 0; // an edit asked for by code is allowed
    TListView::WndProc(Message);
    return;
  case WM_LVDBLCLICKED:
    if (OnDblClicked)
      OnDblClicked(this);
    return;
  case WM_LVSTARTEDIT:
    if (OnStartLabelEdit)
      OnStartLabelEdit(this);
    // The editor gets the text for the item whose edit began (not whichever is focused).
    if (OnChangeEditText && FStartedEdit && IsEditing()) {
      String text = FStartedEdit->Caption();
      OnChangeEditText(this, FStartedEdit, text);
      SetEditText(text);
    }
    return;
  case WM_LVUPDATECOLUMNS: {
    const Integer n = Columns().Count();
    if (n == 0)
      return;
    Integer w = ClientWidth();
    for (Integer i = 0; i + 1 < n; ++i)
      w -= Columns()[i]->Width();
    if (w >= 0)
      Columns()[n - 1]->SetWidth(w);
    return;
  }
  case WM_HSCROLL:
  case WM_VSCROLL: {
    TListView::WndProc(Message);
    const TScrollEvent &event = Message.Msg == WM_HSCROLL ? OnHScroll : OnVScroll;
    if (event) {
      TWMScroll scroll{Message.Msg, static_cast<Word>(Message.WParam & 0xFFFF),
                       static_cast<Word>((Message.WParam >> 16) & 0xFFFF),
                       reinterpret_cast<HWND>(Message.LParam), Message.Result};
      event(this, scroll);
    }
    return;
  }
  case WM_SETREDRAW:
    TListView::WndProc(Message);
    if (FAutoUpdateColumns && Message.WParam == 1)
      UpdateColumns(true);
    return;
  case CM_HINTSHOW:
    if (OnShowHint) {
      auto *info = reinterpret_cast<THintInfo *>(Message.LParam);
      bool canShow = true;
      OnShowHint(info->HintStr, canShow, *info);
      Message.Result = canShow ? 0 : 1;
      return;
    }
    TListView::WndProc(Message);
    return;
  default:
    TListView::WndProc(Message);
  }
}

void TListViewEx::CNNotify(TLVNotify &Notify) {
  switch (Notify.Code) {
  case TLVCode::BeginLabelEdit:
    FStartedEdit = Notify.Item >= 0 ? Items()[Notify.Item] : nullptr;
    PostToSelf(WM_LVSTARTEDIT);
    TListView::CNNotify(Notify);
    return;
  case TLVCode::EndLabelEdit:
    FStartedEdit = nullptr;
    // An edit without text (cancelled) or without an item is cancelled; any text, also an empty
    // one, is applied.
    if (Notify.Text && Notify.Item != -1) {
      TListView::CNNotify(Notify);
      return;
    }
    if (OnCancelEdit)
      OnCancelEdit(this);
    Notify.Result = 1;
    return;
  case TLVCode::GetInfoTip:
    if (!ShowHint() && OnInfoTip && Notify.Item >= 0) {
      TListItem *item = Items()[Notify.Item];
      String text = Notify.Flags != 0 ? item->Caption() : Notify.Text.value_or(String());
      DoInfoTip(item, text);
      Notify.Text = text.substr(0, static_cast<std::size_t>(std::max(0, Notify.TextMax - 1)));
      Notify.Result = 1;
      return;
    }
    TListView::CNNotify(Notify);
    return;
  case TLVCode::HeaderEndTrack:
    TListView::CNNotify(Notify);
    if (OwnerDraw())
      Invalidate();
    return;
  default:
    TListView::CNNotify(Notify);
  }
}

bool TListViewEx::EmptyTextShowing() const {
  return !FEmptyListText.empty() && Items().Count() == 0;
}

bool TListViewEx::IsCustomDrawn(TCustomDrawTarget Target, TCustomDrawStage Stage) const {
  return TListView::IsCustomDrawn(Target, Stage) || (Stage == cdPrePaint && EmptyTextShowing());
}

// The empty-list text: grey, centred, word-wrapped, below the header (and half a line lower when
// the list has room for it).
bool TListViewEx::CustomDraw(TCanvas &Canvas, const TRect &ARect, TCustomDrawStage Stage) {
  const bool draw = TListView::CustomDraw(Canvas, ARect, Stage);
  if (!draw || Stage != cdPrePaint || !EmptyTextShowing())
    return draw;
  TRect r = ARect;
  r.Top += HeaderHeight();
  const Integer h = Canvas.TextHeight(FEmptyListText);
  if ((3 * h) / 2 < r.Height())
    r.Top += h / 2;
  Canvas.Font().SetColor(clGrayText);
  DrawTextW(Canvas, FEmptyListText, r, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
  return draw;
}

// ---- THotKeyEx -----------------------------------------------------------------------------

THotKeyEx::THotKeyEx(TComponent *AOwner) : THotKey(AOwner) {
  if (!ComponentState().Contains(csDesigning)) {
    FStyleSubscription =
        TKRXStyle::Subscribe([this] { SetColor(TKRXStyle::GetStyleColor(scEdit)); });
    SetColor(TKRXStyle::GetStyleColor(scEdit));
  }
}

THotKeyEx::~THotKeyEx() { FStyleSubscription = nullptr; }

// Delete with Shift, Ctrl or Alt becomes the hot key; everything else is the edit's own.
void THotKeyEx::KeyDown(Word &Key, TShiftState Shift) {
  const TShiftState mods = ModifierKeys(Shift);
  if (Key == VK_DELETE && !mods.Empty()) {
    SetHotKey(ShortCut(VK_DELETE, mods));
    Key = 0;
    Change();
    return;
  }
  THotKey::KeyDown(Key, Shift);
}

void THotKeyEx::ParentFontChanged() {
  THotKey::ParentFontChanged();
  StyleParentFont(this, sfEditBoxTextNormal);
}

void ComCtrlsExInitialization() {
  RegisterComponentClass<TListViewEx>(u"TListViewEx");
  RegisterComponentClass<THotKeyEx>(u"THotKeyEx");
}

void ComCtrlsExFinalization() {
  UnregisterComponentClass(u"TListViewEx");
  UnregisterComponentClass(u"THotKeyEx");
}

} // namespace krx
