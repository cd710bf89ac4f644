// Foreground calls. There is no screen: the calls act on a simulation that records them and
// whose answers tests set.
#include "Platform/Rtl/SysUtils.h"
#include "Platform/Win/Windows.h"

#include <memory>
#include <mutex>

namespace krx {

namespace {

std::mutex gLock;
std::unique_ptr<TForegroundSimulation> gSim;

TForegroundSimulation &Sim() {
  if (!gSim)
    gSim = std::make_unique<TForegroundSimulation>();
  return *gSim;
}

void Record(const Char *name, std::uintptr_t a = 0, std::uintptr_t b = 0, std::uintptr_t c = 0) {
  auto &s = Sim();
  s.Calls.push_back({name, a, b, c});
  if (s.OnCall)
    s.OnCall(s.Calls.back());
}

std::uintptr_t H(HWND wnd) { return reinterpret_cast<std::uintptr_t>(wnd); }

} // namespace

TForegroundSimulation &ForegroundSimulation() {
  std::lock_guard g(gLock);
  return Sim();
}

void ResetForegroundSimulation() {
  std::lock_guard g(gLock);
  gSim = std::make_unique<TForegroundSimulation>();
}

BOOL IsIconic(HWND wnd) {
  std::lock_guard g(gLock);
  Record(u"IsIconic", H(wnd));
  return Sim().Iconic.contains(wnd) ? TRUE : FALSE;
}

BOOL ShowWindow(HWND wnd, int cmdShow) {
  std::lock_guard g(gLock);
  Record(u"ShowWindow", H(wnd), static_cast<std::uintptr_t>(cmdShow));
  auto &s = Sim();
  bool wasIconic = s.Iconic.contains(wnd);
  if (cmdShow == SW_MINIMIZE || cmdShow == SW_SHOWMINIMIZED)
    s.Iconic.insert(wnd);
  else if (cmdShow != SW_HIDE)
    s.Iconic.erase(wnd);
  // ShowWindow answers whether the window was visible before; our windows always are.
  (void)wasIconic;
  return TRUE;
}

BOOL SetForegroundWindow(HWND wnd) {
  std::lock_guard g(gLock);
  Record(u"SetForegroundWindow", H(wnd));
  auto &s = Sim();
  bool allowed =
      s.SetForegroundSucceeds || (s.UnlockedByZeroTimeout && s.ForegroundLockTimeout == 0);
  if (!allowed || wnd == nullptr)
    return FALSE;
  s.Foreground = wnd;
  return TRUE;
}

HWND GetForegroundWindow() {
  std::lock_guard g(gLock);
  Record(u"GetForegroundWindow");
  return Sim().Foreground;
}

BOOL BringWindowToTop(HWND wnd) {
  std::lock_guard g(gLock);
  Record(u"BringWindowToTop", H(wnd));
  return wnd != nullptr ? TRUE : FALSE;
}

BOOL AttachThreadInput(DWORD idAttach, DWORD idAttachTo, BOOL attach) {
  std::lock_guard g(gLock);
  Record(u"AttachThreadInput", idAttach, idAttachTo, static_cast<std::uintptr_t>(attach));
  return Sim().AttachSucceeds ? TRUE : FALSE;
}

BOOL SystemParametersInfoW(UINT action, UINT uiParam, PVOID pvParam, UINT winIni) {
  std::lock_guard g(gLock);
  auto &s = Sim();
  switch (action) {
  case SPI_GETFOREGROUNDLOCKTIMEOUT:
    Record(u"SystemParametersInfoW", action, uiParam, winIni);
    if (!pvParam) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    *static_cast<DWORD *>(pvParam) = s.ForegroundLockTimeout;
    return TRUE;
  case SPI_SETFOREGROUNDLOCKTIMEOUT: {
    auto value = reinterpret_cast<std::uintptr_t>(pvParam);
    Record(u"SystemParametersInfoW", action, value, winIni);
    s.ForegroundLockTimeout = static_cast<DWORD>(value);
    return TRUE;
  }
  default:
    Record(u"SystemParametersInfoW", action, uiParam, winIni);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
}

void mouse_event(DWORD flags, DWORD dx, DWORD dy, DWORD data, ULONG_PTR extraInfo) {
  std::lock_guard g(gLock);
  (void)data;
  (void)extraInfo;
  Record(u"mouse_event", flags, dx, dy);
}

} // namespace krx
