// Standard controls of the headless class library: labels, edits, buttons, check boxes, radio
// buttons, combo boxes, list boxes and group boxes. Each keeps the state its platform control keeps
// (text, check state, items, selection) and takes keys and clicks through the form's keyboard path
// (Forms.h); painting is recorded on the canvas.
#pragma once

#include "Platform/Shell/Dialogs.h"
#include "Platform/Vcl/Controls.h"

#include <memory>
#include <vector>

namespace krx {

// Registers the classes of this unit, Panels' panels, images and radio groups and Buttons' speed
// buttons with the form-description reader: the unit "StdCtrls", run in the system half of the
// unit list (only the system's own dialogs are read from descriptions).
void InitializeStdCtrls();
void FinalizeStdCtrls();

// The extent of a text in a font, as a canvas with that font measures it.
Integer TextWidthOf(const TFont &Font, StringView Text);
Integer TextHeightOf(const TFont &Font, StringView Text);

// Drag and drop between controls, as the class library's automatic dragging does: the target's
// OnDragOver decides whether it accepts (False without a handler), then its OnDragDrop runs. Driven
// by DragAndDrop (a drop at a point of the target's client area).
using TDragOverEvent =
    std::function<void(TObject *Sender, TObject *Source, Integer X, Integer Y, bool &Accept)>;
using TDragDropEvent = std::function<void(TObject *Sender, TObject *Source, Integer X, Integer Y)>;
#define KRX_TDRAGMODE(X) X(dmManual) X(dmAutomatic)
KRX_DECLARE_ENUM(TDragMode, KRX_TDRAGMODE);

// Drops Source on Target at (X, Y) through the exception boundary; True when the target accepted
// the drop.
bool DragAndDrop(TControl *Source, TControl *Target, Integer X = 0, Integer Y = 0);

// A control that takes part in dragging.
class TDragClient {
public:
  virtual ~TDragClient() = default;
  TDragMode DragMode() const { return FDragMode; }
  void SetDragMode(TDragMode Value) { FDragMode = Value; }
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;

private:
  TDragMode FDragMode = dmManual;
};

// ---- Labels --------------------------------------------------------------------------------

enum TTextLayout { tlTop, tlCenter, tlBottom };

class TCustomLabel : public TGraphicControl {
  KRX_PUBLISHED(TCustomLabel)
public:
  explicit TCustomLabel(TComponent *AOwner);

  // The label sizes itself to its caption (word-wrapped to its width when WordWrap).
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);
  // The control that an accelerator of the caption focuses.
  TWinControl *FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl *Value);
  bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool Value) { FShowAccelChar = Value; }
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout Value) { FLayout = Value; }

  // Its access key focuses the focus control (while the label is enabled and shows it).
  bool DialogChar(Char Key) override;

protected:
  void TextChanged() override;
  void FontChanged() override;
  void Notification(TComponent *AComponent, TOperation Operation) override;
  void Loaded() override;
  void Paint(TCanvas &Canvas) override;
  void AdjustBounds();

private:
  bool FAutoSize = true;
  bool FWordWrap = false;
  bool FShowAccelChar = true;
  TTextLayout FLayout = tlTop;
  TWinControl *FFocusControl = nullptr;
};

class TLabel : public TCustomLabel {
public:
  using TCustomLabel::TCustomLabel;
};

// ---- Edits ---------------------------------------------------------------------------------

// The selection messages of edits and of the edit part of combo boxes. EM_SETSEL takes the
// first and the end position (wParam, lParam; an end of -1 means the end of the text, a first
// of -1 removes the selection); CB_SETEDITSEL takes both in lParam's low and high word (0xFFFF
// for -1). The GET messages answer first and end in the low and high word of the result.
inline constexpr UINT EM_GETSEL = 0x00B0;
inline constexpr UINT EM_SETSEL = 0x00B1;
inline constexpr UINT CB_GETEDITSEL = 0x0140;
inline constexpr UINT CB_SETEDITSEL = 0x0142;
inline constexpr LRESULT CB_ERR = -1;

// A selection in a text: a caret position and a length, both in code units, kept inside the
// text.
struct TTextSelection {
  Integer Start = 0;
  Integer Length = 0;
  // From a first and an end position as the selection messages give them.
  void SetRange(Integer First, Integer End, Integer TextLength);
  void Clamp(Integer TextLength);
  LRESULT Packed() const {
    return static_cast<LRESULT>((static_cast<UINT>(Start) & 0xFFFFu) |
                                ((static_cast<UINT>(Start + Length) & 0xFFFFu) << 16));
  }
};

class TCustomEdit : public TWinControl {
  KRX_PUBLISHED(TCustomEdit)
public:
  explicit TCustomEdit(TComponent *AOwner);

  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value) { FReadOnly = Value; }
  Integer MaxLength() const { return FMaxLength; }
  void SetMaxLength(Integer Value) { FMaxLength = Value; }
  void Clear() { SetText({}); }

  // Whether the form selects the whole text again when it is shown with the edit focused.
  bool AutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool Value) { FAutoSelect = Value; }
  // The caret (the selection's start) and the selection's length; setting the start empties
  // the selection. A text set from outside puts the caret at its end, so typing appends.
  Integer SelStart() const { return FSel.Start; }
  void SetSelStart(Integer Value);
  Integer SelLength() const { return FSel.Length; }
  void SetSelLength(Integer Value);
  String SelText() const;
  void SelectAll();

  TNotifyEvent OnChange;

protected:
  void WndProc(TMessage &Message) override;
  void TextChanged() override;
  bool WantsChars() const override { return true; }
  // Typing replaces the selection (or inserts at the caret); Backspace removes the selection
  // or the character before the caret.
  void DefaultChar(Char Key) override;
  void DefaultKeyDown(Word Key, TShiftState Shift) override;
  void Paint(TCanvas &Canvas) override;

private:
  void ReplaceSelection(StringView Text);

  bool FReadOnly = false;
  Integer FMaxLength = 0;
  bool FAutoSelect = true;
  TTextSelection FSel;
  Integer FCaretAfterChange = -1; // where typing leaves the caret; -1: the end of the text
};

class TEdit : public TCustomEdit {
public:
  using TCustomEdit::TCustomEdit;
};

// ---- Buttons -------------------------------------------------------------------------------

class TButtonControl : public TWinControl {
public:
  explicit TButtonControl(TComponent *AOwner);
};

class TButton : public TButtonControl {
  KRX_PUBLISHED(TButton)
public:
  explicit TButton(TComponent *AOwner);

  // Enter anywhere on the form clicks the default button (unless another button has the focus);
  // Escape clicks the cancel button; neither with a shift key held, nor while the button cannot
  // take the focus.
  bool Default() const { return FDefault; }
  void SetDefault(bool Value) { FDefault = Value; }
  bool Cancel() const { return FCancel; }
  void SetCancel(bool Value) { FCancel = Value; }
  // Clicking sets the form's ModalResult to this value (when not mrNone).
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value) { FModalResult = Value; }

  void Click() override;
  bool DialogKey(Word Key, TShiftState Shift) override;
  // Its access key clicks it.
  bool DialogChar(Char Key) override;

protected:
  bool WantsSpecialKey(Word Key, TShiftState Shift) const override;
  void DefaultKeyDown(Word Key, TShiftState Shift) override;
  void Paint(TCanvas &Canvas) override;

private:
  bool FDefault = false;
  bool FCancel = false;
  TModalResult FModalResult = mrNone;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCustomCheckBox : public TButtonControl {
  KRX_PUBLISHED(TCustomCheckBox)
public:
  explicit TCustomCheckBox(TComponent *AOwner);

  bool Checked() const { return FState == cbChecked; }
  // A change of state clicks the box (OnClick runs), as the class library does.
  void SetChecked(bool Value) { SetState(Value ? cbChecked : cbUnchecked); }
  TCheckBoxState State() const { return FState; }
  void SetState(TCheckBoxState Value);
  bool AllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool Value) { FAllowGrayed = Value; }

  // A click of the user toggles the state.
  void Click() override;
  // Its access key focuses and toggles it.
  bool DialogChar(Char Key) override;

protected:
  void DefaultKeyDown(Word Key, TShiftState Shift) override;
  void Paint(TCanvas &Canvas) override;
  virtual void Toggle();

private:
  TCheckBoxState FState = cbUnchecked;
  bool FAllowGrayed = false;
  bool FClicking = false;
};

class TCheckBox : public TCustomCheckBox {
public:
  using TCustomCheckBox::TCustomCheckBox;
};

class TRadioButton : public TButtonControl {
  KRX_PUBLISHED(TRadioButton)
public:
  explicit TRadioButton(TComponent *AOwner);
  bool Checked() const { return FChecked; }
  // Checking a radio button unchecks its siblings.
  void SetChecked(bool Value);
  void Click() override;
  // Its access key focuses and checks it.
  bool DialogChar(Char Key) override;

protected:
  void Paint(TCanvas &Canvas) override;

private:
  bool FChecked = false;
};

// ---- Lists ---------------------------------------------------------------------------------

// A list of strings that tells its control of every change: where a line was inserted or deleted
// (so per-line state such as selection moves with its line), or, for any other change, that the
// lines were replaced.
class TControlStrings : public TStringList {
public:
  struct TListener {
    std::function<void(Integer Index)> Inserted;
    std::function<void(Integer Index)> Deleted;
    std::function<void(Integer Index1, Integer Index2)> Exchanged;
    std::function<void()> Reset;
  };
  explicit TControlStrings(TListener Listener);

  Integer AddObject(const String &S, TObject *AObject) override;
  void InsertObject(Integer Index, const String &S, TObject *AObject) override;
  void Delete(Integer Index) override;
  void Clear() override;
  void Exchange(Integer Index1, Integer Index2) override;

private:
  // Runs one of the list's own operations with its change notification held back: the
  // listener hears the operation itself once it is done.
  template <class F> decltype(auto) Quietly(F &&operation);

  TListener FListener;
  Integer FInOperation = 0;
};

#define KRX_TCOMBOBOXSTYLE(X)                                                                      \
  X(csDropDown)                                                                                    \
  X(csSimple) X(csDropDownList) X(csOwnerDrawFixed) X(csOwnerDrawVariable)
KRX_DECLARE_ENUM(TComboBoxStyle, KRX_TCOMBOBOXSTYLE);

class TCustomComboBox : public TWinControl {
  KRX_PUBLISHED(TCustomComboBox)
public:
  explicit TCustomComboBox(TComponent *AOwner);

  TStrings &Items() { return *FItems; }
  const TStrings &Items() const { return *FItems; }
  void SetItems(const TStrings &Value) { FItems->Assign(Value); }
  TComboBoxStyle Style() const { return FStyle; }
  void SetStyle(TComboBoxStyle Value) { FStyle = Value; }
  // -1: no item; setting it shows the item's text (no OnChange: only the user's choice fires).
  Integer ItemIndex() const { return FItemIndex; }
  void SetItemIndex(Integer Value);
  // Driver: the user picks the item (OnChange, then OnSelect).
  void SelectItem(Integer Index);
  // The selection in the edit part (a drop-down list has none: it stays empty).
  Integer SelStart() const { return FSel.Start; }
  Integer SelLength() const { return FSel.Length; }
  void SelectAll();

  TNotifyEvent OnChange;
  TNotifyEvent OnSelect;

protected:
  void WndProc(TMessage &Message) override;
  void TextChanged() override;
  // Up and Down move the choice as the user does.
  void DefaultKeyDown(Word Key, TShiftState Shift) override;
  bool WantsSpecialKey(Word Key, TShiftState Shift) const override;
  bool WantsChars() const override { return true; }
  void Paint(TCanvas &Canvas) override;

private:
  void ItemsChanged();

  std::unique_ptr<TControlStrings> FItems;
  TComboBoxStyle FStyle = csDropDown;
  Integer FItemIndex = -1;
  TTextSelection FSel;
};

class TComboBox : public TCustomComboBox {
public:
  using TCustomComboBox::TCustomComboBox;
};

class TCustomListBox : public TWinControl, public TDragClient {
  KRX_PUBLISHED(TCustomListBox)
public:
  explicit TCustomListBox(TComponent *AOwner);

  TStrings &Items() { return *FItems; }
  const TStrings &Items() const { return *FItems; }
  void SetItems(const TStrings &Value) { FItems->Assign(Value); }
  bool MultiSelect() const { return FMultiSelect; }
  void SetMultiSelect(bool Value);
  // The focused item (-1 none); in a single-select list also the selected one.
  Integer ItemIndex() const { return FItemIndex; }
  void SetItemIndex(Integer Value);
  bool Selected(Integer Index) const;
  void SetSelected(Integer Index, bool Value);
  Integer SelCount() const;
  void ClearSelection();
  void SelectAll();
  // The width that the horizontal scroll bar scrolls over (0: none).
  Integer ScrollWidth() const { return FScrollWidth; }
  void SetScrollWidth(Integer Value) { FScrollWidth = Value; }
  // A canvas measuring in the list's font.
  TCanvas &Canvas();

  // Drivers of the user: a click on an item (Shift/Ctrl as the platform's list does) runs OnClick;
  // a double click then runs OnDblClick.
  void ClickItem(Integer Index, TShiftState Shift = {});
  void DblClickItem(Integer Index);

  TNotifyEvent OnDblClick;

protected:
  void DefaultKeyDown(Word Key, TShiftState Shift) override;
  bool WantsSpecialKey(Word Key, TShiftState Shift) const override;
  bool WantsChars() const override { return true; }
  void Paint(TCanvas &Canvas) override;

private:
  void ItemsChanged();

  std::unique_ptr<TControlStrings> FItems;
  std::vector<bool> FSelected; // one flag per item
  bool FMultiSelect = false;
  Integer FItemIndex = -1;
  Integer FScrollWidth = 0;
  std::unique_ptr<TCanvas> FCanvas;
};

class TListBox : public TCustomListBox {
public:
  using TCustomListBox::TCustomListBox;
};

// ---- Group boxes ---------------------------------------------------------------------------

class TCustomGroupBox : public TWinControl {
public:
  explicit TCustomGroupBox(TComponent *AOwner);

protected:
  void Paint(TCanvas &Canvas) override;
};

class TGroupBox : public TCustomGroupBox {
public:
  using TCustomGroupBox::TCustomGroupBox;
};

} // namespace krx
