#include "World/KRSuperHints.h"

#include "Controls/KRX.StyleSupport.h"
#include "Platform/Rtl/OSVersion.h"
#include "Platform/Vcl/ActnList.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/GraphUtil.h"
#include "Platform/Vcl/TextDraw.h"
#include "World/KRStrUtils.h"
#include "World/SuperHintControls.h"

#include <algorithm>

namespace krx {

namespace {

TSuperHintHandler *gHandler = nullptr;

constexpr UINT kTextFormat = DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX;

} // namespace

// ---- TKRSuperHintWindow --------------------------------------------------------------------

THintWindowClass TKRSuperHintWindow::ClassRef() {
  static const THintWindowClassInfo info{
      u"TKRSuperHintWindow", [] { return std::make_unique<TKRSuperHintWindow>(nullptr); }};
  return &info;
}

bool TKRSuperHintWindow::AcceptsControl(const TControl *AControl) {
  return SuperHintAcceptsControl(AControl);
}

bool TKRSuperHintWindow::GetControlHint(TObject *AData, String &Hint, TShortCut &ShortCut) {
  if (auto *control = dynamic_cast<TControl *>(AData)) {
    // The hint belongs to the control that carries it, which may be a parent.
    Hint = GetHint(control);
    if (auto *action = dynamic_cast<TCustomAction *>(control->Action()))
      ShortCut = action->ShortCut();
    return true;
  }
  if (auto *item = dynamic_cast<TMenuItem *>(AData)) {
    Hint = item->Hint();
    ShortCut = item->ShortCut();
    return true;
  }
  return false;
}

void TKRSuperHintWindow::SplitHint(const String &AHint, TObject *AData, String &Body,
                                   String &Title) {
  Title.clear();
  Body = AHint;
  if (Body.empty())
    return;
  TShortCut shortCut = 0;
  if (!GetControlHint(AData, Body, shortCut))
    return;
  Body = UnescapeLineBreaks(Body);
  if (!Body.empty() && Body[0] == u'@')
    Body.erase(0, 1);
  if (const std::size_t bar = Body.find(u'|'); bar != String::npos) {
    Title = Body.substr(0, bar);
    Body = Body.substr(bar + 1);
  }
  if (shortCut != 0 && ApplicationHints().HintShortCuts)
    Title = Format(u"%s (%s)", {Title, ShortCutToText(shortCut)});
}

void TKRSuperHintWindow::ActivateHintData(const TRect &Rect, const String &AHint, TObject *AData) {
  SplitHint(AHint, AData, FBody, FTitle);
  THintWindow::ActivateHintData(Rect, String(), AData);
}

TRect TKRSuperHintWindow::CalcHintRect(Integer MaxWidth, const String &AHint, TObject *AData) {
  String body, title;
  SplitHint(AHint, AData, body, title);
  TRect r = Rect(0, 0, MaxWidth, 0);
  TCanvas &canvas = Canvas();
  if (TCustomForm *form = Screen ? Screen->ActiveCustomForm() : nullptr) {
    canvas.Font().Assign(HintFont());
    canvas.Font().SetHeight(
        MulDiv(HintFont().Height(), form->CurrentPPI(), Screen->PixelsPerInch()));
  }
  canvas.Font().SetStyle({});
  DrawTextW(canvas, body, r, DT_CALCRECT | kTextFormat);
  if (!title.empty()) {
    TRect t = Rect(0, 0, MaxWidth, 0);
    canvas.Font().SetStyle({fsBold});
    DrawTextW(canvas, title, t, DT_CALCRECT | kTextFormat);
    r.Bottom += t.Bottom + ScaleValue(8);
    r.Right = std::max(r.Right, t.Right);
  }
  r.Right += ScaleValue(6);
  r.Bottom += ScaleValue(2);
  r.Right += 2 * ScaleValue(8);
  r.Bottom += 2 * ScaleValue(8);
  return r;
}

// Under enabled style services the background is the platform's tooltip (its own style on a
// system that has one) or the style's hint gradient, whose text colour the style may give; the
// title is drawn bold above the body.
void TKRSuperHintWindow::Paint(TCanvas &Canvas) {
  TRect r = ClientRect();
  TColor textColor = HintFont().Color();
  if (TKRXStyle::IsStyled()) { // fixes the style services in use
    const TCustomStyleServices *style = StyleServicesInUse();
    const TRect back = Rect(r.Left - 4, r.Top - 4, r.Right + 4, r.Bottom + 4);
    if (TOSVersion::Check(6) && style->IsSystemStyle()) {
      style->DrawElement(Canvas, tttStandardNormal, back);
    } else {
      const auto hintColor = [style](TElementColor which, TColor fallback) {
        TColor c = clNone;
        return style->GetElementColor(thHintNormal, which, c) && c != clNone ? c : fallback;
      };
      textColor = hintColor(ecTextColor, textColor);
      GradientFillCanvas(Canvas, hintColor(ecGradientColor1, clInfoBk),
                         hintColor(ecGradientColor2, clInfoBk), back, gdVertical);
    }
  }
  r.Left += 2;
  r.Top += 2;
  Canvas.Font().Assign(Font());
  Canvas.Font().SetColor(textColor);
  if (!FTitle.empty()) {
    Canvas.Font().SetStyle({fsBold});
    TRect t = r;
    DrawHintText(Canvas, FTitle, t, kTextFormat);
    t = r;
    DrawTextW(Canvas, FTitle, t, kTextFormat | DT_CALCRECT);
    r.Top += t.Height() + ScaleValue(8);
  }
  Canvas.Font().SetStyle({});
  DrawHintText(Canvas, FBody, r, kTextFormat);
}

// ---- TSuperHintHandler ---------------------------------------------------------------------

TSuperHintHandler::TSuperHintHandler() : FEvents(std::make_unique<TApplicationEvents>(nullptr)) {
  FEvents->OnShowHint = [this](String &hintStr, bool &canShow, THintInfo &info) {
    ApplicationShowHint(hintStr, canShow, info);
  };
  FEvents->Activate();
}

TSuperHintHandler::~TSuperHintHandler() = default;

void TSuperHintHandler::ApplicationShowHint(String &HintStr, bool &, THintInfo &HintInfo) {
  if (!HintInfo.HintControl || HintStr.empty() || HintStr[0] != u'@' ||
      !TKRSuperHintWindow::AcceptsControl(HintInfo.HintControl))
    return;
  HintStr.erase(0, 1);
  HintInfo.HintStr = HintStr;
  HintInfo.HideTimeout = 60000;
  HintInfo.HintData = HintInfo.HintControl;
  HintInfo.HintWindowClass = TKRSuperHintWindow::ClassRef();
  FEvents->CancelDispatch();
}

void CreateSuperHintHandler() {
  if (!gHandler)
    gHandler = new TSuperHintHandler();
}

TSuperHintHandler *SuperHintHandler() { return gHandler; }

void KRSuperHintsFinalization() {
  delete gHandler;
  gHandler = nullptr;
}

} // namespace krx
