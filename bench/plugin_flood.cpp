// A hostile peer against the IDE: the test IDE host (krx-ide, a process of its own) runs the
// plug-in, and eight threads of this program send its endpoint calls of the largest size a
// frame carries (1 MiB of text) as fast as it takes or refuses them, for a given time (30 s
// by default). Prints the host's resident size before and at its peak (VmHWM), the calls
// taken, refused for want of room and run meanwhile (each is a help request, which brings the
// IDE to the front: the host logs that). The aim is a peak below 100 MB.
//
//   bench_plugin_flood [SECONDS]
#include "HostProcess.h"

#include "Platform/Win/WinWire.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace krx;
using namespace std::chrono_literals;

int main(int argc, char **argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
  if (!(seconds > 0 && seconds < 3600)) {
    std::fprintf(stderr, "usage: bench_plugin_flood [SECONDS], 0 < SECONDS < 3600\n");
    return 2;
  }
  bench::THostProcess host("flood");
  if (!host.Ok())
    return 1;
  const HWND endpoint =
      host.Start("pump " + std::to_string(static_cast<long>(seconds * 1000) + 600000) + "\n");
  int status = 1;
  if (endpoint) {
    const long before = host.PeakRssKb();
    const String call = u"@01027:" + String(win_detail::kMaxFrameText - 16, u'x');
    std::atomic<bool> stop{false};
    std::atomic<long> taken{0}, refused{0}, failed{0};
    std::vector<std::thread> flood;
    for (int i = 0; i < 8; ++i)
      flood.emplace_back([&] {
        while (!stop.load()) {
          DWORD_PTR r = 0;
          if (SendMessageTimeoutW(endpoint, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(call.c_str()),
                                  SMTO_NORMAL, 30000, &r) != 0)
            taken += r == 1;
          else if (GetLastError() == ERROR_NOT_ENOUGH_QUOTA)
            ++refused;
          else
            ++failed;
        }
      });
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::duration<double>(seconds))
      std::this_thread::sleep_for(100ms);
    stop = true;
    for (auto &t : flood)
      t.join();
    const long peak = host.PeakRssKb();
    // The host logs a foreground call once per help request it ran.
    const std::size_t ran = host.Count("\"call\":\"IsIconic\"");
    std::printf("flood of 1 MiB calls on 8 connections for %.0f s: IDE resident size %.1f MB "
                "before, peak %.1f MB (grown by %.1f MB); %ld calls taken, %ld refused for want "
                "of room, %ld failed otherwise, %zu run during the flood\n",
                seconds, before / 1024.0, peak / 1024.0, (peak - before) / 1024.0, taken.load(),
                refused.load(), failed.load(), ran);
    status = peak > 0 && peak < 100 * 1024 ? 0 : 3;
  }
  return status;
}
