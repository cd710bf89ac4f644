// The desktop on which the processes of one user find each other's windows: a directory
// (mode 0700) holding, per process, a registration file of its top-level windows and the
// local socket on which it receives their messages.
#pragma once

#include <filesystem>
#include <string>

namespace krx {

// KRX_DESKTOP_DIR when set; otherwise $XDG_RUNTIME_DIR/krx-desktop, or
// /tmp/krx-desktop-<uid> without a runtime directory.
std::filesystem::path DesktopDirectory();

// Why the other processes cannot reach the windows of this process: the desktop is not a
// directory of this user, is a symbolic link, its path is too long for a local socket, or
// this process cannot listen or publish its windows there. Empty when they can.
std::string DesktopProblem();

// Leaves the current desktop (stops listening, removes this process's registration) so
// that the next use opens the desktop named by the environment then. For tests that run
// on a desktop of their own; no window of this process may exist.
void ReopenDesktop();

} // namespace krx
