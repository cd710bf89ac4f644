// Graphic helpers of the class library that draw on a canvas: the colour gradient.
#pragma once

#include "Platform/Vcl/Graphics.h"

namespace krx {

enum TGradientDirection { gdHorizontal, gdVertical };

// Fills Rect with a gradient from StartColor (top row or left column) to EndColor (bottom row or
// right column): one fill per row (vertical) or column (horizontal), in the colour between the
// two at its place. The canvas's brush is left as it was.
void GradientFillCanvas(TCanvas &Canvas, TColor StartColor, TColor EndColor, const TRect &Rect,
                        TGradientDirection Direction);

} // namespace krx
