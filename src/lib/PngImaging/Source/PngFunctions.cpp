#include "lib/PngImaging/Source/PngFunctions.h"

namespace krx {

namespace {

bool SameColour(const TPngPixel &a, const TPngPixel &b) {
  return a.R == b.R && a.G == b.G && a.B == b.B;
}

// Round(Alpha * (Level + 1) / 256) with the run-time library's rounding: halves go to the
// even neighbour, so 255 at level 127 (127.5) becomes 128.
Byte ScaledAlpha(Byte Alpha, Byte Level) {
  const unsigned product = unsigned{Alpha} * (unsigned{Level} + 1);
  unsigned result = product >> 8;
  const unsigned rest = product & 0xFF;
  if (rest > 128 || (rest == 128 && (result & 1) != 0))
    ++result;
  return static_cast<Byte>(result);
}

Byte GrayOf(Byte R, Byte G, Byte B) {
  return static_cast<Byte>((77u * R + 150u * G + 29u * B) >> 8);
}

Byte Towards(Byte Channel, Byte Gray, Byte Amount) {
  return static_cast<Byte>(((255u - Amount) * Channel + unsigned{Amount} * Gray + 128) >> 8);
}

void GrayscaleSamples(Byte &R, Byte &G, Byte &B, Byte Amount) {
  const Byte gray = GrayOf(R, G, B);
  R = Towards(R, gray, Amount);
  G = Towards(G, gray, Amount);
  B = Towards(B, gray, Amount);
}

DWORD RgbOf(DWORD Pixel) { return Pixel & 0x00FFFFFFu; }

// A class-library colour (0x00BBGGRR, system colours resolved) as a bitmap's 0x00RRGGBB.
DWORD BitmapRgb(TColor Color) {
  const auto c = static_cast<DWORD>(ColorToRGB(Color));
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// Dest := the bitmap's colours with an alpha channel from AlphaOf(x, y).
template <typename F> void BitmapWithAlpha(const TBitmap &Bitmap, TPngImage &Dest, F AlphaOf) {
  Dest.Assign(&Bitmap);
  Dest.CreateAlpha();
  for (Integer y = 0; y < Dest.Height(); ++y)
    for (Integer x = 0; x < Dest.Width(); ++x) {
      TPngPixel p = Dest.Pixel(x, y);
      p.A = AlphaOf(x, y);
      Dest.SetPixel(x, y, p);
    }
}

} // namespace

void IconToPngImage(const TPersistent *Source, TPngImage *Dest) {
  KR_ASSERT(Dest && "Dest is nil!");
  if (const auto *png = dynamic_cast<const TPngImage *>(Source)) {
    Dest->Assign(png);
    return;
  }
  TBitmap colours(0, 0, pf24bit);
  std::vector<Byte> alpha;
  bool transparency = false;
  ICONINFO info;
  if (const auto *icon = dynamic_cast<const TIcon *>(Source)) {
    if (GetIconInfo(icon->Handle(), &info)) {
      const TBitmap &color = *TBitmap::FromHandle(info.hbmColor);
      const TBitmap &mask = *TBitmap::FromHandle(info.hbmMask);
      colours.SetSize(color.Width(), color.Height());
      alpha.assign(static_cast<std::size_t>(color.Width()) * color.Height(), 255);
      bool ownAlpha = false;
      for (Integer y = 0; y < color.Height(); ++y)
        for (Integer x = 0; x < color.Width(); ++x) {
          const DWORD p = color.Pixel(x, y);
          colours.SetPixel(x, y, p);
          ownAlpha = ownAlpha || (p >> 24) != 0;
          if (RgbOf(mask.Pixel(x, y)) != 0) {
            alpha[static_cast<std::size_t>(y) * color.Width() + x] = 0;
            transparency = true;
          }
        }
      if (color.PixelFormat() == pf32bit || color.PixelFormat() == pfDevice) {
        transparency = true;
        if (ownAlpha)
          for (Integer y = 0; y < color.Height(); ++y)
            for (Integer x = 0; x < color.Width(); ++x)
              alpha[static_cast<std::size_t>(y) * color.Width() + x] =
                  static_cast<Byte>(color.Pixel(x, y) >> 24);
      }
    }
  } else if (const auto *bitmap = dynamic_cast<const TBitmap *>(Source)) {
    colours.Assign(bitmap);
    if (bitmap->Transparent() && !bitmap->Empty()) {
      const DWORD clear = BitmapRgb(bitmap->TransparentColor());
      alpha.assign(static_cast<std::size_t>(bitmap->Width()) * bitmap->Height(), 255);
      for (Integer y = 0; y < bitmap->Height(); ++y)
        for (Integer x = 0; x < bitmap->Width(); ++x)
          if (RgbOf(bitmap->Pixel(x, y)) == clear) {
            alpha[static_cast<std::size_t>(y) * bitmap->Width() + x] = 0;
            transparency = true;
          }
    }
  }
  Dest->Assign(&colours);
  if (!transparency)
    return;
  Dest->CreateAlpha();
  for (Integer y = 0; y < Dest->Height(); ++y)
    for (Integer x = 0; x < Dest->Width(); ++x) {
      TPngPixel p = Dest->Pixel(x, y);
      p.A = alpha[static_cast<std::size_t>(y) * Dest->Width() + x];
      Dest->SetPixel(x, y, p);
    }
}

void MaskedBitmapToPngImage(const TBitmap *Bitmap, const TBitmap *Mask, TPngImage *Dest,
                            bool InvertMask) {
  KR_ASSERT(Dest && "Dest is nil!");
  if (!Bitmap)
    return;
  BitmapWithAlpha(*Bitmap, *Dest, [&](Integer x, Integer y) -> Byte {
    if (!Mask || x >= Mask->Width() || y >= Mask->Height())
      return 255;
    const auto red = static_cast<Byte>(Mask->Pixel(x, y) >> 16);
    return InvertMask ? static_cast<Byte>(255 - red) : red;
  });
}

void BitmapToPngImage(const TBitmap *Bitmap, TColor TransparentColor, TPngImage *Dest) {
  KR_ASSERT(Dest && "Dest is nil!");
  if (!Bitmap)
    return;
  const DWORD clear = BitmapRgb(TransparentColor);
  BitmapWithAlpha(*Bitmap, *Dest, [&](Integer x, Integer y) -> Byte {
    return RgbOf(Bitmap->Pixel(x, y)) == clear ? 0 : 255;
  });
}

void BlendPngAlpha(TPngImage &Image, Byte Level) {
  if (Image.Empty())
    return;
  const std::optional<TPngPixel> transparent = Image.TransparentColor();
  const auto isTransparent = [&](const TPngPixel &p) {
    return transparent && SameColour(p, *transparent);
  };
  const Byte type = Image.ColorType();
  if (type == COLOR_GRAYSCALE || type == COLOR_PALETTE) {
    auto blended = TPngImage::CreateBlank(COLOR_RGBALPHA, 8, Image.Width(), Image.Height());
    for (Integer y = 0; y < Image.Height(); ++y)
      for (Integer x = 0; x < Image.Width(); ++x) {
        TPngPixel p = Image.Pixel(x, y);
        // A palette entry that is not opaque keeps its own share of transparency, so the
        // clear entries of a palette do not turn visible.
        p.A = isTransparent(p) ? 0 : p.A == 255 ? Level : ScaledAlpha(p.A, Level);
        blended->SetPixel(x, y, p);
      }
    Image.Assign(blended.get());
    return;
  }
  Image.CreateAlpha();
  for (Integer y = 0; y < Image.Height(); ++y)
    for (Integer x = 0; x < Image.Width(); ++x) {
      TPngPixel p = Image.Pixel(x, y);
      p.A = isTransparent(p) ? 0 : ScaledAlpha(p.A, Level);
      Image.SetPixel(x, y, p);
    }
}

void GrayscalePng(TPngImage &Image, Byte Amount) {
  const Byte type = Image.ColorType();
  if (Image.Empty() || type == COLOR_GRAYSCALE || type == COLOR_GRAYSCALEALPHA)
    return;
  if (type == COLOR_PALETTE) {
    std::vector<TPngPixel> palette = Image.Palette();
    for (TPngPixel &entry : palette)
      GrayscaleSamples(entry.R, entry.G, entry.B, Amount);
    Image.SetPalette(std::move(palette));
    return;
  }
  if (const std::optional<TPngPixel> transparent = Image.TransparentColor()) {
    // Greyed pixels would no longer match the transparent colour (and others might come to
    // match it): carry the transparency into an alpha channel first.
    Image.CreateAlpha();
    for (Integer y = 0; y < Image.Height(); ++y)
      for (Integer x = 0; x < Image.Width(); ++x) {
        TPngPixel p = Image.Pixel(x, y);
        if (SameColour(p, *transparent)) {
          p.A = 0;
          Image.SetPixel(x, y, p);
        }
      }
  }
  const Integer channels = Image.Channels();
  for (Integer y = 0; y < Image.Height(); ++y) {
    Byte *p = Image.Scanline(y);
    for (Integer x = 0; x < Image.Width(); ++x, p += channels)
      GrayscaleSamples(p[0], p[1], p[2], Amount);
  }
}

void ApplyPngEffects(TPngImage &Image, TPngOptions Options) {
  if (Options.Contains(pngBlendOnDisabled))
    BlendPngAlpha(Image, kDisabledBlendLevel);
  if (Options.Contains(pngGrayscaleOnDisabled))
    GrayscalePng(Image, kDisabledGrayscaleAmount);
}

void DrawPngWithEffects(const TPngImage &Image, TCanvas &Canvas, const TRect &ARect,
                        TPngOptions Options) {
  if (Options.Empty()) {
    Image.Draw(Canvas, ARect);
    return;
  }
  TPngImage copy;
  copy.Assign(&Image);
  ApplyPngEffects(copy, Options);
  copy.Draw(Canvas, ARect);
}

} // namespace krx
