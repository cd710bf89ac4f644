// The link's programs against a process of the same user that renames endpoints, plants
// non-files on the desktop or hands them a desktop they cannot use.
#include "ProcessSupport.h"

#include "Platform/Win/Desktop.h"
#include "Platform/Win/WinWire.h"
#include "Platform/Win/Windows.h"
#include "support/KrxTest.h"

#include <gmock/gmock.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace krx {
namespace {

using namespace std::chrono_literals;
using test::RunTool;
using test::ToolPath;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kStandin = ToolPath("kestrune-standin").string();
const std::string kLink = ToolPath("krx-link").string();

class HostileLink : public ::testing::Test {
protected:
  HostileLink()
      : FDesktop("KRX_DESKTOP_DIR", Desk().string()),
        FRegistry("KRX_REGISTRY_DIR", (Dir / "registry").string()),
        FShell("KRX_SHELL_ROOT", (Dir / "shell").string()) {
    ReopenDesktop();
  }
  ~HostileLink() override { ReopenDesktop(); }

  std::filesystem::path Desk() const { return Dir / "desktop"; }
  int Run(const std::vector<std::string> &argv, std::string *error = nullptr) {
    return RunTool(argv, Dir.Path(), 30s, error);
  }

  test::TempDir Dir;

private:
  test::EnvGuard FDesktop, FRegistry, FShell;
};

TEST_F(HostileLink, TextsThatAreNoCallsLeaveKestruneReachable) {
  const auto log = Dir / "kestrune.jsonl";
  test::TChildProcess kestrune({kStandin, "--log", log.string(), "--serve-seconds", "120"},
                               Dir / "standin.out", Dir / "standin.err");
  ASSERT_TRUE(kestrune.WaitForError("listening as _KR_PS_END_POINT", 20s)) << kestrune.Error();
  const HWND endpoint = FindWindowW(UtilWindowClass, u"_KR_PS_END_POINT");
  ASSERT_NE(endpoint, nullptr);
  for (const String text : {u"hello", u"", u"@1234"}) {
    DWORD_PTR r = 7;
    ASSERT_EQ(SendMessageTimeoutW(endpoint, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                                  SMTO_NORMAL, 30000, &r),
              1);
    EXPECT_EQ(r, 0u) << StringToUtf8(text);
  }
  std::string error;
  EXPECT_EQ(Run({kLink, "send", "RefreshFile", "x.pas"}, &error), 0) << error;
  EXPECT_EQ(kestrune.Stop(20s), 0);
  EXPECT_EQ(test::ReadFileBytes(log), "{\"id\":1028,\"args\":[\"x.pas\"]}\n");
}

std::size_t Count(const std::string &text, const std::string &what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

// Eight connections send the IDE (the expert in the test IDE host) calls of 1 MiB as fast as
// it takes them. Its endpoint refuses what it has no room for, its peak memory stays bounded,
// and the calls it took run while the flood goes on: each is a help request, which brings
// the IDE to the front (the host logs the foreground calls).
TEST_F(HostileLink, AFloodOfLargeCallsIsBoundedAndQueuedCallsRunMeanwhile) {
  const char *asan = std::getenv("ASAN_OPTIONS");
  test::EnvGuard noQuarantine("ASAN_OPTIONS",
                              std::string(asan ? asan : "") + ":quarantine_size_mb=0");
  test::WriteFileBytes(Dir / "pump.ide", "pump 300000\n");
  const auto out = Dir / "ide.out";
  test::TChildProcess ide({ToolPath("testide/krx-ide").string(), "--plugin", KRX_PLUGIN_FILE,
                           "--script", (Dir / "pump.ide").string()},
                          out, Dir / "ide.err");
  HWND endpoint = nullptr;
  for (int i = 0; i < 400 && !(endpoint = FindWindowW(UtilWindowClass, u"_KR_BDS19_ENDPOINT")); ++i)
    std::this_thread::sleep_for(50ms);
  ASSERT_NE(endpoint, nullptr) << ide.Error();
  const std::string ran = "\"call\":\"IsIconic\"";
  const long before = ide.PeakRssKb();
  const String call = u"@01027:" + String(win_detail::kMaxFrameText - 16, u'x');
  std::atomic<bool> stop{false};
  std::atomic<int> taken{0}, refused{0};
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
      }
    });
  // Watched as it goes, so that an unbounded queue ends the flood before the machine suffers.
  std::size_t ranDuring = 0;
  long peak = before;
  for (auto start = std::chrono::steady_clock::now();
       std::chrono::steady_clock::now() - start < 60s && peak - before < 1024 * 1024;) {
    std::this_thread::sleep_for(50ms);
    peak = ide.PeakRssKb();
    ranDuring = Count(test::ReadFileBytes(out), ran);
    if (ranDuring >= 200 && refused.load() >= 200)
      break;
  }
  stop = true;
  for (auto &t : flood)
    t.join();
  RecordProperty("peak_rss_growth_kib", static_cast<int>(peak - before));
  std::cout << "IDE peak resident size " << peak / 1024 << " MiB, grown by "
            << (peak - before) / 1024 << " MiB under the flood; " << taken.load()
            << " calls taken, " << refused.load() << " refused, " << ranDuring
            << " run during the flood\n";
  EXPECT_GE(ranDuring, 200u) << "the calls taken did not run while the flood went on";
  EXPECT_GE(refused.load(), 200) << "nothing was refused for want of room";
  EXPECT_LT(peak - before, 100 * 1024) << "peak resident size grew by " << peak - before << " KiB";
  // Once the flood is over, a call is taken and runs.
  std::string error;
  EXPECT_EQ(Run({kStandin, "--send", "1027", "after"}, &error), 1) << error;
  const auto start = std::chrono::steady_clock::now();
  while (Count(test::ReadFileBytes(out), ran) <= static_cast<std::size_t>(taken.load()) &&
         std::chrono::steady_clock::now() - start < 30s)
    std::this_thread::sleep_for(50ms);
  EXPECT_EQ(Count(test::ReadFileBytes(out), ran), static_cast<std::size_t>(taken.load()) + 1);
}

// The start time of this process, as the desktop's entry names carry it.
std::string OwnStartTime() {
  std::ifstream in("/proc/self/stat");
  std::string line;
  std::getline(in, line);
  std::istringstream rest(line.substr(line.rfind(')') + 1));
  std::string field;
  for (int i = 3; i <= 22; ++i)
    rest >> field;
  return field;
}

TEST_F(HostileLink, AFifoPlacedAsADesktopEntryDoesNotHangASender) {
  test::TChildProcess kestrune({kStandin, "--serve-seconds", "120"}, Dir / "standin.out",
                               Dir / "standin.err");
  ASSERT_TRUE(kestrune.WaitForError("listening as", 20s)) << kestrune.Error();
  // Named as the entry of a live process (this one), so every sender reads it.
  const auto fifo = Desk() / ("p" + std::to_string(::getpid()) + "-" + OwnStartTime() + ".win");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string error;
  EXPECT_EQ(Run({kLink, "send", "RefreshFile", "x.pas"}, &error), 0) << error;
  EXPECT_THAT(error, HasSubstr("not a regular file"));
  EXPECT_EQ(kestrune.Stop(20s), 0);
}

TEST_F(HostileLink, ToolsSayWhyTheyCannotListenOnAnUnusableDesktop) {
  namespace fs = std::filesystem;
  fs::create_directory(Dir / "real");
  fs::create_symlink(Dir / "real", Dir / "link");
  fs::path theirs = "/";
  if (::geteuid() == 0) {
    theirs = Dir / "theirs";
    fs::create_directory(theirs);
    ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
  }
  const std::vector<std::pair<fs::path, std::string>> desktops = {
      {Dir / "link", "is a symbolic link"},
      {theirs, "belongs to another user"},
      {Dir / std::string(110, 'd'), "too long for a local socket"},
  };
  for (const auto &[desk, why] : desktops) {
    test::EnvGuard guard("KRX_DESKTOP_DIR", desk.string());
    for (const auto &tool : {std::vector<std::string>{kLink, "listen", "--serve-seconds", "1"},
                             std::vector<std::string>{kStandin, "--serve-seconds", "1"}}) {
      std::string error;
      EXPECT_EQ(Run(tool, &error), 2) << tool[0] << " on " << desk;
      EXPECT_THAT(error, HasSubstr("cannot listen"));
      EXPECT_THAT(error, HasSubstr(why));
      EXPECT_THAT(error, Not(HasSubstr("listening as")));
    }
  }
}

} // namespace
} // namespace krx
