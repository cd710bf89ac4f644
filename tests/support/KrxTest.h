// Shared helpers of the test suites.
#pragma once

#include "Platform/Rtl/SysUtils.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace krx::test {

// A fresh directory below the system's temporary folder, removed with its contents.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;

  const std::filesystem::path &Path() const { return FPath; }
  // The path of `name` inside the directory.
  std::filesystem::path operator/(const std::string &name) const { return FPath / name; }
  String Str(const std::string &name = {}) const;

private:
  std::filesystem::path FPath;
};

std::string ReadFileBytes(const std::filesystem::path &p);
void WriteFileBytes(const std::filesystem::path &p, const std::string &bytes);

// Creates a FIFO (named pipe) at p; nothing ever writes to it.
void MakeFifo(const std::filesystem::path &p);

// Runs `body` in a child process that file permissions bind: when the tests run as root, the
// child runs as "nobody", and `dir` with everything in it is given to that user first. The
// result is the child's exit code (body's result; 99 when it raised, -1 when it died).
int RunWithoutPrivileges(const std::filesystem::path &dir, const std::function<int()> &body);
// The words that start a program so that file permissions bind it, as RunWithoutPrivileges
// runs its child: as root, `dir` is given to "nobody" and the words run the program as that
// user (setpriv); otherwise there are none. Empty with `ok` false when `dir` cannot be given.
std::vector<std::string> UnprivilegedCommand(const std::filesystem::path &dir, bool &ok);

// Runs a shell command and returns what it wrote to standard output; status is the wait
// status (WEXITSTATUS gives the exit code).
std::string RunCommand(const std::string &command, int &status);

// Path of a committed fixture below tests/fixtures.
std::filesystem::path Fixture(const std::string &relative);

// Sets an environment variable for the lifetime of the guard, restoring the old value.
class EnvGuard {
public:
  EnvGuard(const char *name, const std::string &value);
  ~EnvGuard();
  EnvGuard(const EnvGuard &) = delete;
  EnvGuard &operator=(const EnvGuard &) = delete;

private:
  std::string FName;
  bool FHad;
  std::string FOld;
};

} // namespace krx::test
