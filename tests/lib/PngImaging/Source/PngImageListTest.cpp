#include "lib/PngImaging/Source/PngImageList.h"

#include "support/KrxTest.h"

#include <cstring>

namespace krx {
namespace {

std::array<Byte, sizeof(TImageListEntries)> Entries() {
  std::array<Byte, sizeof(TImageListEntries)> bytes;
  std::memcpy(bytes.data(), &ModuleImageListEntries, bytes.size());
  return bytes;
}

std::unique_ptr<TPngImage> Solid(TPngPixel p, Integer size = 16) {
  auto png = TPngImage::CreateBlank(COLOR_RGBALPHA, 8, size, size);
  for (Integer y = 0; y < size; ++y)
    for (Integer x = 0; x < size; ++x)
      png->SetPixel(x, y, p);
  return png;
}

std::unique_ptr<TBitmap> RedBitmap() {
  auto b = std::make_unique<TBitmap>(16, 16, pf24bit);
  for (Integer y = 0; y < 16; ++y)
    for (Integer x = 0; x < 16; ++x)
      b->SetPixel(x, y, x < 8 ? 0xFF0000u : 0x00FF00u);
  return b;
}

// The collection and the platform list hold one image per item, in the same order.
void ExpectInStep(TPngImageList &list) {
  ASSERT_EQ(list.Count(), list.PngImages()->Count());
  for (Integer i = 0; i < list.Count(); ++i) {
    const TPngPixel p = list.PngImages()->Items(i)->PngImage()->Pixel(0, 0);
    EXPECT_EQ(ImageList_GetPixel(list.Handle(), i, 0, 0),
              DWORD{p.A} << 24 | DWORD{p.R} << 16 | DWORD{p.G} << 8 | p.B)
        << i;
  }
}

TEST(MethodRedirection, IsInstalledByTheFirstPngListAndTakenOutByTheLastInEveryOrder) {
  const auto original = Entries();
  // Steps: '+' makes the next list, a digit frees list A (0) or B (1).
  for (const char *steps : {"++01", "++10", "+0+1"}) {
    std::unique_ptr<TPngImageList> lists[2];
    int made = 0;
    for (const char *step = steps; *step; ++step) {
      if (*step == '+')
        lists[made++] = std::make_unique<TPngImageList>(nullptr);
      else
        lists[*step - '0'].reset();
      const bool live = lists[0] || lists[1];
      EXPECT_EQ(ImageListPatchCount(), live ? 15 : 0) << steps << " " << step - steps;
      EXPECT_EQ(Entries() == original, !live) << steps << " " << step - steps;
    }
  }
}

TEST(MethodRedirection, PatchesRefuseAnEntryThatLeadsThereAlreadyAndRestoreExactly) {
  TImageListEntries entries = ModuleImageListEntries;
  TEntryBytes target;
  std::memcpy(target.data(), &entries.Clear, target.size());
  TMethodPatch same;
  EXPECT_FALSE(same.InstallMethodPatch(&entries.Clear, target, u"Clear"));
  EXPECT_EQ(same.OldPointer, nullptr);
  TEntryBytes other;
  std::memcpy(other.data(), &entries.Delete, other.size());
  {
    TMethodPatch patch;
    ASSERT_TRUE(patch.InstallMethodPatch(&entries.Clear, other, u"Clear"));
    EXPECT_EQ(std::memcmp(&entries.Clear, other.data(), other.size()), 0);
  }
  EXPECT_EQ(std::memcmp(&entries.Clear, target.data(), target.size()), 0);
}

// Every operation called through a plain image-list reference, on an ordinary list and on a
// PNG list, while a PNG list lives.
TEST(MethodRedirection, ServesPngListsAndHandsOrdinaryListsToTheClassLibrary) {
  TPngImageList png(nullptr);
  TImageList plain(nullptr);
  auto bitmap = RedBitmap();
  TImageList source(nullptr);
  TBitmap mask(16, 16, pf1bit);
  mask.SetPixel(15, 0, 0xFFFFFFFFu);
  source.Add(bitmap.get(), &mask);
  source.Add(bitmap.get(), &mask);
  TCustomImageList *lists[] = {&plain, &png};
  for (TCustomImageList *list : lists) {
    const bool isPng = list == &png;
    SCOPED_TRACE(isPng ? "png" : "plain");
    EXPECT_EQ(list->Add(bitmap.get(), nullptr), 0);
    EXPECT_EQ(list->AddMasked(bitmap.get(), clRed), 1);
    EXPECT_EQ(ImageList_GetPixel(list->Handle(), 1, 0, 0) >> 24, 0u); // red is clear
    EXPECT_EQ(ImageList_GetPixel(list->Handle(), 1, 9, 0), 0xFF00FF00u);
    EXPECT_EQ(list->AddImage(list, 1), 2);
    list->Insert(0, bitmap.get(), nullptr);
    list->InsertMasked(1, bitmap.get(), TColor(0x00FF00));
    list->Move(0, 4);
    list->Replace(0, bitmap.get(), nullptr);
    list->ReplaceMasked(0, bitmap.get(), clRed);
    EXPECT_EQ(list->Count(), 5);
    EXPECT_TRUE(list->Overlay(4, 0));
    list->Delete(0);
    EXPECT_EQ(list->Count(), 4);
    list->AddImages(&source);
    EXPECT_EQ(list->Count(), 6);
    EXPECT_EQ(ImageList_GetPixel(list->Handle(), 5, 15, 0), 0u); // the mask's clear pixel
    list->Clear();
    EXPECT_EQ(list->Count(), 0);
    EXPECT_EQ(png.PngImages()->Count(), 0);
  }
  EXPECT_EQ(ImageListPatchCount(), 15); // still redirected after the calls
}

TEST(PngImageList, KeepsItsItemsAndPlatformImagesInStep) {
  TPngImageList list(nullptr);
  EXPECT_EQ(list.ColorDepth(), cd32Bit);
  auto red = Solid({255, 0, 0, 255}), blue = Solid({0, 0, 255, 200});
  EXPECT_EQ(list.AddPng(red.get()), 0);
  EXPECT_EQ(list.AddPng(blue.get()), 1);
  list.InsertPng(1, red.get());
  list.Move(0, 2);
  list.InsertPng(3, blue.get()); // at the end
  ASSERT_EQ(list.Count(), 4);
  ExpectInStep(list);
  EXPECT_EQ(list.PngImages()->Items(2)->PngImage()->Pixel(0, 0), (TPngPixel{255, 0, 0, 255}));
  EXPECT_EQ(list.PngImages()->Items(3)->PngImage()->Pixel(0, 0), (TPngPixel{0, 0, 255, 200}));
  list.PngImages()->Items(0)->SetPngImage(blue.get()); // a change rebuilds
  ExpectInStep(list);
  TPngImageList copy(nullptr);
  copy.SetPngOptions({pngGrayscaleOnDisabled});
  copy.Assign(list);
  EXPECT_EQ(copy.PngOptions(), TPngOptions{pngBlendOnDisabled});
  ExpectInStep(copy);
  list.SetSize(24, 24);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.PngImages()->Count(), 0);
}

TEST(PngImageList, RefusesIndexesOutOfRangeAndNilOrEmptyImagesWithoutAChange) {
  TPngImageList list(nullptr);
  auto red = Solid({255, 0, 0, 255});
  list.AddPng(red.get());
  TPngImage empty;
  int changes = 0;
  list.OnChange = [&](TObject *) { ++changes; };
  EXPECT_EQ(list.AddPng(nullptr), -1);
  EXPECT_EQ(list.AddPng(&empty), -1);
  EXPECT_EQ(list.AddImage(&list, 7), -1);
  list.InsertPng(2, red.get());
  list.InsertPng(-1, red.get());
  list.Move(0, 1);
  list.Move(-1, 0);
  list.Delete(1);
  list.Replace(1, RedBitmap().get(), nullptr);
  list.Insert(0, nullptr, nullptr);
  TCanvas canvas;
  list.DoDraw(1, canvas, 0, 0, ILD_NORMAL, true);
  EXPECT_TRUE(canvas.Ops().empty());
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(list.Count(), 1);
  ExpectInStep(list);
}

TEST(PngImageList, HoldsDisabledImagesWithTheEffectsOfItsOptions) {
  TPngImageList list(nullptr);
  auto red = Solid({255, 0, 0, 255});
  list.AddPng(red.get());
  list.SetEnabledImages(false);
  EXPECT_EQ(ImageList_GetPixel(list.Handle(), 0, 3, 3), 0x80FF0000u); // half transparent
  list.AddPng(red.get()); // added later: disabled as well
  EXPECT_EQ(ImageList_GetPixel(list.Handle(), 1, 3, 3), 0x80FF0000u);
  list.SetPngOptions({pngBlendOnDisabled, pngGrayscaleOnDisabled});
  EXPECT_EQ(ImageList_GetPixel(list.Handle(), 0, 3, 3), 0x804C4C4Cu);
  list.SetEnabledImages(true);
  EXPECT_EQ(ImageList_GetPixel(list.Handle(), 0, 3, 3), 0xFFFF0000u);
  EXPECT_EQ(list.PngImages()->Items(0)->PngImage()->Pixel(3, 3), (TPngPixel{255, 0, 0, 255}));
}

TEST(PngImageList, DrawsItsImageAndAValidOverlay) {
  TPngImageList list(nullptr);
  list.AddPng(Solid({1, 2, 3, 255}).get());
  list.AddPng(Solid({4, 5, 6, 255}).get());
  EXPECT_TRUE(list.Overlay(1, 0));
  EXPECT_FALSE(list.Overlay(5, 1)); // stored, but names no image
  EXPECT_FALSE(list.Overlay(0, 15));
  EXPECT_EQ(list.OverlayIndex(1), 5);
  TCanvas canvas;
  list.DoDraw(0, canvas, 2, 3, INDEXTOOVERLAYMASK(1), false);
  list.DoDraw(0, canvas, 0, 0, INDEXTOOVERLAYMASK(2), true); // overlay 1 is no image
  ASSERT_EQ(canvas.Ops().size(), 3u);
  EXPECT_EQ(canvas.Ops()[1].Rect, Bounds(2, 3, 16, 16));
}

TEST(PngImageList, NamesItsImagesAndFindsThemIgnoringCase) {
  TPngImageList list(nullptr);
  list.AddPng(Solid({0, 0, 0, 255}).get());
  list.AddPng(Solid({0, 0, 0, 255}).get());
  list.PngImages()->Items(1)->SetName(u"Warnings");
  EXPECT_EQ(list.GetImageName(0), u"PngImage0");
  EXPECT_EQ(list.FindIndexByName(u"warnings"), 1);
  EXPECT_EQ(list.GetIndexByName(u"WARNINGS"), 1);
  EXPECT_EQ(list.FindIndexByName(u"Errors"), -1);
  EXPECT_EQ(list.GetNameByIndex(5), u"");
  TStringList names;
  IPtr<INameMapping> mapping(&list);
  mapping->ListImageNames(&names);
  EXPECT_EQ(names.CommaText(), u"PngImage0,Warnings");
}

} // namespace
} // namespace krx
