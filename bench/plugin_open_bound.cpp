// Requests to open one large file after another: the test IDE host (krx-ide, a process of
// its own) runs the plug-in, and this program sends it request 1029 for N distinct files of
// 60 MB (sparse), each once the one before was answered (opened, or refused with a message).
// Prints the host's resident size before and at its peak (VmHWM), and how many files were
// opened and refused. The aim is a peak below 1 GB for 100 files.
//
//   bench_plugin_open_bound [N]
#include "HostProcess.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace krx;
using namespace std::chrono_literals;

int main(int argc, char **argv) {
  const int files = argc > 1 ? std::atoi(argv[1]) : 100;
  if (files < 1 || files > 1000) {
    std::fprintf(stderr, "usage: bench_plugin_open_bound [N], 0 < N <= 1000\n");
    return 2;
  }
  bench::THostProcess host("open");
  if (!host.Ok())
    return 1;
  std::vector<std::filesystem::path> units;
  for (int i = 0; i < files; ++i) {
    units.push_back(host.Root() / ("Big" + std::to_string(i) + ".pas"));
    std::ofstream(units.back()) << "unit Big" << i << ";\ninterface\nimplementation\nend.\n";
    std::filesystem::resize_file(units.back(), std::uintmax_t{60} << 20); // sparse: no disk taken
  }
  const HWND endpoint = host.Start("pump 3600000\n");
  int status = 1;
  if (endpoint) {
    const long before = host.PeakRssKb();
    const auto start = std::chrono::steady_clock::now();
    std::size_t answered = 0;
    for (const std::filesystem::path &unit : units) {
      const String call = u"@01029:" + Utf8ToString(unit.string());
      DWORD_PTR r = 0;
      SendMessageTimeoutW(endpoint, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(call.c_str()),
                          SMTO_BLOCK, 10000, &r);
      // Each runs before the next arrives: a newer one would take its place in the queue.
      ++answered;
      for (int i = 0; i < 6000 && host.Count("\"event\":\"action.openfile\"") +
                                          host.Count("\"event\":\"message\"") <
                                      answered;
           ++i)
        std::this_thread::sleep_for(5ms);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long peak = host.PeakRssKb();
    const std::size_t opened = host.Count("\"event\":\"file.open\"");
    const std::size_t refused = host.Count("\"event\":\"message\"");
    std::printf("%d requests to open distinct 60 MB files in %.1f s: IDE resident size %.1f MB "
                "before, peak %.1f MB; %zu opened, %zu refused\n",
                files, seconds, before / 1024.0, peak / 1024.0, opened, refused);
    status = peak > 0 && peak < 1024 * 1024 ? 0 : 3;
  }
  return status;
}
