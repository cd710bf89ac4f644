// The class library's PNG image: an image held as 8-bit samples in its PNG colour type,
// read from and written to PNG streams, files and module resources through libpng.
//
// Reading keeps grey, grey with alpha, RGB and RGB with alpha images in their colour type;
// palette images become RGB (RGB with alpha when they have transparency), smaller bit depths
// are widened and 16-bit samples narrowed to 8 bits. Writing is deterministic (fixed
// compression, no time stamp), so an image written twice gives the same bytes.
#pragma once

#include "Platform/Rtl/Streams.h"
#include "Platform/Rtl/SysUtils.h"
#include "Platform/Rtl/System.h"
#include "Platform/Win/Kernel.h"

#include <memory>
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

class TPngImage : public TObject {
public:
  TPngImage() = default;
  // A blank image (every sample 0) of a colour type that this class stores (grey, grey with
  // alpha, RGB, RGB with alpha) at bit depth 8; other values raise EPNGError.
  static std::unique_ptr<TPngImage> CreateBlank(Byte colorType, Integer bitDepth, Integer width,
                                                Integer height);

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

  // The pixel at (x, y); grey samples give equal red, green and blue, images without alpha
  // an alpha of 255. A place outside the image raises EPNGError.
  TPngPixel Pixel(Integer x, Integer y) const;
  // Stores the pixel in the image's colour type (grey takes the red sample; alpha is dropped
  // by types without it).
  void SetPixel(Integer x, Integer y, const TPngPixel &pixel);
  // The samples of one row, as PNG orders them.
  const Byte *Scanline(Integer y) const;
  Byte *Scanline(Integer y);

private:
  Integer Channels() const;
  std::size_t Offset(Integer x, Integer y) const;

  Integer FWidth = 0;
  Integer FHeight = 0;
  Byte FColorType = COLOR_RGBALPHA;
  std::vector<Byte> FData; // rows top to bottom, Channels() bytes per pixel
};

} // namespace krx
