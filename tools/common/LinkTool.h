// Helpers shared by the link's command-line tools (header only: this folder is no program).
#pragma once

#include "Platform/Rtl/SysUtils.h"
#include "Platform/Win/Desktop.h"
#include "Platform/Win/Windows.h"
#include "Units.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <variant>
#include <vector>

namespace krx::tool {

// A JSON string literal of a UTF-16 text, written as UTF-8. Control characters, quotes,
// backslashes and unpaired surrogates are escaped, so every text survives exactly.
inline std::string JsonString(StringView s) {
  std::string out = "\"";
  const auto hex = [&out](unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\u%04x", v);
    out += buf;
  };
  for (std::size_t i = 0; i < s.size(); ++i) {
    const Char c = s[i];
    if (c == u'"') {
      out += "\\\"";
    } else if (c == u'\\') {
      out += "\\\\";
    } else if (c == u'\n') {
      out += "\\n";
    } else if (c == u'\r') {
      out += "\\r";
    } else if (c == u'\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      hex(c);
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
               s[i + 1] <= 0xDFFF) {
      out += StringToUtf8(s.substr(i, 2));
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      hex(c);
    } else {
      out += StringToUtf8(s.substr(i, 1));
    }
  }
  out += '"';
  return out;
}

// One JSON array element: a string or a number.
using JsonValue = std::variant<String, Int64>;

inline std::string JsonArray(const std::vector<JsonValue> &values) {
  std::string out = "[";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0)
      out += ',';
    if (const auto *s = std::get_if<String>(&values[i]))
      out += JsonString(*s);
    else
      out += std::to_string(std::get<Int64>(values[i]));
  }
  out += ']';
  return out;
}

// Set by SIGINT and SIGTERM: the message loop ends and the program exits normally, taking
// its endpoint window away.
inline std::atomic<bool> &StopRequested() {
  static std::atomic<bool> stop{false};
  return stop;
}

inline void InstallStopSignals() {
  struct sigaction sa {};
  sa.sa_handler = [](int) { StopRequested().store(true); };
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

// Pumps messages until a stop is requested or, when seconds >= 0, the time is up. A timer
// wakes the loop regularly so that both are noticed while no message arrives. Messages
// already queued then are still handled: a call that a sender saw taken is never lost to a
// stop (the endpoint runs its calls from posted messages).
inline void RunMessageLoop(double seconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = seconds >= 0 ? Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                          std::chrono::duration<double>(seconds))
                                     : Clock::time_point::max();
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, nullptr);
  MSG msg;
  while (!StopRequested().load() && Clock::now() < deadline) {
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0)
      break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  KillTimer(nullptr, timer);
  // Bounded, so that a handler posting to itself cannot keep the program from ending.
  for (int left = 100000;
       left > 0 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message != WM_QUIT; --left) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Announces "listening as NAME" once other processes can reach the endpoint window; when
// they cannot (the desktop is unusable), says why instead and answers false.
inline bool AnnounceListening(const char *tool, const String &name) {
  const std::string problem = DesktopProblem();
  if (!problem.empty()) {
    std::cerr << tool << ": cannot listen: " << problem << "\n";
    return false;
  }
  std::cerr << tool << ": listening as " << StringToUtf8(name) << "\n";
  return true;
}

// Parses a whole decimal number for an option; false for anything else.
inline bool ParseNumber(const char *text, double &value) {
  try {
    std::size_t used = 0;
    value = std::stod(text, &used);
    return used == std::char_traits<char>::length(text) && value >= 0;
  } catch (...) {
    return false;
  }
}

// The longest --serve-seconds: about 31 years, far below where the deadline would overflow.
inline constexpr double MaxServeSeconds = 1e9;

// Parses the value of --serve-seconds: a finite number of seconds from 0 to MaxServeSeconds
// (a larger one, or "inf", would overflow the deadline and end the loop at once). False,
// with the reason said on standard error under the tool's name, for anything else.
inline bool ParseServeSeconds(const char *tool, const char *text, double &seconds) {
  if (ParseNumber(text, seconds) && seconds <= MaxServeSeconds)
    return true;
  std::cerr << tool << ": --serve-seconds takes a number of seconds from 0 to 1000000000, not "
            << text << "\n";
  return false;
}

// Runs a tool's main between the unit start-up and shutdown; a failure of either, or an
// exception out of `toolMain`, is reported under the tool's name and exits with 2.
inline int RunTool(const char *name, int (*toolMain)(int, char **), int argc, char **argv) {
  InstallStopSignals();
  try {
    InitializeUnits(AllUnits());
  } catch (const std::exception &e) {
    std::cerr << name << ": " << e.what() << "\n";
    return 2;
  }
  int rc = 2;
  try {
    rc = toolMain(argc, argv);
  } catch (const std::exception &e) {
    std::cerr << name << ": " << e.what() << "\n";
    rc = 2;
  }
  FinalizeUnits();
  return rc;
}

} // namespace krx::tool
