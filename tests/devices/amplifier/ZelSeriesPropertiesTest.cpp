// The Zel amplifier's property grid rows and their edits with limits and messages, and the
// same settings as a property list.
#include <gtest/gtest.h>

#include "core/comms/CommsWorker.h"
#include "core/model/DeviceProperty.h"
#include "core/support/SystemMessages.h"
#include "tests/devices/amplifier/ZelAmpFixture.h"
#include "tests/support/ModelChanges.h"

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
  system.Users().GetUsers()[0]->SetRestrictionMask(kRestrictEditDeviceProperties);
  Grid locked;
  d->FillPropertiesPane(locked);
  for (const auto& group : locked.groups)
    for (const auto& row : group->rows) EXPECT_FALSE(row->IsEnabled()) << row->GetName();
  system.Users().GetUsers()[0]->SetRestrictionMask(0);
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

// An ID whose bytes the frames carry (each 0 to 127) is taken; any other would address the unit
// at the ID with the top bits cleared, and is refused in words that say which: on amplifiers and
// breakout boxes alike.
struct ZelIdCase {
  std::int64_t id;
  const char* refusal;  // null: taken
};

class ZelIdRowTest : public ZelAmpFixture, public ::testing::WithParamInterface<ZelIdCase> {};

TEST_P(ZelIdRowTest, TakesOnlyIdsTheFramesCarry) {
  const ZelIdCase& c = GetParam();
  for (CDevice* d : std::initializer_list<CDevice*>{Add(55, 1), AddBox(41, 2)}) {
    SCOPED_TRACE(d->GetModelName());
    const std::uint32_t before = d->GetDeviceId();
    EXPECT_EQ(Edit(*d, "ID", c.id), c.refusal == nullptr);
    if (c.refusal) {
      EXPECT_EQ(message, c.refusal);
      EXPECT_EQ(d->GetDeviceId(), before);
    } else {
      EXPECT_EQ(d->GetDeviceId(), std::uint32_t(c.id));
      Edit(*d, "ID", std::int64_t(before));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ids, ZelIdRowTest,
    ::testing::Values(ZelIdCase{127, nullptr}, ZelIdCase{256, nullptr}, ZelIdCase{0x7F7F7F7F, nullptr},
                      ZelIdCase{128, "Device ID 128 would address ID 0 - each byte of the ID must be 0 to 127"},
                      ZelIdCase{189, "Device ID 189 would address ID 61 - each byte of the ID must be 0 to 127"},
                      ZelIdCase{0x8001, "Device ID 32769 would address ID 1 - each byte of the ID must be 0 to 127"},
                      ZelIdCase{0x80000005,
                                "Device ID 2147483653 would address ID 5 - each byte of the ID must be 0 to 127"},
                      ZelIdCase{0x100000009,
                                "Device ID 4294967305 would address ID 9 - each byte of the ID must be 0 to 127"}),
    [](const auto& info) { return "Id" + std::to_string(info.param.id); });

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
  const std::size_t queued = d->Queue().GetQueueSize();
  EXPECT_EQ(queued, 1u);
  EXPECT_FALSE(Edit(*d, GetParam().row, GetParam().refused));
  EXPECT_EQ(message, GetParam().message);
  EXPECT_EQ(d->Queue().GetQueueSize(), queued);
  // The value it holds again sends nothing.
  EXPECT_TRUE(Edit(*d, GetParam().row, GetParam().accepted));
  EXPECT_EQ(d->Queue().GetQueueSize(), queued);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, ZelLimitTest,
    ::testing::Values(LimitCase{"Power On Delay", 60, 61, "Power on delay must be between 0 and 60"},
                      LimitCase{"Alarm Temp. Threshold", 40, 39, "Temperature alarm threshold must be between 40 and 110"},
                      LimitCase{"Alarm Temp. Threshold", 110, 111,
                                "Temperature alarm threshold must be between 40 and 110"},
                      LimitCase{"Ch 1 Window", 100, 101, "Window value must be between 0 and 100"}));

// A name row of either family: the amplifier's and the breakout box's own name and a channel's.
struct NameRowCase {
  const char* label;
  bool box;
  const char* row;
  int parameterId;
  std::size_t limit;
  const char* what;  // "Device" or "Channel", as the messages begin
};

class ZelNameRowTest : public ZelPropertiesTest, public ::testing::WithParamInterface<NameRowCase> {
 protected:
  CDevice& Make() {
    CDevice* d = GetParam().box ? static_cast<CDevice*>(AddBox(41, 7)) : static_cast<CDevice*>(Add(51, 1));
    Connect(*d);
    return *d;
  }
  std::string Held(CDevice& d) { return d.GetCurrentValue(GetParam().parameterId).text; }
};

// The name fields carry one 7-bit byte per character and are not packed: a name fits by its
// characters, is sent even when unchanged, and a character above 0x7F is refused with a
// message rather than sent with its top bit stripped.
TEST_P(ZelNameRowTest, FitsByCharactersAndRefusesWhatTheFieldCannotCarry) {
  const NameRowCase& c = GetParam();
  CDevice& d = Make();
  const std::string full(c.limit, 'a');
  EXPECT_TRUE(Edit(d, c.row, full));
  EXPECT_TRUE(Edit(d, c.row, full));
  EXPECT_FALSE(Edit(d, c.row, std::string(c.limit + 1, 'a')));
  EXPECT_EQ(message, std::string(c.what) + " name too long - " + std::to_string(c.limit) + " characters max");
  EXPECT_EQ(d.Queue().GetQueueSize(), 2u);

  // Each typed name with the first character that the field cannot carry.
  const std::pair<std::string, std::string> refused[] = {
      {"C\xC3\xA9llo 20\xC2\xB0", "\xC3\xA9"},
      {"\xC2\xB0", "\xC2\xB0"},
      {std::string(c.limit / 2, 'x') + "\xE2\x82\xAC", "\xE2\x82\xAC"}};
  for (const auto& [typed, first] : refused) {
    SCOPED_TRACE(typed);
    system.SetModified(false);
    EXPECT_FALSE(Edit(d, c.row, typed));
    EXPECT_EQ(message, std::string(c.what) + " name cannot contain \"" + first +
                           "\" - the unit takes ASCII characters only");
    EXPECT_EQ(Held(d), full);
    EXPECT_EQ(d.Queue().GetQueueSize(), 2u);
    EXPECT_FALSE(system.IsModified());
  }
  // Every ASCII character goes as it was typed.
  EXPECT_TRUE(Edit(d, c.row, std::string("Ch ~1/2 (L+R) #3")));
  EXPECT_EQ(Held(d), "Ch ~1/2 (L+R) #3");
  // The frame byte for byte: F1, length - 1 in two 7-bit bytes, type, ID groups, 0, command,
  // [channel,] the name's bytes padded with spaces, and the checksum (sum less byte 1, 7 bits).
  const bool channel = std::string(c.what) == "Channel";
  Bytes expected{0xF1, 0x00, std::uint8_t(channel ? 27 : 50), std::uint8_t(d.GetTypeCode()), 0, 0, 0,
                 std::uint8_t(d.GetDeviceId()), 0, std::uint8_t(channel ? 0x21 : 0x11)};
  const int firstChannelId = c.box ? int(kBreakParamChannelName) : int(kZelParamChannelName);
  if (channel) expected.push_back(std::uint8_t(c.parameterId - firstChannelId));
  const std::string name = "Ch ~1/2 (L+R) #3" + std::string(c.limit - 16, ' ');
  expected.insert(expected.end(), name.begin(), name.end());
  unsigned sum = 0;
  for (std::size_t i = 0; i < expected.size(); ++i) sum += i == 1 ? 0 : expected[i];
  expected.push_back(std::uint8_t(sum & 0x7F));
  EXPECT_EQ(Queued(d).back(), expected);
}

// From a panel's text, a widget or a link the change has no message to give: the name the
// unit holds stays, and what showed the typed text is handed the held name again.
TEST_P(ZelNameRowTest, AChangeTheFieldCannotCarryKeepsTheNameAndShowsItAgain) {
  const NameRowCase& c = GetParam();
  CDevice& d = Make();
  ModelChange(d, MakeTextParamValue(c.parameterId, "Vox"));
  CTestControlPanel panel;
  d.SetControlPanel(&panel);
  system.SetModified(false);
  ModelChange(d, MakeTextParamValue(c.parameterId, "V\xC3\xB6x"));
  d.SetControlPanel(nullptr);
  EXPECT_EQ(Held(d), "Vox");
  EXPECT_EQ(d.Queue().GetQueueSize(), 1u);
  EXPECT_FALSE(system.IsModified());
  ASSERT_EQ(panel.notified.size(), 1u);
  EXPECT_EQ(panel.notified[0].id, c.parameterId);
  EXPECT_EQ(panel.notified[0].text, "Vox");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ZelNameRowTest,
    ::testing::Values(NameRowCase{"AmpName", false, "Amp Name", kZelParamAmpName, 40, "Device"},
                      NameRowCase{"AmpChannel2", false, "Channel 2 Name", kZelParamChannelName + 1, 16, "Channel"},
                      NameRowCase{"BoxName", true, "Device Name", kBreakParamBoxName, 40, "Device"},
                      NameRowCase{"BoxChannel3", true, "Channel 3 Name", kBreakParamChannelName + 2, 16, "Channel"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ZelPropertiesTest, ModeGpioAndVcaChoices) {
  CZelSeriesDevice* two = Add(51, 1);
  CZelSeriesDevice* six = Add(55, 2);
  Connect(*two);
  Connect(*six);
  EXPECT_TRUE(Edit(*two, "Mode", {}, 1));  // Stereo already
  EXPECT_EQ(two->Queue().GetQueueSize(), 0u);
  EXPECT_TRUE(Edit(*two, "Mode", {}, 0));
  EXPECT_EQ(two->GetMode(), 1u);
  EXPECT_TRUE(Edit(*six, "Mode", {}, 1));
  EXPECT_EQ(six->GetMode(), 3u);

  two->Queue().ClearQueue();
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
  EXPECT_EQ(message, kNotConnectedRefusal);  // online, the unit not connected: no row but the ID
  ASSERT_TRUE(system.GetComms().SetOnline(false));
  EXPECT_FALSE(Edit(*d, "Ch 1 Value", 0.0f));
  EXPECT_EQ(message, "Cannot set reference impedance - not online");
  ASSERT_TRUE(system.GetComms().SetOnline(true));
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
