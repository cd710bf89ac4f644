#include "Controls/KeyBindFrames.h"

#include "Controls/KRX.Base.Form.h"

namespace krx {

namespace {

// The vertical scroll bar's width, as the system metric gives it.
constexpr Integer kScrollBarWidth = 17;

} // namespace

TKRKeyBindingsFrame::TKRKeyBindingsFrame(TComponent *AOwner) : TBaseFrame(AOwner) {}

void TKRKeyBindingsFrame::Created() {
  TBaseFrame::Created();
  SetBounds(0, 0, 320, 240);

  SortedBox = MakeControl<TCheckBox>(this, this, u"SortedBox");
  SortedBox->SetCaption(u"&Sort on command name");
  SortedBox->SetAlign(alTop);
  SortedBox->OnClick = [this](TObject *) { SetSorted(SortedBox->Checked()); };

  BottomPanel = MakeControl<TPanel>(this, this, u"BottomPanel");
  BottomPanel->SetBevelOuter(bvNone);
  BottomPanel->SetHeight(48);
  BottomPanel->SetAlign(alBottom);

  ListView = MakeControl<TListViewEx>(this, this, u"ListView");
  ListView->SetAlign(alClient);
  ListView->SetTabOrder(SortedBox->TabOrder() + 1); // the keys go top to bottom, as shown
  ListView->SetViewStyle(vsReport);
  ListView->SetReadOnly(true);
  ListView->SetRowSelect(true);
  ListView->SetHideSelection(false);
  ListView->SetColumnClick(false);
  TListColumn *command = ListView->Columns().Add();
  command->SetCaption(u"Command");
  command->SetWidth(200);
  TListColumn *shortCut = ListView->Columns().Add();
  shortCut->SetCaption(u"Short cut");
  shortCut->SetWidth(100);
  ListView->OnCompare = [this](TObject *, TListItem *a, TListItem *b, Integer, Integer &c) {
    c = ListViewCompare(a, b);
  };
  ListView->OnChange = [this](TObject *, TListItem *item, TItemChange change) {
    if (change == ctState)
      ListViewChange(item);
  };
  ListView->OnKeyDown = [this](TObject *, Word &key, TShiftState shift) {
    ListViewKeyDown(key, shift);
  };
  ListView->OnCustomDrawItem = [this](TCustomListView *sender, TListItem *item, bool &) {
    if (IsDuplicate(item))
      sender->Canvas().Brush().Color = clRed;
  };

  HotKeyEdit = MakeControl<THotKeyEx>(this, BottomPanel, u"HotKeyEdit");
  HotKeyEdit->SetBounds(96, 4, 150, 21);
  HotKeyEdit->SetModifiers({});
  HotKeyEdit->SetInvalidKeys({hcNone});
  HotKeyEdit->SetHotKey(0);
  HotKeyEdit->OnChange = [this](TObject *) { HotKeyEditChange(); };

  EditLabel = MakeControl<TLabel>(this, BottomPanel, u"EditLabel");
  EditLabel->SetCaption(u"&Edit Short cut");
  EditLabel->SetBounds(4, 8, 80, 13);
  EditLabel->SetFocusControl(HotKeyEdit);

  DuplicatesLbl = MakeControl<TLabel>(this, BottomPanel, u"DuplicatesLbl");
  DuplicatesLbl->SetCaption(u"Duplicates");
  DuplicatesLbl->SetBounds(260, 8, 60, 13);
  DuplicatesLbl->SetEnabled(false);
  // Red and bold from the start, not only after a scale change.
  SetupDuplicatesLabel();
  OnResize = [this](TObject *) { FormResize(); };
  CreateImages();
}

void TKRKeyBindingsFrame::SetupDuplicatesLabel() { SetupLabelFont(DuplicatesLbl, clRed, {fsBold}); }

void TKRKeyBindingsFrame::LoadBindings(const std::vector<TMenuItem *> &MenuItems) {
  ListView->Items().BeginUpdate();
  ListView->Items().Clear();
  FDuplicates.clear();
  for (std::size_t i = 0; i < MenuItems.size(); ++i) {
    TListItem *item = ListView->Items().Add();
    item->SetCaption(StripHotkey(MenuItems[i]->Caption()));
    item->SubItems().Add(ShortCutToText(MenuItems[i]->ShortCut()));
    item->SetData(reinterpret_cast<void *>(static_cast<std::intptr_t>(i)));
  }
  ListView->Items().EndUpdate();
  if (ListView->Items().Count() > 0) {
    TListItem *first = ListView->Items()[0];
    first->SetFocused(true);
    first->SetSelected(true);
  }
  ListView->AlphaSort();
  MarkDuplicates();
}

void TKRKeyBindingsFrame::StoreBindings(const std::vector<TMenuItem *> &MenuItems) {
  KR_ASSERT(ListView->Items().Count() == static_cast<Integer>(MenuItems.size()));
  for (Integer i = 0; i < ListView->Items().Count(); ++i) {
    TListItem *item = ListView->Items()[i];
    const auto index = static_cast<std::intptr_t>(reinterpret_cast<std::intptr_t>(item->Data()));
    if (index >= 0 && index < static_cast<std::intptr_t>(MenuItems.size()))
      MenuItems[static_cast<std::size_t>(index)]->SetShortCut(
          item->SubItems().Count() > 0 ? TextToShortCut(item->SubItems()[0]) : 0);
  }
}

// The flag is stored before the box is checked, so the box's click finds nothing to do.
void TKRKeyBindingsFrame::SetSorted(bool Value) {
  if (Value == FSorted)
    return;
  FSorted = Value;
  SortedBox->SetChecked(Value);
  ListView->AlphaSort();
}

void TKRKeyBindingsFrame::MarkDuplicates() {
  DuplicatesLbl->SetEnabled(false);
  FDuplicates.clear();
  TListItems &items = ListView->Items();
  items.BeginUpdate();
  for (Integer i = 0; i < items.Count(); ++i)
    items[i]->SetImageIndex(-1);
  for (Integer i = 0; i < items.Count(); ++i) {
    const String a = items[i]->SubItems().Count() > 0 ? items[i]->SubItems()[0] : String();
    if (a.empty())
      continue;
    for (Integer j = i + 1; j < items.Count(); ++j) {
      const String b = items[j]->SubItems().Count() > 0 ? items[j]->SubItems()[0] : String();
      if (!AnsiSameText(a, b))
        continue;
      DuplicatesLbl->SetEnabled(true);
      for (TListItem *item : {items[i], items[j]}) {
        FDuplicates.insert(item);
        item->SetImageIndex(FWarningsIndex);
      }
    }
  }
  items.EndUpdate();
}

Integer TKRKeyBindingsFrame::ListViewCompare(TListItem *Item1, TListItem *Item2) const {
  if (FSorted)
    return AnsiCompareText(Item1->Caption(), Item2->Caption());
  const auto a = reinterpret_cast<std::intptr_t>(Item1->Data());
  const auto b = reinterpret_cast<std::intptr_t>(Item2->Data());
  return a < b ? -1 : a > b ? 1 : 0;
}

void TKRKeyBindingsFrame::ListViewChange(TListItem *Item) {
  if (Item && Item->SubItems().Count() > 0)
    HotKeyEdit->SetHotKey(TextToShortCut(Item->SubItems()[0]));
}

void TKRKeyBindingsFrame::HotKeyEditChange() {
  if (TListItem *item = ListView->ItemFocused()) {
    const String text = ShortCutToText(HotKeyEdit->HotKey());
    if (item->SubItems().Count() == 0)
      item->SubItems().Add(text);
    else
      item->SubItems().SetStrings(0, text);
  }
  MarkDuplicates();
}

// Keys typed into the list become the focused command's shortcut, except navigation keys, plain
// letters (which move to a command), and plain Tab, Enter and Escape (which stay with the dialog).
// A key taken as a shortcut is consumed.
void TKRKeyBindingsFrame::ListViewKeyDown(Word &Key, TShiftState Shift) {
  switch (Key) {
  case VK_PRIOR:
  case VK_NEXT:
  case VK_END:
  case VK_HOME:
  case VK_UP:
  case VK_DOWN:
  case VK_SHIFT:
  case VK_CONTROL:
  case VK_MENU:
    return;
  default:
    break;
  }
  const TShiftState mods = ModifierKeys(Shift);
  if (mods.Empty() && (Key == VK_TAB || Key == VK_RETURN || Key == VK_ESCAPE))
    return;
  if (mods.Empty() && Key >= u'A' && Key <= u'Z')
    return;
  HotKeyEdit->SetHotKey(ShortCut(Key, mods));
  HotKeyEditChange();
  Key = 0;
}

void TKRKeyBindingsFrame::FormResize() {
  const Integer w = ListView->ClientWidth() - ListView->Columns()[1]->Width() - kScrollBarWidth;
  if (w > 0)
    ListView->Columns()[0]->SetWidth(w);
}

} // namespace krx
