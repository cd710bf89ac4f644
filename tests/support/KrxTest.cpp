#include "support/KrxTest.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace krx::test {

TempDir::TempDir() {
  std::random_device rd;
  auto base = std::filesystem::temp_directory_path();
  for (;;) {
    auto p = base / ("krx-test-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
    if (std::filesystem::create_directory(p)) {
      FPath = p;
      break;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(FPath, ec);
}

String TempDir::Str(const std::string &name) const {
  return Utf8ToString((name.empty() ? FPath : FPath / name).string());
}

std::string ReadFileBytes(const std::filesystem::path &p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFileBytes(const std::filesystem::path &p, const std::string &bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void MakeFifo(const std::filesystem::path &p) {
  if (::mkfifo(p.c_str(), 0600) != 0)
    throw std::filesystem::filesystem_error("mkfifo", p,
                                            std::error_code(errno, std::generic_category()));
}

namespace {

constexpr uid_t kNobody = 65534;

bool GiveToNobody(const std::filesystem::path &dir) {
  if (::chown(dir.c_str(), kNobody, kNobody) != 0)
    return false;
  for (const auto &entry : std::filesystem::recursive_directory_iterator(dir))
    if (::lchown(entry.path().c_str(), kNobody, kNobody) != 0)
      return false;
  return true;
}

} // namespace

std::vector<std::string> UnprivilegedCommand(const std::filesystem::path &dir, bool &ok) {
  ok = true;
  if (::geteuid() != 0)
    return {};
  ok = GiveToNobody(dir);
  if (!ok)
    return {};
  return {"/bin/sh", "-c", "exec setpriv --reuid=65534 --regid=65534 --clear-groups -- \"$@\"",
          "sh"};
}

int RunWithoutPrivileges(const std::filesystem::path &dir, const std::function<int()> &body) {
  const bool root = ::geteuid() == 0;
  if (root && !GiveToNobody(dir))
    return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    int code = 99;
    if (!root || (::setgid(kNobody) == 0 && ::setuid(kNobody) == 0)) {
      try {
        code = body();
      } catch (...) {
        code = 99;
      }
    }
    ::_exit(code);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
    return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string RunCommand(const std::string &command, int &status) {
  std::string out;
  status = -1;
  if (FILE *p = ::popen(command.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
      out.append(buf, n);
    status = ::pclose(p);
  }
  return out;
}

std::filesystem::path Fixture(const std::string &relative) {
  return std::filesystem::path(KRX_SOURCE_DIR) / "tests" / "fixtures" / relative;
}

EnvGuard::EnvGuard(const char *name, const std::string &value) : FName(name) {
  const char *old = std::getenv(name);
  FHad = old != nullptr;
  if (FHad)
    FOld = old;
  ::setenv(name, value.c_str(), 1);
}

EnvGuard::~EnvGuard() {
  if (FHad)
    ::setenv(FName.c_str(), FOld.c_str(), 1);
  else
    ::unsetenv(FName.c_str());
}

} // namespace krx::test
