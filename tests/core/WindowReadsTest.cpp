// What the window thread reads of the document while the comms worker changes it under the
// system's lock, the two run side by side: the current user's rights, which every click, key
// and panel redraw asks, beside a user import, which deletes the users it replaces; a Zel
// amplifier's settings edited in the properties pane while its unit's reports arrive. The
// program also runs under ThreadSanitizer and AddressSanitizer (scripts/sanitize.sh), which
// report any of these reads that the lock does not cover.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>

#include "core/model/DeviceHost.h"
#include "core/model/DeviceProperty.h"
#include "core/model/User.h"
#include "core/system/System.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "platform/Sync.h"
#include "tests/devices/amplifier/ZelAmpFixture.h"
#include "tests/support/TestDevices.h"

namespace {

// The users of a unit's table: an administrator named admin with the mask given, and a guest.
CUserList UnitUsers(const std::string& admin, std::uint64_t mask) {
  CUserList users{new CUser(admin, "pw"), new CUser("Guest", "guest")};
  users[0]->SetRestrictionMask(mask);
  users[1]->SetRestrictionMask(kRestrictUseDeviceControls);
  return users;
}

}  // namespace

TEST(WindowReadsTest, TheCurrentUsersRightsAreReadWhileAUserImportReplacesTheUsers) {
  CSystem system;
  auto* device = new CTestDevice(&system, 1);
  system.AppendDevice(device);
  system.Users().GetUsers().push_back(new CUser("Stage", "pw"));
  system.Users().GetUsers().back()->SetRestrictionMask(kRestrictRecallPresets);
  system.Users().SetCurrentUser(1);
  CUserList first = UnitUsers("Front", kRestrictEditDeviceProperties);
  CUserList second = UnitUsers("Back", kRestrictRecallSnapshots);

  // The security pass's import, again and again, once the window thread asks.
  constexpr int kImports = 20000;
  std::atomic<bool> asking{false};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    while (!asking.load()) std::this_thread::yield();
    for (int i = 0; i < kImports; ++i) system.Users().ImportNetworkUsers(i % 2 == 0 ? first : second);
    done = true;
  });
  // What a panel's redraw and input, the properties pane, a custom widget and the frame ask.
  std::set<std::uint64_t> masks;
  std::set<std::string> names;
  std::uint64_t rounds = 0;
  do {
    masks.insert(CurrentUserRestrictions(&system));
    names.insert(system.Users().GetCurrentUserName());
    (void)system.CanCurrentUserEditDeviceProperties();
    (void)system.Users().CurrentUserMayOpen(device->GetUuid());
    (void)system.Users().IsCurrentUserRestricted();
    (void)device->Gate().MayCurrentUserChange(1);
    ++rounds;
    asking = true;
  } while (!done.load());
  worker.join();

  // Every read found a whole user: the one logged in before, or an administrator a unit gave.
  EXPECT_GT(rounds, 0u);
  for (std::uint64_t mask : masks)
    EXPECT_TRUE(mask == kRestrictRecallPresets || mask == kRestrictEditDeviceProperties ||
                mask == kRestrictRecallSnapshots)
        << "mask " << mask;
  for (const std::string& name : names) EXPECT_TRUE(name == "Stage" || name == "Front" || name == "Back") << name;
  EXPECT_EQ(system.Users().GetCurrentUser(), 0);
  EXPECT_EQ(system.Users().GetCurrentUserName(), "Back");
  EXPECT_EQ(system.GetCurrentUserRestrictions(), std::uint64_t{kRestrictRecallSnapshots});
  EXPECT_TRUE(device->Gate().MayCurrentUserChange(1));
  DeleteAllUsers(first);
  DeleteAllUsers(second);
}

TEST(WindowReadsTest, AZelAmplifiersSettingsAreEditedWhileItsUnitsReportsArrive) {
  RegisterAmplifierFamilies();
  CSystem system;
  auto* amp = static_cast<CZelSeriesDevice*>(system.CreateDevice(5, 51, 0));
  system.AppendDevice(amp);

  // The worker hands the unit's settings (power-on delay 3 or 7 s, alarm at 80 or 85 degrees)
  // and its status (mode 1 or 2) to the device under the lock, as it does every reply.
  constexpr int kReports = 400;
  std::atomic<bool> editing{false};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    while (!editing.load()) std::this_thread::yield();
    for (int i = 0; i < kReports; ++i) {
      const bool odd = i % 2 != 0;
      const Bytes settings{0, 0, 0, 0, 0, 0, 0, 0, std::uint8_t(odd ? 3 : 7), std::uint8_t(odd ? 80 : 85), 0, 0, 0};
      CSingleLock lock(system.GetLock());
      DeliverZelReply(*amp, 0x3B, ZelReply(*amp, 0x3B, 26, settings, true));
      DeliverZelReply(*amp, 0x3F, ZelReply(*amp, 0x3F, 12, {std::uint8_t(odd ? 0x5F : 0x6F)}));
    }
    done = true;
  });
  // The person meanwhile edits the three rows in the pane: the mode Bridge, the delay 5 s, the
  // alarm at 90 degrees.
  std::uint64_t rounds = 0;
  do {
    Grid grid;
    amp->FillPropertiesPane(grid);
    CDeviceProperty* mode = grid.Find("Mode");
    CDeviceProperty* delay = grid.Find("Power On Delay");
    CDeviceProperty* alarm = grid.Find("Alarm Temp. Threshold");
    ASSERT_TRUE(mode && delay && alarm);
    mode->SetComboSelection(2);
    EXPECT_TRUE(amp->Gate().ApplyUserPropertyChange(*mode));
    delay->SetValue(std::int64_t(5));
    EXPECT_TRUE(amp->Gate().ApplyUserPropertyChange(*delay));
    alarm->SetValue(std::int64_t(90));
    EXPECT_TRUE(amp->Gate().ApplyUserPropertyChange(*alarm));
    ++rounds;
    editing = true;
  } while (!done.load());
  worker.join();

  // The last word is the unit's report or the person's edit, never a value of neither.
  EXPECT_GT(rounds, 0u);
  CSingleLock lock(system.GetLock());
  EXPECT_TRUE(amp->GetMode() == 1u || amp->GetMode() == 2u || amp->GetMode() == 3u) << amp->GetMode();
  EXPECT_TRUE(amp->GetPowerOnDelay() == 3 || amp->GetPowerOnDelay() == 7 || amp->GetPowerOnDelay() == 5);
  EXPECT_TRUE(amp->GetAlarmTemperature() == 80 || amp->GetAlarmTemperature() == 85 ||
              amp->GetAlarmTemperature() == 90);
}
