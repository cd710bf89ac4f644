#include "Platform/Win/ObjectHandles.h"

#include <atomic>

namespace krx {

namespace {
// Steps of 4 keep the values aligned like the addresses they stand in for; 2^62 objects
// would be needed to wrap.
constexpr std::uintptr_t kFirstHandleValue = 0x10000;
constexpr std::uintptr_t kHandleStep = 4;
constinit std::atomic<std::uintptr_t> gNextHandleValue{kFirstHandleValue};
} // namespace

std::uintptr_t NewObjectHandleValue() {
  return gNextHandleValue.fetch_add(kHandleStep, std::memory_order_relaxed);
}

} // namespace krx
