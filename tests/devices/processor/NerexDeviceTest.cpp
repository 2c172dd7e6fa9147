// The processor device's construction, factory entry, Reinitialise queue, status text,
// security requests and status events.
#include "core/support/SystemMessages.h"
#include "tests/devices/processor/ProcessorTestSupport.h"

#include <stdexcept>

#include "custom/CPData.h"
#include "core/model/DeviceFactory.h"
#include "devices/processor/NerexBlocks.h"
#include "devices/processor/ProcessorFamily.h"
#include "devices/processor/NerexReadBack.h"

namespace {

class NerexDeviceTest : public ProcessorDeviceTest {
 protected:
  std::vector<CControlMessage> Queued() {
    std::vector<CControlMessage> out;
    CControlMessage m;
    for (std::size_t i = 0; m_device->Queue().PeekQueuedMessage(i, m); ++i) out.push_back(m);
    return out;
  }
  static Bytes Raw(const CControlMessage& m, std::size_t count) {
    Bytes raw(count);
    Unpack7Bit(m.frame + 7, int(count), raw.data());
    return raw;
  }
};

}  // namespace

TEST_F(NerexDeviceTest, NewDeviceHasItsDefaultNamesPresetsGeneralSettingsAndMeters) {
  CNerexSeriesDevice& d = Make(120, 7);
  const CNerexSeriesMemory& image = d.GetCurrentSettings();
  EXPECT_EQ(std::string(image.inputs.names[0].data(), 8), "Ch A    ");
  EXPECT_EQ(std::string(image.inputs.names[3].data(), 8), "Ch D    ");
  EXPECT_EQ(std::string(image.outputs.names[0].data(), 8), "Ch 1    ");
  EXPECT_EQ(std::string(image.outputs.names[7].data(), 8), "Ch 8    ");
  ASSERT_EQ(d.GetPresets().size(), 20u);
  EXPECT_EQ(d.GetPresets()[0]->name, "Preset 1");
  EXPECT_EQ(d.GetPresets()[19]->name, "Preset 20");
  EXPECT_EQ(d.GetMemoryName(19), "Preset 20");
  EXPECT_THROW(d.GetMemoryName(20), std::invalid_argument);
  EXPECT_THROW(d.GetMemoryName(-1), std::invalid_argument);
  EXPECT_EQ(d.GetDeqBandMasks(), (std::array<std::uint8_t, 3>{0, 0, 0}));
  EXPECT_TRUE(d.GetXoverPresets().empty());
  const NerexGeneralSettings& g = d.GetGeneralSettings();
  EXPECT_EQ(g.GetSecurityCode(), 8064);
  EXPECT_EQ(g.bytes[NerexGeneralSettings::kOnDelay], 6);
  EXPECT_EQ(g.bytes[NerexGeneralSettings::kLcdContrast], 10);
  EXPECT_EQ(g.bytes[NerexGeneralSettings::kMemoryOffset], 0);
  for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(d.Meters().GetInputMeter(i), -112.0f);
  for (int o = 0; o < 8; ++o) EXPECT_FLOAT_EQ(d.Meters().GetOutputMeter(o), -112.0f);
  EXPECT_FLOAT_EQ(d.Meters().GetDeqMeter(3, 2), -112.0f);
  EXPECT_FLOAT_EQ(d.Meters().GetCompressorMeter(7), -112.0f);
  EXPECT_TRUE(d.HostOptions().GetAutoRtcUpdate());
  EXPECT_EQ(d.PanelView().GetPanelPage(), 59u);
  EXPECT_EQ(d.PanelView().GetSideTab(), 295u);
  EXPECT_EQ(d.HostOptions().GetDelayMultiplier(), 10u);
  EXPECT_TRUE(d.NeedsInitialisation());
  EXPECT_EQ(d.GetModelName(), "Nerex48");
}

TEST_F(NerexDeviceTest, FactoryTakesEveryProcessorCodeAndNoOther) {
  ClearDeviceCreatorsForTests();
  RegisterProcessorFamily();
  for (std::uint32_t code : {16u, 17u, 110u, 112u, 114u, 115u, 116u, 118u, 120u, 121u}) {
    DeviceCreator create = FindDeviceCreator(code);
    ASSERT_NE(create, nullptr) << code;
    std::unique_ptr<CDevice> d(create(&m_system, &m_sink, code, 3, 0x1C4A21));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->GetTypeCode(), code);
    EXPECT_EQ(d->GetDeviceId(), 3u);
    // The Fennick models keep model index 0; the others the variant that discovery reported.
    EXPECT_EQ(d->GetModelIndex(), code == 16 || code == 17 ? 0u : 0x1C4A21u) << code;
  }
  for (std::uint32_t code : {0u, 15u, 18u, 111u, 113u, 117u, 119u, 122u, 34u, 60u}) {
    EXPECT_EQ(FindDeviceCreator(code), nullptr) << code;
    EXPECT_EQ(CreateNerexSeriesDevice(&m_system, &m_sink, code, 3, 0), nullptr) << code;
  }
}

TEST_F(NerexDeviceTest, InstanceCounterFollowsInitialisedDevices) {
  const int before = CNerexSeriesDevice::GetInstanceCount();
  {
    std::unique_ptr<CDevice> a(CreateNerexSeriesDevice(&m_system, &m_sink, 120, 1, 0));
    std::unique_ptr<CDevice> b(CreateNerexSeriesDevice(&m_system, &m_sink, 16, 2, 0));
    EXPECT_EQ(CNerexSeriesDevice::GetInstanceCount(), before + 2);
    // Constructed but never initialised: not counted.
    CNerexSeriesDevice bare(&m_system, 120, 3, &m_sink, 0);
    EXPECT_EQ(CNerexSeriesDevice::GetInstanceCount(), before + 2);
  }
  EXPECT_EQ(CNerexSeriesDevice::GetInstanceCount(), before);
}

TEST_F(NerexDeviceTest, ReinitialiseWithoutSendingQueuesNothingAndRearmsTheReadBack) {
  CNerexSeriesDevice& d = Make(120);
  d.SetNeedsInitialisation(false);
  d.Reinitialise(0);
  EXPECT_EQ(d.Queue().GetQueueSize(), 0u);
  EXPECT_TRUE(d.NeedsInitialisation());
  EXPECT_EQ(CNerexReadBack(d).GetReceivedMask(), 0u);
  EXPECT_EQ(CNerexReadBack(d).GetMemoryFlagsIndex(), 0u);
  EXPECT_EQ(CNerexReadBack(d).GetMemoryNameIndex(), 0u);
  d.Reinitialise(2);
  EXPECT_EQ(d.Queue().GetQueueSize(), 0u);
}

TEST_F(NerexDeviceTest, ReinitialiseToSendQueuesEveryMemoryThenTheCurrentSettingsForced) {
  CNerexSeriesDevice& d = Make(120);
  WritablePresets(d).resize(3);
  WritablePresets(d)[0]->sectionFlags = kSectionInputs | kSectionOutputs;
  WritablePresets(d)[0]->inputs.gains[0] = -77;
  WritablePresets(d)[1]->sectionFlags = kSectionGeq;
  WritablePresets(d)[1]->name = "Geq Only";
  WritablePresets(d)[2]->sectionFlags = 0;
  d.Reinitialise(1);  // not connected: every message is forced
  const auto q = Queued();
  std::vector<std::uint32_t> commands;
  for (const auto& m : q) commands.push_back(m.command);
  EXPECT_EQ(commands, (std::vector<std::uint32_t>{26, 31, 28, 42, 28, 30, 26, 31, 42, 35}));
  // Memory 1: inputs then outputs, with its own settings.
  EXPECT_EQ(Raw(q[0], 2), (Bytes{1, 0x80}));
  EXPECT_EQ(Raw(q[0], 251), BuildBlockWritePayload(kBlockInputs, *d.GetPresets()[0], 120, 1, 0x80));
  EXPECT_EQ(Raw(q[1], 2), (Bytes{1, 0x43}));
  // Memory 2 holds only the graphic EQ: one block with mode 0x04, then its name.
  EXPECT_EQ(Raw(q[3], 2), (Bytes{2, 0x04}));
  const Bytes name = Raw(q[4], 17);
  EXPECT_EQ(name[0], 2);
  EXPECT_EQ(std::string(name.begin() + 1, name.end()), "Geq Only        ");
  // Memory 3 is empty: the unit clears it.
  EXPECT_EQ(q[5].frameLength, 10u);
  EXPECT_EQ(Bytes(q[5].frame + 7, q[5].frame + 9), (Bytes{0, 3}));
  // The current settings with memory byte 0 and mode 0x40.
  EXPECT_EQ(Raw(q[6], 2), (Bytes{0, 0x40}));
  EXPECT_EQ(Raw(q[7], 2), (Bytes{0, 0x40}));
  EXPECT_EQ(Raw(q[8], 2), (Bytes{0, 0x40}));
  EXPECT_EQ(q[9].frameLength, 144u);
}

TEST_F(NerexDeviceTest, ReinitialiseSendsTheDynamicEqOnTorvexAndGeneralSettingsOnFennick) {
  CNerexSeriesDevice& t = Make(121);
  WritablePresets(t).clear();
  t.Reinitialise(1);
  std::vector<std::uint32_t> commands;
  for (const auto& m : Queued()) commands.push_back(m.command);
  EXPECT_EQ(commands, (std::vector<std::uint32_t>{26, 31, 42, 43, 35}));

  CNerexSeriesDevice& f = Make(16);
  WritablePresets(f).clear();
  f.Reinitialise(1);
  commands.clear();
  for (const auto& m : Queued()) commands.push_back(m.command);
  EXPECT_EQ(commands, (std::vector<std::uint32_t>{26, 31, 35, 80}));

  CNerexSeriesDevice& c = Make(110);
  WritablePresets(c).clear();
  c.Reinitialise(1);
  commands.clear();
  for (const auto& m : Queued()) commands.push_back(m.command);
  EXPECT_EQ(commands, (std::vector<std::uint32_t>{26, 31, 35}));
}

TEST_F(NerexDeviceTest, GeneralSettingsCopyAndCompare) {
  NerexGeneralSettings a, b;
  a.bytes[NerexGeneralSettings::kRecallFlag] = 7;
  CopyGeneralSettings(a, b);
  EXPECT_EQ(b.bytes[NerexGeneralSettings::kRecallFlag], 1);
  EXPECT_FALSE(CompareGeneralSettings(a, b));
  b.bytes[NerexGeneralSettings::kClockMinute] = 9;  // the clock does not count
  b.bytes[17] = 3;                                   // nor the further option bytes
  EXPECT_FALSE(CompareGeneralSettings(a, b));
  b.bytes[NerexGeneralSettings::kLedTimeout] = 2;
  EXPECT_TRUE(CompareGeneralSettings(a, b));
  b = a;
  b.SetSecurityCode(1234);
  EXPECT_TRUE(CompareGeneralSettings(a, b));
}

TEST_F(NerexDeviceTest, StatusTextNamesIgnoredNotInitialisedFirmwareAndOffline) {
  CNerexSources::SetFirmwareTableReader([](const std::string& key) {
    return key == "Fennick" ? std::string("2.10") : std::string();
  });
  CNerexSeriesDevice& d = Make(16);
  EXPECT_EQ(d.GetStatusText(), "");
  // A reply while the read-back is incomplete marks the device not initialised.
  Deliver(62, MakeReply(62, Bytes(12, 0)));
  EXPECT_EQ(d.GetStatusText(), "\nNot Initialised");
  // Firmware 2.05 against the table's 2.10.
  Bytes ident(17, ' ');
  ident[14 - 3] = '2';
  ident[15 - 3] = '.';
  ident[16 - 3] = '0';
  ident[17 - 3] = '5';
  Deliver(176, MakeFramedReply(0xB8, ident));
  EXPECT_EQ(d.GetStatusText(), "\nNot Initialised\nFirmware Version Warning - currently v2.05 should be v2.10");
  d.SetIgnored(true);
  EXPECT_EQ(d.GetStatusText(), "\nDevice Ignored");
  CNerexSources::SetFirmwareTableReader(nullptr);
}

TEST_F(NerexDeviceTest, SecurityRequestsOnlyFennickReadsAndWritesTheUserTable) {
  CNerexSeriesDevice& calder = Make(110, 4);
  CControlMessage m;
  ASSERT_TRUE(calder.BuildSecurityCheckMessage(m));
  EXPECT_EQ(m.command, 51u);
  EXPECT_EQ(m.frameLength, 9u);
  EXPECT_EQ(m.expectedLength, 112u);
  EXPECT_EQ(FrameBytes(m), (Bytes{0xF0, 0x00, 0x08, 0x6E, 0x04, 0x00, 0x33, 0x00, 0x1D}));
  EXPECT_FALSE(calder.BuildReadSecurityMessage(m));
  EXPECT_FALSE(calder.BuildWriteSecurityMessage(nullptr, nullptr));

  CNerexSeriesDevice& fennick = Make(16, 4);
  ASSERT_TRUE(fennick.BuildReadSecurityMessage(m));
  EXPECT_EQ(m.command, 74u);
  EXPECT_EQ(m.expectedLength, 288u);
  EXPECT_EQ(m.frameLength, 8u);
  EXPECT_TRUE(fennick.BuildWriteSecurityMessage(nullptr, nullptr));
  CUserList users;
  users.push_back(new CUser("Admin", "pw"));
  ASSERT_TRUE(fennick.BuildWriteSecurityMessage(&m, &users));
  EXPECT_EQ(m.command, 75u);
  EXPECT_EQ(m.frameLength, 288u);
  EXPECT_TRUE(m.write);

  // The unit's table comes back into a user list; every user may use every device and panel.
  m.frame[0] = 0xA8;
  CUserList back;
  m_system.AppendDevice(CreateNerexSeriesDevice(&m_system, &m_sink, 120, 8, 0));
  m_system.AppendDevice(CreateNerexSeriesDevice(&m_system, &m_sink, 121, 9, 0));
  m_system.Panels().AppendCustomPanel(new CCPData());
  fennick.DecodeSecurityBlock(m.frame, back);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0]->GetName(), "Admin");
  EXPECT_EQ(back[0]->GetPassword(), "pw");
  ASSERT_EQ(back[0]->m_devicePermissions.size(), 2u);
  EXPECT_EQ(back[0]->m_devicePermissions[1]->GetUuid(), m_system.GetDevice(1)->GetUuid());
  EXPECT_EQ(back[0]->m_devicePermissions[1]->GetFlags(), 1u);
  ASSERT_EQ(back[0]->m_panelPermissions.size(), 1u);
  EXPECT_EQ(back[0]->m_panelPermissions[0]->GetUuid(), m_system.GetCustomPanels()[0]->GetUuid());
  DeleteAllUsers(users);
  DeleteAllUsers(back);
}

TEST_F(NerexDeviceTest, StatusEventsReachTheOpenPanel) {
  CNerexSeriesDevice& d = Make(120);
  CRecordingNerexPanel panel;
  d.SetControlPanel(&panel);
  d.OnStatusEvent(104);
  d.OnStatusEvent(107);
  EXPECT_EQ(panel.calls, (std::vector<std::string>{"RequestMeterUpdate", "RefillPresetList"}));
  panel.calls.clear();
  d.PanelView().SetPanelPage(63);
  d.OnStatusEvent(105);
  EXPECT_EQ(panel.calls,
            (std::vector<std::string>{"UpdateAllControls", "RefillPresetList", "RefreshOutputEqSection"}));
  EXPECT_FALSE(panel.ids.empty());
  d.SetControlPanel(nullptr);
}

TEST_F(NerexDeviceTest, IgnoringOrDisconnectingDropsTheMetersToTheFloor) {
  CNerexSeriesDevice& d = Make(120);
  d.SetNeedsInitialisation(false);
  Deliver(62, MakeReply(62, Bytes(12, 3)));
  EXPECT_FLOAT_EQ(d.Meters().GetInputMeter(0), 6.0f);
  d.SetIgnored(true);
  EXPECT_FLOAT_EQ(d.Meters().GetInputMeter(0), -112.0f);
  d.SetIgnored(false);
  Deliver(62, MakeReply(62, Bytes(12, 3)));
  d.OnDisconnected(false);
  EXPECT_FLOAT_EQ(d.Meters().GetOutputMeter(7), -112.0f);
  EXPECT_GE(Posted(FrameMsg::kStatusEvent, 104), 2u);
}

TEST_F(NerexDeviceTest, CloneCopiesSettingsPresetsAndOptions) {
  std::unique_ptr<CNerexSeriesDevice> source(
      static_cast<CNerexSeriesDevice*>(CreateNerexSeriesDevice(&m_system, &m_sink, 120, 2, 0)));
  WritableSettings(*source).outputs.gains[3] = -99;
  ResizePresetList(WritablePresets(*source), 5);
  WritablePresets(*source)[4]->name = "Late";
  WritablePresets(*source)[4]->sectionFlags = kSectionOutputs;
  WritableGeneralSettings(*source).SetSecurityCode(4321);
  WritableGeneralSettings(*source).bytes[NerexGeneralSettings::kCurrentPreset] = 5;
  WritableTimedPresets(*source)[2].hour = 13;
  source->HostOptions().SetDelayUnits(2);
  source->HostOptions().SetAutoRtcUpdate(false);
  CNerexSeriesDevice& d = Make(120, 1);
  CloneFrom(d, *source);
  EXPECT_EQ(d.GetCurrentSettings().outputs.gains[3], -99);
  ASSERT_EQ(d.GetPresets().size(), 5u);
  EXPECT_EQ(d.GetPresets()[4]->name, "Late");
  EXPECT_EQ(d.GetPresets()[4]->sectionFlags, kSectionOutputs);
  EXPECT_EQ(d.GetGeneralSettings().GetSecurityCode(), 4321);
  EXPECT_EQ(d.GetGeneralSettings().GetCurrentPreset(), 0);  // not an option byte
  EXPECT_EQ(d.GetTimedPresets()[2].hour, 13);
  EXPECT_EQ(d.HostOptions().GetDelayUnits(), 2u);
  EXPECT_FALSE(d.HostOptions().GetAutoRtcUpdate());
}
