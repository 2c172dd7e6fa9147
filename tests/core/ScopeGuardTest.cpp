// The scope guards: what they undo on every way out of a scope, and what they leave alone.
#include "core/support/ScopeGuard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// How a scope is left.
enum class Exit { kEnd, kThrow };

void LeaveScope(Exit exit, const std::function<void()>& inside) {
  inside();
  if (exit == Exit::kThrow) throw std::runtime_error("left by an exception");
}

class ScopeGuardExits : public ::testing::TestWithParam<Exit> {
 protected:
  // Runs body in a scope left the way the parameter says; an exception is caught outside it.
  template <class Body>
  void RunScope(Body&& body) {
    try {
      body();
    } catch (const std::runtime_error&) {
      EXPECT_EQ(GetParam(), Exit::kThrow);
    }
  }
};

TEST_P(ScopeGuardExits, TheUndoRunsOnceHoweverTheScopeIsLeft) {
  int undone = 0;
  RunScope([&] {
    CScopeGuard guard([&] { ++undone; });
    LeaveScope(GetParam(), [&] { EXPECT_EQ(undone, 0); });
  });
  EXPECT_EQ(undone, 1);
}

TEST_P(ScopeGuardExits, AScopedValueIsPutBackHoweverTheScopeIsLeft) {
  std::string text = "before";
  const int* pointer = nullptr;
  const int here = 5;
  RunScope([&] {
    CScopedValue keepText(text, "inside");
    CScopedValue keepPointer(pointer, &here);
    LeaveScope(GetParam(), [&] {
      EXPECT_EQ(text, "inside");
      EXPECT_EQ(pointer, &here);
    });
  });
  EXPECT_EQ(text, "before");
  EXPECT_EQ(pointer, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Exits, ScopeGuardExits, ::testing::Values(Exit::kEnd, Exit::kThrow),
                         [](const ::testing::TestParamInfo<Exit>& info) {
                           return std::string(info.param == Exit::kThrow ? "Exception" : "End");
                         });

TEST(ScopeGuard, ADismissedGuardLeavesEverythingAsItIs) {
  int undone = 0;
  {
    CScopeGuard guard([&] { ++undone; });
    guard.Dismiss();
  }
  EXPECT_EQ(undone, 0);
}

TEST(ScopeGuard, GuardsEndInReverseOrderSoNestedOnesUnwindLikeCalls) {
  std::vector<int> order;
  {
    CScopeGuard first([&] { order.push_back(1); });
    CScopeGuard second([&] { order.push_back(2); });
  }
  EXPECT_EQ(order, (std::vector<int>{2, 1}));
}

TEST(ScopedValue, NestedValuesOfOneVariableComeBackInTurn) {
  int depth = 0;
  {
    CScopedValue outer(depth, 1);
    {
      CScopedValue inner(depth, 2);
      EXPECT_EQ(inner.Saved(), 1);
      EXPECT_EQ(depth, 2);
    }
    EXPECT_EQ(depth, 1);
  }
  EXPECT_EQ(depth, 0);
}

TEST(ScopedValue, WhatWasStoredMeanwhileIsOverwrittenByTheSavedValue) {
  bool flag = false;
  {
    CScopedValue on(flag, true);
    flag = false;
  }
  EXPECT_FALSE(flag);
  {
    CScopedValue on(flag, true);
  }
  EXPECT_FALSE(flag);
}

TEST(ScopedValue, AnAtomicFlagIsSetAndPutBack) {
  std::atomic<bool> reading{false};
  {
    CScopedValue on(reading, true);
    EXPECT_TRUE(reading.load());
  }
  EXPECT_FALSE(reading.load());
  reading = true;
  {
    CScopedValue off(reading, false);
    EXPECT_FALSE(reading.load());
  }
  EXPECT_TRUE(reading.load());
}

}  // namespace
