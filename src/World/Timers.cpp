#include "World/Timers.h"

#include "Platform/Rtl/ScopeExit.h"

#include <algorithm>
#include <vector>

namespace krx {

namespace {

const Char *const STimerHandleMismatch = u"Timer pool handles do not match";

struct TTimersState {
  std::unique_ptr<TTimerPool> Pool;
  bool Finalizing = false;
};

TTimersState &State() {
  static TTimersState state;
  return state;
}

// The pools whose message-loop timer is running, by the timer's id: a timer procedure gets
// only the id.
std::vector<std::pair<UINT_PTR, TTimerPool *>> &TickingPools() {
  static std::vector<std::pair<UINT_PTR, TTimerPool *>> pools;
  return pools;
}

} // namespace

TTimerPool *TimerPool() { return State().Pool.get(); }
bool TimersFinalizing() { return State().Finalizing; }

void TimersInitialization() {
  State().Finalizing = false;
  State().Pool = std::make_unique<TTimerPool>();
}

void TimersFinalization() {
  State().Finalizing = true;
  State().Pool.reset();
}

// ---- TPoolTimer ---------------------------------------------------------------------------

TPoolTimer::TPoolTimer(Integer id, Cardinal interval, TPoolTimerEvent onTimer, const TObject *owner)
    : Id(id), Interval(interval), OnTimer(std::move(onTimer)), Owner(owner) {}

void TPoolTimer::Start(DWORD now) {
  if (Dead)
    return;
  StartTick = now;
  Started = true;
}

bool TPoolTimer::IsDue(DWORD now) const {
  if (!Started)
    return false;
  // Unsigned arithmetic gives the elapsed time also across the wrap of the tick count.
  const DWORD elapsed = now - StartTick;
  return elapsed > Interval;
}

void TPoolTimer::Fire() {
  if (OnTimer && !TimersFinalizing())
    OnTimer(this, Id);
}

void TOneShotPoolTimer::Check() {
  if (!IsDue())
    return;
  Stop();
  TScopeExit dead{[this] { MarkDead(); }};
  Fire();
}

// ---- TPoolTimerCollection -----------------------------------------------------------------

TPoolTimerCollection::TPoolTimerCollection() {
  SetSorted(true);
  SetSortActive(true);
  SetOwnsObjects(true);
  SetDuplicates(cdIgnore);
}

Integer TPoolTimerCollection::Compare(TKey key1, TKey key2) {
  const Integer a = static_cast<const TPoolTimer *>(static_cast<const TObject *>(key1))->Id;
  const Integer b = static_cast<const TPoolTimer *>(static_cast<const TObject *>(key2))->Id;
  return a < b ? -1 : (a > b ? 1 : 0);
}

// ---- TTimerPool ---------------------------------------------------------------------------

TTimerPool::TTimerPool() : FProbe(std::make_unique<TPoolTimer>(0, 0, nullptr, nullptr)) {}

TTimerPool::~TTimerPool() {
  StopAll();
  FProbe.reset();
  FTimers.Clear();
  if (FTickTimer != 0) {
    KillTimer(nullptr, FTickTimer);
    std::erase_if(TickingPools(), [this](const auto &p) { return p.second == this; });
  }
}

void TTimerPool::TickProc(HWND, UINT, UINT_PTR idEvent, DWORD) {
  for (const auto &[id, pool] : TickingPools())
    if (id == idEvent) {
      pool->Tick();
      return;
    }
}

void TTimerPool::EnsureTickTimer() {
  if (FTickTimer != 0)
    return;
  FTickTimer = SetTimer(nullptr, 0, static_cast<UINT>(FInterval), &TTimerPool::TickProc);
  if (FTickTimer != 0)
    TickingPools().emplace_back(FTickTimer, this);
}

Integer TTimerPool::NewTimerId() {
  Integer id = 9999;
  if (FTimers.Count() > 0) {
    Integer lowest = 32000, highest = 0;
    for (Integer i = 0; i < FTimers.Count(); ++i) {
      lowest = std::min(lowest, FTimers.Timer(i)->Id);
      highest = std::max(highest, FTimers.Timer(i)->Id);
    }
    id = lowest > 0 ? lowest - 1 : highest + 1;
  }
  FLastId = id;
  return id;
}

Integer TTimerPool::AddOneShot(Cardinal interval, TPoolTimerEvent event, const TObject *owner) {
  EnsureTickTimer();
  auto timer = std::make_unique<TOneShotPoolTimer>(NewTimerId(), interval, std::move(event), owner);
  TPoolTimer *t = timer.get();
  FTimers.Add(timer.release());
  t->Start();
  return t->Id;
}

TPoolTimer *TTimerPool::FindTimer(Integer id) {
  FProbe->Id = id;
  Integer index = 0;
  return FTimers.FindItem(FProbe.get(), index) ? FTimers.Timer(index) : nullptr;
}

void TTimerPool::Remove(const TObject *owner, Integer id) {
  TPoolTimer *t = FindTimer(id);
  if (t && t->Owner == owner) {
    t->Stop();
    t->MarkDead();
  }
}

void TTimerPool::StopAll() {
  for (Integer i = 0; i < FTimers.Count(); ++i) {
    FTimers.Timer(i)->Stop();
    FTimers.Timer(i)->MarkDead();
  }
}

void TTimerPool::Tick() {
  Integer i = FTimers.Count() - 1;
  while (i >= 0) {
    TPoolTimer *t = FTimers.Timer(i);
    if (t->Dead)
      FTimers.Delete(i);
    else
      t->Check();
    --i;
    // Events may have removed timers: continue from the new end instead of past it.
    if (i >= FTimers.Count())
      i = FTimers.Count() - 1;
  }
}

// ---- TTimerPoolComponent ------------------------------------------------------------------

const TClassInfo &TTimerPoolComponent::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TTimerPoolComponent>(&TComponent::StaticClassInfo())
          .Bool(u"Enabled", &TTimerPoolComponent::Enabled, &TTimerPoolComponent::SetEnabled)
          .Default(0)
          .Integer(u"Interval", &TTimerPoolComponent::Interval, &TTimerPoolComponent::SetInterval)
          .Default(1000)
          .Other(u"OnTimer", tkMethod)
          .Build();
  return info;
}

TTimerPoolComponent::TTimerPoolComponent(TComponent *AOwner) : TComponent(AOwner) {}

TTimerPoolComponent::~TTimerPoolComponent() {
  if (FHandle != -1 && TimerPool())
    TimerPool()->Remove(this, FHandle);
}

void TTimerPoolComponent::SetEnabled(bool Value) {
  FEnabled = Value;
  if (!ComponentState().Contains(csDesigning))
    UpdateTimer();
}

void TTimerPoolComponent::SetInterval(Integer Value) {
  FInterval = Value;
  if (!ComponentState().Contains(csDesigning))
    UpdateTimer();
}

void TTimerPoolComponent::DoTimer(TObject *, Integer Id) {
  if (Id != FHandle)
    throw ETimerError(STimerHandleMismatch);
  if (OnTimer && !TimersFinalizing())
    OnTimer(this);
}

// ---- TOneShotTimer ------------------------------------------------------------------------

const TClassInfo &TOneShotTimer::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TOneShotTimer>(&TTimerPoolComponent::StaticClassInfo())
          .Bool(u"Retriggerable", &TOneShotTimer::Retriggerable, &TOneShotTimer::SetRetriggerable)
          .Build();
  return info;
}

TOneShotTimer::TOneShotTimer(TComponent *AOwner) : TTimerPoolComponent(AOwner) {}

void TOneShotTimer::SetEnabled(bool Value) {
  if (Value && FEnabled && !FRetriggerable)
    return;
  TTimerPoolComponent::SetEnabled(Value);
}

void TOneShotTimer::UpdateTimer() {
  TTimerPool *pool = TimerPool();
  if (FHandle != -1 && pool)
    pool->Remove(this, FHandle);
  FHandle = -1;
  if (FEnabled && pool)
    FHandle = pool->AddOneShot(
        static_cast<Cardinal>(FInterval),
        [this](TObject *Sender, Integer Id) { DoTimer(Sender, Id); }, this);
}

} // namespace krx
