#include "Platform/Vcl/PngImage.h"
#include "Platform/Vcl/Resources.h"

#include "support/KrxTest.h"

#include <optional>
#include <png.h>
#include <zlib.h>

namespace krx {
namespace {

// A resource of this test program's own module.
constexpr Byte kTestBytes[] = {'h', 'e', 'l', 'l', 'o'};
KRX_EMBED_RESOURCE(kTestResource, RT_RCDATA, u"TestGreeting", kTestBytes);

std::string Bytes(TMemoryStream &stream) {
  return std::string(reinterpret_cast<const char *>(stream.Memory()),
                     static_cast<std::size_t>(stream.Size()));
}

std::string Encode(const TPngImage &image) {
  TMemoryStream out;
  image.SaveToStream(out);
  return Bytes(out);
}

void Decode(TPngImage &image, const std::string &bytes) {
  TMemoryStream in;
  in.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  in.SetPosition(0);
  image.LoadFromStream(in);
}

// Fills an image with a pattern; a palette image gets eight entries, two of them not opaque.
void Fill(TPngImage &image) {
  if (image.ColorType() == COLOR_PALETTE)
    image.SetPalette({{0, 0, 0, 0}, {255, 0, 0, 255}, {0, 255, 0, 128}, {1, 2, 3, 255},
                      {9, 9, 9, 255}, {200, 100, 50, 255}, {7, 70, 170, 255}, {1, 1, 1, 255}});
  for (Integer y = 0; y < image.Height(); ++y)
    for (Integer x = 0; x < image.Width(); ++x)
      if (image.ColorType() == COLOR_PALETTE)
        image.Scanline(y)[x] = Byte((x + y) % 8);
      else
        image.SetPixel(x, y,
                       {Byte(x * 37), Byte(y * 51), Byte(x * y * 7), Byte(255 - x * 30 - y)});
}

TEST(PngImage, RoundTripsEveryColourTypeByteExact) {
  struct Case {
    Byte Type;
    std::optional<TPngPixel> Transparent;
    TPNGTransparencyMode Mode;
  };
  const Case cases[] = {{COLOR_RGBALPHA, {}, ptmPartial},
                        {COLOR_RGB, {}, ptmNone},
                        {COLOR_RGB, TPngPixel{37, 51, 7, 255}, ptmBit},
                        {COLOR_GRAYSCALE, TPngPixel{74, 74, 74, 255}, ptmBit},
                        {COLOR_GRAYSCALEALPHA, {}, ptmPartial},
                        {COLOR_PALETTE, {}, ptmPartial}};
  for (const Case &c : cases) {
    SCOPED_TRACE(int(c.Type));
    auto image = TPngImage::CreateBlank(c.Type, 8, 7, 5);
    Fill(*image);
    if (c.Transparent)
      image->SetTransparentColor(c.Transparent);
    const std::string first = Encode(*image);
    TPngImage back;
    Decode(back, first);
    ASSERT_EQ(back.ColorType(), c.Type);
    ASSERT_EQ(back.Width(), 7);
    ASSERT_EQ(back.Height(), 5);
    EXPECT_EQ(back.TransparencyMode(), c.Mode);
    EXPECT_EQ(back.TransparentColor(), c.Transparent);
    EXPECT_EQ(back.Palette(), image->Palette());
    for (Integer y = 0; y < 5; ++y)
      for (Integer x = 0; x < 7; ++x)
        ASSERT_EQ(back.Pixel(x, y), image->Pixel(x, y)) << x << "," << y;
    EXPECT_EQ(Encode(back), first); // writing is deterministic
  }
}

// Writes a PNG with libpng itself, in depths and chunks this class never writes.
std::string ForeignPng(int colorType, int bitDepth, const std::vector<Byte> &row,
                       png_color_16 *transparent, png_colorp palette = nullptr,
                       int paletteCount = 0, png_bytep paletteAlpha = nullptr,
                       int alphaCount = 0) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t n) {
        static_cast<std::string *>(png_get_io_ptr(p))->append(reinterpret_cast<char *>(data), n);
      },
      nullptr);
  png_set_IHDR(png, info, 2, 1, bitDepth, colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (palette)
    png_set_PLTE(png, info, palette, paletteCount);
  if (transparent || paletteAlpha)
    png_set_tRNS(png, info, paletteAlpha, alphaCount, transparent);
  png_write_info(png, info);
  png_write_row(png, row.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

TEST(PngImage, WidensOtherDepthsAndKeepsTheirTransparency) {
  png_color_16 grey4{0, 0, 0, 0, 5}; // 5 of 15
  png_color_16 rgb16{0, 0x1234, 0xABCD, 0xFF00, 0};
  png_color palette[3] = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
  Byte paletteAlpha[2] = {255, 0};
  struct Case {
    std::string Png;
    TPngPixel First, Second;
    std::optional<TPngPixel> Transparent;
  } cases[] = {
      {ForeignPng(PNG_COLOR_TYPE_GRAY, 4, {0x5F}, &grey4), {85, 85, 85, 255}, {255, 255, 255, 255},
       TPngPixel{85, 85, 85, 255}},
      {ForeignPng(PNG_COLOR_TYPE_RGB, 16, {0x12, 0x34, 0xAB, 0xCD, 0xFF, 0, 0, 0, 0, 0, 0, 0}, &rgb16),
       {0x12, 0xAB, 0xFF, 255}, {0, 0, 0, 255}, TPngPixel{0x12, 0xAB, 0xFF, 255}},
      {ForeignPng(PNG_COLOR_TYPE_PALETTE, 2, {0x60}, nullptr, palette, 3, paletteAlpha, 2),
       {40, 50, 60, 0}, {70, 80, 90, 255}, TPngPixel{40, 50, 60, 255}},
  };
  for (const Case &c : cases) {
    TPngImage image;
    Decode(image, c.Png);
    EXPECT_EQ(image.Pixel(0, 0), c.First);
    EXPECT_EQ(image.Pixel(1, 0), c.Second);
    EXPECT_EQ(image.TransparentColor(), c.Transparent);
  }
}

// A PNG built chunk by chunk, for data that libpng would refuse to write.
std::string Chunk(const std::string &type, const std::string &data) {
  std::string out;
  for (int i = 3; i >= 0; --i)
    out += char(data.size() >> (8 * i));
  const std::string body = type + data;
  const uLong crc = crc32(0, reinterpret_cast<const Bytef *>(body.data()), uInt(body.size()));
  out += body;
  for (int i = 3; i >= 0; --i)
    out += char(crc >> (8 * i));
  return out;
}

TEST(PngImage, APaletteIndexPastThePalettesEndReadsAsBlackAndCanBeWrittenAgain) {
  const std::string raw("\0\x30", 2); // one row of two 4-bit indexes: 3 and 0
  uLongf packedSize = 64;
  Bytef packed[64];
  compress(packed, &packedSize, reinterpret_cast<const Bytef *>(raw.data()), uLong(raw.size()));
  const std::string bytes =
      "\x89PNG\r\n\x1a\n" + Chunk("IHDR", std::string("\0\0\0\2\0\0\0\1\4\3\0\0\0", 13)) +
      Chunk("PLTE", "\x0A\x14\x1E") +
      Chunk("IDAT", std::string(reinterpret_cast<char *>(packed), packedSize)) + Chunk("IEND", "");
  TPngImage image;
  Decode(image, bytes);
  EXPECT_EQ(image.Pixel(0, 0), (TPngPixel{0, 0, 0, 255}));
  EXPECT_EQ(image.Pixel(1, 0), (TPngPixel{10, 20, 30, 255}));
  TPngImage back;
  Decode(back, Encode(image));
  EXPECT_EQ(back.Pixel(0, 0), image.Pixel(0, 0));
}

TEST(PngImage, CreateAlphaKeepsColoursAndMakesEveryPixelOpaqueOrItsPaletteAlpha) {
  for (Byte type : {COLOR_GRAYSCALE, COLOR_RGB, COLOR_PALETTE, COLOR_RGBALPHA}) {
    auto image = TPngImage::CreateBlank(type, 8, 4, 2);
    Fill(*image);
    if (type == COLOR_RGB)
      image->SetTransparentColor(image->Pixel(0, 0));
    TPngImage before;
    before.Assign(image.get());
    image->CreateAlpha();
    EXPECT_TRUE(image->HasAlpha());
    EXPECT_EQ(image->TransparencyMode(), ptmPartial);
    for (Integer x = 0; x < 4; ++x)
      EXPECT_EQ(image->Pixel(x, 1), before.Pixel(x, 1)) << int(type);
  }
}

TEST(PngImage, ReadsTheHintGlyphDrawnByAnotherEncoder) {
  TPngImage glyph;
  glyph.LoadFromFile(Utf8ToString(KRX_SOURCE_DIR "/src/Controls/KRHintImage.png"));
  EXPECT_EQ(glyph.ColorType(), COLOR_RGBALPHA);
  EXPECT_EQ(glyph.Width(), 16);
  EXPECT_EQ(glyph.Height(), 16);
  EXPECT_EQ(glyph.Pixel(0, 0), (TPngPixel{0, 0, 0, 0}));          // transparent corner
  EXPECT_EQ(glyph.Pixel(3, 8), (TPngPixel{38, 110, 200, 255}));   // the disc
  EXPECT_EQ(glyph.Pixel(8, 12), (TPngPixel{255, 255, 255, 255})); // the question mark's dot
}

TEST(PngImage, RefusesBadDataAndKeepsTheImage) {
  auto image = TPngImage::CreateBlank(COLOR_RGB, 8, 2, 2);
  image->SetPixel(1, 1, {1, 2, 3, 255});
  const std::string good = Encode(*image);
  // A header announcing 16384 x 16384 pixels: refused before any pixel memory is taken.
  std::string huge = good;
  huge.replace(16, 8, std::string("\0\0\x40\0\0\0\x40\0", 8));
  const uLong crc = crc32(0, reinterpret_cast<const Bytef *>(huge.data() + 12), 17);
  for (int i = 0; i < 4; ++i)
    huge[29 + i] = char(crc >> (24 - 8 * i));
  const std::string cases[] = {"", "not a png at all", good.substr(0, good.size() / 2), huge};
  for (const std::string &bytes : cases) {
    EXPECT_THROW(Decode(*image, bytes), EPNGError);
    EXPECT_EQ(image->Pixel(1, 1), (TPngPixel{1, 2, 3, 255}));
  }
  try {
    Decode(*image, huge);
  } catch (const EPNGError &e) {
    EXPECT_NE(e.Message().find(u"image too large"), String::npos) << e.what();
  }
  EXPECT_THROW(TPngImage().SaveToStream(*std::make_unique<TMemoryStream>()), EPNGError);
  EXPECT_THROW(image->Pixel(2, 0), EPNGError);
  EXPECT_THROW(TPngImage::CreateBlank(5, 8, 1, 1), EPNGError);
}

TEST(Resources, AreFoundInTheModuleThatEmbedsThem) {
  const auto found = FindModuleResource(HInstance(), u"TESTgreeting", RT_RCDATA);
  ASSERT_TRUE(found);
  EXPECT_EQ(std::string(found->begin(), found->end()), "hello");
  EXPECT_FALSE(FindModuleResource(HInstance(), u"TestGreeting", RT_BITMAP));
  EXPECT_FALSE(FindModuleResource(HInstance(), u"TestGreetings", RT_RCDATA));
  const HMODULE libpng =
      ModuleOfAddress(reinterpret_cast<const void *>(&png_access_version_number));
  ASSERT_NE(libpng, HInstance());
  EXPECT_FALSE(FindModuleResource(libpng, u"TestGreeting", RT_RCDATA));
}

TEST(Resources, StreamReadsTheDataAndAMissingNameRaisesTheResourceError) {
  TResourceStream stream(HInstance(), u"TestGreeting", RT_RCDATA);
  char text[8] = {};
  EXPECT_EQ(stream.Size(), 5);
  stream.Seek(1, soBeginning);
  EXPECT_EQ(stream.Read(text, 8), 4);
  EXPECT_STREQ(text, "ello");
  EXPECT_THROW(stream.Write(text, 1), EStreamError);
  try {
    TResourceStream missing(HInstance(), u"KRNothing", RT_RCDATA);
    FAIL();
  } catch (const EResNotFound &e) {
    EXPECT_EQ(e.Message(), u"Resource KRNothing not found");
  }
}

} // namespace
} // namespace krx
