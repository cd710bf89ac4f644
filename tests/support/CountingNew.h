#pragma once
// Counts every allocation of the test program that includes this header (in exactly one of
// its sources): cost tests compare counts of work, not time. Every replaceable form of new
// and delete that the standard library and the sanitizer runtime reach is replaced, so that
// each pointer is freed by the allocator that made it (a nothrow new left to the sanitizer
// while delete is ours reads as a mismatch).

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace krx::test {
inline std::atomic<std::uint64_t> gAllocations{0};

// Allocations made by this program so far.
inline std::uint64_t AllocationCount() { return gAllocations.load(std::memory_order_relaxed); }

[[gnu::noinline]] inline void *CountedAlloc(std::size_t size) noexcept {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size ? size : 1);
}
} // namespace krx::test

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
[[gnu::noinline]] void operator delete[](void *p, const std::nothrow_t &) noexcept {
  std::free(p);
}
#pragma GCC diagnostic pop
