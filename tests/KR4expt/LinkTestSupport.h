// Helpers of the link's tests: a message pump, a raw endpoint that records the wire texts,
// and capture of the exceptions that reach the application's handler.
#pragma once

#include "KR4expt/DotNetPS.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Win/Windows.h"
#include "support/KrxTest.h"

#include <functional>
#include <vector>

namespace krx::test {

// Dispatches every message waiting for this thread; returns how many ran.
int PumpMessages();
// Dispatches at most one waiting message; false when none was waiting.
bool PumpOneMessage();
// Dispatches messages until a call that waits to be superseded (DotNetStubSettleMs) has run.
int PumpSettled();

// A window of class "TPUtilWindow" named `name` that records the text of every WM_SETTEXT
// sent to it and answers `Answer`.
class TRawEndpoint {
public:
  explicit TRawEndpoint(const String &name);
  ~TRawEndpoint();
  TRawEndpoint(const TRawEndpoint &) = delete;
  TRawEndpoint &operator=(const TRawEndpoint &) = delete;

  HWND Handle() const { return FHandle; }
  std::vector<String> Texts;
  LRESULT Answer = 1;

private:
  HWND FHandle = nullptr;
};

// Records the exceptions handed to Application->HandleException while it lives, instead of
// showing them.
class TExceptionCapture {
public:
  TExceptionCapture();
  ~TExceptionCapture();
  TExceptionCapture(const TExceptionCapture &) = delete;
  TExceptionCapture &operator=(const TExceptionCapture &) = delete;

  std::vector<String> Messages;
  std::vector<String> ClassNames;
  std::vector<TObject *> Senders;

private:
  TExceptionEvent FPrevious;
};

// Runs every test on a desktop of its own, so that endpoint names of parallel tests never
// meet.
class LinkTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  TempDir Dir;

private:
  EnvGuard FDesktop{"KRX_DESKTOP_DIR", (Dir.Path() / "desktop").string()};
};

// Sends a raw text to a window as one WM_SETTEXT and returns the message result.
LRESULT SendText(HWND wnd, const String &text);

} // namespace krx::test
