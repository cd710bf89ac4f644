// The Windows user-interface and kernel calls the system makes, with the Windows names,
// signatures and result rules: hidden windows, messages (within a thread, between threads and
// between processes of the same user on this machine), the message loop, timers, the tick
// count and the foreground calls.
//
// A window belongs to the thread that created it. Messages sent to it from another thread or
// process are dispatched on that thread while it pumps messages (GetMessageW, PeekMessageW,
// WaitMessage) or waits in a send of its own, as on Windows. Top-level windows are registered
// on a "desktop": a directory shared by the processes of one user (see docs/ARCHITECTURE.md),
// through which FindWindowW finds the windows of other processes and their messages travel
// over local sockets.
#pragma once

#include "Platform/Rtl/SysUtils.h"
#include "Platform/Rtl/Types.h"

#include <cstdint>
#include <functional>
#include <set>

namespace krx {

// ---- Types --------------------------------------------------------------------------------

struct HWND__;
using HWND = HWND__ *; // opaque; never dereferenced
struct HBITMAP__;
using HBITMAP = HBITMAP__ *; // opaque; TBitmap::FromHandle finds the bitmap it names
using UINT = std::uint32_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using BOOL = int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using ULONG_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;
using LPCWSTR = const Char *;
using LPWSTR = Char *;
using PVOID = void *;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

struct POINT {
  LONG x = 0;
  LONG y = 0;
};

struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  DWORD time = 0;
  POINT pt;
};

// The class library's message record, handed to the handler of an AllocateHWnd window.
// The handler sets Result; it calls DefWindowProcW itself for messages it does not handle.
struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

using TWndMethod = std::function<void(TMessage &)>;
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

// ---- Messages and flags -------------------------------------------------------------------

inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_GETTEXT = 0x000D;
inline constexpr UINT WM_GETTEXTLENGTH = 0x000E;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_CANCELMODE = 0x001F;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

inline constexpr UINT SMTO_NORMAL = 0x0000;
inline constexpr UINT SMTO_BLOCK = 0x0001;
inline constexpr UINT SMTO_ABORTIFHUNG = 0x0002;
inline constexpr UINT SMTO_NOTIMEOUTIFNOTHUNG = 0x0008;
inline constexpr UINT SMTO_ERRORONEXIT = 0x0020;

inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;
inline constexpr UINT PM_NOYIELD = 0x0002;

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_RESTORE = 9;

inline constexpr UINT SPI_GETFOREGROUNDLOCKTIMEOUT = 0x2000;
inline constexpr UINT SPI_SETFOREGROUNDLOCKTIMEOUT = 0x2001;
inline constexpr UINT SPIF_UPDATEINIFILE = 0x0001;
inline constexpr UINT SPIF_SENDCHANGE = 0x0002;
inline constexpr UINT SPIF_SENDWININICHANGE = 0x0002;

inline constexpr DWORD MOUSEEVENTF_MOVE = 0x0001;
inline constexpr DWORD MOUSEEVENTF_LEFTDOWN = 0x0002;
inline constexpr DWORD MOUSEEVENTF_LEFTUP = 0x0004;
inline constexpr DWORD MOUSEEVENTF_ABSOLUTE = 0x8000;

inline constexpr UINT USER_TIMER_MINIMUM = 10;

// GetLastError codes set by the calls here.
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_MESSAGE_SYNC_ONLY = 1159;
inline constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
inline constexpr DWORD ERROR_INVALID_THREAD_ID = 1444;
inline constexpr DWORD ERROR_TIMEOUT = 1460;
inline constexpr DWORD ERROR_NOT_ENOUGH_QUOTA = 1816;

// The class name of every AllocateHWnd window.
inline constexpr const Char *UtilWindowClass = u"TPUtilWindow";

// ---- Last error ---------------------------------------------------------------------------
// GetLastError is the run-time's (Platform/Rtl/SysUtils.h): the thread's errno. The calls here
// that fail leave their Windows error code there as their last act.

void SetLastError(DWORD code);

// ---- Windows ------------------------------------------------------------------------------

// A hidden top-level window of class "TPUtilWindow" owned by the calling thread; every
// message to it goes to `handler`. An exception leaving the handler goes to the window
// exception handler (Application->HandleException once the application object exists).
HWND AllocateHWnd(TWndMethod handler);
// Destroys the window: it is no longer found, posted messages to it are dropped and senders
// still waiting on it get 0. Null is ignored.
void DeallocateHWnd(HWND wnd);
BOOL DestroyWindow(HWND wnd);
BOOL IsWindow(HWND wnd);

// WM_SETTEXT sets the caption from the null-terminated text in lParam (null: empty) and
// answers TRUE; WM_GETTEXT copies at most wParam - 1 characters and a terminating null into
// lParam and answers the count; WM_GETTEXTLENGTH answers the caption's length; others 0.
LRESULT DefWindowProcW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The first top-level window whose class and caption match, compared without regard to case;
// a null argument matches every value. Looks at this process first, then at the other live
// processes of the desktop. Null when none.
HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);

int GetWindowTextW(HWND wnd, LPWSTR buffer, int maxCount);
int GetWindowTextLengthW(HWND wnd);
BOOL SetWindowTextW(HWND wnd, LPCWSTR text);
// Convenience for C++ callers: the caption of any window (also of another process).
String GetWindowCaption(HWND wnd);

// ---- Messages -----------------------------------------------------------------------------

// Same thread: calls the window's handler directly. Another thread or process: waits without
// limit for the owner to handle it (0 with ERROR_INVALID_WINDOW_HANDLE when the window or its
// process goes away), handling messages sent to the calling thread meanwhile.
LRESULT SendMessageW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
// As SendMessageW, but waits at most `timeout` ms. Answers nonzero and stores the message
// result in *result (when not null) on success; answers 0 on failure (GetLastError:
// ERROR_TIMEOUT, ERROR_INVALID_WINDOW_HANDLE; from another process also ERROR_ACCESS_DENIED
// for a message it does not take from other processes and ERROR_NOT_ENOUGH_QUOTA when its
// queue is full). SMTO_BLOCK: no message sent to the calling thread runs while it waits.
// SMTO_ABORTIFHUNG: fails at once when the owner has not pumped messages for 5 s.
LRESULT SendMessageTimeoutW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT flags,
                            UINT timeout, DWORD_PTR *result);
// Queues the message for the window's owner. Pointer-carrying system messages (WM_SETTEXT,
// WM_GETTEXT) cannot be posted (ERROR_MESSAGE_SYNC_ONLY); a full queue (10,000 posted
// messages) refuses the post (ERROR_NOT_ENOUGH_QUOTA).
BOOL PostMessageW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Called by a window's handler while it handles a sent message that it has no room to take:
// the send fails with ERROR_NOT_ENOUGH_QUOTA, as when the window's queue is full, so that a
// receiver with a bounded queue of its own refuses as the window layer does. Elsewhere (no
// sent message being handled, or a posted one) it does nothing.
void RefuseSentMessage();
BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

// ---- Message loop -------------------------------------------------------------------------

// Waits for a posted message, a due timer or WM_QUIT (answer 0), dispatching sent messages
// meanwhile. Each look at the queue (GetMessageW, PeekMessageW, WaitMessage) first handles the
// messages sent to the thread so far, then takes a posted message: messages sent meanwhile
// wait for the next look, so a stream of sent messages never starves the posted ones. wnd null:
// any; wnd == (HWND)-1: thread messages only. min = max = 0: any message.
BOOL GetMessageW(MSG *msg, HWND wnd, UINT msgFilterMin, UINT msgFilterMax);
BOOL PeekMessageW(MSG *msg, HWND wnd, UINT msgFilterMin, UINT msgFilterMax, UINT removeMsg);
BOOL TranslateMessage(const MSG *msg);
LRESULT DispatchMessageW(const MSG *msg);
// Waits until a message is in the calling thread's queue (or a timer is due).
BOOL WaitMessage();

// ---- Timers and time ----------------------------------------------------------------------

// WM_TIMER for (wnd, id) every `elapse` ms (at least USER_TIMER_MINIMUM), generated when the
// owner's queue is otherwise empty; expirations do not pile up. With wnd null a new id is
// made; with a TIMERPROC the dispatch calls it instead of the window. DispatchMessageW calls
// a WM_TIMER's lParam only when it is the procedure set for that window and id on the
// window's thread; another WM_TIMER with an lParam is dropped.
UINT_PTR SetTimer(HWND wnd, UINT_PTR idEvent, UINT elapse, TIMERPROC timerFunc);
BOOL KillTimer(HWND wnd, UINT_PTR idEvent);
// Milliseconds since an arbitrary start, as 32 bits that wrap.
DWORD GetTickCount();
// For tests of code that must survive the wrap: added to every later GetTickCount result.
void SetTickCountBias(DWORD bias);

// ---- Threads and processes ----------------------------------------------------------------

DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();
// The owner thread of the window (0 when it is no window); the process id in *processId.
DWORD GetWindowThreadProcessId(HWND wnd, DWORD *processId);

// ---- Foreground calls ---------------------------------------------------------------------
// There is no screen here: these calls act on the foreground simulation below, which records
// every call and whose answers a test can set.

BOOL IsIconic(HWND wnd);
BOOL ShowWindow(HWND wnd, int cmdShow);
BOOL SetForegroundWindow(HWND wnd);
HWND GetForegroundWindow();
BOOL BringWindowToTop(HWND wnd);
BOOL AttachThreadInput(DWORD idAttach, DWORD idAttachTo, BOOL attach);
// SPI_GETFOREGROUNDLOCKTIMEOUT: *(DWORD*)pvParam = the time-out; SPI_SETFOREGROUNDLOCKTIMEOUT:
// the time-out is the pointer value itself. Other actions answer FALSE.
BOOL SystemParametersInfoW(UINT action, UINT uiParam, PVOID pvParam, UINT winIni);
void mouse_event(DWORD flags, DWORD dx, DWORD dy, DWORD data, ULONG_PTR extraInfo);

// One recorded foreground call: the function's name and its arguments as numbers.
struct TWinCall {
  String Name;
  std::uintptr_t A = 0;
  std::uintptr_t B = 0;
  std::uintptr_t C = 0;
  bool operator==(const TWinCall &) const = default;
};

struct TForegroundSimulation {
  HWND Foreground = nullptr;
  std::set<HWND> Iconic;
  // When false, SetForegroundWindow answers FALSE and leaves the foreground window alone,
  // as Windows does while the foreground lock applies to the caller.
  bool SetForegroundSucceeds = true;
  // When true, SetForegroundWindow succeeds while the lock time-out is 0 even if
  // SetForegroundSucceeds is false (the road taken by the "attach thread" method).
  bool UnlockedByZeroTimeout = true;
  bool AttachSucceeds = true;
  DWORD ForegroundLockTimeout = 200000;
  std::vector<TWinCall> Calls;
  // Told of every call as it is recorded (a host that logs them in order with its other
  // events); it must not make foreground calls itself.
  std::function<void(const TWinCall &)> OnCall;
};

// The process-wide simulation (main thread use; guarded for others).
TForegroundSimulation &ForegroundSimulation();
void ResetForegroundSimulation();

// ---- Exceptions in handlers ---------------------------------------------------------------

// Called inside a catch block for every exception that leaves a window handler, a timer
// procedure or a dispatched message. The application object installs its HandleException
// here; without one the message goes to standard error. Returns the previous handler.
using TWindowExceptionHandler = std::function<void()>;
TWindowExceptionHandler SetWindowExceptionHandler(TWindowExceptionHandler handler);

// ---- Unit ---------------------------------------------------------------------------------

void InitializeWindows();
void FinalizeWindows();

} // namespace krx
