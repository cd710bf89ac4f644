// Common controls of the headless class library: page controls with tab sheets, the list view with
// a small native model (items, columns, selection, focus, in-place label editing and its
// notifications) and the hot-key edit.
//
// The list view's native side speaks in messages and notifications as the platform's list view
// does: LVM_EDITLABELW starts a label edit, LVM_GETEDITCONTROL tells whether the editor is open,
// and the control hears LVN_BEGINLABELEDITW, LVN_ENDLABELEDITW, LVN_GETINFOTIPW and LVN_ITEMCHANGED
// through CNNotify, which descendants override. While the editor is open the keys typed into the
// list go to the editor: characters and Backspace edit its text, Enter ends the edit with the text
// and Escape cancels it.
#pragma once

#include "Platform/Vcl/ImgList.h"
#include "Platform/Vcl/Menus.h"
#include "Platform/Vcl/StdCtrls.h"

#include <memory>
#include <optional>
#include <vector>

namespace krx {

// ---- Page controls -------------------------------------------------------------------------

class TPageControl;

class TTabSheet : public TWinControl {
public:
  explicit TTabSheet(TComponent *AOwner);
  ~TTabSheet() override;
  TPageControl *PageControl() const { return FPageControl; }
  void SetPageControl(TPageControl *Value);
  Integer PageIndex() const;

private:
  TPageControl *FPageControl = nullptr;
};

class TPageControl : public TWinControl {
  KRX_PUBLISHED(TPageControl)
public:
  explicit TPageControl(TComponent *AOwner);

  Integer PageCount() const { return static_cast<Integer>(FPages.size()); }
  TTabSheet *Pages(Integer Index) const { return FPages.at(static_cast<std::size_t>(Index)); }
  TTabSheet *ActivePage() const { return FActivePage; }
  // Shows the page and hides the others. When the focus was on the page that goes, it moves
  // to the first control of the new one (the page control itself when that has none).
  void SetActivePage(TTabSheet *Value);
  // The page after (or before) the active one, wrapping around; OnChange when it changed.
  void SelectNextPage(bool GoForward);

  // Driver of the user: a click on the tab of a page (through the exception boundary).
  void ClickTab(Integer Index);

  // Ctrl+Tab and Ctrl+Shift+Tab select the next and the previous page while the focus is in
  // the page control.
  bool DialogKey(Word Key, TShiftState Shift) override;
  // The access key of a tab selects its page.
  bool DialogChar(Char Key) override;

  TNotifyEvent OnChange;

protected:
  void InsertControl(TControl *AControl);
  // The arrows move to the neighbouring tab (without wrapping), as the platform's tabs do.
  void DefaultKeyDown(Word Key, TShiftState Shift) override;
  bool WantsSpecialKey(Word Key, TShiftState Shift) const override;
  bool WantsChars() const override { return true; }

private:
  friend class TTabSheet;
  void AddPage(TTabSheet *Page);
  void RemovePage(TTabSheet *Page);

  std::vector<TTabSheet *> FPages;
  TTabSheet *FActivePage = nullptr;
};

// ---- List view -----------------------------------------------------------------------------

class TCustomListView;
class TListItems;

inline constexpr UINT LVM_FIRST = 0x1000;
inline constexpr UINT LVM_ENSUREVISIBLE = LVM_FIRST + 19;
inline constexpr UINT LVM_GETEDITCONTROL = LVM_FIRST + 24;
inline constexpr UINT LVM_SETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 54;
inline constexpr UINT LVM_EDITLABELW = LVM_FIRST + 118;
inline constexpr UINT LVM_SETSELECTEDCOLUMN = LVM_FIRST + 140;
inline constexpr LPARAM LVS_EX_DOUBLEBUFFER = 0x10000;

// Notification codes of the list view.
enum class TLVCode { ItemChanged, BeginLabelEdit, EndLabelEdit, GetInfoTip, HeaderEndTrack };

// A notification of the native list view to its control (the platform's NMHDR family).
struct TLVNotify {
  TLVCode Code = TLVCode::ItemChanged;
  Integer Item = -1;          // index of the item concerned (-1 none)
  std::optional<String> Text; // the edit's text (none: cancelled), the info tip's buffer
  Integer TextMax = 0;        // the info tip buffer's size in characters
  UINT Flags = 0;             // info tip flags
  LRESULT Result = 0;
};

class TListColumn : public TObject {
public:
  TListColumn(TCustomListView *Owner) : FOwner(Owner) {}
  const String &Caption() const { return FCaption; }
  void SetCaption(const String &Value) { FCaption = Value; }
  Integer Width() const { return FWidth; }
  void SetWidth(Integer Value);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value) { FAutoSize = Value; }
  Integer Index() const;

private:
  TCustomListView *FOwner;
  String FCaption;
  Integer FWidth = 50;
  bool FAutoSize = false;
};

class TListColumns {
public:
  explicit TListColumns(TCustomListView *Owner) : FOwner(Owner) {}
  TListColumn *Add();
  Integer Count() const { return static_cast<Integer>(FItems.size()); }
  TListColumn *Items(Integer Index) const {
    return FItems.at(static_cast<std::size_t>(Index)).get();
  }
  TListColumn *operator[](Integer Index) const { return Items(Index); }
  void Clear() { FItems.clear(); }

private:
  friend class TListColumn;
  TCustomListView *FOwner;
  std::vector<std::unique_ptr<TListColumn>> FItems;
};

class TListItem : public TObject {
public:
  explicit TListItem(TListItems *Owner);

  TCustomListView *ListView() const;
  Integer Index() const;
  const String &Caption() const { return FCaption; }
  void SetCaption(const String &Value);
  TStrings &SubItems() { return FSubItems; }
  const TStrings &SubItems() const { return FSubItems; }
  void *Data() const { return FData; }
  void SetData(void *Value) { FData = Value; }
  Integer ImageIndex() const { return FImageIndex; }
  void SetImageIndex(Integer Value);
  Integer Indent() const { return FIndent; }
  void SetIndent(Integer Value) { FIndent = Value; }
  bool Selected() const { return FSelected; }
  void SetSelected(bool Value);
  bool Focused() const;
  void SetFocused(bool Value);
  // Starts editing the caption in place (the list must be focused-able).
  bool EditCaption();
  void MakeVisible(bool) {}
  void Delete();

private:
  friend class TCustomListView;
  TListItems *FOwner;
  String FCaption;
  TStringList FSubItems;
  void *FData = nullptr;
  Integer FImageIndex = -1;
  Integer FIndent = 0;
  bool FSelected = false;
};

class TListItems {
public:
  explicit TListItems(TCustomListView *Owner) : FOwner(Owner) {}

  TCustomListView *Owner() const { return FOwner; }
  TListItem *Add();
  TListItem *Insert(Integer Index);
  void Delete(Integer Index);
  void Clear();
  Integer Count() const { return static_cast<Integer>(FItems.size()); }
  TListItem *Item(Integer Index) const;
  TListItem *operator[](Integer Index) const { return Item(Index); }
  Integer IndexOf(const TListItem *Value) const;
  // While updates are counted, the list draws nothing and tells nothing of selection changes to its
  // handlers; the last EndUpdate invalidates it.
  void BeginUpdate();
  void EndUpdate();
  bool Updating() const { return FUpdateCount > 0; }

private:
  friend class TCustomListView;
  TCustomListView *FOwner;
  std::vector<std::unique_ptr<TListItem>> FItems;
  Integer FUpdateCount = 0;
};

#define KRX_TVIEWSTYLE(X) X(vsIcon) X(vsSmallIcon) X(vsList) X(vsReport)
KRX_DECLARE_ENUM(TViewStyle, KRX_TVIEWSTYLE);
enum TItemChange { ctText, ctImage, ctState };
enum TCustomDrawStage { cdPrePaint, cdPostPaint, cdPreErase, cdPostErase };
enum TCustomDrawTarget { dtControl, dtItem, dtSubItem };

using TLVChangeEvent = std::function<void(TObject *Sender, TListItem *Item, TItemChange Change)>;
using TLVEditingEvent = std::function<void(TObject *Sender, TListItem *Item, bool &AllowEdit)>;
using TLVEditedEvent = std::function<void(TObject *Sender, TListItem *Item, String &S)>;
using TLVCompareEvent = std::function<void(TObject *Sender, TListItem *Item1, TListItem *Item2,
                                           Integer Data, Integer &Compare)>;
using TLVCustomDrawItemEvent =
    std::function<void(TCustomListView *Sender, TListItem *Item, bool &DefaultDraw)>;
using TLVInfoTipEvent = std::function<void(TObject *Sender, TListItem *Item, String &InfoTip)>;

class TCustomListView : public TWinControl, public TDragClient {
  KRX_PUBLISHED(TCustomListView)
public:
  explicit TCustomListView(TComponent *AOwner);
  ~TCustomListView() override;

  TListItems &Items() { return FItems; }
  const TListItems &Items() const { return FItems; }
  TListColumns &Columns() { return FColumns; }
  const TListColumns &Columns() const { return FColumns; }

  TViewStyle ViewStyle() const { return FViewStyle; }
  void SetViewStyle(TViewStyle Value) { FViewStyle = Value; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value) { FReadOnly = Value; }
  bool RowSelect() const { return FRowSelect; }
  void SetRowSelect(bool Value) { FRowSelect = Value; }
  bool MultiSelect() const { return FMultiSelect; }
  void SetMultiSelect(bool Value) { FMultiSelect = Value; }
  bool HideSelection() const { return FHideSelection; }
  void SetHideSelection(bool Value) { FHideSelection = Value; }
  bool ColumnClick() const { return FColumnClick; }
  void SetColumnClick(bool Value) { FColumnClick = Value; }
  bool ShowColumnHeaders() const { return FShowColumnHeaders; }
  void SetShowColumnHeaders(bool Value) { FShowColumnHeaders = Value; }
  bool OwnerDraw() const { return FOwnerDraw; }
  void SetOwnerDraw(bool Value) { FOwnerDraw = Value; }
  TCustomImageList *SmallImages() const { return FSmallImages; }
  void SetSmallImages(TCustomImageList *Value);

  // The first selected item, the focused item, the number of selected items.
  TListItem *Selected() const;
  void SetSelected(TListItem *Value);
  TListItem *ItemFocused() const { return FFocused; }
  void SetItemFocused(TListItem *Value);
  Integer SelCount() const;
  virtual void SelectAll();
  void ClearSelection();
  // Sorts the items with OnCompare (by caption without it).
  void AlphaSort();
  bool IsEditing() const { return FEditItem != nullptr; }
  const String &EditText() const { return FEditText; }
  // A canvas with the list's font.
  TCanvas &Canvas();
  // The height of the column header (0 when headers are off or not in report style).
  Integer HeaderHeight() const;

  // Drivers of the user (through the exception boundary): a click on an item focuses the list,
  // selects the item and, on an item that was already selected and focused, starts a label edit; a
  // double click clicks and then runs DblClick.
  void ClickItem(Integer Index, TShiftState Shift = {});
  void DblClickItem(Integer Index);

  TLVChangeEvent OnChange;
  TLVEditingEvent OnEditing;
  TLVEditedEvent OnEdited;
  TLVCompareEvent OnCompare;
  TLVCustomDrawItemEvent OnCustomDrawItem;
  TLVInfoTipEvent OnInfoTip;
  TNotifyEvent OnDblClick;

protected:
  friend class TListItem;
  friend class TListItems;
  friend class TListColumn;

  void WndProc(TMessage &Message) override;
  // The native list view's notifications.
  virtual void CNNotify(TLVNotify &Notify);
  virtual bool CanEdit(TListItem *Item);
  virtual void Edit(TListItem *Item, const String &Text);
  virtual void DblClick();
  virtual void MouseDown(TShiftState Shift);
  virtual bool IsCustomDrawn(TCustomDrawTarget Target, TCustomDrawStage Stage) const;
  // Control-level custom drawing of the whole list; False stops the default drawing.
  virtual bool CustomDraw(TCanvas &Canvas, const TRect &ARect, TCustomDrawStage Stage);
  virtual void DoInfoTip(TListItem *Item, String &InfoTip);
  // Re-creating the window: the native list forgets which items were selected and focused and drops
  // an open editor; the items themselves stay.
  void DestroyWnd() override;

  void DefaultKeyDown(Word Key, TShiftState Shift) override;
  void DefaultChar(Char Key) override;
  bool WantsSpecialKey(Word Key, TShiftState Shift) const override;
  bool WantsChars() const override { return true; }
  void Paint(TCanvas &Canvas) override;

  // Replaces the text of the open label editor (WM_SETTEXT to the editor).
  void SetEditText(const String &Value) {
    if (FEditItem)
      FEditText = Value;
  }
  // Posts a message to the control's own queue (handled by WndProc from the message loop).
  void PostToSelf(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);

private:
  void ItemStateChanged(TListItem *Item);
  void ItemRemoved(TListItem *Item);
  void BeginLabelEdit(TListItem *Item);
  void EndLabelEdit(bool Accept);

  TListItems FItems{this};
  TListColumns FColumns{this};
  TViewStyle FViewStyle = vsIcon;
  bool FReadOnly = false;
  bool FRowSelect = false;
  bool FMultiSelect = false;
  bool FHideSelection = true;
  bool FColumnClick = true;
  bool FShowColumnHeaders = true;
  bool FOwnerDraw = false;
  TCustomImageList *FSmallImages = nullptr;
  TListItem *FFocused = nullptr;
  TListItem *FEditItem = nullptr; // the item whose label is being edited
  String FEditText;
  std::unique_ptr<TCanvas> FCanvas;
  HWND FPostWindow = nullptr;
};

class TListView : public TCustomListView {
public:
  using TCustomListView::TCustomListView;
};

// Shift, Ctrl and Alt of a shift state (mouse buttons and double clicks dropped).
TShiftState ModifierKeys(TShiftState Shift);

// ---- Hot key -------------------------------------------------------------------------------

enum THKModifier { hkShift, hkCtrl, hkAlt, hkExt };
using THKModifiers = EnumSet<THKModifier>;
enum THKInvalidKey {
  hcNone,
  hcShift,
  hcCtrl,
  hcAlt,
  hcShiftCtrl,
  hcShiftAlt,
  hcCtrlAlt,
  hcShiftCtrlAlt
};
using THKInvalidKeys = EnumSet<THKInvalidKey>;

// An edit that shows the key combination typed into it as a shortcut. Tab, Enter and Escape without
// modifiers are left to the dialog; Backspace and Delete without modifiers clear it; any other key
// (with the modifiers held) becomes the shortcut and is consumed.
class THotKey : public TWinControl {
public:
  explicit THotKey(TComponent *AOwner);

  TShortCut HotKey() const { return FHotKey; }
  void SetHotKey(TShortCut Value);
  THKModifiers Modifiers() const { return FModifiers; }
  void SetModifiers(THKModifiers Value) { FModifiers = Value; }
  THKInvalidKeys InvalidKeys() const { return FInvalidKeys; }
  void SetInvalidKeys(THKInvalidKeys Value) { FInvalidKeys = Value; }

  TNotifyEvent OnChange;

protected:
  void KeyDown(Word &Key, TShiftState Shift) override;
  void DefaultKeyDown(Word Key, TShiftState Shift) override;
  bool WantsSpecialKey(Word Key, TShiftState Shift) const override;
  bool WantsKeyFirst(Word Key, TShiftState Shift) const override;
  bool WantsChars() const override { return true; }
  void Paint(TCanvas &Canvas) override;
  void Change();

private:
  TShortCut FHotKey = 0;
  THKModifiers FModifiers{hkAlt};
  THKInvalidKeys FInvalidKeys{hcNone, hcShift};
};

} // namespace krx
