// The parser's cost on extreme but legal inputs grows about linearly with their size. Each
// input is parsed at four sizes, doubling from the first; the largest may cost at most a
// little more than eight times the first, in allocations (counted by this program's own
// operator new) and in the thread's CPU time (the cheapest of three runs, since load only
// ever adds to a run). Wall time is not used: it would fail on a busy machine.
#include "support/ExplorerSupport.h"
#include "support/KrxTest.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <new>

namespace {
std::atomic<std::uint64_t> gAllocations{0};
} // namespace

void *operator new(std::size_t size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void *p = std::malloc(size ? size : 1))
    return p;
  throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }

namespace krx::test {
namespace {

double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct TCost {
  std::uint64_t Allocations = 0;
  double Seconds = 0;
};

String Repeated(StringView s, Integer n) {
  String r;
  r.reserve(s.size() * static_cast<std::size_t>(n));
  for (Integer i = 0; i < n; ++i)
    r += s;
  return r;
}

// A global delegates file of n lines, valid and invalid names alternating. Its time is set
// apart for every size, so that each parse reads it again.
void WriteDelegates(Integer n) {
  namespace fs = std::filesystem;
  const fs::path file(StringToUtf8(TDelphiModuleExplorer::GetGlobalDelegatesFileName()));
  std::string bytes;
  for (Integer i = 0; i < n; ++i)
    bytes += (i % 2 ? "1bad" : "TEv") + std::to_string(1000000 + i) + " = x;\n";
  WriteFileBytes(file, bytes);
  static int stamp = 0;
  fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(1) +
                                std::chrono::minutes(++stamp));
}

struct TGrowth {
  const char *What;
  Integer FirstSize;
  std::function<String(Integer)> Text;
  std::function<void(Integer)> Prepare;
};

TCost CostOf(const TGrowth &g, Integer n) {
  const String text = g.Text(n);
  TCost best{~std::uint64_t(0), 1e9};
  for (int run = 0; run < 3; ++run) {
    if (g.Prepare)
      g.Prepare(n);
    const std::uint64_t allocations = gAllocations.load();
    const double start = ThreadSeconds();
    Explore(text); // parsed, then freed
    best.Seconds = std::min(best.Seconds, ThreadSeconds() - start);
    best.Allocations = std::min(best.Allocations, gAllocations.load() - allocations);
  }
  return best;
}

TEST(Growth, ExtremeInputsCostAboutLinearly) {
  const TGrowth rows[] = {
      {"nested regions", 4000,
       [](Integer n) {
         return u"unit U;\ninterface\n" + Repeated(u"{$REGION r}\n", n) +
                Repeated(u"{$ENDREGION}\n", n) + u"implementation\nend.";
       },
       nullptr},
      {"nested local routines", 4000,
       [](Integer n) {
         return u"unit U;\ninterface\nimplementation\n" + Repeated(u"procedure P;\n", n) +
                Repeated(u"begin end;\n", n) + u"end.";
       },
       nullptr},
      {"nested classes", 400,
       [](Integer n) {
         return u"unit U;\ninterface\ntype\n" + Repeated(u"T = class\ntype\n", n) +
                Repeated(u"end;\n", n) + u"implementation\nend.";
       },
       nullptr},
      {"defines", 4000,
       [](Integer n) {
         String text = u"unit U;\ninterface\n";
         for (Integer i = n; i > 0; --i)
           text += Format(u"{$DEFINE D%d}\n", {1000000 + i});
         return text + u"implementation\nend.";
       },
       nullptr},
      {"global delegates file", 8000,
       [](Integer n) {
         String text = u"unit U;\ninterface\ntype T = class\n";
         for (Integer i = 0; i < n / 64; ++i)
           text += Format(u"  property On%d: TEv%d read F write F;\n", {i, 1000000 + 2 * i});
         return text + u"end;\nimplementation\nend.";
       },
       WriteDelegates},
  };
  for (const TGrowth &g : rows) {
    const TCost first = CostOf(g, g.FirstSize);
    TCost last;
    for (Integer n = 2 * g.FirstSize; n <= 8 * g.FirstSize; n *= 2)
      last = CostOf(g, n);
    // Linear growth gives 8; quadratic growth 64.
    EXPECT_LE(last.Allocations, 12 * first.Allocations) << g.What;
    EXPECT_LE(last.Seconds, 20 * first.Seconds) << g.What << ": " << first.Seconds << " s, then "
                                                << last.Seconds << " s";
  }
  std::filesystem::remove(StringToUtf8(TDelphiModuleExplorer::GetGlobalDelegatesFileName()));
}

} // namespace
} // namespace krx::test
