// The platform's image lists (common controls): images of one size, each a 32-bit colour
// with alpha, addressed by index through a handle. A colour bitmap that carries alpha (a
// 32-bit bitmap with any alpha that is not 0) keeps it and its mask is not consulted;
// otherwise a pixel is clear where the mask is not black (or where it has the mask colour)
// and opaque elsewhere. An image given at another size is copied at its top left corner;
// what it does not cover stays clear. Each image also carries a name, for the class
// library's images that are known by name only. Handles are checked against the live lists.
#pragma once

#include "Platform/Vcl/Icons.h"

namespace krx {

struct HIMAGELIST__;
using HIMAGELIST = HIMAGELIST__ *;

using COLORREF = DWORD; // 0x00BBGGRR, as TColor
inline constexpr UINT ILC_MASK = 0x0001;
inline constexpr UINT ILC_COLOR32 = 0x0020;
inline constexpr UINT ILD_NORMAL = 0x0000;
// Overlay numbers (1 to 15) travel in bits 8 to 11 of a drawing style.
inline constexpr UINT ILD_OVERLAYMASK = 0x0F00;
inline constexpr UINT INDEXTOOVERLAYMASK(UINT i) { return i << 8; }

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int cInitial, int cGrow);
BOOL ImageList_Destroy(HIMAGELIST himl);
// A new list with copies of the images, overlays and names.
HIMAGELIST ImageList_Duplicate(HIMAGELIST himl);
int ImageList_GetImageCount(HIMAGELIST himl);
BOOL ImageList_GetIconSize(HIMAGELIST himl, int *cx, int *cy);
// Adds one image per image width of the bitmap (at least one); the index of the first, -1
// when nothing could be added.
int ImageList_Add(HIMAGELIST himl, HBITMAP hbmImage, HBITMAP hbmMask);
// As ImageList_Add, the pixels of the mask colour clear.
int ImageList_AddMasked(HIMAGELIST himl, HBITMAP hbmImage, COLORREF crMask);
BOOL ImageList_Replace(HIMAGELIST himl, int i, HBITMAP hbmImage, HBITMAP hbmMask);
// Replaces image i by the icon, or adds it at the end when i is -1; the index, -1 on failure.
int ImageList_ReplaceIcon(HIMAGELIST himl, int i, HICON hicon);
// Removes image i, every image when i is -1.
BOOL ImageList_Remove(HIMAGELIST himl, int i);
// A new icon of image i (32-bit colour with alpha, mask white where the image is clear);
// the caller destroys it.
HICON ImageList_GetIcon(HIMAGELIST himl, int i, UINT flags);
// Makes image iImage the overlay numbered iOverlay (1 to 15).
BOOL ImageList_SetOverlayImage(HIMAGELIST himl, int iImage, int iOverlay);
// The image of an overlay number, -1 when none.
int ImageList_GetOverlayImage(HIMAGELIST himl, int iOverlay);

// Of this substitute alone: moves image i to index iDst (the others close up), and the name
// an image is known by.
BOOL ImageList_MoveImage(HIMAGELIST himl, int i, int iDst);
BOOL ImageList_SetImageName(HIMAGELIST himl, int i, const String &name);
String ImageList_GetImageName(HIMAGELIST himl, int i);
// The colour of one pixel of image i as 0xAARRGGBB; 0 outside the image or list.
DWORD ImageList_GetPixel(HIMAGELIST himl, int i, int x, int y);

} // namespace krx
