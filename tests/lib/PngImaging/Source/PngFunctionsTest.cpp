#include "lib/PngImaging/Source/PngFunctions.h"

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
