// Cost of the ini files at sizes a hostile or simply large file reaches: loading a UTF-8 ini
// file of many sections and reading a value from each, and writing many keys into one section
// and saving it (the shape of a transfer file of many project files). Each must stay linear
// or log-linear in the file's size.
#include "World/Utf8IniFiles.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

using namespace krx;

String TempFile(const char *tag) {
  const auto p = std::filesystem::temp_directory_path() /
                 ("krx-bench-ini-" + std::to_string(::getpid()) + "-" + tag + ".ini");
  return Utf8ToString(p.string());
}

void BM_LoadAndLookUpManySections(benchmark::State &state) {
  const int count = static_cast<int>(state.range(0));
  const String name = TempFile("sections");
  {
    std::ofstream out(StringToUtf8(name), std::ios::binary);
    out << "\xEF\xBB\xBF\r\n";
    for (int i = 0; i < count; ++i)
      out << "[Section" << i << "]\r\nPrefix=p" << i << "\r\nKind=1\r\n\r\n";
  }
  std::size_t found = 0;
  for (auto _ : state) {
    TUtf8IniFile ini(name);
    for (int i = 0; i < count; ++i)
      found += ini.ReadString(u"section" + IntToStr(i), u"prefix", u"").size();
  }
  benchmark::DoNotOptimize(found);
  state.SetComplexityN(state.range(0));
  std::filesystem::remove(StringToUtf8(name));
}
BENCHMARK(BM_LoadAndLookUpManySections)
    ->Arg(25000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

void BM_WriteManyKeysAndSave(benchmark::State &state) {
  const int count = static_cast<int>(state.range(0));
  const String name = TempFile("keys");
  for (auto _ : state) {
    TUtf8IniFile ini(u"");
    ini.Rename(name, false);
    ini.WriteInteger(u"ProjectFiles", u"FileCount", count);
    for (int i = 0; i < count; ++i)
      ini.WriteString(u"ProjectFiles", u"File_" + IntToStr(i),
                      u"/src/unit" + IntToStr(i) + u".pas");
    ini.UpdateFile();
  }
  state.SetComplexityN(state.range(0));
  std::filesystem::remove(StringToUtf8(name));
}
BENCHMARK(BM_WriteManyKeysAndSave)
    ->Arg(25000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

} // namespace

BENCHMARK_MAIN();
