// The processor's reply handling: meters and meter pages, identification and the firmware
// check, settings blocks by memory number, names, memory names and section flags, timed presets,
// general settings with the preset copy and the clock, and the refusal of replies that name
// memories that do not exist or are shorter than their layout.
#include <QTemporaryDir>
#include <functional>

#include "core/support/SystemMessages.h"
#include "tests/devices/processor/ProcessorTestSupport.h"

#include "devices/processor/NerexBlocks.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexPresets.h"
#include "tests/support/FirmwareTableFile.h"
#include "tests/support/ModelChanges.h"
#include "devices/processor/ProcessorFamily.h"
#include "devices/processor/NerexReadBack.h"

namespace {

class NerexRepliesTest : public ProcessorDeviceTest {
 protected:
  // A block reply as the unit sends it: [memory number LE16, block], packed.
  static Bytes BlockReply(std::uint8_t command, int number, const CNerexSeriesMemory& image, int model) {
    const int block = command == 48 ? kBlockInputs : command == 50 ? kBlockOutputs : command == 52 ? kBlockGeq : kBlockDeq;
    Bytes raw{std::uint8_t(number), std::uint8_t(std::uint16_t(number) >> 8)};
    const Bytes data = CSimProcessorUnit::EncodeReplyBlock(block, image, model);
    raw.insert(raw.end(), data.begin(), data.end());
    return MakePackedReply(command, raw);
  }
  static Bytes IdentReply(int model, const std::string& version) {
    Bytes body(17, ' ');
    const std::size_t at = (model == 16 || model == 17 ? 14 : 15) - 3;
    for (std::size_t i = 0; i < version.size() && i < 5; ++i) body[at + i] = std::uint8_t(version[i]);
    return MakeFramedReply(0xB8, body);
  }
  static Bytes GeneralReply(std::array<std::uint8_t, 20> bytes) {
    return MakePackedReply(79, Bytes(bytes.begin(), bytes.end()));
  }
  static std::array<std::uint8_t, 20> DefaultGeneral() {
    std::array<std::uint8_t, 20> g{};
    g[8] = 0x80;
    g[9] = 0x1F;
    g[14] = 6;
    g[15] = 10;
    return g;
  }
  // Marks the read-back complete, as a device that has been polled in full.
  void ReadInFull(CNerexSeriesDevice& d) {
    CSimProcessorUnit unit(d.GetModel(), std::uint8_t(d.GetDeviceId()));
    d.SetNeedsInitialisation(false);
    CLoopback loop(m_system, d, unit);
    ASSERT_TRUE(loop.ReadInFull());
  }
};

NerexClockReading FixedClock() { return NerexClockReading{26, 3, 14, 7, 9, 41}; }

}  // namespace

TEST_F(NerexRepliesTest, MeterReplyGivesNineMinusEachByteAndReadingsThatDidNotMoveRedrawNothing) {
  CNerexSeriesDevice& d = Make(120);
  Bytes levels(12, 40);
  levels[0] = 0;
  levels[4 + 7] = 127;
  Deliver(62, MakeReply(62, levels));
  EXPECT_FLOAT_EQ(d.Meters().GetInputMeter(0), 9.0f);
  EXPECT_FLOAT_EQ(d.Meters().GetInputMeter(1), -31.0f);
  EXPECT_FLOAT_EQ(d.Meters().GetOutputMeter(7), -118.0f);
  EXPECT_EQ(Posted(FrameMsg::kStatusEvent, 104), 1u);
  EXPECT_EQ(Posted(FrameMsg::kRedrawMeterEntry, 1), 1u);
  Deliver(62, MakeReply(62, levels));
  EXPECT_EQ(Posted(FrameMsg::kRedrawMeterEntry, 1), 1u);
  levels[4 + 7] = 126;
  Deliver(62, MakeReply(62, levels));
  EXPECT_EQ(Posted(FrameMsg::kStatusEvent, 104), 2u);
  EXPECT_EQ(Posted(FrameMsg::kRedrawMeterEntry, 1), 2u);
  // An ignored device keeps its floor.
  d.SetIgnored(true);
  Deliver(62, MakeReply(62, Bytes(12, 0)));
  EXPECT_FLOAT_EQ(d.Meters().GetInputMeter(0), -112.0f);
}

TEST_F(NerexRepliesTest, TorvexMeterPagesDecodeByThePageLastSent) {
  CNerexSeriesDevice& d = Make(121, 1);
  ReadInFull(d);
  Deliver(176, IdentReply(121, "1.10"));
  WritableSettings(d).outputs.limiters[2].level = 5;
  auto pollPage = [&](std::uint32_t counter) {
    d.SetPollCounter(counter);
    CControlMessage m;
    return d.GetNextPollMessage(m) ? int(m.frame[7]) : -1;
  };
  Connect();
  ASSERT_EQ(pollPage(0), 0);
  Bytes b(12, 10);
  b[4 + 2] = 5;  // output 3's byte equals its limiter level code: 0 dB
  Deliver(63, MakeReply(63, b));
  EXPECT_FLOAT_EQ(d.Meters().GetInputMeter(0), -1.0f);
  EXPECT_FLOAT_EQ(d.Meters().GetOutputMeter(2), 0.0f);
  EXPECT_FLOAT_EQ(d.Meters().GetOutputMeter(0), -10.0f);  // (22 - 10) - (22 - 0)

  // Page 64: inputs and outputs, then the dynamic-EQ levels, then the compressors.
  Deliver(176, IdentReply(121, "1.30"));
  ASSERT_TRUE(CNerexReadBack(d).HasExtendedMeters());
  ASSERT_EQ(pollPage(0), 64);
  Bytes p(32, 0);
  for (int k = 0; k < 32; ++k) p[std::size_t(k)] = std::uint8_t(k);
  Deliver(63, MakeReply(63, p));
  EXPECT_FLOAT_EQ(d.Meters().GetInputMeter(3), 9.0f - 3);
  EXPECT_FLOAT_EQ(d.Meters().GetDeqMeter(1, 2), 22.0f - float(12 + 2 * 4 + 1));
  EXPECT_FLOAT_EQ(d.Meters().GetCompressorMeter(5), 22.0f - float(16 + 8 + 5));
}

TEST_F(NerexRepliesTest, IdentificationTakesTheTrimmedVersionAndSetsTheExtendedMeterFlag) {
  CNerexSeriesDevice& d = Make(121);
  Deliver(176, IdentReply(121, " 1.25"));
  EXPECT_EQ(d.GetFirmwareVersion(), "1.25");
  EXPECT_TRUE(CNerexReadBack(d).HasExtendedMeters());
  EXPECT_TRUE(CNerexReadBack(d).GetReceivedMask() & 0x40);
  Deliver(176, IdentReply(121, "1.20 "));
  EXPECT_EQ(d.GetFirmwareVersion(), "1.20");
  EXPECT_FALSE(CNerexReadBack(d).HasExtendedMeters());
}

TEST_F(NerexRepliesTest, FennickFirmwareDifferingFromTheTableRaisesTheWarning) {
  CNerexSources::SetFirmwareTableReader([](const std::string&) { return std::string("3.01"); });
  CNerexSeriesDevice& d = Make(16);
  Deliver(176, IdentReply(16, "3.01"));
  EXPECT_EQ(d.GetFirmwareVersion(), "3.01");
  EXPECT_EQ(d.GetWarningBits() & kNerexWarningFirmware, 0u);
  Deliver(176, IdentReply(16, "2.99"));
  EXPECT_NE(d.GetWarningBits() & kNerexWarningFirmware, 0u);
  CNerexSources::SetFirmwareTableReader(nullptr);
}

TEST_F(NerexRepliesTest, WithoutAVersionInTheTableAFennickIsNotWarnedAbout) {
  // No table file, and a table that names other families only: no version is expected.
  CNerexSources::SetFirmwareTableReader(&CFirmwareTableFile::Read);
  for (const char* lines : {static_cast<const char*>(nullptr), "ZEL_SERIES=1.00\nZEL_BREAK=2.00\n"}) {
    const CFirmwareTableFile table(lines);
    CNerexSeriesDevice& e = Make(17);
    Deliver(176, IdentReply(17, "3.01"));
    EXPECT_EQ(e.GetFirmwareVersion(), "3.01");
    EXPECT_EQ(e.GetWarningBits() & kNerexWarningFirmware, 0u);
    EXPECT_EQ(e.HasWarnings(), e.GetWarningBits() & kNerexWarningNotInitialised);
    EXPECT_EQ(e.GetStatusText().find("Firmware"), std::string::npos);
  }
  CNerexSources::SetFirmwareTableReader(nullptr);
}

TEST_F(NerexRepliesTest, IdentificationWithAWrongHeaderIsRefusedAndAskedAgain) {
  CNerexSeriesDevice& d = Make(120);
  Bytes reply = IdentReply(120, "1.00");
  reply.resize(20);
  reply[2] = 19;
  reply.back() = Checksum7Bit(reply.data(), 19);
  Deliver(176, reply);
  EXPECT_EQ(CNerexReadBack(d).GetReceivedMask() & 0x40, 0u);
  EXPECT_EQ(d.GetRefusedReplyCount(), 1u);
  EXPECT_EQ(d.GetFirmwareVersion(), "");
}

TEST_F(NerexRepliesTest, BlockRepliesDecodeIntoTheMemoryTheyName) {
  CNerexSeriesDevice& d = Make(120);
  CNerexSeriesMemory source;
  InitMemoryDefaults(source);
  source.inputs.gains = {11, 22, 33, 44};
  source.inputs.muteMask = 0x5;
  Deliver(48, BlockReply(48, 0, source, 120));
  EXPECT_EQ(d.GetCurrentSettings().inputs.gains, source.inputs.gains);
  EXPECT_EQ(d.GetCurrentSettings().inputs.muteMask, 0x5);
  EXPECT_TRUE(CNerexReadBack(d).GetReceivedMask() & 0x01);

  source.outputs.gains[6] = -123;
  Deliver(50, BlockReply(50, 3, source, 120));
  EXPECT_EQ(d.GetPresets()[2]->outputs.gains[6], -123);
  EXPECT_EQ(d.GetCurrentSettings().outputs.gains[6], 0);

  ResizeXoverPresetList(WritableXoverPresets(d), 2);
  source.outputs.gains[6] = -7;
  Deliver(50, BlockReply(50, 258, source, 120));
  EXPECT_EQ(d.GetXoverPresets()[1]->outputs.gains[6], -7);
  EXPECT_EQ(d.GetRefusedReplyCount(), 0u);
}

TEST_F(NerexRepliesTest, BlockRepliesNamingMemoriesThatDoNotExistAreRefusedAndCounted) {
  CNerexSeriesDevice& d = Make(120);
  CNerexSeriesMemory source;
  source.inputs.gains = {99, 99, 99, 99};
  const CNerexSeriesMemory before = d.GetCurrentSettings();
  Deliver(48, BlockReply(48, 21, source, 120));   // 20 presets
  Deliver(48, BlockReply(48, -1, source, 120));
  Deliver(48, BlockReply(48, 257, source, 120));  // crossover numbers only for the output block
  Deliver(50, BlockReply(50, 256, source, 120));
  Deliver(50, BlockReply(50, 257, source, 120));  // no crossover preset at all
  EXPECT_EQ(d.GetRefusedReplyCount(), 5u);
  EXPECT_EQ(CNerexReadBack(d).GetReceivedMask(), 0u);
  EXPECT_EQ(d.GetCurrentSettings(), before);
  for (const auto& preset : d.GetPresets()) EXPECT_EQ(preset->inputs.gains[0], 0);
}

TEST_F(NerexRepliesTest, RepliesShorterThanTheirLayoutAreRefusedWithoutReadingPastThem) {
  CNerexSeriesDevice& d = Make(121);
  CNerexSeriesMemory source;
  source.inputs.gains = {5, 5, 5, 5};
  Bytes reply = BlockReply(48, 0, source, 121);
  // The frame is cut and closed again: valid as a frame, too short for the block.
  reply.resize(200);
  reply[1] = std::uint8_t(199 >> 7);
  reply[2] = std::uint8_t(199 & 0x7F);
  reply.back() = Checksum7Bit(reply.data(), reply.size() - 1);
  const CNerexSeriesMemory before = d.GetCurrentSettings();
  Deliver(48, reply);
  EXPECT_EQ(d.GetCurrentSettings(), before);
  EXPECT_EQ(CNerexReadBack(d).GetReceivedMask(), 0u);
  // Frames with almost nothing in them.
  Deliver(50, MakeReply(50, {}));
  Deliver(49, MakePackedReply(49, Bytes(5, 1)));
  Deliver(53, MakeReply(53, {0, 1}));
  Deliver(79, MakePackedReply(79, Bytes(10, 1)));
  Deliver(78, MakePackedReply(78, Bytes(30, 1)));
  Deliver(62, MakeReply(62, Bytes(3, 1)));
  Deliver(51, MakeReply(51, Bytes(20, 'x')));
  EXPECT_EQ(d.GetRefusedReplyCount(), 8u);
  EXPECT_EQ(CNerexReadBack(d).GetMemoryNameIndex(), 0u);
  EXPECT_EQ(CNerexReadBack(d).GetReceivedMask(), 0u);
  EXPECT_FLOAT_EQ(d.Meters().GetInputMeter(0), -112.0f);
}

TEST_F(NerexRepliesTest, NamesReplyFillsSevenCharactersOfEachSlotAndLeavesMissingSlots) {
  CNerexSeriesDevice& d = Make(114);  // two inputs, four outputs: asked for 96 bytes
  WritableSettings(d).inputs.names[0][7] = '#';
  Bytes text;
  for (char c : std::string("Stage Left") + std::string(30, ' ')) text.push_back(std::uint8_t(c));
  for (char c : std::string("VoxMic1XGuitar2Y")) text.push_back(std::uint8_t(c));
  text.resize(86, 'z');  // ends inside output slot 1
  Deliver(51, MakeReply(51, text));
  EXPECT_EQ(d.GetName(), "Stage Left");
  EXPECT_EQ(std::string(d.GetCurrentSettings().inputs.names[0].data(), 8), "VoxMic1#");
  EXPECT_EQ(std::string(d.GetCurrentSettings().inputs.names[1].data(), 8), "Guitar2 ");
  EXPECT_EQ(std::string(d.GetCurrentSettings().outputs.names[0].data(), 8), "zzzzzzz ");
  EXPECT_EQ(std::string(d.GetCurrentSettings().outputs.names[1].data(), 8), "Ch 2    ");
  EXPECT_TRUE(CNerexReadBack(d).GetReceivedMask() & 0x08);
  EXPECT_EQ(m_sink.Count(FrameMsg::kPanelCaption), 1u);
}

TEST_F(NerexRepliesTest, NamesReplyWhileANamesWriteWaitsKeepsTheNamesButStillPostsTheTitle) {
  CNerexSeriesDevice& d = Make(114);
  NameDevice(d, "From File");
  const auto inputNames = d.GetCurrentSettings().inputs.names;
  auto write = std::make_unique<CControlMessage>();
  ASSERT_TRUE(BuildBlock35Message(d, *write));
  QueueFrame(d, true, std::move(write));
  Bytes text;
  for (char c : std::string("Unit Name") + std::string(31, ' ')) text.push_back(std::uint8_t(c));
  text.resize(96, 'u');
  Deliver(51, MakeReply(51, text));
  EXPECT_EQ(d.GetName(), "From File");
  EXPECT_EQ(d.GetCurrentSettings().inputs.names, inputNames);
  EXPECT_EQ(m_sink.Count(FrameMsg::kPanelCaption), 1u);
  EXPECT_FALSE(CNerexReadBack(d).GetReceivedMask() & 0x08);  // asked again once the names have left
}

// A reply of settings that the unit made before a change of the device reached it.
struct StaleReply {
  const char* name;
  int model;
  std::uint32_t command;
  std::function<Bytes()> reply;
  // What of the device the reply carries, as text to compare.
  std::function<std::string(CNerexSeriesDevice&)> held;
  std::uint32_t receivedBit;
};

void PrintTo(const StaleReply& c, std::ostream* os) { *os << c.name; }

class NerexStaleReplyTest : public NerexRepliesTest, public ::testing::WithParamInterface<StaleReply> {
 public:
  using NerexRepliesTest::BlockReply;
  using NerexRepliesTest::DefaultGeneral;
  using NerexRepliesTest::GeneralReply;
};

// The device is renamed while the read is on its way: the reply leaves what it carries as the
// file has it, and the read is asked again. Asked after the change, the same reply is taken.
TEST_P(NerexStaleReplyTest, AReplyToAReadAskedBeforeAChangeIsLeftOutAndAskedAgain) {
  const StaleReply& c = GetParam();
  CNerexSeriesDevice& d = Make(c.model);
  const CControlMessage read = Ask(c.command);
  ModelChange(d, MakeTextParamValue(kParamDeviceName, "Renamed"));
  const std::string file = c.held(d);
  DeliverTo(read, c.reply());
  EXPECT_EQ(c.held(d), file);
  EXPECT_EQ(d.GetName(), "Renamed");
  EXPECT_EQ(CNerexReadBack(d).GetReceivedMask() & c.receivedBit, 0u);
  EXPECT_EQ(d.GetRefusedReplyCount(), 0u);

  Deliver(c.command, c.reply());
  EXPECT_NE(c.held(d), file);
  EXPECT_EQ(CNerexReadBack(d).GetReceivedMask() & c.receivedBit, c.receivedBit);
}

Bytes UnitNames() {
  Bytes text;
  for (char c : std::string("Unit Name") + std::string(31, ' ')) text.push_back(std::uint8_t(c));
  text.resize(96, 'u');
  return MakeReply(51, text);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, NerexStaleReplyTest,
    ::testing::Values(
        StaleReply{"Names", 114, 51, UnitNames, [](CNerexSeriesDevice& d) { return d.GetName(); }, 0x08},
        StaleReply{"InputBlock", 114, 48,
                   [] {
                     CNerexSeriesMemory image;
                     image.inputs.gains[0] = -120;
                     return NerexStaleReplyTest::BlockReply(48, 0, image, 114);
                   },
                   [](CNerexSeriesDevice& d) { return std::to_string(d.GetCurrentSettings().inputs.gains[0]); }, 0x01},
        StaleReply{"General", 114, 79,
                   [] {
                     std::array<std::uint8_t, 20> g = NerexStaleReplyTest::DefaultGeneral();
                     g[NerexGeneralSettings::kLcdContrast] = 9;
                     return NerexStaleReplyTest::GeneralReply(g);
                   },
                   [](CNerexSeriesDevice& d) {
                     const auto& bytes = d.GetGeneralSettings().bytes;
                     return std::string(bytes.begin() + NerexGeneralSettings::kSecurityCodeLow, bytes.end());
                   },
                   0x100},
        StaleReply{"TimedPresets", 16, 78,
                   [] {
                     Bytes raw(60);
                     for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = std::uint8_t(i + 1);
                     return MakePackedReply(78, raw);
                   },
                   [](CNerexSeriesDevice& d) {
                     const TimedPresetEntry& e = d.GetTimedPresets()[9];
                     return std::to_string(e.preset) + "/" + std::to_string(e.mode);
                   },
                   0x80}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(NerexRepliesTest, MemoryFlagsOnlyForTheMemoryAskedFor) {
  CNerexSeriesDevice& d = Make(120);
  ResizePresetList(WritablePresets(d), 2);
  Deliver(53, MakeReply(53, {0, 2, 0, 0x3}));  // memory 2, but memory 1 is asked for
  EXPECT_EQ(CNerexReadBack(d).GetMemoryFlagsIndex(), 0u);
  EXPECT_EQ(d.GetRefusedReplyCount(), 1u);
  Deliver(53, MakeReply(53, {0, 1, 0, 0x3}));
  EXPECT_EQ(d.GetPresets()[0]->sectionFlags, 0x3u);
  EXPECT_EQ(CNerexReadBack(d).GetMemoryFlagsIndex(), 1u);
  EXPECT_FALSE(CNerexReadBack(d).GetReceivedMask() & 0x20);
  Deliver(53, MakeReply(53, {0, 2, 0, 0x4}));
  EXPECT_TRUE(CNerexReadBack(d).GetReceivedMask() & 0x20);
}

TEST_F(NerexRepliesTest, LastMemoryNameWithoutCrossoversEndsBothPassesAtOnce) {
  CNerexSeriesDevice& d = Make(120);
  ResizePresetList(WritablePresets(d), 1);
  Bytes raw{1, 0};
  for (char c : std::string("  Concert Hall  ")) raw.push_back(std::uint8_t(c));
  Deliver(49, MakePackedReply(49, raw));
  EXPECT_EQ(d.GetPresets()[0]->name, "Concert Hall");
  EXPECT_EQ(CNerexReadBack(d).GetReceivedMask() & 0x610, 0x610u);
  EXPECT_EQ(Posted(FrameMsg::kStatusEvent, 107), 1u);
}

TEST_F(NerexRepliesTest, TimedPresetsAreCopiedEntryByEntry) {
  CNerexSeriesDevice& d = Make(16);
  Bytes raw(60);
  for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = std::uint8_t(i + 1);
  Deliver(78, MakePackedReply(78, raw));
  EXPECT_EQ(d.GetTimedPresets()[0], (TimedPresetEntry{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(d.GetTimedPresets()[9], (TimedPresetEntry{55, 56, 57, 58, 59, 60}));
  EXPECT_TRUE(CNerexReadBack(d).GetReceivedMask() & 0x80);
}

TEST_F(NerexRepliesTest, GeneralSettingsCopyThePresetOnlyWhenItChangesOrIsRecalled) {
  CNerexSources::SetLocalClock(&FixedClock);
  CNerexSeriesDevice& d = Make(16);
  ReadInFull(d);
  WritablePresets(d)[1]->outputs.gains[0] = -150;
  WritablePresets(d)[1]->name = "Two";
  auto g = DefaultGeneral();
  g[7] = 2;
  m_sink.Take();
  Deliver(79, GeneralReply(g));
  EXPECT_EQ(d.GetCurrentSettings().outputs.gains[0], -150);
  EXPECT_EQ(Posted(FrameMsg::kStatusEvent, 105), 1u);
  // The same number without the recall flag copies nothing.
  WritableSettings(d).outputs.gains[0] = 0;
  Deliver(79, GeneralReply(g));
  EXPECT_EQ(d.GetCurrentSettings().outputs.gains[0], 0);
  // With the recall flag it copies again.
  g[6] = 5;
  Deliver(79, GeneralReply(g));
  EXPECT_EQ(d.GetCurrentSettings().outputs.gains[0], -150);
  EXPECT_EQ(d.GetGeneralSettings().bytes[6], 1);
  // A preset that does not exist is not copied; the settings are taken all the same.
  g[6] = 0;
  g[7] = 30;
  g[15] = 12;
  WritableSettings(d).outputs.gains[0] = 0;
  Deliver(79, GeneralReply(g));
  EXPECT_EQ(d.GetCurrentSettings().outputs.gains[0], 0);
  EXPECT_EQ(d.GetRefusedReplyCount(), 1u);
  EXPECT_EQ(d.GetGeneralSettings().bytes[15], 12);
  EXPECT_EQ(Posted(FrameMsg::kShowDeviceProps, 1), 1u);
  CNerexSources::SetLocalClock(nullptr);
}

TEST_F(NerexRepliesTest, GeneralSettingsBeforeTheReadBackEndsCopyNothing) {
  CNerexSources::SetLocalClock(&FixedClock);
  CNerexSeriesDevice& d = Make(16);
  WritablePresets(d)[0]->outputs.gains[0] = -150;
  auto g = DefaultGeneral();
  g[7] = 1;
  Deliver(79, GeneralReply(g));
  EXPECT_EQ(d.GetCurrentSettings().outputs.gains[0], 0);
  EXPECT_TRUE(CNerexReadBack(d).GetReceivedMask() & 0x100);
  CNerexSources::SetLocalClock(nullptr);
}

TEST_F(NerexRepliesTest, UnitClockBehindGetsOneClockCommandPerReplyUntilItMatches) {
  CNerexSources::SetLocalClock(&FixedClock);
  OpenPort();
  CNerexSeriesDevice& d = Make(16, 4);
  Connect();
  auto g = DefaultGeneral();
  const NerexClockReading pc = FixedClock();
  g[0] = std::uint8_t(pc.yearOfCentury);
  g[1] = std::uint8_t(pc.month);
  g[2] = std::uint8_t(pc.day);
  g[3] = std::uint8_t(pc.weekday);
  g[4] = std::uint8_t(pc.hour);
  g[5] = std::uint8_t(pc.minute - 1);
  Deliver(79, GeneralReply(g));
  ASSERT_EQ(d.Queue().GetQueueSize(), 1u);
  CControlMessage m;
  ASSERT_TRUE(d.Queue().PeekQueuedMessage(0, m));
  EXPECT_EQ(m.command, 76u);
  CControlMessage golden;
  golden.Set(76, 15, 0, nullptr, true, 0xA8, 0, 0);
  const Bytes payload{0, 26, 3, 14, 7, 9, 41};
  std::copy(payload.begin(), payload.end(), golden.frame + 7);
  FinaliseFrame(golden, 16, 4);
  EXPECT_EQ(FrameBytes(m), FrameBytes(golden));
  Deliver(79, GeneralReply(g));
  EXPECT_EQ(d.Queue().GetQueueSize(), 2u);
  g[5] = std::uint8_t(pc.minute);
  Deliver(79, GeneralReply(g));
  EXPECT_EQ(d.Queue().GetQueueSize(), 2u);
  // With the automatic update off no clock command is queued.
  d.Queue().ClearQueue();
  d.HostOptions().SetAutoRtcUpdate(false);
  g[5] = 0;
  Deliver(79, GeneralReply(g));
  EXPECT_EQ(d.Queue().GetQueueSize(), 0u);
  CNerexSources::SetLocalClock(nullptr);
}

TEST_F(NerexRepliesTest, IncompleteReadBackMarksNotInitialisedOnEveryReplyAndTheEdgeClearsIt) {
  CNerexSeriesDevice& d = Make(110);
  Deliver(62, MakeReply(62, Bytes(12, 0)));
  Deliver(62, MakeReply(62, Bytes(12, 0)));
  EXPECT_NE(d.GetWarningBits() & kNerexWarningNotInitialised, 0u);
  EXPECT_EQ(m_sink.Count(FrameMsg::kPropagateWarning), 2u);
  ReadInFull(d);
  EXPECT_EQ(d.GetWarningBits() & kNerexWarningNotInitialised, 0u);
  EXPECT_EQ(Posted(FrameMsg::kStatusEvent, 105), 1u);
}

// --- What the unit changes in the file ---

namespace {

// A setting the unit holds otherwise than the file, one of each kind its read-out reports.
struct UnitChange {
  const char* name;
  std::function<void(CSimProcessorUnit&)> change;
  int model = 121;  // a Torvex48: every block; a Fennick reads its general settings and timed presets
  friend void PrintTo(const UnitChange& c, std::ostream* os) { *os << c.name; }
};

CNerexSeriesMemory Changed(CNerexSeriesMemory image, const std::function<void(CNerexSeriesMemory&)>& change) {
  change(image);
  return image;
}

const UnitChange kUnitChanges[] = {
    {"InputGain", [](CSimProcessorUnit& u) { u.SetCurrent(Changed(u.Current(), [](auto& m) { m.inputs.gains[1] = std::int16_t(m.inputs.gains[1] + 70); })); }},
    {"OutputGain", [](CSimProcessorUnit& u) { u.SetCurrent(Changed(u.Current(), [](auto& m) { m.outputs.gains[3] = std::int16_t(m.outputs.gains[3] - 50); })); }},
    {"GraphicEq", [](CSimProcessorUnit& u) { u.SetCurrent(Changed(u.Current(), [](auto& m) { m.geq.bands[0][4] = 30; })); }},
    {"DynamicEq", [](CSimProcessorUnit& u) { u.SetCurrent(Changed(u.Current(), [](auto& m) { m.deqMode = m.deqMode ? 0 : 1; })); }},
    {"ChannelName",
     [](CSimProcessorUnit& u) { u.SetCurrent(Changed(u.Current(), [](auto& m) { m.inputs.names[2] = MakeChannelName("Vox"); })); }},
    {"DeviceName", [](CSimProcessorUnit& u) { u.SetDeviceName("Front of House"); }},
    {"PresetStored",
     [](CSimProcessorUnit& u) {
       u.SetPreset(3, Changed(u.Preset(3), [](auto& m) {
                     m.sectionFlags = kSectionInputs;
                     m.name = "Matinee";
                   }));
     }},
    {"PresetValue",
     [](CSimProcessorUnit& u) {
       u.SetPreset(2, Changed(u.Preset(2), [](auto& m) {
                     m.sectionFlags = kSectionInputs;
                     m.inputs.gains[0] = -120;
                   }));
     }},
    {"TimedPresets",
     [](CSimProcessorUnit& u) {
       std::array<std::uint8_t, 60> timed = u.TimedPresets();
       timed[0] = 2;
       timed[1] = 0x7F;
       u.SetTimedPresets(timed);
     },
     16},
    {"GeneralSettings",
     [](CSimProcessorUnit& u) {
       std::array<std::uint8_t, 20> general = u.GeneralSettings();
       general[10] = 2;  // system lock: full
       u.SetGeneralSettings(general);
     },
     16},
};

class UnitChangesTest : public ::testing::TestWithParam<UnitChange> {};

// A processor of the model at ID 1 in a system of its own, beside its simulated unit, which it
// reads out in full when asked.
struct CReadOutRig {
  explicit CReadOutRig(int model)
      : d(static_cast<CNerexSeriesDevice*>(CreateNerexSeriesDevice(&system, &frame, std::uint32_t(model), 1, 0))),
        unit(model, 1) {
    system.AppendDevice(d);
    unit.SetPresetCount(d->GetPresets().size());
  }
  void ReadOut() {
    d->Reinitialise(0);
    CLoopback loop(system, *d, unit);
    ASSERT_TRUE(loop.ReadInFull());
  }
  CSystem system;
  CRecordingFrame frame;
  CNerexSeriesDevice* d;
  CSimProcessorUnit unit;
};

}  // namespace

// What a read-out of the unit changes in the file is seen by autosave without a print of the
// records: a second read-out that brings the same values leaves the file as it is stored, one
// that brings a value of the unit's own makes it differ, until it is stored again.
TEST_P(UnitChangesTest, AReadOutThatChangesTheFileIsSeenAndOneThatDoesNotIsNot) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string path = dir.filePath("units.ovd").toStdString();
  CReadOutRig rig(GetParam().model);
  CSystem& system = rig.system;
  CSimProcessorUnit& unit = rig.unit;
  auto readOut = [&] { rig.ReadOut(); };
  readOut();
  ASSERT_TRUE(system.File().SaveFile(path));
  EXPECT_FALSE(system.File().HasChangesSinceStored());
  readOut();
  EXPECT_FALSE(system.File().HasChangesSinceStored()) << "the unit reported what the file holds";

  GetParam().change(unit);
  readOut();
  EXPECT_TRUE(system.File().HasChangesSinceStored());
  EXPECT_FALSE(system.IsModified());  // no edit of the person's
  ASSERT_TRUE(system.File().SaveFile(path));
  EXPECT_FALSE(system.File().HasChangesSinceStored());
  readOut();
  EXPECT_FALSE(system.File().HasChangesSinceStored());
}

INSTANTIATE_TEST_SUITE_P(Kinds, UnitChangesTest, ::testing::ValuesIn(kUnitChanges),
                         [](const ::testing::TestParamInfo<UnitChange>& info) { return std::string(info.param.name); });

namespace {

// What a unit reports in its general settings that the file does not keep: the clock, which a
// unit moves on each minute (and the program sets), and the recall flag.
struct UnkeptGeneral {
  const char* name;
  std::size_t byte;
  std::uint8_t value;
  friend void PrintTo(const UnkeptGeneral& c, std::ostream* os) { *os << c.name; }
};

const UnkeptGeneral kUnkeptGeneral[] = {
    {"ClockYear", 0, 27},  {"ClockMonth", 1, 11}, {"ClockDay", 2, 28},    {"ClockWeekday", 3, 5},
    {"ClockHour", 4, 23}, {"ClockMinute", 5, 59}, {"RecallFlag", 6, 1},
};

class UnkeptGeneralTest : public ::testing::TestWithParam<UnkeptGeneral> {};

}  // namespace

// A read-out whose general settings differ from the last only where the file keeps nothing
// leaves the file as it is stored: autosave does not write it again for the unit's clock.
TEST_P(UnkeptGeneralTest, AReadOutThatMovesOnlyWhatTheFileDoesNotKeepLeavesItAsStored) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string path = dir.filePath("units.ovd").toStdString();
  for (const int model : {16, 17}) {
    SCOPED_TRACE(model);
    CReadOutRig rig(model);
    rig.d->HostOptions().SetAutoRtcUpdate(false);
    rig.ReadOut();
    ASSERT_TRUE(rig.system.File().SaveFile(path));
    std::array<std::uint8_t, 20> general = rig.unit.GeneralSettings();
    general[GetParam().byte] = GetParam().value;
    rig.unit.SetGeneralSettings(general);
    rig.ReadOut();
    EXPECT_EQ(rig.d->GetGeneralSettings().bytes[GetParam().byte], GetParam().value);
    EXPECT_FALSE(rig.system.File().HasChangesSinceStored());
  }
}

INSTANTIATE_TEST_SUITE_P(Bytes, UnkeptGeneralTest, ::testing::ValuesIn(kUnkeptGeneral),
                         [](const ::testing::TestParamInfo<UnkeptGeneral>& info) { return std::string(info.param.name); });


class ReopenedFileTest : public ::testing::TestWithParam<int> {};

// A file read again and its unit read out again, holding what the file holds, is no changed
// file: autosave does not write it again for what it read back from the units at going online.
// Its memories, stored and empty, come back from the file with the mark of a stored record.
TEST_P(ReopenedFileTest, AReadOutOfWhatTheOpenedFileHoldsLeavesItAsStored) {
  RegisterProcessorFamily();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string path = dir.filePath("units.ovd").toStdString();
  CReadOutRig rig(GetParam());
  for (const UnitChange& change : kUnitChanges)
    if (std::string(change.name).rfind("Preset", 0) == 0) change.change(rig.unit);
  rig.d->HostOptions().SetAutoRtcUpdate(false);
  rig.ReadOut();
  ASSERT_TRUE(rig.system.File().SaveFile(path));

  CSystem opened;
  CRecordingFrame frame;
  ASSERT_TRUE(opened.File().OpenFile(path));
  ASSERT_EQ(opened.GetDeviceCount(), 1);
  auto* d = static_cast<CNerexSeriesDevice*>(opened.GetDevice(0));
  d->HostOptions().SetAutoRtcUpdate(false);
  d->Reinitialise(0);
  CLoopback loop(opened, *d, rig.unit);
  ASSERT_TRUE(loop.ReadInFull());
  EXPECT_FALSE(opened.File().HasChangesSinceStored());
  EXPECT_EQ(d->GetPresets()[2]->name, "Matinee");
}

INSTANTIATE_TEST_SUITE_P(Models, ReopenedFileTest, ::testing::Values(120, 121, 112, 16, 17),
                         [](const ::testing::TestParamInfo<int>& info) { return "Type" + std::to_string(info.param); });
