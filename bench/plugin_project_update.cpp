// Request 1034 as the IDE serves it: the plug-in, loaded into the test IDE host, applies a
// project-update document of N "add" entries to a Delphi project that already holds half of
// them (named in another case), so half are looked up and found, half are added. Each
// iteration opens a fresh project, sends the request through the IDE's endpoint and runs it;
// reading the document is part of the time. The aim is under 1 s for 50,000 files.
//
// The second pair sets a document of N removals listed before the adds of the same N names
// (every removal is dropped as redundant) against the N adds alone, on a project that holds
// none of them: the pairs should cost about what their size does, not grow as its square.
#include "Platform/PlatformUnits.h"
#include "Platform/Win/Windows.h"
#include "testide/PluginHost.h"
#include "testide/TestIDE.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace krx {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Sends the document to the plug-in's endpoint once per iteration, each time for a fresh
// Delphi project holding `held`, and runs it until the project holds `expected` files.
void RunUpdates(benchmark::State &state, const fs::path &doc, const std::vector<String> &held,
                std::size_t expected) {
  testide::TTestIDE ide;
  testide::TPluginLoader loader(ide);
  if (!loader.Load(KRX_PLUGIN_FILE)) {
    state.SkipWithError("the plug-in did not load");
    return;
  }
  testide::PumpMessages(400ms);
  const HWND endpoint = FindWindowW(UtilWindowClass, u"_KR_BDS19_ENDPOINT");
  const String call = u"@01034:\"" + Utf8ToString(doc.string()) + u"\"";
  for (auto _ : state) {
    state.PauseTiming();
    IPtr<testide::THostProject> project =
        ide.AddProject(u"/p/P.dproj", u"Delphi.Personality", u"Application", held);
    ide.Log.Clear();
    state.ResumeTiming();
    SendMessageW(endpoint, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(call.c_str()));
    testide::PumpMessages(600s, [&] { return project->Files().size() >= expected; });
    if (project->Files().size() != expected) {
      state.SkipWithError("the update did not add the files");
      break;
    }
  }
  loader.Unload();
}

void BM_ProjectUpdateOfNFiles(benchmark::State &state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const fs::path dir = fs::temp_directory_path() / ("krx-bench-update-" + std::to_string(n));
  fs::create_directories(dir);
  const fs::path doc = dir / "update.xml";
  std::vector<String> held;
  {
    std::ofstream out(doc, std::ios::binary);
    out << "<Files language=\"Object Pascal\">\n";
    for (std::size_t i = 0; i < n; ++i) {
      const std::string name = "/p/src/Unit" + std::to_string(i) + ".pas";
      out << "<File operation=\"add\" name=\"" << name << "\"/>\n";
      if (i % 2 == 0)
        held.push_back(UpperCase(Utf8ToString(name)));
    }
    out << "</Files>\n";
  }
  RunUpdates(state, doc, held, held.size() + n / 2);
  fs::remove_all(dir);
}

BENCHMARK(BM_ProjectUpdateOfNFiles)
    ->Arg(10000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// N "add" entries, each after a "remove" of the same name when `removes` is set, for a project
// that holds none of them.
void RunRemovesAndAdds(benchmark::State &state, bool removes) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const fs::path dir = fs::temp_directory_path() / ("krx-bench-pairs-" + std::to_string(n));
  fs::create_directories(dir);
  const fs::path doc = dir / "update.xml";
  {
    std::ofstream out(doc, std::ios::binary);
    out << "<Files language=\"Object Pascal\">\n";
    for (const char *op : {"remove", "add"})
      for (std::size_t i = 0; i < n && (removes || op[0] == 'a'); ++i)
        out << "<File operation=\"" << op << "\" name=\"/p/src/Unit" << i << ".pas\"/>\n";
    out << "</Files>\n";
  }
  RunUpdates(state, doc, {}, n);
  fs::remove_all(dir);
}

void BM_ProjectUpdateOfNAdds(benchmark::State &state) { RunRemovesAndAdds(state, false); }
void BM_ProjectUpdateOfNRemovesThenAdds(benchmark::State &state) { RunRemovesAndAdds(state, true); }

void PairSizes(benchmark::internal::Benchmark *b) {
  for (int n : {40000, 80000, 160000, 320000})
    b->Arg(n);
  b->Unit(benchmark::kMillisecond)->Iterations(1);
}

BENCHMARK(BM_ProjectUpdateOfNAdds)->Apply(PairSizes);
BENCHMARK(BM_ProjectUpdateOfNRemovesThenAdds)->Apply(PairSizes);

} // namespace
} // namespace krx

int main(int argc, char **argv) {
  // The plug-in's settings and windows stay in a folder of this run.
  const auto root = std::filesystem::temp_directory_path() / "krx-bench-plugin";
  for (auto [name, sub] : {std::pair{"KRX_DESKTOP_DIR", "desktop"},
                           {"KRX_SHELL_ROOT", "shell"},
                           {"KRX_REGISTRY_DIR", "registry"}})
    ::setenv(name, (root / sub).string().c_str(), 1);
  std::filesystem::create_directories(root / "desktop");
  krx::InitializeUnits(krx::PlatformUnits());
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  krx::FinalizeUnits(krx::PlatformUnits());
  std::filesystem::remove_all(root);
  return 0;
}
