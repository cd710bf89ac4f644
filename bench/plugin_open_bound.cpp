// Requests to open one large file after another: the test IDE host (krx-ide, a process of
// its own) runs the plug-in, and this program sends it request 1029 for N distinct files of
// 60 MB (sparse), each once the one before was answered (opened, or refused with a message).
// Prints the host's resident size before and at its peak (VmHWM), and how many files were
// opened and refused. The aim is a peak below 1 GB for 100 files.
//
//   bench_plugin_open_bound [N]
#include "Platform/PlatformUnits.h"
#include "Platform/Win/Windows.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
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

// Lines of the host's log that hold `what`.
std::size_t Count(const fs::path &log, const std::string &what) {
  std::ifstream in(log, std::ios::binary);
  std::size_t n = 0;
  for (std::string line; std::getline(in, line);)
    n += line.find(what) != std::string::npos;
  return n;
}

} // namespace

int main(int argc, char **argv) {
  const int files = argc > 1 ? std::atoi(argv[1]) : 100;
  if (files < 1 || files > 1000) {
    std::fprintf(stderr, "usage: bench_plugin_open_bound [N], 0 < N <= 1000\n");
    return 2;
  }
  char tmpl[] = "/tmp/krx-bench-open-XXXXXX";
  if (!::mkdtemp(tmpl))
    return 1;
  const fs::path root = tmpl;
  for (auto [name, sub] : {std::pair{"KRX_DESKTOP_DIR", "desktop"},
                           {"KRX_SHELL_ROOT", "shell"},
                           {"KRX_REGISTRY_DIR", "registry"}}) {
    fs::create_directories(root / sub);
    ::setenv(name, (root / sub).c_str(), 1);
  }
  std::vector<fs::path> units;
  for (int i = 0; i < files; ++i) {
    units.push_back(root / ("Big" + std::to_string(i) + ".pas"));
    std::ofstream(units.back()) << "unit Big" << i << ";\ninterface\nimplementation\nend.\n";
    fs::resize_file(units.back(), std::uintmax_t{60} << 20); // sparse: no disk taken
  }
  InitializeUnits(PlatformUnits());

  const fs::path self = fs::read_symlink("/proc/self/exe");
  const std::string ide = (self.parent_path().parent_path() / "tools" / "testide" / "krx-ide");
  const fs::path script = root / "pump.ide", log = root / "ide.out";
  std::ofstream(script) << "pump 3600000\n";
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
    const auto start = std::chrono::steady_clock::now();
    std::size_t answered = 0;
    for (const fs::path &unit : units) {
      const String call = u"@01029:" + Utf8ToString(unit.string());
      DWORD_PTR r = 0;
      SendMessageTimeoutW(endpoint, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(call.c_str()),
                          SMTO_BLOCK, 10000, &r);
      // Each runs before the next arrives: a newer one would take its place in the queue.
      ++answered;
      for (int i = 0; i < 6000 && Count(log, "\"event\":\"action.openfile\"") +
                                          Count(log, "\"event\":\"message\"") <
                                      answered;
           ++i)
        std::this_thread::sleep_for(5ms);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long peak = PeakRssKb(pid);
    const std::size_t opened = Count(log, "\"event\":\"file.open\"");
    const std::size_t refused = Count(log, "\"event\":\"message\"");
    std::printf("%d requests to open distinct 60 MB files in %.1f s: IDE resident size %.1f MB "
                "before, peak %.1f MB; %zu opened, %zu refused\n",
                files, seconds, before / 1024.0, peak / 1024.0, opened, refused);
    status = peak > 0 && peak < 1024 * 1024 ? 0 : 3;
  }
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  FinalizeUnits(PlatformUnits());
  fs::remove_all(root);
  return status;
}
