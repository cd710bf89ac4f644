#include "Controls/FormState.h"

namespace krx {

namespace {

// How much of a restored form must overlap the desktop, in both directions.
constexpr Integer kVisibleMargin = 32;
// Kept positions and sizes beyond this many pixels are damage, not a place on any desktop;
// below it, adding a size to a position cannot overflow.
constexpr Integer kMaxKeptCoordinate = 1 << 20;

bool Plausible(Integer Value) {
  return Value >= -kMaxKeptCoordinate && Value <= kMaxKeptCoordinate;
}

bool IsSizeable(const TCustomForm &Form) {
  return Form.BorderStyle() == bsSizeable || Form.BorderStyle() == bsSizeToolWin;
}

} // namespace

void TFormState::Save(TCustomForm &Form) {
  Left = Form.Left();
  Top = Form.Top();
  Width = Form.Width();
  Height = Form.Height();
  Sizeable = IsSizeable(Form);
}

bool TFormState::Restore(TCustomForm &Form) {
  Sizeable = IsSizeable(Form);
  if (!Plausible(Left) || !Plausible(Top) || !Plausible(Width) || !Plausible(Height) || Width < 0 ||
      Height < 0)
    return false;
  const bool ownSize = Sizeable && Width >= 1 && Height >= 1;
  const Integer width = ownSize ? Width : Form.Width();
  const Integer height = ownSize ? Height : Form.Height();
  TRect overlap;
  if (!IntersectRect(overlap, Rect(Left, Top, Left + width, Top + height), Screen->DesktopRect()) ||
      overlap.Width() <= kVisibleMargin || overlap.Height() <= kVisibleMargin)
    return false;
  Form.SetBounds(Left, Top, width, height);
  Form.SetDefaultMonitor(dmDesktop);
  Form.MakeFullyVisible();
  return true;
}

} // namespace krx
