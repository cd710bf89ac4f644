// The hint machinery of the headless class library: hint information, hint windows, the messages
// with which a control shapes its hint (CM_HINTSHOW, CM_HINTSHOWPAUSE), the application's hint
// settings and show-hint event, and application-event components that take part in it.
//
// ActivateHint is the driver: it runs what the class library runs when the mouse rests on a
// control, paints the hint window on a recording canvas and reports what was painted; the window
// lives only for that call.
#pragma once

#include "Platform/Vcl/Controls.h"

#include <functional>
#include <memory>
#include <vector>

namespace krx {

class THintWindow;

inline constexpr UINT CM_BASE = 0xB000;
inline constexpr UINT CM_HINTSHOW = CM_BASE + 48;
inline constexpr UINT CM_HINTSHOWPAUSE = CM_BASE + 54;

// A hint window class as a value (the class library's class reference): its name and how to make
// one.
struct THintWindowClassInfo {
  String ClassName;
  std::function<std::unique_ptr<THintWindow>()> Create;
};
using THintWindowClass = const THintWindowClassInfo *;

struct THintInfo {
  TControl *HintControl = nullptr;
  THintWindowClass HintWindowClass = nullptr;
  TPoint HintPos;
  Integer HintMaxWidth = 0;
  TColor HintColor = clInfoBk;
  TRect CursorRect;
  TPoint CursorPos;
  Integer ReshowTimeout = 0;
  Integer HideTimeout = 0;
  String HintStr;
  TObject *HintData = nullptr;
};

// CM_HINTSHOW carries a THintInfo * in LParam; the result 0 lets the hint show. CM_HINTSHOWPAUSE
// carries whether a hint is showing (WParam) and an Integer * to the pause.

using TShowHintEvent = std::function<void(String &HintStr, bool &CanShow, THintInfo &HintInfo)>;

// The part of a hint before the first "|" (the whole hint without one), and the part after.
String GetShortHint(const String &Hint);
String GetLongHint(const String &Hint);
// The hint of the control or, when it has none, of the nearest parent that has one.
String GetHint(const TControl *Control);

// One block of text that a hint window painted, with the font style it was painted in.
struct THintText {
  String Text;
  TFontStyles Style;
  TRect Rect;
};

class THintWindow : public TWinControl {
public:
  explicit THintWindow(TComponent *AOwner);

  static THintWindowClass ClassRef();

  // The rectangle the hint needs at most MaxWidth wide, at (0, 0).
  virtual TRect CalcHintRect(Integer MaxWidth, const String &AHint, TObject *AData);
  void ActivateHint(const TRect &Rect, const String &AHint);
  // Shows the window at Rect with the hint as its caption.
  virtual void ActivateHintData(const TRect &Rect, const String &AHint, TObject *AData);

  // What the last Paint drew.
  const std::vector<THintText> &Painted() const { return FPainted; }
  // A canvas with the window's font, for measuring.
  TCanvas &Canvas() { return FCanvas; }

  // Paints the hint (recorded in Painted).
  void PaintTo(TCanvas &Canvas) override;

protected:
  void Paint(TCanvas &Canvas) override;
  // DrawTextW that also records the text as painted.
  void DrawHintText(TCanvas &Canvas, const String &Text, TRect &R, UINT Format);

private:
  TCanvas FCanvas;
  std::vector<THintText> FPainted;
};

// The application's hint settings, process-wide.
struct TApplicationHints {
  bool ShowHint = true;
  // Whether hints show the shortcut of their action or menu item.
  bool HintShortCuts = true;
  Integer HintPause = 500;
  Integer HintHidePause = 2500;
  TColor HintColor = clInfoBk;
  // The application's own show-hint handler (asked after the application-event components).
  TShowHintEvent OnShowHint;
  // The window class for hints that do not ask for another (THintWindow when null).
  THintWindowClass HintWindowClass = nullptr;
};
TApplicationHints &ApplicationHints();
// The font hints are drawn in (Screen.HintFont).
TFont &HintFont();

// An application-events component: its handlers take part in the application's events. The
// component activated last is asked first; CancelDispatch stops the others being asked.
class TApplicationEvents : public TComponent {
public:
  explicit TApplicationEvents(TComponent *AOwner);
  ~TApplicationEvents() override;

  void Activate();
  void CancelDispatch();

  TShowHintEvent OnShowHint;
};

// What ActivateHint did.
struct THintResult {
  bool Shown = false;
  Integer Pause = 0; // the pause before the hint, after CM_HINTSHOWPAUSE
  THintInfo Info;    // as the handlers left it
  String WindowClass;
  TRect Rect;                     // of the window, in screen coordinates
  std::vector<THintText> Painted; // what the window painted
  std::vector<TCanvasOp> Ops;     // every drawing call of the window, in its client coordinates
};

// The mouse rests on Control at CursorPos (client coordinates): the hint pause is asked for, the
// hint information built and passed to CM_HINTSHOW and the show-hint handlers, and, when it may
// show, a window of the chosen class calculates its rectangle, is activated and paints. Runs
// through the exception boundary.
THintResult ActivateHint(TControl *Control, TPoint CursorPos = {});

} // namespace krx
