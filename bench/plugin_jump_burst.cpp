// A burst of jumps (request 1028) on a large open unit: the test IDE host (krx-ide, a process
// of its own) runs the plug-in with a generated unit of 1.9 MB (4,151 classes) open, and this
// program sends 1,000 jumps to methods of it as Kestrune's sender does (each send waits until
// the IDE took the call). Prints how long the IDE was held, from the first send until it
// showed the last jump's target (learnt from one jump to it before the burst), and how many of
// the jumps it ran (each parses the unit). The aim is under 10 s.
//
//   bench_plugin_jump_burst [JUMPS]
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

constexpr int kClasses = 4151;

// The unit: classes with a method and a function each, implemented after them.
std::string Unit() {
  std::string head = "unit Big;\n\ninterface\n\ntype\n", body = "\nimplementation\n\n";
  for (int i = 0; i < kClasses; ++i) {
    const std::string n = std::to_string(i);
    head += "  TClass" + n + " = class(TObject)\n  private\n    FValue" + n +
            ": Integer;\n  public\n    procedure DoSomething" + n +
            "(A: Integer; const B: string);\n    function Compute" + n +
            "(X, Y: Double): Double;\n    property Value: Integer read FValue" + n +
            " write FValue" + n + ";\n  end;\n\n";
    body += "procedure TClass" + n + ".DoSomething" + n +
            "(A: Integer; const B: string);\nbegin\n  FValue" + n +
            " := A + Length(B);\nend;\n\nfunction TClass" + n + ".Compute" + n +
            "(X, Y: Double): Double;\nbegin\n  Result := X * Y + FValue" + n + ";\nend;\n\n";
  }
  return head + body + "end.\n";
}

std::size_t Count(const fs::path &log, const std::string &what) {
  std::ifstream in(log, std::ios::binary);
  std::size_t n = 0;
  for (std::string line; std::getline(in, line);)
    n += line.find(what) != std::string::npos;
  return n;
}

} // namespace

int main(int argc, char **argv) {
  const int jumps = argc > 1 ? std::atoi(argv[1]) : 1000;
  if (jumps < 1 || jumps > 100000) {
    std::fprintf(stderr, "usage: bench_plugin_jump_burst [JUMPS], 0 < JUMPS <= 100000\n");
    return 2;
  }
  char tmpl[] = "/tmp/krx-bench-jumps-XXXXXX";
  if (!::mkdtemp(tmpl))
    return 1;
  const fs::path root = tmpl;
  for (auto [name, sub] : {std::pair{"KRX_DESKTOP_DIR", "desktop"},
                           {"KRX_SHELL_ROOT", "shell"},
                           {"KRX_REGISTRY_DIR", "registry"}}) {
    fs::create_directories(root / sub);
    ::setenv(name, (root / sub).c_str(), 1);
  }
  const int last = kClasses - 1;
  const fs::path unit = root / "Big.pas";
  const std::string text = Unit();
  std::ofstream(unit, std::ios::binary) << text;
  InitializeUnits(PlatformUnits());

  const fs::path self = fs::read_symlink("/proc/self/exe");
  const std::string ide = (self.parent_path().parent_path() / "tools" / "testide" / "krx-ide");
  const fs::path script = root / "burst.ide", log = root / "ide.out";
  std::ofstream(script) << "open " << unit.string() << "\npump 3600000\n";
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
    const auto jump = [&](int k) {
      const std::string n = std::to_string(k);
      const String call = u"@01028:" + Utf8ToString(unit.string() + ",procedure,TClass" + n +
                                                    ",DoSomething" + n + ",");
      DWORD_PTR r = 0;
      SendMessageTimeoutW(endpoint, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(call.c_str()),
                          SMTO_BLOCK | SMTO_ABORTIFHUNG, 10000, &r);
    };
    const auto shown = [&] { return Count(log, "\"event\":\"view.cursor\""); };
    // One jump to the last class first, to learn where the burst's last jump puts the cursor.
    jump(last);
    for (int i = 0; i < 6000 && shown() == 0; ++i)
      std::this_thread::sleep_for(10ms);
    std::string target;
    {
      std::ifstream in(log, std::ios::binary);
      for (std::string line; std::getline(in, line);)
        if (line.find("\"event\":\"view.cursor\"") != std::string::npos)
          target = line;
    }
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < jumps; ++i)
      jump(i + 1 == jumps ? last : i % (kClasses - 1));
    const double sent =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    while (Count(log, target) < 2 && std::chrono::steady_clock::now() - start < 900s)
      std::this_thread::sleep_for(10ms);
    const double held =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::size_t ran = shown() - 1;
    std::printf("%d jumps on a %.1f MB unit: sent in %.2f s, the IDE held %.2f s until it showed "
                "the last; %zu of them ran\n",
                jumps, text.size() / 1e6, sent, held, ran);
    status = held < 10 ? 0 : 3;
  }
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  FinalizeUnits(PlatformUnits());
  fs::remove_all(root);
  return status;
}
