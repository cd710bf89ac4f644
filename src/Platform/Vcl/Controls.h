// Controls of the headless class library: TControl (bounds, alignment, anchors, visibility,
// fonts, scaling, actions), TWinControl (child controls, alignment of children, focus and
// tab order, the keyboard hooks) and TGraphicControl (a control that paints on its parent's
// recording canvas). Nothing is shown on a screen: the object model, layout, focus and
// keyboard behave as in the class library, and painting is recorded (Graphics.h).
//
// Ownership follows the class library: a parent frees its child controls when it is freed
// (whatever their owner), and an owner frees its components. A control freed while it is a
// child leaves its parent first.
#pragma once

#include "Platform/Rtl/Classes.h"
#include "Platform/Rtl/Rects.h"
#include "Platform/Vcl/Graphics.h"
#include "Platform/Win/Windows.h"

#include <memory>
#include <vector>

namespace krx {

class TWinControl;
class TCustomForm;
class TPopupMenu;
class TBasicAction;
class TBasicActionLink;

// ---- Keys and shift states ----------------------------------------------------------------

inline constexpr Word VK_BACK = 0x08;
inline constexpr Word VK_TAB = 0x09;
inline constexpr Word VK_RETURN = 0x0D;
inline constexpr Word VK_SHIFT = 0x10;
inline constexpr Word VK_CONTROL = 0x11;
inline constexpr Word VK_MENU = 0x12;
inline constexpr Word VK_ESCAPE = 0x1B;
inline constexpr Word VK_SPACE = 0x20;
inline constexpr Word VK_PRIOR = 0x21;
inline constexpr Word VK_NEXT = 0x22;
inline constexpr Word VK_END = 0x23;
inline constexpr Word VK_HOME = 0x24;
inline constexpr Word VK_LEFT = 0x25;
inline constexpr Word VK_UP = 0x26;
inline constexpr Word VK_RIGHT = 0x27;
inline constexpr Word VK_DOWN = 0x28;
inline constexpr Word VK_INSERT = 0x2D;
inline constexpr Word VK_DELETE = 0x2E;
inline constexpr Word VK_F1 = 0x70;
inline constexpr Word VK_F12 = 0x7B;

#define KRX_TSHIFTSTATEITEM(X) X(ssShift) X(ssAlt) X(ssCtrl) X(ssLeft) X(ssRight) X(ssMiddle) X(ssDouble)
KRX_DECLARE_ENUM(TShiftStateItem, KRX_TSHIFTSTATEITEM);
using TShiftState = EnumSet<TShiftStateItem>;

// A key message as the controls see it. The shift state travels with the message (the
// platform reads it from the keyboard state at the time of the message).
struct TWMKey {
  UINT Msg = 0;
  Word CharCode = 0;
  TShiftState Shift;
  LRESULT Result = 0;
};

inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_SETREDRAW = 0x000B;
inline constexpr UINT WM_HSCROLL = 0x0114;
inline constexpr UINT WM_VSCROLL = 0x0115;

// A scroll message: the scroll code and position from wParam, the scroll bar from lParam.
struct TWMScroll {
  UINT Msg = 0;
  Word ScrollCode = 0;
  Word Pos = 0;
  HWND ScrollBar = nullptr;
  LRESULT Result = 0;
};

using TKeyEvent = std::function<void(TObject *Sender, Word &Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject *Sender, Char &Key)>;

// ---- Enumerations -------------------------------------------------------------------------

#define KRX_TALIGN(X) X(alNone) X(alTop) X(alBottom) X(alLeft) X(alRight) X(alClient) X(alCustom)
KRX_DECLARE_ENUM(TAlign, KRX_TALIGN);

#define KRX_TANCHORKIND(X) X(akLeft) X(akTop) X(akRight) X(akBottom)
KRX_DECLARE_ENUM(TAnchorKind, KRX_TANCHORKIND);
using TAnchors = EnumSet<TAnchorKind>;

enum TControlStateFlag {
  csLButtonDown,
  csClicked,
  csPalette,
  csReadingState,
  csAlignmentNeeded,
  csFocusing,
  csCreating,
  csPaintCopy,
  csCustomPaint,
  csDestroyingHandle,
  csDocking,
  csDesignerHide,
  csPanning,
  csRecreating,
  csAligning,
  csGlassPaint,
  csPrintClient
};
using TControlState = EnumSet<TControlStateFlag>;

enum TControlStyleFlag {
  csAcceptsControls,
  csCaptureMouse,
  csDesignInteractive,
  csClickEvents,
  csFramed,
  csSetCaption,
  csOpaque,
  csDoubleClicks,
  csFixedWidth,
  csFixedHeight,
  csNoDesignVisible,
  csReplicatable,
  csNoStdEvents,
  csDisplayDragImage,
  csReflector,
  csActionClient,
  csMenuEvents,
  csNeedsBorderPaint,
  csParentBackground,
  csPannable,
  csAlignWithMargins,
  csGestures,
  csPaintBlackOpaqueOnGlass,
  csOverrideStylePaint
};
using TControlStyle = EnumSet<TControlStyleFlag>;

inline constexpr const Char *SCannotFocus = u"Cannot focus a disabled or invisible window";
inline constexpr const Char *SParentRequired = u"Control '%s' has no parent window";
inline constexpr const Char *SControlParentSetToSelf = u"A control cannot have itself as its parent";

// ---- TControl -----------------------------------------------------------------------------

struct TMargins {
  Integer Left = 3;
  Integer Top = 3;
  Integer Right = 3;
  Integer Bottom = 3;
};

class TControl : public TComponent {
  KRX_PUBLISHED(TControl)
public:
  explicit TControl(TComponent *AOwner);
  ~TControl() override;

  TWinControl *Parent() const { return FParent; }
  virtual void SetParent(TWinControl *AParent);

  Integer Left() const { return FLeft; }
  Integer Top() const { return FTop; }
  Integer Width() const { return FWidth; }
  Integer Height() const { return FHeight; }
  void SetLeft(Integer Value) { SetBounds(Value, FTop, FWidth, FHeight); }
  void SetTop(Integer Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
  void SetWidth(Integer Value) { SetBounds(FLeft, FTop, Value, FHeight); }
  void SetHeight(Integer Value) { SetBounds(FLeft, FTop, FWidth, Value); }
  virtual void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight);
  TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
  void SetBoundsRect(const TRect &R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }
  // The client area: the whole control (headless controls have no borders).
  virtual Integer ClientWidth() const { return FWidth; }
  virtual Integer ClientHeight() const { return FHeight; }
  void SetClientWidth(Integer Value);
  void SetClientHeight(Integer Value);
  TRect ClientRect() const { return Rect(0, 0, ClientWidth(), ClientHeight()); }
  // A point of this control's client area in the coordinates of the top-level form.
  TPoint ClientToParentForm(TPoint P) const;

  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign Value);
  TAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors Value) { FAnchors = Value; }

  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and so are all its parents up to a shown form.
  virtual bool Showing() const;
  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool Value);

  const String &Caption() const { return FText; }
  void SetCaption(const String &Value) { SetText(Value); }
  const String &Text() const { return FText; }
  virtual void SetText(const String &Value);
  const String &Hint() const { return FHint; }
  void SetHint(const String &Value) { FHint = Value; }
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool Value) { FShowHint = Value; }

  TFont &Font() { return *FFont; }
  const TFont &Font() const { return *FFont; }
  void SetFont(const TFont &Value) { FFont->Assign(Value); }
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool Value);

  TPopupMenu *PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu *Value);
  TBasicAction *Action() const;
  void SetAction(TBasicAction *Value);

  TControlState ControlState() const { return FControlState; }
  void SetControlState(TControlState Value) { FControlState = Value; }
  TControlStyle ControlStyle() const { return FControlStyle; }
  void SetControlStyle(TControlStyle Value) { FControlStyle = Value; }

  // Pixel density the control is laid out for (96 until it is scaled for a monitor).
  Integer CurrentPPI() const { return FCurrentPPI; }
  Integer ScaleValue(Integer Value) const { return MulDiv(Value, FCurrentPPI, 96); }
  double ScaleFactor() const { return FCurrentPPI / 96.0; }
  // Scales bounds and font by M / D (alignment suspended meanwhile).
  void ScaleBy(Integer M, Integer D);

  // Invalidation is counted (nothing is painted until a canvas asks).
  void Invalidate() { ++FInvalidateCount; }
  Integer InvalidateCount() const { return FInvalidateCount; }
  void Repaint() { Invalidate(); }
  void Update() {}

  void BringToFront();
  void SendToBack();

  // The click of a mouse or of the keyboard: the action's Execute when an action is linked
  // and OnClick is not set, else OnClick.
  virtual void Click();

  // Sends a message to the control's window procedure (no queue).
  LRESULT Perform(UINT Msg, WPARAM WParam, LPARAM LParam);

  // A key for the dialog (Enter, Escape, Tab, arrows) that the focused control did not take;
  // True when this control (or a child) used it. Buttons override it.
  virtual bool DialogKey(Word Key, TShiftState Shift);
  // An access key (the letter after "&" in a caption) typed where the focused control does
  // not take it; True when this control alone answers it. The form asks its controls in turn.
  virtual bool DialogChar(Char Key);

  // Paints the control on a canvas whose origin is the control's top left corner.
  virtual void PaintTo(TCanvas &Canvas);

  // The space a control keeps around itself from its neighbours, 3 pixels a side by default.
  TMargins &Margins() { return FMargins; }
  const TMargins &Margins() const { return FMargins; }

  TNotifyEvent OnClick;
  // Runs after the width or height changed.
  TNotifyEvent OnResize;
  // The object whose handler OnResize is, when one set it, so that it can tell whether the
  // handler is still its own before clearing it.
  TObject *OnResizeTarget = nullptr;

protected:
  friend class TWinControl;
  friend class TCustomForm;

  // The width or height changed (after the children were realigned): runs OnResize.
  virtual void Resize();

  virtual void WndProc(TMessage &Message);
  // Scales bounds, font and density; TWinControl scales its children too.
  virtual void ChangeScale(Integer M, Integer D, bool isDpiChange);
  virtual void VisibleChanged() {}
  virtual void EnabledChanged() { Invalidate(); }
  virtual void TextChanged() { Invalidate(); }
  virtual void FontChanged();
  // The parent's font changed; a control with ParentFont takes it.
  virtual void ParentFontChanged();
  virtual void ParentColorChanged();
  // The linked action changed; takes its caption, enabled, visible and hint.
  virtual void ActionChange(TObject *Sender, bool CheckDefaults);
  void Notification(TComponent *AComponent, TOperation Operation) override;
  // Asks the parent to realign when this control's alignment matters.
  void RequestAlign();
  void SetCurrentPPI(Integer Value) { FCurrentPPI = Value; }
  void Loaded() override;
  // Takes the current bounds and the parent's client size as the anchoring origin.
  void UpdateAnchorRules();

private:
  TWinControl *FParent = nullptr;
  Integer FLeft = 0;
  Integer FTop = 0;
  Integer FWidth = 0;
  Integer FHeight = 0;
  TAlign FAlign = alNone;
  TAnchors FAnchors{akLeft, akTop};
  bool FVisible = true;
  bool FEnabled = true;
  String FText;
  String FHint;
  bool FShowHint = false;
  std::unique_ptr<TFont> FFont;
  bool FParentFont = true;
  TColor FColor = clBtnFace;
  bool FParentColor = true;
  TPopupMenu *FPopupMenu = nullptr;
  std::unique_ptr<TBasicActionLink> FActionLink;
  TControlState FControlState;
  TControlStyle FControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  // The bounds last set from outside alignment and anchoring, with the parent's client size
  // at that time: anchors are applied from them, so repeated resizing does not drift.
  TRect FExplicitBounds;
  TSize FAnchorParentSize;
  bool FApplyingParentFont = false;
  Integer FCurrentPPI = 96;
  Integer FInvalidateCount = 0;
  TMargins FMargins;
};

// ---- TWinControl --------------------------------------------------------------------------

class TWinControl : public TControl {
  KRX_PUBLISHED(TWinControl)
public:
  explicit TWinControl(TComponent *AOwner);
  ~TWinControl() override;

  Integer ControlCount() const { return static_cast<Integer>(FControls.size()); }
  TControl *Controls(Integer Index) const;
  bool ContainsControl(const TControl *Control) const;
  // The child control (not deeper) of that name, or null.
  TControl *FindChildControl(StringView ControlName) const;

  // Tab order: the position among the parent's windowed children that take part in it.
  Integer TabOrder() const;
  void SetTabOrder(Integer Value);
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool Value) { FTabStop = Value; }
  // The windowed children in tab order.
  std::vector<TWinControl *> TabList() const { return FTabList; }
  // Every focusable control below this one in tab order, depth first.
  void GetTabOrderList(std::vector<TWinControl *> &List) const;

  // Alignment of children is suspended while the level is above 0; a realign asked for
  // meanwhile is remembered in ControlState (csAlignmentNeeded) and done by the last
  // EnableAlign.
  void DisableAlign() { ++FAlignLevel; }
  void EnableAlign();
  bool AlignDisabled() const { return FAlignLevel > 0; }
  void Realign();

  // A synthetic window handle, created on first use (no window of the window layer).
  HWND Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  void HandleNeeded() { Handle(); }
  // Whether redraw is on (WM_SETREDRAW); counts of the messages received, for tests.
  bool RedrawEnabled() const { return FRedraw; }

  // Visible and enabled up to (not including) the parent form, which must exist.
  virtual bool CanFocus() const;
  bool Focused() const;
  // Focuses the control in its form; EInvalidOperation when it cannot take the focus or has
  // no parent form.
  virtual void SetFocus();
  // The next (or previous) control in tab order after CurControl among this control's
  // descendants, wrapping around; null when there is none.
  TWinControl *FindNextControl(TWinControl *CurControl, bool GoForward, bool CheckTabStop,
                               bool CheckParent) const;
  void SelectNext(TWinControl *CurControl, bool GoForward, bool CheckTabStop);

  // A frame of this width inside the client area that aligned children keep clear of.
  Integer BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(Integer Value);

  bool ParentBackground() const { return ControlStyle().Contains(csParentBackground); }
  void SetParentBackground(bool Value);

  // Keyboard hooks, called by the form's keyboard path (Forms.h). KeyDown runs OnKeyDown;
  // KeyPress OnKeyPress; KeyUp OnKeyUp. A control that handles a key itself overrides
  // DefaultKeyDown / DefaultChar (an edit inserts characters); WantsSpecialKey tells the
  // path that the control takes Enter, Escape, Tab or the arrows itself.
  virtual void KeyDown(Word &Key, TShiftState Shift);
  virtual void KeyUp(Word &Key, TShiftState Shift);
  virtual void KeyPress(Char &Key);
  virtual bool WantsSpecialKey(Word Key, TShiftState Shift) const;
  // True keeps the key from the popup-menu, form and application shortcuts and from the
  // dialog keys (the control answers CN_KEYDOWN itself); its key handlers still run.
  virtual bool WantsKeyFirst(Word Key, TShiftState Shift) const;
  // True when the control takes typed characters itself (edits, lists, hot keys), so that a
  // plain letter typed into it is no access key.
  virtual bool WantsChars() const;
  virtual void DefaultKeyDown(Word Key, TShiftState Shift);
  virtual void DefaultChar(Char Key);

  bool DialogKey(Word Key, TShiftState Shift) override;
  void PaintTo(TCanvas &Canvas) override;

  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

protected:
  friend class TControl;
  friend class TCustomForm;

  void InsertControl(TControl *AControl);
  void RemoveControl(TControl *AControl);
  void Loaded() override;
  void WndProc(TMessage &Message) override;
  void ChangeScale(Integer M, Integer D, bool isDpiChange) override;
  void FontChanged() override;
  void VisibleChanged() override;
  void EnabledChanged() override;
  // Places the aligned children in Rect (the client area) and moves the anchored ones by
  // the change of the client size since the last alignment.
  virtual void AlignControls(TControl *AControl, TRect &Rect);
  // The handle was made: the place for a descendant to finish its window.
  virtual void CreateWnd() {}
  // The window is about to go (a re-creation): the place to save what only the window keeps.
  virtual void DestroyWnd() {}

public:
  // Destroys and creates the window again, as a change of a window style does; the control's
  // own state stays.
  void RecreateWnd();

protected:
  virtual void DoEnter();
  virtual void DoExit();
  // Paints the control itself (a descendant's look), before its children.
  virtual void Paint(TCanvas &) {}

private:
  void AlignControl(TControl *AControl);

  std::vector<TControl *> FControls;    // z-order, the first at the bottom
  std::vector<TWinControl *> FTabList;  // tab order
  Integer FAlignLevel = 0;
  HWND FHandle = nullptr;
  bool FRedraw = true;
  bool FTabStop = false;
  Integer FBorderWidth = 0;
};

// ---- TGraphicControl ----------------------------------------------------------------------

// A control without a window of its own; it paints on its parent's canvas.
class TGraphicControl : public TControl {
public:
  explicit TGraphicControl(TComponent *AOwner) : TControl(AOwner) {}
  void PaintTo(TCanvas &Canvas) override;

protected:
  virtual void Paint(TCanvas &Canvas);
};

// The form a control sits on (the top-level one when TopForm), or null.
TCustomForm *GetParentForm(const TControl *Control, bool TopForm = true);
// The same; EInvalidOperation naming the control when there is none.
TCustomForm *ValidParentForm(const TControl *Control, bool TopForm = true);

// A control made in code: created with its owner, named (an empty name leaves it unnamed) and
// placed on its parent, in that order; the caller then sets its properties. The system's
// dialogs and frames build every control they own this way.
template <class T>
T *MakeControl(TComponent *Owner, TWinControl *Parent, const String &Name = String()) {
  auto *control = new T(Owner);
  control->SetName(Name);
  control->SetParent(Parent);
  return control;
}

} // namespace krx
