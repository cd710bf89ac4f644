// Icons of the class library and the platform's icon handles. An icon is a colour bitmap
// and a mask bitmap of one size: a mask pixel that is not black marks a transparent pixel;
// a 32-bit colour bitmap may carry its own alpha as well. Handles are checked against the
// live icons before they are used, so a stale or foreign handle is refused, not followed.
#pragma once

#include "Platform/Vcl/Graphics.h"

namespace krx {

struct HICON__;
using HICON = HICON__ *; // opaque; names a live icon

struct ICONINFO {
  BOOL fIcon = TRUE;
  DWORD xHotspot = 0;
  DWORD yHotspot = 0;
  HBITMAP hbmMask = nullptr;
  HBITMAP hbmColor = nullptr;
};

// A new icon from copies of the two bitmaps, which must be live and of one size; nil
// otherwise.
HICON CreateIconIndirect(const ICONINFO *piconinfo);
// The icon's own colour and mask bitmaps (not copies, unlike the platform: they live as long
// as the icon, and the caller does not free them); FALSE for a handle that names no icon.
BOOL GetIconInfo(HICON hIcon, ICONINFO *piconinfo);
BOOL DestroyIcon(HICON hIcon);

// The class library's icon: owns its handle.
class TIcon : public TPersistent {
public:
  TIcon() = default;
  ~TIcon() override;

  HICON Handle() const { return FHandle; }
  // Takes the handle over, destroying the one held before.
  void SetHandle(HICON Value);
  // Gives the handle up to the caller.
  HICON ReleaseHandle();
  bool Empty() const { return FHandle == nullptr; }
  Integer Width() const;
  Integer Height() const;

  // Copies another icon (a new handle of its own).
  using TPersistent::Assign;
  void Assign(const TPersistent *Source) override;

private:
  HICON FHandle = nullptr;
};

} // namespace krx
