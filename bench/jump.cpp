// One jump request as the IDE serves it: a new finder parses the whole text of a real unit of
// 10,246 lines (googlemapsengine.pp of the Free Pascal sources, /usr/share/fpcsrc/3.2.2 or the
// folder in KRX_FPC_SOURCES) and finds a method implemented near its end. Reading the file is
// not timed. Besides the mean, the run reports the median and the 99th percentile of the
// single jumps; the aim is under 5 ms on one core.
#include "BenchMain.h"
#include "KR4expt/JumpLocationParsers.h"
#include "World/ClassEx.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace krx {
namespace {

namespace fs = std::filesystem;

fs::path UnitPath() {
  const char *env = std::getenv("KRX_FPC_SOURCES");
  const fs::path root = env && *env ? fs::path(env) : fs::path("/usr/share/fpcsrc/3.2.2");
  return root / "packages/googleapi/src/googlemapsengine.pp";
}

void BM_JumpOnALargeUnit(benchmark::State &state) {
  std::ifstream in(UnitPath(), std::ios::binary);
  const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  String text;
  TTextEncoding enc;
  if (raw.empty() ||
      !DecodeTextBytes(reinterpret_cast<const Byte *>(raw.data()), raw.size(), text, enc)) {
    state.SkipWithError("googlemapsengine.pp not found: install the Free Pascal sources");
    return;
  }
  std::vector<double> ms;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    TJumpLocationParser finder(text, u"procedure", u"TTablesResource", u"Upload", u"", lanPascal);
    Integer line = 0, body = 0;
    benchmark::DoNotOptimize(finder.Locate(line, body));
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
    if (line == 0) {
      state.SkipWithError("the method was not found");
      return;
    }
  }
  std::sort(ms.begin(), ms.end());
  state.counters["median ms"] = ms[ms.size() / 2];
  state.counters["p99 ms"] = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
  state.SetBytesProcessed(static_cast<Int64>(raw.size() * ms.size()));
}

BENCHMARK(BM_JumpOnALargeUnit)->Unit(benchmark::kMillisecond)->Iterations(200);

} // namespace
} // namespace krx

int main(int argc, char **argv) { return krx::RunBenchmarks(argc, argv); }
