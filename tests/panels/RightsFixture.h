// A system whose port is open on an in-memory line, with units of every family and their
// simulated twins (UnitTwins.h); a second user, "Guest", becomes the current one with the
// rights a case gives. Windows are driven with Qt's own events (WindowInput.h).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/model/User.h"
#include "core/system/System.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/processor/ProcessorFamily.h"
#include "tests/support/UnitTwins.h"
#include "tests/support/WindowInput.h"

// Every right a restriction mask can withhold here.
inline constexpr std::uint64_t kEveryRight = kRestrictChangePassword | kRestrictUseDeviceControls |
                                             kRestrictRecallPresets | kRestrictApplicationSettings |
                                             kRestrictEditDeviceProperties | kRestrictRecallSnapshots;

// Zel-2 amplifier and Zel breakout box of 8 channels; the rights of controls and of names.
inline constexpr std::uint32_t kZel2 = 51;
inline constexpr std::uint32_t kBox8 = 40;
inline constexpr std::uint64_t kControls = kRestrictUseDeviceControls;
inline constexpr std::uint64_t kNames = kRestrictEditDeviceProperties;

class RightsFixture : public ::testing::Test {
 public:
  void SetUp() override {
    RegisterProcessorFamily();
    RegisterAmplifierFamilies();
    ASSERT_TRUE(twins.OpenPort());
    system.Users().GetUsers().push_back(new CUser("Guest", "guest"));
  }
  void TearDown() override { twins.ClosePort(); }

  CDevice* AddUnit(std::uint32_t type, std::uint32_t id, std::uint32_t hardware = 0) {
    return twins.Add(type, id, hardware);
  }
  std::size_t DeliverQueued(CDevice& device) { return twins.DeliverQueued(device); }

  // The guest becomes the current user, withholding the rights of the mask.
  void BecomeGuest(std::uint64_t mask) {
    system.Users().GetUsers().back()->SetRestrictionMask(mask);
    system.Users().SetCurrentUser(int(system.Users().GetUsers().size()) - 1);
  }
  void BecomeAdmin() { system.Users().SetCurrentUser(0); }

  // Runs the act on the device's control and reads what the unit holds before and after (the
  // frames queued before the act reach it first): for a user without the right no frame
  // leaves and nothing changes; for one with it the unit holds something else.
  void ExpectAChangeOnlyWithTheRight(CDevice& device, bool withheld, const std::function<void()>& act,
                                     const std::function<std::string()>& holds) {
    DeliverQueued(device);
    const std::string before = holds();
    act();
    const std::size_t frames = DeliverQueued(device);
    const std::string after = holds();
    if (withheld) {
      EXPECT_EQ(frames, 0u) << "a frame left for a user without the right";
      EXPECT_EQ(after, before);
    } else {
      EXPECT_NE(after, before) << "the unit holds " << after;
    }
  }

  CSystem system;
  CUnitTwins twins{system};
};

// One run of a case that needs the rights of its field rights: the guest holds them (and lacks
// every other right), or lacks one of them (and holds every other one).
template <class Case>
struct RightsRun {
  const Case* c;
  std::uint64_t withheld;  // 0: the guest holds what the case needs
};

// Every run of every case: held, then each right it needs withheld in turn.
template <class Case, std::size_t N>
std::vector<RightsRun<Case>> RightsRuns(const Case (&cases)[N]) {
  std::vector<RightsRun<Case>> runs;
  for (const Case& c : cases) {
    runs.push_back({&c, 0});
    for (std::uint64_t bit = 1; bit <= kEveryRight; bit <<= 1)
      if (c.rights & bit) runs.push_back({&c, bit});
  }
  return runs;
}

// "<case>_Held" or "<case>_Withheld<bit>".
template <class Case>
std::string RightsRunName(const ::testing::TestParamInfo<RightsRun<Case>>& info) {
  const RightsRun<Case>& run = info.param;
  return std::string(run.c->name) + (run.withheld == 0 ? "_Held" : "_Withheld" + std::to_string(run.withheld));
}
