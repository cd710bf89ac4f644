// The other process of the window tests (krx-wintest-peer) and a raw connection to a
// process's desktop socket, as a faulty or hostile process would make one.
#pragma once

#include "Platform/Win/WinWire.h"
#include "Platform/Win/Windows.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace krx::test {

using Clock = std::chrono::steady_clock;

inline std::int64_t MsSince(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// One peer process on the test's desktop; killed when the object goes.
class TPeer {
public:
  TPeer(const std::string &caption, const std::filesystem::path &stderrFile,
        std::vector<std::string> extraEnv = {});
  ~TPeer() { Kill(); }
  TPeer(const TPeer &) = delete;
  TPeer &operator=(const TPeer &) = delete;
  void Kill();
  // Ends a pause of the peer's message loop (its "pause" text).
  void Resume();
  // Waits (bounded) for the peer to end by itself.
  bool WaitExit(int ms);
  pid_t Pid() const { return FPid; }
  // Whether the process still runs (it has not ended or crashed).
  bool Alive();
  // The largest resident size the process has had, in KiB (VmHWM).
  long PeakRssKb() const;

  HWND Handle = nullptr;

private:
  pid_t FPid = -1;
};

// Connects to the desktop socket of process `pid` (any process when 0) directly; -1 when
// there is none.
int RawConnect(const std::filesystem::path &desk, pid_t pid = 0);
// True when the peer closes the connection within the time (frames before the end are
// skipped).
bool ClosedByPeer(int fd, int ms);
// Reads the next frame from a raw connection; false after `ms` or at its end.
bool ReadRawFrame(int fd, std::string &buffer, win_detail::TFrame &frame, int ms);
std::string RawFrame(win_detail::TFrameKind kind, HWND wnd, UINT msg, WPARAM wParam = 0,
                     LPARAM lParam = 0, const String *text = nullptr, std::uint64_t seq = 1);

} // namespace krx::test
