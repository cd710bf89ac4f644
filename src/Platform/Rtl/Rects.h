// Points, sizes and rectangles of the class library (System.Types), and MulDiv, with which
// the class library scales every length.
#pragma once

#include "Platform/Rtl/Types.h"

#include <algorithm>
#include <cstdint>

namespace krx {

struct TPoint {
  Integer X = 0;
  Integer Y = 0;
  bool operator==(const TPoint &) const = default;
};

struct TSize {
  Integer cx = 0;
  Integer cy = 0;
  bool operator==(const TSize &) const = default;
};

// Right and Bottom are exclusive, as on the original platform.
struct TRect {
  Integer Left = 0;
  Integer Top = 0;
  Integer Right = 0;
  Integer Bottom = 0;

  Integer Width() const { return Right - Left; }
  Integer Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
  bool operator==(const TRect &) const = default;
};

inline TRect Rect(Integer Left, Integer Top, Integer Right, Integer Bottom) {
  return {Left, Top, Right, Bottom};
}
inline TRect Bounds(Integer Left, Integer Top, Integer Width, Integer Height) {
  return {Left, Top, Left + Width, Top + Height};
}

// The intersection of two rectangles; False (and an empty rectangle) when they do not overlap.
inline bool IntersectRect(TRect &Dest, const TRect &A, const TRect &B) {
  Dest = {std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right),
          std::min(A.Bottom, B.Bottom)};
  if (Dest.IsEmpty()) {
    Dest = {};
    return false;
  }
  return true;
}

// Number * Numerator / Denominator with a 64-bit intermediate, rounded half away from zero;
// -1 for a zero denominator, as the original platform answers.
inline Integer MulDiv(Integer Number, Integer Numerator, Integer Denominator) {
  if (Denominator == 0)
    return -1;
  const std::int64_t p = static_cast<std::int64_t>(Number) * Numerator;
  std::int64_t q = p / Denominator;
  const std::int64_t r = p % Denominator;
  if (2 * (r < 0 ? -r : r) >= (Denominator < 0 ? -std::int64_t(Denominator) : Denominator))
    q += ((p < 0) != (Denominator < 0)) ? -1 : 1;
  return static_cast<Integer>(q);
}

} // namespace krx
