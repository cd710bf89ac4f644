#include "Platform/Vcl/ComCtrls.h"

#include "Platform/Vcl/Forms.h"

#include <algorithm>

namespace krx {

// ---- Page controls -------------------------------------------------------------------------

TTabSheet::TTabSheet(TComponent *AOwner) : TWinControl(AOwner) {
  SetControlStyle(TControlStyle(ControlStyle()).Include(csAcceptsControls));
  SetAlign(alClient);
}

TTabSheet::~TTabSheet() { SetPageControl(nullptr); }

void TTabSheet::SetPageControl(TPageControl *Value) {
  if (Value == FPageControl)
    return;
  if (FPageControl)
    FPageControl->RemovePage(this);
  FPageControl = Value;
  if (Value) {
    SetParent(Value);
    Value->AddPage(this);
  }
}

Integer TTabSheet::PageIndex() const {
  if (!FPageControl)
    return -1;
  const auto &pages = FPageControl->FPages;
  return static_cast<Integer>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

const TClassInfo &TPageControl::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TPageControl>(&TWinControl::StaticClassInfo()).Build();
  return info;
}

TPageControl::TPageControl(TComponent *AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 289, 193);
  SetTabStop(true);
}

void TPageControl::AddPage(TTabSheet *Page) {
  FPages.push_back(Page);
  Page->SetVisible(FActivePage == nullptr);
  if (!FActivePage)
    FActivePage = Page;
}

void TPageControl::RemovePage(TTabSheet *Page) {
  std::erase(FPages, Page);
  if (FActivePage == Page)
    FActivePage = FPages.empty() ? nullptr : FPages.front();
  if (FActivePage)
    FActivePage->Show();
}

void TPageControl::SetActivePage(TTabSheet *Value) {
  if (Value && Value->PageControl() != this)
    return;
  TCustomForm *form = GetParentForm(this);
  const bool changed = FActivePage != Value;
  // The focus leaves the page that goes before it is hidden, so that it leaves properly.
  const bool moveFocus = changed && form && FActivePage &&
                         FActivePage->ContainsControl(form->ActiveControl()) && CanFocus();
  if (moveFocus)
    form->SetActiveControl(this);
  for (TTabSheet *page : FPages)
    page->SetVisible(page == Value);
  FActivePage = Value;
  if (moveFocus && Value)
    if (TWinControl *first = Value->FindNextControl(nullptr, true, true, false))
      first->SetFocus();
  if (changed && OnChange)
    OnChange(this);
}

void TPageControl::SelectNextPage(bool GoForward) {
  if (FPages.empty())
    return;
  const auto count = static_cast<Integer>(FPages.size());
  const Integer at = FActivePage ? FActivePage->PageIndex() : (GoForward ? count - 1 : 0);
  SetActivePage(FPages[static_cast<std::size_t>((at + (GoForward ? 1 : count - 1)) % count)]);
}

void TPageControl::ClickTab(Integer Index) {
  DispatchInput(this, [&] {
    if (Index >= 0 && Index < PageCount() && Showing() && Enabled())
      SetActivePage(Pages(Index));
  });
}

bool TPageControl::DialogKey(Word Key, TShiftState Shift) {
  const TCustomForm *form = GetParentForm(this);
  if (Key == VK_TAB && ModifierKeys(Shift) - TShiftState{ssShift} == TShiftState{ssCtrl} && form &&
      ContainsControl(form->ActiveControl())) {
    SelectNextPage(!Shift.Contains(ssShift));
    return true;
  }
  return TWinControl::DialogKey(Key, Shift);
}

bool TPageControl::DialogChar(Char Key) {
  if (!CanFocus())
    return false;
  for (TTabSheet *page : FPages)
    if (IsAccel(Key, page->Caption())) {
      SetActivePage(page);
      return true;
    }
  return false;
}

void TPageControl::DefaultKeyDown(Word Key, TShiftState Shift) {
  if (!Shift.Empty() || !FActivePage)
    return;
  const Integer at = FActivePage->PageIndex();
  if ((Key == VK_LEFT || Key == VK_UP) && at > 0)
    SetActivePage(FPages[static_cast<std::size_t>(at - 1)]);
  else if ((Key == VK_RIGHT || Key == VK_DOWN) && at + 1 < PageCount())
    SetActivePage(FPages[static_cast<std::size_t>(at + 1)]);
}

bool TPageControl::WantsSpecialKey(Word Key, TShiftState) const {
  return Key >= VK_LEFT && Key <= VK_DOWN;
}

// ---- Columns and items ---------------------------------------------------------------------

void TListColumn::SetWidth(Integer Value) {
  FWidth = Value;
  FOwner->Invalidate();
}

Integer TListColumn::Index() const {
  const auto &items = FOwner->Columns().FItems;
  for (std::size_t i = 0; i < items.size(); ++i)
    if (items[i].get() == this)
      return static_cast<Integer>(i);
  return -1;
}

TListColumn *TListColumns::Add() {
  FItems.push_back(std::make_unique<TListColumn>(FOwner));
  FOwner->Invalidate();
  return FItems.back().get();
}

TListItem::TListItem(TListItems *Owner) : FOwner(Owner) {}

TCustomListView *TListItem::ListView() const { return FOwner->Owner(); }

Integer TListItem::Index() const { return FOwner->IndexOf(this); }

void TListItem::SetCaption(const String &Value) {
  FCaption = Value;
  ListView()->Invalidate();
}

void TListItem::SetImageIndex(Integer Value) {
  FImageIndex = Value;
  ListView()->Invalidate();
}

void TListItem::SetSelected(bool Value) {
  if (FSelected == Value)
    return;
  TCustomListView *view = ListView();
  if (Value && !view->MultiSelect())
    for (Integer i = 0; i < FOwner->Count(); ++i)
      if (TListItem *other = FOwner->Item(i); other != this && other->FSelected) {
        other->FSelected = false;
        view->ItemStateChanged(other);
      }
  FSelected = Value;
  view->ItemStateChanged(this);
}

bool TListItem::Focused() const { return ListView()->ItemFocused() == this; }

void TListItem::SetFocused(bool Value) {
  TCustomListView *view = ListView();
  if (Value)
    view->SetItemFocused(this);
  else if (view->ItemFocused() == this)
    view->SetItemFocused(nullptr);
}

bool TListItem::EditCaption() {
  TCustomListView *view = ListView();
  view->Perform(LVM_EDITLABELW, static_cast<WPARAM>(Index()), 0);
  return view->IsEditing();
}

void TListItem::Delete() { FOwner->Delete(Index()); }

TListItem *TListItems::Add() { return Insert(Count()); }

TListItem *TListItems::Insert(Integer Index) {
  if (Index < 0 || Index > Count())
    throw EListError(Format(u"List index out of bounds (%d)", {Index}));
  FItems.insert(FItems.begin() + Index, std::make_unique<TListItem>(this));
  FOwner->Invalidate();
  return FItems[static_cast<std::size_t>(Index)].get();
}

void TListItems::Delete(Integer Index) {
  TListItem *item = Item(Index);
  FOwner->ItemRemoved(item);
  FItems.erase(FItems.begin() + Index);
  FOwner->Invalidate();
}

void TListItems::Clear() {
  for (auto &item : FItems)
    FOwner->ItemRemoved(item.get());
  FItems.clear();
  FOwner->Invalidate();
}

TListItem *TListItems::Item(Integer Index) const {
  if (Index < 0 || Index >= Count())
    throw EListError(Format(u"List index out of bounds (%d)", {Index}));
  return FItems[static_cast<std::size_t>(Index)].get();
}

Integer TListItems::IndexOf(const TListItem *Value) const {
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].get() == Value)
      return static_cast<Integer>(i);
  return -1;
}

void TListItems::BeginUpdate() {
  if (FUpdateCount++ == 0)
    FOwner->Perform(WM_SETREDRAW, 0, 0);
}

void TListItems::EndUpdate() {
  if (FUpdateCount == 0)
    return;
  if (--FUpdateCount == 0) {
    FOwner->Perform(WM_SETREDRAW, 1, 0);
    FOwner->Invalidate();
  }
}

// ---- TCustomListView -----------------------------------------------------------------------

const TClassInfo &TCustomListView::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TCustomListView>(&TWinControl::StaticClassInfo())
          .Enum(u"ViewStyle", TViewStyleNames, &TCustomListView::ViewStyle,
                &TCustomListView::SetViewStyle)
          .Default(vsIcon)
          .Bool(u"ReadOnly", &TCustomListView::ReadOnly, &TCustomListView::SetReadOnly)
          .Default(0)
          .Bool(u"RowSelect", &TCustomListView::RowSelect, &TCustomListView::SetRowSelect)
          .Default(0)
          .Bool(u"MultiSelect", &TCustomListView::MultiSelect, &TCustomListView::SetMultiSelect)
          .Default(0)
          .Bool(u"HideSelection", &TCustomListView::HideSelection,
                &TCustomListView::SetHideSelection)
          .Default(1)
          .Bool(u"ColumnClick", &TCustomListView::ColumnClick, &TCustomListView::SetColumnClick)
          .Default(1)
          .Bool(u"ShowColumnHeaders", &TCustomListView::ShowColumnHeaders,
                &TCustomListView::SetShowColumnHeaders)
          .Default(1)
          .Enum(u"DragMode", TDragModeNames, &TCustomListView::DragMode,
                &TCustomListView::SetDragMode)
          .Build();
  return info;
}

TCustomListView::TCustomListView(TComponent *AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 250, 150);
  SetTabStop(true);
  SetParentColor(false);
  SetColor(clWindow);
}

TCustomListView::~TCustomListView() {
  if (FPostWindow)
    DestroyWindow(FPostWindow);
  SetSmallImages(nullptr);
}

void TCustomListView::SetSmallImages(TCustomImageList *Value) {
  if (FSmallImages == Value)
    return;
  if (FSmallImages)
    FSmallImages->RemoveFreeNotification(this);
  FSmallImages = Value;
  if (Value)
    Value->FreeNotification(this);
  Invalidate();
}

TListItem *TCustomListView::Selected() const {
  for (Integer i = 0; i < FItems.Count(); ++i)
    if (FItems.Item(i)->Selected())
      return FItems.Item(i);
  return nullptr;
}

void TCustomListView::SetSelected(TListItem *Value) {
  ClearSelection();
  if (Value)
    Value->SetSelected(true);
}

void TCustomListView::SetItemFocused(TListItem *Value) {
  if (FFocused == Value)
    return;
  TListItem *old = FFocused;
  FFocused = Value;
  if (old)
    ItemStateChanged(old);
  if (Value)
    ItemStateChanged(Value);
}

Integer TCustomListView::SelCount() const {
  Integer n = 0;
  for (Integer i = 0; i < FItems.Count(); ++i)
    n += FItems.Item(i)->Selected() ? 1 : 0;
  return n;
}

void TCustomListView::SelectAll() {
  for (Integer i = 0; i < FItems.Count(); ++i)
    FItems.Item(i)->SetSelected(true);
}

void TCustomListView::ClearSelection() {
  for (Integer i = 0; i < FItems.Count(); ++i)
    FItems.Item(i)->SetSelected(false);
}

void TCustomListView::AlphaSort() {
  std::stable_sort(
      FItems.FItems.begin(), FItems.FItems.end(),
      [this](const std::unique_ptr<TListItem> &a, const std::unique_ptr<TListItem> &b) {
        Integer c = 0;
        if (OnCompare)
          OnCompare(this, a.get(), b.get(), 0, c);
        else
          c = AnsiCompareText(a->Caption(), b->Caption());
        return c < 0;
      });
  Invalidate();
}

TCanvas &TCustomListView::Canvas() {
  if (!FCanvas)
    FCanvas = std::make_unique<TCanvas>();
  FCanvas->Font().Assign(Font());
  return *FCanvas;
}

Integer TCustomListView::HeaderHeight() const {
  if (FViewStyle != vsReport || !FShowColumnHeaders)
    return 0;
  TCanvas canvas;
  canvas.Font().Assign(Font());
  return canvas.TextHeight(u"Ag") + 4;
}

void TCustomListView::ItemStateChanged(TListItem *Item) {
  Invalidate();
  TLVNotify n;
  n.Code = TLVCode::ItemChanged;
  n.Item = Item->Index();
  if (!FItems.Updating())
    CNNotify(n);
}

void TCustomListView::ItemRemoved(TListItem *Item) {
  if (FFocused == Item)
    FFocused = nullptr;
  if (FEditItem == Item) {
    FEditItem = nullptr; // the editor goes with its item, without a notification
    FEditText.clear();
  }
}

void TCustomListView::CNNotify(TLVNotify &Notify) {
  switch (Notify.Code) {
  case TLVCode::ItemChanged:
    if (OnChange && Notify.Item >= 0)
      OnChange(this, FItems.Item(Notify.Item), ctState);
    break;
  case TLVCode::BeginLabelEdit:
    Notify.Result = Notify.Item >= 0 && CanEdit(FItems.Item(Notify.Item)) ? 0 : 1;
    break;
  case TLVCode::EndLabelEdit:
    if (Notify.Text && Notify.Item >= 0)
      Edit(FItems.Item(Notify.Item), *Notify.Text);
    break;
  case TLVCode::GetInfoTip:
    if (Notify.Item >= 0 && Notify.Text) {
      String tip = *Notify.Text;
      DoInfoTip(FItems.Item(Notify.Item), tip);
      Notify.Text = tip.substr(0, static_cast<std::size_t>(std::max(0, Notify.TextMax - 1)));
    }
    break;
  case TLVCode::HeaderEndTrack:
    break;
  }
}

bool TCustomListView::CanEdit(TListItem *Item) {
  bool allow = !FReadOnly;
  if (allow && OnEditing)
    OnEditing(this, Item, allow);
  return allow;
}

void TCustomListView::Edit(TListItem *Item, const String &Text) {
  String s = Text;
  if (OnEdited)
    OnEdited(this, Item, s);
  Item->SetCaption(s);
}

void TCustomListView::DoInfoTip(TListItem *Item, String &InfoTip) {
  if (OnInfoTip)
    OnInfoTip(this, Item, InfoTip);
}

void TCustomListView::DblClick() {
  if (OnDblClick)
    OnDblClick(this);
}

void TCustomListView::MouseDown(TShiftState) {}

bool TCustomListView::IsCustomDrawn(TCustomDrawTarget Target, TCustomDrawStage) const {
  return Target == dtItem && OnCustomDrawItem != nullptr;
}

bool TCustomListView::CustomDraw(TCanvas &, const TRect &, TCustomDrawStage) { return true; }

void TCustomListView::DestroyWnd() {
  for (Integer i = 0; i < FItems.Count(); ++i)
    FItems.Item(i)->FSelected = false;
  FFocused = nullptr;
  FEditItem = nullptr;
  FEditText.clear();
}

// The native list view: label editing, and the few messages the controls send it.
void TCustomListView::WndProc(TMessage &Message) {
  switch (Message.Msg) {
  case LVM_EDITLABELW: {
    const auto index = static_cast<Integer>(static_cast<std::intptr_t>(Message.WParam));
    if (index >= 0 && index < FItems.Count())
      BeginLabelEdit(FItems.Item(index));
    Message.Result = FEditItem ? 1 : 0;
    return;
  }
  case LVM_GETEDITCONTROL:
    Message.Result = FEditItem ? 1 : 0;
    return;
  case LVM_ENSUREVISIBLE:
  case LVM_SETSELECTEDCOLUMN:
  case LVM_SETEXTENDEDLISTVIEWSTYLE:
    Message.Result = 1;
    return;
  default:
    TWinControl::WndProc(Message);
  }
}

void TCustomListView::BeginLabelEdit(TListItem *Item) {
  if (FEditItem)
    EndLabelEdit(true);
  TLVNotify n;
  n.Code = TLVCode::BeginLabelEdit;
  n.Item = Item->Index();
  CNNotify(n);
  if (n.Result != 0)
    return;
  FEditItem = Item;
  FEditText = Item->Caption();
}

void TCustomListView::EndLabelEdit(bool Accept) {
  TListItem *item = FEditItem;
  if (!item)
    return;
  FEditItem = nullptr;
  TLVNotify n;
  n.Code = TLVCode::EndLabelEdit;
  n.Item = item->Index();
  if (Accept)
    n.Text = FEditText;
  FEditText.clear();
  CNNotify(n);
}

void TCustomListView::DefaultKeyDown(Word Key, TShiftState Shift) {
  if (FEditItem) {
    if (Key == VK_RETURN)
      EndLabelEdit(true);
    else if (Key == VK_ESCAPE)
      EndLabelEdit(false);
    else if (Key == VK_BACK && !FEditText.empty())
      FEditText.pop_back();
    return;
  }
  if (!Shift.Empty() || FItems.Count() == 0)
    return;
  const Integer current = FFocused ? FFocused->Index() : -1;
  Integer next = current;
  switch (Key) {
  case VK_DOWN:
    next = std::min(current + 1, FItems.Count() - 1);
    break;
  case VK_UP:
    next = std::max(current - 1, 0);
    break;
  case VK_HOME:
    next = 0;
    break;
  case VK_END:
    next = FItems.Count() - 1;
    break;
  default:
    // A letter moves to the next item whose caption starts with it.
    if (Key >= u'A' && Key <= u'Z') {
      for (Integer k = 1; k <= FItems.Count(); ++k) {
        const Integer i = (current + k) % FItems.Count();
        const String &caption = FItems.Item(i)->Caption();
        if (!caption.empty() && UpperCase(caption.substr(0, 1))[0] == Key) {
          next = i;
          break;
        }
      }
    }
  }
  if (next == current || next < 0)
    return;
  TListItem *item = FItems.Item(next);
  SetSelected(item);
  SetItemFocused(item);
}

void TCustomListView::DefaultChar(Char Key) {
  if (FEditItem && Key >= u' ')
    FEditText += Key;
}

bool TCustomListView::WantsSpecialKey(Word Key, TShiftState) const {
  return FEditItem != nullptr || (Key >= VK_LEFT && Key <= VK_DOWN);
}

void TCustomListView::ClickItem(Integer Index, TShiftState Shift) {
  DispatchInput(this, [&] {
    if (Index < 0 || Index >= FItems.Count())
      return;
    if (FEditItem)
      EndLabelEdit(true);
    if (CanFocus() && !Focused())
      SetFocus();
    MouseDown(Shift);
    TListItem *item = FItems.Item(Index);
    const bool wasCurrent = item->Selected() && FFocused == item;
    if (FMultiSelect && Shift.Contains(ssCtrl)) {
      item->SetSelected(!item->Selected());
    } else {
      SetSelected(item);
    }
    SetItemFocused(item);
    // A click on the current item starts the native label edit (no LVM_EDITLABELW).
    if (wasCurrent && !Shift.Contains(ssCtrl) && !Shift.Contains(ssShift) && !FReadOnly)
      BeginLabelEdit(item);
    Click();
  });
}

void TCustomListView::DblClickItem(Integer Index) {
  ClickItem(Index);
  DispatchInput(this, [&] {
    if (FEditItem)
      EndLabelEdit(false); // a double click does not edit
    DblClick();
  });
}

void TCustomListView::Paint(TCanvas &Canvas) {
  Canvas.Font().Assign(Font());
  const TRect client = ClientRect();
  if (IsCustomDrawn(dtControl, cdPrePaint) && !CustomDraw(Canvas, client, cdPrePaint))
    return;
  Integer y = HeaderHeight();
  if (y > 0) {
    Integer x = 0;
    for (Integer c = 0; c < FColumns.Count(); ++c) {
      Canvas.TextOut(x + 2, 0, FColumns[c]->Caption());
      x += FColumns[c]->Width();
    }
  }
  const Integer h = Canvas.TextHeight(u"Ag") + 2;
  for (Integer i = 0; i < FItems.Count(); ++i, y += h) {
    TListItem *item = FItems.Item(i);
    // The handler draws through the list's own canvas; its brush colours the row.
    bool defaultDraw = true;
    this->Canvas().Brush().Color = Color();
    if (OnCustomDrawItem)
      OnCustomDrawItem(this, item, defaultDraw);
    if (!defaultDraw)
      continue;
    Canvas.Brush().Color = this->Canvas().Brush().Color;
    if (item->Selected() && (!FHideSelection || Focused()))
      Canvas.Brush().Color = clHighlight;
    Canvas.FillRect(Rect(0, y, Width(), y + h));
    Integer x = 2 + item->Indent() * 16;
    if (FSmallImages && item->ImageIndex() >= 0) {
      FSmallImages->Draw(Canvas, x, y, item->ImageIndex(), true);
      x += FSmallImages->Width() + 2;
    }
    Canvas.TextOut(x, y, item == FEditItem ? FEditText : item->Caption());
    Integer colX = FColumns.Count() > 0 ? FColumns[0]->Width() : 0;
    for (Integer s = 0; s < item->SubItems().Count() && s + 1 < FColumns.Count(); ++s) {
      Canvas.TextOut(colX + 2, y, item->SubItems()[s]);
      colX += FColumns[s + 1]->Width();
    }
  }
}

void TCustomListView::PostToSelf(UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (!FPostWindow)
    FPostWindow = AllocateHWnd([this](TMessage &m) { WndProc(m); });
  PostMessageW(FPostWindow, Msg, WParam, LParam);
}

TShiftState ModifierKeys(TShiftState Shift) { return Shift * TShiftState{ssShift, ssCtrl, ssAlt}; }

// ---- THotKey -------------------------------------------------------------------------------

THotKey::THotKey(TComponent *AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 121, 19);
  SetTabStop(true);
  SetParentColor(false);
  SetColor(clWindow);
}

void THotKey::SetHotKey(TShortCut Value) {
  FHotKey = Value;
  Invalidate();
}

void THotKey::Change() {
  if (OnChange)
    OnChange(this);
}

void THotKey::KeyDown(Word &Key, TShiftState Shift) { TWinControl::KeyDown(Key, Shift); }

bool THotKey::WantsSpecialKey(Word Key, TShiftState Shift) const {
  const bool modified = !ModifierKeys(Shift).Empty();
  if (Key == VK_TAB || Key == VK_RETURN || Key == VK_ESCAPE)
    return modified; // plain Tab, Enter and Escape stay with the dialog
  return true;
}

// Every key it takes as a shortcut comes to it before the menus' and actions' shortcuts.
bool THotKey::WantsKeyFirst(Word Key, TShiftState Shift) const {
  return WantsSpecialKey(Key, Shift);
}

void THotKey::DefaultKeyDown(Word Key, TShiftState Shift) {
  if (Key == VK_SHIFT || Key == VK_CONTROL || Key == VK_MENU || Key == 0)
    return;
  const bool modified = !ModifierKeys(Shift).Empty();
  if ((Key == VK_BACK || Key == VK_DELETE) && !modified) {
    SetHotKey(0);
    Change();
    return;
  }
  TShiftState shift = ModifierKeys(Shift);
  if (!modified && FInvalidKeys.Contains(hcNone)) {
    if (FModifiers.Contains(hkShift))
      shift.Include(ssShift);
    if (FModifiers.Contains(hkCtrl))
      shift.Include(ssCtrl);
    if (FModifiers.Contains(hkAlt))
      shift.Include(ssAlt);
  }
  SetHotKey(ShortCut(Key, shift));
  Change();
}

void THotKey::Paint(TCanvas &Canvas) {
  Canvas.Font().Assign(Font());
  Canvas.Brush().Color = Color();
  Canvas.FillRect(ClientRect());
  Canvas.TextOut(2, 2, FHotKey ? ShortCutToText(FHotKey) : String(u"None"));
}

} // namespace krx
