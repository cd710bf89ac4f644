#include "Platform/Vcl/Hints.h"

#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/TextDraw.h"

#include <algorithm>

namespace krx {

namespace {

// The application-event components in the order they are asked, and the dispatch state.
struct TEventsList {
  std::vector<TApplicationEvents *> Items;
  bool Cancelled = false;
};

TEventsList &EventsList() {
  static TEventsList list;
  return list;
}

void DoShowHint(String &hintStr, bool &canShow, THintInfo &info) {
  TEventsList &list = EventsList();
  list.Cancelled = false;
  // A copy: a handler may free or activate components.
  const std::vector<TApplicationEvents *> items = list.Items;
  for (TApplicationEvents *events : items) {
    if (std::find(list.Items.begin(), list.Items.end(), events) == list.Items.end())
      continue;
    if (events->OnShowHint)
      events->OnShowHint(hintStr, canShow, info);
    if (list.Cancelled)
      return;
  }
  if (ApplicationHints().OnShowHint)
    ApplicationHints().OnShowHint(hintStr, canShow, info);
}

} // namespace

String GetShortHint(const String &Hint) {
  const std::size_t bar = Hint.find(u'|');
  return bar == String::npos ? Hint : Hint.substr(0, bar);
}

String GetLongHint(const String &Hint) {
  const std::size_t bar = Hint.find(u'|');
  return bar == String::npos ? Hint : Hint.substr(bar + 1);
}

String GetHint(const TControl *Control) {
  for (; Control; Control = Control->Parent())
    if (!Control->Hint().empty())
      return Control->Hint();
  return {};
}

TApplicationHints &ApplicationHints() {
  static TApplicationHints hints;
  return hints;
}

TFont &HintFont() {
  static TFont font;
  return font;
}

// ---- THintWindow ---------------------------------------------------------------------------

THintWindow::THintWindow(TComponent *AOwner) : TWinControl(AOwner) {
  SetColor(clInfoBk);
  SetParentColor(false);
  Font().Assign(HintFont());
  FCanvas.Font().Assign(Font());
}

THintWindowClass THintWindow::ClassRef() {
  static const THintWindowClassInfo info{u"THintWindow",
                                         [] { return std::make_unique<THintWindow>(nullptr); }};
  return &info;
}

TRect THintWindow::CalcHintRect(Integer MaxWidth, const String &AHint, TObject *) {
  TRect r = Rect(0, 0, MaxWidth, 0);
  FCanvas.Font().Assign(Font());
  DrawTextW(FCanvas, AHint, r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  r.Right += 6;
  r.Bottom += 2;
  return r;
}

void THintWindow::ActivateHint(const TRect &Rect, const String &AHint) {
  ActivateHintData(Rect, AHint, nullptr);
}

void THintWindow::ActivateHintData(const TRect &Rect, const String &AHint, TObject *) {
  SetCaption(AHint);
  SetBoundsRect(Rect);
  Show();
}

void THintWindow::PaintTo(TCanvas &Canvas) {
  FPainted.clear();
  TWinControl::PaintTo(Canvas);
}

void THintWindow::Paint(TCanvas &Canvas) {
  TRect r = ClientRect();
  r.Left += 2;
  r.Top += 2;
  Canvas.Font().Assign(Font());
  Canvas.Font().SetColor(HintFont().Color());
  DrawHintText(Canvas, Caption(), r, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
}

void THintWindow::DrawHintText(TCanvas &Canvas, const String &Text, TRect &R, UINT Format) {
  if (!(Format & DT_CALCRECT))
    FPainted.push_back({Text, Canvas.Font().Style(), R});
  DrawTextW(Canvas, Text, R, Format);
}

// ---- TApplicationEvents --------------------------------------------------------------------

TApplicationEvents::TApplicationEvents(TComponent *AOwner) : TComponent(AOwner) {
  EventsList().Items.push_back(this);
}

TApplicationEvents::~TApplicationEvents() { std::erase(EventsList().Items, this); }

void TApplicationEvents::Activate() {
  auto &items = EventsList().Items;
  std::erase(items, this);
  items.insert(items.begin(), this);
}

void TApplicationEvents::CancelDispatch() { EventsList().Cancelled = true; }

// ---- ActivateHint --------------------------------------------------------------------------

THintResult ActivateHint(TControl *Control, TPoint CursorPos) {
  THintResult result;
  if (!Control)
    return result;
  DispatchInput(Control, [&] {
    TApplicationHints &settings = ApplicationHints();
    Integer pause = settings.HintPause;
    Control->Perform(CM_HINTSHOWPAUSE, 0, reinterpret_cast<LPARAM>(&pause));
    result.Pause = pause;

    const TPoint origin = Control->ClientToParentForm({0, 0});
    THintInfo &info = result.Info;
    info.HintControl = Control;
    info.HintWindowClass =
        settings.HintWindowClass ? settings.HintWindowClass : THintWindow::ClassRef();
    info.CursorPos = CursorPos;
    info.HintPos = {origin.X + CursorPos.X, origin.Y + CursorPos.Y + 20};
    info.HintMaxWidth = Screen ? Screen->PrimaryMonitor()->Width() : 1024;
    info.HintColor = settings.HintColor;
    info.CursorRect = Control->ClientRect();
    info.HideTimeout = settings.HintHidePause;
    info.HintStr = GetShortHint(GetHint(Control));

    bool canShow = settings.ShowHint && Control->ShowHint();
    if (canShow)
      canShow = Control->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) == 0;
    if (canShow)
      DoShowHint(info.HintStr, canShow, info);
    if (!canShow || info.HintStr.empty())
      return;

    std::unique_ptr<THintWindow> window = info.HintWindowClass->Create();
    TRect r = window->CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
    r = Rect(info.HintPos.X, info.HintPos.Y, info.HintPos.X + r.Width(),
             info.HintPos.Y + r.Height());
    window->SetColor(info.HintColor);
    window->ActivateHintData(r, info.HintStr, info.HintData);
    TCanvas canvas;
    window->PaintTo(canvas);
    result.Shown = true;
    result.WindowClass = info.HintWindowClass->ClassName;
    result.Rect = window->BoundsRect();
    result.Painted = window->Painted();
    result.Ops = canvas.Ops();
  });
  return result;
}

} // namespace krx
