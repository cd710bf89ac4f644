// A burst of jumps (request 1028) on a large open unit: the test IDE host (krx-ide, a process
// of its own) runs the plug-in with a generated unit of 1.9 MB (4,151 classes) open, and this
// program sends 1,000 jumps to methods of it as Kestrune's sender does (each send waits until
// the IDE took the call). Prints how long the IDE was held, from the first send until it
// showed the last jump's target (learnt from one jump to it before the burst), and how many of
// the jumps it ran (each parses the unit). The aim is under 10 s.
//
//   bench_plugin_jump_burst [JUMPS]
#include "HostProcess.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace {

using namespace krx;
using namespace std::chrono_literals;

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

} // namespace

int main(int argc, char **argv) {
  const int jumps = argc > 1 ? std::atoi(argv[1]) : 1000;
  if (jumps < 1 || jumps > 100000) {
    std::fprintf(stderr, "usage: bench_plugin_jump_burst [JUMPS], 0 < JUMPS <= 100000\n");
    return 2;
  }
  bench::THostProcess host("jumps");
  if (!host.Ok())
    return 1;
  const int last = kClasses - 1;
  const std::filesystem::path unit = host.Root() / "Big.pas";
  const std::string text = Unit();
  std::ofstream(unit, std::ios::binary) << text;
  const HWND endpoint = host.Start("open " + unit.string() + "\npump 3600000\n");
  int status = 1;
  if (endpoint) {
    const auto jump = [&](int k) {
      const std::string n = std::to_string(k);
      const String call = u"@01028:" + Utf8ToString(unit.string() + ",procedure,TClass" + n +
                                                    ",DoSomething" + n + ",");
      DWORD_PTR r = 0;
      SendMessageTimeoutW(endpoint, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(call.c_str()),
                          SMTO_BLOCK | SMTO_ABORTIFHUNG, 10000, &r);
    };
    const auto shown = [&] { return host.Count("\"event\":\"view.cursor\""); };
    // One jump to the last class first, to learn where the burst's last jump puts the cursor.
    jump(last);
    for (int i = 0; i < 6000 && shown() == 0; ++i)
      std::this_thread::sleep_for(10ms);
    std::string target;
    {
      std::ifstream in(host.Log(), std::ios::binary);
      for (std::string line; std::getline(in, line);)
        if (line.find("\"event\":\"view.cursor\"") != std::string::npos)
          target = line;
    }
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < jumps; ++i)
      jump(i + 1 == jumps ? last : i % (kClasses - 1));
    const double sent =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    while (host.Count(target) < 2 && std::chrono::steady_clock::now() - start < 900s)
      std::this_thread::sleep_for(10ms);
    const double held =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::size_t ran = shown() - 1;
    std::printf("%d jumps on a %.1f MB unit: sent in %.2f s, the IDE held %.2f s until it showed "
                "the last; %zu of them ran\n",
                jumps, text.size() / 1e6, sent, held, ran);
    status = held < 10 ? 0 : 3;
  }
  return status;
}
