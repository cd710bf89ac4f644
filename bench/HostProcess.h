// The test IDE host (krx-ide) with the real plug-in as a process of its own, for benchmarks
// that measure what a peer's calls cost the IDE: a desktop, registry and special-folder root
// of the run's own in a temporary folder, the host started on a script with its event log in
// a file, and the plug-in's endpoint. The host is stopped and the folder removed when the
// object goes.
#pragma once

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

namespace krx::bench {

class THostProcess {
public:
  // The temporary folder is /tmp/krx-bench-<name>-XXXXXX; without it, nothing else is done
  // and Ok() is false.
  explicit THostProcess(const std::string &name) {
    std::string tmpl = "/tmp/krx-bench-" + name + "-XXXXXX";
    if (!::mkdtemp(tmpl.data()))
      return;
    FRoot = tmpl;
    FLog = FRoot / "ide.out";
    for (auto [variable, sub] : {std::pair{"KRX_DESKTOP_DIR", "desktop"},
                                 {"KRX_SHELL_ROOT", "shell"},
                                 {"KRX_REGISTRY_DIR", "registry"}}) {
      std::filesystem::create_directories(FRoot / sub);
      ::setenv(variable, (FRoot / sub).c_str(), 1);
    }
    InitializeUnits(PlatformUnits());
  }
  ~THostProcess() {
    if (FRoot.empty())
      return;
    if (FPid > 0) {
      ::kill(FPid, SIGTERM);
      ::waitpid(FPid, nullptr, 0);
    }
    FinalizeUnits(PlatformUnits());
    std::filesystem::remove_all(FRoot);
  }
  THostProcess(const THostProcess &) = delete;
  THostProcess &operator=(const THostProcess &) = delete;

  bool Ok() const { return !FRoot.empty(); }
  const std::filesystem::path &Root() const { return FRoot; }
  const std::filesystem::path &Log() const { return FLog; }
  pid_t Pid() const { return FPid; }

  // Starts krx-ide on the script and answers the plug-in's endpoint once the start-up timer
  // has read the settings; null (with a line on standard error) when it did not appear.
  HWND Start(const std::string &script) {
    using namespace std::chrono_literals;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    const std::string ide = self.parent_path().parent_path() / "tools" / "testide" / "krx-ide";
    const std::filesystem::path scriptFile = FRoot / "bench.ide";
    std::ofstream(scriptFile) << script;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, FLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> words{ide, "--plugin", KRX_PLUGIN_FILE, "--script",
                                   scriptFile.string()};
    std::vector<char *> args;
    for (std::string &w : words)
      args.push_back(w.data());
    args.push_back(nullptr);
    const bool started = posix_spawn(&FPid, args[0], &actions, nullptr, args.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!started) {
      FPid = -1;
      std::fprintf(stderr, "cannot start %s\n", ide.c_str());
      return nullptr;
    }
    HWND endpoint = nullptr;
    for (int i = 0; i < 400 && !(endpoint = FindWindowW(UtilWindowClass, u"_KR_BDS19_ENDPOINT"));
         ++i)
      std::this_thread::sleep_for(50ms);
    if (!endpoint)
      std::fprintf(stderr, "the IDE's endpoint did not appear\n");
    else
      std::this_thread::sleep_for(500ms); // the start-up timer has read the settings
    return endpoint;
  }

  // The host's peak resident size in KiB (VmHWM); -1 when it is gone.
  long PeakRssKb() const {
    std::ifstream in("/proc/" + std::to_string(FPid) + "/status");
    for (std::string key; in >> key;)
      if (key == "VmHWM:") {
        long value = -1;
        in >> value;
        return value;
      }
    return -1;
  }

  // How many lines of the host's log hold `what`.
  std::size_t Count(const std::string &what) const {
    std::ifstream in(FLog, std::ios::binary);
    std::size_t n = 0;
    for (std::string line; std::getline(in, line);)
      n += line.find(what) != std::string::npos;
    return n;
  }

private:
  std::filesystem::path FRoot;
  std::filesystem::path FLog;
  pid_t FPid = -1;
};

} // namespace krx::bench
