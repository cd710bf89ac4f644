// Extreme but legal inputs at the largest sizes the parser is held to, each parsed as the jump
// finder parses a unit (the whole text, a new explorer; freeing the model is timed too):
// 100,000 nested regions, 300,000 nested local routines, 10,000 nested classes, 500,000
// distinct defines, and a unit with 2,000 event properties read against a global delegates
// file of 1,000,000 lines, valid and invalid names alternating (the file is read at every
// iteration); and the qualified name of a class nested 1,600 deep in a hand-built model (the
// parser bounds nesting, the model does not). The program re-roots the user's folders into a
// temporary folder (KRX_SHELL_ROOT), so the user's own delegates file is never touched.
#include "BenchMain.h"
#include "Engine/CodeItems.h"
#include "Engine/DelphiExplorers.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace krx {
namespace {

namespace fs = std::filesystem;

String Repeated(StringView s, Integer n) {
  String r;
  r.reserve(s.size() * static_cast<std::size_t>(n));
  for (Integer i = 0; i < n; ++i)
    r += s;
  return r;
}

void Parse(benchmark::State &state, const String &text, void (*beforeEach)() = nullptr) {
  for (auto _ : state) {
    if (beforeEach) {
      state.PauseTiming();
      beforeEach();
      state.ResumeTiming();
    }
    auto explorer = ModuleExplorerRegistry().CreateExplorer(lanPascal);
    explorer->ExploreText(text);
    benchmark::DoNotOptimize(explorer->ItemCount());
  }
  state.SetBytesProcessed(static_cast<Int64>(text.size() * state.iterations()));
}

void BM_NestedRegions(benchmark::State &state) {
  Parse(state, u"unit U;\ninterface\nimplementation\n" + Repeated(u"{$REGION r}\n", 100000) +
                   Repeated(u"{$ENDREGION}\n", 100000) + u"end.");
}

void BM_NestedLocalRoutines(benchmark::State &state) {
  Parse(state, u"unit U;\ninterface\nimplementation\n" + Repeated(u"procedure P;\n", 300000) +
                   Repeated(u"begin end;\n", 300000) + u"end.");
}

void BM_NestedClasses(benchmark::State &state) {
  Parse(state, u"unit U;\ninterface\ntype\n" + Repeated(u"T = class\ntype\n", 10000) +
                   Repeated(u"end;\n", 10000) + u"implementation\nend.");
}

void BM_Defines(benchmark::State &state) {
  String text = u"unit U;\ninterface\n";
  for (Integer i = 500000; i > 0; --i)
    text += u"{$DEFINE D" + IntToStr(1000000 + i) + u"}\n";
  Parse(state, text + u"implementation\nend.");
}

fs::path DelegatesFile() {
  return StringToUtf8(TDelphiModuleExplorer::GetGlobalDelegatesFileName());
}

// A time of its own for every iteration, so that the file is read again.
void TouchDelegates() {
  static int minutes = 0;
  fs::last_write_time(DelegatesFile(), fs::file_time_type::clock::now() - std::chrono::hours(24) +
                                           std::chrono::minutes(++minutes));
}

void BM_GlobalDelegatesFile(benchmark::State &state) {
  {
    fs::create_directories(DelegatesFile().parent_path());
    std::ofstream out(DelegatesFile(), std::ios::binary);
    for (int i = 0; i < 1000000; ++i)
      out << (i % 2 ? "1bad" : "TEv") << 1000000 + i << " = procedure of object;\n";
  }
  String text = u"unit U;\ninterface\ntype T = class\n";
  for (Integer i = 0; i < 2000; ++i)
    text += u"  property On" + IntToStr(i) + u": TEv" + IntToStr(1000000 + 2 * i) +
            u" read F write F;\n";
  Parse(state, text + u"end;\nimplementation\nend.", TouchDelegates);
  fs::remove(DelegatesFile());
}

void BM_QualifiedName(benchmark::State &state) {
  TModuleItem module;
  TCodeItem *item = &module;
  for (int i = 0; i < 1600; ++i) {
    item = new TClassItem(item);
    item->SetName(u"TNameOfSixteen__");
  }
  for (auto _ : state)
    benchmark::DoNotOptimize(item->GetQualifiedName());
}

BENCHMARK(BM_NestedRegions)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_NestedLocalRoutines)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_NestedClasses)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Defines)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_GlobalDelegatesFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_QualifiedName)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace krx

int main(int argc, char **argv) {
  namespace fs = std::filesystem;
  const fs::path root =
      fs::temp_directory_path() / ("krx-bench-extreme-" + std::to_string(getpid()));
  fs::create_directories(root);
  setenv("KRX_SHELL_ROOT", root.c_str(), 1);
  const int result = krx::RunBenchmarks(argc, argv);
  fs::remove_all(root);
  return result;
}
