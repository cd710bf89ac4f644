// A small program with one hidden window, started by the window tests as the other process.
// Usage: krx-wintest-peer CAPTION. Prints "ready <handle in hex>" once its window is on the
// desktop, then runs its message loop until told to exit.
//
// Its window answers:
//   WM_USER+1 (wParam n)   -> 2n + 1
//   WM_USER+2              -> number of "seq:" texts received
//   WM_USER+3              -> number of "seq:" texts that came out of order
//   WM_USER+5 (posted)     -> counts posted messages; WM_USER+6 answers the count
//   WM_SETTEXT "seq:N"     -> 1; checks that N is the next number expected
//   WM_SETTEXT "hang:MS"   -> sleeps MS inside the handler, then 1
//   WM_SETTEXT "freeze:MS" -> 1 at once, then sleeps MS without pumping messages
//   WM_SETTEXT "pause"     -> 1 at once, then stops pumping messages until SIGUSR1
//   WM_SETTEXT "sendback:CAPTION:MS" -> sends WM_USER+1 (wParam 20) to the window CAPTION
//                             with an MS time-out; its result, or -1 when that send failed
//   WM_SETTEXT "exit"      -> 1, and the loop ends
//   any other WM_SETTEXT   -> renames the window (DefWindowProcW)
#include "Platform/Rtl/SysUtils.h"
#include "Platform/Win/Windows.h"
#include "Units.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

using namespace krx;

namespace {

constexpr UINT kFreeze = WM_USER + 9;
constexpr UINT kPause = WM_USER + 10;
HWND gWnd = nullptr;
Integer gNextSeq = 0, gSeqCount = 0, gOutOfOrder = 0, gPosted = 0;

void Sleep(Integer ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

LRESULT OnText(const String &text, TMessage &m) {
  if (StartsStr(u"seq:", text)) {
    if (StrToIntDef(Copy(text, 5), -1) != gNextSeq)
      ++gOutOfOrder;
    gNextSeq = StrToIntDef(Copy(text, 5), -1) + 1;
    ++gSeqCount;
    return 1;
  }
  if (StartsStr(u"hang:", text)) {
    Sleep(StrToIntDef(Copy(text, 6), 0));
    return 1;
  }
  if (StartsStr(u"freeze:", text)) {
    PostMessageW(gWnd, kFreeze, static_cast<WPARAM>(StrToIntDef(Copy(text, 8), 0)), 0);
    return 1;
  }
  if (StartsStr(u"sendback:", text)) {
    String rest = Copy(text, 10);
    Integer colon = Pos(u":", rest);
    String caption = Copy(rest, 1, colon - 1);
    UINT timeout = static_cast<UINT>(StrToIntDef(Copy(rest, colon + 1), 1000));
    HWND target = FindWindowW(UtilWindowClass, caption.c_str());
    DWORD_PTR r = 0;
    if (!target || !SendMessageTimeoutW(target, WM_USER + 1, 20, 0, SMTO_NORMAL, timeout, &r))
      return -1;
    return static_cast<LRESULT>(r);
  }
  if (text == u"pause") {
    PostMessageW(gWnd, kPause, 0, 0);
    return 1;
  }
  if (text == u"exit") {
    PostQuitMessage(0);
    return 1;
  }
  return DefWindowProcW(gWnd, m.Msg, m.WParam, m.LParam);
}

void Handle(TMessage &m) {
  switch (m.Msg) {
  case WM_USER + 1:
    m.Result = static_cast<LRESULT>(m.WParam * 2 + 1);
    break;
  case WM_USER + 2:
    m.Result = gSeqCount;
    break;
  case WM_USER + 3:
    m.Result = gOutOfOrder;
    break;
  case WM_USER + 5:
    ++gPosted;
    break;
  case WM_USER + 6:
    m.Result = gPosted;
    break;
  case kFreeze:
    Sleep(static_cast<Integer>(m.WParam));
    break;
  case kPause: {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGUSR1);
    int sig = 0;
    sigwait(&set, &sig);
    break;
  }
  case WM_SETTEXT:
    m.Result = OnText(m.LParam ? String(reinterpret_cast<const Char *>(m.LParam)) : String(), m);
    break;
  default:
    m.Result = DefWindowProcW(gWnd, m.Msg, m.WParam, m.LParam);
  }
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: krx-wintest-peer CAPTION\n");
    return 2;
  }
  // SIGUSR1 ends a pause; blocked in every thread so that only the pause takes it.
  sigset_t usr1;
  sigemptyset(&usr1);
  sigaddset(&usr1, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &usr1, nullptr);
  InitializeUnits(AllUnits());
  gWnd = AllocateHWnd(Handle);
  String caption = Utf8ToString(argv[1]);
  SetWindowTextW(gWnd, caption.c_str());
  std::printf("ready %llx\n",
              static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(gWnd)));
  std::fflush(stdout);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  DeallocateHWnd(gWnd);
  FinalizeUnits();
  return 0;
}
