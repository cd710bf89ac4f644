// Windows and messages within one process.
#include "Platform/Win/Windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace krx {
namespace {

// An AllocateHWnd window that records its messages and leaves the rest to DefWindowProcW.
struct TRecordingWindow {
  HWND Handle = nullptr;
  std::vector<TMessage> Seen;
  std::function<bool(TMessage &)> Hook;

  TRecordingWindow() {
    Handle = AllocateHWnd([this](TMessage &m) {
      Seen.push_back(m);
      if (Hook && Hook(m))
        return;
      m.Result = DefWindowProcW(Handle, m.Msg, m.WParam, m.LParam);
    });
  }
  ~TRecordingWindow() { DeallocateHWnd(Handle); }
};

TEST(LocalWindows, SetTextNamesTheWindowAndFindWindowMatchesWithoutCase) {
  TRecordingWindow w;
  EXPECT_TRUE(IsWindow(w.Handle));
  EXPECT_EQ(SendMessageW(w.Handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"Endpoint_One")), TRUE);
  EXPECT_EQ(FindWindowW(u"TPUtilWindow", u"Endpoint_One"), w.Handle);
  EXPECT_EQ(FindWindowW(u"tputilwindow", u"ENDPOINT_ONE"), w.Handle);
  EXPECT_EQ(FindWindowW(nullptr, u"endpoint_one"), w.Handle);
  EXPECT_EQ(FindWindowW(u"TPUtilWindow", u"Endpoint"), nullptr);
  EXPECT_EQ(FindWindowW(u"OtherClass", u"Endpoint_One"), nullptr);
  Char buf[9];
  EXPECT_EQ(SendMessageW(w.Handle, WM_GETTEXT, 9, reinterpret_cast<LPARAM>(buf)), 8);
  EXPECT_EQ(String(buf), u"Endpoint");
  EXPECT_EQ(GetWindowCaption(w.Handle), u"Endpoint_One");
}

TEST(LocalWindows, DestroyedWindowIsGone) {
  HWND h;
  {
    TRecordingWindow w;
    SetWindowTextW(w.Handle, u"short-lived");
    h = w.Handle;
  }
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(FindWindowW(u"TPUtilWindow", u"short-lived"), nullptr);
  DWORD_PTR r = 77;
  EXPECT_EQ(SendMessageTimeoutW(h, WM_USER, 0, 0, SMTO_BLOCK, 100, &r), 0);
  EXPECT_EQ(static_cast<DWORD>(GetLastError()), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(PostMessageW(h, WM_USER, 0, 0), FALSE);
}

TEST(LocalWindows, SameThreadSendCallsTheHandlerDirectly) {
  TRecordingWindow w;
  w.Hook = [](TMessage &m) {
    if (m.Msg != WM_USER + 1)
      return false;
    m.Result = static_cast<LRESULT>(m.WParam * 2 + 1);
    return true;
  };
  DWORD_PTR r = 0;
  EXPECT_EQ(
      SendMessageTimeoutW(w.Handle, WM_USER + 1, 20, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, 10000, &r),
      1);
  EXPECT_EQ(r, 41u);
  ASSERT_EQ(w.Seen.size(), 1u);
  EXPECT_EQ(SendMessageW(w.Handle, WM_USER + 1, 1, 0), 3);
}

TEST(LocalWindows, PostedMessagesArriveInOrderThroughTheLoop) {
  TRecordingWindow w;
  for (WPARAM i = 0; i < 5; ++i)
    ASSERT_TRUE(PostMessageW(w.Handle, WM_USER, i, 0));
  EXPECT_TRUE(w.Seen.empty()); // nothing runs before the loop
  EXPECT_FALSE(PostMessageW(w.Handle, WM_SETTEXT, 0, 0));
  EXPECT_EQ(static_cast<DWORD>(GetLastError()), ERROR_MESSAGE_SYNC_ONLY);
  PostQuitMessage(3);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
  ASSERT_EQ(w.Seen.size(), 5u);
  for (WPARAM i = 0; i < 5; ++i)
    EXPECT_EQ(w.Seen[i].WParam, i);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(LocalWindows, PeekHonoursFiltersAndNoRemove) {
  TRecordingWindow a, b;
  PostMessageW(a.Handle, WM_USER + 5, 1, 0);
  PostMessageW(b.Handle, WM_USER + 6, 2, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, b.Handle, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.wParam, 2u);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER + 6, WM_USER + 6, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, b.Handle);
  EXPECT_FALSE(PeekMessageW(&msg, b.Handle, 0, 0, PM_REMOVE));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, a.Handle);
}

TEST(LocalWindows, TimersFireThroughTheLoopUntilKilled) {
  TRecordingWindow w;
  int fired = 0;
  w.Hook = [&](TMessage &m) {
    if (m.Msg == WM_TIMER && m.WParam == 7 && ++fired == 3)
      PostQuitMessage(0);
    return m.Msg == WM_TIMER;
  };
  EXPECT_NE(SetTimer(w.Handle, 7, 10, nullptr), 0u);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0))
    DispatchMessageW(&msg);
  EXPECT_EQ(fired, 3);
  EXPECT_TRUE(KillTimer(w.Handle, 7));
  EXPECT_FALSE(KillTimer(w.Handle, 7));
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
}

TEST(LocalWindows, ATimerLeftWithoutPumpingFiresOnceNotInABurst) {
  TRecordingWindow w;
  ASSERT_NE(SetTimer(w.Handle, 9, 10, nullptr), 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(200)); // twenty intervals
  int fired = 0;
  MSG msg;
  while (PeekMessageW(&msg, w.Handle, 0, 0, PM_REMOVE))
    fired += msg.message == WM_TIMER ? 1 : 0;
  EXPECT_EQ(fired, 1);
  KillTimer(w.Handle, 9);
}

TEST(LocalWindows, ThreadTimerCallsItsProcedure) {
  static int calls = 0;
  calls = 0;
  UINT_PTR id = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) {
    if (++calls == 2)
      PostQuitMessage(0);
  });
  ASSERT_NE(id, 0u);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0))
    DispatchMessageW(&msg);
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(KillTimer(nullptr, id));
}

TEST(LocalWindows, DispatchCallsOnlyTheTimerProcedureSetForThatWindowAndId) {
  static int calls = 0;
  calls = 0;
  TIMERPROC proc = [](HWND, UINT, UINT_PTR, DWORD) { ++calls; };
  TRecordingWindow w;
  ASSERT_NE(SetTimer(w.Handle, 7, 100000, proc), 0u);
  const auto procParam = reinterpret_cast<LPARAM>(proc);
  // A posted WM_TIMER whose lParam is not that timer's procedure calls nothing.
  const std::vector<std::pair<WPARAM, LPARAM>> forged = {{7, 0x4141414141}, {8, procParam}};
  for (auto [id, lParam] : forged) {
    MSG msg{w.Handle, WM_TIMER, id, lParam, 0, {}};
    EXPECT_EQ(DispatchMessageW(&msg), 0);
  }
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(w.Seen.empty());
  MSG real{w.Handle, WM_TIMER, 7, procParam, 0, {}};
  DispatchMessageW(&real);
  EXPECT_EQ(calls, 1);
  KillTimer(w.Handle, 7);
}

TEST(LocalWindows, APostedQueueHoldsTenThousandMessages) {
  TRecordingWindow w;
  int accepted = 0;
  while (accepted < 20000 && PostMessageW(w.Handle, WM_USER, 0, 0))
    ++accepted;
  EXPECT_EQ(accepted, 10000);
  EXPECT_EQ(static_cast<DWORD>(GetLastError()), ERROR_NOT_ENOUGH_QUOTA);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    DispatchMessageW(&msg);
  EXPECT_EQ(w.Seen.size(), 10000u);
  EXPECT_TRUE(PostMessageW(w.Handle, WM_USER, 0, 0));
  PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
}

// Sends from another thread that gave up waiting leave their messages queued for the owner,
// up to ten thousand.
TEST(LocalWindows, ASentQueueHoldsTenThousandMessages) {
  TRecordingWindow w;
  int queued = 0;
  DWORD error = 0;
  std::thread([&] {
    DWORD_PTR r = 0;
    while (queued < 20000 && SendMessageTimeoutW(w.Handle, WM_USER, 0, 0, SMTO_BLOCK, 0, &r) == 0 &&
           (error = GetLastError()) == ERROR_TIMEOUT)
      ++queued;
  }).join();
  EXPECT_EQ(std::pair(queued, error), std::pair(10000, DWORD(ERROR_NOT_ENOUGH_QUOTA)));
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); // handles the sent messages first
  EXPECT_EQ(w.Seen.size(), 10000u);
}

TEST(LocalWindows, SendFromAnotherThreadRunsOnTheOwnerThread) {
  DWORD ownerThread = GetCurrentThreadId();
  DWORD handledOn = 0;
  TRecordingWindow w;
  w.Hook = [&](TMessage &m) {
    if (m.Msg != WM_USER + 2)
      return false;
    handledOn = GetCurrentThreadId();
    m.Result = 99;
    return true;
  };
  SetWindowTextW(w.Handle, u"cross-thread");
  DWORD_PTR result = 0;
  LRESULT ok = 0;
  std::thread t([&] {
    ok = SendMessageTimeoutW(w.Handle, WM_USER + 2, 0, 0, SMTO_BLOCK, 5000, &result);
    PostMessageW(w.Handle, WM_USER + 3, 0, 0);
  });
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0)) {
    DispatchMessageW(&msg);
    if (msg.message == WM_USER + 3)
      break;
  }
  t.join();
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(result, 99u);
  EXPECT_EQ(handledOn, ownerThread);
  EXPECT_EQ(GetWindowThreadProcessId(w.Handle, nullptr), ownerThread);
}

// Senders that send again as soon as they are answered never keep the owner from its posted
// messages: one look at the queue handles what was sent so far (one message per sender),
// then takes the posted message.
TEST(LocalWindows, AStreamOfSentMessagesDoesNotStarvePostedOnes) {
  constexpr UINT kSent = WM_USER + 4, kPosted = WM_USER + 5;
  constexpr int kSenders = 8, kEach = 500;
  TRecordingWindow w;
  int handled = 0, handledWhenPostedRan = -1;
  w.Hook = [&](TMessage &m) {
    if (m.Msg == kPosted)
      handledWhenPostedRan = handled;
    if (m.Msg != kSent)
      return m.Msg == kPosted;
    if (++handled == 50)
      PostMessageW(w.Handle, kPosted, 0, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(500));
    return true;
  };
  std::vector<std::thread> senders;
  for (int i = 0; i < kSenders; ++i)
    senders.emplace_back([&] {
      for (int n = 0; n < kEach; ++n)
        SendMessageW(w.Handle, kSent, 0, 0);
    });
  MSG msg;
  while (handled < kSenders * kEach)
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&msg);
  for (auto &t : senders)
    t.join();
  EXPECT_GE(handledWhenPostedRan, 50);
  EXPECT_LE(handledWhenPostedRan, 50 + kSenders);
}

TEST(LocalWindows, SendToABusyThreadTimesOut) {
  TRecordingWindow w; // owned by this thread, which does not pump while the other sends
  DWORD_PTR result = 5;
  LRESULT ok = 1;
  DWORD error = 0;
  std::thread t([&] {
    ok = SendMessageTimeoutW(w.Handle, WM_USER, 0, 0, SMTO_NORMAL, 50, &result);
    error = static_cast<DWORD>(GetLastError());
  });
  t.join();
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(error, ERROR_TIMEOUT);
  // The message was delivered all the same and runs at the next pump, as on Windows.
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  ASSERT_EQ(w.Seen.size(), 1u);
  EXPECT_EQ(w.Seen[0].Msg, WM_USER);
}

TEST(LocalWindows, ExceptionsInHandlersGoToTheExceptionHandler) {
  int reported = 0;
  auto old = SetWindowExceptionHandler([&] {
    try {
      throw;
    } catch (const std::exception &) {
      ++reported;
    }
  });
  TRecordingWindow w;
  w.Hook = [](TMessage &) -> bool { throw std::runtime_error("boom"); };
  EXPECT_EQ(SendMessageW(w.Handle, WM_USER, 0, 0), 0);
  EXPECT_EQ(reported, 1);
  SetWindowExceptionHandler(old);
}

TEST(TickCount, WrapsAt32Bits) {
  SetTickCountBias(0);
  DWORD a = GetTickCount();
  SetTickCountBias(0xFFFFFFFFu - a + 1); // the next reading wraps past zero
  DWORD b = GetTickCount();
  SetTickCountBias(0);
  EXPECT_LT(b, 1000u);
}

TEST(Foreground, CallsAreRecordedAndAnswersSettable) {
  ResetForegroundSimulation();
  auto &sim = ForegroundSimulation();
  HWND wnd = reinterpret_cast<HWND>(0x1234);
  sim.Iconic.insert(wnd);
  sim.SetForegroundSucceeds = false;
  EXPECT_TRUE(IsIconic(wnd));
  ShowWindow(wnd, SW_RESTORE);
  EXPECT_FALSE(IsIconic(wnd));
  EXPECT_FALSE(SetForegroundWindow(wnd));
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  DWORD timeout = 0;
  EXPECT_TRUE(SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0));
  EXPECT_EQ(timeout, 200000u);
  EXPECT_TRUE(SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, SPIF_SENDCHANGE));
  EXPECT_TRUE(SetForegroundWindow(wnd)); // the lock no longer applies
  EXPECT_EQ(GetForegroundWindow(), wnd);
  mouse_event(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE, 0, 0, 0, 0);
  ASSERT_FALSE(sim.Calls.empty());
  EXPECT_EQ(sim.Calls.back(), (TWinCall{u"mouse_event", 0x8002, 0, 0}));
  EXPECT_EQ(sim.Calls[1], (TWinCall{u"ShowWindow", 0x1234, SW_RESTORE, 0}));
  ResetForegroundSimulation();
}

} // namespace
} // namespace krx
