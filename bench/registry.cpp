// Cost of the registry's hive handling at sizes users reach: reading a hive with 40,000 values
// in one key or 100,000 keys, and one value write into such a hive (a whole transaction: lock,
// read, change, write beside, rename). Each must stay linear or log-linear in the hive's size.
#include "Platform/Registry/Registry.h"
#include "Platform/Registry/RegistryHive.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

using namespace krx;

std::string ManyValuesHive(int count) {
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wide]\r\n";
  for (int i = 0; i < count; ++i)
    text += "\"Value" + std::to_string(i) + "\"=\"some text\"\r\n";
  return text;
}

// Keys in descending order, the worst case for insertion into a sorted sequence.
std::string ManyKeysHive(int count) {
  std::string text = "Windows Registry Editor Version 5.00\r\n";
  for (int i = count - 1; i >= 0; --i)
    text += "\r\n[HKEY_CURRENT_USER\\Software\\Key" + std::to_string(i) + "]\r\n\"v\"=dword:00000001\r\n";
  return text;
}

void BM_ParseHiveWithManyValues(benchmark::State &state) {
  const std::string text = ManyValuesHive(static_cast<int>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(reghive::ParseHive(text, u"HKEY_CURRENT_USER"));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseHiveWithManyValues)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond)
    ->Complexity();

void BM_ParseHiveWithManyKeys(benchmark::State &state) {
  const std::string text = ManyKeysHive(static_cast<int>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(reghive::ParseHive(text, u"HKEY_CURRENT_USER"));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseHiveWithManyKeys)->Arg(25000)->Arg(100000)->Unit(benchmark::kMillisecond)
    ->Complexity();

// One WriteString into a key that holds 40,000 values: the whole transaction.
void BM_WriteStringIntoAWideKey(benchmark::State &state) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("krx-bench-registry-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  ::setenv("KRX_REGISTRY_DIR", dir.c_str(), 1);
  std::ofstream(dir / "HKEY_CURRENT_USER.reg", std::ios::binary) << ManyValuesHive(40000);
  TRegistry reg;
  reg.OpenKey(u"Software\\Wide", false);
  int i = 0;
  for (auto _ : state)
    reg.WriteString(u"Value20000", IntToStr(++i));
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_WriteStringIntoAWideKey)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
