#include "Platform/Win/Kernel.h"

#include "Platform/Rtl/Files.h"
#include "Platform/Rtl/SysUtils.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <dlfcn.h>
#include <link.h>
#include <pwd.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace krx {

namespace {

std::atomic<UINT> gErrorMode{0};

// The handle of a loaded object: the address at which its lowest segment is mapped, the
// place of its file header, as a module handle is on the original platform.
std::uintptr_t ModuleBase(const dl_phdr_info *info) {
  std::uintptr_t lowest = UINTPTR_MAX;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const auto &ph = info->dlpi_phdr[i];
    if (ph.p_type == PT_LOAD && ph.p_vaddr - ph.p_offset < lowest)
      lowest = ph.p_vaddr - ph.p_offset;
  }
  return lowest == UINTPTR_MAX ? 0 : info->dlpi_addr + lowest;
}

struct TModuleSearch {
  std::uintptr_t Address = 0; // find the object containing this address ...
  std::uintptr_t Handle = 0;  // ... or the object with this handle
  std::uintptr_t Found = 0;
  std::string Name;
  bool IsMain = false;
};

int VisitModule(dl_phdr_info *info, std::size_t, void *data) {
  auto *s = static_cast<TModuleSearch *>(data);
  const std::uintptr_t base = ModuleBase(info);
  bool match = false;
  if (s->Handle != 0) {
    match = base == s->Handle;
  } else {
    for (int i = 0; i < info->dlpi_phnum && !match; ++i) {
      const auto &ph = info->dlpi_phdr[i];
      const std::uintptr_t start = info->dlpi_addr + ph.p_vaddr;
      match = ph.p_type == PT_LOAD && s->Address >= start && s->Address < start + ph.p_memsz;
    }
  }
  if (!match)
    return 0;
  s->Found = base;
  s->Name = info->dlpi_name ? info->dlpi_name : "";
  // The first object listed is the program, whose name the loader leaves empty.
  s->IsMain = s->Name.empty();
  return 1;
}

std::string ExecutablePath() {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
}

// The file name of a module; False when no loaded object has that handle.
bool ModuleFileName(HMODULE module, std::string &name) {
  if (module == 0) {
    name = ExecutablePath();
    return !name.empty();
  }
  TModuleSearch s;
  s.Handle = module;
  if (!dl_iterate_phdr(VisitModule, &s))
    return false;
  if (s.IsMain) {
    name = ExecutablePath();
    return !name.empty();
  }
  std::error_code ec;
  std::filesystem::path p(s.Name);
  name = p.is_absolute() ? s.Name : std::filesystem::absolute(p, ec).string();
  return true;
}

} // namespace

// ---- Modules ------------------------------------------------------------------------------

HMODULE ModuleOfAddress(const void *address) {
  TModuleSearch s;
  s.Address = reinterpret_cast<std::uintptr_t>(address);
  if (s.Address == 0 || !dl_iterate_phdr(VisitModule, &s))
    return 0;
  return s.Found;
}

DWORD GetModuleFileNameW(HMODULE module, Char *fileName, DWORD size) {
  std::string name;
  if (!ModuleFileName(module, name)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (!fileName || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  String text;
  if (!FileNameFromOS(name, text)) {
    SetLastError(ERROR_INVALID_NAME);
    return 0;
  }
  if (text.size() >= size) {
    text.copy(fileName, size - 1);
    fileName[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  text.copy(fileName, text.size());
  fileName[text.size()] = 0;
  return static_cast<DWORD>(text.size());
}

String GetModuleFileName(HMODULE module) {
  std::string name;
  String text;
  return ModuleFileName(module, name) && FileNameFromOS(name, text) ? text : String();
}

// ---- Critical sections --------------------------------------------------------------------

void InitializeCriticalSection(TRTLCriticalSection &section) {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  const int rc = pthread_mutex_init(&section.Mutex, &attr);
  pthread_mutexattr_destroy(&attr);
  KR_ASSERT(rc == 0);
  section.Initialized = true;
}

void DeleteCriticalSection(TRTLCriticalSection &section) {
  if (!section.Initialized)
    return;
  section.Initialized = false;
  pthread_mutex_destroy(&section.Mutex);
}

void EnterCriticalSection(TRTLCriticalSection &section) {
  KR_ASSERT(section.Initialized);
  KR_ASSERT(pthread_mutex_lock(&section.Mutex) == 0);
}

void LeaveCriticalSection(TRTLCriticalSection &section) {
  KR_ASSERT(section.Initialized);
  // A recursive mutex refuses an unlock by a thread that does not hold it.
  KR_ASSERT(pthread_mutex_unlock(&section.Mutex) == 0);
}

bool TryEnterCriticalSection(TRTLCriticalSection &section) {
  KR_ASSERT(section.Initialized);
  return pthread_mutex_trylock(&section.Mutex) == 0;
}

TCriticalSection::TCriticalSection() : FSection{} { InitializeCriticalSection(FSection); }

TCriticalSection::~TCriticalSection() { DeleteCriticalSection(FSection); }

// ---- Time, error modes, files -------------------------------------------------------------

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  if (milliseconds == INFINITE)
    for (;;)
      std::this_thread::sleep_for(std::chrono::hours(24));
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

UINT SetErrorMode(UINT mode) { return gErrorMode.exchange(mode); }

UINT GetErrorMode() { return gErrorMode.load(); }

DWORD GetFileAttributesW(StringView fileName) {
  std::string name;
  if (!TryFileNameToOS(fileName, name)) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_FILE_ATTRIBUTES;
  }
  struct stat st {};
  if (name.empty() || ::stat(name.c_str(), &st) != 0) {
    DWORD error = ERROR_FILE_NOT_FOUND;
    if (!name.empty() && errno == EACCES) {
      error = ERROR_ACCESS_DENIED;
    } else if (!name.empty()) {
      // A missing folder on the way is another failure than a missing last name.
      std::filesystem::path parent = std::filesystem::path(name).parent_path();
      struct stat pst {};
      if (errno == ENOTDIR ||
          (!parent.empty() && (::stat(parent.c_str(), &pst) != 0 || !S_ISDIR(pst.st_mode))))
        error = ERROR_PATH_NOT_FOUND;
    }
    SetLastError(error);
    return INVALID_FILE_ATTRIBUTES;
  }
  if (S_ISDIR(st.st_mode))
    return FILE_ATTRIBUTE_DIRECTORY;
  if (::access(name.c_str(), W_OK) != 0)
    return FILE_ATTRIBUTE_READONLY;
  return FILE_ATTRIBUTE_NORMAL;
}

// ---- Per-user folders ---------------------------------------------------------------------

std::filesystem::path XdgUserDirectory(const char *envName, const char *belowHome) {
  if (const char *v = std::getenv(envName); v && v[0] == '/')
    return std::filesystem::path(v);
  std::filesystem::path home;
  if (const char *h = std::getenv("HOME"); h && *h) {
    home = h;
  } else {
    passwd pw{};
    passwd *result = nullptr;
    char buf[4096];
    if (::getpwuid_r(::getuid(), &pw, buf, sizeof buf, &result) == 0 && result && pw.pw_dir)
      home = pw.pw_dir;
    else
      home = "/";
  }
  return home / belowHome;
}

} // namespace krx
