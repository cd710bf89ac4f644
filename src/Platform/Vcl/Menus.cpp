#include "Platform/Vcl/Menus.h"

#include <algorithm>

namespace krx {

// ---- Shortcuts ------------------------------------------------------------------------------

TShortCut ShortCut(Word Key, TShiftState Shift) {
  if ((Key & 0xFF00) != 0)
    return scNone;
  TShortCut sc = Key;
  if (Shift.Contains(ssShift))
    sc |= scShift;
  if (Shift.Contains(ssCtrl))
    sc |= scCtrl;
  if (Shift.Contains(ssAlt))
    sc |= scAlt;
  return sc;
}

void ShortCutToKey(TShortCut ShortCut, Word &Key, TShiftState &Shift) {
  Key = ShortCut & ~(scShift | scCtrl | scAlt);
  Shift = {};
  if (ShortCut & scShift)
    Shift.Include(ssShift);
  if (ShortCut & scCtrl)
    Shift.Include(ssCtrl);
  if (ShortCut & scAlt)
    Shift.Include(ssAlt);
}

namespace {

constexpr const Char *kMenuKeyCaps[] = {u"BkSp", u"Tab",  u"Esc",  u"Enter", u"Space",
                                        u"PgUp", u"PgDn", u"End",  u"Home",  u"Left",
                                        u"Up",   u"Right", u"Down", u"Ins",   u"Del"};
enum { mkcBkSp, mkcTab, mkcEsc, mkcEnter, mkcSpace, mkcPgUp, mkcPgDn, mkcEnd, mkcHome, mkcLeft,
       mkcUp, mkcRight, mkcDown, mkcIns, mkcDel };
constexpr StringView kShiftCap = u"Shift+";
constexpr StringView kCtrlCap = u"Ctrl+";
constexpr StringView kAltCap = u"Alt+";

// Keys outside the table above carry the names Windows gives them on a US keyboard, which
// is what the IDE writes for them: the keypad's own keys their "Num" names, the punctuation
// (OEM) keys the character they type, the lock, pause, print and application keys the names
// of the keys themselves. Each name belongs to one key only, so every text reads back as the
// key it was written for.
struct TSpecialKey {
  Byte Key;
  const Char *Name;
};
constexpr TSpecialKey kSpecialKeys[] = {
    {0x0C, u"Num 5"}, // the keypad's 5 with Num Lock off
    {0x13, u"Pause"},     {0x14, u"Caps Lock"},   {0x2C, u"Prnt Scrn"}, {0x5D, u"Application"},
    {0x90, u"Num Lock"},  {0x91, u"Scroll Lock"}, {0x6A, u"Num *"},     {0x6B, u"Num +"},
    {0x6D, u"Num -"},     {0x6E, u"Num Del"},     {0x6F, u"Num /"},     {0xBA, u";"},
    {0xBB, u"="},         {0xBC, u","},           {0xBD, u"-"},         {0xBE, u"."},
    {0xBF, u"/"},         {0xC0, u"`"},           {0xDB, u"["},         {0xDC, u"\\"},
    {0xDD, u"]"},         {0xDE, u"'"},
};

String SpecialKeyName(Byte key) {
  for (const TSpecialKey &special : kSpecialKeys)
    if (special.Key == key)
      return special.Name;
  return {};
}

String KeyName(Byte key) {
  if (key == 0x08 || key == 0x09)
    return kMenuKeyCaps[mkcBkSp + key - 0x08];
  if (key == 0x0D)
    return kMenuKeyCaps[mkcEnter];
  if (key == 0x1B)
    return kMenuKeyCaps[mkcEsc];
  if (key >= 0x20 && key <= 0x28)
    return kMenuKeyCaps[mkcSpace + key - 0x20];
  if (key >= 0x2D && key <= 0x2E)
    return kMenuKeyCaps[mkcIns + key - 0x2D];
  if (key >= 0x30 && key <= 0x39)
    return String(1, static_cast<Char>(u'0' + key - 0x30));
  if (key >= 0x41 && key <= 0x5A)
    return String(1, static_cast<Char>(u'A' + key - 0x41));
  if (key >= 0x60 && key <= 0x69)
    return String(1, static_cast<Char>(u'0' + key - 0x60));
  if (key >= 0x70 && key <= 0x87)
    return u"F" + IntToStr(key - 0x6F);
  return SpecialKeyName(key);
}

bool CompareFront(StringView &text, StringView front) {
  if (text.size() < front.size() || !AnsiSameText(text.substr(0, front.size()), front))
    return false;
  text.remove_prefix(front.size());
  return true;
}

} // namespace

String ShortCutToText(TShortCut ShortCut) {
  const String name = KeyName(static_cast<Byte>(ShortCut & 0xFF));
  if (name.empty())
    return {};
  String result;
  if (ShortCut & scShift)
    result += kShiftCap;
  if (ShortCut & scCtrl)
    result += kCtrlCap;
  if (ShortCut & scAlt)
    result += kAltCap;
  return result + name;
}

TShortCut TextToShortCut(StringView Text) {
  TShortCut shift = 0;
  for (;;) {
    if (CompareFront(Text, kShiftCap))
      shift |= scShift;
    else if (CompareFront(Text, u"^"))
      shift |= scCtrl;
    else if (CompareFront(Text, kCtrlCap))
      shift |= scCtrl;
    else if (CompareFront(Text, kAltCap))
      shift |= scAlt;
    else
      break;
  }
  if (Text.empty())
    return 0;
  for (Word key = 0x08; key <= 0xFF; ++key)
    if (AnsiSameText(Text, KeyName(static_cast<Byte>(key))))
      return key | shift;
  return 0;
}

String StripHotkey(StringView Text) {
  String out;
  for (std::size_t i = 0; i < Text.size(); ++i) {
    if (Text[i] == u'&') {
      if (i + 1 < Text.size() && Text[i + 1] == u'&')
        out += u'&', ++i;
      continue;
    }
    out += Text[i];
  }
  return out;
}

Char GetHotkey(StringView Text) {
  Char key = 0;
  for (std::size_t i = 0; i + 1 < Text.size(); ++i)
    if (Text[i] == u'&') {
      if (Text[i + 1] != u'&')
        key = Text[i + 1]; // a later "&" wins, as the drawn underline does
      ++i;
    }
  return key;
}

// ---- TMenuItem ------------------------------------------------------------------------------

namespace {

class TMenuActionLink : public TActionLinkOf<TMenuItem> {
public:
  using TActionLinkOf::TActionLinkOf;
  void SetCaption(const String &V) override {
    Follow(&TMenuItem::Caption, &TCustomAction::Caption, &TMenuItem::SetCaption, V);
  }
  void SetChecked(bool V) override {
    Follow(&TMenuItem::Checked, &TCustomAction::Checked, &TMenuItem::SetChecked, V);
  }
  void SetEnabled(bool V) override {
    Follow(&TMenuItem::Enabled, &TCustomAction::Enabled, &TMenuItem::SetEnabled, V);
  }
  void SetVisible(bool V) override {
    Follow(&TMenuItem::Visible, &TCustomAction::Visible, &TMenuItem::SetVisible, V);
  }
  void SetHint(const String &V) override {
    Follow(&TMenuItem::Hint, &TCustomAction::Hint, &TMenuItem::SetHint, V);
  }
  void SetImageIndex(Integer V) override {
    Follow(&TMenuItem::ImageIndex, &TCustomAction::ImageIndex, &TMenuItem::SetImageIndex, V);
  }
  void SetShortCut(TShortCut V) override {
    Follow(&TMenuItem::ShortCut, &TCustomAction::ShortCut, &TMenuItem::SetShortCut, V);
  }
};

} // namespace

const TClassInfo &TMenuItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TMenuItem>(&TComponent::StaticClassInfo())
          .Str(u"Caption", &TMenuItem::Caption, &TMenuItem::SetCaption)
          .Bool(u"Checked", &TMenuItem::Checked, &TMenuItem::SetChecked)
          .Default(0)
          .Bool(u"Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled)
          .Default(1)
          .Integer(u"GroupIndex", &TMenuItem::GroupIndex, &TMenuItem::SetGroupIndex)
          .Default(0)
          .Str(u"Hint", &TMenuItem::Hint, &TMenuItem::SetHint)
          .Integer(u"ImageIndex", &TMenuItem::ImageIndex, &TMenuItem::SetImageIndex)
          .Default(-1)
          .Bool(u"RadioItem", &TMenuItem::RadioItem, &TMenuItem::SetRadioItem)
          .Default(0)
          .Integer(u"ShortCut", &TMenuItem::ShortCut, &TMenuItem::SetShortCut)
          .Default(0)
          .Bool(u"Visible", &TMenuItem::Visible, &TMenuItem::SetVisible)
          .Default(1)
          .Build();
  return info;
}

TMenuItem::TMenuItem(TComponent *AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
  FActionLink.reset();
  // Children first (an item frees its items, as a parent control frees its children).
  while (!FItems.empty()) {
    TMenuItem *child = FItems.back();
    FItems.pop_back();
    child->FParent = nullptr;
    delete child;
  }
  if (FParent)
    FParent->Remove(this);
}

void TMenuItem::SetCaption(const String &Value) { FCaption = Value; }
void TMenuItem::SetShortCut(TShortCut Value) { FShortCut = Value; }
void TMenuItem::SetChecked(bool Value) {
  FChecked = Value;
  // A checked radio item unchecks the others of its group.
  if (Value && FRadioItem && FParent)
    for (TMenuItem *sibling : FParent->FItems)
      if (sibling != this && sibling->FRadioItem && sibling->FGroupIndex == FGroupIndex)
        sibling->FChecked = false;
}
void TMenuItem::SetEnabled(bool Value) { FEnabled = Value; }
void TMenuItem::SetVisible(bool Value) { FVisible = Value; }
void TMenuItem::SetImageIndex(Integer Value) { FImageIndex = Value; }

TBasicAction *TMenuItem::Action() const { return FActionLink ? FActionLink->Action() : nullptr; }

void TMenuItem::SetAction(TBasicAction *Value) {
  if (!Value) {
    FActionLink.reset();
    return;
  }
  if (!FActionLink) {
    FActionLink = std::make_unique<TMenuActionLink>(this);
    FActionLink->OnChange = [this](TBasicAction *a) { ActionChange(a); };
  }
  FActionLink->SetAction(Value);
}

void TMenuItem::ActionChange(TBasicAction *Sender) {
  auto *a = dynamic_cast<TCustomAction *>(Sender);
  if (!a)
    return;
  // A hot key given to the item (the action's caption has none) stays.
  if (StripHotkey(FCaption) != a->Caption())
    FCaption = a->Caption();
  FChecked = a->Checked();
  FEnabled = a->Enabled();
  FVisible = a->Visible();
  FHint = a->Hint();
  FImageIndex = a->ImageIndex();
  FShortCut = a->ShortCut();
}

bool TMenuItem::IsAutoHotkeys() const {
  switch (FAutoHotkeys) {
  case maAutomatic:
    return true;
  case maManual:
    return false;
  case maParent:
    break;
  }
  if (FParent)
    return FParent->IsAutoHotkeys();
  return FMenu && FMenu->AutoHotkeys() != maManual;
}

namespace {

Char UpCase(Char c) { return c >= u'a' && c <= u'z' ? static_cast<Char>(c - 32) : c; }

// The hot key of a caption (the character after a single "&"), or 0.
Char HotkeyOf(const String &Caption) {
  for (std::size_t i = 0; i + 1 < Caption.size(); ++i)
    if (Caption[i] == u'&') {
      if (Caption[i + 1] != u'&')
        return UpCase(Caption[i + 1]);
      ++i;
    }
  return 0;
}

bool IsHotkeyChar(Char c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

} // namespace

bool TMenuItem::RethinkHotkeys() {
  bool changed = false;
  if (IsAutoHotkeys()) {
    String used;
    for (const TMenuItem *item : FItems)
      if (const Char key = HotkeyOf(item->FCaption))
        used += key;
    for (TMenuItem *item : FItems) {
      if (item->IsLine() || !item->FVisible || HotkeyOf(item->FCaption) != 0)
        continue;
      String &caption = item->FCaption;
      for (std::size_t i = 0; i < caption.size(); ++i) {
        // "&&" is a literal "&", not a place for a hot key.
        if (caption[i] == u'&') {
          ++i;
          continue;
        }
        if (IsHotkeyChar(caption[i]) && used.find(UpCase(caption[i])) == String::npos) {
          used += UpCase(caption[i]);
          caption.insert(i, 1, u'&');
          changed = true;
          break;
        }
      }
    }
  }
  for (TMenuItem *item : FItems)
    changed = item->RethinkHotkeys() || changed;
  return changed;
}

TMenuItem *TMenuItem::Items(Integer Index) const {
  if (Index < 0 || Index >= Count())
    throw EMenuError(Format(SListIndexError, {Index}));
  return FItems[static_cast<std::size_t>(Index)];
}

void TMenuItem::Add(TMenuItem *Item) { Insert(Count(), Item); }

void TMenuItem::Insert(Integer Index, TMenuItem *Item) {
  KR_ASSERT(Item != nullptr);
  if (Item->FParent)
    throw EMenuError(u"Menu inserted twice");
  if (Index < 0 || Index > Count())
    throw EMenuError(Format(SListIndexError, {Index}));
  FItems.insert(FItems.begin() + Index, Item);
  Item->FParent = this;
}

void TMenuItem::Remove(TMenuItem *Item) {
  auto it = std::find(FItems.begin(), FItems.end(), Item);
  if (it == FItems.end())
    throw EMenuError(u"Sub-menu is not in menu");
  FItems.erase(it);
  Item->FParent = nullptr;
}

void TMenuItem::Delete(Integer Index) {
  TMenuItem *item = Items(Index);
  Remove(item);
  delete item;
}

void TMenuItem::Clear() {
  while (!FItems.empty())
    Delete(Count() - 1);
}

Integer TMenuItem::IndexOf(const TMenuItem *Item) const {
  auto it = std::find(FItems.begin(), FItems.end(), Item);
  return it == FItems.end() ? -1 : static_cast<Integer>(it - FItems.begin());
}

Integer TMenuItem::MenuIndex() const { return FParent ? FParent->IndexOf(this) : -1; }

void TMenuItem::SetMenuIndex(Integer Value) {
  if (!FParent)
    return;
  TMenuItem *parent = FParent;
  parent->Remove(this);
  parent->Insert(std::clamp(Value, 0, parent->Count()), this);
}

TMenuItem *TMenuItem::Find(StringView ACaption) const {
  const String wanted = StripHotkey(ACaption);
  for (TMenuItem *item : FItems)
    if (AnsiSameText(StripHotkey(item->FCaption), wanted))
      return item;
  return nullptr;
}

TMenu *TMenuItem::GetParentMenu() const {
  const TMenuItem *item = this;
  while (item->FParent)
    item = item->FParent;
  return item->FMenu;
}

void TMenuItem::Click() {
  if (!FEnabled)
    return;
  if (OnClick)
    OnClick(this);
  else if (FActionLink)
    FActionLink->Execute();
}

void TMenuItem::Notification(TComponent *AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
}

// ---- TMenu ----------------------------------------------------------------------------------

const TClassInfo &TMenu::StaticClassInfo() {
  static const TClassInfo info = TClassInfoBuilder<TMenu>(&TComponent::StaticClassInfo()).Build();
  return info;
}

TMenu::TMenu(TComponent *AOwner) : TComponent(AOwner), FItems(std::make_unique<TMenuItem>(nullptr)) {
  FItems->FMenu = this;
}

TMenu::~TMenu() { FItems.reset(); }

void TMenu::SetImages(TCustomImageList *Value) {
  if (FImages)
    FImages->RemoveFreeNotification(this);
  FImages = Value;
  if (FImages)
    FImages->FreeNotification(this);
}

namespace {
TMenuItem *FindShortCut(TMenuItem *parent, TShortCut sc) {
  for (Integer i = 0; i < parent->Count(); ++i) {
    TMenuItem *item = parent->Items(i);
    if (item->ShortCut() == sc)
      return item;
    if (TMenuItem *found = FindShortCut(item, sc))
      return found;
  }
  return nullptr;
}
} // namespace

TMenuItem *TMenu::FindItem(TShortCut Value) const {
  return Value == scNone ? nullptr : FindShortCut(FItems.get(), Value);
}

bool TMenu::IsShortCut(TWMKey &Message) {
  TMenuItem *item = FindItem(ShortCut(Message.CharCode, Message.Shift));
  if (!item)
    return false;
  if (TBasicAction *a = item->Action())
    a->Update();
  for (TMenuItem *p = item; p && p != FItems.get(); p = p->Parent())
    if (!p->Enabled() || !p->Visible())
      return false;
  item->Click();
  return true;
}

void TMenu::Notification(TComponent *AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FImages)
    FImages = nullptr;
}

void TPopupMenu::Popup(Integer X, Integer Y) {
  FPopupPoint = {X, Y};
  if (OnPopup)
    OnPopup(this);
}

} // namespace krx
