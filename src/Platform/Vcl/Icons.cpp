#include "Platform/Vcl/Icons.h"

#include "Platform/Win/ObjectHandles.h"

#include <memory>
#include <mutex>
#include <unordered_map>

namespace krx {

namespace {

struct TIconBitmaps {
  TBitmap Color;
  TBitmap Mask;
};

// The live icons by handle; an icon's bitmaps are owned here until DestroyIcon.
struct TIconRegistry {
  std::mutex Lock;
  std::unordered_map<HICON, std::unique_ptr<TIconBitmaps>> Live;
};

TIconRegistry &Icons() {
  static TIconRegistry registry;
  return registry;
}

TIconBitmaps *Find(HICON hIcon) {
  auto &r = Icons();
  std::lock_guard lock(r.Lock);
  auto it = r.Live.find(hIcon);
  return it == r.Live.end() ? nullptr : it->second.get();
}

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
  const auto handle = NewObjectHandle<HICON>();
  auto &r = Icons();
  std::lock_guard lock(r.Lock);
  r.Live.emplace(handle, std::move(icon));
  return handle;
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

BOOL DestroyIcon(HICON hIcon) {
  std::unique_ptr<TIconBitmaps> icon;
  {
    auto &r = Icons();
    std::lock_guard lock(r.Lock);
    auto it = r.Live.find(hIcon);
    if (it == r.Live.end())
      return FALSE;
    icon = std::move(it->second);
    r.Live.erase(it);
  }
  return TRUE;
}

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
