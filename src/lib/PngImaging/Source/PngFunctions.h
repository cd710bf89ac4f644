// Effects and conversions for PNG images with alpha: the two "disabled" looks of the PNG
// image list (alpha blended down, colours moved towards grey), drawing through them, and
// turning icons and bitmaps into PNG images whose alpha carries their transparency.
#pragma once

#include "Platform/Rtl/EnumSet.h"
#include "Platform/Vcl/Graphics.h"
#include "Platform/Vcl/Icons.h"
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

// Conversions into a PNG image with alpha; a nil destination is an assertion failure
// ("Dest is nil!"), a nil source leaves it as it is.
//
// A PNG image is copied. An icon gives its colours, clear where its mask is not black; a
// 32-bit colour bitmap brings its own alpha when any of it is not 0. A bitmap gives its
// colours, clear where a transparent bitmap has its transparent colour (the bottom-left
// pixel's in tmAuto) and opaque elsewhere. Anything else gives an empty image.
void IconToPngImage(const TPersistent *Source, TPngImage *Dest);
// The bitmap's colours with the red sample of the mask's pixel as alpha (complemented when
// InvertMask is set); a pixel outside a smaller mask is opaque.
void MaskedBitmapToPngImage(const TBitmap *Bitmap, const TBitmap *Mask, TPngImage *Dest,
                            bool InvertMask = false);
// The bitmap's colours, clear where the colour is TransparentColor and opaque elsewhere.
void BitmapToPngImage(const TBitmap *Bitmap, TColor TransparentColor, TPngImage *Dest);

} // namespace krx
