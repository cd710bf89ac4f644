// Menus of the headless class library: menu items in a tree, main and popup menus, and
// shortcuts (a key code with Shift, Ctrl and Alt bits) with their texts ("Ctrl+Shift+M")
// in the class library's key names, both ways.
#pragma once

#include "Platform/Vcl/ActnList.h"
#include "Platform/Vcl/Controls.h"
#include "Platform/Vcl/ImgList.h"

#include <memory>
#include <vector>

namespace krx {

KRX_DECLARE_EXCEPTION(EMenuError, Exception);

inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;
inline constexpr TShortCut scNone = 0;

TShortCut ShortCut(Word Key, TShiftState Shift);
void ShortCutToKey(TShortCut ShortCut, Word &Key, TShiftState &Shift);
// "Shift+", "Ctrl+", "Alt+" (in that order) and the key's name; "" for a key without a
// name in the table (BkSp, Tab, Enter, Esc, Space, PgUp, PgDn, End, Home, Left, Up, Right,
// Down, Ins, Del, 0-9, A-Z, the keypad digits as 0-9, F1-F24, the keypad's other keys as
// "Num *", "Num +", "Num -", "Num Del", "Num /", "Num 5", the punctuation keys of a US
// keyboard by their character: ; = , - . / ` [ \ ] ', and "Pause", "Caps Lock", "Prnt Scrn",
// "Application", "Num Lock", "Scroll Lock").
String ShortCutToText(TShortCut ShortCut);
// The reverse: prefixes "Shift+", "Ctrl+", "^" and "Alt+" in any order (case ignored), then
// a key name; the first key of the table with that name. 0 for a text that names no key.
TShortCut TextToShortCut(StringView Text);

class TMenu;

// Who gives the children of a menu item their "&" hot keys: the class library (maAutomatic),
// the program (maManual), or whoever does it for the item's parent (maParent).
enum TMenuAutoFlag : std::uint8_t { maAutomatic, maManual, maParent };

class TMenuItem : public TComponent {
  KRX_PUBLISHED(TMenuItem)
public:
  explicit TMenuItem(TComponent *AOwner);
  ~TMenuItem() override;

  const String &Caption() const { return FCaption; }
  void SetCaption(const String &Value);
  TShortCut ShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut Value);
  bool Checked() const { return FChecked; }
  void SetChecked(bool Value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  Integer ImageIndex() const { return FImageIndex; }
  void SetImageIndex(Integer Value);
  const String &Hint() const { return FHint; }
  void SetHint(const String &Value) { FHint = Value; }
  Byte GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(Byte Value) { FGroupIndex = Value; }
  bool RadioItem() const { return FRadioItem; }
  void SetRadioItem(bool Value) { FRadioItem = Value; }
  // A separator: the caption "-".
  bool IsLine() const { return FCaption == u"-"; }

  TBasicAction *Action() const;
  void SetAction(TBasicAction *Value);

  // Children. A parent frees its items when it is freed; an item freed alone leaves its
  // parent.
  Integer Count() const { return static_cast<Integer>(FItems.size()); }
  TMenuItem *Items(Integer Index) const;
  TMenuItem *Parent() const { return FParent; }
  void Add(TMenuItem *Item);
  void Insert(Integer Index, TMenuItem *Item);
  // Takes the item out of this one without freeing it.
  void Remove(TMenuItem *Item);
  // Removes and frees the item at Index.
  void Delete(Integer Index);
  void Clear();
  Integer IndexOf(const TMenuItem *Item) const;
  Integer MenuIndex() const;
  void SetMenuIndex(Integer Value);
  // The child whose caption (without "&") matches, case ignored; null when none.
  TMenuItem *Find(StringView ACaption) const;
  // The menu the item belongs to, through its parents.
  TMenu *GetParentMenu() const;

  // Runs OnClick when set, else the action's Execute.
  virtual void Click();

  TMenuAutoFlag AutoHotkeys() const { return FAutoHotkeys; }
  void SetAutoHotkeys(TMenuAutoFlag Value) { FAutoHotkeys = Value; }
  // Whether the children's hot keys are chosen automatically (maParent asks the parent, the
  // root item its menu; an item in no menu: no).
  bool IsAutoHotkeys() const;
  // Where the children are chosen automatically, gives each visible child without a hot key
  // the first letter or digit of its caption that no sibling uses; then the same below.
  // True when a caption changed.
  bool RethinkHotkeys();

  TNotifyEvent OnClick;

protected:
  void ActionChange(TBasicAction *Sender);
  void Notification(TComponent *AComponent, TOperation Operation) override;

private:
  friend class TMenu;
  String FCaption;
  TShortCut FShortCut = 0;
  bool FChecked = false;
  bool FEnabled = true;
  bool FVisible = true;
  Integer FImageIndex = -1;
  String FHint;
  Byte FGroupIndex = 0;
  bool FRadioItem = false;
  TMenuItem *FParent = nullptr;
  TMenu *FMenu = nullptr; // set on the root item
  TMenuAutoFlag FAutoHotkeys = maParent;
  std::vector<TMenuItem *> FItems;
  std::unique_ptr<TBasicActionLink> FActionLink;
};

class TMenu : public TComponent {
  KRX_PUBLISHED(TMenu)
public:
  explicit TMenu(TComponent *AOwner);
  ~TMenu() override;

  // The root item: its children are the menu's entries.
  TMenuItem *Items() const { return FItems.get(); }
  TCustomImageList *Images() const { return FImages; }
  void SetImages(TCustomImageList *Value);
  // Hot keys of the top-level entries; maParent counts as maAutomatic.
  TMenuAutoFlag AutoHotkeys() const { return FAutoHotkeys; }
  void SetAutoHotkeys(TMenuAutoFlag Value) { FAutoHotkeys = Value; }
  bool RethinkHotkeys() { return FItems->RethinkHotkeys(); }

  // A synthetic handle, made when the form that shows the menu gets its window.
  HWND WindowHandle() const { return FWindowHandle; }
  void SetWindowHandle(HWND Value) { FWindowHandle = Value; }

  // The enabled, visible item (at any depth under enabled, visible parents) whose shortcut
  // matches is clicked; True when one was found.
  virtual bool IsShortCut(TWMKey &Message);
  // The item of a shortcut, or null.
  TMenuItem *FindItem(TShortCut Value) const;

protected:
  void Notification(TComponent *AComponent, TOperation Operation) override;

private:
  std::unique_ptr<TMenuItem> FItems;
  TCustomImageList *FImages = nullptr;
  HWND FWindowHandle = nullptr;
  TMenuAutoFlag FAutoHotkeys = maAutomatic;
};

class TMainMenu : public TMenu {
public:
  using TMenu::TMenu;
};

class TPopupMenu : public TMenu {
public:
  explicit TPopupMenu(TComponent *AOwner) : TMenu(AOwner) {}

  // Records where the menu was shown (no menu appears) and runs OnPopup.
  virtual void Popup(Integer X, Integer Y);
  TComponent *PopupComponent() const { return FPopupComponent; }
  void SetPopupComponent(TComponent *Value) { FPopupComponent = Value; }
  bool AutoPopup() const { return FAutoPopup; }
  void SetAutoPopup(bool Value) { FAutoPopup = Value; }
  TPoint PopupPoint() const { return FPopupPoint; }

  TNotifyEvent OnPopup;

private:
  TComponent *FPopupComponent = nullptr;
  bool FAutoPopup = true;
  TPoint FPopupPoint{-1, -1};
};

// The caption without "&" markers ("&&" stands for one "&").
String StripHotkey(StringView Text);
// The access key of a caption: the character after its last single "&", 0 when it has none.
Char GetHotkey(StringView Text);

} // namespace krx
