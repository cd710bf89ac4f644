#include "lib/PngImaging/Source/PngFunctions.h"

#include "Platform/Vcl/Icons.h"

#include "support/KrxTest.h"

namespace krx {
namespace {

std::unique_ptr<TPngImage> OneRow(Byte type, std::initializer_list<TPngPixel> pixels) {
  auto image = TPngImage::CreateBlank(type, 8, static_cast<Integer>(pixels.size()), 1);
  Integer x = 0;
  for (const TPngPixel &p : pixels)
    image->SetPixel(x++, 0, p);
  return image;
}

std::vector<TPngPixel> Row(const TPngImage &image) {
  std::vector<TPngPixel> row;
  for (Integer x = 0; x < image.Width(); ++x)
    row.push_back(image.Pixel(x, 0));
  return row;
}

TEST(BlendPngAlpha, ScalesAlphaByLevelPlusOneOver256RoundingHalvesToEven) {
  auto image = OneRow(COLOR_RGBALPHA, {{1, 2, 3, 255}, {1, 2, 3, 0}, {0, 0, 0, 1}, {0, 0, 0, 3},
                                       {0, 0, 0, 100}});
  BlendPngAlpha(*image, 127);
  EXPECT_EQ(Row(*image), (std::vector<TPngPixel>{
                             {1, 2, 3, 128}, {1, 2, 3, 0}, {0, 0, 0, 0}, {0, 0, 0, 2}, {0, 0, 0, 50}}));
  auto full = OneRow(COLOR_GRAYSCALEALPHA, {{9, 9, 9, 200}});
  BlendPngAlpha(*full, 255);
  EXPECT_EQ(full->Pixel(0, 0), (TPngPixel{9, 9, 9, 200}));
}

TEST(BlendPngAlpha, KeepsTheTransparentColourClearInEveryColourType) {
  auto rgb = OneRow(COLOR_RGB, {{255, 0, 255, 255}, {10, 20, 30, 255}});
  rgb->SetTransparentColor(TPngPixel{255, 0, 255, 255});
  BlendPngAlpha(*rgb, 127);
  EXPECT_EQ(rgb->ColorType(), COLOR_RGBALPHA);
  EXPECT_EQ(Row(*rgb), (std::vector<TPngPixel>{{255, 0, 255, 0}, {10, 20, 30, 128}}));

  auto grey = OneRow(COLOR_GRAYSCALE, {{40, 40, 40, 255}, {41, 41, 41, 255}});
  grey->SetTransparentColor(TPngPixel{40, 40, 40, 255});
  BlendPngAlpha(*grey, 127);
  EXPECT_EQ(grey->ColorType(), COLOR_RGBALPHA);
  EXPECT_EQ(Row(*grey), (std::vector<TPngPixel>{{40, 40, 40, 0}, {41, 41, 41, 127}}));

  // Palette: the opaque entries take the level itself, a clear entry stays clear and a
  // partly clear one is scaled like an alpha channel.
  auto palette = TPngImage::CreateBlank(COLOR_PALETTE, 8, 3, 1);
  palette->SetPalette({{1, 1, 1, 255}, {2, 2, 2, 0}, {3, 3, 3, 200}});
  for (Byte i = 0; i < 3; ++i)
    palette->Scanline(0)[i] = i;
  BlendPngAlpha(*palette, 127);
  EXPECT_EQ(Row(*palette), (std::vector<TPngPixel>{{1, 1, 1, 127}, {2, 2, 2, 0}, {3, 3, 3, 100}}));
}

TEST(GrayscalePng, MovesColoursTowardsTheirGreyByTheFixedPointFormula) {
  // c := ((255 - amount) c + amount gray + 128) shr 8 with gray (77 R + 150 G + 29 B) shr 8:
  // pure red has the grey 76, and the weights sum to 255 over a divisor of 256, so even
  // amount 0 takes a full 255 down to 254.
  const struct {
    Byte Amount;
    TPngPixel In, Out;
  } cases[] = {{255, {255, 0, 0, 255}, {76, 76, 76, 255}},
               {255, {0, 255, 0, 40}, {148, 148, 148, 40}},
               {255, {10, 200, 90, 255}, {129, 129, 129, 255}},
               {255, {255, 255, 255, 255}, {254, 254, 254, 255}},
               {128, {255, 0, 0, 255}, {165, 38, 38, 255}},
               {0, {255, 0, 0, 255}, {254, 0, 0, 255}},
               {0, {3, 4, 5, 9}, {3, 4, 5, 9}}};
  for (const auto &c : cases) {
    auto image = OneRow(COLOR_RGBALPHA, {c.In});
    GrayscalePng(*image, c.Amount);
    EXPECT_EQ(image->Pixel(0, 0), c.Out) << int(c.Amount);
  }
}

TEST(GrayscalePng, ChangesAPaletteNotItsIndexesAndLeavesGreyImagesAlone) {
  auto palette = TPngImage::CreateBlank(COLOR_PALETTE, 8, 1, 1);
  palette->SetPalette({{0, 0, 0, 0}, {255, 0, 0, 255}});
  palette->Scanline(0)[0] = 1;
  GrayscalePng(*palette, 255);
  EXPECT_EQ(palette->Palette(), (std::vector<TPngPixel>{{0, 0, 0, 0}, {76, 76, 76, 255}}));
  EXPECT_EQ(palette->Scanline(0)[0], 1);
  auto grey = OneRow(COLOR_GRAYSCALEALPHA, {{90, 90, 90, 7}});
  GrayscalePng(*grey, 255);
  EXPECT_EQ(grey->Pixel(0, 0), (TPngPixel{90, 90, 90, 7}));
}

TEST(GrayscalePng, KeepsTheTransparentPixelsOfAnRgbImageClear) {
  auto rgb = OneRow(COLOR_RGB, {{255, 0, 255, 255}, {255, 0, 0, 255}});
  rgb->SetTransparentColor(TPngPixel{255, 0, 255, 255});
  GrayscalePng(*rgb, 255);
  EXPECT_EQ(rgb->Pixel(0, 0).A, 0);
  EXPECT_EQ(rgb->Pixel(1, 0), (TPngPixel{76, 76, 76, 255}));
}

TEST(ApplyPngEffects, BlendsFirstThenGreys) {
  const struct {
    TPngOptions Options;
    TPngPixel Expected;
  } cases[] = {{{}, {255, 0, 0, 255}},
               {{pngBlendOnDisabled}, {255, 0, 0, 128}},
               {{pngGrayscaleOnDisabled}, {76, 76, 76, 255}},
               {{pngBlendOnDisabled, pngGrayscaleOnDisabled}, {76, 76, 76, 128}}};
  for (const auto &c : cases) {
    auto image = OneRow(COLOR_RGB, {{255, 0, 0, 255}});
    ApplyPngEffects(*image, c.Options);
    EXPECT_EQ(image->Pixel(0, 0), c.Expected);
  }
}

TEST(DrawPngWithEffects, DrawsIntoTheRectangleAndNeverChangesTheImage) {
  auto image = OneRow(COLOR_RGB, {{255, 0, 0, 255}, {1, 2, 3, 255}});
  for (TPngOptions options : {TPngOptions{}, TPngOptions{pngBlendOnDisabled, pngGrayscaleOnDisabled}}) {
    TCanvas canvas;
    DrawPngWithEffects(*image, canvas, Rect(4, 5, 20, 21), options);
    ASSERT_EQ(canvas.Ops().size(), 1u);
    EXPECT_EQ(canvas.Ops()[0].Kind, TCanvasOpKind::Image);
    EXPECT_EQ(canvas.Ops()[0].Rect, Rect(4, 5, 20, 21));
    EXPECT_EQ(image->ColorType(), COLOR_RGB);
    EXPECT_EQ(Row(*image), (std::vector<TPngPixel>{{255, 0, 0, 255}, {1, 2, 3, 255}}));
  }
}

} // namespace
} // namespace krx

namespace krx {
namespace {

// An icon of one row: colours (0xAARRGGBB) in the given format, and a mask row.
std::unique_ptr<TIcon> RowIcon(TPixelFormat format, std::initializer_list<DWORD> colours,
                               std::initializer_list<DWORD> mask) {
  TBitmap color(static_cast<Integer>(colours.size()), 1, format);
  TBitmap maskBitmap(static_cast<Integer>(mask.size()), 1, pf1bit);
  Integer x = 0;
  for (DWORD c : colours)
    color.SetPixel(x++, 0, c);
  x = 0;
  for (DWORD m : mask)
    maskBitmap.SetPixel(x++, 0, m);
  ICONINFO info;
  info.hbmColor = color.Handle();
  info.hbmMask = maskBitmap.Handle();
  auto icon = std::make_unique<TIcon>();
  icon->SetHandle(CreateIconIndirect(&info));
  return icon;
}

constexpr DWORD kWhite = 0xFFFFFFFFu, kBlack = 0xFF000000u;

TEST(IconToPngImage, TakesAlphaFromA32BitIconOrElseFromItsMask) {
  // A 32-bit icon with soft edges keeps them; its mask is not consulted.
  auto soft = RowIcon(pf32bit, {0x40FF0000u, 0xFF00FF00u}, {kWhite, kBlack});
  TPngImage png;
  IconToPngImage(soft.get(), &png);
  EXPECT_EQ(Row(png), (std::vector<TPngPixel>{{255, 0, 0, 64}, {0, 255, 0, 255}}));
  // A 24-bit icon: 0 where the mask is white, 255 where it is black.
  auto hard = RowIcon(pf24bit, {0xFF0000FFu, 0xFF102030u}, {kWhite, kBlack});
  IconToPngImage(hard.get(), &png);
  EXPECT_EQ(Row(png), (std::vector<TPngPixel>{{0, 0, 255, 0}, {16, 32, 48, 255}}));
  // A 4-bit icon without transparency stays RGB.
  auto opaque = RowIcon(pf4bit, {0x808080u, 0x000080u, 0xFFFFFFu}, {kBlack, kBlack, kBlack});
  IconToPngImage(opaque.get(), &png);
  EXPECT_EQ(png.ColorType(), COLOR_RGB);
  EXPECT_EQ(Row(png), (std::vector<TPngPixel>{{128, 128, 128, 255}, {0, 0, 128, 255},
                                              {255, 255, 255, 255}}));
  auto source = OneRow(COLOR_GRAYSCALE, {{7, 7, 7, 255}});
  IconToPngImage(source.get(), &png); // a PNG image is copied
  EXPECT_EQ(png.ColorType(), COLOR_GRAYSCALE);
}

TEST(IconToPngImage, ClearsATransparentBitmapsColourFixedOrBottomLeft) {
  TBitmap bitmap(3, 2, pf24bit); // top row: red, green, blue; bottom row: white, red, green
  const DWORD pixels[2][3] = {{0xFF0000u, 0x00FF00u, 0x0000FFu}, {0xFFFFFFu, 0xFF0000u, 0x00FF00u}};
  for (Integer y = 0; y < 2; ++y)
    for (Integer x = 0; x < 3; ++x)
      bitmap.SetPixel(x, y, pixels[y][x]);
  const auto rows = [](const TPngImage &png) {
    std::vector<Byte> alpha;
    for (Integer y = 0; y < png.Height(); ++y)
      for (Integer x = 0; x < png.Width(); ++x)
        alpha.push_back(png.Pixel(x, y).A);
    return alpha;
  };
  TPngImage png;
  IconToPngImage(&bitmap, &png); // opaque: no alpha channel
  EXPECT_EQ(png.ColorType(), COLOR_RGB);
  bitmap.SetTransparent(true); // tmAuto: the bottom-left white
  IconToPngImage(&bitmap, &png);
  EXPECT_EQ(rows(png), (std::vector<Byte>{255, 255, 255, 0, 255, 255}));
  bitmap.SetTransparentColor(clRed);
  IconToPngImage(&bitmap, &png);
  EXPECT_EQ(rows(png), (std::vector<Byte>{0, 255, 255, 255, 0, 255}));
  EXPECT_EQ(png.Pixel(2, 1), (TPngPixel{0, 255, 0, 255}));
}

TEST(BitmapToPngImage, ClearsTheTransparentColourAndMaskedConversionTakesTheMasksRed) {
  TBitmap bitmap(3, 1, pf15bit); // any depth: every pixel is read through the bitmap
  bitmap.SetPixel(0, 0, 0xFF0000u);
  bitmap.SetPixel(1, 0, 0x00FF00u);
  bitmap.SetPixel(2, 0, 0xFF0000u);
  TPngImage png;
  BitmapToPngImage(&bitmap, clRed, &png);
  EXPECT_EQ(Row(png), (std::vector<TPngPixel>{{255, 0, 0, 0}, {0, 255, 0, 255}, {255, 0, 0, 0}}));
  TBitmap mask(2, 1, pf24bit); // narrower than the bitmap: the rest is opaque
  mask.SetPixel(0, 0, 0x400000u);
  mask.SetPixel(1, 0, 0xFFFFFFu);
  MaskedBitmapToPngImage(&bitmap, &mask, &png);
  EXPECT_EQ(Row(png), (std::vector<TPngPixel>{{255, 0, 0, 64}, {0, 255, 0, 255}, {255, 0, 0, 255}}));
  MaskedBitmapToPngImage(&bitmap, &mask, &png, true);
  EXPECT_EQ(Row(png), (std::vector<TPngPixel>{{255, 0, 0, 191}, {0, 255, 0, 0}, {255, 0, 0, 255}}));
}

} // namespace
} // namespace krx
