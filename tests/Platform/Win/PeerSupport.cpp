#include "PeerSupport.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace krx::test {

namespace fs = std::filesystem;

TPeer::TPeer(const std::string &caption, const fs::path &stderrFile,
             std::vector<std::string> extraEnv) {
  std::string exe = std::string(KRX_BINARY_DIR) + "/tools/krx-wintest-peer";
  int out[2];
  if (::pipe(out) != 0)
    throw std::runtime_error("pipe");
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&fa, out[0]);
  posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, stderrFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  // The inherited environment, with the variables of extraEnv replaced.
  std::vector<std::string> env = extraEnv;
  for (char **e = environ; *e; ++e) {
    std::string_view var(*e);
    if (std::none_of(extraEnv.begin(), extraEnv.end(), [&](const std::string &x) {
          return var.substr(0, var.find('=') + 1) == x.substr(0, x.find('=') + 1);
        }))
      env.emplace_back(var);
  }
  std::vector<char *> envp;
  for (auto &e : env)
    envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string arg0 = exe, arg1 = caption;
  char *argv[] = {arg0.data(), arg1.data(), nullptr};
  int rc = posix_spawn(&FPid, exe.c_str(), &fa, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&fa);
  ::close(out[1]);
  if (rc != 0) {
    ::close(out[0]);
    throw std::runtime_error("cannot start " + exe);
  }
  // Wait (bounded) for "ready <handle>".
  std::string line;
  auto start = Clock::now();
  while (line.find('\n') == std::string::npos && MsSince(start) < 10000) {
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, 100) > 0) {
      char buf[128];
      auto n = ::read(out[0], buf, sizeof buf);
      if (n <= 0)
        break;
      line.append(buf, static_cast<std::size_t>(n));
    }
  }
  ::close(out[0]);
  unsigned long long h = 0;
  if (std::sscanf(line.c_str(), "ready %llx", &h) != 1)
    throw std::runtime_error("peer did not start: " + line);
  Handle = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(h));
}

void TPeer::Kill() {
  if (FPid > 0) {
    ::kill(FPid, SIGKILL);
    ::waitpid(FPid, nullptr, 0);
    FPid = -1;
  }
}

void TPeer::Resume() {
  if (FPid > 0)
    ::kill(FPid, SIGUSR1);
}

bool TPeer::WaitExit(int ms) {
  auto start = Clock::now();
  while (MsSince(start) < ms) {
    if (::waitpid(FPid, nullptr, WNOHANG) == FPid) {
      FPid = -1;
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

bool TPeer::Alive() {
  if (FPid <= 0)
    return false;
  if (::waitpid(FPid, nullptr, WNOHANG) == FPid) {
    FPid = -1;
    return false;
  }
  return true;
}

long TPeer::PeakRssKb() const {
  std::ifstream in("/proc/" + std::to_string(FPid) + "/status");
  std::string key;
  long value = -1;
  while (in >> key) {
    if (key == "VmHWM:") {
      in >> value;
      break;
    }
  }
  return value;
}

int RawConnect(const fs::path &desk, pid_t pid) {
  const std::string prefix = "p" + std::to_string(pid) + "-";
  for (auto &e : fs::directory_iterator(desk)) {
    if (e.path().extension() != ".sock" ||
        (pid != 0 && !e.path().filename().string().starts_with(prefix)))
      continue;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, e.path().c_str(), sizeof addr.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0)
      return fd;
    ::close(fd);
  }
  return -1;
}

bool ClosedByPeer(int fd, int ms) {
  auto start = Clock::now();
  char buf[4096];
  for (;;) {
    int left = ms - static_cast<int>(MsSince(start));
    pollfd p{fd, POLLIN, 0};
    if (left <= 0 || ::poll(&p, 1, left) <= 0)
      return false;
    auto n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno == ECONNRESET))
      return true;
  }
}

bool ReadRawFrame(int fd, std::string &buffer, win_detail::TFrame &frame, int ms) {
  using namespace win_detail;
  auto start = Clock::now();
  for (;;) {
    std::size_t used = 0;
    std::string error;
    if (DecodeFrame(buffer.data(), buffer.size(), frame, used, error) == TDecodeResult::Ok) {
      buffer.erase(0, used);
      return true;
    }
    int left = ms - static_cast<int>(MsSince(start));
    pollfd p{fd, POLLIN, 0};
    if (left <= 0 || ::poll(&p, 1, left) <= 0)
      return false;
    char buf[65536];
    auto n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
    if (n == 0)
      return false;
    if (n > 0)
      buffer.append(buf, static_cast<std::size_t>(n));
  }
}

std::string RawFrame(win_detail::TFrameKind kind, HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam,
                     const String *text, std::uint64_t seq) {
  win_detail::TFrame f;
  f.Kind = kind;
  f.Seq = seq;
  f.Window = reinterpret_cast<std::uintptr_t>(wnd);
  f.Msg = msg;
  f.WParam = wParam;
  f.LParam = lParam;
  if (text) {
    f.HasText = true;
    f.Text = *text;
  }
  return win_detail::EncodeFrame(f);
}

} // namespace krx::test
