// The parser's cost on extreme but legal inputs grows about linearly with their size. Each
// input is parsed at a first size and after three doublings; the larger may cost little
// more than eight times the first, in allocations (counted by this program's own operator
// new) and in the thread's CPU time (the least of three runs, since load only ever adds to
// a run). Wall time is not used: it would fail on a busy machine.
#include "support/ExplorerSupport.h"
#include "support/KrxTest.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace {
std::atomic<std::uint64_t> gAllocations{0};
} // namespace

void *operator new(std::size_t size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void *p = std::malloc(size ? size : 1))
    return p;
  throw std::bad_alloc();
}
// The replacements pair malloc with free; GCC takes the free for one of new's pointers.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace krx::test {
namespace {

double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// `line` n times (every `every`-th of them), "#" standing for a number of fixed width.
std::string Lines(const std::string &line, int n, int every = 1) {
  std::string r;
  for (int i = 0; i < n; i += every) {
    std::string l = line;
    for (std::size_t at; (at = l.find('#')) != std::string::npos;)
      l.replace(at, 1, std::to_string(1000000 + n - i));
    r += l;
  }
  return r;
}

struct TInput {
  const char *What;
  int FirstSize;
  std::string Head, Open, Close, Tail;
  std::string Delegates; // a line of the global delegates file, when the input has one
};

struct TCost {
  std::uint64_t Allocations = ~std::uint64_t(0);
  double Seconds = 1e9;
};

TCost CostOf(const TInput &in, int n) {
  namespace fs = std::filesystem;
  const fs::path file(StringToUtf8(TDelphiModuleExplorer::GetGlobalDelegatesFileName()));
  const bool delegates = !in.Delegates.empty();
  const String text =
      Utf8ToString(in.Head + Lines(in.Open, n, delegates ? 64 : 1) + Lines(in.Close, n) + in.Tail);
  if (delegates)
    WriteFileBytes(file, Lines(in.Delegates, n));
  TCost best;
  for (int run = 0; run < 3; ++run) {
    static int minutes = 0; // a new time for every run, so that the file is read again
    if (delegates)
      fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(1) +
                                    std::chrono::minutes(++minutes));
    const std::uint64_t allocations = gAllocations.load();
    const double start = ThreadSeconds();
    Explore(text); // parsed, then freed
    best.Seconds = std::min(best.Seconds, ThreadSeconds() - start);
    best.Allocations = std::min(best.Allocations, gAllocations.load() - allocations);
  }
  if (delegates)
    fs::remove(file);
  return best;
}

TEST(Growth, ExtremeInputsCostAboutLinearly) {
  const TInput inputs[] = {
      {"nested regions", 4000, "unit U;\n", "{$REGION r}\n", "{$ENDREGION}\n", "end.", ""},
      {"nested local routines", 4000, "unit U;\ninterface\nimplementation\n", "procedure P;\n",
       "begin end;\n", "end.", ""},
      {"nested classes", 400, "unit U;\ninterface\ntype\n", "T = class\ntype\n", "end;\n",
       "implementation\nend.", ""},
      {"defines (in descending order)", 4000, "unit U;\n", "{$DEFINE D#}\n", "", "end.", ""},
      {"global delegates file, valid and invalid lines", 4000,
       "unit U;\ninterface\ntype T = class\n", "  property P#: TEv# read F write F;\n", "",
       "end;\nend.", "TEv# = procedure of object;\n1bad#\n"},
  };
  for (const TInput &in : inputs) {
    const TCost first = CostOf(in, in.FirstSize), last = CostOf(in, 8 * in.FirstSize);
    // Linear growth gives 8, quadratic growth 64.
    EXPECT_LE(last.Allocations, 12 * first.Allocations) << in.What;
    EXPECT_LE(last.Seconds, 20 * first.Seconds)
        << in.What << ": " << first.Seconds << " s, then " << last.Seconds << " s";
  }
}

} // namespace
} // namespace krx::test
