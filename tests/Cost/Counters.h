#pragma once
// Counts of the work done, which the machine's load cannot move, for the cost tests (defined
// in Counters.cpp): this program's own operator new counts every allocation and the bytes it
// asks for; the platform and the system's units it links are compiled with
// -fsanitize-coverage=trace-pc, which calls __sanitizer_cov_trace_pc at the start of every
// basic block, counted per thread. Blocks see the work that allocates nothing (element moves,
// scans, comparisons); bytes see a string built by prepending, which allocates about as often
// as writing it once but copies its growing length each time.

#include <cstdint>
#include <ostream>

namespace krx::test {

// Allocations made by this program so far, and the bytes they asked for.
std::uint64_t AllocationCount();
std::uint64_t AllocatedBytes();
// Basic blocks of the counted code entered on the calling thread so far.
std::uint64_t WorkCount();

struct TCost {
  std::uint64_t Allocations = 0, Bytes = 0, Blocks = 0;
};
std::ostream &operator<<(std::ostream &out, const TCost &cost);

// The cost of `work`, run once first to warm what is built on first use.
template <class TWork> TCost CostOfWork(TWork &&work) {
  work();
  const TCost before{AllocationCount(), AllocatedBytes(), WorkCount()};
  work();
  return {AllocationCount() - before.Allocations, AllocatedBytes() - before.Bytes,
          WorkCount() - before.Blocks};
}

// Each count of `last` is at most `limit` times that of `first`.
bool GrewAtMost(const TCost &first, const TCost &last, std::uint64_t limit);

} // namespace krx::test
