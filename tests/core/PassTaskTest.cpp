// The steps of a comms pass as coroutines on their own: a step that waits returns to its owner,
// which resumes it later; results and exceptions travel up through the steps that awaited them;
// a pass ended while it waits lets go of everything its steps hold.
#include "core/comms/PassTask.h"

#include <gtest/gtest.h>

#include <coroutine>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/support/ScopeGuard.h"

namespace {

// What the steps wait on: a wait records the step that waits, as the security pass does, and
// the owner resumes it.
struct CWaitPoint {
  std::coroutine_handle<> waiting;
  bool over = false;

  auto Wait() {
    struct Awaiter {
      CWaitPoint& point;
      bool await_ready() const noexcept { return point.over; }
      void await_suspend(std::coroutine_handle<> step) noexcept { point.waiting = step; }
      void await_resume() const noexcept {}
    };
    return Awaiter{*this};
  }
  // The owner's turn: goes on with the waiting step.
  void Resume() { std::exchange(waiting, {}).resume(); }
};

CPassTask<int> Answer(CWaitPoint& point, std::vector<std::string>& log, int value) {
  log.push_back("asks");
  co_await point.Wait();
  log.push_back("answered");
  co_return value;
}

CPassTask<void> Nothing(std::vector<std::string>& log) {
  log.push_back("nothing");
  co_return;
}

CPassTask<int> Pass(CWaitPoint& point, std::vector<std::string>& log) {
  co_await Nothing(log);
  const int first = co_await Answer(point, log, 2);
  const int second = co_await Answer(point, log, 3);
  co_return first * 10 + second;
}

TEST(PassTask, AStepThatWaitsReturnsToItsOwnerAndItsResultReachesThePassWhenResumed) {
  CWaitPoint point;
  std::vector<std::string> log;
  CPassTask<int> pass = Pass(point, log);
  EXPECT_TRUE(log.empty());  // nothing runs until the owner starts it
  pass.Start();
  EXPECT_EQ(log, (std::vector<std::string>{"nothing", "asks"}));
  EXPECT_FALSE(pass.IsDone());
  ASSERT_TRUE(point.waiting);

  point.Resume();
  EXPECT_EQ(log.back(), "asks");  // the second question waits
  EXPECT_FALSE(pass.IsDone());

  point.Resume();
  ASSERT_TRUE(pass.IsDone());
  EXPECT_EQ(pass.TakeResult(), 23);
  EXPECT_EQ(log, (std::vector<std::string>{"nothing", "asks", "answered", "asks", "answered"}));
}

TEST(PassTask, AWaitThatIsOverAlreadyGoesOnWithoutReturningToTheOwner) {
  CWaitPoint point;
  point.over = true;
  std::vector<std::string> log;
  CPassTask<int> pass = Pass(point, log);
  pass.Start();
  ASSERT_TRUE(pass.IsDone());
  EXPECT_EQ(pass.TakeResult(), 23);
  EXPECT_FALSE(point.waiting);
}

CPassTask<int> Throws(CWaitPoint& point) {
  co_await point.Wait();
  throw std::runtime_error("the step failed");
}

CPassTask<int> Outer(CWaitPoint& point, std::string& caught) {
  try {
    co_return co_await Throws(point);
  } catch (const std::runtime_error& e) {
    caught = e.what();
  }
  co_return -1;
}

TEST(PassTask, AnExceptionOfAStepReachesTheStepThatAwaitedIt) {
  CWaitPoint point;
  std::string caught;
  CPassTask<int> pass = Outer(point, caught);
  pass.Start();
  point.Resume();
  ASSERT_TRUE(pass.IsDone());
  EXPECT_EQ(pass.TakeResult(), -1);
  EXPECT_EQ(caught, "the step failed");
}

TEST(PassTask, AnExceptionThatLeavesThePassIsThrownToItsOwner) {
  CWaitPoint point;
  CPassTask<int> pass = Throws(point);
  pass.Start();
  point.Resume();
  ASSERT_TRUE(pass.IsDone());
  EXPECT_THROW(pass.TakeResult(), std::runtime_error);
}

CPassTask<void> Holding(CWaitPoint& point, int& held) {
  ++held;
  CScopeGuard release([&held] { --held; });
  co_await point.Wait();
}

CPassTask<void> OuterHolding(CWaitPoint& point, int& held) {
  ++held;
  CScopeGuard release([&held] { --held; });
  co_await Holding(point, held);
}

TEST(PassTask, APassEndedWhileItWaitsLetsGoOfWhatEveryStepHolds) {
  CWaitPoint point;
  int held = 0;
  {
    CPassTask<void> pass = OuterHolding(point, held);
    pass.Start();
    EXPECT_EQ(held, 2);
    EXPECT_FALSE(pass.IsDone());
  }
  EXPECT_EQ(held, 0);
}

TEST(PassTask, AMovedPassIsOwnedOnceAndAnEmptyOneIsNotUnderWay) {
  CWaitPoint point;
  int held = 0;
  CPassTask<void> owner;
  EXPECT_FALSE(owner.IsValid());
  {
    CPassTask<void> pass = OuterHolding(point, held);
    pass.Start();
    owner = std::move(pass);
  }
  EXPECT_EQ(held, 2);  // the first owner's end ended nothing
  ASSERT_TRUE(owner.IsValid());
  point.Resume();
  EXPECT_TRUE(owner.IsDone());
  EXPECT_EQ(held, 0);
  owner = {};
  EXPECT_FALSE(owner.IsValid());
}

}  // namespace
