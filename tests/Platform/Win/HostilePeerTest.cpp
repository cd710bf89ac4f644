// A process of the same user that sends well-formed but hostile traffic (foreign pointers,
// floods, slow or silent connections) must neither take over the receiver nor cut it off:
// after each attack the receiver is alive and answers the next good call.
#include "PeerSupport.h"

#include "Platform/Win/Desktop.h"
#include "support/KrxTest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace krx {
namespace {

namespace fs = std::filesystem;
using namespace win_detail;
using test::Clock;
using test::ClosedByPeer;
using test::MsSince;
using test::RawConnect;
using test::RawFrame;
using test::ReadRawFrame;
using test::TPeer;

constexpr UINT kTwiceAndOne = WM_USER + 1; // the peer answers 2n + 1
constexpr UINT kCountPosted = WM_USER + 5, kPostedSoFar = WM_USER + 6;

// Processes forked to hold connections to the desktop socket at `addr`: each opens
// `connections`, runs `use` on each (false: the process gives up), tells the test it is ready
// and keeps them until the object goes.
class THolders {
public:
  THolders(int processes, int connections, const sockaddr_un &addr,
           const std::function<bool(int)> &use) {
    if (::pipe(FReadyPipe) != 0 || ::pipe(FHoldPipe) != 0)
      return;
    for (int p = 0; p < processes; ++p) {
      const pid_t child = ::fork();
      if (child == 0) {
        ::close(FHoldPipe[1]);
        for (int i = 0; i < connections; ++i) {
          const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
          if (::connect(s, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0 || !use(s))
            ::_exit(1);
        }
        [[maybe_unused]] auto n = ::write(FReadyPipe[1], "r", 1);
        ::close(FReadyPipe[1]); // so that a process that gave up cannot keep the test waiting
        char c;
        [[maybe_unused]] auto m = ::read(FHoldPipe[0], &c, 1); // until the object goes
        ::_exit(0);
      }
      FChildren.push_back(child);
    }
    ::close(FReadyPipe[1]);
    ::close(FHoldPipe[0]);
    for (char c; FReady < processes && ::read(FReadyPipe[0], &c, 1) == 1;)
      ++FReady;
  }
  ~THolders() {
    ::close(FHoldPipe[1]);
    ::close(FReadyPipe[0]);
    for (pid_t child : FChildren)
      ::waitpid(child, nullptr, 0);
  }
  THolders(const THolders &) = delete;
  THolders &operator=(const THolders &) = delete;

  // How many processes hold their connections (all of them, unless one gave up).
  int Ready() const { return FReady; }

private:
  int FReadyPipe[2] = {-1, -1}, FHoldPipe[2] = {-1, -1};
  std::vector<pid_t> FChildren;
  int FReady = 0;
};

// The address of the desktop socket of a peer process.
sockaddr_un SocketAddress(const fs::path &desk, pid_t pid) {
  sockaddr_un addr{};
  const int fd = RawConnect(desk, pid);
  socklen_t len = sizeof addr;
  if (fd >= 0)
    ::getpeername(fd, reinterpret_cast<sockaddr *>(&addr), &len);
  ::close(fd);
  return addr;
}

class HostilePeer : public ::testing::Test {
protected:
  void SetUp() override { ReopenDesktop(); }
  void TearDown() override { ReopenDesktop(); }

  fs::path Log(const std::string &name) { return Dir / name; }
  fs::path Desk() { return Dir.Path() / "desk"; }
  std::size_t LogCount(const std::string &name, const std::string &text) {
    std::string log = test::ReadFileBytes(Dir / name);
    std::size_t n = 0;
    for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
      ++n;
    return n;
  }
  // The good call of every test: answered, and in time.
  static void ExpectServes(HWND wnd, WPARAM n = 20) {
    DWORD_PTR r = 0;
    ASSERT_EQ(SendMessageTimeoutW(wnd, kTwiceAndOne, n, 0, SMTO_NORMAL, 30000, &r), 1)
        << "error " << GetLastError();
    EXPECT_EQ(r, 2 * n + 1);
  }
  static void Pause(TPeer &peer) {
    DWORD_PTR r = 0;
    ASSERT_EQ(SendMessageTimeoutW(peer.Handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"pause"),
                                  SMTO_NORMAL, 30000, &r),
              1);
  }
  static LRESULT WaitForPosted(HWND wnd, LRESULT expected) {
    LRESULT n = -1;
    auto start = Clock::now();
    while ((n = SendMessageW(wnd, kPostedSoFar, 0, 0)) < expected && MsSince(start) < 60000)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return n;
  }

  test::TempDir Dir;
  test::EnvGuard Desktop{"KRX_DESKTOP_DIR", (Dir.Path() / "desk").string()};
};

TEST_F(HostilePeer, ForeignPointersAndQuitAreRefusedAtTheDoor) {
  TPeer peer("door", Log("peer.err"));
  struct TCase {
    bool Post;
    UINT Msg;
    LPARAM LParam;
  };
  const TCase cases[] = {
      {true, WM_TIMER, 0x4141414141},   {true, WM_TIMER, reinterpret_cast<LPARAM>(&std::abort)},
      {false, WM_TIMER, 0x4141414141},  {true, WM_QUIT, 0},
      {false, WM_CREATE, 0x4141414141}, {true, WM_CLOSE, 0},
      {false, 0xB000, 0x4141414141}, // the class library's notifications carry objects
  };
  for (const TCase &c : cases) {
    SetLastError(0);
    DWORD_PTR r = 0;
    bool ok =
        c.Post ? PostMessageW(peer.Handle, c.Msg, 1, c.LParam) != 0
               : SendMessageTimeoutW(peer.Handle, c.Msg, 1, c.LParam, SMTO_NORMAL, 30000, &r) != 0;
    EXPECT_FALSE(ok) << std::hex << c.Msg;
    EXPECT_EQ(static_cast<DWORD>(GetLastError()), ERROR_ACCESS_DENIED) << std::hex << c.Msg;
  }
  ExpectServes(peer.Handle);
  EXPECT_TRUE(peer.Alive());
}

TEST_F(HostilePeer, AFifoInPlaceOfTheTemporaryEntryDoesNotBlockAPublication) {
  TPeer peer("before", Log("peer.err"));
  std::string stem; // p<pid>-<start>, shared by the peer's entries
  for (auto &e : fs::directory_iterator(Desk()))
    if (e.path().extension() == ".win")
      stem = e.path().stem().string();
  ASSERT_EQ(::mkfifo((Desk() / (stem + ".tmp")).c_str(), 0600), 0);
  DWORD_PTR r = 0;
  ASSERT_EQ(SendMessageTimeoutW(peer.Handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"after"),
                                SMTO_NORMAL, 30000, &r),
            1);
  EXPECT_EQ(FindWindowW(UtilWindowClass, u"after"), peer.Handle);
}

TEST_F(HostilePeer, PostsBeyondTheQueueAreRefusedAtOnceAndTheOthersDelivered) {
  TPeer peer("posts", Log("peer.err"));
  Pause(peer);
  LRESULT accepted = 0;
  while (accepted < 20000 && PostMessageW(peer.Handle, kCountPosted, 0, 0))
    ++accepted;
  EXPECT_EQ(static_cast<DWORD>(GetLastError()), ERROR_NOT_ENOUGH_QUOTA);
  EXPECT_GE(accepted, 1000);
  EXPECT_LE(accepted, 10000);
  peer.Resume();
  EXPECT_EQ(WaitForPosted(peer.Handle, accepted), accepted);
}

// Writes `frame` `count` times on a raw connection while a second thread reads the replies;
// answers the statuses received, once every frame has one (or after a minute). The reader
// takes its replies slowly, a few kilobytes at a time, as a busy peer does: the receiver then
// stops and resumes reading this connection many times, and must still answer every frame.
std::map<std::int32_t, int> Flood(int fd, const std::string &frame, int count,
                                  const std::function<void()> &whileWaiting) {
  std::map<std::int32_t, int> statuses;
  std::atomic<int> replies{0};
  std::thread reader([&] {
    std::string buffer;
    char chunk[4096];
    while (replies.load() < count) {
      pollfd p{fd, POLLIN, 0};
      std::this_thread::sleep_for(std::chrono::microseconds(200));
      auto n = ::poll(&p, 1, 60000) > 0 ? ::recv(fd, chunk, 4096, 0) : 0;
      if (n <= 0)
        break;
      buffer.append(chunk, static_cast<std::size_t>(n));
      std::size_t offset = 0, used = 0;
      TFrame f;
      std::string error;
      while (DecodeFrame(buffer.data() + offset, buffer.size() - offset, f, used, error) ==
             TDecodeResult::Ok) {
        offset += used;
        ++statuses[f.Status];
        ++replies;
      }
      buffer.erase(0, offset);
    }
  });
  std::string batch;
  for (int i = 0; i < count; ++i) {
    batch += frame;
    if (batch.size() >= (1 << 20) || i + 1 == count) {
      if (::send(fd, batch.data(), batch.size(), MSG_NOSIGNAL) !=
          static_cast<ssize_t>(batch.size()))
        break;
      batch.clear();
    }
  }
  whileWaiting();
  reader.join();
  return statuses;
}

// A peer on which the floods below run; its peak resident size is measured around them.
class FloodedPeer : public HostilePeer {
protected:
  void SetUp() override {
    HostilePeer::SetUp();
    // Under the address sanitizer freed memory is held back for a while; not here.
    const char *asan = std::getenv("ASAN_OPTIONS");
    Peer = std::make_unique<TPeer>(
        "flooded", Log("peer.err"),
        std::vector<std::string>{"ASAN_OPTIONS=" + std::string(asan ? asan : "") +
                                 ":quarantine_size_mb=0"});
    ExpectServes(Peer->Handle);
    Before = Peer->PeakRssKb();
    ASSERT_GT(Before, 0);
    Fd = RawConnect(Desk(), Peer->Pid());
    ASSERT_GE(Fd, 0);
    Pause(*Peer);
  }
  void TearDown() override {
    ::close(Fd);
    const long grown = Peer->PeakRssKb() - Before;
    EXPECT_LT(grown, BoundKb) << "peak resident size grew by " << grown << " KiB";
    ExpectServes(Peer->Handle);
    Peer.reset();
    HostilePeer::TearDown();
  }

  std::unique_ptr<TPeer> Peer;
  long Before = 0;
  long BoundKb = 32 * 1024; // what the connection's and the thread's shares allow, and more
  int Fd = -1;
};

TEST_F(FloodedPeer, PostsWhileTheOwnerIsBusy) {
  BoundKb = 8 * 1024; // queued, the posts would take about 20 MiB
  auto posts = Flood(Fd, RawFrame(TFrameKind::Post, Peer->Handle, kCountPosted), 400000, [] {});
  EXPECT_EQ(posts[rsOk] + posts[rsQuota], 400000);
  EXPECT_GT(posts[rsQuota], 0);
  Peer->Resume();
  EXPECT_EQ(WaitForPosted(Peer->Handle, posts[rsOk]), posts[rsOk]);
}

// The texts beyond the connection's share are refused at once, the others handled once the
// owner is back.
TEST_F(FloodedPeer, LargeTextsWhileTheOwnerIsBusy) {
  const String text = u"hang:0" + String(kMaxFrameText - 6, u'x');
  auto sends = Flood(Fd, RawFrame(TFrameKind::Send, Peer->Handle, WM_SETTEXT, 0, 0, &text), 80,
                     [&] { Peer->Resume(); });
  EXPECT_EQ(sends[rsOk] + sends[rsQuota], 80);
  EXPECT_GT(sends[rsQuota], 0);
}

TEST_F(HostilePeer, OneProcessKeepsAtMostEightConnections) {
  TPeer peer("limited", Log("peer.err"));
  std::vector<int> fds;
  for (int i = 0; i < 12; ++i) {
    fds.push_back(RawConnect(Desk(), peer.Pid()));
    ASSERT_GE(fds.back(), 0);
  }
  // The four connections silent the longest made room: told goodbye and closed.
  for (int i = 0; i < 4; ++i) {
    std::string buffer;
    TFrame bye;
    ASSERT_TRUE(ReadRawFrame(fds[i], buffer, bye, 30000)) << i;
    EXPECT_EQ(bye.Seq, 0u);
    EXPECT_EQ(bye.Status, rsGoodbye);
    EXPECT_TRUE(ClosedByPeer(fds[i], 30000));
  }
  for (int i = 4; i < 12; ++i) {
    std::string call = RawFrame(TFrameKind::Send, peer.Handle, kTwiceAndOne, 5, 0, nullptr, 9);
    ASSERT_EQ(::send(fds[i], call.data(), call.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(call.size()));
    std::string buffer;
    TFrame reply;
    ASSERT_TRUE(ReadRawFrame(fds[i], buffer, reply, 30000)) << i;
    EXPECT_EQ(reply.Seq, 9u);
    EXPECT_EQ(reply.Result, 11);
  }
  for (int fd : fds)
    ::close(fd);
}

TEST_F(HostilePeer, TwoHundredFiftySixSlowPeersDoNotLockOutAGoodSender) {
  TPeer target("target", Log("target.err"));
  TPeer sender("sender", Log("sender.err"));
  // 32 processes with eight connections each, every one holding half a frame.
  const std::string half = RawFrame(TFrameKind::Send, target.Handle, kTwiceAndOne).substr(0, 30);
  THolders holders(32, 8, SocketAddress(Desk(), target.Pid()), [&](int s) {
    [[maybe_unused]] auto n = ::send(s, half.data(), half.size(), MSG_NOSIGNAL);
    return true;
  });
  ASSERT_EQ(holders.Ready(), 32);
  // The sender process makes a call to the target while all 256 places are taken.
  DWORD_PTR r = 0;
  const String text = u"sendback:target:20000";
  ASSERT_EQ(SendMessageTimeoutW(sender.Handle, WM_SETTEXT, 0,
                                reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, 30000, &r),
            1);
  EXPECT_EQ(static_cast<LRESULT>(r), 41);
}

// With the table full, room goes at the expense of the process that holds the most
// connections: 32 processes of eight connections each do not close the one connection of
// another process, though it is idle and has been silent longer than any of theirs.
TEST_F(HostilePeer, AFullTableTakesRoomFromTheProcessHoldingTheMost) {
  TPeer target("target", Log("target.err"));
  const auto call = [&](int fd, std::uint64_t seq) {
    const std::string frame =
        RawFrame(TFrameKind::Send, target.Handle, kTwiceAndOne, 5, 0, nullptr, seq);
    return ::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(frame.size());
  };
  int mine = RawConnect(Desk(), target.Pid());
  ASSERT_GE(mine, 0);
  std::string buffer;
  TFrame reply;
  ASSERT_TRUE(call(mine, 1) && ReadRawFrame(mine, buffer, reply, 30000) && reply.Seq == 1);
  {
    // Each connection is served, or refused for want of room (then closed before the call
    // may be written), before its process is ready.
    THolders holders(32, 8, SocketAddress(Desk(), target.Pid()), [&](int s) {
      call(s, 1);
      std::string in;
      TFrame answer;
      return ReadRawFrame(s, in, answer, 30000);
    });
    EXPECT_EQ(holders.Ready(), 32);
    // This process's connection is still open: its next call is answered on it.
    EXPECT_TRUE(call(mine, 2) && ReadRawFrame(mine, buffer, reply, 30000) && reply.Seq == 2 &&
                reply.Result == 11)
        << "status " << reply.Status << ", sequence " << reply.Seq;
  }
  ::close(mine);
}

TEST_F(HostilePeer, HalfFramesAndSilentConnectionsTimeOut) {
  TPeer peer("timeouts", Log("peer.err"), {"KRX_FRAME_TIMEOUT_MS=300", "KRX_IDLE_TIMEOUT_MS=1000"});
  ExpectServes(peer.Handle);
  int half = RawConnect(Desk(), peer.Pid());
  int silent = RawConnect(Desk(), peer.Pid());
  ASSERT_GE(half, 0);
  ASSERT_GE(silent, 0);
  const std::string frame = RawFrame(TFrameKind::Send, peer.Handle, kTwiceAndOne);
  ASSERT_EQ(::send(half, frame.data(), 20, MSG_NOSIGNAL), 20);
  EXPECT_TRUE(ClosedByPeer(half, 30000));
  std::string buffer;
  TFrame bye;
  ASSERT_TRUE(ReadRawFrame(silent, buffer, bye, 30000));
  EXPECT_EQ(bye.Status, rsGoodbye);
  EXPECT_TRUE(ClosedByPeer(silent, 30000));
  ::close(half);
  ::close(silent);
  EXPECT_EQ(LogCount("peer.err", "left a frame incomplete"), 1u);
  // This process's own connection went silent as long; its next call still arrives.
  ExpectServes(peer.Handle, 7);
}

TEST_F(HostilePeer, PeersThatNeverReadTheirRepliesHoldUpNoOne) {
  TPeer peer("unread", Log("peer.err"));
  ExpectServes(peer.Handle);
  // Seven more connections of this process (it keeps eight), each sending calls without
  // ever reading an answer, until the socket takes no more.
  const std::string call = RawFrame(TFrameKind::Send, peer.Handle, kTwiceAndOne);
  std::string burst;
  for (int i = 0; i < 2000; ++i)
    burst += call;
  std::vector<int> fds;
  for (int i = 0; i < 7; ++i) {
    int fd = RawConnect(Desk(), peer.Pid());
    ASSERT_GE(fd, 0);
    for (int b = 0; b < 50; ++b) {
      pollfd p{fd, POLLOUT, 0};
      if (::poll(&p, 1, 300) <= 0 ||
          ::send(fd, burst.data(), burst.size(), MSG_NOSIGNAL | MSG_DONTWAIT) <= 0)
        break;
    }
    fds.push_back(fd);
  }
  for (WPARAM n = 0; n < 100; ++n) {
    auto start = Clock::now();
    ExpectServes(peer.Handle, n);
    EXPECT_LT(MsSince(start), 10000) << n;
  }
  EXPECT_EQ(LogCount("peer.err", "does not read its replies"), 1u);
  for (int fd : fds)
    ::close(fd);
  ExpectServes(peer.Handle);
}

} // namespace
} // namespace krx
