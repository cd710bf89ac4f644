// A test IDE host for the tests of the IDE helpers and notifiers, with a folder for files.
#pragma once

#include "support/KrxTest.h"
#include "testide/TestIDE.h"

#include <chrono>
#include <functional>

namespace krx::test {

class HostTest : public ::testing::Test {
protected:
  // Writes a file and returns its name.
  String File(const std::string &name, const std::string &bytes) {
    WriteFileBytes(Dir / name, bytes);
    return Dir.Str(name);
  }
  IPtr<testide::THostBuffer> OpenBuffer(const std::string &name, const std::string &bytes) {
    IDE.Open(File(name, bytes));
    return IDE.FindBuffer(Dir.Str(name));
  }

  TempDir Dir;
  testide::TTestIDE IDE;
};

// Pumps messages (and with them the timers) until the condition holds or the time is up.
bool PumpUntil(const std::function<bool()> &done, int milliseconds = 3000);

} // namespace krx::test
