// Where a person's change enters the model: the device refuses a change (CDevice::
// ApplyUserChange) or a properties row (ApplyUserPropertyChange) for want of the right the
// device names for it, whichever way it came, so a window that forgot the check changes no
// unit. Driven past the windows on every family, and through the processor's preset manager,
// whose buttons check nothing of their own. The frames that leave go to the simulated units.
#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <functional>
#include <string>
#include <vector>

#include "core/model/DeviceProperty.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "panels/processor/NerexSeriesPresetDlg.h"
#include "tests/panels/RightsFixture.h"
#include "tests/support/CollectingGrid.h"

namespace {

class GateRig : public RightsFixture {
 public:
  CDevice* Make(std::uint32_t type) {
    device = AddUnit(type, IsZelAmpType(type) ? 5 : IsZelBoxType(type) ? 7 : 1);
    return device;
  }
  // A change handed to the device as a window hands a person's change; true when it went ahead.
  bool Change(const CParamValue& value) { return device->Gate().ApplyUserChange(value); }
  // The named properties row, filled now, committed with the value as the pane commits it.
  bool CommitRow(const std::string& name, CDeviceProperty::Value value) {
    CCollectingGrid grid;
    device->FillPropertiesPane(grid);
    CDeviceProperty* row = grid.Find(name);
    EXPECT_NE(row, nullptr) << name;
    if (!row) return false;
    row->SetValue(std::move(value));
    const bool taken = device->Gate().ApplyUserPropertyChange(*row);
    refusal = row->GetErrorText();
    return taken;
  }

  CNerexSeriesDevice& Processor() const { return *static_cast<CNerexSeriesDevice*>(device); }

  CDevice* device = nullptr;
  std::string refusal;
};

struct GateCase {
  const char* name;
  std::uint32_t type;
  // The restriction bits the change needs; 0 for one that reaches no unit.
  std::uint64_t rights;
  // The change, past the windows; true when the device took it.
  std::function<bool(GateRig&)> act;
  // What the unit holds (or, for what moves the panel, the device) that the change moves.
  std::function<std::string(GateRig&)> holds;
};

const GateCase kGateCases[] = {
    // --- Zel amplifier ---
    {"ZelGain", kZel2, kControls,
     [](GateRig& r) { return r.Change(CParamValue(kZelParamGain, -20.0f, ParamKind::kLevel)); },
     [](GateRig& r) { return std::to_string(r.twins.amp->State().gainIndex[0]); }},
    {"ZelMute", kZel2, kControls, [](GateRig& r) { return r.Change(MakeBoolParamValue(kZelParamMute + 1, true)); },
     [](GateRig& r) { return std::to_string(r.twins.amp->State().muteMask); }},
    {"ZelChannelName", kZel2, kControls | kNames,
     [](GateRig& r) { return r.Change(MakeTextParamValue(kZelParamChannelName, "Lead")); },
     [](GateRig& r) { return r.twins.amp->State().channelNames[0]; }},
    {"ZelAmpName", kZel2, kNames,
     [](GateRig& r) { return r.Change(MakeTextParamValue(kZelParamAmpName, "Stage Left")); },
     [](GateRig& r) { return r.twins.amp->State().name; }},
    {"ZelIdentify", kZel2, 0, [](GateRig& r) { return r.Change(MakeBoolParamValue(kZelParamIdentify, true)); },
     [](GateRig& r) { return std::to_string(r.twins.amp->ReadCount(0xB0)); }},
    {"ZelAlarmThresholdRow", kZel2, kNames,
     [](GateRig& r) { return r.CommitRow("Alarm Temp. Threshold", std::int64_t(70)); },
     [](GateRig& r) { return std::to_string(r.twins.amp->State().alarmTemperature); }},

    // --- Zel breakout box ---
    {"BoxGain", kBox8, kControls,
     [](GateRig& r) { return r.Change(CParamValue(kBreakParamGain + 1, -12.0f, ParamKind::kLevel)); },
     [](GateRig& r) { return std::to_string(r.twins.box->State().gains[1]); }},
    {"BoxName", kBox8, kNames, [](GateRig& r) { return r.Change(MakeTextParamValue(kBreakParamBoxName, "Renamed")); },
     [](GateRig& r) { return r.twins.box->State().name; }},
    {"BoxIdentify", kBox8, 0, [](GateRig& r) { return r.Change(MakeBoolParamValue(kBreakParamIdentify, true)); },
     [](GateRig& r) { return std::to_string(r.twins.box->ReadCount(0xB0)); }},
    {"BoxChannelNameRow", kBox8, kNames, [](GateRig& r) { return r.CommitRow("Channel 1 Name", std::string("Kick")); },
     [](GateRig& r) { return r.twins.box->State().channelNames[0]; }},

    // --- Processor ---
    {"NerexInputGain", kModelNerex48, kControls,
     [](GateRig& r) { return r.Change(CParamValue(kParamInputGain, -10.0f, ParamKind::kLevel)); },
     [](GateRig& r) { return std::to_string(r.twins.processor->Current().inputs.gains[0]); }},
    {"NerexOutputMute", kModelNerex48, kControls,
     [](GateRig& r) { return r.Change(MakeBoolParamValue(kParamOutputMute + 2, true)); },
     [](GateRig& r) { return std::to_string(r.twins.processor->Current().outputs.muteMask); }},
    {"NerexInputName", kModelNerex48, kNames,
     [](GateRig& r) { return r.Change(MakeTextParamValue(kParamInputName, "Vox")); },
     [](GateRig& r) { return NameOf(r.twins.processor->Current().inputs.names[0]); }},
    {"NerexPageTab", kModelNerex48, 0,
     [](GateRig& r) { return r.Change(CParamValue(kNerexPageOutputEq, 0.0f, ParamKind::kNone)); },
     [](GateRig& r) { return std::to_string(r.Processor().PanelView().GetPanelPage()); }},
    {"NerexNameRow", kModelNerex48, kNames, [](GateRig& r) { return r.CommitRow("Name", std::string("Foyer")); },
     [](GateRig& r) { return r.twins.processor->DeviceName(); }},
};

using GateRun = RightsRun<GateCase>;

class UserChangeGateTest : public GateRig, public ::testing::WithParamInterface<GateRun> {};
using PresetManagerRightsTest = GateRig;

}  // namespace

TEST_P(UserChangeGateTest, TheDeviceTakesAPersonsChangeOnlyFromAUserWithItsRights) {
  const GateRun& run = GetParam();
  const GateCase& c = *run.c;
  ASSERT_NE(Make(c.type), nullptr);
  BecomeGuest(run.withheld ? run.withheld : kEveryRight & ~c.rights);
  bool taken = false;
  ExpectAChangeOnlyWithTheRight(*device, run.withheld != 0, [&] { taken = c.act(*this); },
                                [&] { return c.holds(*this); });
  EXPECT_EQ(taken, run.withheld == 0);
  // A refused row says why in the pane's words.
  if (run.withheld && std::string(c.name).ends_with("Row")) {
    EXPECT_EQ(refusal, "The current user cannot edit device properties");
  }
}

INSTANTIATE_TEST_SUITE_P(Families, UserChangeGateTest, ::testing::ValuesIn(RightsRuns(kGateCases)),
                         RightsRunName<GateCase>);

// The preset manager's buttons check no right of their own (the button that opens it is shown
// only to a user who may recall presets): the device refuses their changes for a user who may
// not, and the memory and the unit stay as they were.
TEST_F(PresetManagerRightsTest, ItsStoreChangesNothingForAUserWhoMayNotRecallPresets) {
  ASSERT_NE(Make(kModelNerex48), nullptr);
  for (const bool withheld : {true, false}) {
    SCOPED_TRACE(withheld ? "withheld" : "held");
    const std::uint64_t presets = kRestrictRecallPresets;
    BecomeGuest(withheld ? presets : kEveryRight & ~presets);
    CNerexSeriesPresetDlg dialog(nullptr, &Processor(), 268, 10, QStringLiteral("Presets"));
    dialog.show();
    dialog.List()->setCurrentRow(2);
    ASSERT_TRUE(dialog.StoreButton()->isEnabled());
    dialog.StoreButton()->click();
    EXPECT_EQ(Processor().GetPresets()[2]->HoldsAnySection(), !withheld);
    EXPECT_EQ(dialog.List()->item(2)->text() == "3. --", withheld);
    EXPECT_EQ(DeliverQueued(*device) > 0, !withheld);
  }
}
