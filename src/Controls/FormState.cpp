#include "Controls/FormState.h"

#include "Platform/Rtl/OSVersion.h"

#include <cmath>

namespace krx {

namespace {

bool IsDpiAwareForm(TCustomForm &Form) {
  if (TOSVersion::Major() <= 9)
    return false;
  return GetAwarenessFromDpiAwarenessContext(GetWindowDpiAwarenessContext(Form.Handle())) > 0;
}

bool IsSizeable(const TCustomForm &Form) {
  return Form.BorderStyle() == bsSizeable || Form.BorderStyle() == bsSizeToolWin;
}

// Kept positions and sizes beyond this many pixels are damage, not a place on any desktop;
// below it, scaling by any density and adding a size to a position stay in range.
constexpr double kMaxKeptCoordinate = 1 << 20;

bool Plausible(double Value) {
  return std::isfinite(Value) && std::fabs(Value) <= kMaxKeptCoordinate;
}

} // namespace

Integer ScaleForPixelsPerInch(Integer PixelsPerInch, Integer DefaultPixelsPerInch, double Value) {
  return static_cast<Integer>(std::nearbyint(PixelsPerInch * Value / DefaultPixelsPerInch));
}

void TFormState::Save(TCustomForm &Form) {
  IsDpiAware = IsDpiAwareForm(Form);
  Sizeable = IsSizeable(Form);
  if (!IsDpiAware) {
    Left = Form.Left();
    Top = Form.Top();
    Width = Form.Width();
    Height = Form.Height();
    return;
  }
  const Integer def = Screen->DefaultPixelsPerInch();
  double f = double(def) / Screen->PixelsPerInch();
  LeftNorm = Form.Left() * f;
  TopNorm = Form.Top() * f;
  if (TMonitor *m = Form.Monitor(); m && m->PixelsPerInch() != Screen->PixelsPerInch())
    f = double(def) / m->PixelsPerInch();
  WidthNorm = Form.Width() * f;
  HeightNorm = Form.Height() * f;
}

bool TFormState::Restore(TCustomForm &Form) {
  IsDpiAware = IsDpiAwareForm(Form);
  Sizeable = IsSizeable(Form);
  const Integer def = Screen->DefaultPixelsPerInch();
  const Integer screenPPI = Screen->PixelsPerInch();
  Integer left, top, width, height, margin;
  TRect area;
  if (IsDpiAware) {
    if (!Plausible(LeftNorm) || !Plausible(TopNorm) || !Plausible(WidthNorm) ||
        !Plausible(HeightNorm) || WidthNorm < 0 || HeightNorm < 0)
      return false;
    left = ScaleForPixelsPerInch(screenPPI, def, LeftNorm);
    top = ScaleForPixelsPerInch(screenPPI, def, TopNorm);
    if (left == 0 && top == 0)
      left = Form.Left(), top = Form.Top();
    // The size in the form's own density (the screen's for a form made on a monitor of the
    // system density): moved onto another monitor, the class library scales it from there.
    const bool ownSize = Sizeable && WidthNorm > 0 && HeightNorm > 0;
    width = ownSize ? ScaleForPixelsPerInch(Form.CurrentPPI(), def, WidthNorm) : Form.Width();
    height = ownSize ? ScaleForPixelsPerInch(Form.CurrentPPI(), def, HeightNorm) : Form.Height();
    TMonitor *monitor = Screen->MonitorFromRect(Rect(left, top, left + width, top + height));
    if (monitor) {
      area = monitor->BoundsRect();
      margin = ScaleForPixelsPerInch(monitor->PixelsPerInch(), def, 32);
    } else {
      area = Screen->DesktopRect();
      margin = ScaleForPixelsPerInch(screenPPI, def, 32);
    }
  } else {
    if (!Plausible(Left) || !Plausible(Top) || !Plausible(Width) || !Plausible(Height) ||
        Width < 0 || Height < 0)
      return false;
    left = Left;
    top = Top;
    if (left == 0 && top == 0)
      left = Form.Left(), top = Form.Top();
    const bool ownSize = Sizeable && Width > 0 && Height > 0;
    width = ownSize ? Width : Form.Width();
    height = ownSize ? Height : Form.Height();
    area = Screen->DesktopRect();
    margin = 32;
  }
  TRect overlap;
  if (!IntersectRect(overlap, Rect(left, top, left + width, top + height), area) ||
      overlap.Width() <= margin || overlap.Height() <= margin)
    return false;
  Form.SetBounds(left, top, width, height);
  Form.SetDefaultMonitor(dmDesktop);
  Form.MakeFullyVisible();
  return true;
}

} // namespace krx
