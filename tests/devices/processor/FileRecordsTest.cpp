// Processor memory and device records in archives and streams, and Fennick preset files.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <sstream>
#include <sys/stat.h>

#include "core/file/DataStream.h"
#include "devices/processor/NerexPresets.h"
#include "devices/processor/NerexSeriesFile.h"
#include "devices/processor/NerexValueRanges.h"
#include "platform/Archive.h"
#include "tests/devices/processor/TestImages.h"
#include "tests/support/FixedTick.h"

namespace {

CNerexSeriesMemory RandomImageWithIds(unsigned seed, bool inRange = false) {
  CNerexSeriesMemory m = inRange ? MakeRandomStoredImage(seed) : MakeRandomImage(seed);
  InitMemoryDefaults(m);
  m.name = "Mem " + std::to_string(seed);
  m.sectionFlags = 0x5;
  return m;
}

Bytes StoreMemory(const CNerexSeriesMemory& memory) {
  CArchive ar;
  CNerexSeriesMemory copy = memory;
  copy.Serialize(ar);
  return ar.TakeData();
}

void LoadMemory(const Bytes& bytes, CNerexSeriesMemory& memory) {
  CArchive ar(bytes);
  memory.Serialize(ar);
  EXPECT_EQ(ar.Remaining(), 0u);
}

std::uint32_t ReadU32At(const Bytes& b, std::size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
         std::uint32_t(b[at + 3]) << 24;
}

// Value fields of the sections a record of that kind carries.
void ExpectSameInputs(const NerexInputSection& a, const NerexInputSection& b) {
  EXPECT_EQ(a.linkMasks, b.linkMasks);
  EXPECT_EQ(a.gains, b.gains);
  EXPECT_EQ(a.delays, b.delays);
  EXPECT_EQ(a.muteMask, b.muteMask);
  EXPECT_EQ(a.names, b.names);
  EXPECT_EQ(a.matrixGains, b.matrixGains);
  for (std::size_t k = 0; k < a.peqBands.size(); ++k) {
    EXPECT_EQ(a.peqBands[k].type, b.peqBands[k].type);
    EXPECT_EQ(a.peqBands[k].q, b.peqBands[k].q);
    EXPECT_EQ(a.peqBands[k].frequency, b.peqBands[k].frequency);
    EXPECT_EQ(a.peqBands[k].gain, b.peqBands[k].gain);
  }
}

// Test-side writers of the records older programs wrote, built field by field.
void WriteBand(CArchive& ar, const NerexEqBand& b, const NerexEqBandIds& ids) {
  ar.WriteU16(std::uint16_t(b.gain));
  ar.WriteU16(b.frequency);
  ar.WriteU8(b.type);
  ar.WriteU8(b.q);
  ar.WriteU32(ids.typeId);
  ar.WriteU32(ids.qId);
  ar.WriteU32(ids.frequencyId);
  ar.WriteU32(ids.gainId);
}

void WriteInputs(CArchive& ar, const NerexInputSection& in) {
  ar.WriteU8(in.muteMask);
  for (int i = 0; i < 4; ++i) {
    ar.WriteU8(in.linkMasks[i]);
    ar.WriteU16(std::uint16_t(in.gains[i]));
    ar.WriteU32(in.delays[i]);
    for (int b = 0; b < 8; ++b) WriteBand(ar, in.PeqBand(i, b), in.PeqIds(i, b));
    ar.WriteBytes(in.names[i].data(), 8);
    for (int o = 0; o < 8; ++o) ar.WriteU16(std::uint16_t(in.matrixGains[o][i]));
  }
}

void WriteOldOutputs(CArchive& ar, const NerexOutputSection& out) {
  ar.WriteU8(out.muteMask);
  ar.WriteU8(out.phaseMask);
  ar.WriteU8(out.autoLimiters);
  for (int o = 0; o < 8; ++o) {
    ar.WriteU8(out.linkMasks[o]);
    ar.WriteU8(out.routingMasks[o]);
    ar.WriteU16(std::uint16_t(out.gains[o]));
    ar.WriteU32(out.delays[o]);
    ar.WriteU8(std::uint8_t(out.trims[o]));
    const NerexLimiter& l = out.limiters[o];
    for (std::uint8_t b : {l.level, l.attack, l.release, l.clipLevel, l.clipRelease}) ar.WriteU8(b);
    WriteBand(ar, out.highPass[o], out.highPassIds[std::size_t(o)]);
    WriteBand(ar, out.lowPass[o], out.lowPassIds[std::size_t(o)]);
    for (int b = 0; b < 9; ++b) WriteBand(ar, out.PeqBand(o, b), out.PeqIds(o, b));
    ar.WriteBytes(out.names[o].data(), 8);
  }
  for (int i = 0; i < 8; ++i) ar.WriteU8(out.channelGroups[i]);
}

void WriteScrambledOutputs(CArchive& ar, const NerexOutputSection& out, ENerexOutputPlainForm form,
                           std::uint32_t key) {
  Bytes plain = BuildOutputPlainBytes(out, form);
  plain.resize((plain.size() + 3) & ~std::size_t(3), 0);
  ScrambleWords(plain, key);
  ar.WriteU32(key);
  ar.WriteU32(std::uint32_t(plain.size()));
  ar.WriteBytes(plain.data(), plain.size());
}

void WriteGeq(CArchive& ar, const NerexGeqBlock& geq) {
  for (int i = 0; i < 4; ++i) {
    ar.WriteU8(geq.modes[i]);
    ar.WriteU8(geq.bypass[i]);
    for (auto g : geq.bands[i]) ar.WriteU16(std::uint16_t(g));
  }
}

void WriteDeq(CArchive& ar, const CNerexSeriesMemory& m, std::uint32_t version = 1) {
  ar.WriteU32(version);
  ar.WriteU8(m.deqMode);
  ar.WriteU8(m.deqLinking);
  for (const auto& b : m.deqBands) {
    ar.WriteU8(b.mode);
    ar.WriteU16(b.frequency);
    for (std::uint8_t v : {b.effect, b.q, b.threshold, b.ratio, b.attack, b.release, b.filterKind, b.bypass})
      ar.WriteU8(v);
  }
}

// A memory record of the given version (0 for the oldest form without a version word).
Bytes OldMemoryRecord(const CNerexSeriesMemory& m, std::uint32_t version) {
  CArchive ar;
  ar.WriteString(m.name);
  if (version == 0) {
    ar.WriteU32(m.sectionFlags & 0xF);
    WriteInputs(ar, m.inputs);
    WriteOldOutputs(ar, m.outputs);
    WriteGeq(ar, m.geq);
    return ar.TakeData();
  }
  ar.WriteU32(m.sectionFlags | 0x80000000u);
  ar.WriteU32(version);
  WriteInputs(ar, m.inputs);
  if (version == 2)
    WriteOldOutputs(ar, m.outputs);
  else
    WriteScrambledOutputs(ar, m.outputs,
                          version == 3 ? ENerexOutputPlainForm::V3 : ENerexOutputPlainForm::V4, 0x1234ABCD);
  WriteGeq(ar, m.geq);
  if (version >= 4) WriteDeq(ar, m);
  return ar.TakeData();
}

}  // namespace

TEST(OutputRecordBytes, PlainSizesOfEveryFormMatchTheirLayouts) {
  EXPECT_EQ(GetOutputPlainSize(ENerexOutputPlainForm::V5), 789u);  // 5 + 32 + 8 x 94
  EXPECT_EQ(GetOutputPlainSize(ENerexOutputPlainForm::V4), 724u);  // 4 + 32 + 8 x 86
  EXPECT_EQ(GetOutputPlainSize(ENerexOutputPlainForm::V3), 691u);  // 3 + 32 + 8 x 82
  EXPECT_EQ(GetOutputPlainSize(ENerexOutputPlainForm::Stream), 725u);
  NerexOutputSection out;
  EXPECT_EQ(BuildOutputPlainBytes(out, ENerexOutputPlainForm::V5).size(), 789u);
}

TEST(OutputRecordBytes, FirstOutputOfVersionFiveSitsAtItsGoldenOffsets) {
  NerexOutputSection out;
  out.muteMask = 0x81;
  out.phaseMask = 0x02;
  out.autoLimiters = 1;
  out.compressorLimiters = 1;
  out.mixerFlag = 1;
  out.channelGroups[0] = 0xAA;
  out.channelGroups[31] = 0xBB;
  out.linkMasks[0] = 0x03;
  out.routingMasks[0] = 0x05;
  out.gains[0] = -123;
  out.trims[0] = -7;
  out.delays[0] = 0x01020304;
  out.limiters[0] = NerexLimiter{1, 2, 3, 4, 5};
  out.highPass[0].q = 6;
  out.highPass[0].frequency = 0x0102;
  out.lowPass[0].q = 7;
  out.lowPass[0].frequency = 0x01B1;
  out.PeqBand(0, 0) = NerexEqBand{0x85, 60, 252, -30};
  out.names[0] = MakeChannelName("Left");
  out.compressors[0] = NerexCompressor{0x5A, 29, 51, 0x21, 3, 1};
  out.matrixLevels[0] = {150, 0, 551, 1};
  const Bytes plain = BuildOutputPlainBytes(out, ENerexOutputPlainForm::V5);
  Bytes expected{0x81, 0x02, 0x01, 0x01, 0x01, 0xAA};
  expected.resize(5 + 31, 0);
  expected.push_back(0xBB);
  Append(expected, {0x03, 0x05, 0x85, 0xFF, 0xF9, 0x04, 0x03, 0x02, 0x01, 1, 2, 3, 4, 5, 6, 0x02, 0x01, 7, 0xB1, 0x01});
  Append(expected, {0x85, 60, 252, 0, 0xE2, 0xFF});
  Append(expected, {0x00, 60, 252, 0, 0, 0}, 8);
  AppendText8(expected, "Left");
  // compressor: 0x80 flag | 0x40 bypass | ratio 0x21; attack 29 << 1 | bit 5 of 51; 51 << 3 | 0x5A >> 4; 0x5A << 4 | 3
  Append(expected, {0xE1, 0x3B, 0x9D, 0xA3});
  Append(expected, {150, 0, 0, 0, 0x27, 0x02, 1, 0});
  ASSERT_GE(plain.size(), expected.size());
  EXPECT_EQ(Bytes(plain.begin(), plain.begin() + std::ptrdiff_t(expected.size())), expected);
}

TEST(OutputRecordBytes, ScramblingChainsEachWordWithThePreviousStoredWord) {
  Bytes bytes{0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00};
  ScrambleWords(bytes, 0x10000000);
  // c0 = 1 ^ key = 0x10000001; c1 = 2 ^ c0 = 0x10000003.
  EXPECT_EQ(bytes, (Bytes{0x01, 0x00, 0x00, 0x10, 0x03, 0x00, 0x00, 0x10}));
  UnscrambleWords(bytes, 0x10000000);
  EXPECT_EQ(bytes, (Bytes{0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00}));
}

TEST(MemoryRecord, DefaultTorvexImageWritesGoldenHeadAndA792ByteOutputRecord) {
  FixedTick tick(0xCAFEF00D);
  CNerexSeriesMemory m;
  InitMemoryDefaults(m);
  m.sectionFlags = kSectionInputs | kSectionOutputs;
  const Bytes b = StoreMemory(m);
  // "Device" as the archive's wide string, flags with bit 31, version 5.
  Bytes head{0xFF, 0xFE, 0xFF, 6, 'D', 0, 'e', 0, 'v', 0, 'i', 0, 'c', 0, 'e', 0, 0x03, 0, 0, 0x80, 5, 0, 0, 0};
  // Input record: mute mask, then input A: link 1, gain 0, delay 0, first band (gain, frequency, type, q, ids).
  Append(head, {0x00, 0x01, 0x00, 0x00, 0, 0, 0, 0, 0x00, 0x00, 0xFC, 0x00, 0x00, 60});
  Append(head, {0x5C, 0x02, 0, 0, 0x1C, 0x02, 0, 0, 0xFC, 0x01, 0, 0, 0x3C, 0x02, 0, 0});  // ids 604, 540, 508, 572
  ASSERT_GT(b.size(), head.size());
  EXPECT_EQ(Bytes(b.begin(), b.begin() + std::ptrdiff_t(head.size())), head);
  // Input record: 1 + 4 x (1 + 2 + 4 + 8 x 22 + 8 + 16) = 829 bytes after the 24-byte head.
  const std::size_t output = 24 + 829;
  EXPECT_EQ(ReadU32At(b, output), 0xCAFEF00Du);
  EXPECT_EQ(ReadU32At(b, output + 4), 792u);
  // Rest: graphic EQ (4 x 58) and dynamic EQ (4 + 2 + 12 x 11).
  EXPECT_EQ(b.size(), output + 8 + 792 + 232 + 138);
  // The padding words unscramble to zero.
  Bytes words(b.begin() + std::ptrdiff_t(output + 8), b.begin() + std::ptrdiff_t(output + 8 + 792));
  UnscrambleWords(words, 0xCAFEF00D);
  EXPECT_EQ(words[789], 0);
  EXPECT_EQ(words[790], 0);
  EXPECT_EQ(words[791], 0);
}

TEST(MemoryRecord, RoundTripKeepsEveryValueFieldAndTheTargetsParameterIds) {
  for (unsigned seed : {1u, 2u, 3u}) {
    const CNerexSeriesMemory source = RandomImageWithIds(seed);
    CNerexSeriesMemory loaded;
    InitMemoryDefaults(loaded);
    LoadMemory(StoreMemory(source), loaded);
    ExpectSameInputs(loaded.inputs, source.inputs);
    NerexOutputSection expectedOut = source.outputs;
    for (int o = 0; o < 8; ++o) {
      expectedOut.highPass[o].type = 3;
      expectedOut.lowPass[o].type = 4;
      expectedOut.highPass[o].gain = expectedOut.lowPass[o].gain = 0;
    }
    EXPECT_EQ(loaded.outputs, expectedOut);
    EXPECT_EQ(loaded.geq, source.geq);
    EXPECT_EQ(loaded.deqMode, source.deqMode);
    EXPECT_EQ(loaded.deqBands, source.deqBands);
    EXPECT_EQ(loaded.name, source.name);
    EXPECT_EQ(loaded.sectionFlags, 0x80000005u);  // stored as read, bit 31 included
    EXPECT_EQ(loaded.inputs.PeqIds(2, 3).typeId, 604u + 16 + 3);
    EXPECT_EQ(loaded.outputs.PeqIds(7, 8).gainId, 844u + 63 + 8);
  }
}

TEST(MemoryRecord, EveryOlderVersionReadsItsSections) {
  const CNerexSeriesMemory source = RandomImageWithIds(7);
  const CNerexSeriesMemory defaults = [] {
    CNerexSeriesMemory m;
    InitMemoryDefaults(m);
    return m;
  }();
  for (std::uint32_t version : {0u, 2u, 3u, 4u}) {
    SCOPED_TRACE(version);
    CNerexSeriesMemory loaded = defaults;
    const Bytes record = OldMemoryRecord(source, version);
    // One byte short fails as a whole, before anything is taken.
    CArchive cut(Bytes(record.begin(), record.end() - 1));
    EXPECT_THROW(loaded.Serialize(cut), CArchiveException);
    EXPECT_EQ(loaded, defaults);
    LoadMemory(record, loaded);
    ExpectSameInputs(loaded.inputs, source.inputs);
    EXPECT_EQ(loaded.geq, source.geq);
    EXPECT_EQ(loaded.outputs.gains, source.outputs.gains);
    EXPECT_EQ(loaded.outputs.limiters, source.outputs.limiters);
    EXPECT_EQ(loaded.outputs.names, source.outputs.names);
    EXPECT_EQ(loaded.outputs.highPass[5].type, 3);
    EXPECT_EQ(loaded.outputs.lowPass[5].type, 4);
    EXPECT_EQ(loaded.outputs.highPass[5].frequency, source.outputs.highPass[5].frequency);
    const bool oldOutputs = version <= 2;
    // The old output form holds only the first 8 channel-group bytes.
    EXPECT_EQ(loaded.outputs.channelGroups[7], source.outputs.channelGroups[7]);
    EXPECT_EQ(loaded.outputs.channelGroups[20], oldOutputs ? 0 : source.outputs.channelGroups[20]);
    EXPECT_EQ(loaded.outputs.compressors, version >= 4 ? source.outputs.compressors : defaults.outputs.compressors);
    EXPECT_EQ(loaded.outputs.matrixLevels, defaults.outputs.matrixLevels);  // only version 5 has them
    EXPECT_EQ(loaded.deqBands, version >= 4 ? source.deqBands : defaults.deqBands);
    EXPECT_EQ(loaded.sectionFlags & 0x80000000u, version == 0 ? 0u : 0x80000000u);
  }
}

TEST(MemoryRecord, VersionsZeroAndOneReadNothingAfterTheVersion) {
  CArchive ar;
  ar.WriteString("Only name");
  ar.WriteU32(0x80000003u);
  ar.WriteU32(1);
  CNerexSeriesMemory loaded;
  LoadMemory(ar.TakeData(), loaded);
  EXPECT_EQ(loaded.name, "Only name");
  EXPECT_EQ(loaded.inputs, CNerexSeriesMemory().inputs);
}

TEST(MemoryRecord, DamagedRecordsFailTheLoadAndLeaveTheImageUnchanged) {
  const CNerexSeriesMemory source = RandomImageWithIds(11);
  const Bytes good = StoreMemory(source);
  const std::size_t output = good.size() - 370 - 8 - 792;  // start of the output record
  auto expectRefused = [&](const Bytes& bytes, const char* what) {
    SCOPED_TRACE(what);
    CNerexSeriesMemory target;
    const CNerexSeriesMemory before = target;
    CArchive ar(bytes);
    EXPECT_THROW(target.Serialize(ar), CArchiveException);
    EXPECT_EQ(target, before);
  };
  Bytes b = good;
  b[20] = 6;  // memory version 6 is unknown
  expectRefused(b, "version");
  b = good;
  b[output + 4] = 0x19;  // length 793: not a multiple of 4
  b[output + 5] = 0x03;
  expectRefused(b, "odd length");
  b = good;
  b[output + 4] = 0xFC;  // length 764: too short for the layout
  b[output + 5] = 0x02;
  expectRefused(b, "short length");
  b = good;
  b[output + 7] = 0x40;  // a length far beyond the data
  expectRefused(b, "huge length");
  b = good;
  b[good.size() - 138] = 2;  // dynamic-EQ record version 2
  expectRefused(b, "dynamic-EQ version");
  // A later program's dynamic EQ: the file is refused as one of a more recent version.
  try {
    CNerexSeriesMemory target;
    CArchive ar(b);
    target.Serialize(ar);
    ADD_FAILURE() << "read";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.GetCause(), CArchiveException::NewerVersion) << e.what();
  }
  expectRefused(Bytes(good.begin(), good.end() - 1), "cut short");
}

// --- Device records ---

namespace {

struct DeviceState {
  std::string name = "Stage left";
  CNerexSeriesMemory current;
  CNerexMemoryList presets;
  CNerexMemoryList xovers;
  NerexDeviceRecordFields fields;

  DeviceState() {
    InitMemoryDefaults(current);
    ResizePresetList(presets, 20);
    fields.name = &name;
    fields.current = &current;
    fields.presets = &presets;
    fields.xoverPresets = &xovers;
    fields.general[7] = 3;
    fields.general[8] = 0x80;  // code 8064
    fields.general[9] = 0x1F;
    fields.general[14] = 6;
    fields.general[15] = 10;
  }
};

DeviceState MakeFilledState() {
  DeviceState s;
  s.current = RandomImageWithIds(21);
  ResizePresetList(s.presets, 22);
  s.presets[21]->name = "Last";
  s.presets[3]->CopyFrom(RandomImageWithIds(22));
  ResizePresetList(s.xovers, 3);
  s.xovers[2]->outputs.gains[1] = -55;
  s.fields.autoRtcUpdate = false;
  s.fields.delayUnits = 2;
  s.fields.delayMultiplier = 1000;
  s.fields.gainNudge = 1;
  for (std::size_t i = 0; i < s.fields.general.size(); ++i) s.fields.general[i] = std::uint8_t(i * 7 + 1);
  for (std::size_t i = 0; i < s.fields.timedPresets.size(); ++i) s.fields.timedPresets[i] = std::uint8_t(i + 100);
  return s;
}

Bytes StoreDevice(DeviceState& s) {
  CArchive ar;
  SerializeNerexDeviceRecord(ar, s.fields);
  return ar.TakeData();
}

void ExpectSameImage(const CNerexSeriesMemory& a, const CNerexSeriesMemory& b) {
  EXPECT_EQ(a.name, b.name);
  ExpectSameInputs(a.inputs, b.inputs);
  EXPECT_EQ(a.outputs.gains, b.outputs.gains);
  EXPECT_EQ(a.outputs.compressors, b.outputs.compressors);
  EXPECT_EQ(a.geq, b.geq);
  EXPECT_EQ(a.deqBands, b.deqBands);
}

}  // namespace

TEST(DeviceRecord, VersionSixRoundTripGivesBackEveryField) {
  DeviceState source = MakeFilledState();
  const Bytes bytes = StoreDevice(source);
  EXPECT_EQ(ReadU32At(bytes, 0), 6u);
  DeviceState loaded;
  CArchive ar(bytes);
  SerializeNerexDeviceRecord(ar, loaded.fields);
  EXPECT_EQ(ar.Remaining(), 0u);
  EXPECT_EQ(loaded.name, "Stage left");
  EXPECT_FALSE(loaded.fields.autoRtcUpdate);
  EXPECT_EQ(loaded.fields.delayUnits, 2u);
  EXPECT_EQ(loaded.fields.delayMultiplier, 1000u);
  EXPECT_EQ(loaded.fields.gainNudge, 1u);
  ExpectSameImage(loaded.current, source.current);
  ASSERT_EQ(loaded.presets.size(), 22u);
  EXPECT_EQ(loaded.presets[21]->name, "Last");
  ExpectSameImage(*loaded.presets[3], *source.presets[3]);
  ASSERT_EQ(loaded.xovers.size(), 3u);
  EXPECT_EQ(loaded.xovers[2]->outputs.gains[1], -55);
  // The general record carries bytes 7 to 19; bytes 0 to 6 stay the device's own.
  for (std::size_t i = 0; i < 20; ++i)
    EXPECT_EQ(loaded.fields.general[i], i >= 7 ? source.fields.general[i] : DeviceState().fields.general[i]) << i;
  EXPECT_EQ(loaded.fields.timedPresets, source.fields.timedPresets);
  // The tail: 13 general bytes, then the 60 timed-preset bytes in order.
  EXPECT_EQ(Bytes(bytes.end() - 73, bytes.end() - 60),
            Bytes(source.fields.general.begin() + 7, source.fields.general.end()));
}

namespace {

// A device record of an older version, written field by field.
Bytes OldDeviceRecord(std::uint32_t version, DeviceState& s) {
  CArchive ar;
  ar.WriteU32(version);
  ar.WriteString(s.name);
  ar.WriteU32(s.fields.autoRtcUpdate ? 1 : 0);
  if (version >= 5) {
    ar.WriteU32(s.fields.delayUnits);
    ar.WriteU32(s.fields.delayMultiplier);
    if (version >= 6) ar.WriteU32(s.fields.gainNudge);
  }
  ar.WriteU32(std::uint32_t(s.presets.size()));
  s.current.Serialize(ar);
  for (auto& p : s.presets) p->Serialize(ar);
  if (version >= 4) {
    ar.WriteU32(std::uint32_t(s.xovers.size()));
    for (auto& p : s.xovers) p->Serialize(ar);
  }
  if (version <= 2) {
    ar.WriteU8(s.fields.general[7]);
    ar.WriteU8(s.fields.general[8]);
    ar.WriteU8(s.fields.general[9]);
    ar.WriteU8(0xEE);
    ar.WriteU8(0xEE);
  } else {
    ar.WriteU8(s.fields.general[7]);
    for (std::size_t i = 8; i < 20; ++i) ar.WriteU8(s.fields.general[i]);
  }
  if (version >= 2) ar.WriteBytes(s.fields.timedPresets.data(), 60);
  return ar.TakeData();
}

}  // namespace

TEST(DeviceRecord, EveryVersionFromOneToSixIsRead) {
  for (std::uint32_t version = 1; version <= 6; ++version) {
    SCOPED_TRACE(version);
    DeviceState source = MakeFilledState();
    DeviceState loaded;
    CArchive ar(OldDeviceRecord(version, source));
    SerializeNerexDeviceRecord(ar, loaded.fields);
    EXPECT_EQ(ar.Remaining(), 0u);
    EXPECT_EQ(loaded.name, source.name);
    EXPECT_FALSE(loaded.fields.autoRtcUpdate);
    EXPECT_EQ(loaded.presets.size(), 22u);
    ExpectSameImage(loaded.current, source.current);
    EXPECT_EQ(loaded.fields.general[8], source.fields.general[8]);
    EXPECT_EQ(loaded.fields.general[9], source.fields.general[9]);
    EXPECT_EQ(loaded.fields.general[7], source.fields.general[7]);
    // Bytes 10 to 19 come with version 3 on; before that they keep the device's values.
    EXPECT_EQ(loaded.fields.general[15], version >= 3 ? source.fields.general[15] : 10);
    EXPECT_EQ(loaded.xovers.size(), version >= 4 ? 3u : 0u);
    EXPECT_EQ(loaded.fields.delayUnits, version >= 5 ? 2u : 0u);
    EXPECT_EQ(loaded.fields.delayMultiplier, version >= 5 ? 1000u : 10u);
    EXPECT_EQ(loaded.fields.gainNudge, version >= 6 ? 1u : 0u);
    const std::array<std::uint8_t, 60> zero{};
    EXPECT_EQ(loaded.fields.timedPresets, version >= 2 ? source.fields.timedPresets : zero);
  }
}

TEST(DeviceRecord, UnknownVersionsAndUnboundedCountsFailTheLoad) {
  DeviceState source = MakeFilledState();
  for (std::uint32_t version : {0u, 7u, 0xFFFFFFFFu}) {
    Bytes b = StoreDevice(source);
    b[0] = std::uint8_t(version);
    b[1] = b[2] = b[3] = std::uint8_t(version >> 8);
    DeviceState loaded;
    CArchive ar(b);
    EXPECT_THROW(SerializeNerexDeviceRecord(ar, loaded.fields), CArchiveException) << version;
  }
  // A preset count of 256 (beyond what memory numbers address) and one far beyond the data.
  for (std::uint32_t count : {256u, 0x7FFFFFFFu}) {
    CArchive ar;
    ar.WriteU32(6);
    ar.WriteString("x");
    for (int i = 0; i < 4; ++i) ar.WriteU32(0);
    ar.WriteU32(count);
    DeviceState loaded;
    CArchive in(ar.TakeData());
    EXPECT_THROW(SerializeNerexDeviceRecord(in, loaded.fields), CArchiveException) << count;
    EXPECT_EQ(loaded.presets.size(), 20u);
  }
}

// --- Streams ---

TEST(StreamRecords, MemoryRoundTripCarriesNoDynamicEqAndNoMatrixLevels) {
  CNerexSeriesMemory source = RandomImageWithIds(31);
  std::stringstream s;
  CDataStream out(static_cast<std::ostream&>(s));
  ASSERT_TRUE(source.SerializeStream(out));
  CNerexSeriesMemory loaded;
  InitMemoryDefaults(loaded);
  const CNerexSeriesMemory before = loaded;
  CDataStream in(static_cast<std::istream&>(s));
  ASSERT_TRUE(loaded.SerializeStream(in));
  EXPECT_EQ(loaded.name, source.name);
  EXPECT_EQ(loaded.sectionFlags, source.sectionFlags);
  ExpectSameInputs(loaded.inputs, source.inputs);
  EXPECT_EQ(loaded.outputs.compressors, source.outputs.compressors);
  EXPECT_EQ(loaded.outputs.mixerFlag, source.outputs.mixerFlag);
  EXPECT_EQ(loaded.outputs.matrixLevels, before.outputs.matrixLevels);
  EXPECT_EQ(loaded.geq, source.geq);
  EXPECT_EQ(loaded.deqBands, before.deqBands);
}

TEST(StreamRecords, MemoryOfAnotherVersionOrCutShortLeavesTheImageUnchanged) {
  CNerexSeriesMemory source = RandomImageWithIds(32);
  std::stringstream s;
  CDataStream out(static_cast<std::ostream&>(s));
  source.SerializeStream(out);
  std::string bytes = s.str();
  for (const std::string& damaged : {std::string("\x02\0\0\0", 4) + bytes.substr(4), bytes.substr(0, bytes.size() - 1)}) {
    std::stringstream d(damaged);
    CDataStream in(static_cast<std::istream&>(d));
    CNerexSeriesMemory target;
    EXPECT_FALSE(target.SerializeStream(in));
    EXPECT_EQ(target, CNerexSeriesMemory());
  }
}

TEST(StreamRecords, DeviceOfAnotherVersionOrCutShortChangesNothing) {
  DeviceState source = MakeFilledState();
  std::stringstream s;
  CDataStream out(static_cast<std::ostream&>(s));
  ASSERT_TRUE(SerializeNerexDeviceStream(out, source.fields));
  const std::string bytes = s.str();
  for (const std::string& damaged : {std::string("\x05\0\0\0", 4) + bytes.substr(4), bytes.substr(0, bytes.size() - 3)}) {
    DeviceState untouched;
    std::stringstream d(damaged);
    CDataStream ds(static_cast<std::istream&>(d));
    EXPECT_FALSE(SerializeNerexDeviceStream(ds, untouched.fields));
    EXPECT_EQ(untouched.name, "Stage left");
    EXPECT_EQ(untouched.presets.size(), 20u);
    EXPECT_EQ(untouched.fields.delayMultiplier, 10u);
  }
}

// --- Preset files ---

TEST(PresetFile, SaveThenLoadGivesBackTheImageAndKeepsTheTargetsIds) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string path = dir.filePath("stage.fnp").toStdString();
  CNerexSeriesMemory source = RandomImageWithIds(41, true);
  std::string error;
  ASSERT_TRUE(SaveNerexPresetFile(path, source, &error)) << error;
  CNerexSeriesMemory target;
  InitMemoryDefaults(target);
  for (std::size_t k = 0; k < target.inputs.peqBands.size(); ++k)  // ids that the load must keep
    target.inputs.peqIds.Set(k, {9999, 0, 0, 0});
  ASSERT_TRUE(LoadNerexPresetFile(path, kModelFennick, target, &error)) << error;
  ExpectSameInputs(target.inputs, source.inputs);
  EXPECT_EQ(target.outputs.gains, source.outputs.gains);
  EXPECT_EQ(target.deqBands[4].release, source.deqBands[4].release);
  EXPECT_EQ(target.inputs.PeqIds(1, 1).typeId, 9999u);
}

TEST(PresetFile, DamagedOrMissingFileIsRefusedAndChangesNothing) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("cut.fnp").toStdString();
  Bytes bytes = StoreMemory(RandomImageWithIds(42));
  bytes.resize(bytes.size() / 2);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(path, bytes, &error));
  CNerexSeriesMemory target;
  EXPECT_FALSE(LoadNerexPresetFile(path, kModelFennick, target, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(target, CNerexSeriesMemory());
  EXPECT_FALSE(LoadNerexPresetFile(dir.filePath("missing.fnp").toStdString(), kModelFennick, target, &error));
  // A pipe is not waited on and a device is not read: neither is a regular file.
  const std::string pipe = dir.filePath("pipe.fnp").toStdString();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0666), 0);
  for (const std::string& path : {pipe, std::string("/dev/zero")}) {
    EXPECT_FALSE(LoadNerexPresetFile(path, kModelFennick, target, &error));
    EXPECT_EQ(error, "Not a regular file");
  }
  EXPECT_EQ(target, CNerexSeriesMemory());
}

namespace {

// Files chosen as a preset file that are none, or not one this program can take whole.
struct OddPresetFile {
  const char* name;
  Bytes (*make)(const Bytes& good);
  const char* said;  // what the refusal begins with
  friend void PrintTo(const OddPresetFile& c, std::ostream* os) { *os << c.name; }
};

Bytes PngPicture(const Bytes&) {
  QImage picture(4, 4, QImage::Format_RGB32);
  picture.fill(Qt::red);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "PNG");
  return Bytes(png.begin(), png.end());
}

// The first bytes of a system file: root version 5, its three flags, the current user, the user
// list (version 1) with one user of record version 2.
Bytes SystemFileStart(const Bytes&) {
  Bytes b;
  for (std::uint32_t word : {5u, 0u, 0u, 0u, 0u, 1u, 1u, 2u, 0x0A0B0C0Du}) {
    for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(word >> (8 * i)));
  }
  b.resize(b.size() + 24, 0x41);
  return b;
}

Bytes WithName(const std::string& name) {
  CNerexSeriesMemory m = RandomImageWithIds(42, true);
  m.name = name;
  return StoreMemory(m);
}

const OddPresetFile kOddPresetFiles[] = {
    {"TwoJoined", [](const Bytes& g) { Bytes b = g; b.insert(b.end(), g.begin(), g.end()); return b; },
     "The file is not a preset file: "},
    {"BytesAfter", [](const Bytes& g) { Bytes b = g; b.resize(g.size() + 500, 'x'); return b; },
     "The file is not a preset file: 500 of its "},
    {"OneByteAfter", [](const Bytes& g) { Bytes b = g; b.push_back(0); return b; },
     "The file is not a preset file: 1 of its "},
    {"SystemFile", SystemFileStart, "The file is not a preset file; nothing was loaded."},
    {"Picture", PngPicture, "The file is not a preset file; nothing was loaded."},
    {"Empty", [](const Bytes&) { return Bytes(); }, "The file is not a preset file; nothing was loaded."},
    {"Half", [](const Bytes& g) { return Bytes(g.begin(), g.begin() + std::ptrdiff_t(g.size() / 2)); },
     "The preset file is damaged or incomplete ("},
    {"LaterVersion",
     [](const Bytes& g) {
       Bytes b = g;
       b[4 + 2 * RandomImageWithIds(42, true).name.size() + 4] = 6;  // memory record version 6
       return b;
     },
     "The preset file was written by a later version of the program; nothing was loaded."},
    {"NarrowNameOfControlBytes",
     [](const Bytes& g) {
       Bytes b{4, 'M', 0x09, '4', '2'};
       b.insert(b.end(), g.begin() + 4 + 2 * 6, g.end());  // past the wide "Mem 42"
       return b;
     },
     "The file is not a preset file; nothing was loaded."},
};

class OddPresetFileTest : public ::testing::TestWithParam<OddPresetFile> {};

}  // namespace

// A preset goes to the unit as the file holds it: a file that is not exactly one record of a
// preset this program can read is refused, saying which, and the image it was to go into stays
// as it was.
TEST_P(OddPresetFileTest, IsRefusedWithWordsAndChangesNothing) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const Bytes good = StoreMemory(RandomImageWithIds(42, true));
  const std::string path = dir.filePath("odd.fnp").toStdString();
  const Bytes file = GetParam().make(good);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(path, file, &error)) << error;
  CNerexSeriesMemory target;
  InitMemoryDefaults(target);
  const CNerexSeriesMemory before = target;
  EXPECT_FALSE(LoadNerexPresetFile(path, kModelFennick, target, &error));
  EXPECT_EQ(error.rfind(GetParam().said, 0), 0u) << error;
  EXPECT_EQ(error.substr(error.size() - 21), "; nothing was loaded.") << error;
  EXPECT_EQ(target, before);

  // The record alone loads.
  ASSERT_TRUE(WriteFileAtomically(path, good, &error)) << error;
  ASSERT_TRUE(LoadNerexPresetFile(path, kModelFennick, target, &error)) << error;
  EXPECT_EQ(target.name, "Mem 42");
}

INSTANTIATE_TEST_SUITE_P(Files, OddPresetFileTest, ::testing::ValuesIn(kOddPresetFiles),
                         [](const ::testing::TestParamInfo<OddPresetFile>& info) { return std::string(info.param.name); });

namespace {

// Preset files whose settings load whatever their name: an earlier version wrote any name, and
// another writer may give it in the archive's narrow text form.
struct NamedPresetFile {
  const char* name;
  Bytes (*make)();
  const char* kept;  // the name the image takes
  const char* note;  // what is said of it; empty: nothing
  friend void PrintTo(const NamedPresetFile& c, std::ostream* os) { *os << c.name; }
};

// The good record of image 42 with its name in the narrow form: a length byte and the bytes.
Bytes WithNarrowName(const std::string& bytes) {
  const Bytes good = StoreMemory(RandomImageWithIds(42, true));
  Bytes b{std::uint8_t(bytes.size())};
  b.insert(b.end(), bytes.begin(), bytes.end());
  b.insert(b.end(), good.begin() + 4 + 2 * 6, good.end());  // past the wide "Mem 42"
  return b;
}

const NamedPresetFile kNamedPresetFiles[] = {
    {"OneByteCharacters", [] { return WithName("B\xC3\xBChne \xC3\xA9t\xC3\xA9"); }, "B\xC3\xBChne \xC3\xA9t\xC3\xA9", ""},
    {"BlanksAtTheEnds", [] { return WithName("  Hall  "); }, "Hall", ""},
    {"LongName", [] { return WithName("Main stage left and right"); }, "Main stage left",
     "The preset file's name \"Main stage left and right\" is longer than the 16 characters of a preset name on the "
     "unit. Its settings were loaded, named \"Main stage left\"."},
    {"BeyondOneByte", [] { return WithName("Show \xE6\x97\xA5\xE6\x9C\xAC"); }, "Show ??",
     "The preset file's name \"Show \xE6\x97\xA5\xE6\x9C\xAC\" holds \"\xE6\x97\xA5\", a character no preset name on the "
     "unit can carry. Its settings were loaded, named \"Show ??\"."},
    {"Tab", [] { return WithName("Kick\tSnare"); }, "Kick Snare",
     "The preset file's name \"Kick\tSnare\" holds control characters. Its settings were loaded, named \"Kick "
     "Snare\"."},
    {"NarrowName", [] { return WithNarrowName("SrcNerex48"); }, "SrcNerex48", ""},
    {"NarrowNameOfOneByteCharacters", [] { return WithNarrowName("Caf\xE9"); }, "Caf\xC3\xA9", ""},
};

class NamedPresetFileTest : public ::testing::TestWithParam<NamedPresetFile> {};

}  // namespace

// The settings load and the image takes the name as a preset memory keeps it, saying so when
// that is not the file's name; the file saved after the load reads back whole and unsaid.
TEST_P(NamedPresetFileTest, LoadsItsSettingsAndSaysWhatBecameOfAName) {
  const NamedPresetFile& c = GetParam();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string path = dir.filePath("named.fnp").toStdString();
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(path, c.make(), &error)) << error;
  CNerexSeriesMemory target;
  InitMemoryDefaults(target);
  std::string note;
  ASSERT_TRUE(LoadNerexPresetFile(path, kModelFennick, target, &error, &note)) << error;
  EXPECT_EQ(target.name, c.kept);
  EXPECT_EQ(note, c.note);
  const CNerexSeriesMemory source = RandomImageWithIds(42, true);
  ExpectSameInputs(target.inputs, source.inputs);
  EXPECT_EQ(target.outputs.gains, source.outputs.gains);

  const std::string again = dir.filePath("again.fnp").toStdString();
  ASSERT_TRUE(SaveNerexPresetFile(again, target, &error)) << error;
  CNerexSeriesMemory back;
  note.clear();
  ASSERT_TRUE(LoadNerexPresetFile(again, kModelFennick, back, &error, &note)) << error;
  EXPECT_EQ(back.name, c.kept);
  EXPECT_EQ(note, "");
}

INSTANTIATE_TEST_SUITE_P(Files, NamedPresetFileTest, ::testing::ValuesIn(kNamedPresetFiles),
                         [](const ::testing::TestParamInfo<NamedPresetFile>& info) { return std::string(info.param.name); });

// --- Parameter ids of an image's own ---

// The ways an image reaches another: each returns the image that source became, starting from
// a new image with the defaults where the way writes into an existing one.
struct IdCarrier {
  const char* name;
  CNerexSeriesMemory (*pass)(const CNerexSeriesMemory& source);
  friend void PrintTo(const IdCarrier& c, std::ostream* os) { *os << c.name; }
};

CNerexSeriesMemory WithDefaults() {
  CNerexSeriesMemory m;
  InitMemoryDefaults(m);
  return m;
}

const IdCarrier kIdCarriers[] = {
    {"Copy", [](const CNerexSeriesMemory& source) { return CNerexSeriesMemory(source); }},
    {"Assignment",
     [](const CNerexSeriesMemory& source) {
       CNerexSeriesMemory target = WithDefaults();
       target = source;
       return target;
     }},
    {"MemoryRecord",
     [](const CNerexSeriesMemory& source) {
       CNerexSeriesMemory target = WithDefaults();
       LoadMemory(StoreMemory(source), target);
       return target;
     }},
    {"StreamRecord",
     [](const CNerexSeriesMemory& source) {
       std::stringstream s;
       CDataStream out(static_cast<std::ostream&>(s));
       CNerexSeriesMemory copy = source;
       EXPECT_TRUE(copy.SerializeStream(out));
       CNerexSeriesMemory target = WithDefaults();
       CDataStream in(static_cast<std::istream&>(s));
       EXPECT_TRUE(target.SerializeStream(in));
       return target;
     }},
};

class OwnIdsTest : public ::testing::TestWithParam<IdCarrier> {};

// Images share their ids until one of them sets its own: an image whose type id differs from
// the defaults keeps it on the way, and no later change of either image reaches the other or
// the defaults of new images.
TEST_P(OwnIdsTest, ImageKeepsItsOwnIdsAndSharesNoLaterChange) {
  CNerexSeriesMemory source = WithDefaults();
  source.inputs.peqIds.Set(13, {7001, 540 + 13, 508 + 13, 572 + 13});
  ASSERT_FALSE(source.inputs.peqIds.SharesWith(WithDefaults().inputs.peqIds));

  CNerexSeriesMemory result = GetParam().pass(source);
  EXPECT_EQ(result.inputs.peqIds, source.inputs.peqIds);
  EXPECT_EQ(result.inputs.PeqIds(1, 5).typeId, 7001u);
  EXPECT_EQ(result.inputs.PeqIds(1, 4).typeId, 604u + 12);
  EXPECT_EQ(result.outputs, WithDefaults().outputs);
  EXPECT_EQ(result.deqIds, WithDefaults().deqIds);

  source.inputs.peqIds.Set(13, {9999, 0, 0, 0});
  EXPECT_EQ(result.inputs.PeqIds(1, 5).typeId, 7001u);
  result.inputs.peqIds.Set(14, {8888, 0, 0, 0});
  EXPECT_EQ(source.inputs.PeqIds(1, 6).typeId, 604u + 14);
  result.deqIds.Set(0, {});
  EXPECT_EQ(source.DeqIds(0, 0).modeId, 1494u);
  EXPECT_EQ(WithDefaults().inputs.PeqIds(1, 5).typeId, 604u + 13);
  EXPECT_EQ(WithDefaults().inputs.PeqIds(1, 6).typeId, 604u + 14);
  EXPECT_EQ(WithDefaults().DeqIds(0, 0).modeId, 1494u);
  // Images with the defaults' ids share one block.
  EXPECT_TRUE(WithDefaults().outputs.peqIds.SharesWith(result.outputs.peqIds));
}

INSTANTIATE_TEST_SUITE_P(Ways, OwnIdsTest, ::testing::ValuesIn(kIdCarriers),
                         [](const ::testing::TestParamInfo<IdCarrier>& info) { return std::string(info.param.name); });

// --- Range check of a stored image ---

// One value of each width, signedness and place put outside its range (for the model's images):
// the check finds it, names it and moves it to the nearer end; the same value at its bound passes.
struct OutsideCase {
  const char* name;
  long long outside, bound, clamped;
  const char* reported;
  std::int64_t (*field)(CNerexSeriesMemory& m, const long long* set);
  int model = kModelFennick;
  friend void PrintTo(const OutsideCase& c, std::ostream* os) { *os << c.name; }
};

template <class T>
std::int64_t Access(T& field, const long long* set) {
  if (set) field = static_cast<T>(*set);
  return static_cast<std::int64_t>(field);
}

const OutsideCase kOutsideCases[] = {
    {"InputGain", 32767, 150, 150, "input 1 gain 3276.7 dB",
     [](CNerexSeriesMemory& m, const long long* v) { return Access(m.inputs.gains[0], v); }},
    {"InputGainOfASixDbModel", 120, 60, 60, "input 3 gain 12.0 dB, outside -40.0 to 6.0 dB",
     [](CNerexSeriesMemory& m, const long long* v) { return Access(m.inputs.gains[2], v); }, kModelNerex48},
    {"InputDelay", 7987201, 7987200, 7987200, "input 4 delay",
     [](CNerexSeriesMemory& m, const long long* v) { return Access(m.inputs.delays[3], v); }},
    {"OutputTrim", -121, -120, -120, "output 8 trim -12.1 dB",
     [](CNerexSeriesMemory& m, const long long* v) { return Access(m.outputs.trims[7], v); }},
    {"BypassedFilterType", 0x8D, 0x8C, 0x8C, "input 2 band 3 filter type 13",
     [](CNerexSeriesMemory& m, const long long* v) { return Access(m.inputs.PeqBand(1, 2).type, v); }},
    {"BandFrequency", 65535, 433, 433, "output 8 band 9 frequency code 65535",
     [](CNerexSeriesMemory& m, const long long* v) { return Access(m.outputs.PeqBand(7, 8).frequency, v); }},
    {"MatrixLevel", 552, 551, 551, "output 1 matrix level code 552",
     [](CNerexSeriesMemory& m, const long long* v) { return Access(m.outputs.matrixLevels[0][3], v); }},
    {"LowPassFrequency", 434, 433, 433, "output 8 low-pass frequency code 434",
     [](CNerexSeriesMemory& m, const long long* v) { return Access(m.outputs.lowPass[7].frequency, v); }},
    {"CompressorRelease", 52, 51, 51, "output 5 compressor release code 52",
     [](CNerexSeriesMemory& m, const long long* v) { return Access(m.outputs.compressors[4].release, v); }},
    {"SectionFlag", 2, 1, 1, "outputs compressor limiters flag 2",
     [](CNerexSeriesMemory& m, const long long* v) { return Access(m.outputs.compressorLimiters, v); }},
    {"GeqBand", -151, -150, -150, "graphic EQ input 4 band gain -15.1 dB",
     [](CNerexSeriesMemory& m, const long long* v) { return Access(m.geq.bands[3][27], v); }},
    {"LastDeqField", 2, 1, 1, "dynamic EQ input 4 band 3 bypass 2",
     [](CNerexSeriesMemory& m, const long long* v) { return Access(m.DeqBand(3, 2).bypass, v); }},
};

class OutsideRangeTest : public ::testing::TestWithParam<OutsideCase> {};

TEST_P(OutsideRangeTest, ValueOutsideIsFoundNamedAndMovedAndItsBoundPasses) {
  const OutsideCase& c = GetParam();
  CNerexSeriesMemory image = RandomImageWithIds(77, true);
  for (auto& gain : image.inputs.gains) Fold(gain, -400, std::min(150, GetInputGainHighCode(c.model)));
  ASSERT_EQ(CheckMemoryValues(image, c.model, false).count, 0);

  c.field(image, &c.bound);
  EXPECT_EQ(CheckMemoryValues(image, c.model, false).count, 0);

  c.field(image, &c.outside);
  const NerexRangeReport report = CheckMemoryValues(image, c.model, false);
  EXPECT_EQ(report.count, 1);
  EXPECT_EQ(report.first.rfind(c.reported, 0), 0u) << report.first;
  EXPECT_EQ(c.field(image, nullptr), c.outside);  // without clamp the image stays as it is

  EXPECT_EQ(CheckMemoryValues(image, c.model, true).count, 1);
  EXPECT_EQ(c.field(image, nullptr), c.clamped);
  EXPECT_EQ(CheckMemoryValues(image, c.model, false).count, 0);
}

INSTANTIATE_TEST_SUITE_P(Fields, OutsideRangeTest, ::testing::ValuesIn(kOutsideCases),
                         [](const ::testing::TestParamInfo<OutsideCase>& info) {
                           return std::string(info.param.name);
                         });
