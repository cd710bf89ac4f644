// The desktop shared by the processes of one user: registration of top-level windows, and
// delivery of messages between processes over local (Unix-domain) sockets.
//
// Each process that owns a top-level window writes "p<pid>-<start>.win" (its windows with
// class and caption) and listens on "p<pid>-<start>.sock", where <start> is the process's
// start time, so that a recycled process id never inherits a dead process's entries. A
// background thread accepts connections, checks that the peer runs as the same user, reads
// frames and hands each message to the queue of the thread that owns the target window; that
// thread answers on the connection once it has handled the message. A sender keeps one
// connection per peer process and thread, so its messages arrive in the order sent.
#include "Platform/Win/Desktop.h"

#include "Platform/Rtl/SysUtils.h"
#include "Platform/Win/WinInternal.h"
#include "Platform/Win/WinWire.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace krx {

namespace win_detail {

// Owns one descriptor (a socket, an event or a file): closed when its owner goes or is reset,
// handed on only by moving, so that no path can leak it or close it twice.
class TFd {
public:
  TFd() = default;
  explicit TFd(int fd) : FFd(fd) {}
  TFd(TFd &&other) noexcept : FFd(std::exchange(other.FFd, -1)) {}
  TFd &operator=(TFd &&other) noexcept {
    if (this != &other) {
      Close();
      FFd = std::exchange(other.FFd, -1);
    }
    return *this;
  }
  TFd(const TFd &) = delete;
  TFd &operator=(const TFd &) = delete;
  ~TFd() { Close(); }

  int Get() const { return FFd; }
  bool Valid() const { return FFd >= 0; }
  // Closes the descriptor now; false when close failed (a write it completes may have been
  // lost). Nothing to close counts as success.
  bool Close() {
    if (FFd < 0)
      return true;
    return ::close(std::exchange(FFd, -1)) == 0;
  }

private:
  int FFd = -1;
};

struct TPeerConnection {
  TFd Fd;
  bool Broken = false;
  std::string In;
  std::uint64_t NextSeq = 0;
  std::set<std::uint64_t> Pending;
  std::map<std::uint64_t, TFrame> Stash;
  DWORD Pid = 0;
  std::int32_t Farewell = rsOk; // rsGoodbye or rsNoRoom once the receiver closed it

  TPeerConnection() = default;
  TPeerConnection(const TPeerConnection &) = delete;
  TPeerConnection &operator=(const TPeerConnection &) = delete;
  ~TPeerConnection() { Close(); }
  void Close() {
    Fd.Close();
    Broken = true;
  }
};

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxConnections = 256;
// A sender keeps one connection per thread; more than this from one process are not needed.
constexpr std::size_t kMaxConnectionsPerPeer = 8;
// What one connection may have queued and not yet handled (messages, text bytes).
constexpr int kMaxQueuedPerConnection = 5000;
constexpr std::size_t kMaxQueuedBytesPerConnection = 8 * 1024 * 1024;
// Replies a peer has not read yet; beyond this the connection is not read until it does.
constexpr std::size_t kMaxUnreadReplies = 256 * 1024;
// A connection with nothing queued closes after this much silence, and one whose frame does
// not complete within the frame time-out is dropped (KRX_IDLE_TIMEOUT_MS and
// KRX_FRAME_TIMEOUT_MS override them for tests).
constexpr std::int64_t kIdleTimeoutMs = 60000;
constexpr std::int64_t kFrameTimeoutMs = 10000;
// Bytes read from one connection before the others get their turn.
constexpr std::size_t kReadTurnBytes = 1024 * 1024;
constexpr std::size_t kMaxRegistrationFile = 4 * 1024 * 1024;
constexpr std::int64_t kPostAckMs = 2000;

std::int64_t EnvMs(const char *name, std::int64_t fallback) {
  const char *s = std::getenv(name);
  if (s == nullptr || *s == 0)
    return fallback;
  char *end = nullptr;
  long long v = std::strtoll(s, &end, 10);
  return *end == 0 && v > 0 ? v : fallback;
}

// ---- Processes ----------------------------------------------------------------------------

// The start time of a process (clock ticks since boot), 0 when it does not exist or has
// ended: a process that died but was not yet reaped by its parent (a zombie) owns no windows,
// though its entries stay until another process sweeps them.
std::uint64_t ProcessStartTime(DWORD pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  if (!in)
    return 0;
  std::string line;
  std::getline(in, line);
  auto close = line.rfind(')');
  if (close == std::string::npos)
    return 0;
  std::istringstream rest(line.substr(close + 1));
  std::string field;
  // Fields after the command: state is field 3; the start time is field 22.
  for (int i = 3; i <= 22; ++i) {
    if (!(rest >> field))
      return 0;
    if (i == 3 && (field == "Z" || field == "X"))
      return 0;
  }
  try {
    return std::stoull(field);
  } catch (...) {
    return 0;
  }
}

std::string EntryBase(DWORD pid, std::uint64_t start) {
  return "p" + std::to_string(pid) + "-" + std::to_string(start);
}

bool ParseEntryName(const std::string &name, const char *suffix, DWORD &pid, std::uint64_t &start) {
  std::string sfx = suffix;
  if (name.size() <= sfx.size() + 3 || name[0] != 'p' || !name.ends_with(sfx))
    return false;
  std::string core = name.substr(1, name.size() - 1 - sfx.size());
  auto dash = core.find('-');
  if (dash == std::string::npos || dash == 0 || dash + 1 == core.size())
    return false;
  auto digits = [](const std::string &s) {
    return !s.empty() && s.size() <= 20 &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  std::string p = core.substr(0, dash), s = core.substr(dash + 1);
  if (!digits(p) || !digits(s) || p.size() > 10 || s.size() > 19)
    return false;
  auto pv = std::stoull(p);
  if (pv == 0 || pv > 0xFFFFFFFFull)
    return false;
  pid = static_cast<DWORD>(pv);
  start = std::stoull(s);
  return true;
}

// ---- Registration files -------------------------------------------------------------------

std::string HexText(const String &s) {
  if (s.empty())
    return "-";
  static const char *digits = "0123456789abcdef";
  std::string out;
  out.reserve(s.size() * 4);
  for (Char c : s)
    for (int shift = 12; shift >= 0; shift -= 4)
      out.push_back(digits[(c >> shift) & 0xF]);
  return out;
}

bool UnhexText(const std::string &h, String &out) {
  out.clear();
  if (h == "-")
    return true;
  if (h.empty() || h.size() % 4 != 0)
    return false;
  for (std::size_t i = 0; i < h.size(); i += 4) {
    unsigned v = 0;
    for (std::size_t j = 0; j < 4; ++j) {
      char c = h[i + j];
      unsigned d;
      if (c >= '0' && c <= '9')
        d = static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f')
        d = static_cast<unsigned>(c - 'a' + 10);
      else
        return false;
      v = v * 16 + d;
    }
    out.push_back(static_cast<Char>(v));
  }
  return true;
}

bool ParseRegistration(const std::string &text, DWORD pid, std::vector<TRemoteWindow> &out) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != "KRXDESK 1")
    return false;
  while (std::getline(in, line)) {
    std::istringstream ls(line);
    std::string tag, handle, tid, cls, caption;
    if (!(ls >> tag))
      continue;
    if (tag != "w")
      continue; // other lines describe the process
    if (!(ls >> handle >> tid >> cls >> caption))
      return false;
    TRemoteWindow w;
    try {
      std::size_t used = 0;
      auto h = std::stoull(handle, &used, 16);
      if (used != handle.size())
        return false;
      w.Handle = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(h));
      w.ThreadId = static_cast<DWORD>(std::stoul(tid));
    } catch (...) {
      return false;
    }
    if (HandleProcess(w.Handle) != pid || !UnhexText(cls, w.ClassName) ||
        !UnhexText(caption, w.Caption))
      return false;
    w.ProcessId = pid;
    out.push_back(std::move(w));
  }
  return true;
}

// Reads a registration file. Opened without blocking and read only when it is a regular
// file: anything else placed under an entry's name (a FIFO would block every reader for
// ever) is refused, with the reason in `why`.
bool ReadSmallFile(const fs::path &p, std::string &out, std::string &why) {
  why.clear();
  TFd fd(::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (!fd.Valid()) {
    if (errno == ELOOP)
      why = "a symbolic link";
    return false;
  }
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    why = "not a regular file";
    return false;
  }
  out.clear();
  char buf[8192];
  for (;;) {
    auto n = ::read(fd.Get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    out.append(buf, static_cast<std::size_t>(n));
    if (out.size() > kMaxRegistrationFile)
      return false;
  }
  return true;
}

// ---- Socket helpers -----------------------------------------------------------------------

bool FillAddress(const fs::path &path, sockaddr_un &addr) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  const std::string s = path.string();
  if (s.size() >= sizeof addr.sun_path)
    return false;
  std::memcpy(addr.sun_path, s.c_str(), s.size() + 1);
  return true;
}

bool PeerIsSameUser(int fd, DWORD *pid) {
  ucred cred{};
  socklen_t len = sizeof cred;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0)
    return false;
  if (pid)
    *pid = static_cast<DWORD>(cred.pid);
  return cred.uid == ::geteuid();
}

// Writes all bytes within the deadline (-1: none). False on error or time-out.
bool WriteAll(int fd, const std::string &bytes, std::int64_t deadline) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    auto n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      std::int64_t wait = deadline < 0 ? -1 : deadline - NowMs();
      if (deadline >= 0 && wait <= 0)
        return false;
      pollfd p{fd, POLLOUT, 0};
      ::poll(&p, 1, wait < 0 ? -1 : static_cast<int>(std::min<std::int64_t>(wait, 1 << 30)));
      continue;
    }
    return false;
  }
  return true;
}

// ---- Server side --------------------------------------------------------------------------

// Lines about what a peer does wrong are written once per process and kind, so a peer that
// misbehaves on every frame cannot flood the log.
class TLogOnce {
public:
  void operator()(const std::string &key, const std::string &line) {
    std::lock_guard g(FLock);
    if (FSeen.size() >= 4096)
      FSeen.clear();
    if (FSeen.insert(key).second)
      LogLine(line);
  }

private:
  std::mutex FLock;
  std::set<std::string> FSeen;
};

struct TServerConn {
  TFd Fd;
  DWORD Pid = 0;
  int WakeFd = -1; // the receiving thread's event: replies wait to be written
  std::mutex Lock; // guards Fd, Closed and Out against the owner threads writing replies
  bool Closed = false;
  std::string Out; // replies the peer has not taken yet
  // Messages taken from this connection and not handled yet, and their text bytes.
  std::atomic<int> Queued{0};
  std::atomic<std::size_t> QueuedBytes{0};
  // Used by the receiving thread only.
  std::string In;
  std::int64_t LastActivity = 0; // bytes received or replies taken by the peer
  std::int64_t FrameSince = 0;   // when the incomplete frame at the head of In began; 0: none

  // Queues the bytes for the peer and writes what the socket takes at once; the receiving
  // thread writes the rest. Never blocks, so a peer that does not read its replies cannot
  // hold up the owner thread or the reading of other connections.
  void Write(const std::string &bytes) {
    std::lock_guard g(Lock);
    if (Closed)
      return;
    bool wasEmpty = Out.empty();
    Out += bytes;
    if (wasEmpty && FlushLocked() && !Out.empty()) {
      std::uint64_t one = 1;
      [[maybe_unused]] auto n = ::write(WakeFd, &one, sizeof one);
    }
  }
  // False when the connection failed.
  bool Flush() {
    std::lock_guard g(Lock);
    return Closed || FlushLocked();
  }
  std::size_t Unread() {
    std::lock_guard g(Lock);
    return Out.size();
  }
  bool Idle() { return Queued.load() == 0 && Unread() == 0; }
  void Close() {
    std::lock_guard g(Lock);
    Fd.Close();
    Closed = true;
    Out.clear();
    Out.shrink_to_fit();
  }

private:
  bool FlushLocked() {
    std::size_t done = 0;
    while (done < Out.size()) {
      auto n = ::send(Fd.Get(), Out.data() + done, Out.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        break;
      Out.clear();
      return false;
    }
    Out.erase(0, done);
    return true;
  }
};

// Takes a place in the connection's share of the queue for a message of `bytes` text bytes;
// null when the share is used up. The place is given back when the ticket goes.
TQueueTicket TakeTicket(const std::shared_ptr<TServerConn> &c, std::size_t bytes) {
  if (c->Queued.load() >= kMaxQueuedPerConnection ||
      c->QueuedBytes.load() + bytes > kMaxQueuedBytesPerConnection)
    return nullptr;
  c->Queued.fetch_add(1);
  c->QueuedBytes.fetch_add(bytes);
  struct TTicket {
    TTicket(std::shared_ptr<TServerConn> conn, std::size_t bytes)
        : Conn(std::move(conn)), Bytes(bytes) {}
    TTicket(const TTicket &) = delete;
    TTicket &operator=(const TTicket &) = delete;
    ~TTicket() {
      Conn->QueuedBytes.fetch_sub(Bytes);
      Conn->Queued.fetch_sub(1);
    }
    std::shared_ptr<TServerConn> Conn;
    std::size_t Bytes;
  };
  return std::make_shared<TTicket>(c, bytes);
}

std::string ClosingFrame(std::int32_t status) {
  TFrame f;
  f.Kind = TFrameKind::Reply;
  f.Seq = 0;
  f.Status = status;
  return EncodeFrame(f);
}

class TDesktopState {
public:
  explicit TDesktopState(fs::path dir) : Dir(std::move(dir)) {
    Pid = static_cast<DWORD>(::getpid());
    Start = ProcessStartTime(Pid);
    Base = EntryBase(Pid, Start);
    IdleMs = EnvMs("KRX_IDLE_TIMEOUT_MS", kIdleTimeoutMs);
    FrameMs = EnvMs("KRX_FRAME_TIMEOUT_MS", kFrameTimeoutMs);
    Usable = PrepareDirectory();
  }
  ~TDesktopState() { Close(); }

  fs::path Dir;
  DWORD Pid = 0;
  std::uint64_t Start = 0;
  std::string Base;
  std::atomic<bool> Usable = false;
  std::int64_t IdleMs = kIdleTimeoutMs;
  std::int64_t FrameMs = kFrameTimeoutMs;

  fs::path SocketOf(DWORD pid, std::uint64_t start) const {
    return Dir / (EntryBase(pid, start) + ".sock");
  }

  // Why the windows of this process cannot be reached; empty when they can.
  std::string Problem() {
    std::lock_guard g(ProblemLock);
    return FProblem;
  }

  void Publish(const std::vector<TPublishedWindow> &windows) {
    if (!Usable)
      return;
    if (!windows.empty() && !StartListening())
      return;
    std::lock_guard g(FileLock);
    fs::path target = Dir / (Base + ".win");
    if (windows.empty()) {
      ::unlink(target.c_str());
      return;
    }
    std::string text =
        "KRXDESK 1\npid " + std::to_string(Pid) + "\nstart " + std::to_string(Start) + "\n";
    for (auto &w : windows) {
      char handle[32];
      std::snprintf(handle, sizeof handle, "%llx",
                    static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(w.Handle)));
      text += std::string("w ") + handle + " " + std::to_string(w.ThreadId) + " " +
              HexText(w.ClassName) + " " + HexText(w.Caption) + "\n";
    }
    // Written beside the target and renamed over it, so readers never see half a file. The
    // temporary name is made afresh (whatever was placed there is removed), so that opening
    // it cannot block on a FIFO or follow a link.
    fs::path tmp = Dir / (Base + ".tmp");
    ::unlink(tmp.c_str());
    TFd fd(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK,
                  0600));
    if (!fd.Valid()) {
      Fail("cannot write " + tmp.string() + ": " + std::strerror(errno));
      return;
    }
    bool ok = ::write(fd.Get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ok = fd.Close() && ok;
    if (!ok || ::rename(tmp.c_str(), target.c_str()) != 0) {
      Fail("cannot publish the windows in " + target.string());
      ::unlink(tmp.c_str());
      return;
    }
    std::lock_guard p(ProblemLock);
    FProblem.clear();
  }

  std::vector<TRemoteWindow> Scan() {
    std::vector<TRemoteWindow> out;
    if (!Usable)
      return out;
    std::vector<std::string> names;
    std::error_code ec;
    for (auto &e : fs::directory_iterator(Dir, ec))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    for (auto &name : names) {
      DWORD pid;
      std::uint64_t start;
      if (ParseEntryName(name, ".win", pid, start)) {
        if (pid == Pid)
          continue;
        if (ProcessStartTime(pid) != start) {
          RemoveEntries(pid, start);
          continue;
        }
        ReadEntry(name, pid, out);
      } else if (ParseEntryName(name, ".sock", pid, start) ||
                 ParseEntryName(name, ".tmp", pid, start)) {
        if (pid != Pid && ProcessStartTime(pid) != start)
          RemoveEntries(pid, start);
      }
    }
    return out;
  }

  bool Lookup(HWND wnd, TRemoteWindow &out) {
    if (!Usable)
      return false;
    DWORD pid = HandleProcess(wnd);
    std::uint64_t start = ProcessStartTime(pid);
    if (start == 0)
      return false;
    std::vector<TRemoteWindow> list;
    ReadEntry(EntryBase(pid, start) + ".win", pid, list);
    for (auto &w : list)
      if (w.Handle == wnd) {
        out = w;
        return true;
      }
    return false;
  }

  void Close() {
    if (Thread.joinable()) {
      std::uint64_t one = 1;
      [[maybe_unused]] auto n = ::write(StopFd.Get(), &one, sizeof one);
      Thread.join();
    }
    StopFd.Close();
    WakeFd.Close();
    if (ListenFd.Valid()) {
      ListenFd.Close();
      ::unlink((Dir / (Base + ".sock")).c_str());
    }
    if (Usable) {
      ::unlink((Dir / (Base + ".win")).c_str());
      ::unlink((Dir / (Base + ".tmp")).c_str());
    }
  }

private:
  std::mutex FileLock;
  std::mutex ListenLock;
  std::mutex ProblemLock;
  std::string FProblem;
  TFd ListenFd;
  TFd StopFd;
  TFd WakeFd;
  std::thread Thread;
  TLogOnce LogOnce;

  // Records why this process cannot be reached, and says it once.
  void Fail(const std::string &why) {
    {
      std::lock_guard g(ProblemLock);
      FProblem = why;
    }
    LogOnce("fail " + why, why);
  }

  bool PrepareDirectory() {
    std::error_code ec;
    fs::create_directories(Dir.parent_path(), ec);
    if (::mkdir(Dir.c_str(), 0700) != 0 && errno != EEXIST) {
      Fail("cannot create the desktop " + Dir.string() + ": " + std::strerror(errno));
      return false;
    }
    struct stat st {};
    if (::lstat(Dir.c_str(), &st) != 0) {
      Fail("cannot use the desktop " + Dir.string() + ": " + std::strerror(errno));
      return false;
    }
    if (S_ISLNK(st.st_mode)) {
      Fail("the desktop " + Dir.string() + " is a symbolic link; not used");
      return false;
    }
    if (!S_ISDIR(st.st_mode)) {
      Fail("the desktop " + Dir.string() + " is not a directory");
      return false;
    }
    if (st.st_uid != ::geteuid()) {
      Fail("the desktop " + Dir.string() + " belongs to another user; not used");
      return false;
    }
    if ((st.st_mode & 077) != 0 && ::chmod(Dir.c_str(), 0700) != 0) {
      Fail("cannot restrict the desktop " + Dir.string() + " to its owner");
      return false;
    }
    sockaddr_un addr;
    if (!FillAddress(Dir / (Base + ".sock"), addr)) {
      Fail("the desktop path " + Dir.string() + " is too long for a local socket");
      return false;
    }
    return true;
  }

  void RemoveEntries(DWORD pid, std::uint64_t start) {
    std::string base = EntryBase(pid, start);
    for (const char *sfx : {".win", ".sock", ".tmp"})
      ::unlink((Dir / (base + sfx)).c_str());
  }

  void ReadEntry(const std::string &name, DWORD pid, std::vector<TRemoteWindow> &out) {
    std::string text, why;
    if (!ReadSmallFile(Dir / name, text, why)) {
      if (!why.empty())
        LogOnce("entry " + name, "ignored the desktop entry " + name + ": " + why);
      return;
    }
    std::vector<TRemoteWindow> list;
    if (!ParseRegistration(text, pid, list)) {
      LogOnce("entry " + name, "ignored the malformed desktop entry " + name);
      return;
    }
    out.insert(out.end(), list.begin(), list.end());
  }

  bool StartListening() {
    std::lock_guard g(ListenLock);
    if (ListenFd.Valid())
      return true;
    fs::path path = Dir / (Base + ".sock");
    sockaddr_un addr;
    if (!FillAddress(path, addr)) {
      Fail("the desktop path " + path.string() + " is too long for a local socket");
      Usable = false;
      return false;
    }
    TFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.Valid()) {
      Fail(std::string("cannot make a local socket: ") + std::strerror(errno));
      return false;
    }
    ::unlink(path.c_str());
    if (::bind(fd.Get(), reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        ::chmod(path.c_str(), 0600) != 0 || ::listen(fd.Get(), 128) != 0) {
      Fail("cannot listen on " + path.string() + ": " + std::strerror(errno));
      fd.Close();
      Usable = false;
      return false;
    }
    StopFd = TFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    WakeFd = TFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    ListenFd = std::move(fd);
    Thread = std::thread([this] { Serve(); });
    return true;
  }

  // ---- The receiving thread ----

  bool ReadPaused(TServerConn &c) { return c.Unread() > kMaxUnreadReplies; }

  void Serve() {
    std::vector<std::shared_ptr<TServerConn>> conns;
    const int sweepMs =
        static_cast<int>(std::clamp<std::int64_t>(std::min(IdleMs, FrameMs) / 4, 10, 1000));
    for (;;) {
      std::vector<pollfd> fds;
      fds.push_back({StopFd.Get(), POLLIN, 0});
      fds.push_back({WakeFd.Get(), POLLIN, 0});
      fds.push_back({ListenFd.Get(), POLLIN, 0});
      for (auto &c : conns) {
        short events = 0;
        if (!ReadPaused(*c))
          events |= POLLIN;
        if (c->Unread() > 0)
          events |= POLLOUT;
        fds.push_back({c->Fd.Get(), events, 0});
      }
      if (::poll(fds.data(), fds.size(), conns.empty() ? -1 : sweepMs) < 0) {
        if (errno == EINTR)
          continue;
        LogLine(std::string("desktop poll failed: ") + std::strerror(errno));
        break;
      }
      if (fds[0].revents)
        break;
      if (fds[1].revents) {
        std::uint64_t v;
        [[maybe_unused]] auto n = ::read(WakeFd.Get(), &v, sizeof v);
      }
      std::int64_t now = NowMs();
      std::vector<std::shared_ptr<TServerConn>> keep;
      for (std::size_t i = 0; i < conns.size(); ++i) {
        auto &c = conns[i];
        if (ServeConnection(c, fds[i + 3].revents, now))
          keep.push_back(c);
        else
          c->Close();
      }
      conns.swap(keep);
      if (fds[2].revents & POLLIN)
        Accept(conns, now);
    }
    for (auto &c : conns)
      c->Close();
  }

  // One connection's turn; false when it must go.
  bool ServeConnection(const std::shared_ptr<TServerConn> &c, short revents, std::int64_t now) {
    if (revents & POLLOUT) {
      std::size_t before = c->Unread();
      if (!c->Flush())
        return false;
      if (c->Unread() < before)
        c->LastActivity = now;
    }
    // Frames left in In by a pause are handled as soon as it ends, before anything more is
    // read: the peer may have sent everything already (no input would come to wake them), and
    // reading on while they wait would let In grow with a peer slow to take its replies.
    if (!c->In.empty() && !ReadPaused(*c) && !HandleFrames(c, now))
      return false;
    if (revents & (POLLIN | POLLHUP | POLLERR)) {
      if (ReadPaused(*c) && (revents & (POLLHUP | POLLERR)))
        return false; // gone without reading its replies
      if (!ReadFrom(c, now))
        return false;
    }
    std::string who = "process " + std::to_string(c->Pid);
    if (ReadPaused(*c))
      LogOnce("unread " + std::to_string(c->Pid),
              who + " does not read its replies; its connections are not read until it does");
    if (c->FrameSince != 0 && now - c->FrameSince > FrameMs) {
      LogOnce("frame " + std::to_string(c->Pid), who + " left a frame incomplete for " +
                                                     std::to_string(FrameMs) +
                                                     " ms; connection closed");
      return false;
    }
    if (c->Queued.load() == 0 && now - c->LastActivity > IdleMs) {
      // Silent with nothing queued: a peer that did not read its replies for that long is
      // dropped, any other is told goodbye and may connect again.
      if (c->Unread() == 0 && c->In.empty())
        c->Write(ClosingFrame(rsGoodbye));
      return false;
    }
    return true;
  }

  // The connection of `pid` that can go with least loss: nothing queued for it, no replies
  // waiting, and silent the longest.
  std::size_t Evictable(const std::vector<std::shared_ptr<TServerConn>> &conns, DWORD pid) {
    std::size_t best = conns.size();
    for (std::size_t i = 0; i < conns.size(); ++i) {
      auto &c = conns[i];
      if (c->Pid != pid || !c->Idle())
        continue;
      if (best == conns.size() || c->LastActivity < conns[best]->LastActivity)
        best = i;
    }
    return best;
  }

  // Room in a full table for a process that holds `mine` connections: an idle connection of
  // the process holding the most (silent the longest among them), so that a flood of
  // connections from a few processes closes theirs, not the one of a process that holds one
  // or two. Only of a process that then still holds at least as many as the newcomer: else
  // none (conns.size()), and the newcomer is refused.
  std::size_t EvictableFromTheMost(const std::vector<std::shared_ptr<TServerConn>> &conns,
                                   std::size_t mine) {
    std::map<DWORD, std::size_t> held;
    for (auto &c : conns)
      ++held[c->Pid];
    std::size_t best = conns.size();
    for (std::size_t i = 0; i < conns.size(); ++i) {
      auto &c = conns[i];
      const std::size_t n = held[c->Pid];
      if (n < mine + 2 || !c->Idle())
        continue;
      const std::size_t most = best == conns.size() ? 0 : held[conns[best]->Pid];
      if (n > most || (n == most && c->LastActivity < conns[best]->LastActivity))
        best = i;
    }
    return best;
  }

  void Accept(std::vector<std::shared_ptr<TServerConn>> &conns, std::int64_t now) {
    for (;;) {
      TFd fd(::accept4(ListenFd.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
      if (!fd.Valid())
        return;
      DWORD pid = 0;
      if (!PeerIsSameUser(fd.Get(), &pid)) {
        LogLine("refused a connection from another user's process " + std::to_string(pid));
        continue;
      }
      // A peer at its limit makes room by closing an idle connection of its own, a full
      // table by closing one of the process that holds the most; with none to close the new
      // connection is refused.
      std::size_t mine = static_cast<std::size_t>(
          std::count_if(conns.begin(), conns.end(), [pid](auto &c) { return c->Pid == pid; }));
      bool full = conns.size() >= kMaxConnections || mine >= kMaxConnectionsPerPeer;
      if (full) {
        std::size_t victim = mine >= kMaxConnectionsPerPeer ? Evictable(conns, pid)
                                                            : EvictableFromTheMost(conns, mine);
        if (victim == conns.size()) {
          LogOnce("room " + std::to_string(pid), "refused a connection from process " +
                                                     std::to_string(pid) +
                                                     ": too many connections");
          std::string bye = ClosingFrame(rsNoRoom);
          [[maybe_unused]] auto n =
              ::send(fd.Get(), bye.data(), bye.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
          continue;
        }
        conns[victim]->Write(ClosingFrame(rsGoodbye));
        conns[victim]->Close();
        conns.erase(conns.begin() + static_cast<std::ptrdiff_t>(victim));
      }
      auto c = std::make_shared<TServerConn>();
      c->Fd = std::move(fd);
      c->Pid = pid;
      c->WakeFd = WakeFd.Get();
      c->LastActivity = now;
      conns.push_back(c);
    }
  }

  // Reads what arrived and handles complete frames; false when the connection must go.
  bool ReadFrom(const std::shared_ptr<TServerConn> &c, std::int64_t now) {
    char buf[65536];
    std::size_t turn = 0;
    while (turn < kReadTurnBytes && !ReadPaused(*c)) {
      auto n = ::recv(c->Fd.Get(), buf, sizeof buf, MSG_DONTWAIT);
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        break;
      if (n <= 0)
        return false; // closed by the peer, or failed
      c->In.append(buf, static_cast<std::size_t>(n));
      turn += static_cast<std::size_t>(n);
      c->LastActivity = now;
      if (!HandleFrames(c, now))
        return false;
    }
    return true;
  }

  // Handles the complete frames at the head of In while the peer takes its replies.
  bool HandleFrames(const std::shared_ptr<TServerConn> &c, std::int64_t now) {
    std::size_t offset = 0;
    bool ok = true;
    bool incomplete = false;
    while (ok && !ReadPaused(*c)) {
      TFrame frame;
      std::size_t used = 0;
      std::string error;
      auto r = DecodeFrame(c->In.data() + offset, c->In.size() - offset, frame, used, error);
      if (r == TDecodeResult::NeedMore) {
        incomplete = offset < c->In.size();
        break;
      }
      if (r == TDecodeResult::Bad) {
        LogLine("dropped a malformed frame from process " + std::to_string(c->Pid) + " (" + error +
                "); connection closed");
        return false;
      }
      offset += used;
      ok = Handle(c, frame);
    }
    c->In.erase(0, offset);
    if (c->In.empty() && c->In.capacity() > 2 * kReadTurnBytes)
      c->In.shrink_to_fit();
    if (!incomplete)
      c->FrameSince = 0;
    else if (offset > 0 || c->FrameSince == 0)
      c->FrameSince = now;
    return ok;
  }

  // Static: a reply may be written after this desktop was closed.
  static void Reply(const std::shared_ptr<TServerConn> &c, std::uint64_t seq, std::int32_t status,
                    LRESULT result = 0, const String *text = nullptr) {
    TFrame r;
    r.Kind = TFrameKind::Reply;
    r.Seq = seq;
    r.Status = status;
    r.Result = result;
    if (text) {
      r.HasText = true;
      r.Text = text->substr(0, kMaxFrameText);
    }
    c->Write(EncodeFrame(r));
  }

  bool Handle(const std::shared_ptr<TServerConn> &c, const TFrame &f) {
    if (f.Kind == TFrameKind::Reply) {
      LogLine("dropped an unexpected reply frame from process " + std::to_string(c->Pid) +
              "; connection closed");
      return false;
    }
    HWND wnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(f.Window));
    std::shared_ptr<TWindow> win;
    if (HandleProcess(wnd) == Pid)
      win = FindLocalWindow(wnd);
    if (!win || !win->Alive) {
      Reply(c, f.Seq, rsNoWindow);
      return true;
    }
    if (!AcceptedFromOtherProcess(f.Msg)) {
      Reply(c, f.Seq, rsDenied);
      return true;
    }
    if (f.Kind == TFrameKind::Post) {
      if (f.Msg == WM_SETTEXT || f.Msg == WM_GETTEXT) {
        Reply(c, f.Seq, rsRefused);
        return true;
      }
      MSG m;
      m.hwnd = wnd;
      m.message = f.Msg;
      m.wParam = static_cast<WPARAM>(f.WParam);
      m.lParam = static_cast<LPARAM>(f.LParam);
      m.time = GetTickCount();
      auto ticket = TakeTicket(c, 0);
      bool queued = ticket && PushPosted(*win->Owner, m, std::move(ticket), kMaxForeignPosted);
      Reply(c, f.Seq, queued ? rsOk : rsQuota);
      return true;
    }
    if ((f.Flags & SMTO_ABORTIFHUNG) && win->Owner->IsHung(NowMs())) {
      Reply(c, f.Seq, rsHung);
      return true;
    }
    auto item = std::make_shared<TIncomingSend>();
    item->Window = wnd;
    item->Msg = f.Msg;
    item->WParam = static_cast<WPARAM>(f.WParam);
    // Numbers cross as they are; only the caption texts are carried over.
    item->LParam = static_cast<LPARAM>(f.LParam);
    std::size_t bytes = 0;
    if (f.Msg == WM_SETTEXT) {
      item->HasText = f.HasText;
      item->Text = f.Text;
      if (!f.HasText)
        item->LParam = 0;
      bytes = f.Text.size() * sizeof(Char);
    } else if (f.Msg == WM_GETTEXT) {
      item->WantText = true;
      // Its reply carries up to that much text.
      bytes = std::min<std::size_t>(item->WParam, kMaxTextBuffer) * sizeof(Char);
    }
    item->Ticket = TakeTicket(c, bytes);
    if (!item->Ticket) {
      Reply(c, f.Seq, rsQuota);
      return true;
    }
    std::uint64_t seq = f.Seq;
    item->Complete = [c, seq](DWORD error, LRESULT result, const String *text) {
      Reply(c, seq,
            error == ERROR_SUCCESS            ? rsOk
            : error == ERROR_NOT_ENOUGH_QUOTA ? rsQuota
                                              : rsNoWindow,
            result, text);
    };
    if (!PushSent(*win->Owner, item)) {
      item->Complete = nullptr;
      Reply(c, f.Seq, rsQuota);
    }
    return true;
  }
};

std::mutex gDesktopLock;
std::unique_ptr<TDesktopState> gDesktop;

TDesktopState &Desktop() {
  std::lock_guard g(gDesktopLock);
  if (!gDesktop)
    gDesktop = std::make_unique<TDesktopState>(DesktopDirectory());
  return *gDesktop;
}

// ---- Client side --------------------------------------------------------------------------

// Reads what the peer sent; replies still awaited go to the stash.
void ReadReplies(TPeerConnection &c) {
  char buf[65536];
  for (;;) {
    auto n = ::recv(c.Fd.Get(), buf, sizeof buf, MSG_DONTWAIT);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
      return;
    if (n <= 0) {
      c.Close();
      return;
    }
    c.In.append(buf, static_cast<std::size_t>(n));
    std::size_t offset = 0;
    for (;;) {
      TFrame f;
      std::size_t used = 0;
      std::string error;
      auto r = DecodeFrame(c.In.data() + offset, c.In.size() - offset, f, used, error);
      if (r == TDecodeResult::NeedMore)
        break;
      if (r == TDecodeResult::Bad || f.Kind != TFrameKind::Reply) {
        LogLine("dropped a malformed reply from process " + std::to_string(c.Pid) + " (" +
                (r == TDecodeResult::Bad ? error : std::string("not a reply")) +
                "); connection closed");
        c.Close();
        return;
      }
      offset += used;
      if (f.Seq == 0) {
        // The receiver closes the connection (rsGoodbye, rsNoRoom); nothing follows.
        c.Farewell = f.Status;
        c.Close();
        return;
      }
      if (c.Pending.contains(f.Seq))
        c.Stash[f.Seq] = std::move(f);
    }
    c.In.erase(0, offset);
  }
}

std::shared_ptr<TPeerConnection> Connect(const fs::path &path, DWORD pid, std::int64_t deadline) {
  sockaddr_un addr;
  if (!FillAddress(path, addr))
    return nullptr;
  TFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd.Valid())
    return nullptr;
  for (;;) {
    if (::connect(fd.Get(), reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0)
      break;
    // A full backlog: the peer accepts slowly. Try again until the deadline.
    if (errno == EAGAIN || errno == EINTR) {
      if (deadline >= 0 && NowMs() >= deadline) {
        fd.Close();
        errno = ETIMEDOUT;
        return nullptr;
      }
      ::usleep(2000);
      continue;
    }
    return nullptr;
  }
  DWORD peer = 0;
  if (!PeerIsSameUser(fd.Get(), &peer)) {
    LogLine("refused to talk to " + path.string() + ": it runs as another user");
    return nullptr;
  }
  auto c = std::make_shared<TPeerConnection>();
  c->Fd = std::move(fd);
  c->Pid = pid;
  return c;
}

// The connection of this thread to the process of `wnd`, made when needed. Sets the error
// when there is none.
std::shared_ptr<TPeerConnection> PeerFor(TThreadQueue &self, HWND wnd, std::int64_t deadline) {
  auto &d = Desktop();
  DWORD pid = HandleProcess(wnd);
  std::uint64_t start = ProcessStartTime(pid);
  if (!d.Usable || start == 0 || pid == d.Pid) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  std::string path = d.SocketOf(pid, start).string();
  auto it = self.Peers.find(path);
  if (it != self.Peers.end()) {
    auto &c = it->second;
    if (!c->Broken) {
      pollfd p{c->Fd.Get(), POLLIN, 0};
      if (::poll(&p, 1, 0) > 0)
        ReadReplies(*c); // notices a peer that went away
    }
    if (!c->Broken)
      return c;
    self.Peers.erase(it);
  }
  auto c = Connect(path, pid, deadline);
  if (!c) {
    SetLastError(errno == ETIMEDOUT ? ERROR_TIMEOUT : ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  self.Peers[path] = c;
  return c;
}

DWORD StatusError(std::int32_t status) {
  switch (status) {
  case rsHung:
    return ERROR_TIMEOUT;
  case rsRefused:
    return ERROR_MESSAGE_SYNC_ONLY;
  case rsDenied:
    return ERROR_ACCESS_DENIED;
  case rsQuota:
    return ERROR_NOT_ENOUGH_QUOTA;
  default:
    return ERROR_INVALID_WINDOW_HANDLE;
  }
}

// Writes the frame on this thread's connection to the window's process and waits for its
// reply, running `pump` (when given) meanwhile. Sets the error and answers false when no
// reply came. A frame the receiver did not handle before it said goodbye is sent once more
// on a new connection.
bool Transfer(TThreadQueue &self, HWND wnd, TFrame &f, std::int64_t deadline,
              const std::function<void()> *pump, TFrame &reply) {
  for (int attempt = 0;; ++attempt) {
    auto c = PeerFor(self, wnd, deadline);
    if (!c)
      return false;
    f.Seq = ++c->NextSeq;
    c->Pending.insert(f.Seq);
    bool got = false;
    DWORD error = ERROR_INVALID_WINDOW_HANDLE;
    if (!WriteAll(c->Fd.Get(), EncodeFrame(f), deadline)) {
      // Half a frame may be on the wire: the connection cannot be used again.
      if (deadline >= 0 && NowMs() >= deadline)
        error = ERROR_TIMEOUT;
      ReadReplies(*c); // a goodbye explains a closed connection
      c->Close();
    } else {
      for (;;) {
        auto it = c->Stash.find(f.Seq);
        if (it != c->Stash.end()) {
          reply = std::move(it->second);
          got = true;
          break;
        }
        if (c->Broken)
          break;
        if (pump) {
          (*pump)();
          if (c->Stash.contains(f.Seq) || c->Broken)
            continue;
        }
        std::int64_t wait = -1;
        if (deadline >= 0) {
          wait = deadline - NowMs();
          if (wait <= 0) {
            error = ERROR_TIMEOUT;
            break;
          }
        }
        if (self.Wait(wait, c->Fd.Get()))
          ReadReplies(*c);
      }
    }
    c->Pending.erase(f.Seq);
    c->Stash.erase(f.Seq);
    if (got)
      return true;
    if (c->Farewell == rsGoodbye && attempt == 0 && error != ERROR_TIMEOUT)
      continue;
    SetLastError(c->Farewell == rsNoRoom ? ERROR_NOT_ENOUGH_QUOTA : error);
    return false;
  }
}

} // namespace

void DesktopPublish(const std::vector<TPublishedWindow> &windows) { Desktop().Publish(windows); }

std::vector<TRemoteWindow> DesktopScan() { return Desktop().Scan(); }

bool DesktopLookup(HWND wnd, TRemoteWindow &out) { return Desktop().Lookup(wnd, out); }

bool DesktopSend(TThreadQueue &self, HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT flags,
                 std::int64_t timeoutMs, LRESULT &result, const std::function<void()> &pump) {
  std::int64_t deadline = timeoutMs < 0 ? -1 : NowMs() + timeoutMs;
  TFrame f;
  f.Kind = TFrameKind::Send;
  f.Window = reinterpret_cast<std::uintptr_t>(wnd);
  f.Msg = msg;
  f.Flags = flags;
  f.WParam = wParam;
  f.LParam = lParam;
  if (msg == WM_SETTEXT) {
    f.LParam = 0;
    if (lParam) {
      f.HasText = true;
      f.Text = reinterpret_cast<const Char *>(lParam);
      if (f.Text.size() > kMaxFrameText) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
      }
    }
  } else if (msg == WM_GETTEXT) {
    f.LParam = 0;
  }
  TFrame r;
  if (!Transfer(self, wnd, f, deadline, (flags & SMTO_BLOCK) ? nullptr : &pump, r))
    return false;
  if (r.Status != rsOk) {
    SetLastError(StatusError(r.Status));
    return false;
  }
  result = static_cast<LRESULT>(r.Result);
  if (msg == WM_GETTEXT && lParam && wParam > 0) {
    std::size_t n = std::min<std::size_t>(r.Text.size(), wParam - 1);
    auto *buf = reinterpret_cast<Char *>(lParam);
    std::copy_n(r.Text.data(), n, buf);
    buf[n] = 0;
    result = static_cast<LRESULT>(
        std::min<std::size_t>(n, static_cast<std::size_t>(std::max<LRESULT>(0, result))));
  }
  return true;
}

bool DesktopPost(TThreadQueue &self, HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TFrame f;
  f.Kind = TFrameKind::Post;
  f.Window = reinterpret_cast<std::uintptr_t>(wnd);
  f.Msg = msg;
  f.WParam = wParam;
  f.LParam = lParam;
  // The receiving thread acknowledges at once; the owner need not be pumping.
  TFrame r;
  if (!Transfer(self, wnd, f, NowMs() + kPostAckMs, nullptr, r))
    return false;
  if (r.Status != rsOk) {
    SetLastError(StatusError(r.Status));
    return false;
  }
  return true;
}

void DesktopClose() {
  std::unique_ptr<TDesktopState> d;
  {
    std::lock_guard g(gDesktopLock);
    d = std::move(gDesktop);
  }
  d.reset();
}

} // namespace win_detail

std::filesystem::path DesktopDirectory() {
  if (const char *d = std::getenv("KRX_DESKTOP_DIR"); d && *d)
    return d;
  if (const char *x = std::getenv("XDG_RUNTIME_DIR"); x && *x)
    return std::filesystem::path(x) / "krx-desktop";
  return std::filesystem::path("/tmp") / ("krx-desktop-" + std::to_string(::geteuid()));
}

std::string DesktopProblem() { return win_detail::Desktop().Problem(); }

void ReopenDesktop() { win_detail::DesktopClose(); }

} // namespace krx
