// Windows, per-thread message queues, sending and posting, the message loop and timers.
#include "Platform/Rtl/SysUtils.h"
#include "Platform/Win/WinInternal.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <random>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace krx {

namespace win_detail {

std::int64_t NowMs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void LogLine(const std::string &line) {
  std::string s = "krx-win[" + std::to_string(::getpid()) + "]: " + line + "\n";
  // One write, so lines of concurrent processes do not interleave.
  [[maybe_unused]] auto n = ::write(STDERR_FILENO, s.data(), s.size());
}

TThreadQueue::TThreadQueue(DWORD threadId) : ThreadId(threadId), LastPump(NowMs()) {
  FEventFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (FEventFd < 0)
    throw EOSError(u"Cannot create the message queue's event");
}

TThreadQueue::~TThreadQueue() {
  if (FEventFd >= 0)
    ::close(FEventFd);
}

void TThreadQueue::Wake() {
  std::uint64_t one = 1;
  [[maybe_unused]] auto n = ::write(FEventFd, &one, sizeof one);
}

bool TThreadQueue::Wait(std::int64_t timeoutMs, int extraFd) {
  pollfd fds[2] = {{FEventFd, POLLIN, 0}, {extraFd, POLLIN, 0}};
  int count = extraFd >= 0 ? 2 : 1;
  int t = timeoutMs < 0 ? -1 : static_cast<int>(std::min<std::int64_t>(timeoutMs, 1 << 30));
  Waiting.fetch_add(1);
  int r = ::poll(fds, static_cast<nfds_t>(count), t);
  Waiting.fetch_sub(1);
  LastPump.store(NowMs());
  if (r > 0 && (fds[0].revents & POLLIN)) {
    std::uint64_t v;
    [[maybe_unused]] auto n = ::read(FEventFd, &v, sizeof v);
  }
  return r > 0 && count == 2 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR));
}

bool TThreadQueue::IsHung(std::int64_t now) const {
  return Waiting.load() == 0 && now - LastPump.load() > HungThresholdMs();
}

} // namespace win_detail

using namespace win_detail;

namespace {

thread_local DWORD tLastError = 0;

// A call that succeeds leaves the last error as it found it, as Windows does; one that fails
// leaves the code it set with SetLastError (clean-up on the way out may have touched errno).
bool KeepLastError(bool ok, int savedErrno) {
  errno = ok ? savedErrno : static_cast<int>(tLastError);
  return ok;
}

struct TManager {
  std::mutex Lock;
  std::map<HWND, std::shared_ptr<TWindow>> Windows;
  std::vector<HWND> TopLevelOrder; // creation order
  std::map<DWORD, std::weak_ptr<TThreadQueue>> Queues;
  std::uint32_t NextLocalId = 0;
  TWindowExceptionHandler ExceptionHandler;
  std::int64_t HungMs = 5000;
  std::uint64_t Generation = 0;
};

std::unique_ptr<TManager> gManager;
std::atomic<std::uint64_t> gGeneration{0};
std::atomic<DWORD> gTickBias{0};

TManager &Mgr() {
  KR_ASSERT(gManager != nullptr); // the unit "Win" must be initialised (src/Units.cpp)
  return *gManager;
}

struct TThreadSlot {
  std::shared_ptr<TThreadQueue> Queue;
  std::uint64_t Generation = 0;
};
thread_local TThreadSlot tSlot;

DWORD CurrentTid() { return static_cast<DWORD>(::syscall(SYS_gettid)); }

std::shared_ptr<TThreadQueue> CurrentQueue() {
  auto &m = Mgr();
  if (!tSlot.Queue || tSlot.Generation != m.Generation) {
    tSlot.Queue = std::make_shared<TThreadQueue>(CurrentTid());
    tSlot.Generation = m.Generation;
    std::lock_guard g(m.Lock);
    m.Queues[tSlot.Queue->ThreadId] = tSlot.Queue;
  }
  return tSlot.Queue;
}

std::vector<TPublishedWindow> PublishedLocked(TManager &m) {
  std::vector<TPublishedWindow> out;
  for (HWND h : m.TopLevelOrder) {
    auto &w = m.Windows.at(h);
    out.push_back({h, w->Owner->ThreadId, w->ClassName, w->Caption});
  }
  return out;
}

void Republish() {
  std::vector<TPublishedWindow> list;
  {
    auto &m = Mgr();
    std::lock_guard g(m.Lock);
    list = PublishedLocked(m);
  }
  DesktopPublish(list);
}

void ReportHandlerException() {
  TWindowExceptionHandler handler;
  if (gManager) {
    std::lock_guard g(gManager->Lock);
    handler = gManager->ExceptionHandler;
  }
  if (handler) {
    try {
      handler();
      return;
    } catch (...) {
      LogLine("the exception handler raised an exception itself");
    }
  }
  try {
    throw;
  } catch (const std::exception &e) {
    LogLine(std::string("exception in a window handler: ") + e.what());
  } catch (...) {
    LogLine("unknown exception in a window handler");
  }
}

// Set while a handler runs for a sent message; RefuseSentMessage marks it.
thread_local bool *tRefusal = nullptr;

// Calls the window's handler. With `refused`, the message is a sent one, and *refused tells
// whether the handler refused it (RefuseSentMessage).
LRESULT CallWindow(const std::shared_ptr<TWindow> &win, UINT msg, WPARAM wParam, LPARAM lParam,
                   bool *refused = nullptr) {
  TMessage m{msg, wParam, lParam, 0};
  bool *const outer = std::exchange(tRefusal, refused);
  if (refused)
    *refused = false;
  try {
    win->Handler(m);
  } catch (...) {
    ReportHandlerException();
  }
  tRefusal = outer;
  return m.Result;
}

void RunIncoming(const std::shared_ptr<TIncomingSend> &item) {
  auto win = FindLocalWindow(item->Window);
  if (!win) {
    item->Complete(ERROR_INVALID_WINDOW_HANDLE, 0, nullptr);
    return;
  }
  LPARAM lParam = item->LParam;
  String buffer;
  if (item->HasText) {
    lParam = reinterpret_cast<LPARAM>(item->Text.c_str());
  } else if (item->WantText) {
    buffer.assign(std::min<std::size_t>(item->WParam, kMaxTextBuffer), u'\0');
    lParam = reinterpret_cast<LPARAM>(buffer.data());
  }
  WPARAM wParam = item->WantText ? buffer.size() : item->WParam;
  bool refused = false;
  LRESULT r = CallWindow(win, item->Msg, wParam, lParam, &refused);
  if (refused) {
    item->Complete(ERROR_NOT_ENOUGH_QUOTA, 0, nullptr);
  } else if (item->WantText) {
    buffer.resize(std::char_traits<Char>::length(buffer.c_str()));
    item->Complete(ERROR_SUCCESS, r, &buffer);
  } else {
    item->Complete(ERROR_SUCCESS, r, nullptr);
  }
}

// Runs the messages sent to this thread by other threads and processes that are queued now.
// Those that arrive meanwhile wait for the next call: peers that send as fast as they are
// answered would otherwise keep the thread here for ever, and its posted messages (among
// them the ones that run what the sent messages queued) would never be taken.
void DispatchSent(TThreadQueue &q) {
  std::size_t left;
  {
    std::lock_guard g(q.Lock);
    left = q.Sent.size();
  }
  for (; left > 0; --left) {
    std::shared_ptr<TIncomingSend> item;
    {
      std::lock_guard g(q.Lock);
      if (q.Sent.empty())
        return;
      item = std::move(q.Sent.front());
      q.Sent.pop_front();
      q.SentTextBytes -= item->Text.size() * sizeof(Char);
    }
    RunIncoming(item);
  }
}

bool Matches(const MSG &m, HWND wnd, UINT lo, UINT hi) {
  if (wnd == reinterpret_cast<HWND>(-1)) {
    if (m.hwnd != nullptr)
      return false;
  } else if (wnd != nullptr && m.hwnd != wnd) {
    return false;
  }
  return (lo == 0 && hi == 0) || (m.message >= lo && m.message <= hi);
}

bool TakeMessage(TThreadQueue &q, MSG &out, HWND wnd, UINT lo, UINT hi, bool remove) {
  q.Pumped();
  DispatchSent(q);
  std::lock_guard g(q.Lock);
  for (auto it = q.Posted.begin(); it != q.Posted.end(); ++it) {
    if (Matches(it->Msg, wnd, lo, hi)) {
      out = it->Msg;
      if (remove)
        q.Posted.erase(it);
      return true;
    }
  }
  if (q.QuitPosted) {
    MSG quit;
    quit.message = WM_QUIT;
    quit.wParam = static_cast<WPARAM>(q.QuitCode);
    quit.time = GetTickCount();
    if (Matches(quit, wnd, lo, hi)) {
      out = quit;
      if (remove)
        q.QuitPosted = false;
      return true;
    }
  }
  std::int64_t now = NowMs();
  TTimerEntry *due = nullptr;
  for (auto &t : q.Timers) {
    MSG probe;
    probe.hwnd = t.Wnd;
    probe.message = WM_TIMER;
    if (t.Due <= now && Matches(probe, wnd, lo, hi) && (!due || t.Due < due->Due))
      due = &t;
  }
  if (due) {
    out = MSG{};
    out.hwnd = due->Wnd;
    out.message = WM_TIMER;
    out.wParam = due->Id;
    out.lParam = reinterpret_cast<LPARAM>(due->Proc);
    out.time = GetTickCount();
    if (remove)
      due->Due = now + due->Elapse;
    return true;
  }
  return false;
}

// Time until the next timer of the queue is due (-1: no timer).
std::int64_t NextTimerWait(TThreadQueue &q) {
  std::lock_guard g(q.Lock);
  std::int64_t best = -1;
  std::int64_t now = NowMs();
  for (auto &t : q.Timers) {
    std::int64_t w = std::max<std::int64_t>(0, t.Due - now);
    if (best < 0 || w < best)
      best = w;
  }
  return best;
}

bool IsTextMessage(UINT msg) { return msg == WM_SETTEXT || msg == WM_GETTEXT; }

// The timer procedure set for (wnd, id) that equals `lParam`, or null.
TIMERPROC RegisteredTimerProc(HWND wnd, UINT_PTR id, LPARAM lParam) {
  std::shared_ptr<TThreadQueue> q;
  if (wnd != nullptr) {
    auto win = FindLocalWindow(wnd);
    if (!win)
      return nullptr;
    q = win->Owner;
  } else {
    q = CurrentQueue();
  }
  std::lock_guard g(q->Lock);
  for (auto &t : q->Timers)
    if (t.Wnd == wnd && t.Id == id && t.Proc != nullptr &&
        reinterpret_cast<LPARAM>(t.Proc) == lParam)
      return t.Proc;
  return nullptr;
}

// Sends to a window of this process owned by another thread.
bool SendOtherThread(TThreadQueue &self, const std::shared_ptr<TWindow> &win, UINT msg,
                     WPARAM wParam, LPARAM lParam, UINT flags, std::int64_t timeoutMs,
                     LRESULT &result) {
  std::int64_t start = NowMs();
  if ((flags & SMTO_ABORTIFHUNG) && win->Owner->IsHung(start)) {
    SetLastError(ERROR_TIMEOUT);
    return false;
  }
  struct TSlot {
    std::mutex Lock;
    bool Done = false;
    DWORD Error = ERROR_SUCCESS;
    LRESULT Result = 0;
    String Text;
  };
  auto slot = std::make_shared<TSlot>();
  auto item = std::make_shared<TIncomingSend>();
  item->Window = win->Handle;
  item->Msg = msg;
  item->WParam = wParam;
  item->LParam = lParam;
  if (msg == WM_SETTEXT) {
    // The text is copied: the message may outlive a sender that gave up.
    item->HasText = true;
    if (lParam)
      item->Text = reinterpret_cast<const Char *>(lParam);
  } else if (msg == WM_GETTEXT) {
    item->WantText = true;
  }
  std::weak_ptr<TThreadQueue> sender = tSlot.Queue;
  item->Complete = [slot, sender](DWORD error, LRESULT r, const String *text) {
    {
      std::lock_guard g(slot->Lock);
      slot->Done = true;
      slot->Error = error;
      slot->Result = r;
      if (text)
        slot->Text = *text;
    }
    if (auto s = sender.lock())
      s->Wake();
  };
  if (!PushSent(*win->Owner, item)) {
    SetLastError(ERROR_NOT_ENOUGH_QUOTA);
    return false;
  }
  for (;;) {
    {
      std::lock_guard g(slot->Lock);
      if (slot->Done) {
        if (slot->Error != ERROR_SUCCESS) {
          SetLastError(slot->Error);
          return false;
        }
        result = slot->Result;
        if (msg == WM_GETTEXT && lParam && wParam > 0) {
          std::size_t n = std::min<std::size_t>(slot->Text.size(), wParam - 1);
          auto *buf = reinterpret_cast<Char *>(lParam);
          std::copy_n(slot->Text.data(), n, buf);
          buf[n] = 0;
        }
        return true;
      }
    }
    if (!(flags & SMTO_BLOCK))
      DispatchSent(self);
    std::int64_t wait = -1;
    if (timeoutMs >= 0) {
      wait = start + timeoutMs - NowMs();
      if (wait <= 0) {
        std::lock_guard g(slot->Lock);
        if (!slot->Done) {
          SetLastError(ERROR_TIMEOUT);
          return false;
        }
        continue;
      }
    }
    self.Wait(wait);
  }
}

bool SendCore(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT flags, std::int64_t timeoutMs,
              LRESULT &result) {
  result = 0;
  auto self = CurrentQueue();
  if (wnd == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  if (HandleProcess(wnd) == static_cast<DWORD>(::getpid())) {
    auto win = FindLocalWindow(wnd);
    if (!win) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return false;
    }
    if (win->Owner == self) {
      bool refused = false;
      result = CallWindow(win, msg, wParam, lParam, &refused);
      if (refused) {
        result = 0;
        SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        return false;
      }
      return true;
    }
    return SendOtherThread(*self, win, msg, wParam, lParam, flags, timeoutMs, result);
  }
  auto pump = [&self]() { DispatchSent(*self); };
  return DesktopSend(*self, wnd, msg, wParam, lParam, flags, timeoutMs, result, pump);
}

} // namespace

namespace win_detail {

std::shared_ptr<TWindow> FindLocalWindow(HWND wnd) {
  if (!gManager || wnd == nullptr)
    return nullptr;
  std::lock_guard g(gManager->Lock);
  auto it = gManager->Windows.find(wnd);
  return it == gManager->Windows.end() ? nullptr : it->second;
}

bool PushSent(TThreadQueue &queue, std::shared_ptr<TIncomingSend> item) {
  {
    std::lock_guard g(queue.Lock);
    std::size_t bytes = item->Text.size() * sizeof(Char);
    if (queue.Sent.size() >= kMaxSentMessages || queue.SentTextBytes + bytes > kMaxSentTextBytes)
      return false;
    queue.SentTextBytes += bytes;
    queue.Sent.push_back(std::move(item));
  }
  queue.Wake();
  return true;
}

bool PushPosted(TThreadQueue &queue, const MSG &msg, TQueueTicket ticket, std::size_t limit) {
  {
    std::lock_guard g(queue.Lock);
    if (queue.Posted.size() >= std::min(limit, kMaxPostedMessages))
      return false;
    queue.Posted.push_back({msg, std::move(ticket)});
  }
  queue.Wake();
  return true;
}

std::int64_t HungThresholdMs() { return gManager ? gManager->HungMs : 5000; }

} // namespace win_detail

// ---- Last error ---------------------------------------------------------------------------

void SetLastError(DWORD code) {
  tLastError = code;
  errno = static_cast<int>(code);
}

// ---- Windows ------------------------------------------------------------------------------

HWND AllocateHWnd(TWndMethod handler) {
  KR_ASSERT(handler != nullptr);
  auto owner = CurrentQueue();
  auto &m = Mgr();
  auto win = std::make_shared<TWindow>();
  win->ClassName = UtilWindowClass;
  win->Handler = std::move(handler);
  win->Owner = owner;
  {
    std::lock_guard g(m.Lock);
    std::uintptr_t id = ++m.NextLocalId;
    win->Handle = reinterpret_cast<HWND>((static_cast<std::uintptr_t>(::getpid()) << 32) | id);
    m.Windows[win->Handle] = win;
    m.TopLevelOrder.push_back(win->Handle);
  }
  Republish();
  return win->Handle;
}

BOOL DestroyWindow(HWND wnd) {
  std::shared_ptr<TWindow> win;
  if (!gManager)
    return FALSE;
  {
    auto &m = Mgr();
    std::lock_guard g(m.Lock);
    auto it = m.Windows.find(wnd);
    if (it == m.Windows.end()) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    win = it->second;
    m.Windows.erase(it);
    std::erase(m.TopLevelOrder, wnd);
  }
  win->Alive = false;
  std::vector<std::shared_ptr<TIncomingSend>> orphans;
  {
    auto &q = *win->Owner;
    std::lock_guard g(q.Lock);
    std::erase_if(q.Posted, [wnd](const TPostedMessage &p) { return p.Msg.hwnd == wnd; });
    std::erase_if(q.Timers, [wnd](const TTimerEntry &t) { return t.Wnd == wnd; });
    for (auto it = q.Sent.begin(); it != q.Sent.end();) {
      if ((*it)->Window == wnd) {
        q.SentTextBytes -= (*it)->Text.size() * sizeof(Char);
        orphans.push_back(*it);
        it = q.Sent.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto &o : orphans)
    o->Complete(ERROR_INVALID_WINDOW_HANDLE, 0, nullptr);
  Republish();
  return TRUE;
}

void DeallocateHWnd(HWND wnd) {
  if (wnd != nullptr)
    DestroyWindow(wnd);
}

BOOL IsWindow(HWND wnd) {
  if (wnd == nullptr)
    return FALSE;
  if (HandleProcess(wnd) == static_cast<DWORD>(::getpid()))
    return FindLocalWindow(wnd) ? TRUE : FALSE;
  TRemoteWindow r;
  return DesktopLookup(wnd, r) ? TRUE : FALSE;
}

LRESULT DefWindowProcW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto win = FindLocalWindow(wnd);
  if (!win)
    return 0;
  auto &m = Mgr();
  switch (msg) {
  case WM_SETTEXT: {
    String caption = lParam ? String(reinterpret_cast<const Char *>(lParam)) : String();
    bool changed;
    {
      std::lock_guard g(m.Lock);
      changed = win->Caption != caption;
      win->Caption = std::move(caption);
    }
    if (changed && win->Alive)
      Republish();
    return TRUE;
  }
  case WM_GETTEXT: {
    if (wParam == 0 || lParam == 0)
      return 0;
    String caption;
    {
      std::lock_guard g(m.Lock);
      caption = win->Caption;
    }
    std::size_t n = std::min<std::size_t>(caption.size(), wParam - 1);
    auto *buf = reinterpret_cast<Char *>(lParam);
    std::copy_n(caption.data(), n, buf);
    buf[n] = 0;
    return static_cast<LRESULT>(n);
  }
  case WM_GETTEXTLENGTH: {
    std::lock_guard g(m.Lock);
    return static_cast<LRESULT>(win->Caption.size());
  }
  default:
    return 0;
  }
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  auto matches = [&](const String &cls, const String &caption) {
    return (className == nullptr || AnsiSameText(cls, className)) &&
           (windowName == nullptr || AnsiSameText(caption, windowName));
  };
  {
    auto &m = Mgr();
    std::lock_guard g(m.Lock);
    // Most recently created first, as the top of the window order.
    for (auto it = m.TopLevelOrder.rbegin(); it != m.TopLevelOrder.rend(); ++it) {
      auto &w = m.Windows.at(*it);
      if (matches(w->ClassName, w->Caption))
        return w->Handle;
    }
  }
  for (auto &r : DesktopScan())
    if (matches(r.ClassName, r.Caption))
      return r.Handle;
  return nullptr;
}

String GetWindowCaption(HWND wnd) {
  if (auto win = FindLocalWindow(wnd)) {
    std::lock_guard g(Mgr().Lock);
    return win->Caption;
  }
  TRemoteWindow r;
  if (wnd && HandleProcess(wnd) != static_cast<DWORD>(::getpid()) && DesktopLookup(wnd, r))
    return r.Caption;
  return {};
}

int GetWindowTextW(HWND wnd, LPWSTR buffer, int maxCount) {
  if (!buffer || maxCount <= 0)
    return 0;
  if (!IsWindow(wnd)) {
    buffer[0] = 0;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  auto win = FindLocalWindow(wnd);
  if (win && win->Owner == CurrentQueue())
    return static_cast<int>(SendMessageW(wnd, WM_GETTEXT, static_cast<WPARAM>(maxCount),
                                         reinterpret_cast<LPARAM>(buffer)));
  // Another thread's or process's window: its caption as registered, without a message.
  String caption = GetWindowCaption(wnd);
  std::size_t n = std::min<std::size_t>(caption.size(), static_cast<std::size_t>(maxCount) - 1);
  std::copy_n(caption.data(), n, buffer);
  buffer[n] = 0;
  return static_cast<int>(n);
}

int GetWindowTextLengthW(HWND wnd) {
  if (!IsWindow(wnd))
    return 0;
  return static_cast<int>(GetWindowCaption(wnd).size());
}

BOOL SetWindowTextW(HWND wnd, LPCWSTR text) {
  LRESULT r = 0;
  if (!SendCore(wnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, -1, r))
    return FALSE;
  return r ? TRUE : FALSE;
}

// ---- Messages -----------------------------------------------------------------------------

LRESULT SendMessageW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  int saved = errno;
  LRESULT r = 0;
  if (!KeepLastError(SendCore(wnd, msg, wParam, lParam, SMTO_NORMAL, -1, r), saved))
    return 0;
  return r;
}

LRESULT SendMessageTimeoutW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT flags,
                            UINT timeout, DWORD_PTR *result) {
  int saved = errno;
  LRESULT r = 0;
  bool ok = SendCore(wnd, msg, wParam, lParam, flags, static_cast<std::int64_t>(timeout), r);
  if (result)
    *result = ok ? static_cast<DWORD_PTR>(r) : 0;
  return KeepLastError(ok, saved) ? 1 : 0;
}

BOOL PostMessageW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (IsTextMessage(msg)) {
    SetLastError(ERROR_MESSAGE_SYNC_ONLY);
    return FALSE;
  }
  if (wnd == nullptr)
    return PostThreadMessageW(GetCurrentThreadId(), msg, wParam, lParam);
  if (HandleProcess(wnd) == static_cast<DWORD>(::getpid())) {
    auto win = FindLocalWindow(wnd);
    if (!win) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    MSG m;
    m.hwnd = wnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = GetTickCount();
    if (!PushPosted(*win->Owner, m)) {
      SetLastError(ERROR_NOT_ENOUGH_QUOTA);
      return FALSE;
    }
    return TRUE;
  }
  int saved = errno;
  return KeepLastError(DesktopPost(*CurrentQueue(), wnd, msg, wParam, lParam), saved) ? TRUE
                                                                                      : FALSE;
}

void RefuseSentMessage() {
  if (tRefusal)
    *tRefusal = true;
}

BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<TThreadQueue> q;
  if (threadId == GetCurrentThreadId()) {
    q = CurrentQueue();
  } else {
    auto &m = Mgr();
    std::lock_guard g(m.Lock);
    auto it = m.Queues.find(threadId);
    if (it != m.Queues.end())
      q = it->second.lock();
  }
  if (!q) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  MSG m;
  m.message = msg;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = GetTickCount();
  if (!PushPosted(*q, m)) {
    SetLastError(ERROR_NOT_ENOUGH_QUOTA);
    return FALSE;
  }
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  auto q = CurrentQueue();
  {
    std::lock_guard g(q->Lock);
    q->QuitPosted = true;
    q->QuitCode = exitCode;
  }
  q->Wake();
}

// ---- Message loop -------------------------------------------------------------------------

BOOL GetMessageW(MSG *msg, HWND wnd, UINT msgFilterMin, UINT msgFilterMax) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  auto q = CurrentQueue();
  for (;;) {
    if (TakeMessage(*q, *msg, wnd, msgFilterMin, msgFilterMax, true))
      return msg->message == WM_QUIT ? FALSE : TRUE;
    q->Wait(NextTimerWait(*q));
  }
}

BOOL PeekMessageW(MSG *msg, HWND wnd, UINT msgFilterMin, UINT msgFilterMax, UINT removeMsg) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto q = CurrentQueue();
  return TakeMessage(*q, *msg, wnd, msgFilterMin, msgFilterMax, (removeMsg & PM_REMOVE) != 0)
             ? TRUE
             : FALSE;
}

BOOL TranslateMessage(const MSG *) { return FALSE; } // no keyboard here

LRESULT DispatchMessageW(const MSG *msg) {
  if (!msg)
    return 0;
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    // Only a procedure set with SetTimer for this window and id is called: anyone may post
    // a WM_TIMER, and its lParam is just a number until it is found among the timers.
    TIMERPROC proc = RegisteredTimerProc(msg->hwnd, msg->wParam, msg->lParam);
    if (proc == nullptr)
      return 0;
    try {
      proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
    } catch (...) {
      ReportHandlerException();
    }
    return 0;
  }
  auto win = FindLocalWindow(msg->hwnd);
  if (!win)
    return 0;
  return CallWindow(win, msg->message, msg->wParam, msg->lParam);
}

BOOL WaitMessage() {
  auto q = CurrentQueue();
  for (;;) {
    q->Pumped();
    DispatchSent(*q);
    {
      std::lock_guard g(q->Lock);
      if (!q->Posted.empty() || q->QuitPosted)
        return TRUE;
    }
    std::int64_t wait = NextTimerWait(*q);
    if (wait == 0)
      return TRUE;
    q->Wait(wait);
  }
}

// ---- Timers and time ----------------------------------------------------------------------

UINT_PTR SetTimer(HWND wnd, UINT_PTR idEvent, UINT elapse, TIMERPROC timerFunc) {
  std::shared_ptr<TThreadQueue> q;
  if (wnd != nullptr) {
    auto win = FindLocalWindow(wnd);
    if (!win) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    q = win->Owner;
  } else {
    q = CurrentQueue();
  }
  elapse = std::clamp<UINT>(elapse, USER_TIMER_MINIMUM, 0x7FFFFFFF);
  UINT_PTR result;
  {
    std::lock_guard g(q->Lock);
    auto it = std::find_if(q->Timers.begin(), q->Timers.end(),
                           [&](const TTimerEntry &t) { return t.Wnd == wnd && t.Id == idEvent; });
    if (wnd == nullptr && it == q->Timers.end()) {
      // A new thread timer gets an id of its own.
      do {
        idEvent = q->NextTimerId++;
      } while (std::any_of(q->Timers.begin(), q->Timers.end(), [&](const TTimerEntry &t) {
        return t.Wnd == nullptr && t.Id == idEvent;
      }));
    }
    TTimerEntry entry{wnd, idEvent, elapse, NowMs() + elapse, timerFunc};
    if (it != q->Timers.end())
      *it = entry;
    else
      q->Timers.push_back(entry);
    result = wnd == nullptr ? idEvent : (idEvent != 0 ? idEvent : 1);
  }
  q->Wake();
  return result;
}

BOOL KillTimer(HWND wnd, UINT_PTR idEvent) {
  std::shared_ptr<TThreadQueue> q;
  if (wnd != nullptr) {
    auto win = FindLocalWindow(wnd);
    if (!win) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    q = win->Owner;
  } else {
    q = CurrentQueue();
  }
  std::lock_guard g(q->Lock);
  auto n = std::erase_if(q->Timers,
                         [&](const TTimerEntry &t) { return t.Wnd == wnd && t.Id == idEvent; });
  return n > 0 ? TRUE : FALSE;
}

DWORD GetTickCount() {
  return static_cast<DWORD>(static_cast<std::uint64_t>(NowMs())) + gTickBias.load();
}

void SetTickCountBias(DWORD bias) { gTickBias.store(bias); }

// ---- Threads and processes ----------------------------------------------------------------

DWORD GetCurrentThreadId() { return CurrentTid(); }
DWORD GetCurrentProcessId() { return static_cast<DWORD>(::getpid()); }

DWORD GetWindowThreadProcessId(HWND wnd, DWORD *processId) {
  if (auto win = FindLocalWindow(wnd)) {
    if (processId)
      *processId = GetCurrentProcessId();
    return win->Owner->ThreadId;
  }
  TRemoteWindow r;
  if (wnd && HandleProcess(wnd) != GetCurrentProcessId() && DesktopLookup(wnd, r)) {
    if (processId)
      *processId = r.ProcessId;
    return r.ThreadId;
  }
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  if (processId)
    *processId = 0;
  return 0;
}

// ---- Exceptions in handlers ---------------------------------------------------------------

TWindowExceptionHandler SetWindowExceptionHandler(TWindowExceptionHandler handler) {
  auto &m = Mgr();
  std::lock_guard g(m.Lock);
  std::swap(m.ExceptionHandler, handler);
  return handler;
}

// ---- Unit ---------------------------------------------------------------------------------

void InitializeWindows() {
  auto m = std::make_unique<TManager>();
  m->Generation = ++gGeneration;
  // Local ids start at a random point so that a handle kept from a process that ended
  // hardly ever names a window of a new process that got the same id.
  std::random_device rd;
  m->NextLocalId = (rd() & 0xFFFFF) << 8;
  if (const char *s = std::getenv("KRX_HUNG_TIMEOUT_MS")) {
    Integer v = 0;
    if (TryStrToInt(Utf8ToString(s), v) && v > 0)
      m->HungMs = v;
  }
  gManager = std::move(m);
}

void FinalizeWindows() {
  if (!gManager)
    return;
  DesktopClose();
  std::map<HWND, std::shared_ptr<TWindow>> windows;
  {
    std::lock_guard g(gManager->Lock);
    windows.swap(gManager->Windows);
    gManager->TopLevelOrder.clear();
  }
  windows.clear();
  gManager.reset();
  tSlot = {};
}

} // namespace krx
