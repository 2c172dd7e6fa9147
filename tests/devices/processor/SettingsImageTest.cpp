// Settings image: defaults, parameter ids, value-only copies and the fixed byte forms.
#include <gtest/gtest.h>

#include <array>

#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexPresets.h"
#include "devices/processor/NerexRecordBytes.h"
#include "devices/processor/NerexSeriesMemory.h"
#include "tests/devices/processor/TestImages.h"

TEST(SettingsImage, NewImageHoldsTheDocumentedDefaults) {
  CNerexSeriesMemory m;
  EXPECT_EQ(m.name, "Device");
  EXPECT_EQ(m.sectionFlags, 0u);
  EXPECT_FALSE(m.HoldsAnySection());
  EXPECT_EQ(m.inputs.linkMasks, (std::array<std::uint8_t, 4>{1, 2, 4, 8}));
  EXPECT_EQ(m.outputs.linkMasks, (std::array<std::uint8_t, 8>{1, 2, 4, 8, 16, 32, 64, 128}));
  for (auto r : m.outputs.routingMasks) EXPECT_EQ(r, 1);
  for (const auto& b : m.inputs.peqBands) {
    EXPECT_EQ(b.type, 0);
    EXPECT_EQ(b.q, 60);
    EXPECT_EQ(b.frequency, 252);
    EXPECT_EQ(b.gain, 0);
  }
  for (const auto& ids : m.inputs.peqIds.All()) EXPECT_EQ(ids, NerexEqBandIds{});
  EXPECT_EQ(m.outputs.autoLimiters, 1);
  EXPECT_EQ(m.outputs.compressorLimiters, 1);
  EXPECT_EQ(m.outputs.limiters[7], (NerexLimiter{0, 17, 3, 12, 1}));
  EXPECT_EQ(m.outputs.compressors[0], (NerexCompressor{0, 29, 51, 0, 0, 0}));
  for (const auto& d : m.deqBands) {
    EXPECT_EQ(d.q, 60);
    EXPECT_EQ(d.frequency, 252);
    EXPECT_EQ(d.effect, 12);
    EXPECT_EQ(d.attack, 37);
    EXPECT_EQ(d.release, 26);
  }
  EXPECT_EQ(m.inputs.names[3], MakeChannelName("        "));
  EXPECT_EQ(m.outputs.names[0], MakeChannelName(""));
}

TEST(SettingsImage, MemoryDefaultsNumberEveryParameterAndSetCrossoversAndNames) {
  CNerexSeriesMemory m;
  InitMemoryDefaults(m);
  // Input C band 5.
  const NerexEqBandIds& in = m.inputs.PeqIds(2, 5);
  EXPECT_EQ(in.typeId, 604u + 21);
  EXPECT_EQ(in.qId, 540u + 21);
  EXPECT_EQ(in.frequencyId, 508u + 21);
  EXPECT_EQ(in.gainId, 572u + 21);
  // Output 8 band 9: the last output PEQ ids.
  const NerexEqBandIds& out = m.outputs.PeqIds(7, 8);
  EXPECT_EQ(out.typeId, 987u);
  EXPECT_EQ(out.qId, 843u);
  EXPECT_EQ(out.frequencyId, 771u);
  EXPECT_EQ(out.gainId, 915u);
  // Crossovers: kind, slope and frequency; only the type and frequency ids are set.
  EXPECT_EQ(m.outputs.highPass[3], (NerexEqBand{3, 6, 12, 0}));
  EXPECT_EQ(m.outputs.highPassIds[3], (NerexEqBandIds{1119, 0, 1103, 0}));
  EXPECT_EQ(m.outputs.lowPass[3], (NerexEqBand{4, 6, 433, 0}));
  EXPECT_EQ(m.outputs.lowPassIds[3], (NerexEqBandIds{1127, 0, 1111, 0}));
  // Dynamic-EQ band k = 3 x input + band: ids in the order of the value fields.
  const NerexDeqBandIds& d = m.DeqIds(3, 2);
  EXPECT_EQ(d.modeId, 1494u + 11);
  EXPECT_EQ(d.qId, 1554u + 11);
  EXPECT_EQ(d.frequencyId, 1530u + 11);
  EXPECT_EQ(d.effectId, 1542u + 11);
  EXPECT_EQ(d.thresholdId, 1446u + 11);
  EXPECT_EQ(d.ratioId, 1458u + 11);
  EXPECT_EQ(d.attackId, 1470u + 11);
  EXPECT_EQ(d.releaseId, 1482u + 11);
  EXPECT_EQ(d.filterKindId, 1506u + 11);
  EXPECT_EQ(m.inputs.names[1], MakeChannelName("Ch B"));
  EXPECT_EQ(m.outputs.names[7], MakeChannelName("Ch 8"));
  EXPECT_EQ(std::string(m.outputs.names[7].begin(), m.outputs.names[7].end()), "Ch 8    ");
}

TEST(SettingsImage, CopyFromCopiesValuesButKeepsTheTargetsParameterIds) {
  CNerexSeriesMemory current;
  InitMemoryDefaults(current);
  const CNerexSeriesMemory preset = MakeRandomImage(7);  // ids all 0
  current.CopyFrom(preset);

  EXPECT_EQ(current.inputs.PeqIds(1, 3).typeId, 604u + 11);
  EXPECT_EQ(current.outputs.highPassIds[2].frequencyId, 1102u);
  EXPECT_EQ(current.DeqIds(2, 0).releaseId, 1482u + 6);
  // Values: every field of each dynamic-EQ band lands in the same field.
  for (int k = 0; k < kNerexDeqBands; ++k) {
    const NerexDeqBand& expected = preset.deqBands[k];
    const NerexDeqBand& actual = current.deqBands[k];
    EXPECT_EQ(actual.mode, expected.mode);
    EXPECT_EQ(actual.q, expected.q);
    EXPECT_EQ(actual.frequency, expected.frequency);
    EXPECT_EQ(actual.effect, expected.effect);
    EXPECT_EQ(actual.threshold, expected.threshold);
    EXPECT_EQ(actual.ratio, expected.ratio);
    EXPECT_EQ(actual.attack, expected.attack);
    EXPECT_EQ(actual.release, expected.release);
    EXPECT_EQ(actual.filterKind, expected.filterKind);
    EXPECT_EQ(actual.bypass, expected.bypass);
  }
  // Apart from the ids the two images are now equal.
  CNerexSeriesMemory blank;
  blank.CopyFrom(current);
  EXPECT_EQ(blank, preset);
}

TEST(SettingsImage, SectionCopiesTouchOnlyTheirSection) {
  const CNerexSeriesMemory source = MakeRandomImage(11);
  CNerexSeriesMemory target;
  target.outputs.CopyFrom(source.outputs);
  EXPECT_EQ(target.outputs, source.outputs);
  EXPECT_EQ(target.inputs, NerexInputSection{});
  EXPECT_EQ(target.geq, NerexGeqBlock{});

  target.CopyDeqBlockFrom(source);
  EXPECT_EQ(target.deqBands, source.deqBands);
  EXPECT_EQ(target.deqMode, source.deqMode);
  EXPECT_EQ(target.inputs, NerexInputSection{});
  EXPECT_EQ(target.name, "Device");
}

TEST(SettingsImage, ChannelGroupCopyOfOneChannelMovesOnlyThatChannelsBits) {
  std::array<std::uint8_t, 32> source{};
  std::array<std::uint8_t, 32> target{};
  target.fill(0xFF);
  target[0] = 0x5A;
  source[1] = 0x04;   // source channel 2 locked in byte 1
  source[16] = 0x04;  // and in the last band lock
  source[17] = 0x04;  // beyond the lock bytes: not copied
  source[24 + 2] = 0x33;
  CopyChannelGroupChannel(target, 5, source, 2);
  EXPECT_EQ(target[0], 0x5A);
  EXPECT_EQ(target[1], 0xFF);         // bit 5 set from the source's bit 2
  EXPECT_EQ(target[3], 0xFF & ~0x20);  // cleared: source channel 2 has no delay lock
  EXPECT_EQ(target[16], 0xFF);
  EXPECT_EQ(target[17], 0xFF);
  EXPECT_EQ(target[24 + 5], 0x33);
  EXPECT_EQ(target[24 + 2], 0xFF);
}

// Byte forms: the offsets are part of the clipboard format exchanged between instances.

TEST(RecordBytes, EqBandGoldenBytes) {
  const NerexEqBand band{0x85, 72, 0x01B1, -30};
  const NerexEqBandIds ids{604, 540, 508, 572};
  std::array<std::uint8_t, kEqBandBytes> bytes{};
  bytes.fill(0xEE);
  StoreRecordBytes(band, ids, bytes);
  const std::array<std::uint8_t, kEqBandBytes> expected{
      0x85, 72,   0xB1, 0x01, 0xE2, 0xFF, 0x00, 0x00,  // values, padding
      0x5C, 0x02, 0x00, 0x00, 0x1C, 0x02, 0x00, 0x00,  // type id 604, q id 540
      0xFC, 0x01, 0x00, 0x00, 0x3C, 0x02, 0x00, 0x00};  // frequency id 508, gain id 572
  EXPECT_EQ(bytes, expected);
  NerexEqBand back;
  NerexEqBandIds backIds;
  LoadRecordBytes(bytes, back, backIds);
  EXPECT_EQ(back, band);
  EXPECT_EQ(backIds, ids);
}

TEST(RecordBytes, DeqBandGoldenBytes) {
  const NerexDeqBand band{1, 42, 341, 5, 3, 17, 1, 2, 3, 1};
  NerexDeqBandIds ids;
  ids.modeId = 1494;
  ids.filterKindId = 1506;
  std::array<std::uint8_t, kDeqBandBytes> bytes{};
  StoreRecordBytes(band, ids, bytes);
  const std::array<std::uint8_t, 12> values{1, 42, 0x55, 0x01, 5, 3, 17, 1, 2, 3, 1, 0};
  EXPECT_TRUE(std::equal(values.begin(), values.end(), bytes.begin()));
  EXPECT_EQ(bytes[12], 0xD6);  // 1494
  EXPECT_EQ(bytes[13], 0x05);
  EXPECT_EQ(bytes[44], 0xE2);  // 1506, the ninth id
  EXPECT_EQ(bytes[45], 0x05);
  NerexDeqBand back;
  NerexDeqBandIds backIds;
  LoadRecordBytes(bytes, back, backIds);
  EXPECT_EQ(back, band);
  EXPECT_EQ(backIds, ids);
}

TEST(RecordBytes, SectionFieldsSitAtTheirExchangedOffsets) {
  CNerexSeriesMemory m;
  InitMemoryDefaults(m);
  m.inputs.muteMask = 0x0A;
  m.inputs.PeqBand(1, 2).gain = 0x1234;
  m.inputs.matrixGains[7][3] = -2;
  m.outputs.mixerFlag = 1;
  m.outputs.matrixLevels[2][1] = 0x0227;
  m.outputs.gains[7] = 0x0102;
  m.outputs.delays[0] = 0x00ABCDEF;
  m.outputs.phaseMask = 0x81;
  m.outputs.PeqBand(3, 4).q = 99;
  m.outputs.trims[7] = -120;
  m.outputs.compressorLimiters = 0;
  m.outputs.channelGroups[31] = 0x42;
  m.outputs.limiters[7].clipRelease = 9;
  m.outputs.compressors[7].bypass = 1;
  m.geq.bands[3][27] = -150;
  m.deqLinking = 1;

  std::array<std::uint8_t, kInputSectionBytes> in{};
  StoreRecordBytes(m.inputs, in);
  EXPECT_EQ(in[kInputOffsetMute], 0x0A);
  EXPECT_EQ(in[32 + 192 * 1 + 24 * 2 + 4], 0x34);
  EXPECT_EQ(in[32 + 192 * 1 + 24 * 2 + 5], 0x12);
  EXPECT_EQ(in[kInputOffsetNames + 8], 'C');
  EXPECT_EQ(in[kInputOffsetNames + 11], 'B');
  EXPECT_EQ(in[832 + 8 * 7 + 2 * 3], 0xFE);
  EXPECT_EQ(in[895], 0xFF);

  std::array<std::uint8_t, kOutputSectionBytes> out{};
  StoreRecordBytes(m.outputs, out);
  EXPECT_EQ(out[kOutputOffsetRoutingMasks + 7], 1);
  EXPECT_EQ(out[kOutputOffsetMixerFlag], 1);
  EXPECT_EQ(out[18 + 8 * 2 + 2 * 1], 0x27);
  EXPECT_EQ(out[18 + 8 * 2 + 2 * 1 + 1], 0x02);
  EXPECT_EQ(out[kOutputOffsetGains + 14], 0x02);
  EXPECT_EQ(out[kOutputOffsetGains + 15], 0x01);
  EXPECT_EQ(out[kOutputOffsetDelays + 0], 0xEF);
  EXPECT_EQ(out[kOutputOffsetDelays + 2], 0xAB);
  EXPECT_EQ(out[kOutputOffsetPhase], 0x81);
  EXPECT_EQ(out[kOutputOffsetHighPass + 0], 3);
  EXPECT_EQ(out[kOutputOffsetHighPass + 8], 0x5C);  // type id 1116
  EXPECT_EQ(out[kOutputOffsetLowPass + 2], 0xB1);   // 433
  EXPECT_EQ(out[520 + 216 * 3 + 24 * 4 + 1], 99);
  EXPECT_EQ(out[kOutputOffsetTrims + 7], 0x88);
  EXPECT_EQ(out[kOutputOffsetAutoLimiters], 1);
  EXPECT_EQ(out[kOutputOffsetCompressorLimiters], 0);
  EXPECT_EQ(out[kOutputOffsetChannelGroups + 31], 0x42);
  EXPECT_EQ(out[kOutputOffsetLimiters + 5 * 7 + 4], 9);
  EXPECT_EQ(out[kOutputOffsetNames + 8 * 7 + 3], '8');
  EXPECT_EQ(out[kOutputOffsetCompressors + 6 * 7 + 5], 1);
  EXPECT_EQ(out[2442], 0);
  EXPECT_EQ(out[2443], 0);

  std::array<std::uint8_t, kGeqBlockBytes> geq{};
  StoreRecordBytes(m.geq, geq);
  EXPECT_EQ(geq[8 + 56 * 3 + 2 * 27], 0x6A);
  EXPECT_EQ(geq[231], 0xFF);

  std::array<std::uint8_t, kDeqBlockBytes> deq{};
  StoreDeqBlockBytes(m, deq);
  EXPECT_EQ(deq[1], 1);
  EXPECT_EQ(deq[4 + 144 * 1 + 48 * 2 + 1], 60);       // input 2 band 3: q
  EXPECT_EQ(deq[4 + 144 * 1 + 48 * 2 + 12], 0xDB);    // its mode id 1494 + 5
}

TEST(RecordBytes, EveryRecordReadsBackWhatWasStored) {
  CNerexSeriesMemory m = MakeRandomImage(21);
  InitMemoryDefaults(m);  // non-zero ids travel too
  NerexEqBandIds changed = m.outputs.PeqIds(5, 5);
  changed.gainId = 0xDEADBEEF;
  m.outputs.peqIds.Set(5 * kNerexOutputPeqBands + 5, changed);

  std::array<std::uint8_t, kInputSectionBytes> in{};
  std::array<std::uint8_t, kOutputSectionBytes> out{};
  std::array<std::uint8_t, kGeqBlockBytes> geq{};
  std::array<std::uint8_t, kDeqBlockBytes> deq{};
  StoreRecordBytes(m.inputs, in);
  StoreRecordBytes(m.outputs, out);
  StoreRecordBytes(m.geq, geq);
  StoreDeqBlockBytes(m, deq);

  CNerexSeriesMemory back;
  LoadRecordBytes(in, back.inputs);
  LoadRecordBytes(out, back.outputs);
  LoadRecordBytes(geq, back.geq);
  LoadDeqBlockBytes(deq, back);
  EXPECT_EQ(back.inputs, m.inputs);
  EXPECT_EQ(back.outputs, m.outputs);
  EXPECT_EQ(back.geq, m.geq);
  EXPECT_EQ(back.deqBands, m.deqBands);
  EXPECT_EQ(back.deqIds, m.deqIds);
  EXPECT_EQ(back.deqMode, m.deqMode);
  EXPECT_EQ(back.deqLinking, m.deqLinking);

  std::array<std::uint8_t, kLimiterBytes> limiter{};
  StoreRecordBytes(m.outputs.limiters[3], limiter);
  NerexLimiter l;
  LoadRecordBytes(limiter, l);
  EXPECT_EQ(l, m.outputs.limiters[3]);
  std::array<std::uint8_t, kCompressorBytes> compressor{};
  StoreRecordBytes(m.outputs.compressors[6], compressor);
  NerexCompressor c;
  LoadRecordBytes(compressor, c);
  EXPECT_EQ(c, m.outputs.compressors[6]);
}
