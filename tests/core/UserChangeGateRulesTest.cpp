// The gate of a person's changes on its own, for the base device and the families that give
// their own: the rights each change needs, the question a change asks before it is handed in,
// and a properties row refused without the right to edit device properties.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/model/Confirm.h"
#include "core/model/DeviceProperty.h"
#include "core/model/User.h"
#include "core/model/UserChangeGate.h"
#include "core/system/System.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/ProcessorFamily.h"
#include "tests/support/TestDevices.h"

namespace {

class UserChangeGateRulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterProcessorFamily();
    RegisterAmplifierFamilies();
    device = new CTestDevice(&system, 1);
    system.AppendDevice(device);
    device->values[kTestGain] = MakeIntParamValue(kTestGain, -6);
  }
  // The current user from now on withholds the rights (restriction bits).
  void Withhold(std::uint64_t rights) {
    system.Users().GetUsers().push_back(new CUser("Guest", "guest"));
    system.Users().GetUsers().back()->SetRestrictionMask(rights);
    system.Users().SetCurrentUser(int(system.Users().GetUsers().size() - 1));
  }
  CDevice* Add(std::uint32_t type, std::uint32_t id) {
    CDevice* added = system.CreateDevice(id, type, 0);
    system.AppendDevice(added);
    return added;
  }

  CSystem system;
  CTestDevice* device = nullptr;
};

}  // namespace

TEST_F(UserChangeGateRulesTest, TheBaseGateNeedsTheRightToUseDeviceControlsAndSaysSoWhenItIsWithheld) {
  const CUserChangeGate& gate = device->Gate();
  EXPECT_EQ(gate.RightsNeededFor(kTestGain), kRestrictUseDeviceControls);
  EXPECT_EQ(gate.ConfirmationFor(MakeIntParamValue(kTestGain, -12), CChangeAnswer{}), 0u);
  EXPECT_TRUE(gate.MayCurrentUserChange(kTestGain));
  EXPECT_EQ(gate.RightsRefusalFor(kTestGain), "");

  Withhold(kRestrictUseDeviceControls);
  EXPECT_FALSE(gate.MayCurrentUserChange(kTestGain));
  EXPECT_EQ(gate.RightsRefusalFor(kTestGain), "The current user cannot use device controls");
  EXPECT_FALSE(device->Gate().ApplyUserChange(MakeIntParamValue(kTestGain, -12)));
  EXPECT_TRUE(device->applied.empty());
}

TEST_F(UserChangeGateRulesTest, APropertiesRowWithoutTheRightToEditIsRefusedWithTheRowsWords) {
  Withhold(kRestrictEditDeviceProperties);
  CDeviceProperty row("Name", CDeviceProperty::Value(std::string("Main PA")), "Set the device name", 1);
  EXPECT_FALSE(device->Gate().ApplyUserPropertyChange(row));
  EXPECT_EQ(row.GetErrorText(), kNoRightToEditRefusal);
}

TEST_F(UserChangeGateRulesTest, NoRightRefusalNamesTheFirstRightWithheld) {
  EXPECT_EQ(NoRightRefusal(0), "");
  EXPECT_EQ(NoRightRefusal(kRestrictRecallPresets | kRestrictEditDeviceProperties),
            "The current user cannot recall presets");
  EXPECT_EQ(NoRightRefusal(kRestrictEditDeviceProperties), kNoRightToEditRefusal);
  EXPECT_EQ(NoRightRefusal(kRestrictRecallSnapshots), "The current user cannot recall snapshots");
}

// A processor's gate: routing and a flattened graphic EQ are asked about first, and are not
// taken unless the answer confirms them; names need the right to edit device properties.
TEST_F(UserChangeGateRulesTest, AProcessorsGateAsksBeforeRoutingAndTakesNoUnconfirmedChange) {
  CDevice* processor = Add(120, 2);
  const CUserChangeGate& gate = processor->Gate();
  const CParamValue routing = MakeBoolParamValue(kParamMatrixRouting, true);
  EXPECT_EQ(gate.ConfirmationFor(routing, CChangeAnswer{}), kConfirmChangeRouting);
  EXPECT_EQ(gate.ConfirmationFor(MakeBoolParamValue(kParamGeqFlatten, true), CChangeAnswer{}),
            kConfirmFlattenGraphicEq);
  EXPECT_EQ(gate.RightsNeededFor(kParamDeviceName), kRestrictEditDeviceProperties);
  EXPECT_EQ(gate.RightsNeededFor(kPresetActionDialogStore), kRestrictRecallPresets);

  const CParamValue before = processor->GetCurrentValue(kParamMatrixRouting);
  CChangeAnswer declined;
  EXPECT_FALSE(processor->Gate().ApplyUserChange(routing, declined));
  EXPECT_EQ(processor->GetCurrentValue(kParamMatrixRouting).integer, before.integer);
}

TEST_F(UserChangeGateRulesTest, AZelAmplifiersGateNeedsTheRightToEditForNames) {
  const CUserChangeGate& gate = Add(52, 3)->Gate();
  EXPECT_EQ(gate.RightsNeededFor(kZelParamAmpName), kRestrictEditDeviceProperties);
  EXPECT_EQ(gate.RightsNeededFor(kZelParamChannelName), kRestrictUseDeviceControls | kRestrictEditDeviceProperties);
  EXPECT_EQ(gate.RightsNeededFor(kZelParamMute), kRestrictUseDeviceControls);
}
