// Handle values of the platform's graphic objects (bitmaps, icons, image lists). Every object
// gets a value of its own when it is made, from one process-wide counter that only grows, so
// a value is never handed out twice: a handle kept after its object was freed names nothing,
// and cannot resolve to a later object that happens to occupy the same memory. The objects'
// tables map these values to the live objects.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace krx {

// A value no earlier call returned; never 0, and never a small integer that a wrongly cast
// number could carry.
std::uintptr_t NewObjectHandleValue();

template <class THandle> THandle NewObjectHandle() {
  return reinterpret_cast<THandle>(NewObjectHandleValue());
}

// The live objects of one handle kind, owned by the table from Add to Take.
template <class THandle, class TItem> class TObjectHandleTable {
public:
  THandle Add(std::unique_ptr<TItem> Object) {
    const auto handle = NewObjectHandle<THandle>();
    std::lock_guard lock(FLock);
    FLive.emplace(handle, std::move(Object));
    return handle;
  }
  // The object of a handle; null for a handle that names no live object.
  TItem *Find(THandle Handle) {
    std::lock_guard lock(FLock);
    auto it = FLive.find(Handle);
    return it == FLive.end() ? nullptr : it->second.get();
  }
  // Removes the object from the table and hands it over; null when the handle names none.
  std::unique_ptr<TItem> Take(THandle Handle) {
    std::lock_guard lock(FLock);
    auto it = FLive.find(Handle);
    if (it == FLive.end())
      return nullptr;
    std::unique_ptr<TItem> object = std::move(it->second);
    FLive.erase(it);
    return object;
  }

private:
  std::mutex FLock;
  std::unordered_map<THandle, std::unique_ptr<TItem>> FLive;
};

} // namespace krx
