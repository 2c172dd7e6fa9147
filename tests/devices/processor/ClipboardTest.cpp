// The processor clipboard record: golden layout, refusal of damaged blocks, can-paste rules.
#include <gtest/gtest.h>

#include "devices/processor/NerexClipboard.h"
#include "devices/processor/NerexPresets.h"
#include "tests/devices/processor/TestImages.h"

namespace {

std::uint32_t U32At(const Bytes& b, std::size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
         std::uint32_t(b[at + 3]) << 24;
}
std::uint16_t U16At(const Bytes& b, std::size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); }

Bytes Slice(const Bytes& b, std::size_t at, std::size_t n) {
  return Bytes(b.begin() + std::ptrdiff_t(at), b.begin() + std::ptrdiff_t(at + n));
}

NerexClipboardProperties SomeProperties() {
  NerexClipboardProperties p;
  p.securityCode = 1234;
  p.systemLock = 2;
  p.gpiMode = 3;
  p.memoryOffset = 4;
  p.transmitPreset = 1;
  p.onDelay = 5;
  p.lcdContrast = 12;
  p.ledTimeout = 17;
  p.autoRtcUpdate = 1;
  p.delayUnits = 2;
  p.delayMultiplier = 100000;
  p.gainNudge = 1;
  return p;
}

}  // namespace

TEST(ClipboardRecord, GoldenLayoutOfAFennickWholeCopy) {
  CNerexSeriesMemory image;
  InitMemoryDefaults(image);
  image.inputs.linkMasks[1] = 0x03;
  image.inputs.gains[2] = -150;
  image.inputs.delays[3] = 0x00ABCDEF;
  image.inputs.muteMask = 0x09;
  image.inputs.PeqBand(1, 2).CopyValues(NerexEqBand{0x83, 40, 300, -25});
  image.inputs.matrixGains[5][3] = -401;
  image.outputs.routingMasks[7] = 0x0F;
  image.outputs.mixerFlag = 1;
  image.outputs.matrixLevels[2][1] = 551;
  image.outputs.gains[6] = 75;
  image.outputs.delays[1] = 12288;
  image.outputs.muteMask = 0x40;
  image.outputs.phaseMask = 0x21;
  image.outputs.highPass[3].frequency = 99;
  image.outputs.lowPass[4].q = 9;
  image.outputs.PeqBand(7, 8).gain = 120;
  image.outputs.trims[5] = -120;
  image.outputs.autoLimiters = 0;
  image.outputs.channelGroups[16] = 0x80;
  image.outputs.limiters[2] = NerexLimiter{9, 8, 7, 6, 5};
  image.outputs.names[7] = MakeChannelName("Sub");
  image.outputs.compressors[1] = NerexCompressor{1, 2, 3, 4, 5, 1};
  image.geq.modes[3] = 1;
  image.geq.bypass[0] = 1;
  image.geq.bands[2][27] = -120;
  image.deqMode = 1;
  image.deqLinking = 1;
  image.DeqBand(3, 2).release = 44;
  image.name = "not in the record";

  const Bytes b = StoreClipboardRecord(MakeClipboardRecord(image, 16, SomeProperties(), 0, 0));
  ASSERT_EQ(b.size(), 4208u);
  EXPECT_EQ(Slice(b, 0, 20), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0, 4, 0, 0, 0, 8, 0, 0, 0}));
  // Input section at 20.
  EXPECT_EQ(Slice(b, 20, 4), (Bytes{1, 3, 4, 8}));
  EXPECT_EQ(U16At(b, 20 + 4 + 4), 0xFF6A);   // gain of input C
  EXPECT_EQ(U32At(b, 20 + 12 + 12), 0x00ABCDEFu);
  EXPECT_EQ(b[20 + 28], 0x09);
  // Input B band 2: values, two padding bytes, the four ids (a record takes values only, so
  // its own ids stay those of a new section: 0).
  EXPECT_EQ(Slice(b, 20 + 32 + 192 + 48, 24),
            (Bytes{0x83, 40, 0x2C, 0x01, 0xE7, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Slice(b, 20 + 800, 8), (Bytes{'C', 'h', ' ', 'A', ' ', ' ', ' ', ' '}));
  EXPECT_EQ(U16At(b, 20 + 832 + 8 * 5 + 2 * 3), std::uint16_t(-401));
  // Output section at 916.
  EXPECT_EQ(b[916 + 8 + 7], 0x0F);
  EXPECT_EQ(b[916 + 16], 1);
  EXPECT_EQ(U16At(b, 916 + 18 + 8 * 2 + 2 * 1), 551);
  EXPECT_EQ(U16At(b, 916 + 82 + 12), 75);
  EXPECT_EQ(U32At(b, 916 + 100 + 4), 12288u);
  EXPECT_EQ(b[916 + 132], 0x40);
  EXPECT_EQ(b[916 + 133], 0x21);
  EXPECT_EQ(U16At(b, 916 + 136 + 24 * 3 + 2), 99);
  EXPECT_EQ(b[916 + 328 + 24 * 4 + 1], 9);
  EXPECT_EQ(U16At(b, 916 + 520 + 216 * 7 + 24 * 8 + 4), 120);
  EXPECT_EQ(b[916 + 2248 + 5], std::uint8_t(-120));
  EXPECT_EQ(b[916 + 2256], 0);
  EXPECT_EQ(b[916 + 2257], 1);
  EXPECT_EQ(b[916 + 2258 + 16], 0x80);
  EXPECT_EQ(Slice(b, 916 + 2290 + 10, 5), (Bytes{9, 8, 7, 6, 5}));
  EXPECT_EQ(Slice(b, 916 + 2330 + 56, 8), (Bytes{'S', 'u', 'b', ' ', ' ', ' ', ' ', ' '}));
  EXPECT_EQ(Slice(b, 916 + 2394 + 6, 6), (Bytes{1, 2, 3, 4, 5, 1}));
  // Graphic EQ at 3360, dynamic EQ at 3592.
  EXPECT_EQ(b[3360 + 3], 1);
  EXPECT_EQ(b[3360 + 4], 1);
  EXPECT_EQ(U16At(b, 3360 + 8 + 56 * 2 + 2 * 27), std::uint16_t(-120));
  EXPECT_EQ(Slice(b, 3592, 4), (Bytes{1, 1, 0, 0}));
  EXPECT_EQ(b[3592 + 4 + 144 * 3 + 48 * 2 + 8], 44);  // release is the ninth value byte
  // Reserved, then the properties.
  EXPECT_EQ(Slice(b, 4172, 8), Bytes(8, 0));
  EXPECT_EQ(Slice(b, 4180, 28), (Bytes{0xD2, 0x04, 2, 3, 4, 1, 5, 12, 17, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0,
                                       0xA0, 0x86, 0x01, 0, 1, 0, 0, 0}));
}

TEST(ClipboardRecord, ChannelFieldsAndCountsFollowTheCopyCommand) {
  CNerexSeriesMemory image;
  const NerexClipboardProperties p;
  auto record = [&](int model, std::uint32_t command, std::uint32_t sel) {
    return MakeClipboardRecord(image, model, p, command, sel);
  };
  EXPECT_TRUE(record(120, 0, 3).IsWholeDeviceCopy());
  EXPECT_TRUE(record(120, kCmdCopyChannel, 0).IsWholeDeviceCopy());
  EXPECT_EQ(record(120, kCmdCopyChannel, 2).copiedInput, 2u);
  EXPECT_EQ(record(120, kCmdCopyChannel, 2).copiedOutput, 0u);
  EXPECT_EQ(record(120, kCmdCopyChannel, 7).copiedOutput, 7u);
  EXPECT_EQ(record(120, kCmdCopyChannel, 7).copiedInput, 0u);
  for (const ModelCase& m : AllModels()) {
    EXPECT_EQ(record(m.model, 0, 0).inputCount, std::uint32_t(m.inputs));
    EXPECT_EQ(record(m.model, 0, 0).outputCount, std::uint32_t(m.outputs));
  }
  EXPECT_EQ(record(113, 0, 0).inputCount, 0u);
  EXPECT_EQ(record(99, 0, 0).outputCount, 0u);
}

TEST(ClipboardRecord, StoreThenLoadGivesBackEveryValueAndKeepsTheRecordsIds) {
  CNerexSeriesMemory image = MakeRandomImage(5);
  const NerexClipboardRecord source = MakeClipboardRecord(image, 121, SomeProperties(), kCmdCopyChannel, 6);
  NerexClipboardRecord loaded;
  ASSERT_TRUE(LoadClipboardRecord(StoreClipboardRecord(source), loaded));
  EXPECT_EQ(loaded.copiedOutput, 6u);
  EXPECT_EQ(loaded.model, 121u);
  EXPECT_EQ(loaded.properties, source.properties);
  EXPECT_EQ(loaded.settings.inputs, source.settings.inputs);
  EXPECT_EQ(loaded.settings.outputs, source.settings.outputs);
  EXPECT_EQ(loaded.settings.geq, source.settings.geq);
  EXPECT_EQ(loaded.settings.deqBands, source.settings.deqBands);
  EXPECT_EQ(loaded.settings.deqLinking, source.settings.deqLinking);
}

TEST(ClipboardRecord, DamagedBlocksAreRefusedBeforeAnyCountIsUsed) {
  const Bytes good = StoreClipboardRecord(MakeClipboardRecord(CNerexSeriesMemory(), 115, {}, 0, 0));
  auto refused = [&](std::size_t offset, std::uint32_t value) {
    Bytes b = good;
    for (int k = 0; k < 4; ++k) b[offset + k] = std::uint8_t(value >> (8 * k));
    NerexClipboardRecord r;
    r.model = 777;
    const bool ok = LoadClipboardRecord(b, r);
    EXPECT_EQ(r.model, ok ? 115u : 777u);  // a refused block leaves the record as it was
    return !ok;
  };
  EXPECT_TRUE(refused(kClipOffsetInputCount, 5));
  EXPECT_TRUE(refused(kClipOffsetOutputCount, 9));
  EXPECT_TRUE(refused(kClipOffsetOutputCount, 0xFFFFFFFF));
  EXPECT_TRUE(refused(kClipOffsetCopiedInput, 3));   // the source has 2 inputs
  EXPECT_TRUE(refused(kClipOffsetCopiedOutput, 4));  // not an output channel
  EXPECT_TRUE(refused(kClipOffsetCopiedOutput, 11)); // the source has 6 outputs
  EXPECT_FALSE(refused(kClipOffsetCopiedOutput, 10));
  EXPECT_FALSE(refused(kClipOffsetCopiedInput, 2));
  Bytes both = good;
  both[kClipOffsetCopiedInput] = 1;
  both[kClipOffsetCopiedOutput] = 5;
  NerexClipboardRecord r;
  EXPECT_FALSE(LoadClipboardRecord(both, r));
  EXPECT_FALSE(LoadClipboardRecord(Slice(good, 0, 4207), r));
}

TEST(ClipboardRecord, CanPasteRulesByCommandChannelAndModel) {
  CNerexSeriesMemory image;
  const NerexOutputSection free;
  const auto whole = MakeClipboardRecord(image, 114, {}, 0, 0);
  const auto inputB = MakeClipboardRecord(image, 120, {}, kCmdCopyChannel, 2);
  const auto output3 = MakeClipboardRecord(image, 120, {}, kCmdCopyChannel, 7);

  for (std::uint32_t cmd : {0u, 33869u, 33870u, 33871u, 33877u, 33878u, 33879u}) {
    EXPECT_TRUE(CanPasteRecord(cmd, whole, 16, 0, free)) << cmd;   // any model takes a whole copy
    EXPECT_FALSE(CanPasteRecord(cmd, inputB, 120, 0, free)) << cmd;
  }
  EXPECT_TRUE(CanPasteRecord(33872, inputB, 120, 0, free));
  EXPECT_TRUE(CanPasteRecord(33873, inputB, 120, 4, free));
  EXPECT_FALSE(CanPasteRecord(33872, inputB, 120, 5, free));
  EXPECT_FALSE(CanPasteRecord(33872, whole, 120, 1, free));

  EXPECT_TRUE(CanPasteRecord(33874, output3, 120, 6, free));
  EXPECT_FALSE(CanPasteRecord(33874, output3, 120, 4, free));
  EXPECT_FALSE(CanPasteRecord(33875, inputB, 120, 6, free));
  for (int lockByte : {1, 3, 4, 5, 6, 7, 8, 16}) {
    NerexOutputSection locked;
    locked.channelGroups[lockByte] = 0x02;  // output 2, the selected channel 6
    EXPECT_FALSE(CanPasteRecord(33875, output3, 120, 6, locked)) << lockByte;
    EXPECT_TRUE(CanPasteRecord(33875, output3, 120, 7, locked)) << lockByte;
  }
  NerexOutputSection otherBytes;
  otherBytes.channelGroups[2] = 0xFF;
  otherBytes.channelGroups[25] = 0xFF;
  EXPECT_TRUE(CanPasteRecord(33874, output3, 120, 6, otherBytes));

  const auto torvex = MakeClipboardRecord(image, 121, {}, 0, 0);
  const auto torvexInput = MakeClipboardRecord(image, 121, {}, kCmdCopyChannel, 1);
  const auto torvexOutput = MakeClipboardRecord(image, 121, {}, kCmdCopyChannel, 5);
  const auto fennick = MakeClipboardRecord(image, 16, {}, 0, 0);
  EXPECT_FALSE(CanPasteRecord(33876, torvex, 16, 0, free));
  EXPECT_TRUE(CanPasteRecord(33876, fennick, 17, 0, free));
  EXPECT_TRUE(CanPasteRecord(33876, torvex, 121, 0, free));
  EXPECT_FALSE(CanPasteRecord(33876, torvexInput, 121, 0, free));
  EXPECT_TRUE(CanPasteRecord(33876, torvexOutput, 121, 0, free));
  EXPECT_FALSE(CanPasteRecord(33876, whole, 120, 0, free));
  EXPECT_FALSE(CanPasteRecord(33880, whole, 120, 0, free));
}

TEST(ClipboardRecord, MatrixConversionsStayInsideTheTargetRange) {
  EXPECT_EQ(MatrixGainFromLevel(0), 150);
  EXPECT_EQ(MatrixGainFromLevel(150), 0);
  EXPECT_EQ(MatrixGainFromLevel(551), -401);
  EXPECT_EQ(MatrixGainFromLevel(1023), -401);
  EXPECT_EQ(MatrixLevelFromGain(150), 0);
  EXPECT_EQ(MatrixLevelFromGain(200), 0);
  EXPECT_EQ(MatrixLevelFromGain(-401), 551);
  EXPECT_EQ(MatrixLevelFromGain(-32768), 551);
}
