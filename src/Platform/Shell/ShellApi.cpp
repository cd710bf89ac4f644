#include "Platform/Shell/ShellApi.h"

#include "Platform/Rtl/Encoding.h"
#include "Platform/Rtl/Files.h"
#include "Platform/Rtl/SysUtils.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace krx {

// ---- Special folders ----------------------------------------------------------------------

namespace {

std::filesystem::path WithoutTrailingDelimiter(std::filesystem::path p) {
  std::string s = p.lexically_normal().string();
  while (s.size() > 1 && s.back() == '/')
    s.pop_back();
  return s;
}

HRESULT FolderPath(int csidl, std::filesystem::path &path) {
  const char *root = std::getenv("KRX_SHELL_ROOT");
  const bool rooted = root && *root;
  switch (csidl & 0xFF) {
  case CSIDL_APPDATA:
    path = rooted ? std::filesystem::path(root) / "AppData" / "Roaming"
                  : XdgUserDirectory("XDG_CONFIG_HOME", ".config");
    break;
  case CSIDL_LOCAL_APPDATA:
    path = rooted ? std::filesystem::path(root) / "AppData" / "Local"
                  : XdgUserDirectory("XDG_DATA_HOME", ".local/share");
    break;
  case CSIDL_PROGRAM_FILES:
    path = rooted ? std::filesystem::path(root) / "Program Files" : std::filesystem::path("/opt");
    break;
  default:
    return E_INVALIDARG;
  }
  path = WithoutTrailingDelimiter(path);
  if (csidl & CSIDL_FLAG_CREATE) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec || !std::filesystem::is_directory(path, ec))
      return E_FAIL;
  }
  return S_OK;
}

} // namespace

HRESULT SHGetFolderPathW(THandle, int csidl, THandle, DWORD, String &path) {
  path.clear();
  std::filesystem::path p;
  HRESULT hr = FolderPath(csidl, p);
  // A root whose name is not UTF-8 has no exact String: a substitute would name another folder.
  if (SUCCEEDED(hr) && !FileNameFromOS(p.native(), path))
    return E_FAIL;
  return hr;
}

HRESULT SHGetFolderPathW(THandle wnd, int csidl, THandle token, DWORD flags, Char *path) {
  if (!path)
    return E_INVALIDARG;
  path[0] = 0;
  String s;
  HRESULT hr = SHGetFolderPathW(wnd, csidl, token, flags, s);
  if (FAILED(hr))
    return hr;
  if (s.size() >= static_cast<std::size_t>(MAX_PATH))
    return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  s.copy(path, s.size());
  path[s.size()] = 0;
  return hr;
}

// ---- Starting programs and documents ------------------------------------------------------

namespace {

struct THookSlot {
  std::mutex Lock;
  TShellExecuteHook Hook;
};

THookSlot &HookSlot() {
  static THookSlot slot; // created on first use
  return slot;
}

HINSTANCE Result(int code) { return static_cast<HINSTANCE>(code); }

// Splits parameters as the platform's C run-time splits a command line.
std::vector<std::string> SplitParameters(StringView params) {
  std::vector<std::string> args;
  String arg;
  bool inArg = false, quoted = false;
  for (std::size_t i = 0; i < params.size();) {
    Char c = params[i];
    if (!quoted && (c == u' ' || c == u'\t')) {
      if (inArg)
        args.push_back(StringToUtf8(arg));
      arg.clear();
      inArg = false;
      ++i;
      continue;
    }
    inArg = true;
    if (c == u'\\') {
      std::size_t n = 0;
      while (i < params.size() && params[i] == u'\\') {
        ++n;
        ++i;
      }
      if (i < params.size() && params[i] == u'"') {
        arg.append(n / 2, u'\\');
        if (n % 2 == 1) {
          arg += u'"';
          ++i;
        }
      } else {
        arg.append(n, u'\\');
      }
      continue;
    }
    if (c == u'"') {
      if (quoted && i + 1 < params.size() && params[i + 1] == u'"') {
        arg += u'"';
        i += 2;
        continue;
      }
      quoted = !quoted;
      ++i;
      continue;
    }
    arg += c;
    ++i;
  }
  if (inArg)
    args.push_back(StringToUtf8(arg));
  return args;
}

bool IsExecutableFile(const std::string &path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string FindOnPath(const std::string &name) {
  const char *pathEnv = std::getenv("PATH");
  std::string list = pathEnv ? pathEnv : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  for (;;) {
    std::size_t colon = list.find(':', start);
    std::string dir =
        list.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
    if (IsExecutableFile(candidate))
      return candidate;
    if (colon == std::string::npos)
      return {};
    start = colon + 1;
  }
}

bool LooksLikeUrl(StringView s) {
  // A scheme of two or more characters, then a colon.
  std::size_t colon = s.find(u':');
  if (colon == StringView::npos || colon < 2)
    return false;
  for (std::size_t i = 0; i < colon; ++i) {
    Char c = s[i];
    bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    bool other = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
    if (!letter && !(i > 0 && other))
      return false;
  }
  return true;
}

int ErrnoToResult(int err) {
  switch (err) {
  case ENOENT:
    return SE_ERR_FNF;
  case ENOTDIR:
    return SE_ERR_PNF;
  case ENOEXEC:
  case ELIBBAD:
    return ERROR_BAD_FORMAT;
  case ENOMEM:
  case EAGAIN:
    return SE_ERR_OOM;
  default:
    return SE_ERR_ACCESSDENIED;
  }
}

void WriteFailure(int fd, int stage, int err) {
  int msg[2] = {stage, err};
  ssize_t ignored = ::write(fd, msg, sizeof msg);
  (void)ignored;
}

// Starts the program detached from this process: a short-lived child forks the program and
// exits at once, so no zombie is left, and the program runs in its own session with its
// standard streams on /dev/null. A pipe closed by the successful exec reports failures.
int Spawn(const std::string &program, const std::vector<std::string> &args,
          const std::string &directory) {
  std::vector<char *> argv;
  argv.push_back(const_cast<char *>(program.c_str()));
  for (const std::string &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);

  int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  if (devNull < 0)
    return SE_ERR_ACCESSDENIED;
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
    ::close(devNull);
    return SE_ERR_OOM;
  }
  pid_t child = ::fork();
  if (child < 0) {
    ::close(devNull);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    return SE_ERR_OOM;
  }
  if (child == 0) {
    // Only async-signal-safe calls from here on.
    pid_t grandChild = ::fork();
    if (grandChild < 0) {
      WriteFailure(pipeFds[1], 0, errno);
      ::_exit(1);
    }
    if (grandChild > 0)
      ::_exit(0);
    ::setsid();
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig = 1; sig < 32; ++sig)
      if (sig != SIGKILL && sig != SIGSTOP)
        ::signal(sig, SIG_DFL);
    ::dup2(devNull, 0);
    ::dup2(devNull, 1);
    ::dup2(devNull, 2);
    if (!directory.empty() && ::chdir(directory.c_str()) != 0) {
      WriteFailure(pipeFds[1], 1, errno);
      ::_exit(127);
    }
    ::execve(program.c_str(), argv.data(), environ);
    WriteFailure(pipeFds[1], 2, errno);
    ::_exit(127);
  }
  ::close(devNull);
  ::close(pipeFds[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int msg[2] = {0, 0};
  std::size_t got = 0;
  while (got < sizeof msg) {
    ssize_t n = ::read(pipeFds[0], reinterpret_cast<char *>(msg) + got, sizeof msg - got);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    got += static_cast<std::size_t>(n);
  }
  ::close(pipeFds[0]);
  if (got == 0)
    return 42;     // the program runs
  if (msg[0] == 1) // the working folder
    return SE_ERR_PNF;
  return ErrnoToResult(msg[1]);
}

int OpenWithDesktop(const std::string &target, const std::string &directory) {
  std::string opener = FindOnPath("xdg-open");
  if (opener.empty())
    return SE_ERR_NOASSOC;
  return Spawn(opener, {target}, directory);
}

int Execute(const TShellExecuteRequest &r) {
  const bool explore = SameText(r.Operation, u"explore");
  if (!r.Operation.empty() && !SameText(r.Operation, u"open") && !explore)
    return SE_ERR_NOASSOC;
  if (r.File.empty())
    return SE_ERR_FNF;
  // Names and arguments go to the program exactly or the start fails: a substitute character
  // would name another file.
  std::string directory, file;
  if (!TryFileNameToOS(r.Directory, directory))
    return SE_ERR_PNF;
  if (!TryFileNameToOS(r.File, file) || FindUnpairedSurrogate(r.Parameters) != StringView::npos)
    return SE_ERR_FNF;
  if (!directory.empty()) {
    struct stat st {};
    if (::stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
      return SE_ERR_PNF;
  }
  if (LooksLikeUrl(r.File))
    return explore ? SE_ERR_NOASSOC : OpenWithDesktop(file, directory);

  std::string path = file;
  if (file.find('/') == std::string::npos && ::access(file.c_str(), F_OK) != 0) {
    path = FindOnPath(file);
    if (path.empty())
      return SE_ERR_FNF;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == EACCES)
      return SE_ERR_ACCESSDENIED;
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    struct stat pst {};
    if (errno == ENOTDIR ||
        (!parent.empty() && (::stat(parent.c_str(), &pst) != 0 || !S_ISDIR(pst.st_mode))))
      return SE_ERR_PNF;
    return SE_ERR_FNF;
  }
  // The working folder changes before the start, so names must not depend on it.
  if (std::filesystem::path(path).is_relative())
    path = std::filesystem::absolute(path).string();
  if (S_ISDIR(st.st_mode))
    return OpenWithDesktop(path, directory);
  if (explore)
    return SE_ERR_NOASSOC;
  if (S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0)
    return Spawn(path, SplitParameters(r.Parameters), directory);
  return OpenWithDesktop(path, directory);
}

} // namespace

TShellExecuteHook SetShellExecuteHook(TShellExecuteHook hook) {
  THookSlot &slot = HookSlot();
  std::lock_guard<std::mutex> guard(slot.Lock);
  std::swap(slot.Hook, hook);
  return hook;
}

HINSTANCE ShellExecuteW(THandle, const Char *operation, const Char *file, const Char *parameters,
                        const Char *directory, int showCmd) {
  TShellExecuteRequest request;
  request.Operation = operation ? operation : u"";
  request.File = file ? file : u"";
  request.Parameters = parameters ? parameters : u"";
  request.Directory = directory ? directory : u"";
  request.ShowCmd = showCmd;
  TShellExecuteHook hook;
  {
    THookSlot &slot = HookSlot();
    std::lock_guard<std::mutex> guard(slot.Lock);
    hook = slot.Hook;
  }
  if (hook)
    return hook(request);
  return Result(Execute(request));
}

} // namespace krx
