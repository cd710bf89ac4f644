// Every timer of the system runs from one periodic message-loop timer of 100 ms: the
// process-wide TTimerPool keeps the pooled timers, checks on each tick which are due and
// fires them. Components arm timers through TOneShotTimer, which fires once per arming.
// Main thread only.
#pragma once

#include "Platform/Rtl/Classes.h"
#include "Platform/Rtl/TypInfo.h"
#include "Platform/Win/Windows.h"
#include "World/Containr.h"

#include <functional>
#include <memory>

namespace krx {

KRX_DECLARE_EXCEPTION(ETimerError, Exception);

// Called with the pooled timer as Sender and its id.
using TPoolTimerEvent = std::function<void(TObject *Sender, Integer Id)>;

// One timer in the pool. The event's object (the component that armed the timer) is kept
// beside the event: it is the timer's owner, by which Remove recognises it.
class TPoolTimer : public TObject {
public:
  TPoolTimer(Integer id, Cardinal interval, TPoolTimerEvent onTimer, const TObject *owner);

  virtual void Check() {}

  // Ignored once dead; otherwise the timer counts from the current tick.
  void Start(DWORD now);
  void Start() { Start(GetTickCount()); }
  void EnsureStarted() {
    if (!Started)
      Start();
  }
  void Stop() { Started = false; }
  void MarkDead() { Dead = true; }
  // Started and more than Interval ms elapsed (equal is not yet due); the 32-bit tick count
  // may have wrapped since the start.
  bool IsDue(DWORD now) const;
  bool IsDue() const { return IsDue(GetTickCount()); }
  // Calls OnTimer unless the timer unit is being finalised.
  void Fire();

  Integer Id;
  Cardinal Interval;
  TPoolTimerEvent OnTimer;
  const TObject *Owner;
  bool Started = false;
  DWORD StartTick = 0;
  bool Dead = false;
};

class TOneShotPoolTimer : public TPoolTimer {
public:
  using TPoolTimer::TPoolTimer;
  // When due: stop, fire, and be dead afterwards even when the event raises.
  void Check() override;
};

// The pool's timers, owned and sorted by id.
class TPoolTimerCollection : public TKRXCollection {
public:
  TPoolTimerCollection();
  TPoolTimer *Timer(Integer index) const { return static_cast<TPoolTimer *>(Items(index)); }

protected:
  Integer Compare(TKey key1, TKey key2) override;
};

class TTimerPool : public TObject {
public:
  TTimerPool();
  ~TTimerPool() override;

  // Adds a started one-shot timer and returns its id. The message-loop timer is created on
  // the first call.
  Integer AddOneShot(Cardinal interval, TPoolTimerEvent event, const TObject *owner);
  // Stops and marks dead the timer of that id when owner armed it; others are left alone.
  void Remove(const TObject *owner, Integer id);
  void StopAll();
  // Frees the dead timers and checks the others, from the last to the first.
  void Tick();

  Integer Count() const { return FTimers.Count(); }
  TPoolTimer *Timers(Integer index) const { return FTimers.Timer(index); }
  // The timer of that id, or nullptr.
  TPoolTimer *FindTimer(Integer id);
  Integer LastId() const { return FLastId; }
  Integer Interval() const { return FInterval; }
  bool HasTickTimer() const { return FTickTimer != 0; }

private:
  Integer NewTimerId();
  void EnsureTickTimer();
  static void TickProc(HWND, UINT, UINT_PTR idEvent, DWORD);

  Integer FLastId = 0;
  TPoolTimerCollection FTimers;
  Integer FInterval = 100;
  UINT_PTR FTickTimer = 0;
  std::unique_ptr<TPoolTimer> FProbe;
};

// The process-wide pool; nullptr outside the timer unit's lifetime.
TTimerPool *TimerPool();
// True from the start of the timer unit's finalisation: events are silent then.
bool TimersFinalizing();
void TimersInitialization();
void TimersFinalization();

// A component that keeps one pooled timer, with Enabled, Interval and OnTimer like the class
// library's timer.
class TTimerPoolComponent : public TComponent {
  KRX_PUBLISHED(TTimerPoolComponent)
public:
  explicit TTimerPoolComponent(TComponent *AOwner);
  ~TTimerPoolComponent() override;

  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool Value);
  Integer Interval() const { return FInterval; }
  void SetInterval(Integer Value);
  // The id of the current pooled timer, -1 when none.
  Integer Handle() const { return FHandle; }

  TNotifyEvent OnTimer;

protected:
  // The pooled timer's event: raises ETimerError when id is not the current handle.
  virtual void DoTimer(TObject *Sender, Integer Id);
  virtual void UpdateTimer() = 0;

  bool FEnabled = false;
  Integer FInterval = 1000;
  Integer FHandle = -1;
};

// Fires once per arming: setting Enabled (or a new Interval while enabled) arms it anew.
class TOneShotTimer : public TTimerPoolComponent {
  KRX_PUBLISHED(TOneShotTimer)
public:
  explicit TOneShotTimer(TComponent *AOwner);

  // False always disarms; True arms unless the timer is enabled and not retriggerable.
  void SetEnabled(bool Value) override;
  bool Retriggerable() const { return FRetriggerable; }
  void SetRetriggerable(bool Value) { FRetriggerable = Value; }

protected:
  void UpdateTimer() override;

private:
  bool FRetriggerable = true;
};

} // namespace krx
