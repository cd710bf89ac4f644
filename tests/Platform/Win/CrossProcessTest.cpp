// Windows and messages between two real processes: the test and krx-wintest-peer.
#include "PeerSupport.h"

#include "Platform/Win/Desktop.h"
#include "Platform/Win/WinWire.h"
#include "Platform/Win/Windows.h"
#include "support/KrxTest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace krx {
namespace {

namespace fs = std::filesystem;
using test::Clock;
using test::ClosedByPeer;
using test::MsSince;
using test::RawConnect;
using test::TPeer;

LRESULT SendText(HWND wnd, const String &text, UINT flags, UINT timeout, DWORD_PTR &result) {
  return SendMessageTimeoutW(wnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), flags,
                             timeout, &result);
}

class CrossProcess : public ::testing::Test {
protected:
  void SetUp() override { ReopenDesktop(); }
  void TearDown() override { ReopenDesktop(); }

  fs::path Log(const std::string &name) { return Dir / name; }
  std::string LogText(const std::string &name) { return test::ReadFileBytes(Dir / name); }

  test::TempDir Dir;
  test::EnvGuard Desktop{"KRX_DESKTOP_DIR", (Dir.Path() / "desk").string()};
};

TEST_F(CrossProcess, FindByCaptionSendAndGetTheResult) {
  TPeer peer("Peer-Endpoint", Log("peer.err"));
  HWND h = FindWindowW(u"tputilwindow", u"PEER-ENDPOINT");
  ASSERT_EQ(h, peer.Handle);
  EXPECT_TRUE(IsWindow(h));
  EXPECT_EQ(FindWindowW(u"OtherClass", u"Peer-Endpoint"), nullptr);
  EXPECT_EQ(GetWindowCaption(h), u"Peer-Endpoint");
  DWORD pid = 0;
  EXPECT_NE(GetWindowThreadProcessId(h, &pid), 0u);
  EXPECT_EQ(pid, static_cast<DWORD>(peer.Pid()));

  DWORD_PTR r = 0;
  ASSERT_EQ(SendMessageTimeoutW(h, WM_USER + 1, 20, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, 10000, &r),
            1);
  EXPECT_EQ(r, 41u);
  EXPECT_EQ(SendMessageW(h, WM_USER + 1, 5, 0), 11);

  // A caption change travels to the desktop.
  EXPECT_TRUE(SetWindowTextW(h, u"Renamed Peer"));
  EXPECT_EQ(FindWindowW(UtilWindowClass, u"Peer-Endpoint"), nullptr);
  EXPECT_EQ(FindWindowW(UtilWindowClass, u"renamed peer"), h);
  Char buf[8];
  EXPECT_EQ(SendMessageW(h, WM_GETTEXT, 8, reinterpret_cast<LPARAM>(buf)), 7);
  EXPECT_EQ(String(buf), u"Renamed");

  // Posted messages arrive too.
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(PostMessageW(h, WM_USER + 5, 0, 0));
  EXPECT_FALSE(PostMessageW(h, WM_SETTEXT, 0, 0));
  // Sent messages overtake posted ones (as on Windows), so wait for the loop to reach them.
  LRESULT posted = 0;
  auto start = Clock::now();
  while ((posted = SendMessageW(h, WM_USER + 6, 0, 0)) < 3 && MsSince(start) < 5000)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(posted, 3);
}

TEST_F(CrossProcess, AThousandCallsArriveOnceAndInOrder) {
  TPeer peer("ordered", Log("peer.err"));
  for (int i = 0; i < 1000; ++i) {
    DWORD_PTR r = 0;
    String text = u"seq:" + IntToStr(i);
    ASSERT_EQ(SendText(peer.Handle, text, SMTO_BLOCK | SMTO_ABORTIFHUNG, 10000, r), 1) << i;
    ASSERT_EQ(r, 1u);
  }
  EXPECT_EQ(SendMessageW(peer.Handle, WM_USER + 2, 0, 0), 1000);
  EXPECT_EQ(SendMessageW(peer.Handle, WM_USER + 3, 0, 0), 0);
}

TEST_F(CrossProcess, BusyPeerCostsTheSenderAtMostTheTimeout) {
  TPeer peer("busy", Log("peer.err"));
  DWORD_PTR r = 77;
  auto start = Clock::now();
  EXPECT_EQ(SendText(peer.Handle, u"hang:3000", SMTO_BLOCK | SMTO_ABORTIFHUNG, 300, r), 0);
  EXPECT_EQ(static_cast<DWORD>(GetLastError()), ERROR_TIMEOUT);
  EXPECT_EQ(r, 0u);
  EXPECT_LT(MsSince(start), 2500);
  // Messages sent after the time-out are handled once the peer is back, in order.
  ASSERT_EQ(SendText(peer.Handle, u"seq:0", SMTO_NORMAL, 10000, r), 1);
  EXPECT_EQ(SendMessageW(peer.Handle, WM_USER + 3, 0, 0), 0);
}

TEST_F(CrossProcess, AbortIfHungFailsAtOnceWhenThePeerStoppedPumping) {
  TPeer peer("frozen", Log("peer.err"), {"KRX_HUNG_TIMEOUT_MS=300"});
  DWORD_PTR r = 0;
  ASSERT_EQ(SendText(peer.Handle, u"freeze:8000", SMTO_NORMAL, 5000, r), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  auto start = Clock::now();
  EXPECT_EQ(SendMessageTimeoutW(peer.Handle, WM_USER + 1, 1, 0, SMTO_ABORTIFHUNG, 5000, &r), 0);
  EXPECT_EQ(static_cast<DWORD>(GetLastError()), ERROR_TIMEOUT);
  EXPECT_LT(MsSince(start), 3000); // not the 5 s time-out
  // Without the flag the sender waits for the time-out.
  start = Clock::now();
  EXPECT_EQ(SendMessageTimeoutW(peer.Handle, WM_USER + 1, 1, 0, SMTO_NORMAL, 300, &r), 0);
  EXPECT_GE(MsSince(start), 250);
}

// The peer, while handling our message, sends one back to a window of this thread.
class CrossProcessBlock : public CrossProcess {
protected:
  void SetUp() override {
    CrossProcess::SetUp();
    Own = AllocateHWnd([this](TMessage &m) {
      if (m.Msg == WM_USER + 1) {
        ++Handled;
        m.Result = static_cast<LRESULT>(m.WParam * 2 + 1);
      } else {
        m.Result = DefWindowProcW(Own, m.Msg, m.WParam, m.LParam);
      }
    });
    SetWindowTextW(Own, u"test-host");
  }
  void TearDown() override {
    DeallocateHWnd(Own);
    CrossProcess::TearDown();
  }
  HWND Own = nullptr;
  int Handled = 0;
};

TEST_F(CrossProcessBlock, WithoutBlockIncomingMessagesRunWhileWaiting) {
  TPeer peer("echo", Log("peer.err"));
  DWORD_PTR r = 0;
  ASSERT_EQ(SendText(peer.Handle, u"sendback:test-host:5000", SMTO_NORMAL, 10000, r), 1);
  EXPECT_EQ(r, 41u);
  EXPECT_EQ(Handled, 1);
}

TEST_F(CrossProcessBlock, BlockLetsNoIncomingMessageRunWhileWaiting) {
  TPeer peer("echo", Log("peer.err"));
  DWORD_PTR r = 0;
  ASSERT_EQ(SendText(peer.Handle, u"sendback:test-host:300", SMTO_BLOCK, 5000, r), 1);
  EXPECT_EQ(static_cast<LRESULT>(r), -1); // the peer's send to us timed out
  EXPECT_EQ(Handled, 0);
  // The message the peer gave up on still reaches us at the next pump.
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  EXPECT_EQ(Handled, 1);
}

// Also while its parent has not reaped it yet: a dead process owns no windows.
TEST_F(CrossProcess, AKilledPeerIsNoLongerFound) {
  for (bool reaped : {true, false}) {
    TPeer peer("doomed", Log("peer.err"));
    HWND h = FindWindowW(UtilWindowClass, u"doomed");
    ASSERT_EQ(h, peer.Handle);
    if (reaped) {
      peer.Kill();
    } else {
      ::kill(peer.Pid(), SIGKILL);
      siginfo_t info{};
      ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(peer.Pid()), &info, WEXITED | WNOWAIT), 0);
    }
    EXPECT_EQ(FindWindowW(UtilWindowClass, u"doomed"), nullptr) << reaped;
    EXPECT_FALSE(IsWindow(h));
    DWORD_PTR r = 0;
    EXPECT_EQ(SendMessageTimeoutW(h, WM_USER + 1, 1, 0, SMTO_BLOCK, 1000, &r), 0);
    EXPECT_EQ(static_cast<DWORD>(GetLastError()), ERROR_INVALID_WINDOW_HANDLE);
    // Its entries were cleaned from the desktop.
    for (auto &e : fs::directory_iterator(Dir.Path() / "desk"))
      ADD_FAILURE() << "stale entry " << e.path();
  }
}

TEST_F(CrossProcess, APeerDyingDuringASendEndsTheWait) {
  TPeer peer("dying", Log("peer.err"));
  std::thread killer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    peer.Kill();
  });
  auto start = Clock::now();
  // No time-out: only the peer's death can end this wait.
  EXPECT_EQ(SendMessageW(peer.Handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"hang:20000")), 0);
  EXPECT_EQ(static_cast<DWORD>(GetLastError()), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_LT(MsSince(start), 10000);
  killer.join();
}

TEST_F(CrossProcess, APeerThatExitsTakesItsWindowAlong) {
  TPeer peer("leaving", Log("peer.err"));
  DWORD_PTR r = 0;
  ASSERT_EQ(SendText(peer.Handle, u"exit", SMTO_BLOCK, 5000, r), 1);
  ASSERT_TRUE(peer.WaitExit(5000));
  EXPECT_EQ(FindWindowW(UtilWindowClass, u"leaving"), nullptr);
}

TEST_F(CrossProcess, DesktopIsPrivateToTheUser) {
  TPeer peer("private", Log("peer.err"));
  struct stat st {};
  ASSERT_EQ(::stat((Dir.Path() / "desk").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root to act as another user";
  // A process of another user can neither list the desktop nor reach the peer's socket.
  ::chmod(Dir.Path().c_str(), 0755);
  pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0)
      ::_exit(2);
    std::error_code ec;
    fs::directory_iterator it(Dir.Path() / "desk", ec);
    if (!ec)
      ::_exit(3);
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string sock = (Dir.Path() / "desk").string() + "/p" + std::to_string(peer.Pid()) + "-";
    // The full name is not known without listing; any name below the directory is refused.
    std::strncpy(addr.sun_path, (sock + "0.sock").c_str(), sizeof addr.sun_path - 1);
    bool refused =
        ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 && errno == EACCES;
    ::_exit(refused ? 0 : 4);
  }
  int status = -1;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(CrossProcess, GarbageFramesAreRefusedAndThePeerGoesOn) {
  TPeer peer("sturdy", Log("peer.err"));
  using namespace win_detail;
  std::vector<std::string> bad;
  bad.push_back("GET / HTTP/1.0\r\n\r\n");
  std::string huge = EncodeFrame(TFrame{}).substr(0, 12);
  huge[8] = huge[9] = huge[10] = static_cast<char>(0xFF);
  huge[11] = 0x7F; // a payload of 2 GiB announced
  bad.push_back(huge);
  TFrame f;
  f.Window = reinterpret_cast<std::uintptr_t>(peer.Handle);
  f.Msg = WM_SETTEXT;
  f.HasText = true;
  f.Text = u"seq:0";
  std::string mismatch = EncodeFrame(f);
  mismatch[8] = static_cast<char>(mismatch[8] + 2); // the text no longer fills the frame
  mismatch += "xx";
  bad.push_back(mismatch);
  TFrame reply;
  reply.Kind = TFrameKind::Reply;
  bad.push_back(EncodeFrame(reply)); // replies are not taken from senders
  for (auto &bytes : bad) {
    int fd = RawConnect(Dir.Path() / "desk");
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
    EXPECT_TRUE(ClosedByPeer(fd, 5000));
    ::close(fd);
  }
  // Nothing of it was delivered, and the peer still serves.
  DWORD_PTR r = 0;
  ASSERT_EQ(SendMessageTimeoutW(peer.Handle, WM_USER + 2, 0, 0, SMTO_BLOCK, 5000, &r), 1);
  EXPECT_EQ(r, 0u);
  std::string log = LogText("peer.err");
  EXPECT_NE(log.find("malformed frame"), std::string::npos) << log;
  EXPECT_NE(log.find("oversized frame"), std::string::npos) << log;
}

TEST(WireFormat, RoundTripAndPartialInput) {
  using namespace win_detail;
  TFrame f;
  f.Kind = TFrameKind::Send;
  f.Seq = 42;
  f.Window = 0x1234500000077ull;
  f.Msg = WM_SETTEXT;
  f.Flags = SMTO_BLOCK | SMTO_ABORTIFHUNG;
  f.LParam = -5;
  f.HasText = true;
  f.Text = u"@01028:\"C:\\a b\\\u00e9.pas\"";
  std::string bytes = EncodeFrame(f) + EncodeFrame(f);
  TFrame out;
  std::size_t used = 0;
  std::string error;
  for (std::size_t cut = 0; cut < bytes.size() / 2; ++cut)
    ASSERT_EQ(DecodeFrame(bytes.data(), cut, out, used, error), TDecodeResult::NeedMore) << cut;
  ASSERT_EQ(DecodeFrame(bytes.data(), bytes.size(), out, used, error), TDecodeResult::Ok);
  EXPECT_EQ(used, bytes.size() / 2);
  EXPECT_EQ(out.Seq, 42u);
  EXPECT_EQ(out.Window, f.Window);
  EXPECT_EQ(out.LParam, -5);
  EXPECT_EQ(out.Flags, 3u);
  EXPECT_EQ(out.Text, f.Text);
  TFrame empty;
  empty.HasText = true;
  ASSERT_EQ(DecodeFrame(EncodeFrame(empty).data(), EncodeFrame(empty).size(), out, used, error),
            TDecodeResult::Ok);
  EXPECT_TRUE(out.HasText);
  EXPECT_TRUE(out.Text.empty());
  EXPECT_EQ(DecodeFrame("XXXX", 4, out, used, error), TDecodeResult::Bad);
}

} // namespace
} // namespace krx
