// Effects and conversions for PNG images with alpha: the two "disabled" looks of the PNG
// image list (alpha blended down, colours moved towards grey), drawing through them, and
// turning icons and bitmaps into PNG images whose alpha carries their transparency.
#pragma once

#include "Platform/Rtl/EnumSet.h"
#include "Platform/Vcl/Graphics.h"
#include "Platform/Vcl/PngImage.h"

namespace krx {

enum TPngOption : Byte { pngBlendOnDisabled, pngGrayscaleOnDisabled };
using TPngOptions = EnumSet<TPngOption>;

// The effect levels behind the options.
inline constexpr Byte kDisabledBlendLevel = 127;
inline constexpr Byte kDisabledGrayscaleAmount = 255;

// Scales the image's alpha by (Level + 1) / 256 (rounded half to even); the fully
// transparent colour of a single-colour-transparent image stays fully transparent. Grey and
// palette images become RGBA, RGB images get an alpha channel first.
void BlendPngAlpha(TPngImage &Image, Byte Level);
// Moves every colour towards its grey value (77 R + 150 G + 29 B) shr 8 by Amount / 255.
// Grey images are left as they are; a palette image changes its palette; an RGB image with
// a transparent colour becomes RGBA first, clear where that colour was.
void GrayscalePng(TPngImage &Image, Byte Amount);
// Applies the options' effects to the image itself: the blend first, then the grayscale.
void ApplyPngEffects(TPngImage &Image, TPngOptions Options);
// Draws the image into the rectangle, through a copy with the options' effects when there
// are any; the image itself is not changed.
void DrawPngWithEffects(const TPngImage &Image, TCanvas &Canvas, const TRect &ARect,
                        TPngOptions Options);

} // namespace krx
