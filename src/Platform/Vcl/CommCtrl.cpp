#include "Platform/Vcl/CommCtrl.h"

#include "Platform/Win/ObjectHandles.h"

#include <algorithm>
#include <array>
#include <memory>

namespace krx {

namespace {

struct TListImage {
  std::vector<DWORD> Pixels; // cx * cy, 0xAARRGGBB, rows from the top
  String Name;
};

struct TImageListData {
  int Cx = 0;
  int Cy = 0;
  UINT Flags = 0;
  std::vector<TListImage> Images;
  std::array<int, 16> Overlays{}; // by overlay number 1 to 15; -1 none
};

// The live platform image lists, owned here until ImageList_Destroy.
TObjectHandleTable<HIMAGELIST, TImageListData> &Lists() {
  static TObjectHandleTable<HIMAGELIST, TImageListData> table;
  return table;
}

TImageListData *Find(HIMAGELIST himl) { return Lists().Find(himl); }

HIMAGELIST Register(std::unique_ptr<TImageListData> data) { return Lists().Add(std::move(data)); }

bool CarriesAlpha(const TBitmap &bitmap) {
  if (bitmap.PixelFormat() != pf32bit && bitmap.PixelFormat() != pfDevice)
    return false;
  for (Integer y = 0; y < bitmap.Height(); ++y) {
    const DWORD *row = bitmap.ScanLine(y);
    for (Integer x = 0; x < bitmap.Width(); ++x)
      if ((row[x] >> 24) != 0)
        return true;
  }
  return false;
}

DWORD Rgb(DWORD argb) { return argb & 0x00FFFFFFu; }

// The bitmap's columns from left on, cut to the list's image size. Clear pixels are those
// of the mask colour, or (for a colour bitmap without alpha) those where the mask is not
// black; a colour bitmap with alpha keeps it.
TListImage Slice(const TImageListData &list, const TBitmap &color, const TBitmap *mask,
                 const DWORD *maskColor, Integer left) {
  TListImage image;
  image.Pixels.assign(static_cast<std::size_t>(list.Cx) * list.Cy, 0);
  const bool alpha = CarriesAlpha(color);
  const Integer w = std::min(list.Cx, color.Width() - left);
  const Integer h = std::min(list.Cy, color.Height());
  for (Integer y = 0; y < h; ++y)
    for (Integer x = 0; x < w; ++x) {
      const DWORD p = color.Pixel(left + x, y);
      bool clear = false;
      if (maskColor)
        clear = Rgb(p) == *maskColor;
      else if (!alpha && mask && left + x < mask->Width() && y < mask->Height())
        clear = Rgb(mask->Pixel(left + x, y)) != 0;
      const DWORD out = clear ? 0 : alpha ? p : (p | 0xFF000000u);
      image.Pixels[static_cast<std::size_t>(y) * list.Cx + x] = out;
    }
  return image;
}

// The BGR order of a COLORREF as the bitmap's 0x00RRGGBB.
DWORD ColorRefToRgb(COLORREF c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

int AddBitmap(HIMAGELIST himl, HBITMAP hbmImage, HBITMAP hbmMask, const DWORD *maskColor) {
  TImageListData *list = Find(himl);
  const TBitmap *color = TBitmap::FromHandle(hbmImage);
  if (!list || !color || color->Empty())
    return -1;
  const TBitmap *mask = TBitmap::FromHandle(hbmMask);
  const int first = static_cast<int>(list->Images.size());
  const Integer count = std::max(1, color->Width() / list->Cx);
  for (Integer i = 0; i < count; ++i)
    list->Images.push_back(Slice(*list, *color, mask, maskColor, i * list->Cx));
  return first;
}

bool Valid(const TImageListData *list, int i) {
  return list && i >= 0 && i < static_cast<int>(list->Images.size());
}

} // namespace

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int, int) {
  if (cx <= 0 || cy <= 0 || cx > kMaxBitmapDimension || cy > kMaxBitmapDimension)
    return nullptr;
  auto data = std::make_unique<TImageListData>();
  data->Cx = cx;
  data->Cy = cy;
  data->Flags = flags;
  data->Overlays.fill(-1);
  return Register(std::move(data));
}

BOOL ImageList_Destroy(HIMAGELIST himl) { return Lists().Take(himl) ? TRUE : FALSE; }

HIMAGELIST ImageList_Duplicate(HIMAGELIST himl) {
  const TImageListData *list = Find(himl);
  return list ? Register(std::make_unique<TImageListData>(*list)) : nullptr;
}

int ImageList_GetImageCount(HIMAGELIST himl) {
  const TImageListData *list = Find(himl);
  return list ? static_cast<int>(list->Images.size()) : 0;
}

BOOL ImageList_GetIconSize(HIMAGELIST himl, int *cx, int *cy) {
  const TImageListData *list = Find(himl);
  if (!list || !cx || !cy)
    return FALSE;
  *cx = list->Cx;
  *cy = list->Cy;
  return TRUE;
}

int ImageList_Add(HIMAGELIST himl, HBITMAP hbmImage, HBITMAP hbmMask) {
  return AddBitmap(himl, hbmImage, hbmMask, nullptr);
}

int ImageList_AddMasked(HIMAGELIST himl, HBITMAP hbmImage, COLORREF crMask) {
  const DWORD rgb = ColorRefToRgb(crMask);
  return AddBitmap(himl, hbmImage, nullptr, &rgb);
}

BOOL ImageList_Replace(HIMAGELIST himl, int i, HBITMAP hbmImage, HBITMAP hbmMask) {
  TImageListData *list = Find(himl);
  const TBitmap *color = TBitmap::FromHandle(hbmImage);
  if (!Valid(list, i) || !color)
    return FALSE;
  TListImage image = Slice(*list, *color, TBitmap::FromHandle(hbmMask), nullptr, 0);
  image.Name = list->Images[static_cast<std::size_t>(i)].Name;
  list->Images[static_cast<std::size_t>(i)] = std::move(image);
  return TRUE;
}

int ImageList_ReplaceIcon(HIMAGELIST himl, int i, HICON hicon) {
  TImageListData *list = Find(himl);
  ICONINFO info;
  if (!list || (i != -1 && !Valid(list, i)) || !GetIconInfo(hicon, &info))
    return -1;
  TListImage image = Slice(*list, *TBitmap::FromHandle(info.hbmColor),
                           TBitmap::FromHandle(info.hbmMask), nullptr, 0);
  if (i == -1) {
    list->Images.push_back(std::move(image));
    return static_cast<int>(list->Images.size()) - 1;
  }
  image.Name = list->Images[static_cast<std::size_t>(i)].Name;
  list->Images[static_cast<std::size_t>(i)] = std::move(image);
  return i;
}

BOOL ImageList_Remove(HIMAGELIST himl, int i) {
  TImageListData *list = Find(himl);
  if (!list || (i != -1 && !Valid(list, i)))
    return FALSE;
  if (i == -1)
    list->Images.clear();
  else
    list->Images.erase(list->Images.begin() + i);
  return TRUE;
}

HICON ImageList_GetIcon(HIMAGELIST himl, int i, UINT) {
  const TImageListData *list = Find(himl);
  if (!Valid(list, i))
    return nullptr;
  const TListImage &image = list->Images[static_cast<std::size_t>(i)];
  TBitmap color(list->Cx, list->Cy, pf32bit);
  TBitmap mask(list->Cx, list->Cy, pf1bit);
  for (Integer y = 0; y < list->Cy; ++y)
    for (Integer x = 0; x < list->Cx; ++x) {
      const DWORD p = image.Pixels[static_cast<std::size_t>(y) * list->Cx + x];
      color.SetPixel(x, y, p);
      mask.SetPixel(x, y, (p >> 24) == 0 ? 0xFFFFFFFFu : 0xFF000000u);
    }
  ICONINFO info;
  info.hbmColor = color.Handle();
  info.hbmMask = mask.Handle();
  return CreateIconIndirect(&info);
}

BOOL ImageList_SetOverlayImage(HIMAGELIST himl, int iImage, int iOverlay) {
  TImageListData *list = Find(himl);
  if (!list || iOverlay < 1 || iOverlay > 15 || (iImage != -1 && !Valid(list, iImage)))
    return FALSE;
  list->Overlays[static_cast<std::size_t>(iOverlay)] = iImage;
  return TRUE;
}

int ImageList_GetOverlayImage(HIMAGELIST himl, int iOverlay) {
  const TImageListData *list = Find(himl);
  if (!list || iOverlay < 1 || iOverlay > 15)
    return -1;
  return list->Overlays[static_cast<std::size_t>(iOverlay)];
}

BOOL ImageList_MoveImage(HIMAGELIST himl, int i, int iDst) {
  TImageListData *list = Find(himl);
  if (!Valid(list, i) || !Valid(list, iDst))
    return FALSE;
  TListImage image = std::move(list->Images[static_cast<std::size_t>(i)]);
  list->Images.erase(list->Images.begin() + i);
  list->Images.insert(list->Images.begin() + iDst, std::move(image));
  return TRUE;
}

BOOL ImageList_SetImageName(HIMAGELIST himl, int i, const String &name) {
  TImageListData *list = Find(himl);
  if (!Valid(list, i))
    return FALSE;
  list->Images[static_cast<std::size_t>(i)].Name = name;
  return TRUE;
}

String ImageList_GetImageName(HIMAGELIST himl, int i) {
  const TImageListData *list = Find(himl);
  return Valid(list, i) ? list->Images[static_cast<std::size_t>(i)].Name : String();
}

DWORD ImageList_GetPixel(HIMAGELIST himl, int i, int x, int y) {
  const TImageListData *list = Find(himl);
  if (!Valid(list, i) || x < 0 || y < 0 || x >= list->Cx || y >= list->Cy)
    return 0;
  return list->Images[static_cast<std::size_t>(i)].Pixels[static_cast<std::size_t>(y) * list->Cx + x];
}

} // namespace krx
