// The reply timer on its own: started on the program's clock for the reply time-out, started
// again from the new tick, and forgotten when cleared.
#include <gtest/gtest.h>

#include "core/model/ReplyTimer.h"
#include "platform/Clock.h"

namespace {

class ReplyTimerTest : public ::testing::Test {
 protected:
  void SetUp() override { SetClockForTests(&clock); }
  void TearDown() override { SetClockForTests(nullptr); }
  CManualClock clock;
  CReplyTimer timer;
};

}  // namespace

TEST_F(ReplyTimerTest, NewTimer_IsNotRunning) {
  EXPECT_EQ(timer.GetStart(), 0u);
  EXPECT_EQ(timer.GetTimeout(), 0u);
}

TEST_F(ReplyTimerTest, Start_TakesTheClockTickAndRestartMovesIt) {
  clock.SetTick(5000);
  timer.StartReplyTimer();
  EXPECT_EQ(timer.GetStart(), 5000u);
  EXPECT_EQ(timer.GetTimeout(), kReplyTimeoutMs);
  clock.AdvanceMs(3000);
  timer.StartReplyTimer();
  EXPECT_EQ(timer.GetStart(), 8000u);
  EXPECT_EQ(timer.GetTimeout(), kReplyTimeoutMs);
}

TEST_F(ReplyTimerTest, Clear_ForgetsStartAndTimeout) {
  clock.SetTick(42);
  timer.StartReplyTimer();
  timer.Clear();
  EXPECT_EQ(timer.GetStart(), 0u);
  EXPECT_EQ(timer.GetTimeout(), 0u);
}
