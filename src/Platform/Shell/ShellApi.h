// Shell services: the user's special folders and starting programs or documents.
#pragma once

#include "Platform/Win/Kernel.h"

#include <functional>

namespace krx {

// ---- Special folders ----------------------------------------------------------------------

inline constexpr int CSIDL_APPDATA = 0x001A;       // 26
inline constexpr int CSIDL_LOCAL_APPDATA = 0x001C; // 28
inline constexpr int CSIDL_PROGRAM_FILES = 0x0026; // 38
inline constexpr int CSIDL_FLAG_CREATE = 0x8000;
inline constexpr DWORD SHGFP_TYPE_CURRENT = 0;
inline constexpr DWORD SHGFP_TYPE_DEFAULT = 1;

// Writes the folder's path (no trailing delimiter, at most MAX_PATH code units with the
// terminator) into `path`. The folders follow the XDG directories:
//   CSIDL_APPDATA        $XDG_CONFIG_HOME, else $HOME/.config
//   CSIDL_LOCAL_APPDATA  $XDG_DATA_HOME, else $HOME/.local/share
//   CSIDL_PROGRAM_FILES  /opt
// When KRX_SHELL_ROOT is set, all three lie below it instead: AppData/Roaming,
// AppData/Local and "Program Files". With CSIDL_FLAG_CREATE or-ed into `csidl` a missing
// folder is created. Returns S_OK; E_INVALIDARG (path empty) for any other folder;
// HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE) for a path that does not fit; E_FAIL when
// the folder cannot be created. `wnd` and `token` are not used.
HRESULT SHGetFolderPathW(THandle wnd, int csidl, THandle token, DWORD flags, Char *path);
// The same into a string (no length limit).
HRESULT SHGetFolderPathW(THandle wnd, int csidl, THandle token, DWORD flags, String &path);

// ---- Starting programs and documents ------------------------------------------------------

// Results of ShellExecuteW at or below 32 are errors.
inline constexpr int SE_ERR_FNF = 2;
inline constexpr int SE_ERR_PNF = 3;
inline constexpr int SE_ERR_ACCESSDENIED = 5;
inline constexpr int SE_ERR_OOM = 8;
inline constexpr int SE_ERR_NOASSOC = 31;

// What a ShellExecuteW call asked for. A null operation is recorded as empty.
struct TShellExecuteRequest {
  String Operation;
  String File;
  String Parameters;
  String Directory;
  int ShowCmd = 0;
};

// Replaces what ShellExecuteW does (tests record the calls and answer with a result); an
// empty hook restores the real behaviour. Returns the previous hook.
using TShellExecuteHook = std::function<HINSTANCE(const TShellExecuteRequest &)>;
TShellExecuteHook SetShellExecuteHook(TShellExecuteHook hook);

// Starts `file` as a program with `parameters` (split as the platform splits a command
// line: blanks separate, double quotes group, backslashes escape quotes), or opens it with
// the desktop's opener (xdg-open) when it is a document, a folder or a URL. Operation null,
// "" or "open" (also "explore" for a folder); any other gives SE_ERR_NOASSOC. A name
// without a slash is looked for in the working folder, then on PATH. `directory`, when
// not empty, is the started program's working folder. The program runs detached: the call
// does not wait for it. Returns a value above 32 on success, otherwise SE_ERR_FNF (no such
// file), SE_ERR_PNF (no such folder), SE_ERR_ACCESSDENIED, ERROR_BAD_FORMAT (not a program
// this machine runs), SE_ERR_NOASSOC (no opener for a document) or SE_ERR_OOM.
// `wnd` and `showCmd` are recorded, not used.
HINSTANCE ShellExecuteW(THandle wnd, const Char *operation, const Char *file,
                        const Char *parameters, const Char *directory, int showCmd);

} // namespace krx
