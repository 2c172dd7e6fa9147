#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/Clock.h"
#include "platform/Sync.h"

TEST(Clock, TickDifferenceSurvivesWrap) {
  EXPECT_EQ(TicksSince(0xFFFFFFF0u, 0x10u), 0x20u);
  CManualClock clock;
  clock.SetTick(0xFFFFFFFFu);
  SetClockForTests(&clock);
  std::uint32_t start = GetTickCount();
  clock.AdvanceMs(5);
  EXPECT_EQ(TicksSince(start, GetTickCount()), 5u);
  EXPECT_EQ(QueryPerformanceCounter(), 5000);
  SetClockForTests(nullptr);
  EXPECT_GT(QueryPerformanceFrequency(), 1000);
}

// A held tick count is what this thread reads, nested holds give way in turn, and every other
// thread reads the clock all the while.
TEST(Clock, AHeldTickCountHoldsOnItsOwnThreadOnly) {
  CManualClock clock;
  clock.SetTick(500);
  SetClockForTests(&clock);
  {
    const CHeldTickCount held(7);
    EXPECT_EQ(GetTickCount(), 7u);
    {
      const CHeldTickCount inner(9);
      EXPECT_EQ(GetTickCount(), 9u);
    }
    EXPECT_EQ(GetTickCount(), 7u);
    std::uint32_t elsewhere = 0;
    std::thread other([&] { elsewhere = GetTickCount(); });
    other.join();
    EXPECT_EQ(elsewhere, 500u);
  }
  EXPECT_EQ(GetTickCount(), 500u);
  SetClockForTests(nullptr);
}

TEST(ManualResetEvent, StartsUnsetAndStaysSetUntilReset) {
  CManualResetEvent ev;
  EXPECT_FALSE(ev.IsSet());
  EXPECT_FALSE(ev.Wait(0));
  ev.Set();
  EXPECT_TRUE(ev.Wait(0));
  EXPECT_TRUE(ev.Wait(10));
  ev.Reset();
  EXPECT_FALSE(ev.Wait(5));
}

TEST(ManualResetEvent, WakesEveryWaiter) {
  CManualResetEvent ev;
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) waiters.emplace_back([&] { if (ev.Wait(5000)) ++woken; });
  ev.Set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(woken, 3);
}

TEST(AutoResetEvent, WakesOneWaitAndResetsItself) {
  CAutoResetEvent ev;
  EXPECT_FALSE(ev.Wait(0));
  ev.Set();
  ev.Set();  // still one wake
  EXPECT_TRUE(ev.Wait(0));
  EXPECT_FALSE(ev.Wait(0));
  std::thread setter([&] { ev.Set(); });
  EXPECT_TRUE(ev.Wait(INFINITE_WAIT));
  setter.join();
}

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads) {
  CCriticalSection cs;
  CSingleLock outer(cs);
  {
    CSingleLock inner(cs);
  }
  bool other = true;
  std::thread t([&] { other = cs.TryEnter(); if (other) cs.Leave(); });
  t.join();
  EXPECT_FALSE(other);
}

TEST(WorkerThread, RunsAtLowPriorityAndJoinsWithLimit) {
  CWorkerThread worker;
  CManualResetEvent release;
  ASSERT_TRUE(worker.Start([&] { release.Wait(5000); }, true));
  EXPECT_TRUE(worker.IsRunning());
  EXPECT_FALSE(worker.Start([] {}, false));
  EXPECT_FALSE(worker.Join(20));
  release.Set();
  EXPECT_TRUE(worker.Join(5000));
  EXPECT_FALSE(worker.IsRunning());
}
