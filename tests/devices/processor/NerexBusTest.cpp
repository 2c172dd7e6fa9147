// Processors against the simulated bus: every model is found by an autoscan of the system's
// own worker, read in full and then polled; the file's settings reach a unit byte for byte;
// a change made in the model reaches the unit; replies with faults are refused and counted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "core/protocol/ControlMessage.h"
#include "core/values/ParamRecords.h"
#include "devices/processor/NerexBlocks.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexMessages.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexPresets.h"
#include "platform/Sync.h"
#include "tests/support/CollectingGrid.h"
#include "tests/support/ProcessorBus.h"
#include "tools/devsim/SimAnswerGate.h"
#include "tests/support/ModelChanges.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Settings that differ from the defaults everywhere a block reaches, within each field's width.
void Vary(CNerexSeriesMemory& m, int seed) {
  auto v = [&](int k, int range) { return (seed * 31 + k * 17) % range; };
  for (int i = 0; i < kNerexMaxInputs; ++i) {
    m.inputs.gains[std::size_t(i)] = std::int16_t(v(i, 200) - 150);
    m.inputs.delays[std::size_t(i)] = std::uint32_t(v(i + 3, 5000) * 100);
    for (int b = 0; b < kNerexInputPeqBands; ++b) {
      NerexEqBand& band = m.inputs.PeqBand(i, b);
      band.type = std::uint8_t(v(i * 8 + b, 13) | (b == 3 ? 0x80 : 0));
      band.q = std::uint8_t(v(b, 108));
      band.frequency = std::uint16_t(v(i + b, 400));
      band.gain = std::int16_t(v(i * b, 300) - 200);
    }
    m.inputs.names[std::size_t(i)] = MakeChannelName("In " + std::to_string(seed % 10) + char('a' + i));
    m.geq.bypass[std::size_t(i)] = std::uint8_t(i & 1);
    m.geq.modes[std::size_t(i)] = std::uint8_t(v(i, 3));
    for (int b = 0; b < kNerexGeqBands; ++b) m.geq.bands[std::size_t(i)][std::size_t(b)] = std::int16_t(v(i + b, 240) - 120);
    for (int k = 0; k < kNerexDeqBandsPerInput; ++k) {
      NerexDeqBand& band = m.DeqBand(i, k);
      band.mode = std::uint8_t(v(k, 4));
      band.q = std::uint8_t(v(i + k, 100));
      band.frequency = std::uint16_t(v(i * k + 5, 500));
      band.effect = std::uint8_t(v(k + 1, 16));
      band.threshold = std::uint8_t(v(k + 2, 100));
      band.ratio = std::uint8_t(v(k + 3, 32));
      band.attack = std::uint8_t(v(k + 4, 64));
      band.release = std::uint8_t(v(k + 5, 64));
      band.filterKind = std::uint8_t(v(k + 6, 4));
      band.bypass = std::uint8_t(k & 1);
    }
  }
  m.inputs.muteMask = std::uint8_t(v(1, 16));
  for (auto& row : m.inputs.matrixGains)
    for (auto& g : row) g = std::int16_t(v(int(&g - &row[0]), 300) - 200);
  m.deqMode = 1;
  m.deqLinking = 0;
  for (int o = 0; o < kNerexMaxOutputs; ++o) {
    const auto u = std::size_t(o);
    m.outputs.gains[u] = std::int16_t(v(o, 250) - 200);
    m.outputs.delays[u] = std::uint32_t(v(o + 1, 4000) * 50);
    m.outputs.routingMasks[u] = std::uint8_t(v(o, 16));
    m.outputs.matrixLevels[u] = {std::uint16_t(v(o, 552)), std::uint16_t(v(o + 1, 552)), std::uint16_t(v(o + 2, 552)),
                                 std::uint16_t(v(o + 3, 552))};
    m.outputs.highPass[u].q = std::uint8_t(v(o, 12));
    m.outputs.highPass[u].frequency = std::uint16_t(v(o, 300));
    m.outputs.lowPass[u].q = std::uint8_t(v(o + 1, 12));
    m.outputs.lowPass[u].frequency = std::uint16_t(v(o, 400) + 30);
    for (int b = 0; b < kNerexOutputPeqBands; ++b) {
      NerexEqBand& band = m.outputs.PeqBand(o, b);
      band.type = std::uint8_t(v(o + b, 13));
      band.q = std::uint8_t(v(o * b, 108));
      band.frequency = std::uint16_t(v(o + 2 * b, 450));
      band.gain = std::int16_t(v(o + b, 500) - 400);
    }
    m.outputs.trims[u] = std::int8_t(v(o, 200) - 100);
    m.outputs.limiters[u] = NerexLimiter{std::uint8_t(v(o, 33)), std::uint8_t(v(o, 18)), std::uint8_t(v(o, 8)),
                                         std::uint8_t(v(o, 13)), std::uint8_t(v(o, 4))};
    m.outputs.compressors[u] = NerexCompressor{std::uint8_t(v(o, 44)), std::uint8_t(v(o + 1, 100)),
                                               std::uint8_t(v(o + 2, 64)), std::uint8_t(v(o, 40)),
                                               std::uint8_t(v(o, 16)), std::uint8_t(o & 1)};
    m.outputs.names[u] = MakeChannelName("Out " + std::to_string(o + 1));
  }
  m.outputs.muteMask = std::uint8_t(v(2, 256));
  m.outputs.phaseMask = std::uint8_t(v(3, 256));
  m.outputs.mixerFlag = 1;
  m.outputs.autoLimiters = 0;
  m.outputs.compressorLimiters = 1;
  m.outputs.channelGroups[kGroupPerOutput + 2] = 9;
}

// The write form of every block the model has, as one byte string.
Bytes Blocks(const CNerexSeriesMemory& image, int model) {
  Bytes all;
  for (int block : {kBlockInputs, kBlockOutputs, kBlockGeq, kBlockDeq}) {
    const Bytes b = BuildBlockWritePayload(block, image, model, 0, 0);
    all.insert(all.end(), b.begin(), b.end());
  }
  return all;
}

constexpr int kModels[] = {16, 17, 110, 112, 114, 115, 116, 118, 120, 121};

class NerexBusModelTest : public ::testing::TestWithParam<int> {};

}  // namespace

TEST_P(NerexBusModelTest, UnitIsDiscoveredReadInFullAndThenPolled) {
  const int model = GetParam();
  CProcessorBus bus;
  bus.DecideOnEvents();
  CSimProcessorUnit* unit = bus.AddUnit(model, 1, model == 112 ? 0x1C4A21 : 0);
  CNerexSeriesMemory image;
  InitMemoryDefaults(image);
  Vary(image, model);
  unit->SetCurrent(image);
  unit->SetDeviceName("Front of House");
  CNerexSeriesMemory preset = image;
  Vary(preset, model + 1);
  preset.sectionFlags = kSectionAll;
  preset.name = "Show";
  unit->SetPreset(3, preset);
  bus.System().SetSystemMonitorVisible(true);

  ASSERT_TRUE(bus.StartWorker());
  ASSERT_TRUE(bus.Autoscan(1));
  const auto devices = bus.Devices();
  ASSERT_EQ(devices.size(), 1u);
  CNerexSeriesDevice* d = devices[0];
  EXPECT_EQ(d->GetModel(), model);
  EXPECT_EQ(d->GetDeviceId(), 1u);
  if (model == 112) {
    EXPECT_EQ(d->GetHardwareCode(), 0x1C4A21u);
    EXPECT_EQ(d->GetModelName(), GetModelName(112, 0x1C4A21));
  }
  ASSERT_TRUE(bus.WaitFor([&] { return d->AllBlocksReceived(); }));
  ASSERT_TRUE(bus.WaitFor([&] { return unit->ReadCount(model == 121 ? 63 : 62) >= 2; }));
  CSingleLock lock(bus.System().GetLock());
  EXPECT_EQ(Blocks(d->GetCurrentSettings(), model), Blocks(image, model));
  EXPECT_EQ(d->GetName(), "Front of House");
  EXPECT_EQ(d->GetPresets()[2]->sectionFlags, kSectionAll);
  EXPECT_EQ(d->GetPresets()[2]->name, "Show");
  EXPECT_EQ(Blocks(*d->GetPresets()[2], model), Blocks(preset, model));
  EXPECT_EQ(d->GetFirmwareVersion(), "1.25");
  EXPECT_EQ(d->GetWarningBits() & kNerexWarningNotInitialised, 0u);
  EXPECT_TRUE(d->IsConnected());
  EXPECT_EQ(d->GetRefusedReplyCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(EveryModel, NerexBusModelTest, ::testing::ValuesIn(kModels),
                         [](const ::testing::TestParamInfo<int>& info) { return "Model" + std::to_string(info.param); });

TEST(NerexBus, SendingTheFileGivesTheUnitEverySettingByteForByte) {
  for (int model : {16, 114, 121}) {
    CProcessorBus bus;
    bus.DecideOnEvents();
    CSimProcessorUnit* unit = bus.AddUnit(model, 2);
    unit->SetPresetCount(3);
    CNerexSeriesDevice* d = bus.AddDevice(model, 2);
    ASSERT_NE(d, nullptr);
    Vary(WritableSettings(*d), 7);
    NameDevice(d, "Delay Tower \xC3\xA9st");
    ResizePresetList(WritablePresets(*d), 3);
    Vary(*WritablePresets(*d)[0], 9);
    WritablePresets(*d)[0]->sectionFlags = kSectionInputs | kSectionOutputs;
    WritablePresets(*d)[0]->name = "Caf\xC3\xA9 Day";
    WritablePresets(*d)[2]->sectionFlags = 0;
    WritableGeneralSettings(*d).SetSecurityCode(1234);
    unit->SetPreset(3, *d->GetPresets()[0]);  // the unit's memory 3 holds something the file clears

    ASSERT_TRUE(bus.StartWorker(1));
    ASSERT_TRUE(bus.WaitFor([&] {
      return !unit->WritesOf(35).empty() && (!IsFennickModel(model) || !unit->WritesOf(80).empty());
    }));
    CSingleLock lock(bus.System().GetLock());
    // Every block write arrived as built.
    const CNerexSeriesMemory current = unit->Current();
    EXPECT_EQ(Blocks(current, model), Blocks(d->GetCurrentSettings(), model)) << model;
    const CNerexSeriesMemory day = unit->Preset(1);
    EXPECT_EQ(day.sectionFlags, kSectionInputs | kSectionOutputs);
    EXPECT_EQ(day.name, "Caf\xE9 Day");  // one byte for each character
    EXPECT_EQ(BuildBlockWritePayload(kBlockInputs, day, model, 0, 0),
              BuildBlockWritePayload(kBlockInputs, *d->GetPresets()[0], model, 0, 0));
    EXPECT_EQ(BuildBlockWritePayload(kBlockOutputs, day, model, 0, 0),
              BuildBlockWritePayload(kBlockOutputs, *d->GetPresets()[0], model, 0, 0));
    EXPECT_EQ(unit->Preset(3).sectionFlags, 0u);
    EXPECT_EQ(unit->DeviceName(), "Delay Tower ?st");
    EXPECT_EQ(unit->GeneralSettings()[8] | unit->GeneralSettings()[9] << 8, IsFennickModel(model) ? 1234 : 8064);
  }
}

// Memory names as a unit holds them, a byte above 0x7F in one and NULs after another: the
// program keeps one character for each byte up to the NUL, the file keeps the same, and a "Send"
// of the file gives the unit the bytes it held.
TEST(NerexBus, MemoryNamesGoBackToTheUnitAsItHeldThemThroughTheFile) {
  const std::string path = ::testing::TempDir() + "memory-names.ovd";
  const std::string held[] = {std::string("Caf\xE9 ~ \xFF"), std::string("Pad\0\0\0 Pad", 10)};
  {
    CProcessorBus bus;
    bus.DecideOnEvents();
    CSimProcessorUnit* unit = bus.AddUnit(kModelFennick, 3);
    for (std::size_t i = 0; i < 2; ++i) {
      CNerexSeriesMemory memory = unit->Preset(i + 1);
      memory.sectionFlags = kSectionInputs;
      memory.name = held[i];
      unit->SetPreset(i + 1, memory);
    }
    CNerexSeriesDevice* d = bus.AddDevice(kModelFennick, 3);
    ASSERT_TRUE(bus.StartAndReadOut(d));
    EXPECT_EQ(d->GetMemoryName(0), "Caf\xC3\xA9 ~ \xC3\xBF");
    EXPECT_EQ(d->GetMemoryName(1), "Pad");
    ASSERT_TRUE(bus.System().File().SaveFile(path));
  }
  CProcessorBus bus;
  bus.DecideOnEvents();
  CSimProcessorUnit* unit = bus.AddUnit(kModelFennick, 3);
  ASSERT_TRUE(bus.System().File().OpenFile(path));
  std::remove(path.c_str());
  const auto devices = bus.Devices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0]->GetMemoryName(0), "Caf\xC3\xA9 ~ \xC3\xBF");
  EXPECT_EQ(devices[0]->GetMemoryName(1), "Pad");
  ASSERT_TRUE(bus.StartWorker(1));
  ASSERT_TRUE(bus.WaitFor([&] { return !unit->WritesOf(35).empty(); }));
  EXPECT_EQ(unit->Preset(1).name, "Caf\xE9 ~ \xFF");
  EXPECT_EQ(unit->Preset(2).name, "Pad");
}

TEST(NerexBus, ChangeMadeInTheModelReachesTheUnitByteForByte) {
  CProcessorBus bus;
  bus.DecideOnEvents();
  CSimProcessorUnit* unit = bus.AddUnit(120, 5);
  CNerexSeriesDevice* d = bus.AddDevice(120, 5);
  ASSERT_TRUE(bus.StartWorker(0));
  ASSERT_TRUE(bus.WaitFor([&] { return d->AllBlocksReceived() && d->IsConnected(); }));

  NerexEqBand band;
  {
    CSingleLock lock(d->SettingsLock());
    NerexEqBand& stored = WritableSettings(*d).outputs.PeqBand(6, 4);
    stored.type = 2;
    stored.q = 77;
    stored.frequency = 301;
    stored.gain = -125;
    band = stored;
  }
  CControlMessage expected;
  ASSERT_TRUE(BuildCommand16LenMessage(*d, expected, band, 11, 4));
  QueueBuilt(*d, false, [&](CControlMessage& m) { return BuildCommand16LenMessage(*d, m, band, 11, 4); });
  NameDevice(d, "Renamed");
  QueueBuilt(*d, false, [&](CControlMessage& m) { return BuildBlock35Message(*d, m); });
  ASSERT_TRUE(bus.WaitFor([&] { return !unit->WritesOf(12).empty() && !unit->WritesOf(35).empty(); }));
  EXPECT_EQ(unit->WritesOf(12).front(), Bytes(expected.frame, expected.frame + expected.frameLength));
  EXPECT_EQ(unit->Current().outputs.PeqBand(6, 4), band);
  EXPECT_EQ(unit->DeviceName(), "Renamed");
}

// A setting is changed while the read-back's read of it is on its way (the unit is connected by
// then: its identification and two blocks have come). The unit answers with the value it held
// before the change reached it; the file keeps the value as changed, and the change's frame
// carries it to the unit.
struct ReadOvertaken {
  const char* name;
  int model;
  std::uint8_t read;
  // The read comes again on the poll counter: the next one is held too, so that what the held
  // answer left in the file is looked at before another answer comes.
  bool polled;
  // Sets the unit's value to differ from the change.
  std::function<void(CSimProcessorUnit&)> prepare;
  // Makes the change as a person does, and builds the frame it should send.
  std::function<void(CNerexSeriesDevice&, CControlMessage&)> change;
  std::uint8_t write;
  // The value now in the unit's state, and in the file's.
  std::function<int(CSimProcessorUnit&)> unitValue;
  std::function<int(CNerexSeriesDevice&)> fileValue;
  int changed;
};

void PrintTo(const ReadOvertaken& c, std::ostream* os) { *os << c.name; }

class NerexBusReadOvertaken : public ::testing::TestWithParam<ReadOvertaken> {};

TEST_P(NerexBusReadOvertaken, ASettingChangedWhileItsReadIsOnItsWayStaysChangedInTheFile) {
  const ReadOvertaken& c = GetParam();
  CProcessorBus bus;
  bus.DecideOnEvents();
  auto* gate = bus.Bus().Add<CSimAnswerGate>(std::make_unique<CSimProcessorUnit>(c.model, 4));
  auto& unit = static_cast<CSimProcessorUnit&>(gate->Unit());
  // The answer held last goes before the bus and the worker stop.
  const std::unique_ptr<CSimAnswerGate, void (*)(CSimAnswerGate*)> release(gate, [](CSimAnswerGate* g) { g->Release(); });
  c.prepare(unit);
  CNerexSeriesDevice* d = bus.AddDevice(c.model, 4);
  gate->HoldNextAnswerTo(c.read);
  ASSERT_TRUE(bus.StartWorker(0));
  ASSERT_TRUE(gate->WaitUntilHolding());
  // The read held: F0, ..., ID 4 in byte 4, the command in byte 6.
  const SimBytes read = gate->HeldRequest();
  ASSERT_GT(read.size(), 7u);
  EXPECT_EQ(read[4], 4);
  EXPECT_EQ(read[6], c.read);
  ASSERT_TRUE(d->IsConnected());
  CControlMessage expected;
  c.change(*d, expected);
  if (c.polled) gate->HoldNextAnswerTo(c.read);
  gate->Release();
  if (c.polled) ASSERT_TRUE(gate->WaitUntilHolding());
  else ASSERT_TRUE(bus.WaitFor([&] { return d->AllBlocksReceived(); }));
  ASSERT_EQ(unit.WritesOf(c.write).size(), 1u);
  EXPECT_EQ(unit.WritesOf(c.write).front(), Bytes(expected.frame, expected.frame + expected.frameLength));
  EXPECT_EQ(c.unitValue(unit), c.changed);
  CSingleLock lock(d->SettingsLock());
  EXPECT_EQ(c.fileValue(*d), c.changed);
}

INSTANTIATE_TEST_SUITE_P(
    Reads, NerexBusReadOvertaken,
    ::testing::Values(
        // A band of the graphic EQ of input 2.
        ReadOvertaken{"GeqBand", kModelTorvex48, kCmdReadGeq, false,
                      [](CSimProcessorUnit& unit) {
                        CNerexSeriesMemory image = unit.Current();
                        image.geq.bands[1][5] = -60;
                        unit.SetCurrent(image);
                      },
                      [](CNerexSeriesDevice& d, CControlMessage& expected) {
                        ModelChange(d, CParamValue(kParamGeqBand + kNerexGeqBands + 5, 4.5f, ParamKind::kLevel));
                        ASSERT_TRUE(BuildPackedWriteMessage(d, expected, kCmdGeqBand, {InputChannelByte(1), 0, 5, 45, 0}));
                      },
                      kCmdGeqBand, [](CSimProcessorUnit& unit) { return int(unit.Current().geq.bands[1][5]); },
                      [](CNerexSeriesDevice& d) { return int(d.GetCurrentSettings().geq.bands[1][5]); },
                      45},
        // The LCD contrast typed in the properties pane, which a Fennick's general settings carry.
        ReadOvertaken{"LcdContrast", kModelFennick, kCmdReadGeneral, true,
                      [](CSimProcessorUnit& unit) {
                        std::array<std::uint8_t, 20> general = unit.GeneralSettings();
                        general[NerexGeneralSettings::kLcdContrast] = 5;
                        unit.SetGeneralSettings(general);
                      },
                      [](CNerexSeriesDevice& d, CControlMessage& expected) {
                        CCollectingGrid grid;
                        d.FillPropertiesPane(grid);
                        CDeviceProperty* row = grid.Find("LCD Contrast");
                        ASSERT_NE(row, nullptr);
                        row->SetValue(std::int64_t(12));
                        ASSERT_TRUE(CommitPropertyRow(d, *row));
                        ASSERT_TRUE(BuildGeneralSettingsMessage(d, expected));
                      },
                      kCmdGeneralSettings,
                      [](CSimProcessorUnit& unit) { return int(unit.GeneralSettings()[NerexGeneralSettings::kLcdContrast]); },
                      [](CNerexSeriesDevice& d) { return int(d.GetGeneralSettings().bytes[NerexGeneralSettings::kLcdContrast]); },
                      12}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NerexBus, RepliesWithFaultsAreRefusedAndCountedAndTheReadBackStillCompletes) {
  CProcessorBus bus;
  bus.DecideOnEvents();
  CSimProcessorUnit* unit = bus.AddUnit(121, 4);
  unit->SetPresetCount(3);
  CNerexSeriesMemory used;
  InitMemoryDefaults(used);
  used.sectionFlags = kSectionOutputs;
  unit->SetPreset(2, used);
  // Content faults: a block reply and a flags reply naming other memories, a memory name for a
  // memory that does not exist.
  unit->InjectReplyFault(48, SimProcessorFault::WrongMemory(300));
  unit->InjectReplyFault(53, SimProcessorFault::WrongMemory(1));
  unit->InjectReplyFault(49, SimProcessorFault::WrongMemory(40));
  CNerexSeriesDevice* d = bus.AddDevice(121, 4);
  ResizePresetList(WritablePresets(*d), 3);
  ASSERT_TRUE(bus.Open());
  // Past the security step; then wire faults, which the transport refuses: an identification
  // reply cut short, then three replies with a bad checksum (the request and its two retries).
  ASSERT_TRUE(bus.RunUntil([&] { return !d->NeedsInitialisation(); }, 40));
  unit->InjectReplyFault(0xB0, SimProcessorFault::CutData(3));
  ASSERT_TRUE(bus.Turn());
  bus.Bus().InjectFaults(SimFault::BadChecksum(), 3);
  ASSERT_TRUE(bus.RunUntil([&] { return d->AllBlocksReceived(); }, 400));
  EXPECT_EQ(d->GetRefusedReplyCount(), 3u);
  EXPECT_GE(bus.Misses(), 2u);
  // The refused replies were asked again and everything arrived in the end.
  EXPECT_EQ(d->GetPresets()[1]->sectionFlags, kSectionOutputs);
  EXPECT_EQ(Blocks(d->GetCurrentSettings(), 121), Blocks(unit->Current(), 121));
  // Meters are then polled on the counter.
  bus.System().SetSystemMonitorVisible(true);
  const std::size_t before = unit->ReadCount(63);
  for (int i = 0; i < 3; ++i) bus.Turn();
  EXPECT_EQ(unit->ReadCount(63), before + 3);
}

TEST(NerexBus, UnitSilentDuringItsReadOutIsProbedShortlyUntilItAnswersThenItsReadOutGoesOn) {
  CProcessorBus bus;
  bus.DecideOnEvents();
  CSimProcessorUnit* quiet = bus.AddUnit(120, 1);
  bus.AddUnit(120, 2);
  CNerexSeriesDevice* d1 = bus.AddDevice(120, 1);
  CNerexSeriesDevice* d2 = bus.AddDevice(120, 2);
  ASSERT_TRUE(bus.Open());
  ASSERT_TRUE(bus.RunUntil([&] { return !d1->NeedsInitialisation() && !d2->NeedsInitialisation(); }, 40));
  // Unit 1 falls silent at its output block (about 790 bytes): that read goes unanswered with
  // its two resends, then two of its identification requests with theirs.
  for (int i = 0; i < 3; ++i) quiet->InjectReplyFault(kCmdReadOutputs, SimProcessorFault::Silence());
  ASSERT_TRUE(bus.RunUntil([&] { return bus.Misses() > 0; }, 40));
  for (int i = 0; i < 6; ++i) quiet->InjectReplyFault(kCmdIdentify, SimProcessorFault::Silence());
  ASSERT_TRUE(bus.RunUntil([&] { return d1->AllBlocksReceived() && d2->AllBlocksReceived(); }, 400));

  // Unit 1's requests from its first output-block read on: the silent unit costs one block
  // read, then only short probes until it answers one, and then its read-out goes on.
  std::vector<int> sent;
  for (const SimBytes& r : bus.Bus().Requests()) {
    if (r.size() == 2 && r[0] == 0xB0 && r[1] == 1) sent.push_back(kCmdIdentify);
    if (r.size() > 6 && (r[0] == 0xF0 || r[0] == 0xF1) && r[4] == 1) sent.push_back(r[6]);
  }
  const auto first = std::find(sent.begin(), sent.end(), int(kCmdReadOutputs));
  ASSERT_GE(sent.end() - first, 11);
  const int b0 = kCmdIdentify, out = kCmdReadOutputs;
  EXPECT_EQ(std::vector<int>(first, first + 11), (std::vector<int>{out, out, out, b0, b0, b0, b0, b0, b0, b0, out}));
  EXPECT_EQ(std::count(sent.begin(), sent.end(), out), 4);
}

// The file has 40 presets where the unit holds 20 (the first ones, and one beyond them holding
// settings in the file): the read-out asks for memory 21 until it is clear that the unit does not
// hold it, then ends the read of memories there with a line that says how many the unit holds,
// and goes on with the rest of the read-out. The file keeps its 40 presets.
TEST(NerexBus, AMemoryTheUnitDoesNotAnswerEndsTheReadOfMemoriesThere) {
  CProcessorBus bus;
  bus.DecideOnEvents();
  CSimProcessorUnit* unit = bus.AddUnit(kModelNerex24, 3);
  unit->SetPresetCount(20);
  CNerexSeriesDevice* d = bus.AddDevice(kModelNerex24, 3);
  {
    CSingleLock lock(d->SettingsLock());
    ResizePresetList(WritablePresets(*d), 40);
    WritablePresets(*d)[24]->sectionFlags = kSectionAll;
    WritablePresets(*d)[24]->name = "File only";
  }
  ASSERT_TRUE(bus.StartWorker());
  ASSERT_TRUE(bus.WaitFor([&] { return d->IsConnected() && d->AllBlocksReceived(); }));

  // The memories each read asked for, in order.
  std::vector<std::uint32_t> flags, names;
  for (const Bytes& r : bus.Bus().Requests()) {
    if (r.size() < 11 || r[0] != 0xF0 || r[4] != 3) continue;
    if (r[6] == kCmdReadMemoryFlags) flags.push_back(GetMemoryNumber(r.data() + 7));
    if (r[6] == kCmdReadMemoryName) names.push_back(GetMemoryNumber(r.data() + 7));
  }
  ASSERT_GE(flags.size(), 21u);
  for (std::uint32_t n = 1; n <= 20; ++n) EXPECT_EQ(flags[n - 1], n);
  // Memory 21 at most as often as its asks and their resends allow; nothing beyond it.
  EXPECT_LE(flags.size() - 20, std::size_t(kMemoryMissesToEnd) * CControlMessage::kMaxSends);
  EXPECT_TRUE(std::all_of(flags.begin() + 20, flags.end(), [](std::uint32_t n) { return n == 21; }));
  EXPECT_TRUE(std::all_of(names.begin(), names.end(), [](std::uint32_t n) { return n <= 20; }));
  const std::vector<std::string> log = bus.Frame().LogLines();
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::string& line) {
                            return line.find("Preset memories of Nerex24 Sim Processor ID: 3: the unit holds 20, the "
                                             "file 40 - memories 21 to 40 are not read") != std::string::npos;
                          }),
            1);
  // The rest of the read-out, then the meters.
  EXPECT_GT(unit->ReadCount(kCmdReadNames), 0u);
  ASSERT_TRUE(bus.Bus().WaitForRequests(bus.Bus().RequestCount() + 20, 20000));
  EXPECT_GT(unit->ReadCount(62) + unit->ReadCount(63), 0u);
  CSingleLock lock(d->SettingsLock());
  EXPECT_EQ(d->GetPresets().size(), 40u);
  EXPECT_EQ(d->GetPresets()[24]->name, "File only");
}

TEST(NerexBus, ReplyNamingAnotherUnitIsRefusedByTheTransportAndAskedAgain) {
  CProcessorBus bus;
  bus.DecideOnEvents();
  CSimProcessorUnit* unit = bus.AddUnit(120, 5);
  CNerexSeriesDevice* d = bus.AddDevice(120, 5);
  ASSERT_TRUE(bus.Open());
  // The unit's replies have repeated its ID and command: from now on it is held to that.
  ASSERT_TRUE(bus.RunUntil([&] { return d->AllBlocksReceived(); }, 400));
  unit->SetDeviceName("Stage Left");
  unit->InjectReplyFault(kCmdReadNames, SimProcessorFault::AnotherUnit(9));
  const std::size_t namesRead = unit->ReadCount(kCmdReadNames);
  d->Reinitialise(0);
  ASSERT_TRUE(bus.RunUntil([&] { return d->AllBlocksReceived(); }, 400));
  EXPECT_EQ(d->GetName(), "Stage Left");
  EXPECT_EQ(bus.Comms().GetErrorCount(), 1u);
  EXPECT_GE(unit->ReadCount(kCmdReadNames), namesRead + 2);  // the refused reply's request went again
  EXPECT_EQ(d->GetRefusedReplyCount(), 0u);       // the device never saw it
}

TEST(NerexBus, UnitsAtLongIdsReadOutWhetherOrNotTheyRepeatTheRequestHeader) {
  // The frames carry the ID's low byte, which each unit answers to: 200, 5000, 300 and 70000 go
  // out as 0xC8, 0x88, 0x2C and 0x70. A device at 556 would go out as 0x2C too, which the unit
  // at 300 answers: it is left out. One at 256 would go out as 0, the address of every unit of
  // the model: it is addressed by nothing. The unit at ID 7 leaves its reply header at zero.
  constexpr std::uint32_t kIds[] = {1, 200, 5000, 300, 70000, 556, 256, 7};
  constexpr std::uint32_t kWithoutUnit[] = {556, 256};
  auto hasUnit = [&](std::uint32_t id) {
    return std::find(std::begin(kWithoutUnit), std::end(kWithoutUnit), id) == std::end(kWithoutUnit);
  };
  CProcessorBus bus;
  bus.DecideOnEvents();
  std::vector<CSimProcessorUnit*> units;
  std::vector<CNerexSeriesDevice*> devices;
  for (std::uint32_t id : kIds) {
    if (hasUnit(id)) {
      units.push_back(bus.AddUnit(kModelNerex48, id));
      units.back()->SetDeviceName("Unit " + std::to_string(id));
    }
    devices.push_back(bus.AddDevice(kModelNerex48, id));
    ASSERT_NE(devices.back(), nullptr);
  }
  units.back()->SetRepeatsHeader(false);
  bus.System().Settings().SetLogCommsErrors(true);
  ASSERT_TRUE(bus.StartWorker());
  auto readOut = [](CNerexSeriesDevice* d) { return d->IsConnected() && d->AllBlocksReceived(); };
  ASSERT_TRUE(bus.WaitFor([&] {
    for (std::size_t i = 0; i < devices.size(); ++i)
      if (hasUnit(kIds[i]) && !readOut(devices[i])) return false;
    return true;
  }));
  ASSERT_TRUE(bus.Bus().WaitForRequests(bus.Bus().RequestCount() + 40, 20000));
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const bool reached = hasUnit(kIds[i]);
    EXPECT_EQ(devices[i]->AddressRules().IsAddressable(), reached) << kIds[i];
    EXPECT_EQ(devices[i]->AddressRules().IsLeftOut(), kIds[i] == 556) << kIds[i];
    EXPECT_EQ(readOut(devices[i]), reached) << kIds[i];
    EXPECT_EQ(devices[i]->GetName(), reached ? "Unit " + std::to_string(kIds[i]) : "") << kIds[i];
  }
  // Every request names the low byte of a unit's ID, never 0.
  const std::vector<std::uint8_t> lowBytes{0x01, 0xC8, 0x88, 0x2C, 0x70, 0x07};
  for (const Bytes& r : bus.Bus().Requests()) {
    const std::uint8_t id = r.size() == 2 ? r[1] : r.size() > 4 ? r[4] : 0;
    EXPECT_NE(std::find(lowBytes.begin(), lowBytes.end(), id), lowBytes.end()) << int(id);
  }
  for (const std::string& line : bus.Frame().LogLines())
    EXPECT_EQ(line.find("Comms Error Count = "), std::string::npos) << line;
}

// A device name typed in the properties pane: one the unit would not keep as typed (a
// character beyond ASCII, which it would show as "?", or a control character pasted with it)
// is refused in words, and neither the unit nor the file gets it; a plain one reaches both.
struct TypedDeviceName {
  const char* name;
  const char* typed;
  const char* refusal;  // empty: taken
};

class NerexBusDeviceName : public ::testing::TestWithParam<TypedDeviceName> {};

TEST_P(NerexBusDeviceName, TheUnitAndTheFileKeepTheNameAsTypedOrItIsRefusedInWords) {
  const TypedDeviceName& c = GetParam();
  CProcessorBus bus;
  bus.DecideOnEvents();
  CSimProcessorUnit* unit = bus.AddUnit(kModelFennick, 3);
  unit->SetDeviceName("Fill");
  CNerexSeriesDevice* d = bus.AddDevice(kModelFennick, 3);
  ASSERT_TRUE(bus.StartAndReadOut(d));
  const std::size_t namesWritten = unit->WritesOf(kCmdNames).size();

  CCollectingGrid grid;
  d->FillPropertiesPane(grid);
  CDeviceProperty* row = grid.Find("Name");
  ASSERT_NE(row, nullptr);
  row->SetValue(std::string(c.typed));
  const bool taken = d->Gate().ApplyUserPropertyChange(*row);
  const std::string kept = *c.refusal ? "Fill" : c.typed;
  EXPECT_EQ(taken, !*c.refusal);
  EXPECT_EQ(taken ? std::string() : row->GetErrorText(), c.refusal);
  // The same words for a panel's text box, which asks the device before it sends.
  EXPECT_EQ(d->ControlChangeRefusal(MakeTextParamValue(kParamDeviceName, c.typed)), c.refusal);
  if (taken) {
    ASSERT_TRUE(bus.WaitFor([&] { return unit->DeviceName() == kept; }));
    EXPECT_EQ(unit->WritesOf(kCmdNames).size(), namesWritten + 1);
  } else {
    CSingleLock lock(bus.System().GetLock());
    EXPECT_EQ(d->Queue().GetQueueSize(), 0u);
  }
  EXPECT_EQ(d->GetName(), kept);

  const std::string path = ::testing::TempDir() + "device-name-" + c.name + ".ovd";
  ASSERT_TRUE(bus.System().File().SaveFile(path));
  CSystem back;
  ASSERT_TRUE(back.File().OpenFile(path));
  ASSERT_EQ(back.GetDeviceCount(), 1);
  EXPECT_EQ(back.GetDevice(0)->GetName(), kept);
  std::remove(path.c_str());
  EXPECT_EQ(unit->DeviceName(), kept);
}

INSTANTIATE_TEST_SUITE_P(
    Typed, NerexBusDeviceName,
    ::testing::Values(
        TypedDeviceName{"Plain", "Stage Left 2", ""},
        TypedDeviceName{"Umlauts", "\xC3\x9Cn\xC3\xAF",
                        "Device name cannot contain \"\xC3\x9C\" - the unit takes ASCII characters only"},
        TypedDeviceName{"Tab", "Stage\tLeft", "Device name cannot contain control characters"},
        TypedDeviceName{"LineEnd", "FOH\r\n", "Device name cannot contain control characters"},
        TypedDeviceName{"Delete", "A\x7F" "B", "Device name cannot contain control characters"},
        TypedDeviceName{"TooLong", "0123456789012345678901234567890123456789X",
                        "Device name too long - 40 characters max"}),
    [](const auto& info) { return std::string(info.param.name); });

// A channel name typed or pasted on the panel (or a custom panel's text widget): the same rule
// with the names frame's eight characters.
class NerexBusChannelName : public ::testing::TestWithParam<TypedDeviceName> {};

TEST_P(NerexBusChannelName, TheUnitAndTheFileKeepTheNameAsTypedOrItIsRefusedInWords) {
  const TypedDeviceName& c = GetParam();
  constexpr int kOutput5 = kParamOutputName + 4;
  CProcessorBus bus;
  bus.DecideOnEvents();
  CSimProcessorUnit* unit = bus.AddUnit(kModelNerex48, 3);
  CNerexSeriesDevice* d = bus.AddDevice(kModelNerex48, 3);
  ASSERT_TRUE(bus.StartAndReadOut(d));
  const std::size_t namesWritten = unit->WritesOf(kCmdNames).size();

  const CParamValue typed = MakeTextParamValue(kOutput5, c.typed);
  EXPECT_EQ(d->ControlChangeRefusal(typed), c.refusal);
  d->Gate().ApplyUserChange(typed);
  const std::string kept = *c.refusal ? "Ch 5    " : (c.typed + std::string(8, ' ')).substr(0, 8);
  if (*c.refusal) {
    CSingleLock lock(bus.System().GetLock());
    EXPECT_EQ(d->Queue().GetQueueSize(), 0u);
  } else {
    ASSERT_TRUE(bus.WaitFor([&] { return unit->WritesOf(kCmdNames).size() == namesWritten + 1; }));
    // The names frame carries the output names from byte 79, eight bytes each.
    const Bytes frame = unit->WritesOf(kCmdNames).back();
    EXPECT_EQ(std::string(frame.begin() + 79 + 8 * 4, frame.begin() + 79 + 8 * 5), kept);
  }
  EXPECT_EQ(std::string(unit->Current().outputs.names[4].data(), 8), kept);

  const std::string path = ::testing::TempDir() + "channel-name-" + c.name + ".ovd";
  ASSERT_TRUE(bus.System().File().SaveFile(path));
  CSystem back;
  ASSERT_TRUE(back.File().OpenFile(path));
  std::remove(path.c_str());
  auto* reopened = dynamic_cast<CNerexSeriesDevice*>(back.GetDevice(0));
  ASSERT_NE(reopened, nullptr);
  EXPECT_EQ(std::string(reopened->GetCurrentSettings().outputs.names[4].data(), 8), kept);
}

INSTANTIATE_TEST_SUITE_P(
    Typed, NerexBusChannelName,
    ::testing::Values(
        TypedDeviceName{"Plain", "Kick 2", ""},
        TypedDeviceName{"Umlaut", "\xC3\x9C" "b\tX",
                        "Channel name cannot contain \"\xC3\x9C\" - the unit takes ASCII characters only"},
        TypedDeviceName{"Tab", "Kick\tSn", "Channel name cannot contain control characters"},
        TypedDeviceName{"NinthCharacter", "ABCDEFGHI", "Channel name too long - 8 characters max"},
        TypedDeviceName{"EightCharacters", "ABCDEFGH", ""}),
    [](const auto& info) { return std::string(info.param.name); });
