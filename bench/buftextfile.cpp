// Throughput of TBufTextFile: writing and reading a large UTF-8 text file line by line with
// the system's 16,384-byte buffer. Reports bytes per second of file content.
#include "World/BufTextF.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

namespace {

constexpr int kLines = 200000;

krx::String SampleLine(int i) {
  return krx::String(u"  FValue") + krx::IntToStr(i) +
         u" := Format('%s \u00e9t\u00e9 %d', [Name, Count]); // caf\u00e9 \u20ac";
}

krx::String TempFile(const char *tag) {
  auto p = std::filesystem::temp_directory_path() /
           ("krx-bench-" + std::to_string(::getpid()) + "-" + tag + ".txt");
  return krx::Utf8ToString(p.string());
}

void WriteSample(const krx::String &name) {
  krx::TBufTextFile f(name, krx::btmCreate, 0, 16384);
  for (int i = 0; i < kLines; ++i)
    f.WriteLine(SampleLine(i));
  f.Flush();
}

void BM_BufTextFileWrite(benchmark::State &state) {
  const krx::String name = TempFile("write");
  for (auto _ : state)
    WriteSample(name);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(
                                                   krx::StringToUtf8(name))));
  std::filesystem::remove(krx::StringToUtf8(name));
}
BENCHMARK(BM_BufTextFileWrite)->Unit(benchmark::kMillisecond);

void BM_BufTextFileRead(benchmark::State &state) {
  const krx::String name = TempFile("read");
  WriteSample(name);
  std::size_t chars = 0;
  for (auto _ : state) {
    krx::TBufTextFile f(name, krx::btmRead, 0, 16384);
    while (!f.Eof())
      chars += f.ReadLine().size();
  }
  benchmark::DoNotOptimize(chars);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(
                                                   krx::StringToUtf8(name))));
  std::filesystem::remove(krx::StringToUtf8(name));
}
BENCHMARK(BM_BufTextFileRead)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
