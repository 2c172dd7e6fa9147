// The processor's property rows: what they show, what an edit changes and the refusal messages.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/model/DeviceProperty.h"
#include "core/values/ParamRecords.h"
#include "core/support/SystemMessages.h"
#include "devices/processor/NerexChange.h"
#include "tests/devices/processor/ProcessorFixture.h"
#include "tests/support/ModelChanges.h"

namespace {

using Properties = ProcessorFixture;

// A grid that keeps the groups it is given.
class CGrid : public IDevicePropertyGrid {
 public:
  void AddGroup(std::unique_ptr<CDevicePropertyGroup> group) override { groups.push_back(std::move(group)); }
  CDevicePropertyGroup* Group(const std::string& name) {
    for (auto& g : groups)
      if (g->name == name) return g.get();
    return nullptr;
  }
  CDeviceProperty* Row(std::uint32_t id) {
    for (auto& g : groups)
      for (auto& r : g->rows)
        if (r->GetData() == id) return r.get();
    return nullptr;
  }
  CDeviceProperty* Row(const std::string& name) {
    for (auto& g : groups)
      for (auto& r : g->rows)
        if (r->GetName() == name) return r.get();
    return nullptr;
  }
  std::vector<std::unique_ptr<CDevicePropertyGroup>> groups;
};

// Sets the row with that id as the grid does and commits it: "accepted", or the refusal text.
std::string Commit(CNerexSeriesDevice& d, std::uint32_t id, const std::function<void(CDeviceProperty&)>& set) {
  CGrid grid;
  d.FillPropertiesPane(grid);
  CDeviceProperty* row = grid.Row(id);
  if (!row) return "no row";
  set(*row);
  return CommitPropertyRow(d, *row) ? std::string("accepted") : row->GetErrorText();
}
std::string Number(CNerexSeriesDevice& d, std::uint32_t id, std::int64_t n) {
  return Commit(d, id, [n](CDeviceProperty& row) { row.SetValue(n); });
}
std::string Text(CNerexSeriesDevice& d, std::uint32_t id, const std::string& text) {
  return Commit(d, id, [&text](CDeviceProperty& row) { row.SetValue(text); });
}
std::string Choice(CNerexSeriesDevice& d, std::uint32_t id, int index) {
  return Commit(d, id, [index](CDeviceProperty& row) { row.SetComboSelection(index); });
}

}  // namespace

TEST_F(Properties, FennickRowsShowTheStoredSettings) {
  CNerexSeriesDevice& d = Make(16);
  CGrid grid;
  d.FillPropertiesPane(grid);
  CDeviceProperty* led = grid.Row("LED Timeout");
  ASSERT_NE(led, nullptr);
  EXPECT_EQ(led->GetOptions().size(), 18u);
  EXPECT_EQ(led->GetOptions().back(), "90s");
  EXPECT_EQ(grid.Row("Security Code")->GetText(), "8064");
  EXPECT_EQ(grid.Row("On Delay")->GetText(), "10s");  // code 6
}

TEST_F(Properties, PresetRowsByModelAndTheIdRowWhileConnected) {
  CGrid calder, nerex, online;
  Make(110).FillPropertiesPane(calder);
  ASSERT_NE(calder.Row("Number Presets"), nullptr);
  EXPECT_EQ(calder.Row("Number Presets")->GetNumber(), 20);
  EXPECT_NE(calder.Row("Number Xover Presets"), nullptr);
  CNerexSeriesDevice& n = Make(120);
  n.FillPropertiesPane(nerex);
  EXPECT_TRUE(nerex.Row("ID")->IsEnabled());
  EXPECT_TRUE(nerex.Row("Number Presets")->IsEnabled());
  Connect(n);
  n.FillPropertiesPane(online);
  EXPECT_FALSE(online.Row("ID")->IsEnabled());
  EXPECT_FALSE(online.Row("Number Presets")->IsEnabled());
}

TEST_F(Properties, DeviceIdLimitsAndDuplicates) {
  CNerexSeriesDevice& d = Make(120, 1);
  Make(120, 7);
  Make(114, 0);
  EXPECT_EQ(Number(d, 57, 0), "accepted");  // 0 may be shared
  EXPECT_EQ(d.GetDeviceId(), 0u);
  EXPECT_EQ(Number(d, 57, 7), "Device ID 7 already in use");
  EXPECT_EQ(Number(d, 57, 64), "Device ID must be between 0 and 63");
  EXPECT_EQ(Number(d, 57, -1), "Device ID must be between 0 and 63");
  EXPECT_EQ(Number(d, 57, 63), "accepted");
  EXPECT_EQ(d.GetDeviceId(), 63u);
  EXPECT_TRUE(m_system.IsModified());
  EXPECT_EQ(Posted(FrameMsg::kRefreshRack), 2u);
}

TEST_F(Properties, NameLimitCountsTheCharactersTheWireCarries) {
  CRecordingProcessor& d = MakeRecording(120);
  EXPECT_EQ(Text(d, 58, std::string(40, 'x')), "accepted");
  ASSERT_EQ(d.changes.size(), 1u);
  EXPECT_EQ(d.changes[0].id, 58);
  EXPECT_EQ(d.changes[0].text, std::string(40, 'x'));
  EXPECT_EQ(Text(d, 58, std::string(41, 'x')), "Device name too long - 40 characters max");
  // A character beyond ASCII would reach the unit as "?": refused whatever the length.
  std::string accented;
  for (int i = 0; i < 40; ++i) accented += "\xC3\xA9";
  const std::string beyondAscii = "Device name cannot contain \"\xC3\xA9\" - the unit takes ASCII characters only";
  EXPECT_EQ(Text(d, 58, accented), beyondAscii);
  EXPECT_EQ(Text(d, 58, accented + "\xC3\xA9"), beyondAscii);
  EXPECT_EQ(d.changes.size(), 1u);
}

TEST_F(Properties, GeneralSettingsRowsStoreQueueAndMarkModified) {
  OpenPort();
  CNerexSeriesDevice& d = Make(16);
  Connect(d);
  EXPECT_EQ(Choice(d, 505, 2), "accepted");  // "40s": the grid lists the delays from 60s down
  EXPECT_EQ(d.GetGeneralSettings().bytes[14], 3);
  EXPECT_EQ(Choice(d, 502, 3), "accepted");
  EXPECT_EQ(d.GetGeneralSettings().bytes[11], 3);
  EXPECT_EQ(Choice(d, 504, -1), "accepted");  // no selection: nothing
  EXPECT_EQ(Choice(d, 502, 4), "accepted");  // beyond the list: nothing changes
  EXPECT_EQ(d.GetGeneralSettings().bytes[11], 3);
  EXPECT_EQ(QueuedCommands(d), (std::vector<std::uint32_t>{80, 80}));
  EXPECT_TRUE(m_system.IsModified());
}

TEST_F(Properties, NumbersAtTheirLimitsWithTheExactMessages) {
  CNerexSeriesDevice& d = Make(16);
  EXPECT_EQ(Number(d, 506, 0), "LCD Contrast must be between 1 and 16");
  EXPECT_EQ(Number(d, 506, 17), "LCD Contrast must be between 1 and 16");
  EXPECT_EQ(Number(d, 506, 16), "accepted");
  EXPECT_EQ(d.GetGeneralSettings().bytes[15], 16);
  EXPECT_EQ(Number(d, 503, 17), "Max Memory Offset = 16");
  EXPECT_EQ(Number(d, 503, -1), "Max Memory Offset = 16");
  EXPECT_EQ(Number(d, 503, 16), "accepted");
  EXPECT_EQ(d.GetGeneralSettings().bytes[12], 16);

  CNerexSeriesDevice& c = Make(112);
  EXPECT_EQ(Number(c, 496, 19), "Number of presets must be more than 20");
  EXPECT_EQ(Number(c, 496, 128), "Number of presets must be less than 127");
  EXPECT_EQ(Number(c, 496, 127), "accepted");
  EXPECT_EQ(c.GetPresets().size(), 127u);
  EXPECT_EQ(Number(c, 496, 20), "accepted");
  EXPECT_EQ(c.GetPresets().size(), 20u);
  EXPECT_EQ(Number(c, 508, 0), "accepted");
  EXPECT_EQ(Number(c, 508, 127), "accepted");
  EXPECT_EQ(c.GetXoverPresets().size(), 127u);
  EXPECT_EQ(Number(c, 508, 128), "Number of presets must be less than 127");
  EXPECT_EQ(Number(c, 508, -1), "Number of presets must be less than 127");
  EXPECT_EQ(c.GetXoverPresets().size(), 127u);
}

TEST_F(Properties, SecurityCodeMustBeFourDigits) {
  CNerexSeriesDevice& d = Make(17);
  EXPECT_EQ(Text(d, 431, "0042"), "accepted");
  EXPECT_EQ(d.GetGeneralSettings().GetSecurityCode(), 42);
  for (const char* bad : {"12", "12345", "12a4", "-123", ""})
    EXPECT_EQ(Text(d, 431, bad), "Security code must be 4 digits") << bad;
  EXPECT_EQ(d.GetGeneralSettings().GetSecurityCode(), 42);
}

TEST_F(Properties, OptionsGoThroughTheChangePathOnlyWhenTheyChange) {
  CRecordingProcessor& d = MakeRecording(120);
  EXPECT_EQ(Choice(d, 262, 1), "accepted");  // 10: the stored value
  EXPECT_TRUE(d.changes.empty());
  EXPECT_EQ(Choice(d, 262, 6), "accepted");
  ASSERT_EQ(d.changes.size(), 1u);
  EXPECT_EQ(d.changes[0].id, 262);
  EXPECT_EQ(d.changes[0].integer, 1000000);
  EXPECT_EQ(Choice(d, 262, 7), "accepted") << "past the list: nothing changes";
  EXPECT_EQ(d.changes.size(), 1u);
  EXPECT_EQ(Choice(d, 261, 2), "accepted");
  EXPECT_EQ(d.changes.back().integer, 2);
}

// --- The grid ---

TEST_F(Properties, GridRowsShowTheirValuesAndOptionsInOrder) {
  CNerexSeriesDevice& d = Make(16);
  WritableGeneralSettings(d).bytes[14] = 7;
  WritableGeneralSettings(d).bytes[16] = 17;
  d.HostOptions().SetDelayMultiplier(1000000);
  CGrid grid;
  d.FillPropertiesPane(grid);
  ASSERT_EQ(grid.groups.size(), 3u);
  EXPECT_EQ(grid.groups[0]->rows.size(), 10u);
  EXPECT_EQ(grid.Row("On Delay")->GetText(), "0s");
  EXPECT_EQ(grid.Row("On Delay")->GetOptions().front(), "60s");
  EXPECT_EQ(grid.Row("LED Timeout")->GetText(), "90s");
  EXPECT_EQ(grid.Row("Delay Multiplier")->GetText(), "x 100");
  EXPECT_EQ(grid.Row("Security Code")->GetText(), "8064");
  EXPECT_EQ(grid.Row("Security Code")->GetEditMask(), "DDDD");
  EXPECT_EQ(grid.Row("Security Code")->GetEditTemplate(), "____");
  EXPECT_FALSE(grid.Row("GPI Mode")->IsAllowEdit());
  EXPECT_FALSE(grid.Row("Firmware Version")->IsEnabled());
  EXPECT_EQ(grid.Row("Firmware Version")->GetDescription(), "The firmware version currently in the device");
  EXPECT_EQ(grid.Row("Gain Nudge")->GetText(), "0.1dB");
  EXPECT_EQ(grid.Row("ID")->GetData(), 57u);

  WritableGeneralSettings(d).bytes[16] = 0;
  d.HostOptions().SetDelayMultiplier(5);
  CGrid again;
  d.FillPropertiesPane(again);
  EXPECT_EQ(again.Row("LED Timeout")->GetText(), "5s");
  EXPECT_EQ(again.Row("Delay Multiplier")->GetText(), "");
}

TEST_F(Properties, GridGroupsByModelAndRight) {
  CGrid torvex;
  Make(121).FillPropertiesPane(torvex);
  ASSERT_NE(torvex.Group("Presets"), nullptr);
  EXPECT_NE(torvex.Row("Number Xover Presets"), nullptr);

  Restrict(0x10);
  CGrid fennick;
  CNerexSeriesDevice& f = Make(16);
  f.FillPropertiesPane(fennick);
  ASSERT_EQ(fennick.groups.size(), 2u);
  for (const auto& g : fennick.groups)
    for (const auto& r : g->rows) EXPECT_FALSE(r->IsEnabled()) << r->GetName();
  EXPECT_EQ(fennick.groups[0]->rows.size(), 4u);
  EXPECT_EQ(fennick.groups[1]->rows.size(), 3u);

  Restrict(0);
  Connect(f);
  CGrid online;
  f.FillPropertiesPane(online);
  EXPECT_FALSE(online.Row("ID")->IsEnabled());
  EXPECT_TRUE(online.Row("Name")->IsEnabled());
}

TEST_F(Properties, GridChangesApplyOrRestoreWithTheErrorText) {
  CRecordingProcessor& d = MakeRecording(16);
  CGrid grid;
  d.FillPropertiesPane(grid);

  CDeviceProperty& onDelay = *grid.Row("On Delay");
  onDelay.SetComboSelection(0);  // "60s"
  EXPECT_TRUE(CommitPropertyRow(d, onDelay));
  EXPECT_EQ(d.GetGeneralSettings().bytes[14], 1);

  CDeviceProperty& lcd = *grid.Row("LCD Contrast");
  lcd.SetValue(std::int64_t(0));
  EXPECT_FALSE(CommitPropertyRow(d, lcd));
  EXPECT_EQ(lcd.GetErrorText(), "LCD Contrast must be between 1 and 16");
  lcd.RestoreReferenceValue();
  EXPECT_EQ(lcd.GetNumber(), 10);

  CDeviceProperty& id = *grid.Row("ID");
  id.SetValue(std::int64_t(12));
  EXPECT_TRUE(CommitPropertyRow(d, id));
  EXPECT_EQ(std::get<std::int64_t>(id.GetReferenceValue()), 12);
  EXPECT_EQ(Posted(FrameMsg::kPanelCaption), 1u);

  CDeviceProperty& nudge = *grid.Row("Gain Nudge");
  nudge.SetComboSelection(2);
  EXPECT_TRUE(CommitPropertyRow(d, nudge));
  ASSERT_FALSE(d.changes.empty());
  EXPECT_EQ(d.changes.back().id, 1594);
  EXPECT_EQ(d.changes.back().integer, 2);

  CDeviceProperty& rtc = *grid.Row("Auto Update RTC");
  rtc.SetValue(false);
  EXPECT_TRUE(CommitPropertyRow(d, rtc));
  EXPECT_FALSE(d.HostOptions().GetAutoRtcUpdate());

  CDeviceProperty& code = *grid.Row("Security Code");
  code.SetValue(std::string("12a4"));
  EXPECT_FALSE(CommitPropertyRow(d, code));
  EXPECT_EQ(code.GetErrorText(), "Security code must be 4 digits");
}

TEST_F(Properties, GridEditsOfTheDisplayOptionsReachTheDevice) {
  CNerexSeriesDevice& d = Make(121);
  CGrid grid;
  d.FillPropertiesPane(grid);
  CDeviceProperty& nudge = *grid.Row("Gain Nudge");
  nudge.SetComboSelection(2);
  EXPECT_TRUE(CommitPropertyRow(d, nudge));
  EXPECT_EQ(d.HostOptions().GetGainNudge(), 2u);
  CDeviceProperty& units = *grid.Row("Delay Units");
  units.SetComboSelection(2);
  EXPECT_TRUE(CommitPropertyRow(d, units));
  EXPECT_EQ(d.HostOptions().GetDelayUnits(), 2u);
  CDeviceProperty& name = *grid.Row("Name");
  name.SetValue(std::string("Balcony"));
  EXPECT_TRUE(CommitPropertyRow(d, name));
  EXPECT_EQ(d.GetName(), "Balcony");
  EXPECT_TRUE(m_system.IsModified());
}

// A processor whose change path stores nothing: the grid's edits of the display options are
// refused in words, never accepted and dropped.
class CInertProcessor : public CNerexSeriesDevice {
 public:
  using CNerexSeriesDevice::CNerexSeriesDevice;
  void ApplyControlChange(const CParamValue&) override {}
};

TEST_F(Properties, GridEditsThatDoNotTakeAreRefusedWithAMessage) {
  auto* d = new CInertProcessor(&m_system, 120u, 1, &m_sink, 0);
  d->Initialise();
  m_system.AppendDevice(d);
  CGrid grid;
  d->FillPropertiesPane(grid);
  CDeviceProperty& name = *grid.Row("Name");
  name.SetValue(std::string("Balcony"));
  EXPECT_FALSE(CommitPropertyRow(d, name));
  EXPECT_EQ(name.GetErrorText(), "This setting cannot be changed in this version");
  EXPECT_EQ(d->GetName(), "");
  for (const char* row : {"Delay Units", "Gain Nudge", "Delay Multiplier"}) {
    CDeviceProperty& list = *grid.Row(row);
    list.SetComboSelection(2);
    EXPECT_FALSE(CommitPropertyRow(d, list)) << row;
    EXPECT_EQ(list.GetErrorText(), "This setting cannot be changed in this version") << row;
  }
}
