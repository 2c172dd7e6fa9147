// The current user's rights through the main frame, with units of the families whose frames
// are handed to their simulated twins: a snapshot is recalled, by a custom panel's button or
// the toolbar list, only for a user who may recall snapshots; after Users > Switch Users the
// properties pane holds the new user's rows, and a row committed is judged by the user current
// then; a panel left open across the switch takes no key on a control the new user may not use;
// a paste is offered and taken only for a user who may use the device controls.
#include <QAction>
#include <QComboBox>
#include <QMenu>

#include <map>

#include "app/CommandIds.h"
#include "core/model/Confirm.h"
#include "core/model/Snapshot.h"
#include "core/model/User.h"
#include "core/system/Zone.h"
#include "custom/ButtonControl.h"
#include "custom/CPData.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/ProcessorFamily.h"
#include "panels/PanelClasses.h"
#include "panels/framework/BitmapFader.h"
#include "panels/framework/ControlPanelWnd.h"
#include "panels/framework/Knob.h"
#include "tests/app/FrameFixture.h"
#include "tests/support/UnitTwins.h"
#include "tests/support/WindowInput.h"
#include "ui/CustomControlPanelWnd.h"
#include "ui/DeviceView.h"
#include "ui/DevicePropertiesPane.h"
#include "tests/support/ModelChanges.h"

namespace {

constexpr std::uint64_t kEveryRight = 0x3F;

class RightsFrameTest : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    RegisterProcessorFamily();
    RegisterAmplifierFamilies();
    RegisterDevicePanelClasses();
    MakeFrame();
    twins = std::make_unique<CUnitTwins>(System());
    ASSERT_TRUE(twins->OpenPort());
    System().Users().GetUsers().push_back(new CUser("Guest", "guest"));
    System().Users().SetUseSystemSecurity(true);
  }
  void TearDown() override {
    frame.reset();
    twins.reset();
  }
  CSystem& System() { return frame->GetSystem(); }
  CUser& Guest() { return *System().Users().GetUsers().back(); }

  // A unit in the rack, which the guest may open.
  CDevice* AddUnit(std::uint32_t type, std::uint32_t id) {
    CDevice* device = twins->Add(type, id);
    System().GetZones()[0]->AppendDevice(device);
    Guest().m_devicePermissions.push_back(new CPanelPermissions(device->GetUuid(), CPanelPermissions::kCanUse));
    return device;
  }
  // Users > Switch Users to the guest, who lacks the rights of the mask.
  void SwitchToGuest(std::uint64_t mask) {
    Guest().SetRestrictionMask(mask);
    prompts.switchToUser = int(System().Users().GetUsers().size()) - 1;
    frame->RunCommand(Cmd::kSwitchUsers);
    ProcessEvents();
  }

  std::unique_ptr<CUnitTwins> twins;
};

// --- Snapshot recall ---

enum class RecallPath { kPanelButton, kToolbarList };

struct RecallRun {
  RecallPath path;
  bool withheld;  // the guest lacks "Can Recall Snapshots" (and holds every other right)
};

class SnapshotRecallRightsTest : public RightsFrameTest, public ::testing::WithParamInterface<RecallRun> {};

}  // namespace

TEST_P(SnapshotRecallRightsTest, ASnapshotIsRecalledOnlyForAUserWhoMayRecallSnapshots) {
  const RecallRun& run = GetParam();
  CDevice* processor = AddUnit(kModelNerex48, 1);
  prompts.snapshotCreate = CFakePrompts::SnapshotChoice{"Show", true, -1};
  frame->RunCommand(Cmd::kNewSnapshot);  // input A at 0 dB
  ASSERT_EQ(frame->GetSnapshotCombo().count(), 1);
  ModelChange(processor, CParamValue(kParamInputGain, 3.0f, ParamKind::kLevel));
  twins->DeliverQueued(*processor);
  ASSERT_EQ(twins->processor->Current().inputs.gains[0], 30);
  SetConfirmSnapshotRecall(true);

  // A custom panel with the snapshot's recall button, which the guest may open.
  frame->RunCommand(Cmd::kDesignMode);
  frame->RunCommand(Cmd::kNewCustomPanel);
  CCPData* panel = System().GetCustomPanels()[0];
  auto* recall = new CCCButton(panel->m_pView, CRect{10, 10, 90, 40});
  recall->m_flags = (recall->m_flags & ~kButtonActions) | kButtonRecallSnapshot;
  recall->m_snapshotId = System().GetSnapshots()[0]->GetUuid();
  panel->m_widgets.push_back(recall);
  Guest().m_panelPermissions.push_back(new CPanelPermissions(panel->GetUuid(), CPanelPermissions::kCanUse));
  frame->RunCommand(Cmd::kOperateMode);
  SwitchToGuest(run.withheld ? std::uint64_t{kRestrictRecallSnapshots} : kEveryRight & ~std::uint64_t{kRestrictRecallSnapshots});
  ASSERT_NE(panel->m_pView, nullptr);
  auto* view = dynamic_cast<CCustomControlPanelWnd*>(panel->m_pView);
  ASSERT_NE(view, nullptr);

  if (run.path == RecallPath::kPanelButton) {
    Click(*view, QPoint(50, 25));
  } else {
    frame->GetSnapshotCombo().setCurrentIndex(0);
    frame->RunCommand(Cmd::kSnapshotCombo);
  }
  ProcessEvents();
  const std::size_t frames = twins->DeliverQueued(*processor);
  if (run.withheld) {
    EXPECT_TRUE(prompts.confirms.empty()) << "the user was asked about a recall they may not make";
    EXPECT_EQ(System().GetCurrentSnapshot(), -1);
    EXPECT_EQ(frames, 0u);
    EXPECT_EQ(twins->processor->Current().inputs.gains[0], 30);
    EXPECT_FALSE(recall->m_state);
  } else {
    EXPECT_EQ(prompts.confirms.size(), 1u);
    EXPECT_EQ(System().GetCurrentSnapshot(), 0);
    EXPECT_GT(frames, 0u);
    EXPECT_EQ(twins->processor->Current().inputs.gains[0], 0);
    EXPECT_TRUE(recall->m_state);
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, SnapshotRecallRightsTest,
                         ::testing::Values(RecallRun{RecallPath::kPanelButton, false},
                                           RecallRun{RecallPath::kPanelButton, true},
                                           RecallRun{RecallPath::kToolbarList, false},
                                           RecallRun{RecallPath::kToolbarList, true}),
                         [](const ::testing::TestParamInfo<RecallRun>& info) {
                           return std::string(info.param.path == RecallPath::kPanelButton ? "PanelButton"
                                                                                          : "ToolbarList") +
                                  (info.param.withheld ? "_Withheld" : "_Held");
                         });

// --- The properties pane across Switch Users ---

namespace {

struct PaneCase {
  const char* name;
  std::uint32_t type;
  std::uint32_t id;
  const char* row;
  const char* typed;
  // What the unit holds that the row changes.
  std::string (*holds)(CUnitTwins&);
};

const PaneCase kPaneCases[] = {
    {"ZelAmplifier", 51, 5, "Alarm Temp. Threshold", "50",
     [](CUnitTwins& t) { return std::to_string(t.amp->State().alarmTemperature); }},
    {"BreakoutBox", 40, 7, "Channel 1 Name", "Kick", [](CUnitTwins& t) { return t.box->State().channelNames[0]; }},
    {"Processor", kModelNerex48, 1, "Name", "Foyer", [](CUnitTwins& t) { return t.processor->DeviceName(); }},
};

class PaneRightsTest : public RightsFrameTest, public ::testing::WithParamInterface<PaneCase> {
 protected:
  CDevicePropertiesCtrl& Grid() { return frame->GetPropertiesPane().GetGrid(); }
  void BeginTyping(const char* row, const char* text) { BeginTypingIntoRow(Grid(), row, text); }
  void EndTyping() { PressEnterInRow(Grid()); }
};

}  // namespace

TEST_P(PaneRightsTest, TheRowsFollowTheUserAfterSwitchUsersAndACommitIsJudgedByTheUserThen) {
  const PaneCase& c = GetParam();
  CDevice* device = AddUnit(c.type, c.id);
  frame->GetPropertiesPane().ShowDeviceProperties(true, device);
  const std::string held = c.holds(*twins);

  // The guest without "Can Edit Device Properties": the rows Admin was shown are filled again
  // for the guest, and none opens.
  SwitchToGuest(kRestrictEditDeviceProperties);
  ASSERT_EQ(Grid().GetCurrentDevice(), device);
  ASSERT_NE(Grid().FindRow(c.row), nullptr);
  EXPECT_FALSE(Grid().BeginEdit(Grid().FindRow(c.row)));
  EXPECT_EQ(twins->DeliverQueued(*device), 0u);

  // An edit begun by a user who holds the right and ended after the right went is refused
  // with words, and nothing leaves.
  System().Users().SetCurrentUser(0);
  frame->GetPropertiesPane().RefreshProperties();
  BeginTyping(c.row, c.typed);
  System().Users().SetCurrentUser(int(System().Users().GetUsers().size()) - 1);
  EndTyping();
  EXPECT_EQ(Grid().GetErrorTipText(), "The current user cannot edit device properties");
  EXPECT_EQ(twins->DeliverQueued(*device), 0u);
  EXPECT_EQ(c.holds(*twins), held);

  // The guest given the right (and lacking every other one) changes the unit.
  SwitchToGuest(kEveryRight & ~std::uint64_t{kRestrictEditDeviceProperties});
  BeginTyping(c.row, c.typed);
  EndTyping();
  EXPECT_GT(twins->DeliverQueued(*device), 0u);
  EXPECT_EQ(c.holds(*twins), c.typed);
}

INSTANTIATE_TEST_SUITE_P(Families, PaneRightsTest, ::testing::ValuesIn(kPaneCases),
                         [](const ::testing::TestParamInfo<PaneCase>& info) { return std::string(info.param.name); });

// --- A panel left open across Switch Users ---

namespace {

struct KeyCase {
  const char* name;
  std::uint32_t type;
  std::uint32_t id;
  int control;  // pressed by Admin before the switch
  std::string (*holds)(CUnitTwins&);
};

const KeyCase kKeyCases[] = {
    {"ZelAmplifierKnob", 51, 5, kZelParamGain, [](CUnitTwins& t) { return std::to_string(t.amp->State().gainIndex[0]); }},
    {"BreakoutBoxKnob", 40, 7, kBreakParamGain, [](CUnitTwins& t) { return std::to_string(t.box->State().gains[0]); }},
    {"ProcessorFader", kModelNerex48, 1, kParamOutputGain,
     [](CUnitTwins& t) { return std::to_string(t.processor->Current().outputs.gains[0]); }},
};

class SwitchedPanelKeysTest : public RightsFrameTest, public ::testing::WithParamInterface<KeyCase> {};

}  // namespace

TEST_P(SwitchedPanelKeysTest, KeysToTheControlPressedBeforeTheSwitchChangeNothing) {
  const KeyCase& c = GetParam();
  CDevice* device = AddUnit(c.type, c.id);
  frame->OpenDevicePanel(device, true);
  auto* panel = dynamic_cast<CControlPanelWnd*>(device->GetControlPanel());
  ASSERT_NE(panel, nullptr);
  const CControlObject* pressed = nullptr;
  for (const CControlObject* control : panel->GetControls())
    if (control->GetId() == c.control && (dynamic_cast<const CKnob*>(control) || dynamic_cast<const CBitmapFader*>(control)))
      pressed = control;
  ASSERT_NE(pressed, nullptr);
  const CRect r = pressed->GetRect();
  Click(*panel, QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
  twins->DeliverQueued(*device);
  const std::string before = c.holds(*twins);

  SwitchToGuest(kRestrictUseDeviceControls);
  ASSERT_EQ(device->GetControlPanel(), panel);  // the guest may open it: it stays open
  for (int key : {Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_Down, Qt::Key_Up}) Key(*panel, key);
  EXPECT_EQ(twins->DeliverQueued(*device), 0u);
  EXPECT_EQ(c.holds(*twins), before);
}

INSTANTIATE_TEST_SUITE_P(Families, SwitchedPanelKeysTest, ::testing::ValuesIn(kKeyCases),
                         [](const ::testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

// --- Paste ---

namespace {

class PasteRightsTest : public RightsFrameTest, public ::testing::WithParamInterface<KeyCase> {
 protected:
  // The texts of the device's paste items in the rack's menu, each with whether it is enabled.
  std::map<std::string, bool> RackPasteItems(CDevice* device) {
    std::unique_ptr<QMenu> menu(frame->GetDeviceView().BuildContextMenu(device));
    std::map<std::string, bool> items;
    for (QAction* a : menu->actions())
      if (a->text().startsWith(QStringLiteral("Paste "))) items[a->text().toStdString()] = a->isEnabled();
    return items;
  }
  // Every paste the device offers, as its menus ask for it.
  void PasteEverything(CDevice* device) {
    if (IsZelAmpType(GetParam().type) || IsZelBoxType(GetParam().type)) {
      device->OnContextMenuCommand(kAmpCmdPasteControls, 0);
      device->OnContextMenuCommand(kAmpCmdPasteProperties, 0);
    }
    device->PasteFromClipboard(0);
  }
};

}  // namespace

// Settings copied by Admin are pasted only by a user who may use the device controls: for one who
// may not, the paste items of the rack's menu are greyed, and a paste asked for anyway (a menu
// left open across Switch Users, a key) changes neither the device nor its unit.
TEST_P(PasteRightsTest, APasteIsOfferedAndTakenOnlyForAUserWhoMayUseTheDeviceControls) {
  const KeyCase& c = GetParam();
  CDevice* device = AddUnit(c.type, c.id);
  const std::string copied = c.holds(*twins);
  device->CopyToClipboard(0);
  CParamValue lower = device->GetCurrentValue(c.control);
  lower.value -= 6.0f;
  ModelChange(device, lower);
  ASSERT_GT(twins->DeliverQueued(*device), 0u);
  const std::string held = c.holds(*twins);
  ASSERT_NE(held, copied);

  SwitchToGuest(kRestrictUseDeviceControls);
  for (const auto& [text, enabled] : RackPasteItems(device)) EXPECT_FALSE(enabled) << text;
  PasteEverything(device);
  EXPECT_EQ(twins->DeliverQueued(*device), 0u);
  EXPECT_EQ(c.holds(*twins), held);
  EXPECT_EQ(device->GetCurrentValue(c.control).value, lower.value);

  SwitchToGuest(kEveryRight & ~std::uint64_t{kRestrictUseDeviceControls});
  if (IsZelAmpType(c.type) || IsZelBoxType(c.type)) {
    EXPECT_EQ(RackPasteItems(device), (std::map<std::string, bool>{{"Paste Controls Only", true},
                                                                    {"Paste Properties Only", true}}));
  }
  PasteEverything(device);
  EXPECT_GT(twins->DeliverQueued(*device), 0u);
  EXPECT_EQ(c.holds(*twins), copied);
}

INSTANTIATE_TEST_SUITE_P(Families, PasteRightsTest, ::testing::ValuesIn(kKeyCases),
                         [](const ::testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });
