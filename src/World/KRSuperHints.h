// Two-part hints for the whole process: every hint whose text starts with "@" is shown as a bold
// title over a word-wrapped body ("@Title|Body"; "\N" in either part is a line break). The handler
// that turns such hints into super hints is created once (CreateSuperHintHandler) and freed by the
// unit's finalisation.
#pragma once

#include "Platform/Vcl/Hints.h"
#include "Platform/Vcl/Menus.h"

#include <memory>

namespace krx {

class TKRSuperHintWindow : public THintWindow {
public:
  explicit TKRSuperHintWindow(TComponent *AOwner) : THintWindow(AOwner) {}

  static THintWindowClass ClassRef();
  // Whether this window shows super hints for the control (World/SuperHintControls.h).
  static bool AcceptsControl(const TControl *AControl);

  TRect CalcHintRect(Integer MaxWidth, const String &AHint, TObject *AData) override;
  void ActivateHintData(const TRect &Rect, const String &AHint, TObject *AData) override;

  const String &Title() const { return FTitle; }
  const String &Body() const { return FBody; }

protected:
  // The full hint and the shortcut of the object the hint belongs to: a control (its hint or,
  // without one, its nearest parent's; the shortcut of its action) or a menu item. False for
  // anything else.
  virtual bool GetControlHint(TObject *AData, String &Hint, TShortCut &ShortCut);
  void Paint(TCanvas &Canvas) override;

private:
  void SplitHint(const String &AHint, TObject *AData, String &Body, String &Title);

  String FBody;
  String FTitle;
};

class TSuperHintHandler : public TObject {
public:
  TSuperHintHandler();
  ~TSuperHintHandler() override;

private:
  void ApplicationShowHint(String &HintStr, bool &CanShow, THintInfo &HintInfo);

  std::unique_ptr<TApplicationEvents> FEvents;
};

// Creates the process-wide handler unless it exists.
void CreateSuperHintHandler();
TSuperHintHandler *SuperHintHandler();

void KRSuperHintsFinalization();

} // namespace krx
