#include "Platform/Vcl/GraphUtil.h"

#include <algorithm>

namespace krx {

namespace {

// The colour Step / Steps of the way from one RGB colour to the other, channel by channel.
TColor Between(TColor From, TColor To, Integer Step, Integer Steps) {
  TColor out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const Integer a = (From >> shift) & 0xFF, b = (To >> shift) & 0xFF;
    out |= static_cast<TColor>(a + (b - a) * Step / Steps) << shift;
  }
  return out;
}

} // namespace

void GradientFillCanvas(TCanvas &Canvas, TColor StartColor, TColor EndColor, const TRect &Rect,
                        TGradientDirection Direction) {
  const TColor from = ColorToRGB(StartColor), to = ColorToRGB(EndColor);
  const bool vertical = Direction == gdVertical;
  const Integer count = vertical ? Rect.Height() : Rect.Width();
  const TColor saved = Canvas.Brush().Color;
  for (Integer i = 0; i < count; ++i) {
    Canvas.Brush().Color = Between(from, to, i, std::max<Integer>(count - 1, 1));
    Canvas.FillRect(vertical ? krx::Rect(Rect.Left, Rect.Top + i, Rect.Right, Rect.Top + i + 1)
                             : krx::Rect(Rect.Left + i, Rect.Top, Rect.Left + i + 1, Rect.Bottom));
  }
  Canvas.Brush().Color = saved;
}

} // namespace krx
