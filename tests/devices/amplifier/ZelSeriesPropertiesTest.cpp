// The Zel amplifier's property grid rows and their edits with limits and messages, and the
// same settings as a property list.
#include <gtest/gtest.h>

#include "core/model/DeviceProperty.h"
#include "core/support/SystemMessages.h"
#include "tests/devices/amplifier/ZelAmpFixture.h"

namespace {

using ZelPropertiesTest = ZelAmpFixture;

TEST_F(ZelPropertiesTest, RowsByModelInTheirOrder) {
  CZelSeriesDevice* two = Add(51, 1);
  Grid g2;
  two->FillPropertiesPane(g2);
  ASSERT_EQ(g2.groups.size(), 3u);
  EXPECT_EQ(g2.groups[0]->name, "General");
  EXPECT_EQ(g2.Names(0), (std::vector<std::string>{"ID", "Amp Name", "Firmware Version", "Channel 1 Name",
                                                   "Channel 2 Name", "Mode", "Power On Delay", "Front Panel Pots",
                                                   "Alarm Temp. Threshold"}));
  EXPECT_EQ(g2.Names(1), (std::vector<std::string>{"Input", "Output", "Aux Relay", "Channel 1 VCA Control",
                                                   "Channel 2 VCA Control"}));
  EXPECT_EQ(g2.Names(2), (std::vector<std::string>{"Ch 1 Value", "Ch 1 Window", "Ch 2 Value", "Ch 2 Window"}));
  EXPECT_EQ(g2.Find("Mode")->GetOptions(), (std::vector<std::string>{"Mono", "Stereo", "Bridge"}));
  EXPECT_EQ(g2.Find("Mode")->GetText(), "Stereo");
  EXPECT_EQ(g2.Find("Front Panel Pots")->GetText(), "Enabled");
  EXPECT_FALSE(g2.Find("Firmware Version")->IsEnabled());
  EXPECT_TRUE(g2.Find("Ch 1 Value")->HasButton());
  EXPECT_FALSE(g2.Find("Ch 1 Value")->IsAllowEdit());
  EXPECT_EQ(g2.Find("Input")->GetOptions().size(), 6u);
  EXPECT_EQ(g2.Find("Aux Relay")->GetText(), "Inverted GP Out");
  EXPECT_EQ(g2.Find("Ch 2 Value")->GetDescription(),
            "The impedance alarm value for Channel 2.  Press the button to set to the current measured value");

  CZelSeriesDevice* six = Add(55, 2);
  Grid g6;
  six->FillPropertiesPane(g6);
  EXPECT_EQ(g6.Names(0).size(), 11u);
  EXPECT_EQ(g6.Names(1).size(), 7u);
  EXPECT_EQ(g6.Names(2).size(), 8u);
  EXPECT_EQ(g6.Find("Mode")->GetOptions(), (std::vector<std::string>{"Stereo", "Bridge"}));
}

TEST_F(ZelPropertiesTest, RightsAndTheConnectionEnableTheRows) {
  CZelSeriesDevice* d = Add(51, 1);
  Grid before;
  d->FillPropertiesPane(before);
  EXPECT_TRUE(before.Find("ID")->IsEnabled());
  Connect(*d);
  Grid online;
  d->FillPropertiesPane(online);
  EXPECT_FALSE(online.Find("ID")->IsEnabled());
  EXPECT_TRUE(online.Find("Amp Name")->IsEnabled());
  system.GetUsers()[0]->SetRestrictionMask(kRestrictEditDeviceProperties);
  Grid locked;
  d->FillPropertiesPane(locked);
  for (const auto& group : locked.groups)
    for (const auto& row : group->rows) EXPECT_FALSE(row->IsEnabled()) << row->GetName();
  system.GetUsers()[0]->SetRestrictionMask(0);
}

TEST_F(ZelPropertiesTest, IdEditsRefuseAnIdInUseExceptZero) {
  CZelSeriesDevice* d = Add(51, 1);
  Add(51, 2);
  Add(51, 0);
  EXPECT_FALSE(Edit(*d, "ID", std::int64_t(2)));
  EXPECT_EQ(message, "Device ID 2 already in use");
  EXPECT_EQ(d->GetDeviceId(), 1u);
  EXPECT_TRUE(Edit(*d, "ID", std::int64_t(0)));
  EXPECT_TRUE(Edit(*d, "ID", std::int64_t(0)));
  EXPECT_TRUE(Edit(*d, "ID", std::int64_t(9)));
  EXPECT_EQ(d->GetDeviceId(), 9u);
  EXPECT_TRUE(system.IsModified());
  EXPECT_GE(frame.Count(FrameMsg::kPanelCaption), 1u);
}

struct LimitCase {
  const char* row;
  std::int64_t accepted;
  std::int64_t refused;
  const char* message;
};

class ZelLimitTest : public ZelPropertiesTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(ZelLimitTest, EdgeAcceptedOneBeyondRefusedWithItsMessage) {
  CZelSeriesDevice* d = Add(51, 1);
  Connect(*d);
  EXPECT_TRUE(Edit(*d, GetParam().row, GetParam().accepted));
  const std::size_t queued = d->GetQueueSize();
  EXPECT_EQ(queued, 1u);
  EXPECT_FALSE(Edit(*d, GetParam().row, GetParam().refused));
  EXPECT_EQ(message, GetParam().message);
  EXPECT_EQ(d->GetQueueSize(), queued);
  // The value it holds again sends nothing.
  EXPECT_TRUE(Edit(*d, GetParam().row, GetParam().accepted));
  EXPECT_EQ(d->GetQueueSize(), queued);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, ZelLimitTest,
    ::testing::Values(LimitCase{"Power On Delay", 60, 61, "Power on delay must be between 0 and 60"},
                      LimitCase{"Alarm Temp. Threshold", 40, 39, "Temperature alarm threshold must be between 40 and 110"},
                      LimitCase{"Alarm Temp. Threshold", 110, 111,
                                "Temperature alarm threshold must be between 40 and 110"},
                      LimitCase{"Ch 1 Window", 100, 101, "Window value must be between 0 and 100"}));

TEST_F(ZelPropertiesTest, NamesCountUtf8BytesAndAreSentEvenWhenUnchanged) {
  CZelSeriesDevice* d = Add(51, 1);
  Connect(*d);
  EXPECT_TRUE(Edit(*d, "Amp Name", std::string(40, 'a')));
  EXPECT_FALSE(Edit(*d, "Amp Name", std::string(41, 'a')));
  EXPECT_EQ(message, "Device name too long - 40 characters max");
  std::string twenty;
  for (int i = 0; i < 20; ++i) twenty += "\xC3\xA9";
  EXPECT_TRUE(Edit(*d, "Amp Name", twenty));
  EXPECT_TRUE(Edit(*d, "Channel 2 Name", std::string(16, 'b')));
  EXPECT_FALSE(Edit(*d, "Channel 2 Name", std::string(17, 'b')));
  EXPECT_EQ(message, "Channel name too long - 16 characters max");
  EXPECT_TRUE(Edit(*d, "Channel 2 Name", std::string(16, 'b')));
  EXPECT_EQ(d->GetQueueSize(), 4u);
  EXPECT_EQ(d->GetChannelName(1), std::string(16, 'b'));
}

TEST_F(ZelPropertiesTest, ModeGpioAndVcaChoices) {
  CZelSeriesDevice* two = Add(51, 1);
  CZelSeriesDevice* six = Add(55, 2);
  Connect(*two);
  Connect(*six);
  EXPECT_TRUE(Edit(*two, "Mode", {}, 1));  // Stereo already
  EXPECT_EQ(two->GetQueueSize(), 0u);
  EXPECT_TRUE(Edit(*two, "Mode", {}, 0));
  EXPECT_EQ(two->GetMode(), 1u);
  EXPECT_TRUE(Edit(*six, "Mode", {}, 1));
  EXPECT_EQ(six->GetMode(), 3u);

  two->ClearQueue();
  EXPECT_TRUE(Edit(*two, "Output", {}, 4));
  EXPECT_TRUE(Edit(*two, "Output", {}, 4));
  EXPECT_TRUE(Edit(*two, "Aux Relay", {}, 1));
  EXPECT_TRUE(Edit(*two, "Channel 2 VCA Control", {}, 1));
  EXPECT_TRUE(Edit(*two, "Channel 2 VCA Control", {}, 1));  // sent again
  const auto queued = Queued(*two);
  ASSERT_EQ(queued.size(), 4u);
  EXPECT_EQ(queued[0][10], 4 * 8);
  EXPECT_EQ(queued[1][10], 4 * 8 + 64);
  EXPECT_EQ(queued[2][11], 0x02);  // the VCA bits of channels 0 to 3 in bits 0 to 3
  EXPECT_EQ(two->GetStatusFlags(), 0x10);
  EXPECT_TRUE(Edit(*two, "Channel 2 VCA Control", {}, 0));
  EXPECT_EQ(two->GetStatusFlags(), 0x00);
}

TEST_F(ZelPropertiesTest, ReferenceButtonMessagesInTheirOrder) {
  CZelSeriesDevice* d = Add(51, 1);
  EXPECT_FALSE(Edit(*d, "Ch 1 Value", 0.0f));
  EXPECT_EQ(message, "Cannot set reference impedance - not online");
  Connect(*d);
  ZelSeriesMeters meters;
  meters.outputVoltage = {24.0f, 20.0f, 0, 0};
  meters.outputCurrent = {0.09f, 2.0f, 0, 0};
  meters.loadMonitorState = {0, 3, 0, 0};
  d->SetMetersForTests(meters);
  EXPECT_FALSE(Edit(*d, "Ch 1 Value", 0.0f));
  EXPECT_EQ(message, "Cannot set reference impedance - current too low");
  EXPECT_FALSE(Edit(*d, "Ch 2 Value", 0.0f));
  EXPECT_EQ(message, "Cannot set reference impedance - invalid value");
  meters.loadMonitorState = {0, 0, 0, 0};
  d->SetMetersForTests(meters);
  EXPECT_TRUE(Edit(*d, "Ch 2 Value", 0.0f));
  EXPECT_FLOAT_EQ(last->GetFloat(), 10.0f);
  EXPECT_EQ(Queued(*d).back()[9], 0x26);
  EXPECT_EQ(Queued(*d).back()[10], 0x02);
  EXPECT_FALSE(Edit(*d, "Firmware Version", std::string("x")));
}

}  // namespace
