#include "Platform/Vcl/ImgList.h"

#include "support/KrxTest.h"

namespace krx {
namespace {

// A 2 x 2 bitmap: red, green / blue, white, in the given format.
std::unique_ptr<TBitmap> Quad(TPixelFormat format, DWORD alpha = 0xFF000000u) {
  auto b = std::make_unique<TBitmap>(2, 2, format);
  const DWORD rgb[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  for (Integer i = 0; i < 4; ++i)
    b->SetPixel(i % 2, i / 2, rgb[i] | alpha);
  return b;
}

TEST(Icons, AreCopiesOfTwoBitmapsOfOneSizeAndStaleHandlesAreRefused) {
  auto color = Quad(pf32bit);
  TBitmap mask(2, 2, pf1bit), small(1, 2, pf1bit);
  ICONINFO info;
  info.hbmColor = color->Handle();
  info.hbmMask = small.Handle();
  EXPECT_EQ(CreateIconIndirect(&info), nullptr);
  info.hbmMask = mask.Handle();
  HICON icon = CreateIconIndirect(&info);
  color->SetPixel(0, 0, 0); // the icon keeps its own copy
  ICONINFO back;
  ASSERT_TRUE(GetIconInfo(icon, &back));
  EXPECT_EQ(TBitmap::FromHandle(back.hbmColor)->Pixel(0, 0), 0xFFFF0000u);
  EXPECT_TRUE(DestroyIcon(icon));
  EXPECT_FALSE(DestroyIcon(icon));
  HICON later = CreateIconIndirect(&info); // may reuse the freed icon's memory
  EXPECT_FALSE(GetIconInfo(icon, &back));
  EXPECT_TRUE(DestroyIcon(later));
}

TEST(PlatformImageLists, TakeAlphaFromTheBitmapOrFromTheMaskOrMaskColour) {
  HIMAGELIST list = ImageList_Create(2, 2, ILC_COLOR32 | ILC_MASK, 0, 4);
  auto withAlpha = Quad(pf32bit, 0x80000000u);
  auto opaque = Quad(pf24bit);
  TBitmap mask(2, 2, pf1bit);
  mask.SetPixel(1, 0, 0xFFFFFFFFu); // green is clear
  EXPECT_EQ(ImageList_Add(list, withAlpha->Handle(), mask.Handle()), 0);
  EXPECT_EQ(ImageList_Add(list, opaque->Handle(), mask.Handle()), 1);
  EXPECT_EQ(ImageList_AddMasked(list, opaque->Handle(), 0xFF0000), 2); // COLORREF blue
  auto wide = std::make_unique<TBitmap>(5, 2, pf24bit);
  EXPECT_EQ(ImageList_Add(list, wide->Handle(), nullptr), 3); // two images of width 2
  EXPECT_EQ(ImageList_GetImageCount(list), 5);
  const struct {
    int Image, X, Y;
    DWORD Pixel;
  } cases[] = {{0, 1, 0, 0x8000FF00u}, {1, 1, 0, 0}, {1, 0, 0, 0xFFFF0000u},
               {2, 0, 1, 0},           {2, 1, 1, 0xFFFFFFFFu}};
  for (const auto &c : cases)
    EXPECT_EQ(ImageList_GetPixel(list, c.Image, c.X, c.Y), c.Pixel) << c.Image;
  TIcon icon;
  icon.SetHandle(ImageList_GetIcon(list, 1, ILD_NORMAL));
  ICONINFO info;
  ASSERT_TRUE(GetIconInfo(icon.Handle(), &info));
  EXPECT_EQ(TBitmap::FromHandle(info.hbmMask)->Pixel(1, 0), 0xFFFFFFFFu);
  EXPECT_EQ(TBitmap::FromHandle(info.hbmMask)->Pixel(0, 0), 0xFF000000u);
  EXPECT_FALSE(ImageList_Remove(list, 5));
  EXPECT_TRUE(ImageList_Remove(list, -1));
  EXPECT_EQ(ImageList_GetImageCount(list), 0);
  EXPECT_TRUE(ImageList_Destroy(list));
  EXPECT_EQ(ImageList_GetImageCount(list), 0); // a stale handle names nothing,
  HIMAGELIST later = ImageList_Create(2, 2, ILC_COLOR32, 0, 4);
  EXPECT_FALSE(ImageList_Destroy(list)); // also after its memory may have been reused
  EXPECT_TRUE(ImageList_Destroy(later));
}

TEST(ImageLists, TheClassLibraryOperationsKeepImagesAndNamesInStep) {
  TImageList list(nullptr);
  list.SetSize(2, 2);
  auto red = Quad(pf24bit);
  TIcon icon;
  {
    TBitmap mask(2, 2, pf1bit);
    ICONINFO info;
    info.hbmColor = red->Handle();
    info.hbmMask = mask.Handle();
    icon.SetHandle(CreateIconIndirect(&info));
  }
  list.Add(u"first");
  EXPECT_EQ(list.Add(red.get(), nullptr), 1);
  EXPECT_EQ(list.AddIcon(&icon), 2);
  EXPECT_EQ(list.AddMasked(red.get(), clRed), 3);
  EXPECT_EQ(list.Add(nullptr, nullptr), -1);
  list.Insert(0, red.get(), nullptr);
  EXPECT_EQ(list.GetNameByIndex(1), u"first");
  list.Move(1, 4);
  EXPECT_EQ(list.GetIndexByName(u"FIRST"), 4);
  list.ReplaceMasked(4, red.get(), clRed);
  EXPECT_EQ(list.GetNameByIndex(4), u"first");
  EXPECT_EQ(ImageList_GetPixel(list.Handle(), 4, 0, 0), 0u); // red is the mask colour
  EXPECT_TRUE(list.Overlay(4, 0));
  EXPECT_EQ(ImageList_GetOverlayImage(list.Handle(), 1), 4);
  TImageList copy(nullptr);
  copy.AddImages(&list);
  EXPECT_EQ(copy.Count(), 5);
  EXPECT_THROW(list.Delete(5), EInvalidOperation);
  EXPECT_THROW(list.Move(0, 5), EInvalidOperation);
  list.Delete(0);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

} // namespace
} // namespace krx
