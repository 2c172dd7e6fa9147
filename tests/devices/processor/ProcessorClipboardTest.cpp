// Copy, can-paste and paste on processor devices through the clipboard, and the context menu.
#include <gtest/gtest.h>

#include "core/model/ControlPanel.h"
#include "core/model/DeviceMenu.h"
#include "core/support/SystemMessages.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexClipboard.h"
#include "devices/processor/NerexPanel.h"
#include "devices/processor/NerexRecordBytes.h"
#include "platform/Clipboard.h"
#include "tests/devices/processor/ProcessorFixture.h"
#include "tests/devices/processor/TestImages.h"
#include "tests/support/ModelChanges.h"

namespace {

class ProcessorClipboard : public ProcessorFixture {
 protected:
  void SetUp() override { EmptyClipboard(); }
  void TearDown() override { EmptyClipboard(); }

  // The block on the clipboard, read back.
  NerexClipboardRecord OnClipboard(const CNerexSeriesDevice& d) {
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(GetClipboardData(const_cast<CNerexSeriesDevice&>(d).GetClipboardFormat(), bytes));
    EXPECT_EQ(bytes.size(), 4208u);
    NerexClipboardRecord r;
    EXPECT_TRUE(LoadClipboardRecord(bytes, r));
    return r;
  }
};

std::vector<std::uint32_t> Ids(const CMenu& menu) {
  std::vector<std::uint32_t> ids;
  for (int i = 0; i < menu.GetItemCount(); ++i) ids.push_back(menu.GetItemId(i));
  return ids;
}

// The rack's common menu: Copy and Paste of the Edit menu, then the device's other items.
CMenu CommonMenu() {
  CMenu menu;
  menu.AppendItem(57634, "Copy");
  menu.AppendItem(57637, "Paste");
  menu.AppendItem(100, "Delete");
  return menu;
}

}  // namespace

TEST_F(ProcessorClipboard, CopyCarriesTheImagePropertiesAndTheChosenChannel) {
  CNerexSeriesDevice& d = Make(121);
  WritableSettings(d).inputs.gains[2] = -77;
  WritableGeneralSettings(d).SetSecurityCode(1234);
  d.HostOptions().SetDelayMultiplier(1000);
  d.CopyToClipboard(0);
  NerexClipboardRecord r = OnClipboard(d);
  EXPECT_TRUE(r.IsWholeDeviceCopy());
  EXPECT_EQ(r.model, 121u);
  EXPECT_EQ(r.settings.inputs.gains[2], -77);
  EXPECT_EQ(r.properties.securityCode, 1234);
  EXPECT_EQ(r.properties.onDelay, 6);
  EXPECT_EQ(r.properties.delayMultiplier, 1000u);
  EXPECT_EQ(r.properties.autoRtcUpdate, 1);

  d.PanelView().SetSelectedChannel(7);
  d.CopyToClipboard(kCmdCopyChannel);
  r = OnClipboard(d);
  EXPECT_EQ(r.copiedInput, 0u);
  EXPECT_EQ(r.copiedOutput, 7u);
  EXPECT_TRUE(d.CanCopy(0));
}

TEST_F(ProcessorClipboard, CanPasteNeedsABlockAndTheRightToUseControls) {
  CNerexSeriesDevice& a = Make(120);
  CNerexSeriesDevice& b = Make(16);
  EXPECT_FALSE(b.CanPaste(0));
  a.CopyToClipboard(0);
  EXPECT_TRUE(b.CanPaste(0));  // any model takes a whole copy
  EXPECT_FALSE(b.CanPaste(33872));
  Restrict(0x2);
  for (std::uint32_t cmd : {0u, 33870u, 33876u, 33878u}) EXPECT_FALSE(b.CanPaste(cmd)) << cmd;
  Restrict(0);
  m_system.Users().SetCurrentUser(5);  // no such user
  EXPECT_FALSE(b.CanPaste(0));
}

TEST_F(ProcessorClipboard, ConnectedPasteQueuesItsBlocksAndLeavesThePollFree) {
  OpenPort();
  CNerexSeriesDevice& source = Make(121, 1);
  WritableSettings(source).CopyFrom(MakeRandomImage(3));
  CNerexSeriesDevice& target = Make(121, 2);
  Connect(target);
  source.CopyToClipboard(0);
  target.PasteFromClipboard(0);
  EXPECT_EQ(QueuedCommands(target), (std::vector<std::uint32_t>{26, 31, 42, 43}));
  const CControlMessage m = QueuedMessage(target, 0);
  EXPECT_EQ(m.frame[8], 0);     // memory byte 0
  EXPECT_EQ(m.frame[9], 0x40);  // mode 0xC0 without its top bit
  EXPECT_FALSE(target.PasteGate().IsPasteInProgress());
  EXPECT_EQ(target.GetCurrentSettings().deqBands[5].attack, source.GetCurrentSettings().deqBands[5].attack);

  target.Queue().ClearQueue();
  target.PasteFromClipboard(33879);
  EXPECT_EQ(QueuedCommands(target), (std::vector<std::uint32_t>{35}));
  target.Queue().ClearQueue();
  target.PasteFromClipboard(33878);
  EXPECT_EQ(QueuedCommands(target), (std::vector<std::uint32_t>{80}));
  EXPECT_EQ(Posted(FrameMsg::kShowDeviceProps), 1u);
  target.Queue().ClearQueue();
  target.PasteFromClipboard(33869);
  EXPECT_TRUE(QueuedCommands(target).empty());
}

// Online with the unit away, a paste would change the file but not the unit: it is refused
// whoever asks for it, as its menu items are greyed.
TEST_F(ProcessorClipboard, PasteWhileTheUnitIsAwayChangesNothingAndQueuesNothing) {
  OpenPort();
  CNerexSeriesDevice& source = Make(120, 1);
  WritableSettings(source).outputs.gains[4] = -33;
  CNerexSeriesDevice& target = Make(120, 2);
  const CNerexSeriesMemory before = target.GetCurrentSettings();
  source.CopyToClipboard(0);
  target.PasteFromClipboard(33871);
  EXPECT_EQ(target.GetCurrentSettings(), before);
  EXPECT_TRUE(QueuedCommands(target).empty());
}

TEST_F(ProcessorClipboard, DamagedBlockOnTheClipboardIsNeitherOfferedNorPasted) {
  CNerexSeriesDevice& d = Make(120);
  std::vector<std::uint8_t> bytes = StoreClipboardRecord(MakeClipboardRecord(CNerexSeriesMemory(), 120, {}, 0, 0));
  bytes[kClipOffsetOutputCount] = 200;
  bytes[std::size_t(kClipOffsetInputs) + kInputOffsetGains] = 0x55;
  SetClipboardData(d.GetClipboardFormat(), bytes);
  EXPECT_FALSE(d.CanPaste(0));
  const CNerexSeriesMemory before = d.GetCurrentSettings();
  d.PasteFromClipboard(0);
  EXPECT_EQ(d.GetCurrentSettings(), before);
}

// --- Context menu ---

TEST_F(ProcessorClipboard, MenuWithoutClipboardKeepsOnlyTheRenamedPaste) {
  CNerexSeriesDevice& d = Make(120);
  CMenu menu = CommonMenu();
  d.BuildContextMenu(menu, 0);
  EXPECT_EQ(Ids(menu), (std::vector<std::uint32_t>{57634, 57637, 0, 33881, 100}));
  EXPECT_EQ(menu.GetItem(1)->text, "Paste All Current Settings");
  EXPECT_EQ(menu.GetItem(3)->text, "Ignore Device When Online");
}

TEST_F(ProcessorClipboard, MenuOffersTheSectionPastesAndTheCopyOfTheSelectedChannel) {
  CNerexSeriesDevice& nerex = Make(120, 1);
  CNerexSeriesDevice& torvex = Make(121, 2);
  nerex.CopyToClipboard(0);
  nerex.PanelView().SetSelectedChannel(3);
  CMenu menu = CommonMenu();
  nerex.BuildContextMenu(menu, 0);
  EXPECT_EQ(Ids(menu), (std::vector<std::uint32_t>{57634, 33868, 57637, 33870, 33871, 33877, 33879, 33878, 0, 33881,
                                                  100}));
  EXPECT_EQ(menu.GetItem(1)->text, "Copy Channel C");

  CMenu torvexMenu = CommonMenu();
  torvex.PanelView().SetSelectedChannel(6);
  torvex.BuildContextMenu(torvexMenu, 0);
  EXPECT_EQ(torvexMenu.GetItem(1)->text, "Copy Channel 2");
  EXPECT_NE(torvexMenu.FindItem(33876), -1);  // "Paste Matrix Settings" on a Torvex48
}

TEST_F(ProcessorClipboard, ChannelCopyOffersItsChannelItemsOnly) {
  CNerexSeriesDevice& a = Make(120, 1);
  CNerexSeriesDevice& b = Make(120, 2);
  a.PanelView().SetSelectedChannel(2);
  a.CopyToClipboard(kCmdCopyChannel);
  b.PanelView().SetSelectedChannel(1);
  CMenu menu = CommonMenu();
  b.BuildContextMenu(menu, 0);
  EXPECT_EQ(menu.FindItem(33870), -1);
  EXPECT_NE(menu.FindItem(33872), -1);
  EXPECT_NE(menu.FindItem(33873), -1);
  EXPECT_EQ(menu.FindItem(33874), -1);
  CCmdUI ui(33872);
  b.OnUpdateContextMenuCommand(ui);
  EXPECT_TRUE(ui.IsEnabled());
  CCmdUI whole(33869);
  b.OnUpdateContextMenuCommand(whole);
  EXPECT_FALSE(whole.IsEnabled());
}

TEST_F(ProcessorClipboard, CloneSubmenuListsCompatibleProcessorsOffline) {
  CNerexSeriesDevice& a = Make(120, 1);
  Make(16, 2);
  CNerexSeriesDevice& c = Make(114, 3);
  NameDevice(c, "Side fill");
  Make(121, 4);
  CMenu menu = CommonMenu();
  a.BuildContextMenu(menu, 0);
  int popup = -1;
  for (int i = 0; i < menu.GetItemCount(); ++i)
    if (menu.GetSubMenu(i)) popup = i;
  ASSERT_NE(popup, -1);
  EXPECT_EQ(menu.GetItem(popup)->text, "Clone Device From...");
  const auto sub = menu.GetSubMenu(popup);
  ASSERT_EQ(sub->GetItemCount(), 1);
  EXPECT_EQ(sub->GetItemId(0), 33918u + 2);
  EXPECT_EQ(sub->GetItem(0)->text, "Side fill");

  // Cloning copies the source's settings.
  WritableSettings(c).outputs.gains[0] = -99;
  a.OnContextMenuCommand(33920, 0);
  EXPECT_EQ(a.GetCurrentSettings().outputs.gains[0], -99);

  // Alone in its group, or online: no submenu.
  CNerexSeriesDevice& torvex = *static_cast<CNerexSeriesDevice*>(m_system.GetDevice(3));
  CMenu alone = CommonMenu();
  torvex.BuildContextMenu(alone, 0);
  for (int i = 0; i < alone.GetItemCount(); ++i) EXPECT_EQ(alone.GetSubMenu(i), nullptr);
  Connect(a);
  CMenu online = CommonMenu();
  a.BuildContextMenu(online, 0);
  for (int i = 0; i < online.GetItemCount(); ++i) EXPECT_EQ(online.GetSubMenu(i), nullptr);
}

TEST_F(ProcessorClipboard, CloneIdsStayInsideTheRangeThatRemovalClears) {
  CNerexSeriesDevice& first = Make(120, 1);
  for (int i = 0; i < 60; ++i) Make(120, std::uint32_t(i % 60 + 2));
  CMenu menu = CommonMenu();
  first.BuildContextMenu(menu, 0);
  std::shared_ptr<CMenu> sub;
  for (int i = 0; i < menu.GetItemCount(); ++i)
    if (menu.GetSubMenu(i)) sub = menu.GetSubMenu(i);
  ASSERT_TRUE(sub);
  EXPECT_EQ(sub->GetItemCount(), 50);  // devices 1 to 50; device 0 is the menu's own
  for (int i = 0; i < sub->GetItemCount(); ++i) EXPECT_LE(sub->GetItemId(i), kLastDeviceMenuCommand);
  RemoveDeviceMenuItems(menu);
  for (int i = 0; i < menu.GetItemCount(); ++i) EXPECT_EQ(menu.GetSubMenu(i), nullptr);
}

TEST_F(ProcessorClipboard, IgnoreToggleSilencesMetersAndTicksTheItem) {
  CNerexSeriesDevice& d = Make(120);
  EXPECT_FALSE(d.OnContextMenuCommand(33881, 0));
  EXPECT_TRUE(d.IsIgnored());
  EXPECT_GE(Posted(FrameMsg::kRedrawMeterEntry), 1u);
  EXPECT_GE(Posted(FrameMsg::kRefreshRack), 1u);
  CCmdUI ui(33881);
  d.OnUpdateContextMenuCommand(ui);
  EXPECT_EQ(ui.GetCheck(), 1);
  EXPECT_FALSE(d.OnContextMenuCommand(33881, 0));
  EXPECT_FALSE(d.IsIgnored());
  EXPECT_TRUE(d.NeedsInitialisation());
  EXPECT_TRUE(d.OnContextMenuCommand(33880, 0));
  EXPECT_FALSE(d.OnContextMenuCommand(12345, 0));
}

TEST_F(ProcessorClipboard, PresetLabelFollowsTheSectionMask) {
  CNerexSeriesDevice& d = Make(120);
  EXPECT_EQ(d.GetSelectedPresetLabel(kSectionInputs), "No Presets");
  WritablePresets(d)[4]->sectionFlags = kSectionOutputs;
  WritablePresets(d)[6]->sectionFlags = kSectionInputs | kSectionOutputs;
  d.PanelView().SetSelectedPreset(5);
  EXPECT_EQ(d.GetSelectedPresetLabel(kSectionOutputs), "5. Preset 5");
  EXPECT_EQ(d.GetSelectedPresetLabel(kSectionInputs), "7. Preset 7");
  EXPECT_EQ(d.PanelView().GetSelectedPreset(), 7u);

  CNerexSeriesDevice& f = Make(16);
  WritablePresets(f)[1]->sectionFlags = kSectionAll;
  WritableGeneralSettings(f).bytes[7] = 2;
  EXPECT_EQ(f.GetSelectedPresetLabel(kSectionInputs), "2. Preset 2*");
}

namespace {

// An open processor panel that records what the device asks of it.
class CRecordingPanel : public CControlPanel, public INerexSeriesPanel {
 public:
  void NotifyParameterChanged(const CParamValue& value) override {
    ids.push_back(value.id);
    auto* device = static_cast<CNerexSeriesDevice*>(GetDevice());
    CControlMessage record;
    pollDuringPaste = pollDuringPaste || device->GetNextPollMessage(record);
    pasteSeen = pasteSeen || device->PasteGate().IsPasteInProgress();
  }
  void DestroyPanelWindow() override {}
  void RequestMeterUpdate() override {}
  void RefillPresetList() override {}
  void RefreshGeqCurve(bool all) override { calls.push_back(all ? "geq" : "geq-part"); }
  void RefreshPeqSection(bool) override { calls.push_back("peq"); }
  void RefreshDeqSection(bool) override { calls.push_back("deq"); }
  void RefreshOutputEqSection(bool) override { calls.push_back("output eq"); }
  void RefreshOutputSection(bool) override { calls.push_back("output"); }
  void SelectSideTab(std::uint32_t tab, bool) override { calls.push_back("mixer " + std::to_string(tab)); }
  void DrawInputsSection(bool) override { calls.push_back("inputs"); }
  void GetLinkedInputNames(bool) override { calls.push_back("input names"); }
  void GetLinkedOutputNames(bool) override { calls.push_back("output names"); }

  std::vector<std::int32_t> ids;
  std::vector<std::string> calls;
  bool pasteSeen = false;
  bool pollDuringPaste = false;
};

}  // namespace

TEST_F(ProcessorClipboard, PasteHoldsThePollAnnouncesAndRefreshesTheShownPage) {
  CNerexSeriesDevice& source = Make(121, 1);
  source.CopyToClipboard(0);
  CNerexSeriesDevice& d = Make(121, 2);
  d.SetNeedsInitialisation(false);  // the poll would ask for the settings blocks now
  CRecordingPanel panel;
  panel.SetDevice(&d);
  d.SetControlPanel(&panel);
  d.PanelView().SetPanelPage(59);
  d.PasteFromClipboard(0);
  ASSERT_FALSE(panel.ids.empty());
  EXPECT_EQ(panel.ids.front(), 1590);
  EXPECT_TRUE(panel.pasteSeen);
  EXPECT_FALSE(panel.pollDuringPaste);
  EXPECT_FALSE(d.PasteGate().IsPasteInProgress());
  CControlMessage request;
  EXPECT_TRUE(d.GetNextPollMessage(request));  // the poll goes on once the paste is done
  EXPECT_EQ(panel.calls, (std::vector<std::string>{"mixer 295"}));

  panel.calls.clear();
  d.PanelView().SetPanelPage(61);
  d.PasteFromClipboard(33879);
  EXPECT_EQ(panel.calls, (std::vector<std::string>{"input names"}));
  panel.calls.clear();
  d.PanelView().SetPanelPage(63);
  d.PasteFromClipboard(33876);  // the matrix refreshes no page
  EXPECT_TRUE(panel.calls.empty());
  d.SetControlPanel(nullptr);
}
