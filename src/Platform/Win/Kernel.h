// Kernel services the system takes from the platform: module handles and file names, the
// thread's last error, critical sections, Sleep, error modes and file attributes.
//
// Handle types are integers wide enough for an address, as the class library declares them
// (a module handle is the load address of the module, as on the original platform).
#pragma once

#include "Platform/Rtl/Types.h"
#include "Platform/Win/Windows.h"

#include <cstdint>
#include <filesystem>
#include <pthread.h>

namespace krx {

using THandle = std::uintptr_t;
using HMODULE = THandle;
using HINSTANCE = THandle;
using HRESULT = std::int32_t;

inline constexpr int MAX_PATH = 260;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline constexpr bool FAILED(HRESULT hr) { return hr < 0; }
inline constexpr HRESULT HRESULT_FROM_WIN32(DWORD error) {
  return error == 0 ? 0 : static_cast<HRESULT>((error & 0xFFFFu) | 0x80070000u);
}

// Error codes of the thread's last error that these substitutes set, beyond those of
// Windows.h. GetLastError is the run-time's, SetLastError the window substitute's.
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_BAD_FORMAT = 11;
inline constexpr DWORD ERROR_INVALID_DATA = 13;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_INVALID_NAME = 123;
inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
inline constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;

// ---- Modules ------------------------------------------------------------------------------

// The handle of the module that contains `address`; 0 when none does.
HMODULE ModuleOfAddress(const void *address);

} // namespace krx

// One byte in every final module (program or plug-in library), defined by the static library
// krx_module_anchor that each of them links. Hidden, so that every module's references bind
// to its own anchor; the shared platform library has none and cannot call HInstance().
extern "C" __attribute__((visibility("hidden"))) const char krx_module_anchor;

namespace krx {

// The handle of the module whose code calls it: the plug-in library when the system runs as
// one, the program when the system is linked into it (never the shared platform library).
// Hidden and inline, so each module has its own copy bound to its own anchor.
__attribute__((visibility("hidden"))) inline HMODULE HInstance() {
  return ModuleOfAddress(&krx_module_anchor);
}

// Writes the full path of the module (of the process executable when `module` is 0) into
// `fileName`, which holds `size` code units, terminated. Returns the length written without
// the terminator; 0 with ERROR_MOD_NOT_FOUND for an unknown handle. A path that does not
// fit is cut to size - 1 code units, and the result is `size` with ERROR_INSUFFICIENT_BUFFER.
// A path that is not valid UTF-8 gives 0 with ERROR_INVALID_NAME (no text names it exactly).
DWORD GetModuleFileNameW(HMODULE module, Char *fileName, DWORD size);
// The same as a string; empty when the handle is unknown or the path is not valid UTF-8.
String GetModuleFileName(HMODULE module);

// ---- Critical sections --------------------------------------------------------------------

// A re-entrant lock with the platform's critical-section calls. The structure is trivially
// constructible so that process-wide ones need no static constructor: it is usable between
// InitializeCriticalSection and DeleteCriticalSection. Leaving a section that the calling
// thread does not hold fails an assertion.
struct TRTLCriticalSection {
  pthread_mutex_t Mutex;
  bool Initialized;
};

void InitializeCriticalSection(TRTLCriticalSection &section);
void DeleteCriticalSection(TRTLCriticalSection &section);
void EnterCriticalSection(TRTLCriticalSection &section);
void LeaveCriticalSection(TRTLCriticalSection &section);
bool TryEnterCriticalSection(TRTLCriticalSection &section);

// The class library's object form of a critical section.
class TCriticalSection {
public:
  TCriticalSection();
  ~TCriticalSection();
  TCriticalSection(const TCriticalSection &) = delete;
  TCriticalSection &operator=(const TCriticalSection &) = delete;

  void Enter() { EnterCriticalSection(FSection); }
  void Leave() { LeaveCriticalSection(FSection); }
  void Acquire() { Enter(); }
  void Release() { Leave(); }
  bool TryEnter() { return TryEnterCriticalSection(FSection); }

private:
  TRTLCriticalSection FSection;
};

// ---- Time, error modes, files -------------------------------------------------------------

inline constexpr DWORD INFINITE = 0xFFFFFFFFu;

// Suspends the calling thread; 0 gives up the rest of its time slice.
void Sleep(DWORD milliseconds);

inline constexpr UINT SEM_FAILCRITICALERRORS = 0x0001;
inline constexpr UINT SEM_NOGPFAULTERRORBOX = 0x0002;
inline constexpr UINT SEM_NOALIGNMENTFAULTEXCEPT = 0x0004;
inline constexpr UINT SEM_NOOPENFILEERRORBOX = 0x8000;

// The process error mode is only remembered: no system error box exists here to suppress.
// SetErrorMode returns the previous mode.
UINT SetErrorMode(UINT mode);
UINT GetErrorMode();

inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

// Attributes of a file or directory, links followed: DIRECTORY, READONLY when the user may
// not write it, NORMAL when neither applies. INVALID_FILE_ATTRIBUTES with
// ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND when it does not exist, ERROR_INVALID_NAME for
// a name that cannot be carried to the system (Platform/Rtl/Files.h).
DWORD GetFileAttributesW(StringView fileName);

// ---- Per-user folders ---------------------------------------------------------------------

// The folder named by the environment variable `envName` when it holds an absolute path
// (the XDG base-directory rule), else `belowHome` below the user's home folder ($HOME, else
// the password database).
std::filesystem::path XdgUserDirectory(const char *envName, const char *belowHome);

} // namespace krx
