// What a device's windows show of its unit's own values, on its own: the announcing of a unit's
// values nests and ends however its body is left, and a device offline is never away online, so
// its changes are not refused.
#include <gtest/gtest.h>

#include <stdexcept>

#include "core/system/System.h"
#include "tests/support/TestDevices.h"

namespace {

class HeldValuesTest : public ::testing::Test {
 protected:
  CSystem system;
  CTestDevice device{&system, 5};
};

}  // namespace

TEST_F(HeldValuesTest, Announce_NestsAndEndsWithItsOutermostBody) {
  CHeldValues& held = device.HeldValues();
  EXPECT_FALSE(held.IsAnnouncingUnitValues());
  held.AnnounceUnitValues([&] {
    EXPECT_TRUE(held.IsAnnouncingUnitValues());
    held.AnnounceUnitValues([&] { EXPECT_TRUE(held.IsAnnouncingUnitValues()); });
    EXPECT_TRUE(held.IsAnnouncingUnitValues());
  });
  EXPECT_FALSE(held.IsAnnouncingUnitValues());
}

TEST_F(HeldValuesTest, Announce_AThrowingBodyStillEndsTheAnnouncing) {
  CHeldValues& held = device.HeldValues();
  EXPECT_THROW(held.AnnounceUnitValues([] { throw std::runtime_error("stop"); }), std::runtime_error);
  EXPECT_FALSE(held.IsAnnouncingUnitValues());
}

TEST_F(HeldValuesTest, Offline_NotAwayAndNoChangeRefused) {
  ASSERT_FALSE(system.IsPortOpen());
  EXPECT_FALSE(device.HeldValues().IsAwayOnline());
  EXPECT_FALSE(device.HeldValues().RefuseChangeWhileAway(1));
}
