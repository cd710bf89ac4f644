// Placeholder: same-process only until the desktop transport lands.
#include "Platform/Win/Desktop.h"
#include "Platform/Win/WinInternal.h"

#include <cstdlib>
#include <unistd.h>

namespace krx {

namespace win_detail {
void DesktopPublish(const std::vector<TPublishedWindow> &) {}
std::vector<TRemoteWindow> DesktopScan() { return {}; }
bool DesktopLookup(HWND, TRemoteWindow &) { return false; }
bool DesktopSend(TThreadQueue &, HWND, UINT, WPARAM, LPARAM, UINT, std::int64_t, LRESULT &,
                 const std::function<void()> &) {
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return false;
}
bool DesktopPost(TThreadQueue &, HWND, UINT, WPARAM, LPARAM) {
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return false;
}
void DesktopClose() {}
} // namespace win_detail

std::filesystem::path DesktopDirectory() {
  if (const char *d = std::getenv("KRX_DESKTOP_DIR"); d && *d)
    return d;
  if (const char *x = std::getenv("XDG_RUNTIME_DIR"); x && *x)
    return std::filesystem::path(x) / "krx-desktop";
  return std::filesystem::path("/tmp") / ("krx-desktop-" + std::to_string(::geteuid()));
}

void ReopenDesktop() {}

} // namespace krx
