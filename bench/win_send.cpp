// Round trip of a message sent to a window of another process: the text of one call as
// WM_SETTEXT with SendMessageTimeoutW (SMTO_BLOCK | SMTO_ABORTIFHUNG, 10 s), as the link sends
// it, against krx-wintest-peer. Prints calls per second and latency percentiles, for the send
// alone and for a send preceded by the FindWindowW that each call of the link makes.
#include "Platform/Rtl/SysUtils.h"
#include "Platform/Win/Windows.h"
#include "Units.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using namespace krx;
using Clock = std::chrono::steady_clock;

void Report(const char *name, std::vector<double> &us, double seconds) {
  std::sort(us.begin(), us.end());
  auto pct = [&](double p) {
    return us[std::min(us.size() - 1,
                       static_cast<std::size_t>(p * static_cast<double>(us.size())))];
  };
  std::printf("%-28s %8zu calls %10.0f calls/s   p50 %6.1f us  p90 %6.1f us  p99 %6.1f us  "
              "p99.9 %7.1f us  max %8.1f us\n",
              name, us.size(), static_cast<double>(us.size()) / seconds, pct(0.50), pct(0.90),
              pct(0.99), pct(0.999), us.back());
}

template <typename F> void Measure(const char *name, int count, F &&call) {
  std::vector<double> us;
  us.reserve(static_cast<std::size_t>(count));
  auto all = Clock::now();
  for (int i = 0; i < count; ++i) {
    auto t = Clock::now();
    if (!call(i)) {
      std::fprintf(stderr, "call %d failed (error %d)\n", i, GetLastError());
      std::exit(1);
    }
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t).count());
  }
  double seconds = std::chrono::duration<double>(Clock::now() - all).count();
  Report(name, us, seconds);
}

} // namespace

int main(int argc, char **argv) {
  int count = argc > 1 ? std::atoi(argv[1]) : 20000;
  namespace fs = std::filesystem;
  fs::path self = fs::read_symlink("/proc/self/exe");
  fs::path peerExe = self.parent_path().parent_path() / "tools" / "krx-wintest-peer";
  char tmpl[] = "/tmp/krx-bench-desk-XXXXXX";
  if (!::mkdtemp(tmpl))
    return 1;
  ::setenv("KRX_DESKTOP_DIR", tmpl, 1);
  InitializeUnits(AllUnits());

  int out[2];
  if (::pipe(out) != 0)
    return 1;
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, out[1], STDOUT_FILENO);
  std::string exe = peerExe.string(), caption = "Kestrune bench endpoint";
  char *args[] = {exe.data(), caption.data(), nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, exe.c_str(), &fa, nullptr, args, environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", exe.c_str());
    return 1;
  }
  ::close(out[1]);
  char line[128] = {};
  pollfd p{out[0], POLLIN, 0};
  if (::poll(&p, 1, 10000) <= 0 || ::read(out[0], line, sizeof line - 1) <= 0) {
    std::fprintf(stderr, "the peer did not start\n");
    ::kill(pid, SIGKILL);
    return 1;
  }

  const String name = Utf8ToString(caption);
  HWND wnd = FindWindowW(UtilWindowClass, name.c_str());
  if (!wnd) {
    std::fprintf(stderr, "the peer's window was not found\n");
    ::kill(pid, SIGKILL);
    return 1;
  }
  std::printf("cross-process send round trip, %d calls each\n", count);
  const UINT flags = SMTO_BLOCK | SMTO_ABORTIFHUNG;
  Measure("numeric message", count, [&](int i) {
    DWORD_PTR r = 0;
    return SendMessageTimeoutW(wnd, WM_USER + 1, static_cast<WPARAM>(i), 0, flags, 10000, &r) &&
           r == static_cast<DWORD_PTR>(2 * i + 1);
  });
  // Texts as long as a call with a file name argument.
  const String prefix = u"seq:";
  int seq = 0;
  Measure("WM_SETTEXT call text", count, [&](int) {
    String text = prefix + IntToStr(seq++) + u"                                                ";
    DWORD_PTR r = 0;
    return SendMessageTimeoutW(wnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), flags,
                               10000, &r) &&
           r == 1;
  });
  Measure("FindWindowW + WM_SETTEXT", count / 4, [&](int) {
    HWND h = FindWindowW(UtilWindowClass, name.c_str());
    String text = prefix + IntToStr(seq++);
    DWORD_PTR r = 0;
    return h && SendMessageTimeoutW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), flags,
                                    10000, &r);
  });
  Measure("FindWindowW alone", count / 4,
          [&](int) { return FindWindowW(UtilWindowClass, name.c_str()) == wnd; });

  DWORD_PTR r = 0;
  SendMessageTimeoutW(wnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"exit"), flags, 10000, &r);
  ::waitpid(pid, nullptr, 0);
  FinalizeUnits();
  fs::remove_all(tmpl);
  return 0;
}
