// The counts of Counters.h. Every replaceable form of new and delete that the standard library
// and the sanitizer runtime reach is replaced, so that each pointer is freed by the allocator
// that made it (a nothrow new left to the sanitizer while delete is ours reads as a mismatch).
#include "Cost/Counters.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace krx::test {
namespace {
std::atomic<std::uint64_t> gAllocations{0};
std::atomic<std::uint64_t> gAllocatedBytes{0};
thread_local std::uint64_t tBlocks = 0;

[[gnu::noinline]] void *CountedAlloc(std::size_t size) noexcept {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  gAllocatedBytes.fetch_add(size, std::memory_order_relaxed);
  return std::malloc(size ? size : 1);
}
} // namespace

std::uint64_t AllocationCount() { return gAllocations.load(std::memory_order_relaxed); }
std::uint64_t AllocatedBytes() { return gAllocatedBytes.load(std::memory_order_relaxed); }
std::uint64_t WorkCount() { return tBlocks; }

std::ostream &operator<<(std::ostream &out, const TCost &cost) {
  return out << cost.Allocations << " allocations of " << cost.Bytes << " bytes, " << cost.Blocks
             << " blocks";
}

bool GrewAtMost(const TCost &first, const TCost &last, std::uint64_t limit) {
  return last.Allocations <= limit * first.Allocations && last.Bytes <= limit * first.Bytes &&
         last.Blocks <= limit * first.Blocks;
}

} // namespace krx::test

// Called by the counted code at the start of every basic block.
extern "C" void __sanitizer_cov_trace_pc() { ++krx::test::tBlocks; }

// Not inlined, so that the compiler does not pair a `new` it knows with the `free` inside.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
[[gnu::noinline]] void *operator new(std::size_t size) {
  if (void *p = krx::test::CountedAlloc(size))
    return p;
  throw std::bad_alloc();
}
[[gnu::noinline]] void *operator new[](std::size_t size) { return operator new(size); }
[[gnu::noinline]] void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
  return krx::test::CountedAlloc(size);
}
[[gnu::noinline]] void *operator new[](std::size_t size, const std::nothrow_t &) noexcept {
  return krx::test::CountedAlloc(size);
}
[[gnu::noinline]] void operator delete(void *p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void *p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void *p, std::size_t) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void *p, std::size_t) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void *p, const std::nothrow_t &) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void *p, const std::nothrow_t &) noexcept { std::free(p); }
#pragma GCC diagnostic pop
