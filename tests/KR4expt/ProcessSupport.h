// Starting the real programs of the link in their own processes, bounded in time, and
// reading the JSON lines they print.
#pragma once

#include "Platform/Rtl/Types.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <sys/types.h>
#include <variant>
#include <vector>

namespace krx::test {

// The path of a program built from tools/<name>.
std::filesystem::path ToolPath(const std::string &name);

// A started program whose standard output and error go to files.
class TChildProcess {
public:
  TChildProcess(const std::vector<std::string> &argv, const std::filesystem::path &out,
                const std::filesystem::path &err);
  ~TChildProcess(); // kills the program if it still runs
  TChildProcess(const TChildProcess &) = delete;
  TChildProcess &operator=(const TChildProcess &) = delete;

  // The exit code, or -1 when the program had to be killed after the timeout (or died by
  // a signal).
  int Wait(std::chrono::milliseconds timeout);
  // Asks the program to stop (SIGTERM) and waits for it.
  int Stop(std::chrono::milliseconds timeout);
  // Waits until `text` appears in the standard error; false after the timeout.
  bool WaitForError(const std::string &text, std::chrono::milliseconds timeout) const;
  std::string Error() const;
  std::string Output() const;
  pid_t Pid() const { return FPid; }
  // The largest resident size the program has had so far, in KiB (VmHWM); -1 when gone.
  long PeakRssKb() const;

private:
  pid_t FPid = -1;
  std::filesystem::path FOut, FErr;
};

// Runs a program to its end (at most `timeout`) and returns its exit code.
int RunTool(const std::vector<std::string> &argv, const std::filesystem::path &dir,
            std::chrono::milliseconds timeout, std::string *error = nullptr);

// A decoded JSON value: the subset the tools print.
struct TJson {
  std::variant<std::monostate, String, Int64, std::vector<TJson>, std::map<std::string, TJson>>
      Value;
  const String &Str() const { return std::get<String>(Value); }
  Int64 Int() const { return std::get<Int64>(Value); }
  const std::vector<TJson> &Array() const { return std::get<std::vector<TJson>>(Value); }
  const TJson &operator[](const std::string &key) const {
    return std::get<std::map<std::string, TJson>>(Value).at(key);
  }
};

// Parses one JSON text (objects, arrays, strings with every escape, integers, booleans as 1
// and 0); raises std::runtime_error for anything else or for trailing text.
TJson ParseJson(const std::string &text);
std::vector<std::string> Lines(const std::string &text);

} // namespace krx::test
