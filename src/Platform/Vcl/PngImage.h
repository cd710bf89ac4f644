// The class library's PNG image: an image held as 8-bit samples in its PNG colour type,
// read from and written to PNG streams, files and module resources through libpng.
//
// Reading keeps every colour type: grey, RGB, palette, grey with alpha and RGB with alpha.
// A palette image keeps its palette (with the alpha of its transparency chunk) and one index
// byte per pixel; a grey or RGB image keeps its single transparent colour. Smaller bit depths
// are widened and 16-bit samples narrowed to 8 bits. Writing is deterministic (fixed
// compression, no time stamp), so an image written twice gives the same bytes.
#pragma once

#include "Platform/Rtl/Classes.h"
#include "Platform/Rtl/Streams.h"
#include "Platform/Rtl/SysUtils.h"
#include "Platform/Vcl/Graphics.h"
#include "Platform/Rtl/System.h"
#include "Platform/Win/Kernel.h"

#include <memory>
#include <optional>
#include <vector>

namespace krx {

KRX_DECLARE_EXCEPTION(EPNGError, Exception);

// PNG colour types.
inline constexpr Byte COLOR_GRAYSCALE = 0;
inline constexpr Byte COLOR_RGB = 2;
inline constexpr Byte COLOR_PALETTE = 3;
inline constexpr Byte COLOR_GRAYSCALEALPHA = 4;
inline constexpr Byte COLOR_RGBALPHA = 6;

// Limits on images read from outside: a header that announces more is refused before any
// pixel memory is taken.
inline constexpr Integer kMaxPngDimension = 16384;
inline constexpr Int64 kMaxPngPixels = Int64{1} << 26; // 64 Mi pixels, 256 MiB as RGBA
// A PNG stream larger than this is refused before it is read into memory.
inline constexpr Int64 kMaxPngStreamSize = Int64{1} << 28;

// One pixel as red, green, blue and alpha samples.
struct TPngPixel {
  Byte R = 0, G = 0, B = 0, A = 255;
  friend bool operator==(const TPngPixel &, const TPngPixel &) = default;
};

// How an image is transparent: not at all, by one colour that is fully transparent (a grey
// or RGB image's transparent colour, a palette whose entries are only opaque or clear), or by
// alpha values (an alpha channel, a palette with partly transparent entries).
enum TPNGTransparencyMode { ptmNone, ptmBit, ptmPartial };

class TPngImage : public TPersistent {
public:
  TPngImage() = default;
  // A blank image (every sample 0) of a PNG colour type at bit depth 8; other values raise
  // EPNGError. A palette image starts with one opaque black entry.
  static std::unique_ptr<TPngImage> CreateBlank(Byte colorType, Integer bitDepth, Integer width,
                                                Integer height);

  // Copies another PNG image (size, colour type, samples, palette, transparent colour), or
  // the colours of a bitmap as an RGB image (its alpha is not taken).
  using TPersistent::Assign;
  void Assign(const TPersistent *Source) override;

  // Replaces the image with the PNG read from the stream's position to its end. Malformed or
  // oversized data raises EPNGError and leaves the image as it was.
  void LoadFromStream(TStream &stream);
  void LoadFromFile(const String &fileName);
  // Reads the RCDATA resource of that name in the module; EResNotFound when it is missing.
  void LoadFromResourceName(HINSTANCE instance, const String &name);
  // Writes the image as PNG at the stream's position. An empty image raises EPNGError.
  void SaveToStream(TStream &stream) const;
  void SaveToFile(const String &fileName) const;

  bool Empty() const { return FWidth == 0 || FHeight == 0; }
  Integer Width() const { return FWidth; }
  Integer Height() const { return FHeight; }
  Byte ColorType() const { return FColorType; }
  Byte BitDepth() const { return 8; }
  bool HasAlpha() const {
    return FColorType == COLOR_RGBALPHA || FColorType == COLOR_GRAYSCALEALPHA;
  }

  // The pixel at (x, y): grey samples give equal red, green and blue; a palette pixel is
  // its entry (black for an index past the palette's end); images without alpha give an
  // alpha of 255, also where the transparent colour is (see TransparencyMode). A place
  // outside the image raises EPNGError.
  TPngPixel Pixel(Integer x, Integer y) const;
  // Stores the pixel in the image's colour type (grey takes the red sample; alpha is dropped
  // by types without it). A palette image's pixels are set through Scanline: EPNGError.
  void SetPixel(Integer x, Integer y, const TPngPixel &pixel);
  // The samples of one row, as PNG orders them (a palette image: one index per pixel).
  const Byte *Scanline(Integer y) const;
  Byte *Scanline(Integer y);
  // Bytes per pixel in Scanline: 1 grey or palette, 2 grey with alpha, 3 RGB, 4 RGBA.
  Integer Channels() const;

  TPNGTransparencyMode TransparencyMode() const;
  // The fully transparent colour of a ptmBit image (alpha 255); none otherwise.
  std::optional<TPngPixel> TransparentColor() const;
  // Makes the colour (red as the grey sample) the transparent colour of a grey or RGB image,
  // or clears it; other colour types raise EPNGError.
  void SetTransparentColor(std::optional<TPngPixel> color);

  // Palette entries with the alpha of the transparency chunk; empty unless COLOR_PALETTE.
  const std::vector<TPngPixel> &Palette() const { return FPalette; }
  // Sets the palette (1 to 256 entries) of a palette image; EPNGError otherwise.
  void SetPalette(std::vector<TPngPixel> palette);

  // Draws the image stretched into the rectangle: the canvas records it as an image
  // ("TPngImage", index -1). An empty image draws nothing.
  void Draw(TCanvas &ACanvas, const TRect &Rect) const;

  // Gives the image an alpha channel: grey becomes grey with alpha and RGB becomes RGBA, every
  // pixel opaque (the transparent colour is dropped); a palette image becomes RGBA with its
  // entries' alpha. Images that have one already are left as they are.
  void CreateAlpha();

private:
  std::size_t Offset(Integer x, Integer y) const;

  Integer FWidth = 0;
  Integer FHeight = 0;
  Byte FColorType = COLOR_RGBALPHA;
  std::vector<Byte> FData; // rows top to bottom, Channels() bytes per pixel
  std::vector<TPngPixel> FPalette;
  std::optional<TPngPixel> FTransparent; // grey and RGB images only
};

} // namespace krx
