// Handle values of the platform's graphic objects (bitmaps, icons, image lists). Every object
// gets a value of its own when it is made, from one process-wide counter that only grows, so
// a value is never handed out twice: a handle kept after its object was freed names nothing,
// and cannot resolve to a later object that happens to occupy the same memory. The objects'
// tables map these values to the live objects.
#pragma once

#include <cstdint>

namespace krx {

// A value no earlier call returned; never 0, and never a small integer that a wrongly cast
// number could carry.
std::uintptr_t NewObjectHandleValue();

template <class THandle> THandle NewObjectHandle() {
  return reinterpret_cast<THandle>(NewObjectHandleValue());
}

} // namespace krx
