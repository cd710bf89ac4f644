#include "Platform/Vcl/Icons.h"

#include "Platform/Win/ObjectHandles.h"

#include <memory>

namespace krx {

namespace {

struct TIconBitmaps {
  TBitmap Color;
  TBitmap Mask;
};

// The live icons; an icon's bitmaps are owned here until DestroyIcon.
TObjectHandleTable<HICON, TIconBitmaps> &Icons() {
  static TObjectHandleTable<HICON, TIconBitmaps> table;
  return table;
}

TIconBitmaps *Find(HICON hIcon) { return Icons().Find(hIcon); }

} // namespace

HICON CreateIconIndirect(const ICONINFO *piconinfo) {
  if (!piconinfo)
    return nullptr;
  const TBitmap *color = TBitmap::FromHandle(piconinfo->hbmColor);
  const TBitmap *mask = TBitmap::FromHandle(piconinfo->hbmMask);
  if (!color || !mask || color->Width() != mask->Width() || color->Height() != mask->Height())
    return nullptr;
  auto icon = std::make_unique<TIconBitmaps>();
  icon->Color.Assign(color);
  icon->Mask.Assign(mask);
  return Icons().Add(std::move(icon));
}

BOOL GetIconInfo(HICON hIcon, ICONINFO *piconinfo) {
  TIconBitmaps *icon = Find(hIcon);
  if (!icon || !piconinfo)
    return FALSE;
  *piconinfo = {};
  piconinfo->hbmColor = icon->Color.Handle();
  piconinfo->hbmMask = icon->Mask.Handle();
  return TRUE;
}

BOOL DestroyIcon(HICON hIcon) { return Icons().Take(hIcon) ? TRUE : FALSE; }

TIcon::~TIcon() {
  if (FHandle)
    DestroyIcon(FHandle);
}

void TIcon::SetHandle(HICON Value) {
  if (Value == FHandle)
    return;
  if (FHandle)
    DestroyIcon(FHandle);
  FHandle = Value;
}

HICON TIcon::ReleaseHandle() { return std::exchange(FHandle, nullptr); }

Integer TIcon::Width() const {
  const TIconBitmaps *icon = Find(FHandle);
  return icon ? icon->Color.Width() : 0;
}

Integer TIcon::Height() const {
  const TIconBitmaps *icon = Find(FHandle);
  return icon ? icon->Color.Height() : 0;
}

void TIcon::Assign(const TPersistent *Source) {
  const auto *other = dynamic_cast<const TIcon *>(Source);
  if (!other) {
    TPersistent::Assign(Source);
    return;
  }
  if (other == this)
    return;
  ICONINFO info;
  SetHandle(GetIconInfo(other->FHandle, &info) ? CreateIconIndirect(&info) : nullptr);
}

} // namespace krx
