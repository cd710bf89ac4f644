// The list view and hot-key edit of the key-bindings frame. TListViewEx adds events, a text shown
// while the list is empty, protection of in-place label editing against dialog keys and against the
// click that only focuses the list, selection kept across window re-creation and a last column that
// stretches to the client width. THotKeyEx also takes Delete with modifiers as a hot key. Both take
// their colours from the IDE style.
#pragma once

#include "Platform/Rtl/Intf.h"
#include "Platform/Rtl/Streams.h"
#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/Hints.h"

#include <memory>

namespace krx {

inline constexpr UINT WM_LVDBLCLICKED = WM_USER + 100;
inline constexpr UINT WM_LVSTARTEDIT = WM_USER + 101;
inline constexpr UINT WM_LVUPDATECOLUMNS = WM_USER + 102;

using TChangeEditTextEvent = std::function<void(TListView *Sender, TListItem *Item, String &Text)>;
using TListViewShowHintEvent = TShowHintEvent;
using TScrollEvent = std::function<void(TWinControl *Sender, TWMScroll &Msg)>;

class TListViewEx : public TListView {
  KRX_PUBLISHED(TListViewEx)
public:
  explicit TListViewEx(TComponent *AOwner);
  ~TListViewEx() override;

  bool AutoUpdateColumns() const { return FAutoUpdateColumns; }
  void SetAutoUpdateColumns(bool Value) { FAutoUpdateColumns = Value; }
  bool ControlEditState() const { return FControlEditState; }
  void SetControlEditState(bool Value) { FControlEditState = Value; }
  const String &EmptyListText() const { return FEmptyListText; }
  void SetEmptyListText(const String &Value);
  Integer SelectedColumn() const { return FSelectedColumn; }
  void SetSelectedColumn(Integer Value);
  bool ShowDragImages() const { return FShowDragImages; }
  void SetShowDragImages(bool Value) { FShowDragImages = Value; }

  void SelectAll() override;
  void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;
  // Stretches the last column now (Post False) or from the message loop.
  void UpdateColumns(bool Post);
  // Whether the empty-list text is drawn.
  bool EmptyTextShowing() const;

  TNotifyEvent OnCancelEdit;
  TChangeEditTextEvent OnChangeEditText;
  TNotifyEvent OnCreateWnd;
  TNotifyEvent OnDblClicked;
  TNotifyEvent OnDestroyWnd;
  TScrollEvent OnHScroll;
  TScrollEvent OnVScroll;
  TNotifyEvent OnKillFocus;
  TListViewShowHintEvent OnShowHint;
  TNotifyEvent OnStartLabelEdit;

protected:
  void WndProc(TMessage &Message) override;
  void CNNotify(TLVNotify &Notify) override;
  bool CanEdit(TListItem *Item) override;
  void DblClick() override;
  void MouseDown(TShiftState Shift) override;
  void DoEnter() override;
  void DoExit() override;
  void KeyDown(Word &Key, TShiftState Shift) override;
  // The key filter that runs before the form's shortcuts and dialog keys: True keeps the key for
  // the list (Escape always; while the label editor is open its edit keys and Ctrl+C/V/X).
  bool WantsKeyFirst(Word Key, TShiftState Shift) const override;
  bool IsCustomDrawn(TCustomDrawTarget Target, TCustomDrawStage Stage) const override;
  bool CustomDraw(TCanvas &Canvas, const TRect &ARect, TCustomDrawStage Stage) override;
  void Resize() override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void ParentFontChanged() override;

private:
  void ApplyStyle();
  void SaveSelection();
  void RestoreSelection();

  bool FAutoUpdateColumns = false;
  bool FControlEditState = true;
  String FEmptyListText;
  Integer FSelectedColumn = -1;
  bool FShowDragImages = true;
  Integer FEditState = 0;            // 0 idle, 1 focus came, 2 first click after focus
  TListItem *FStartedEdit = nullptr; // the item whose label edit began
  std::unique_ptr<TMemoryStream> FSavedSelection;
  Integer FSavedFocused = -1;
  IPtr<IInterface> FStyleSubscription;
};

class THotKeyEx : public THotKey {
public:
  explicit THotKeyEx(TComponent *AOwner);
  ~THotKeyEx() override;

protected:
  void KeyDown(Word &Key, TShiftState Shift) override;
  void ParentFontChanged() override;

private:
  IPtr<IInterface> FStyleSubscription;
};

// Registers both classes with the form-description reader, and unregisters them.
void ComCtrlsExInitialization();
void ComCtrlsExFinalization();

} // namespace krx
