// Text to code model with the Delphi explorer over the Free Pascal source tree
// (/usr/share/fpcsrc/3.2.2, or the folder in KRX_FPC_SOURCES), as the jump finder parses: the
// whole text of a unit, a new explorer each, conditions evaluated and include files followed
// (their reading is timed, as it is in use). Reading and decoding the units themselves is not
// timed. Bytes are the units' own bytes.
//
// BM_PassrcPeer runs Free Pascal's fcl-passrc parser (bench/peers/passrc_peer, built when fpc
// is installed) over the same units in Delphi mode and reports its throughput the same way,
// so the two can be compared in one run; without the peer it is skipped with a note.
#include "BenchMain.h"
#include "Engine/DelphiExplorers.h"
#include "World/ClassEx.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace krx {
namespace {

namespace fs = std::filesystem;

fs::path Root() {
  const char *env = std::getenv("KRX_FPC_SOURCES");
  return env && *env ? fs::path(env) : fs::path("/usr/share/fpcsrc/3.2.2");
}

std::vector<fs::path> Units() {
  std::vector<fs::path> r;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(Root(), ec), end; !ec && it != end; it.increment(ec)) {
    const auto ext = it->path().extension();
    if (it->is_regular_file() && (ext == ".pas" || ext == ".pp"))
      r.push_back(it->path());
  }
  std::sort(r.begin(), r.end());
  return r;
}

bool ReadSource(const fs::path &p, String &text, std::size_t &bytes) {
  std::ifstream in(p, std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  bytes = raw.size();
  TTextEncoding enc;
  return DecodeTextBytes(reinterpret_cast<const Byte *>(raw.data()), raw.size(), text, enc);
}

void BM_Explore(benchmark::State &state) {
  const auto files = Units();
  if (files.empty()) {
    state.SkipWithError("no Free Pascal sources: run scripts/setup");
    return;
  }
  double bytes = 0, items = 0;
  for (auto _ : state) {
    for (const fs::path &f : files) {
      state.PauseTiming();
      String text;
      std::size_t size = 0;
      const bool ok = ReadSource(f, text, size);
      const String name = Utf8ToString(f.string());
      state.ResumeTiming();
      if (!ok)
        continue;
      bytes += static_cast<double>(size);
      auto explorer = ModuleExplorerRegistry().CreateExplorer(lanPascal);
      explorer->ModuleItem()->SetFileName(name);
      explorer->ExploreText(text);
      items += explorer->ItemCount();
    }
  }
  state.SetBytesProcessed(static_cast<Int64>(bytes));
  state.counters["files"] = static_cast<double>(files.size());
  state.counters["top-level items/s"] = benchmark::Counter(items, benchmark::Counter::kIsRate);
}

void BM_PassrcPeer(benchmark::State &state) {
  const fs::path peer = fs::path(KRX_BINARY_DIR) / "peers" / "passrc_peer";
  if (!fs::exists(peer)) {
    state.SkipWithError("fpc with fcl-passrc is not installed: the peer was not built");
    return;
  }
  const auto files = Units();
  const fs::path list = fs::temp_directory_path() / "krx-bench-passrc-list.txt";
  {
    std::ofstream out(list);
    for (const fs::path &f : files)
      out << f.string() << '\n';
  }
  double bytes = 0, seconds = 0;
  for (auto _ : state) {
    const std::string command = peer.string() + " --time " + list.string();
    FILE *pipe = ::popen(command.c_str(), "r");
    unsigned long long n = 0, b = 0;
    double s = 0;
    if (!pipe || std::fscanf(pipe, "files %llu bytes %llu seconds %lf", &n, &b, &s) != 3) {
      if (pipe)
        ::pclose(pipe);
      state.SkipWithError("the peer gave no result");
      return;
    }
    ::pclose(pipe);
    bytes += static_cast<double>(b);
    seconds += s;
    state.SetIterationTime(s);
  }
  fs::remove(list);
  state.SetBytesProcessed(static_cast<Int64>(bytes));
  state.counters["files"] = static_cast<double>(files.size());
}

BENCHMARK(BM_Explore)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PassrcPeer)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

} // namespace
} // namespace krx

int main(int argc, char **argv) { return krx::RunBenchmarks(argc, argv); }
