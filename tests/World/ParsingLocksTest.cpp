#include "World/ParsingLocks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace krx {
namespace {

TEST(ParsingLock, NestsOnOneThreadAndExcludesOthers) {
  std::atomic<int> inside{0};
  std::atomic<bool> overlap{false};
  auto work = [&] {
    for (int i = 0; i < 2000; ++i) {
      TParsingLock outer;
      TParsingLock inner; // nesting on one thread does not block
      if (inside.fetch_add(1) != 0)
        overlap = true;
      inside.fetch_sub(1);
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_FALSE(overlap);

  // Another thread waits while this one holds the lock.
  std::atomic<bool> entered{false};
  EnterParsingLock();
  std::thread t([&] {
    TParsingLock lock;
    entered = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(entered);
  LeaveParsingLock();
  t.join();
  EXPECT_TRUE(entered);
}

} // namespace
} // namespace krx
