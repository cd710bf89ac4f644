// The timer component of the headless class library: OnTimer every Interval milliseconds
// while Enabled, from the window layer's thread timers (so it fires while the thread's
// message loop runs). An exception from OnTimer reaches Application->HandleException.
#pragma once

#include "Platform/Rtl/Classes.h"
#include "Platform/Win/Windows.h"

namespace krx {

class TTimer : public TComponent {
  KRX_PUBLISHED(TTimer)
public:
  explicit TTimer(TComponent *AOwner);
  ~TTimer() override;

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  Cardinal Interval() const { return FInterval; }
  void SetInterval(Cardinal Value);

  TNotifyEvent OnTimer;

  // The timer running for this component (0 while none), for tests.
  UINT_PTR TimerId() const { return FTimerId; }

protected:
  void Loaded() override;
  virtual void Timer();

private:
  static void TimerProc(HWND, UINT, UINT_PTR id, DWORD);
  void UpdateTimer();

  bool FEnabled = true;
  Cardinal FInterval = 1000;
  UINT_PTR FTimerId = 0;
};

} // namespace krx
