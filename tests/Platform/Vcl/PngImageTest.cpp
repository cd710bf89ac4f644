#include "Platform/Vcl/PngImage.h"
#include "Platform/Vcl/Resources.h"

#include "support/KrxTest.h"

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

TEST(PngImage, RoundTripsEveryStoredColourTypeSampleForSample) {
  for (Byte type : {COLOR_RGBALPHA, COLOR_RGB, COLOR_GRAYSCALE, COLOR_GRAYSCALEALPHA}) {
    SCOPED_TRACE(int(type));
    auto image = TPngImage::CreateBlank(type, 8, 7, 5);
    for (Integer y = 0; y < 5; ++y)
      for (Integer x = 0; x < 7; ++x)
        image->SetPixel(x, y,
                        {Byte(x * 37), Byte(y * 51), Byte(x * y * 7), Byte(255 - x * 30 - y)});
    const std::string first = Encode(*image);
    TPngImage back;
    Decode(back, first);
    ASSERT_EQ(back.ColorType(), type);
    ASSERT_EQ(back.Width(), 7);
    ASSERT_EQ(back.Height(), 5);
    for (Integer y = 0; y < 5; ++y)
      for (Integer x = 0; x < 7; ++x)
        ASSERT_EQ(back.Pixel(x, y), image->Pixel(x, y)) << x << "," << y;
    EXPECT_EQ(Encode(back), first); // writing is deterministic
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
  EXPECT_THROW(TPngImage::CreateBlank(COLOR_PALETTE, 8, 1, 1), EPNGError);
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
