#include "Platform/Vcl/PngImage.h"

#include "Platform/Rtl/Encoding.h"
#include "Platform/Vcl/Resources.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <png.h>

namespace krx {

namespace {

// libpng reports errors by longjmp. The functions below that call it keep only trivially
// destructible locals between setjmp and the calls, and collect their results in structures
// owned by the caller, so the jump skips no destructor; the caller raises the exception.

struct TPngError {
  char Message[200] = "";
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
  auto *error = static_cast<TPngError *>(png_get_error_ptr(png));
  std::snprintf(error->Message, sizeof error->Message, "%s", message ? message : "unknown");
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

struct TReadSource {
  const Byte *Data;
  std::size_t Size;
  std::size_t Position;
};

void ReadFromSource(png_structp png, png_bytep out, png_size_t count) {
  auto *source = static_cast<TReadSource *>(png_get_io_ptr(png));
  if (count > source->Size - source->Position)
    png_error(png, "unexpected end of data");
  std::memcpy(out, source->Data + source->Position, count);
  source->Position += count;
}

struct TDecoded {
  png_uint_32 Width = 0;
  png_uint_32 Height = 0;
  int ColorType = 0;
  std::vector<Byte> *Pixels = nullptr; // sized by DecodePng once the header is checked
  std::vector<png_bytep> *Rows = nullptr;
  TPngPixel Palette[256];
  int PaletteCount = 0;
  bool HasTransparent = false;
  TPngPixel Transparent; // the grey or RGB transparent colour, as 8-bit samples
};

// A transparent-colour sample of the file's bit depth as the 8-bit sample the pixels become.
Byte WidenedSample(png_uint_16 value, int bitDepth) {
  if (bitDepth == 16)
    return static_cast<Byte>(value >> 8);
  if (bitDepth < 8)
    return static_cast<Byte>((value & ((1u << bitDepth) - 1)) * 255u / ((1u << bitDepth) - 1));
  return static_cast<Byte>(value);
}

bool DecodePng(const Byte *data, std::size_t size, TDecoded &out, TPngError &error) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, OnPngError, OnPngWarning);
  if (!png) {
    std::snprintf(error.Message, sizeof error.Message, "out of memory");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  TReadSource source{data, size, 0};
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (!error.Message[0])
      std::snprintf(error.Message, sizeof error.Message, "out of memory");
    return false;
  }
  png_set_read_fn(png, &source, ReadFromSource);
  png_set_user_limits(png, kMaxPngDimension, kMaxPngDimension);
  png_set_chunk_malloc_max(png, 8u << 20);
  png_read_info(png, info);

  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (static_cast<Int64>(width) * height > kMaxPngPixels)
    png_error(png, "image too large");
  const int colorType = png_get_color_type(png, info);
  const int bitDepth = png_get_bit_depth(png, info);
  png_bytep transAlpha = nullptr;
  int transCount = 0;
  png_color_16p transColor = nullptr;
  const bool hasTrans =
      png_get_tRNS(png, info, &transAlpha, &transCount, &transColor) & PNG_INFO_tRNS;
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    png_colorp palette = nullptr;
    int count = 0;
    if (!(png_get_PLTE(png, info, &palette, &count) & PNG_INFO_PLTE) || count < 1)
      png_error(png, "palette image without palette");
    out.PaletteCount = count > 256 ? 256 : count;
    for (int i = 0; i < out.PaletteCount; ++i)
      out.Palette[i] = {palette[i].red, palette[i].green, palette[i].blue,
                        static_cast<Byte>(hasTrans && transAlpha && i < transCount ? transAlpha[i]
                                                                                   : 255)};
    if (bitDepth < 8)
      png_set_packing(png);
  } else if (hasTrans && transColor && (colorType & PNG_COLOR_MASK_ALPHA) == 0) {
    out.HasTransparent = true;
    if (colorType == PNG_COLOR_TYPE_GRAY) {
      const Byte g = WidenedSample(transColor->gray, bitDepth);
      out.Transparent = {g, g, g, 255};
    } else {
      out.Transparent = {WidenedSample(transColor->red, bitDepth),
                         WidenedSample(transColor->green, bitDepth),
                         WidenedSample(transColor->blue, bitDepth), 255};
    }
  }
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
    png_set_expand_gray_1_2_4_to_8(png);
  if (bitDepth == 16)
    png_set_strip_16(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  out.Width = width;
  out.Height = height;
  out.ColorType = png_get_color_type(png, info);
  const png_size_t rowBytes = png_get_rowbytes(png, info);
  if (rowBytes != width * static_cast<png_size_t>(png_get_channels(png, info)))
    png_error(png, "unexpected sample layout");
  out.Pixels->assign(rowBytes * height, 0);
  out.Rows->resize(height);
  for (png_uint_32 y = 0; y < height; ++y)
    (*out.Rows)[y] = out.Pixels->data() + rowBytes * y;
  png_read_image(png, out.Rows->data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

void WriteToVector(png_structp png, png_bytep data, png_size_t count) {
  auto *out = static_cast<std::vector<Byte> *>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + count);
}

void FlushNothing(png_structp) {}

// What EncodePng writes besides the rows: the palette with its alpha, or the transparent
// colour of a grey or RGB image.
struct TEncodeExtras {
  png_color Palette[256];
  Byte PaletteAlpha[256];
  int PaletteCount = 0;
  int PaletteAlphaCount = 0; // entries up to the last that is not opaque
  bool HasTransparent = false;
  png_color_16 Transparent{};
};

bool EncodePng(png_uint_32 width, png_uint_32 height, int colorType, png_bytep *rows,
               const TEncodeExtras &extras, std::vector<Byte> &out, TPngError &error) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, OnPngError, OnPngWarning);
  if (!png) {
    std::snprintf(error.Message, sizeof error.Message, "out of memory");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    if (!error.Message[0])
      std::snprintf(error.Message, sizeof error.Message, "out of memory");
    return false;
  }
  png_set_write_fn(png, &out, WriteToVector, FlushNothing);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, width, height, 8, colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    png_set_PLTE(png, info, extras.Palette, extras.PaletteCount);
    if (extras.PaletteAlphaCount > 0)
      png_set_tRNS(png, info, extras.PaletteAlpha, extras.PaletteAlphaCount, nullptr);
  } else if (extras.HasTransparent) {
    png_set_tRNS(png, info, nullptr, 0, &extras.Transparent);
  }
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

Integer ChannelsOf(Byte colorType) {
  switch (colorType) {
  case COLOR_GRAYSCALE:
  case COLOR_PALETTE:
    return 1;
  case COLOR_GRAYSCALEALPHA:
    return 2;
  case COLOR_RGB:
    return 3;
  case COLOR_RGBALPHA:
    return 4;
  default:
    return 0;
  }
}

} // namespace

std::unique_ptr<TPngImage> TPngImage::CreateBlank(Byte colorType, Integer bitDepth, Integer width,
                                                  Integer height) {
  if (ChannelsOf(colorType) == 0 || bitDepth != 8)
    throw EPNGError(Format(u"Unsupported PNG format: colour type %d, bit depth %d",
                           {Integer{colorType}, bitDepth}));
  if (width <= 0 || height <= 0 || width > kMaxPngDimension || height > kMaxPngDimension)
    throw EPNGError(Format(u"Invalid PNG size %d x %d", {width, height}));
  auto image = std::make_unique<TPngImage>();
  image->FWidth = width;
  image->FHeight = height;
  image->FColorType = colorType;
  image->FData.assign(static_cast<std::size_t>(width) * height * ChannelsOf(colorType), 0);
  if (colorType == COLOR_PALETTE)
    image->FPalette.assign(1, TPngPixel{});
  return image;
}

void TPngImage::Assign(const TPersistent *Source) {
  if (const auto *bitmap = dynamic_cast<const TBitmap *>(Source)) {
    FWidth = bitmap->Width();
    FHeight = bitmap->Height();
    FColorType = COLOR_RGB;
    FPalette.clear();
    FTransparent.reset();
    FData.assign(static_cast<std::size_t>(FWidth) * FHeight * 3, 0);
    Byte *out = FData.data();
    for (Integer y = 0; y < FHeight; ++y) {
      const DWORD *row = bitmap->ScanLine(y);
      for (Integer x = 0; x < FWidth; ++x, out += 3) {
        out[0] = static_cast<Byte>(row[x] >> 16);
        out[1] = static_cast<Byte>(row[x] >> 8);
        out[2] = static_cast<Byte>(row[x]);
      }
    }
    return;
  }
  const auto *png = dynamic_cast<const TPngImage *>(Source);
  if (!png) {
    TPersistent::Assign(Source);
    return;
  }
  if (png == this)
    return;
  FWidth = png->FWidth;
  FHeight = png->FHeight;
  FColorType = png->FColorType;
  FData = png->FData;
  FPalette = png->FPalette;
  FTransparent = png->FTransparent;
}

void TPngImage::LoadFromStream(TStream &stream) {
  const Int64 size = stream.Size() - stream.Position();
  if (size > kMaxPngStreamSize)
    throw EPNGError(u"Invalid PNG data: stream too large");
  std::vector<Byte> bytes(static_cast<std::size_t>(std::max<Int64>(size, 0)));
  if (!bytes.empty())
    stream.ReadBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  std::vector<Byte> pixels;
  std::vector<png_bytep> rows;
  TDecoded decoded;
  decoded.Pixels = &pixels;
  decoded.Rows = &rows;
  TPngError error;
  if (!DecodePng(bytes.data(), bytes.size(), decoded, error))
    throw EPNGError(u"Invalid PNG data: " + Utf8ToString(error.Message));
  FWidth = static_cast<Integer>(decoded.Width);
  FHeight = static_cast<Integer>(decoded.Height);
  FColorType = static_cast<Byte>(decoded.ColorType);
  FData = std::move(pixels);
  FPalette.assign(decoded.Palette, decoded.Palette + decoded.PaletteCount);
  if (FColorType == COLOR_PALETTE) {
    // Indexes past the palette's end read as opaque black; the palette grows to hold them,
    // so the image can be written again (libpng refuses to write such indexes).
    const Byte highest = FData.empty() ? 0 : *std::max_element(FData.begin(), FData.end());
    if (highest >= FPalette.size())
      FPalette.resize(std::size_t{highest} + 1, TPngPixel{});
  }
  FTransparent.reset();
  if (decoded.HasTransparent)
    FTransparent = decoded.Transparent;
}

void TPngImage::LoadFromFile(const String &fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TPngImage::LoadFromResourceName(HINSTANCE instance, const String &name) {
  TResourceStream stream(instance, name, RT_RCDATA);
  LoadFromStream(stream);
}

void TPngImage::SaveToStream(TStream &stream) const {
  if (Empty())
    throw EPNGError(u"Cannot save an empty PNG image");
  std::vector<png_bytep> rows(static_cast<std::size_t>(FHeight));
  auto *data = const_cast<Byte *>(FData.data()); // libpng's row type is not const
  for (Integer y = 0; y < FHeight; ++y)
    rows[static_cast<std::size_t>(y)] = data + Offset(0, y);
  TEncodeExtras extras;
  if (FColorType == COLOR_PALETTE) {
    extras.PaletteCount = static_cast<int>(FPalette.size());
    for (std::size_t i = 0; i < FPalette.size(); ++i) {
      extras.Palette[i] = {FPalette[i].R, FPalette[i].G, FPalette[i].B};
      extras.PaletteAlpha[i] = FPalette[i].A;
      if (FPalette[i].A != 255)
        extras.PaletteAlphaCount = static_cast<int>(i) + 1;
    }
  } else if (FTransparent) {
    extras.HasTransparent = true;
    extras.Transparent.gray = FTransparent->R;
    extras.Transparent.red = FTransparent->R;
    extras.Transparent.green = FTransparent->G;
    extras.Transparent.blue = FTransparent->B;
  }
  std::vector<Byte> out;
  TPngError error;
  if (!EncodePng(static_cast<png_uint_32>(FWidth), static_cast<png_uint_32>(FHeight), FColorType,
                 rows.data(), extras, out, error))
    throw EPNGError(u"Cannot write PNG: " + Utf8ToString(error.Message));
  stream.WriteBuffer(out.data(), static_cast<Integer>(out.size()));
}

void TPngImage::SaveToFile(const String &fileName) const {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(stream);
}

Integer TPngImage::Channels() const { return ChannelsOf(FColorType); }

std::size_t TPngImage::Offset(Integer x, Integer y) const {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight)
    throw EPNGError(Format(u"Pixel (%d, %d) outside the image", {x, y}));
  return (static_cast<std::size_t>(y) * FWidth + x) * Channels();
}

TPngPixel TPngImage::Pixel(Integer x, Integer y) const {
  const Byte *p = FData.data() + Offset(x, y);
  switch (FColorType) {
  case COLOR_GRAYSCALE:
    return {p[0], p[0], p[0], 255};
  case COLOR_GRAYSCALEALPHA:
    return {p[0], p[0], p[0], p[1]};
  case COLOR_RGB:
    return {p[0], p[1], p[2], 255};
  case COLOR_PALETTE:
    return p[0] < FPalette.size() ? FPalette[p[0]] : TPngPixel{};
  default:
    return {p[0], p[1], p[2], p[3]};
  }
}

void TPngImage::SetPixel(Integer x, Integer y, const TPngPixel &pixel) {
  Byte *p = FData.data() + Offset(x, y);
  const Byte samples[4] = {pixel.R, pixel.G, pixel.B, pixel.A};
  switch (FColorType) {
  case COLOR_GRAYSCALE:
    p[0] = pixel.R;
    break;
  case COLOR_GRAYSCALEALPHA:
    p[0] = pixel.R;
    p[1] = pixel.A;
    break;
  case COLOR_PALETTE:
    throw EPNGError(u"A palette image's pixels are set by their palette index");
  default:
    std::memcpy(p, samples, static_cast<std::size_t>(Channels()));
  }
}

TPNGTransparencyMode TPngImage::TransparencyMode() const {
  if (HasAlpha())
    return ptmPartial;
  if (FColorType != COLOR_PALETTE)
    return FTransparent ? ptmBit : ptmNone;
  TPNGTransparencyMode mode = ptmNone;
  for (const TPngPixel &entry : FPalette) {
    if (entry.A != 0 && entry.A != 255)
      return ptmPartial;
    if (entry.A == 0)
      mode = ptmBit;
  }
  return mode;
}

std::optional<TPngPixel> TPngImage::TransparentColor() const {
  if (TransparencyMode() != ptmBit)
    return std::nullopt;
  if (FColorType != COLOR_PALETTE)
    return FTransparent;
  for (TPngPixel entry : FPalette)
    if (entry.A == 0) {
      entry.A = 255;
      return entry;
    }
  return std::nullopt;
}

void TPngImage::SetTransparentColor(std::optional<TPngPixel> color) {
  if (FColorType != COLOR_GRAYSCALE && FColorType != COLOR_RGB)
    throw EPNGError(u"Only grey and RGB images have a transparent colour");
  if (color) {
    color->A = 255;
    if (FColorType == COLOR_GRAYSCALE)
      color->G = color->B = color->R;
  }
  FTransparent = color;
}

void TPngImage::SetPalette(std::vector<TPngPixel> palette) {
  if (FColorType != COLOR_PALETTE)
    throw EPNGError(u"Only palette images have a palette");
  if (palette.empty() || palette.size() > 256)
    throw EPNGError(Format(u"Invalid palette size %d", {static_cast<Integer>(palette.size())}));
  FPalette = std::move(palette);
}

void TPngImage::Draw(TCanvas &ACanvas, const TRect &Rect) const {
  if (!Empty())
    ACanvas.DrawImage(Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), -1, u"TPngImage");
}

void TPngImage::CreateAlpha() {
  if (HasAlpha() || Empty())
    return;
  const Byte target = FColorType == COLOR_GRAYSCALE ? COLOR_GRAYSCALEALPHA : COLOR_RGBALPHA;
  const Integer channels = ChannelsOf(target);
  std::vector<Byte> data(static_cast<std::size_t>(FWidth) * FHeight * channels);
  Byte *out = data.data();
  for (Integer y = 0; y < FHeight; ++y)
    for (Integer x = 0; x < FWidth; ++x, out += channels) {
      const TPngPixel p = Pixel(x, y); // a palette entry brings its alpha, others are opaque
      const Byte samples[4] = {p.R, p.G, p.B, p.A};
      if (target == COLOR_GRAYSCALEALPHA) {
        out[0] = p.R;
        out[1] = 255;
      } else {
        std::memcpy(out, samples, 4);
      }
    }
  FData = std::move(data);
  FColorType = target;
  FPalette.clear();
  FTransparent.reset();
}

const Byte *TPngImage::Scanline(Integer y) const { return FData.data() + Offset(0, y); }
Byte *TPngImage::Scanline(Integer y) { return FData.data() + Offset(0, y); }

} // namespace krx
