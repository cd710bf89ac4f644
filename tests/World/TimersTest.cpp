#include "World/Timers.h"

#include <gtest/gtest.h>

#include <chrono>

namespace krx {
namespace {

// Moves the tick count forward for the lifetime of the guard.
class TTickShift {
public:
  TTickShift() = default;
  ~TTickShift() { SetTickCountBias(0); }
  void Advance(DWORD ms) {
    FBias += ms;
    SetTickCountBias(FBias);
  }

private:
  DWORD FBias = 0;
};

class TimerPoolTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_NE(TimerPool(), nullptr);
    TimerPool()->StopAll();
    TimerPool()->Tick(); // frees what earlier tests left
  }
  TTickShift Ticks;
};

TEST(PoolTimer, DueOnlyAfterMoreThanTheIntervalAlsoAcrossTheTickWrap) {
  TPoolTimer t(1, 500, nullptr, nullptr);
  EXPECT_FALSE(t.IsDue(1000)); // not started
  t.Start(0xFFFFFFFFu - 295); // 296 ticks before the wrap
  // Not due anywhere before the interval has passed, on either side of the wrap.
  for (DWORD now : {0xFFFFFFFFu - 295, 0xFFFFFFFFu - 1, 0xFFFFFFFFu, 0u, 1u, 100u, 204u})
    EXPECT_FALSE(t.IsDue(now)) << now;
  EXPECT_TRUE(t.IsDue(205)); // elapsed 501
  t.MarkDead();
  t.Stop();
  t.Start(7);
  EXPECT_FALSE(t.Started); // a dead timer is never restarted
}

TEST_F(TimerPoolTest, IdsCountDownAndAreReused) {
  TTimerPool pool;
  TObject owner;
  EXPECT_EQ(pool.AddOneShot(100, nullptr, &owner), 9999);
  EXPECT_EQ(pool.AddOneShot(100, nullptr, &owner), 9998);
  for (int i = 0; i < 9997; ++i)
    pool.AddOneShot(100, nullptr, &owner);
  EXPECT_EQ(pool.LastId(), 1);
  EXPECT_EQ(pool.AddOneShot(100, nullptr, &owner), 0);
  EXPECT_EQ(pool.AddOneShot(100, nullptr, &owner), 10000); // the largest plus one
  // A dead timer keeps its id until the next tick frees it.
  pool.Remove(&owner, 10000);
  EXPECT_EQ(pool.AddOneShot(100, nullptr, &owner), 10001);
  pool.Tick();
  EXPECT_EQ(pool.FindTimer(10000), nullptr);
  EXPECT_EQ(pool.Count(), 10001);
}

TEST_F(TimerPoolTest, RemoveOnlyTouchesTheOwnersTimer) {
  TTimerPool pool;
  TObject a, b;
  Integer id = pool.AddOneShot(100, nullptr, &a);
  pool.Remove(&b, id);
  EXPECT_FALSE(pool.FindTimer(id)->Dead);
  pool.Remove(&a, id);
  EXPECT_TRUE(pool.FindTimer(id)->Dead);
  pool.Remove(&a, 4711); // unknown id: nothing
}

TEST_F(TimerPoolTest, OneShotFiresOnceAtTheFirstTickAfterItIsDue) {
  TTimerPool pool;
  TObject owner;
  std::vector<Integer> fired;
  Integer id = pool.AddOneShot(
      500,
      [&](TObject *sender, Integer timerId) {
        EXPECT_EQ(static_cast<TPoolTimer *>(sender)->Id, timerId);
        fired.push_back(timerId);
      },
      &owner);
  pool.Tick();
  EXPECT_TRUE(fired.empty());
  Ticks.Advance(600);
  pool.Tick();
  pool.Tick();
  EXPECT_EQ(fired, std::vector<Integer>{id});
  EXPECT_EQ(pool.Count(), 0); // dead after firing, freed by the next tick
}

TEST_F(TimerPoolTest, EventsThatAddRemoveOrTickAgainDoNotDisturbTheWalk) {
  TTimerPool pool;
  TObject owner;
  std::vector<String> log;
  std::vector<Integer> ids(4);
  // Fired from the last id to the first: 9996, 9997, 9998, 9999 are ids[3]..ids[0].
  ids[0] = pool.AddOneShot(
      10,
      [&](TObject *, Integer) {
        log.push_back(u"a");
        // Removes two others and ticks again, as a modal loop inside an event would.
        pool.Remove(&owner, ids[1]);
        pool.Remove(&owner, ids[2]);
        pool.Tick();
        pool.AddOneShot(
            10, [&](TObject *, Integer) { log.push_back(u"added"); }, &owner);
      },
      &owner);
  ids[1] = pool.AddOneShot(
      10, [&](TObject *, Integer) { log.push_back(u"b"); }, &owner);
  ids[2] = pool.AddOneShot(
      10, [&](TObject *, Integer) { log.push_back(u"c"); }, &owner);
  ids[3] = pool.AddOneShot(
      10, [&](TObject *, Integer) { log.push_back(u"d"); }, &owner);
  Ticks.Advance(50);
  pool.Tick();
  EXPECT_EQ(log, (std::vector<String>{u"a", u"d"}));
  Ticks.Advance(50);
  pool.Tick();
  pool.Tick();
  EXPECT_EQ(log, (std::vector<String>{u"a", u"d", u"added"}));
  EXPECT_EQ(pool.Count(), 0);
}

TEST_F(TimerPoolTest, AnEventThatRaisesLeavesItsTimerDead) {
  TTimerPool pool;
  TObject owner;
  Integer id = pool.AddOneShot(
      10, [](TObject *, Integer) { throw EAbort(u"stop"); }, &owner);
  Ticks.Advance(50);
  EXPECT_THROW(pool.Tick(), EAbort);
  EXPECT_TRUE(pool.FindTimer(id)->Dead);
  EXPECT_NO_THROW(pool.Tick());
  EXPECT_EQ(pool.Count(), 0);
}

TEST_F(TimerPoolTest, OneShotComponentArmsFiresAndRetriggers) {
  TOneShotTimer timer(nullptr);
  EXPECT_FALSE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 1000);
  EXPECT_TRUE(timer.Retriggerable());
  EXPECT_EQ(timer.Handle(), -1);
  int fired = 0;
  timer.OnTimer = [&](TObject *sender) {
    EXPECT_EQ(sender, &timer);
    ++fired;
  };
  timer.SetInterval(200);
  EXPECT_EQ(timer.Handle(), -1); // not enabled: nothing armed
  timer.SetEnabled(true);
  Integer first = timer.Handle();
  EXPECT_NE(first, -1);
  Ticks.Advance(300);
  TimerPool()->Tick();
  EXPECT_EQ(fired, 1);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(timer.Handle(), first); // the old id stays after firing
  Ticks.Advance(300);
  TimerPool()->Tick();
  EXPECT_EQ(fired, 1);    // once per arming
  timer.SetEnabled(true); // retriggerable: armed again (the freed id may be reused)
  ASSERT_NE(TimerPool()->FindTimer(timer.Handle()), nullptr);
  EXPECT_FALSE(TimerPool()->FindTimer(timer.Handle())->Dead);
  Ticks.Advance(300);
  TimerPool()->Tick();
  EXPECT_EQ(fired, 2);
  // A new interval while enabled re-arms it, also after it has fired.
  timer.SetInterval(100);
  Ticks.Advance(300);
  TimerPool()->Tick();
  EXPECT_EQ(fired, 3);
  timer.SetEnabled(false);
  EXPECT_EQ(timer.Handle(), -1);
}

TEST_F(TimerPoolTest, NonRetriggerableTimerMustBeDisabledFirst) {
  TOneShotTimer timer(nullptr);
  timer.SetRetriggerable(false);
  int fired = 0;
  timer.OnTimer = [&](TObject *) { ++fired; };
  timer.SetInterval(100);
  timer.SetEnabled(true);
  Ticks.Advance(200);
  TimerPool()->Tick();
  timer.SetEnabled(true); // ignored
  Ticks.Advance(200);
  TimerPool()->Tick();
  EXPECT_EQ(fired, 1);
  timer.SetEnabled(false);
  timer.SetEnabled(true);
  Ticks.Advance(200);
  TimerPool()->Tick();
  EXPECT_EQ(fired, 2);
}

TEST_F(TimerPoolTest, DesignModeArmsNothing) {
  TOneShotTimer timer(nullptr);
  timer.SetDesigning(true);
  timer.SetEnabled(true);
  timer.SetInterval(50);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(timer.Handle(), -1);
  EXPECT_EQ(TimerPool()->Count(), 0);
}

TEST_F(TimerPoolTest, DestroyingAComponentRemovesItsTimer) {
  int fired = 0;
  {
    TComponent owner(nullptr);
    auto *timer = new TOneShotTimer(&owner);
    timer->OnTimer = [&](TObject *) { ++fired; };
    timer->SetInterval(10);
    timer->SetEnabled(true);
  }
  Ticks.Advance(100);
  TimerPool()->Tick();
  EXPECT_EQ(fired, 0);
}

struct TProbeTimer : TOneShotTimer {
  using TOneShotTimer::DoTimer;
  using TOneShotTimer::TOneShotTimer;
};

TEST_F(TimerPoolTest, AForeignHandleIsAnError) {
  TProbeTimer timer(nullptr);
  timer.SetEnabled(true);
  try {
    timer.DoTimer(nullptr, timer.Handle() + 1);
    ADD_FAILURE() << "no exception";
  } catch (const ETimerError &e) {
    EXPECT_EQ(e.Message(), u"Timer pool handles do not match");
  }
}

TEST_F(TimerPoolTest, DrivenByTheMessageLoopTimer) {
  TOneShotTimer timer(nullptr);
  int fired = 0;
  timer.OnTimer = [&](TObject *) { ++fired; };
  timer.SetInterval(5); // fires at the next tick of the 100 ms pool timer
  timer.SetEnabled(true);
  EXPECT_TRUE(TimerPool()->HasTickTimer());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  MSG msg;
  while (fired == 0 && std::chrono::steady_clock::now() < deadline) {
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&msg);
    else
      WaitMessage();
  }
  EXPECT_EQ(fired, 1);
}

TEST_F(TimerPoolTest, SilentAfterFinalisation) {
  int fired = 0;
  auto timer = std::make_unique<TOneShotTimer>(nullptr);
  timer->OnTimer = [&](TObject *) { ++fired; };
  timer->SetInterval(10);
  timer->SetEnabled(true);
  TPoolTimer *pooled = TimerPool()->FindTimer(timer->Handle());
  ASSERT_NE(pooled, nullptr);
  TimersFinalization();
  EXPECT_TRUE(TimersFinalizing());
  EXPECT_EQ(TimerPool(), nullptr);
  // Freed later than the pool: finds no pool and removes nothing.
  timer.reset();
  TimersInitialization();
  EXPECT_FALSE(TimersFinalizing());
  // A timer whose event runs while finalising stays silent.
  TTimerPool pool;
  TObject owner;
  pool.AddOneShot(
      10, [&](TObject *, Integer) { ++fired; }, &owner);
  Ticks.Advance(100);
  TimersFinalization();
  pool.Tick();
  TimersInitialization();
  EXPECT_EQ(fired, 0);
}

} // namespace
} // namespace krx
