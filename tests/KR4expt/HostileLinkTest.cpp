// The link's programs against a process of the same user that renames endpoints, plants
// non-files on the desktop or hands them a desktop they cannot use.
#include "ProcessSupport.h"

#include "Platform/Win/Desktop.h"
#include "Platform/Win/Windows.h"
#include "support/KrxTest.h"

#include <gmock/gmock.h>

#include <fstream>
#include <sstream>
#include <sys/stat.h>
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
