#include "Platform/Vcl/ExtCtrls.h"

#include "Platform/Vcl/FormDescription.h"

#include <map>

namespace krx {

namespace {
// Running timers by id, main thread only (timer procedures run on the thread that set them).
std::map<UINT_PTR, TTimer *> &Running() {
  static std::map<UINT_PTR, TTimer *> running; // built on first use
  return running;
}
} // namespace

const TClassInfo &TTimer::StaticClassInfo() {
  static const TClassInfo info = TClassInfoBuilder<TTimer>(&TComponent::StaticClassInfo())
                                     .Bool(u"Enabled", &TTimer::Enabled, &TTimer::SetEnabled)
                                     .Default(1)
                                     .Integer(u"Interval", &TTimer::Interval, &TTimer::SetInterval)
                                     .Default(1000)
                                     .Build();
  return info;
}

TTimer::TTimer(TComponent *AOwner) : TComponent(AOwner) {
  if (!IsComponentClassRegistered(u"TTimer"))
    RegisterComponentClass<TTimer>(u"TTimer");
  UpdateTimer();
}

TTimer::~TTimer() {
  FEnabled = false;
  UpdateTimer();
}

void TTimer::SetEnabled(bool Value) {
  if (Value == FEnabled)
    return;
  FEnabled = Value;
  UpdateTimer();
}

void TTimer::SetInterval(Cardinal Value) {
  if (Value == FInterval)
    return;
  FInterval = Value;
  UpdateTimer();
}

void TTimer::Loaded() {
  TComponent::Loaded();
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  if (FTimerId) {
    KillTimer(nullptr, FTimerId);
    Running().erase(FTimerId);
    FTimerId = 0;
  }
  if (FEnabled && FInterval > 0 && !ComponentState().Contains(csLoading) &&
      !ComponentState().Contains(csDestroying)) {
    FTimerId = SetTimer(nullptr, 0, FInterval, &TTimer::TimerProc);
    if (FTimerId)
      Running()[FTimerId] = this;
  }
}

void TTimer::TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  auto it = Running().find(id);
  if (it != Running().end())
    it->second->Timer();
}

void TTimer::Timer() {
  if (FEnabled && OnTimer)
    OnTimer(this);
}

} // namespace krx
