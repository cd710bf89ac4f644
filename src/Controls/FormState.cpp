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

// Moves the form into the work area of its monitor, as far as its size allows.
void MakeFullyVisibleInWorkArea(TCustomForm &Form) {
  TMonitor *monitor = Form.Monitor();
  if (!monitor)
    return;
  const TRect area = monitor->WorkareaRect();
  Integer left = Form.Left(), top = Form.Top();
  if (left + Form.Width() > area.Right)
    left = area.Right - Form.Width();
  if (left < area.Left)
    left = area.Left;
  if (top + Form.Height() > area.Bottom)
    top = area.Bottom - Form.Height();
  if (top < area.Top)
    top = area.Top;
  Form.SetBounds(left, top, Form.Width(), Form.Height());
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
    left = ScaleForPixelsPerInch(screenPPI, def, LeftNorm);
    top = ScaleForPixelsPerInch(screenPPI, def, TopNorm);
    if (left == 0 && top == 0)
      left = Form.Left(), top = Form.Top();
    const bool ownSize = Sizeable && WidthNorm > 0 && HeightNorm > 0;
    width = ownSize ? ScaleForPixelsPerInch(screenPPI, def, WidthNorm) : Form.Width();
    height = ownSize ? ScaleForPixelsPerInch(screenPPI, def, HeightNorm) : Form.Height();
    TMonitor *monitor = Screen->MonitorFromRect(Rect(left, top, left + width, top + height));
    if (monitor) {
      // The size was normalised by the density of the monitor it was saved on: scale it
      // back by the density of the monitor it comes back to.
      if (ownSize && monitor->PixelsPerInch() != screenPPI) {
        width = ScaleForPixelsPerInch(monitor->PixelsPerInch(), def, WidthNorm);
        height = ScaleForPixelsPerInch(monitor->PixelsPerInch(), def, HeightNorm);
      }
      area = monitor->BoundsRect();
      margin = ScaleForPixelsPerInch(monitor->PixelsPerInch(), def, 32);
    } else {
      area = Screen->DesktopRect();
      margin = ScaleForPixelsPerInch(screenPPI, def, 32);
    }
  } else {
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
  MakeFullyVisibleInWorkArea(Form);
  return true;
}

} // namespace krx
