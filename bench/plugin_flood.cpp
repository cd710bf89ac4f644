// A hostile peer against the IDE: the test IDE host (krx-ide, a process of its own) runs the
// plug-in, and eight threads of this program send its endpoint calls of the largest size a
// frame carries (1 MiB of text) as fast as it takes or refuses them, for a given time (30 s
// by default). Prints the host's resident size before and at its peak (VmHWM), the calls
// taken, refused for want of room and run meanwhile (each is a help request, which brings the
// IDE to the front: the host logs that). The aim is a peak below 100 MB.
//
//   bench_plugin_flood [SECONDS]
#include "Platform/PlatformUnits.h"
#include "Platform/Win/WinWire.h"
#include "Platform/Win/Windows.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using namespace krx;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The peak resident size of a process in KiB; -1 when it is gone.
long PeakRssKb(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string key; in >> key;)
    if (key == "VmHWM:") {
      long value = -1;
      in >> value;
      return value;
    }
  return -1;
}

// How often the host logged a foreground call: once per help request it ran.
std::size_t CallsRun(const fs::path &log) {
  std::ifstream in(log, std::ios::binary);
  std::size_t n = 0;
  for (std::string line; std::getline(in, line);)
    n += line.find("\"call\":\"IsIconic\"") != std::string::npos;
  return n;
}

} // namespace

int main(int argc, char **argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
  if (!(seconds > 0 && seconds < 3600)) {
    std::fprintf(stderr, "usage: bench_plugin_flood [SECONDS], 0 < SECONDS < 3600\n");
    return 2;
  }
  char tmpl[] = "/tmp/krx-bench-flood-XXXXXX";
  if (!::mkdtemp(tmpl))
    return 1;
  const fs::path root = tmpl;
  for (auto [name, sub] : {std::pair{"KRX_DESKTOP_DIR", "desktop"},
                           {"KRX_SHELL_ROOT", "shell"},
                           {"KRX_REGISTRY_DIR", "registry"}}) {
    fs::create_directories(root / sub);
    ::setenv(name, (root / sub).c_str(), 1);
  }
  InitializeUnits(PlatformUnits());

  const fs::path self = fs::read_symlink("/proc/self/exe");
  const std::string ide = (self.parent_path().parent_path() / "tools" / "testide" / "krx-ide");
  const fs::path script = root / "pump.ide", log = root / "ide.out";
  std::ofstream(script) << "pump " << static_cast<long>(seconds * 1000) + 600000 << "\n";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> words{ide, "--plugin", KRX_PLUGIN_FILE, "--script", script.string()};
  std::vector<char *> args;
  for (std::string &w : words)
    args.push_back(w.data());
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", ide.c_str());
    return 1;
  }
  posix_spawn_file_actions_destroy(&actions);

  HWND endpoint = nullptr;
  for (int i = 0; i < 400 && !(endpoint = FindWindowW(UtilWindowClass, u"_KR_BDS19_ENDPOINT")); ++i)
    std::this_thread::sleep_for(50ms);
  int status = 1;
  if (!endpoint) {
    std::fprintf(stderr, "the IDE's endpoint did not appear\n");
  } else {
    std::this_thread::sleep_for(500ms); // the start-up timer has read the settings
    const long before = PeakRssKb(pid);
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
    const long peak = PeakRssKb(pid);
    const std::size_t ran = CallsRun(log);
    std::printf("flood of 1 MiB calls on 8 connections for %.0f s: IDE resident size %.1f MB "
                "before, peak %.1f MB (grown by %.1f MB); %ld calls taken, %ld refused for want "
                "of room, %ld failed otherwise, %zu run during the flood\n",
                seconds, before / 1024.0, peak / 1024.0, (peak - before) / 1024.0, taken.load(),
                refused.load(), failed.load(), ran);
    status = peak > 0 && peak < 100 * 1024 ? 0 : 3;
  }
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  FinalizeUnits(PlatformUnits());
  fs::remove_all(root);
  return status;
}
