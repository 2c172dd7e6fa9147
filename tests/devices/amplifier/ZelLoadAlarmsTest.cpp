// The Zel amplifier's load alarms on their own: OK and Check by what the unit reports and the
// window, and the edges each report raises or clears.
#include <gtest/gtest.h>

#include <vector>

#include "devices/amplifier/ZelLoadAlarms.h"

namespace {

struct LedCase {
  ZelChannelLoad load;
  bool ok;
  bool check;
};

class ZelLoadLedTest : public ::testing::TestWithParam<LedCase> {};

TEST_P(ZelLoadLedTest, OkAndCheckShowOnlyWhileTheLoadIsMonitored) {
  const LedCase& c = GetParam();
  EXPECT_EQ(CZelLoadAlarms::IsOk(c.load), c.ok);
  EXPECT_EQ(CZelLoadAlarms::IsCheck(c.load), c.check);
  EXPECT_FALSE(CZelLoadAlarms::IsOk(c.load) && CZelLoadAlarms::IsCheck(c.load));
}

INSTANTIATE_TEST_SUITE_P(
    Loads, ZelLoadLedTest,
    ::testing::Values(LedCase{{false, 0, 10}, true, false},   // monitored, no fault
                      LedCase{{true, 0, 10}, false, true},    // monitored, fault
                      LedCase{{true, 0, 0}, false, false},    // no window: not monitored
                      LedCase{{false, 0, 0}, false, false},   //
                      LedCase{{true, 3, 10}, false, false},   // the unit does not monitor
                      LedCase{{false, 1, 100}, false, false}  //
                      ));

const ZelChannelLoad kQuiet{false, 0, 10};
const ZelChannelLoad kFault{true, 0, 10};
const ZelChannelLoad kFaultUnmonitored{true, 0, 0};

TEST(ZelLoadAlarmsTest, AFaultRaisesItsAlarmOnceAndItsEndClearsIt) {
  CZelLoadAlarms alarms;
  using Edge = CZelLoadAlarms::Edge;
  EXPECT_TRUE(alarms.Follow({kQuiet, kQuiet}, false).empty());
  EXPECT_EQ(alarms.Follow({kQuiet, kFault}, false), (std::vector<Edge>{{1, true}}));
  EXPECT_TRUE(alarms.IsRaised(1));
  EXPECT_TRUE(alarms.AnyRaised());
  // The same report again: no new edge while the warning stands.
  EXPECT_TRUE(alarms.Follow({kQuiet, kFault}, true).empty());
  // A window set to 0 ends monitoring: the alarm clears under the standing fault.
  EXPECT_EQ(alarms.Follow({kQuiet, kFaultUnmonitored}, true), (std::vector<Edge>{{1, false}}));
  EXPECT_FALSE(alarms.AnyRaised());
}

TEST(ZelLoadAlarmsTest, EdgesComeInChannelOrder) {
  CZelLoadAlarms alarms;
  using Edge = CZelLoadAlarms::Edge;
  EXPECT_EQ(alarms.Follow({kFault, kQuiet, kFault, kFault}, false),
            (std::vector<Edge>{{0, true}, {2, true}, {3, true}}));
  EXPECT_EQ(alarms.Follow({kQuiet, kFault, kFault, kQuiet}, true),
            (std::vector<Edge>{{0, false}, {1, true}, {3, false}}));
}

TEST(ZelLoadAlarmsTest, AClearedWarningOrAForgetRaisesAStandingCheckAgain) {
  CZelLoadAlarms alarms;
  using Edge = CZelLoadAlarms::Edge;
  ASSERT_EQ(alarms.Follow({kFault}, false).size(), 1u);
  // The warnings were cleared meanwhile (the unit was away): the fault is told again.
  EXPECT_EQ(alarms.Follow({kFault}, false), (std::vector<Edge>{{0, true}}));
  alarms.Forget();
  EXPECT_FALSE(alarms.IsRaised(0));
  EXPECT_EQ(alarms.Follow({kFault}, true), (std::vector<Edge>{{0, true}}));
}

TEST(ZelLoadAlarmsTest, ChannelsBeyondEightAreLeftOut) {
  CZelLoadAlarms alarms;
  const std::vector<ZelChannelLoad> many(10, kFault);
  EXPECT_EQ(alarms.Follow(many, false).size(), 8u);
  EXPECT_FALSE(alarms.IsRaised(8));
  EXPECT_FALSE(alarms.IsRaised(-1));
}

}  // namespace
