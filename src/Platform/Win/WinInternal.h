// Shared state of the window substitute: windows, per-thread message queues and the link to
// the desktop. Internal to src/Platform/Win.
#pragma once

#include "Platform/Win/Windows.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace krx::win_detail {

// Largest WM_GETTEXT buffer handed to a handler for another thread or process.
inline constexpr std::size_t kMaxTextBuffer = 512 * 1024;

// What one thread's queue holds at most; a message beyond it is refused with
// ERROR_NOT_ENOUGH_QUOTA, so that its sender learns it at once. Posts from other processes
// leave the last places to the thread's own posts.
inline constexpr std::size_t kMaxPostedMessages = 10000;
inline constexpr std::size_t kMaxForeignPosted = 9000;
inline constexpr std::size_t kMaxSentMessages = 10000;
inline constexpr std::size_t kMaxSentTextBytes = 16 * 1024 * 1024;

std::int64_t NowMs(); // monotonic, shared by every process of the machine
void LogLine(const std::string &line);

// Held by a queued message that came from another process; released (and the connection's
// share of the queue given back) when the message leaves the queue.
using TQueueTicket = std::shared_ptr<void>;

// A message sent to a window by another thread or process, waiting for the owner thread.
struct TIncomingSend {
  HWND Window = nullptr;
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  bool HasText = false; // WM_SETTEXT: lParam is replaced by a pointer to Text
  String Text;
  bool WantText = false; // WM_GETTEXT: lParam is replaced by a buffer of WParam characters
  // Called once on the owner thread: handled (error 0) with its result, or not: the window
  // is gone (ERROR_INVALID_WINDOW_HANDLE) or its handler refused it (ERROR_NOT_ENOUGH_QUOTA).
  std::function<void(DWORD error, LRESULT result, const String *text)> Complete;
  TQueueTicket Ticket;
};

struct TPostedMessage {
  MSG Msg;
  TQueueTicket Ticket;
};

struct TTimerEntry {
  HWND Wnd = nullptr;
  UINT_PTR Id = 0;
  UINT Elapse = 0;
  std::int64_t Due = 0;
  TIMERPROC Proc = nullptr;
};

struct TPeerConnection; // a connection to another process's desktop socket

class TThreadQueue {
public:
  explicit TThreadQueue(DWORD threadId);
  ~TThreadQueue();
  TThreadQueue(const TThreadQueue &) = delete;
  TThreadQueue &operator=(const TThreadQueue &) = delete;

  void Wake();
  // Waits until woken, `extraFd` is readable, or the time-out passes (-1: no limit).
  // Answers whether extraFd is readable.
  bool Wait(std::int64_t timeoutMs, int extraFd = -1);
  bool IsHung(std::int64_t now) const;
  void Pumped() { LastPump.store(NowMs()); }

  const DWORD ThreadId;
  std::mutex Lock;
  std::deque<TPostedMessage> Posted;
  std::deque<std::shared_ptr<TIncomingSend>> Sent;
  std::size_t SentTextBytes = 0; // text carried by the messages in Sent
  std::vector<TTimerEntry> Timers;
  UINT_PTR NextTimerId = 1;
  bool QuitPosted = false;
  int QuitCode = 0;
  std::atomic<std::int64_t> LastPump;
  std::atomic<int> Waiting{0};
  // Used only by the owner thread.
  std::map<std::string, std::shared_ptr<TPeerConnection>> Peers;
  std::uint64_t NextSeq = 0;

private:
  int FEventFd = -1;
};

struct TWindow {
  HWND Handle = nullptr;
  String ClassName;
  String Caption;
  TWndMethod Handler;
  std::shared_ptr<TThreadQueue> Owner;
  std::atomic<bool> Alive{true};
};

// ---- Calls between WinCore and Desktop ---------------------------------------------------

std::shared_ptr<TWindow> FindLocalWindow(HWND wnd);
// Queue a message for the owner thread; false (nothing queued) when the queue is full.
bool PushSent(TThreadQueue &queue, std::shared_ptr<TIncomingSend> item);
bool PushPosted(TThreadQueue &queue, const MSG &msg, TQueueTicket ticket = nullptr,
                std::size_t limit = kMaxPostedMessages);
std::int64_t HungThresholdMs();

// The process part of a handle: handles are (pid << 32) | local id.
inline DWORD HandleProcess(HWND wnd) {
  return static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(wnd) >> 32);
}

struct TRemoteWindow {
  HWND Handle = nullptr;
  DWORD ProcessId = 0;
  DWORD ThreadId = 0;
  String ClassName;
  String Caption;
};

struct TPublishedWindow {
  HWND Handle = nullptr;
  DWORD ThreadId = 0;
  String ClassName;
  String Caption;
};

// Rewrites this process's registration on the desktop (and starts listening on first use).
void DesktopPublish(const std::vector<TPublishedWindow> &windows);
// The live top-level windows of the other processes, in a stable order.
std::vector<TRemoteWindow> DesktopScan();
bool DesktopLookup(HWND wnd, TRemoteWindow &out);
// Sends to a window of another process. timeoutMs -1: no limit. `pump` dispatches the
// messages sent to the calling thread while it waits (not called under SMTO_BLOCK).
bool DesktopSend(TThreadQueue &self, HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT flags,
                 std::int64_t timeoutMs, LRESULT &result, const std::function<void()> &pump);
bool DesktopPost(TThreadQueue &self, HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
void DesktopClose();

} // namespace krx::win_detail
