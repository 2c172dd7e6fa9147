// Settings blocks 0, 5, 16 and 17: golden bytes per model family, reply and snapshot decoding,
// round trips for every model, sizes per model, field-width masking and short input.
#include <gtest/gtest.h>

#include "devices/processor/NerexBlocks.h"
#include "devices/processor/NerexPresets.h"
#include "tests/devices/processor/TestImages.h"

namespace {

// A default band as blocks 0 and 5 carry it: type 0, Q code 60, 1 kHz (252), 0 dB.
constexpr std::initializer_list<std::uint8_t> kDefaultBand{0x00, 0x3C, 0xFC, 0x00, 0x00, 0x00};
constexpr std::initializer_list<std::uint8_t> kDefaultLimiter{0x00, 0x11, 0x03, 0x0C, 0x01};
// Default dynamic-EQ band packed: modes 0, bypass 0, attack 37, release 26, threshold 0,
// ratio 0, frequency 252, Q 60, effect 12.
constexpr std::initializer_list<std::uint8_t> kDefaultDeqBand{0x00, 0x25, 0x1A, 0x00, 0x07, 0xE3, 0xCC};

CNerexSeriesMemory DefaultImage() {
  CNerexSeriesMemory m;
  InitMemoryDefaults(m);
  return m;
}

Bytes WithPrefix(const Bytes& block) {
  Bytes reply(block.size() + 2, 0);
  reply[1] = 0x40;  // memory 0, live settings
  std::copy(block.begin(), block.end(), reply.begin() + 2);
  return reply;
}

// A unit's reply carrying the block the device writes for n channels of the model.
Bytes InputReply(const NerexInputSection& inputs, int n, int model) {
  Bytes block;
  EncodeInputBlock(inputs, n, model, block);
  return WithPrefix(block);
}
Bytes OutputReply(const NerexOutputSection& outputs, int n, int model) {
  Bytes block;
  EncodeOutputBlockForWrite(outputs, n, model, block);
  return WithPrefix(block);
}

// The four settings blocks of an image for the channels of a model, without prefix; the
// outputs in the snapshot form, or in the form the device writes.
struct EncodedBlocks {
  Bytes in, out, geq, deq;
};
EncodedBlocks EncodeBlocks(const CNerexSeriesMemory& m, const ModelCase& mc, bool writeForm = false) {
  EncodedBlocks b;
  EncodeInputBlock(m.inputs, mc.inputs, mc.model, b.in);
  if (writeForm)
    EncodeOutputBlockForWrite(m.outputs, mc.outputs, mc.model, b.out);
  else
    EncodeOutputBlock(m.outputs, mc.outputs, mc.model, b.out);
  EncodeGeqBlock(m.geq, mc.inputs, b.geq);
  EncodeDeqBlock(m, mc.inputs, b.deq);
  return b;
}
void ExpectSameBlocks(const EncodedBlocks& a, const EncodedBlocks& b, int model) {
  EXPECT_EQ(a.in, b.in) << model;
  EXPECT_EQ(a.out, b.out) << model;
  EXPECT_EQ(a.geq, b.geq) << model;
  EXPECT_EQ(a.deq, b.deq) << model;
}

}  // namespace

// ---- Golden bytes: Nerex family (Nerex24, 2 inputs and 4 outputs) ----

TEST(BlockGolden, Nerex24InputBlock_LinkedInputsTravelWithTheMastersDelay) {
  CNerexSeriesMemory m;
  m.inputs.linkMasks = {0x03, 0x03, 4, 8};
  m.inputs.gains = {100, -200, 5, 5};
  m.inputs.delays = {0x012345, 0x0ABCDE, 7, 7};
  m.inputs.muteMask = 0x02;
  m.inputs.PeqBand(1, 7).CopyValues(NerexEqBand{0x81, 84, 396, -30});
  m.inputs.PeqBand(2, 0).CopyValues(NerexEqBand{0x01, 1, 1, 1});  // input C: not on this model
  m.inputs.names[0] = MakeChannelName("Vox");
  m.inputs.names[1] = MakeChannelName("Kick");
  m.inputs.matrixGains[0][0] = 42;  // a Fennick field: not in this block

  Bytes out;
  EXPECT_EQ(EncodeInputBlock(m.inputs, 2, 114, out), 125u);
  Bytes expected;
  Append(expected, {0x03, 0x03});                          // link masks
  Append(expected, {0x64, 0x00, 0x38, 0xFF});              // gains +10.0 and -20.0 dB
  Append(expected, {0x45, 0x23, 0x01}, 2);                 // input A's delay for both
  Append(expected, {0x02});                                // mute mask
  Append(expected, kDefaultBand, 15);                      // input A bands 1-8, input B bands 1-7
  Append(expected, {0x81, 0x54, 0x8C, 0x01, 0xE2, 0xFF});  // input B band 8: bypassed low shelf
  AppendText8(expected, "Vox");
  AppendText8(expected, "Kick");
  EXPECT_EQ(out, expected);
}

TEST(BlockGolden, Nerex24OutputBlock_LinkedOutputsTravelWithTheMastersSettings) {
  CNerexSeriesMemory m = DefaultImage();
  NerexOutputSection& o = m.outputs;
  o.linkMasks = {0x01, 0x06, 0x06, 0x08, 16, 32, 64, 128};  // outputs 2 and 3 linked
  o.routingMasks = {0x01, 0x02, 0x03, 0x00, 1, 1, 1, 1};
  o.gains = {-100, 50, 120, 0, 0, 0, 0, 0};
  o.delays = {1000, 2000, 3000, 0x123456, 0, 0, 0, 0};
  o.muteMask = 0x09;
  o.phaseMask = 0x04;
  o.highPass[3].q = 8;
  o.highPass[3].frequency = 72;
  o.highPass[2].frequency = 300;  // hidden by its master
  o.PeqBand(1, 0).CopyValues(NerexEqBand{2, 90, 300, 45});
  o.PeqBand(2, 0).type = 5;  // hidden by its master
  o.trims = {-5, 10, -20, 120, 0, 0, 0, 0};
  o.limiters[3].level = 5;
  o.limiters[2].level = 9;  // hidden by its master
  o.channelGroups[1] = 0x04;
  o.channelGroups[24] = 0x7F;
  o.channelGroups[31] = 0x80;

  Bytes out;
  EXPECT_EQ(EncodeOutputBlockForWrite(o, 4, 114, out), 359u);
  Bytes expected;
  Append(expected, {0x01, 0x06, 0x06, 0x08});                          // link masks
  Append(expected, {0x01, 0x02, 0x03, 0x00});                          // routing masks
  Append(expected, {0x9C, 0xFF, 0x32, 0x00, 0x32, 0x00, 0x00, 0x00});  // gains: -10.0, +5.0, +5.0, 0
  Append(expected, {0xE8, 0x03, 0x00, 0xD0, 0x07, 0x00, 0xD0, 0x07, 0x00, 0x56, 0x34, 0x12});  // delays
  Append(expected, {0x09, 0x04});                                      // mute, phase
  Append(expected, {0x06, 0x0C, 0x00}, 3);                             // high-pass: slope 6, code 12
  Append(expected, {0x08, 0x48, 0x00});                                // output 4 high-pass
  Append(expected, {0x06, 0xB1, 0x01}, 4);                             // low-pass: slope 6, code 433
  Append(expected, kDefaultBand, 9);                                   // output 1 bands
  for (int output = 2; output <= 3; ++output) {
    Append(expected, {0x02, 0x5A, 0x2C, 0x01, 0x2D, 0x00});            // output 2's band 1
    Append(expected, kDefaultBand, 8);
  }
  Append(expected, kDefaultBand, 9);                                   // output 4 bands
  Append(expected, {0xFB, 0x0A, 0x0A, 0x78});                          // trims
  Append(expected, {0x01});                                            // auto limiters
  Append(expected, kDefaultLimiter, 3);
  Append(expected, {0x05, 0x11, 0x03, 0x0C, 0x01});                    // output 4 limiter
  Append(expected, {0x00, 0x04});                                      // channel groups 0, 1
  Append(expected, {0x00}, 22);                                        // 2..23
  Append(expected, {0x7F});                                            // 24
  Append(expected, {0x00}, 6);                                         // 25..30
  Append(expected, {0x80});                                            // 31
  for (const char* name : {"Ch 1", "Ch 2", "Ch 3", "Ch 4"}) AppendText8(expected, name);
  EXPECT_EQ(out, expected);

  // Written in the snapshot form too, unchanged for this model.
  Bytes snapshot;
  EncodeOutputBlock(o, 4, 114, snapshot);
  EXPECT_EQ(snapshot, expected);
}

TEST(BlockGolden, Nerex24GraphicEqBlock) {
  CNerexSeriesMemory m;
  m.geq.modes = {1, 0, 9, 9};
  m.geq.bypass = {0, 1, 9, 9};
  m.geq.bands[0][0] = 120;
  m.geq.bands[0][27] = -150;
  m.geq.bands[2][0] = 9;  // input C: not on this model
  Bytes out;
  EXPECT_EQ(EncodeGeqBlock(m.geq, 2, out), 116u);
  Bytes expected;
  Append(expected, {0x01, 0x00, 0x78, 0x00});
  Append(expected, {0x00, 0x00}, 26);
  Append(expected, {0x6A, 0xFF});
  Append(expected, {0x00, 0x01});
  Append(expected, {0x00, 0x00}, 28);
  EXPECT_EQ(out, expected);
}

// ---- Golden bytes: Fennick family ----

TEST(BlockGolden, FennickInputBlockCarriesTheMatrixInsteadOfDelays) {
  CNerexSeriesMemory m;
  m.inputs.delays = {0x111111, 0x111111, 0x111111, 0x111111};
  m.inputs.matrixGains[0][0] = -500;
  m.inputs.matrixGains[0][1] = 1;  // output 1, input B follows output 1, input A
  m.inputs.matrixGains[7][3] = 150;
  Bytes out;
  EXPECT_EQ(EncodeInputBlock(m.inputs, 4, 16, out), 301u);
  Bytes expected;
  Append(expected, {0x01, 0x02, 0x04, 0x08});
  Append(expected, {0x00}, 8);
  Append(expected, {0x0C, 0xFE, 0x01, 0x00});  // -50.0 dB, +0.1 dB
  Append(expected, {0x00}, 58);
  Append(expected, {0x96, 0x00});  // output 8, input D: +15.0 dB
  Append(expected, {0x00});
  Append(expected, kDefaultBand, 32);
  Append(expected, {0x20}, 32);
  EXPECT_EQ(out, expected);
}

TEST(BlockGolden, FennickOutputBlockHasNoRoutingMasks) {
  CNerexSeriesMemory m = DefaultImage();
  m.outputs.routingMasks.fill(0x0F);
  m.outputs.gains[7] = -400;
  m.outputs.compressors[0].ratio = 9;  // Torvex48 only
  Bytes out;
  EXPECT_EQ(EncodeOutputBlockForWrite(m.outputs, 8, 17, out), 675u);
  Bytes expected;
  Append(expected, {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80});
  Append(expected, {0x00, 0x00}, 7);
  Append(expected, {0x70, 0xFE});
  Append(expected, {0x00, 0x00, 0x00}, 8);
  Append(expected, {0x00, 0x00});
  Append(expected, {0x06, 0x0C, 0x00}, 8);
  Append(expected, {0x06, 0xB1, 0x01}, 8);
  Append(expected, kDefaultBand, 72);
  Append(expected, {0x00}, 8);
  Append(expected, {0x01});
  Append(expected, kDefaultLimiter, 8);
  Append(expected, {0x00}, 32);
  for (const char* name : {"Ch 1", "Ch 2", "Ch 3", "Ch 4", "Ch 5", "Ch 6", "Ch 7", "Ch 8"})
    AppendText8(expected, name);
  EXPECT_EQ(out, expected);
  Bytes snapshot;
  EncodeOutputBlock(m.outputs, 8, 17, snapshot);
  EXPECT_EQ(snapshot, expected);
}

// ---- Golden bytes: Torvex48 ----

TEST(BlockGolden, Torvex48InputBlock) {
  CNerexSeriesMemory m = DefaultImage();
  m.inputs.delays[3] = 0x79E000;
  m.inputs.muteMask = 0x0F;
  Bytes out;
  EXPECT_EQ(EncodeInputBlock(m.inputs, 4, 121, out), 249u);
  Bytes expected;
  Append(expected, {0x01, 0x02, 0x04, 0x08});
  Append(expected, {0x00}, 8);
  Append(expected, {0x00, 0x00, 0x00}, 3);
  Append(expected, {0x00, 0xE0, 0x79});
  Append(expected, {0x0F});
  Append(expected, kDefaultBand, 32);
  for (const char* name : {"Ch A", "Ch B", "Ch C", "Ch D"}) AppendText8(expected, name);
  EXPECT_EQ(out, expected);
}

TEST(BlockGolden, Torvex48OutputBlockWriteAndSnapshotForms) {
  CNerexSeriesMemory m = DefaultImage();
  m.outputs.mixerFlag = 1;
  m.outputs.matrixLevels[0] = {150, 0, 551, 1};
  m.outputs.compressors[0] = NerexCompressor{20, 29, 51, 8, 3, 1};
  m.outputs.compressorLimiters = 1;

  auto expectedWith = [](bool snapshot) {
    Bytes e;
    Append(e, {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80});
    Append(e, {0x01}, 8);                        // routing: input A everywhere
    Append(e, {0x01});                           // mixer flag
    Append(e, {0x25, 0x80, 0x08, 0x9C, 0x01});   // output 1 levels 150, 0, 551, 1 in 40 bits
    Append(e, {0x00}, 35);
    Append(e, {0x00}, 16);                       // gains
    Append(e, {0x00}, 24);                       // delays
    Append(e, {0x00, 0x00});
    Append(e, {0x06, 0x0C, 0x00}, 8);
    Append(e, {0x06, 0xB1, 0x01}, 8);
    Append(e, kDefaultBand, 72);
    Append(e, {0x00}, 8);                        // trims
    if (snapshot) Append(e, {0x01});             // compressor limiters, snapshot form only
    Append(e, {0xC8, 0x3B, 0x99, 0x43});         // flag, bypass, ratio 8; attack 29; release 51; threshold 20, knee 3
    Append(e, {0x80, 0x3B, 0x98, 0x00}, 7);      // default compressors with the flag
    Append(e, {0x01});                           // auto limiters
    Append(e, kDefaultLimiter, 8);
    Append(e, {0x00}, 32);
    for (const char* name : {"Ch 1", "Ch 2", "Ch 3", "Ch 4", "Ch 5", "Ch 6", "Ch 7", "Ch 8"})
      AppendText8(e, name);
    return e;
  };
  Bytes write;
  EXPECT_EQ(EncodeOutputBlockForWrite(m.outputs, 8, 121, write), 756u);
  EXPECT_EQ(write, expectedWith(false));
  Bytes snapshot;
  EXPECT_EQ(EncodeOutputBlock(m.outputs, 8, 121, snapshot), 757u);
  EXPECT_EQ(snapshot, expectedWith(true));
}

TEST(BlockGolden, Torvex48GraphicEqBlock) {
  CNerexSeriesMemory m;
  m.geq.modes[3] = 2;
  m.geq.bands[3][0] = -1;
  Bytes out;
  EXPECT_EQ(EncodeGeqBlock(m.geq, 4, out), 232u);
  Bytes expected;
  Append(expected, {0x00}, 58 * 3);
  Append(expected, {0x02, 0x00, 0xFF, 0xFF});
  Append(expected, {0x00}, 54);
  EXPECT_EQ(out, expected);
}

TEST(BlockGolden, Torvex48DynamicEqBlock) {
  CNerexSeriesMemory m;
  m.deqMode = 1;
  m.deqLinking = 0;
  // Input B band 2: every field at its widest value.
  m.deqBands[4] = NerexDeqBand{3, 127, 511, 15, 127, 31, 63, 0, 2, 1};
  // Input D band 3: mixed bit patterns.
  m.deqBands[11] = NerexDeqBand{1, 42, 341, 5, 3, 17, 1, 2, 0, 0};
  Bytes out;
  EXPECT_EQ(EncodeDeqBlock(m, 4, out), 85u);
  Bytes expected;
  Append(expected, {0x01});
  Append(expected, kDefaultDeqBand, 4);
  Append(expected, {0x1B, 0x3F, 0x00, 0xFF, 0xFF, 0xFF, 0xFF});
  Append(expected, kDefaultDeqBand, 6);
  Append(expected, {0x01, 0x01, 0x02, 0x07, 0x1A, 0xAA, 0xA5});
  EXPECT_EQ(out, expected);

  m.deqMode = 0;
  m.deqLinking = 5;
  out.clear();
  EncodeDeqBlock(m, 4, out);
  EXPECT_EQ(out[0], 0x02);
}

TEST(DeqBand, DefaultBandPacksAndUnpacks) {
  const NerexDeqBand band;
  std::array<std::uint8_t, 7> packed{};
  EXPECT_EQ(PackDeqBand(band, packed), 7u);
  EXPECT_EQ(packed, (std::array<std::uint8_t, 7>{0x00, 0x25, 0x1A, 0x00, 0x07, 0xE3, 0xCC}));
  NerexDeqBand back;
  back.q = 0;
  back.effect = 0;
  EXPECT_EQ(UnpackDeqBand(packed, back), 7u);
  EXPECT_EQ(back, band);
}

// ---- Field widths: a value wider than its field never spills into its neighbours ----

TEST(FieldWidths, CompressorValuesAreMaskedBeforePacking) {
  CNerexSeriesMemory wide = DefaultImage();
  CNerexSeriesMemory masked = wide;
  wide.outputs.compressors[0] = NerexCompressor{0xFF, 0xFF, 0xFF, 0xFF, 0x1F, 7};
  masked.outputs.compressors[0] = NerexCompressor{0x7F, 0x7F, 0x3F, 0x3F, 0x0F, 1};
  Bytes a, b;
  EncodeOutputBlockForWrite(wide.outputs, 8, 121, a);
  EncodeOutputBlockForWrite(masked.outputs, 8, 121, b);
  EXPECT_EQ(a, b);

  // A soft knee of 16 must not set the lowest threshold bit.
  CNerexSeriesMemory knee = DefaultImage();
  knee.outputs.compressors[0].softKnee = 0x10;
  Bytes c, d;
  EncodeOutputBlockForWrite(knee.outputs, 8, 121, c);
  EncodeOutputBlockForWrite(DefaultImage().outputs, 8, 121, d);
  EXPECT_EQ(c, d);
}

TEST(FieldWidths, MatrixLevelsAreMaskedToTenBits) {
  CNerexSeriesMemory m = DefaultImage();
  m.outputs.matrixLevels[0] = {0, 0xFFFF, 0, 0x0400};
  Bytes out;
  EncodeOutputBlockForWrite(m.outputs, 8, 121, out);
  // Only b's ten bits are set; a, c and d (0x400 has no low ten bits) stay 0.
  const Bytes levels(out.begin() + 17, out.begin() + 22);
  EXPECT_EQ(levels, (Bytes{0x00, 0x3F, 0xF0, 0x00, 0x00}));
}

TEST(FieldWidths, DynamicEqBandValuesAreMaskedBeforePacking) {
  const NerexDeqBand wide{0xFF, 0xFF, 0xFFFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02};
  const NerexDeqBand masked{3, 0x7F, 0x1FF, 0x0F, 0x7F, 0x1F, 0x3F, 0x3F, 3, 1};
  std::array<std::uint8_t, 7> a{}, b{};
  PackDeqBand(wide, a);
  PackDeqBand(masked, b);
  EXPECT_EQ(a, b);
  // Widths one at a time: a frequency above 9 bits leaves ratio and Q alone.
  NerexDeqBand band;
  band.frequency = 0x200;
  PackDeqBand(band, a);
  band.frequency = 0;
  PackDeqBand(band, b);
  EXPECT_EQ(a, b);
}

TEST(FieldWidths, DelaysTravelAsTheirLowTwentyFourBits) {
  CNerexSeriesMemory m;
  m.inputs.delays[0] = 0xFF123456;
  Bytes out;
  EncodeInputBlock(m.inputs, 4, 120, out);
  EXPECT_EQ(Bytes(out.begin() + 12, out.begin() + 15), (Bytes{0x56, 0x34, 0x12}));
  EXPECT_EQ(out[15], 0x00);  // the next input's delay
}

// ---- Decoding replies ----

TEST(ReplyDecoding, OwnBitIsSetAndOutputGroupsAreMadeSymmetric) {
  CNerexSeriesMemory source = DefaultImage();
  source.outputs.linkMasks = {0x03, 0x02, 0x04, 0x00, 0x10, 0x20, 0x40, 0x80};
  CNerexSeriesMemory image = DefaultImage();
  ASSERT_TRUE(DecodeOutputBlock(OutputReply(source.outputs, 8, 120), 8, 120, image));
  EXPECT_EQ(image.outputs.linkMasks[0], 0x03);
  EXPECT_EQ(image.outputs.linkMasks[1], 0x03);
  EXPECT_EQ(image.outputs.linkMasks[3], 0x08);
}

TEST(ReplyDecoding, LinkedOutputsReadBackWithTheMastersGain) {
  CNerexSeriesMemory source = DefaultImage();
  source.outputs.linkMasks[4] = 0x30;
  source.outputs.linkMasks[5] = 0x30;
  source.outputs.gains[4] = -35;
  source.outputs.gains[5] = 70;
  CNerexSeriesMemory image = DefaultImage();
  ASSERT_TRUE(DecodeOutputBlock(OutputReply(source.outputs, 8, 120), 8, 120, image));
  EXPECT_EQ(image.outputs.gains[4], -35);
  EXPECT_EQ(image.outputs.gains[5], -35);
}

TEST(ReplyDecoding, InputMuteBitsArriveReversed) {
  CNerexSeriesMemory source;
  source.inputs.muteMask = 0x01;  // as the unit reports it: the fourth input
  Bytes block;
  EncodeInputBlock(source.inputs, 4, 120, block);
  CNerexSeriesMemory image;
  ASSERT_TRUE(DecodeInputBlock(WithPrefix(block), 4, 120, image));
  EXPECT_EQ(image.inputs.muteMask, 0x08);
  // A snapshot carries the image's order.
  CNerexSeriesMemory snap;
  ASSERT_TRUE(DecodeInputBlockV1(2, block, 4, 120, snap));
  EXPECT_EQ(snap.inputs.muteMask, 0x01);
}

TEST(ReplyDecoding, InputGroupsAreMadeSymmetricByEveryDecode) {
  CNerexSeriesMemory source;
  source.inputs.linkMasks = {0x05, 0x02, 0x04, 0x08};
  Bytes block;
  EncodeInputBlock(source.inputs, 4, 120, block);
  CNerexSeriesMemory reply, snapshot;
  ASSERT_TRUE(DecodeInputBlock(WithPrefix(block), 4, 120, reply));
  ASSERT_TRUE(DecodeInputBlockV1(1, block, 4, 120, snapshot));
  EXPECT_EQ(reply.inputs.linkMasks[2], 0x05);
  EXPECT_EQ(snapshot.inputs.linkMasks[2], 0x05);
}

TEST(ReplyDecoding, SnapshotLeavesOutputGroupsAsStoredApartFromTheOwnBit) {
  CNerexSeriesMemory source = DefaultImage();
  source.outputs.linkMasks[0] = 0x03;
  Bytes block;
  EncodeOutputBlock(source.outputs, 8, 120, block);
  CNerexSeriesMemory image = DefaultImage();
  ASSERT_TRUE(DecodeOutputBlockSnapshot(2, block, 8, 120, image));
  EXPECT_EQ(image.outputs.linkMasks[0], 0x03);
  EXPECT_EQ(image.outputs.linkMasks[1], 0x02);
}

TEST(ReplyDecoding, GroupWalkStopsAtTheModelsChannelCount) {
  // A four-output unit naming outputs 5 to 8 in a mask: those channels are not touched.
  CNerexSeriesMemory source = DefaultImage();
  source.outputs.linkMasks[0] = 0xF1;
  CNerexSeriesMemory image = DefaultImage();
  ASSERT_TRUE(DecodeOutputBlock(OutputReply(source.outputs, 4, 116), 4, 116, image));
  EXPECT_EQ(image.outputs.linkMasks[0], 0xF1);
  for (int o = 4; o < 8; ++o) EXPECT_EQ(image.outputs.linkMasks[o], 1u << o) << o;
}

TEST(ReplyDecoding, FennickMatrixGainsAreClampedAsTheyAreRead) {
  CNerexSeriesMemory source;
  source.inputs.matrixGains[2][1] = -500;
  source.inputs.matrixGains[3][0] = 200;
  CNerexSeriesMemory image;
  image.inputs.delays = {9, 9, 9, 9};
  ASSERT_TRUE(DecodeInputBlock(InputReply(source.inputs, 4, 16), 4, 16, image));
  EXPECT_EQ(image.inputs.matrixGains[2][1], -401);
  EXPECT_EQ(image.inputs.matrixGains[3][0], 150);
  EXPECT_EQ(image.inputs.delays[0], 9u);  // a Fennick block carries no delays
}

TEST(ReplyDecoding, FennickReplyCarriesRoutingMasksThatItsWriteLacks) {
  // The unit's reply has the layout of an eight-output Nerex block.
  CNerexSeriesMemory source = DefaultImage();
  source.outputs.routingMasks = {1, 2, 4, 8, 3, 5, 9, 15};
  source.outputs.gains[6] = -77;
  Bytes block;
  EncodeOutputBlockForWrite(source.outputs, 8, 120, block);
  ASSERT_EQ(block.size() + 2, 685u);
  CNerexSeriesMemory image = DefaultImage();
  ASSERT_TRUE(DecodeOutputBlock(WithPrefix(block), 8, 16, image));
  EXPECT_EQ(image.outputs.routingMasks, source.outputs.routingMasks);
  EXPECT_EQ(image.outputs.gains[6], -77);
  // The Fennick write form is eight bytes shorter, so it is too short as a reply.
  Bytes write;
  EncodeOutputBlockForWrite(source.outputs, 8, 16, write);
  EXPECT_FALSE(DecodeOutputBlock(WithPrefix(write), 8, 16, image));
}

TEST(ReplyDecoding, CrossoversGetTheirKindAndNoGain) {
  CNerexSeriesMemory source = DefaultImage();
  source.outputs.highPass[1] = NerexEqBand{0, 9, 100, 55};
  CNerexSeriesMemory image;
  image.outputs.highPassIds.Set(1, {1117, 0, 0, 0});
  ASSERT_TRUE(DecodeOutputBlock(OutputReply(source.outputs, 8, 120), 8, 120, image));
  EXPECT_EQ(image.outputs.highPass[1], (NerexEqBand{3, 9, 100, 0}));
  EXPECT_EQ(image.outputs.highPassIds[1], (NerexEqBandIds{1117, 0, 0, 0}));
  EXPECT_EQ(image.outputs.lowPass[1].type, 4);
  EXPECT_EQ(image.outputs.lowPass[1].frequency, 433);
}

TEST(ReplyDecoding, Torvex48ReplyTakesTheCompressorLimitersFlagFromTheFirstCompressor) {
  CNerexSeriesMemory source = DefaultImage();
  source.outputs.compressorLimiters = 0;
  source.outputs.compressors[2] = NerexCompressor{100, 64, 33, 40, 15, 1};
  CNerexSeriesMemory image = DefaultImage();
  ASSERT_TRUE(DecodeOutputBlock(OutputReply(source.outputs, 8, 121), 8, 121, image));
  EXPECT_EQ(image.outputs.compressorLimiters, 0);
  EXPECT_EQ(image.outputs.compressors[2], source.outputs.compressors[2]);
  source.outputs.compressorLimiters = 1;
  ASSERT_TRUE(DecodeOutputBlock(OutputReply(source.outputs, 8, 121), 8, 121, image));
  EXPECT_EQ(image.outputs.compressorLimiters, 1);
}

TEST(ReplyDecoding, DynamicEqFlagsAndBands) {
  CNerexSeriesMemory source = MakeRandomImage(5);
  source.deqMode = 1;
  source.deqLinking = 1;
  Bytes block;
  EncodeDeqBlock(source, 4, block);
  CNerexSeriesMemory image;
  InitMemoryDefaults(image);
  ASSERT_TRUE(DecodeDeqBlockReply(WithPrefix(block), 4, 121, image));
  EXPECT_EQ(image.deqMode, 1);
  EXPECT_EQ(image.deqLinking, 1);
  for (int k = 0; k < kNerexDeqBands; ++k) {
    EXPECT_EQ(image.deqIds[std::size_t(k)].modeId, 1494u + k);  // ids never travel
    NerexDeqBand decoded, expected;
    decoded.CopyValues(image.deqBands[k]);
    expected.CopyValues(source.deqBands[k]);
    EXPECT_EQ(decoded, expected) << k;
  }
}

// ---- Short or bad input: a clear refusal, and nothing changes ----

TEST(ShortInput, EveryDecoderRefusesATruncatedBlockAndLeavesTheImageAlone) {
  const CNerexSeriesMemory source = MakeRandomImage(3);
  const CNerexSeriesMemory before = MakeRandomImage(4);
  for (const ModelCase& mc : AllModels()) {
    const auto [in, out, geq, deq] = EncodeBlocks(source, mc);
    Bytes outReply;
    EncodeOutputBlockForWrite(source.outputs, mc.outputs, mc.model == 16 || mc.model == 17 ? 120 : mc.model,
                              outReply);

    auto shortOf = [](const Bytes& b) { return Bytes(b.begin(), b.end() - 1); };
    CNerexSeriesMemory image = before;
    EXPECT_FALSE(DecodeInputBlock(WithPrefix(shortOf(in)), mc.inputs, mc.model, image)) << mc.model;
    EXPECT_FALSE(DecodeOutputBlock(WithPrefix(shortOf(outReply)), mc.outputs, mc.model, image)) << mc.model;
    EXPECT_FALSE(DecodeGeqBlock(WithPrefix(shortOf(geq)), mc.inputs, mc.model, image)) << mc.model;
    EXPECT_FALSE(DecodeDeqBlockReply(WithPrefix(shortOf(deq)), mc.inputs, mc.model, image)) << mc.model;
    EXPECT_FALSE(DecodeInputBlockV1(2, shortOf(in), mc.inputs, mc.model, image)) << mc.model;
    EXPECT_FALSE(DecodeOutputBlockSnapshot(2, shortOf(out), mc.outputs, mc.model, image)) << mc.model;
    EXPECT_FALSE(DecodeGeqBlockSnapshot(shortOf(geq), mc.inputs, image)) << mc.model;
    EXPECT_FALSE(DecodeDeqBlock(2, shortOf(deq), mc.inputs, mc.model, image)) << mc.model;
    EXPECT_EQ(image, before) << mc.model;

    // The full lengths are accepted.
    EXPECT_TRUE(DecodeInputBlock(WithPrefix(in), mc.inputs, mc.model, image)) << mc.model;
    EXPECT_TRUE(DecodeOutputBlock(WithPrefix(outReply), mc.outputs, mc.model, image)) << mc.model;
  }
}

TEST(ShortInput, EmptyRepliesBadCountsAndUnknownFormatsAreRefused) {
  CNerexSeriesMemory image;
  const CNerexSeriesMemory before = image;
  const Bytes empty;
  const Bytes prefixOnly{0x00, 0x40};
  EXPECT_FALSE(DecodeInputBlock(empty, 4, 120, image));
  EXPECT_FALSE(DecodeInputBlock(prefixOnly, 4, 120, image));
  EXPECT_FALSE(DecodeDeqBlockReply(prefixOnly, 4, 121, image));
  Bytes big(4000, 0);
  EXPECT_FALSE(DecodeInputBlock(big, 5, 120, image));
  EXPECT_FALSE(DecodeOutputBlock(big, 9, 120, image));
  EXPECT_FALSE(DecodeGeqBlock(big, -1, 120, image));
  EXPECT_FALSE(DecodeInputBlockV1(3, big, 4, 120, image));
  EXPECT_FALSE(DecodeOutputBlockSnapshot(0, big, 8, 120, image));
  EXPECT_FALSE(DecodeDeqBlock(1, big, 4, 121, image));  // format 1 has no dynamic-EQ block
  EXPECT_EQ(image, before);

  Bytes out;
  EXPECT_EQ(EncodeInputBlock(image.inputs, 5, 120, out), 0u);
  EXPECT_EQ(EncodeOutputBlockForWrite(image.outputs, 9, 120, out), 0u);
  EXPECT_TRUE(out.empty());
}

// ---- Round trips for every model ----

TEST(RoundTrip, SnapshotBlocksOfEveryModelDecodeToWhatWasEncoded) {
  const CNerexSeriesMemory source = MakeRandomImage(101);
  for (const ModelCase& mc : AllModels()) {
    const EncodedBlocks blocks = EncodeBlocks(source, mc);
    const auto& [in, out, geq, deq] = blocks;

    const CNerexSeriesMemory other = MakeRandomImage(202);
    CNerexSeriesMemory image = other;
    ASSERT_TRUE(DecodeInputBlockV1(2, in, mc.inputs, mc.model, image)) << mc.model;
    ASSERT_TRUE(DecodeOutputBlockSnapshot(2, out, mc.outputs, mc.model, image)) << mc.model;
    ASSERT_TRUE(DecodeGeqBlockSnapshot(geq, mc.inputs, image)) << mc.model;
    ASSERT_TRUE(DecodeDeqBlock(2, deq, mc.inputs, mc.model, image)) << mc.model;
    ExpectSameBlocks(EncodeBlocks(image, mc), blocks, mc.model);

    // Channels the model lacks keep what they held.
    for (int i = mc.inputs; i < kNerexMaxInputs; ++i) {
      EXPECT_EQ(image.inputs.gains[i], other.inputs.gains[i]) << mc.model;
      EXPECT_EQ(image.inputs.PeqBand(i, 0), other.inputs.PeqBand(i, 0)) << mc.model;
      EXPECT_EQ(image.geq.bands[i], other.geq.bands[i]) << mc.model;
      EXPECT_EQ(image.DeqBand(i, 2), other.DeqBand(i, 2)) << mc.model;
    }
    for (int o = mc.outputs; o < kNerexMaxOutputs; ++o) {
      EXPECT_EQ(image.outputs.gains[o], other.outputs.gains[o]) << mc.model;
      EXPECT_EQ(image.outputs.limiters[o], other.outputs.limiters[o]) << mc.model;
      EXPECT_EQ(image.outputs.names[o], other.outputs.names[o]) << mc.model;
    }
  }
}

TEST(RoundTrip, WriteBlocksReadBackThroughTheReplyDecoders) {
  CNerexSeriesMemory source = MakeRandomImage(303);
  source.inputs.muteMask = 0x09;  // the same bits in either order
  for (const ModelCase& mc : AllModels()) {
    if (mc.model == 16 || mc.model == 17) continue;  // their reply adds routing masks
    const EncodedBlocks blocks = EncodeBlocks(source, mc, true);
    const auto& [in, out, geq, deq] = blocks;
    CNerexSeriesMemory image = MakeRandomImage(404);
    ASSERT_TRUE(DecodeInputBlock(WithPrefix(in), mc.inputs, mc.model, image)) << mc.model;
    ASSERT_TRUE(DecodeOutputBlock(WithPrefix(out), mc.outputs, mc.model, image)) << mc.model;
    ASSERT_TRUE(DecodeGeqBlock(WithPrefix(geq), mc.inputs, mc.model, image)) << mc.model;
    ASSERT_TRUE(DecodeDeqBlockReply(WithPrefix(deq), mc.inputs, mc.model, image)) << mc.model;
    ExpectSameBlocks(EncodeBlocks(image, mc, true), blocks, mc.model);
  }
}

TEST(RoundTrip, FullTorvex48ImageComesBackFieldForField) {
  CNerexSeriesMemory source = MakeRandomImage(505);
  source.inputs.matrixGains = {};  // a Fennick field; no Torvex48 block carries it
  const auto [in, out, geq, deq] = EncodeBlocks(source, ModelCase{121, 4, 8});
  CNerexSeriesMemory image;
  ASSERT_TRUE(DecodeInputBlockV1(2, in, 4, 121, image));
  ASSERT_TRUE(DecodeOutputBlockSnapshot(2, out, 8, 121, image));
  ASSERT_TRUE(DecodeGeqBlockSnapshot(geq, 4, image));
  ASSERT_TRUE(DecodeDeqBlock(2, deq, 4, 121, image));
  EXPECT_EQ(image.inputs, source.inputs);
  EXPECT_EQ(image.outputs, source.outputs);
  EXPECT_EQ(image.geq, source.geq);
  EXPECT_EQ(image.deqBands, source.deqBands);
  EXPECT_EQ(image.deqMode, source.deqMode);
  EXPECT_EQ(image.deqLinking, source.deqLinking);
}

TEST(RoundTrip, OldSnapshotFormatLeavesTorvexPartsAlone) {
  const CNerexSeriesMemory source = MakeRandomImage(606);
  Bytes v1;
  v1.resize(GetOutputBlockSize(8, 121, EOutputBlockForm::SnapshotV1));
  // A format-1 block has the layout of an eight-output Nerex block.
  Bytes nerex;
  EncodeOutputBlock(source.outputs, 8, 120, nerex);
  ASSERT_EQ(nerex.size(), v1.size());
  CNerexSeriesMemory image = MakeRandomImage(707);
  const CNerexSeriesMemory before = image;
  ASSERT_TRUE(DecodeOutputBlockSnapshot(1, nerex, 8, 121, image));
  EXPECT_EQ(image.outputs.compressors, before.outputs.compressors);
  EXPECT_EQ(image.outputs.matrixLevels, before.outputs.matrixLevels);
  EXPECT_EQ(image.outputs.mixerFlag, before.outputs.mixerFlag);
  EXPECT_EQ(image.outputs.compressorLimiters, before.outputs.compressorLimiters);
  EXPECT_EQ(image.outputs.gains, source.outputs.gains);
  EXPECT_EQ(image.outputs.routingMasks, source.outputs.routingMasks);
}

// ---- Sizes per model ----

TEST(BlockSizes, RawFrameAndReplyLengthsOfEveryModel) {
  struct Row {
    int model;
    std::uint32_t raw0, frame0, raw5, frame5, raw16, frame16, raw17, frame17;
    std::uint32_t reply0, reply2, reply4, reply6;
  };
  const Row rows[] = {
      {16, 303, 355, 677, 782, 0, 0, 0, 0, 355, 791, 276, 108},
      {17, 303, 355, 677, 782, 0, 0, 0, 0, 355, 791, 276, 108},
      {110, 127, 154, 523, 606, 0, 0, 0, 0, 154, 606, 143, 108},
      {112, 251, 295, 685, 791, 0, 0, 0, 0, 295, 791, 276, 108},
      {114, 127, 154, 361, 421, 118, 143, 0, 0, 154, 421, 143, 108},
      {115, 127, 154, 523, 606, 118, 143, 0, 0, 154, 606, 143, 108},
      {116, 251, 295, 361, 421, 234, 276, 0, 0, 295, 421, 276, 108},
      {118, 251, 295, 523, 606, 234, 276, 0, 0, 295, 606, 276, 108},
      {120, 251, 295, 685, 791, 234, 276, 0, 0, 295, 791, 276, 108},
      {121, 251, 295, 759, 875, 234, 276, 87, 108, 295, 875, 276, 108},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(GetBlockRawSize(0, r.model), r.raw0) << r.model;
    EXPECT_EQ(GetBlockFrameLength(0, r.model), r.frame0) << r.model;
    EXPECT_EQ(GetBlockRawSize(5, r.model), r.raw5) << r.model;
    EXPECT_EQ(GetBlockFrameLength(5, r.model), r.frame5) << r.model;
    EXPECT_EQ(GetBlockRawSize(16, r.model), r.raw16) << r.model;
    EXPECT_EQ(GetBlockFrameLength(16, r.model), r.frame16) << r.model;
    EXPECT_EQ(GetBlockRawSize(17, r.model), r.raw17) << r.model;
    EXPECT_EQ(GetBlockFrameLength(17, r.model), r.frame17) << r.model;
    EXPECT_EQ(GetBlockReplyLength(0, r.model), r.reply0) << r.model;
    EXPECT_EQ(GetBlockReplyLength(2, r.model), r.reply2) << r.model;
    EXPECT_EQ(GetBlockReplyLength(4, r.model), r.reply4) << r.model;
    EXPECT_EQ(GetBlockReplyLength(6, r.model), r.reply6) << r.model;
    for (int unused : {1, 3, 5, 7}) EXPECT_EQ(GetBlockReplyLength(unused, r.model), 0u);
    EXPECT_EQ(GetBlockRawSize(1, r.model), 0u);
  }
  EXPECT_EQ(GetBlockRawSize(0, 119), 0u);
  EXPECT_EQ(GetBlockReplyLength(6, 5), 0u);
}

TEST(BlockSizes, EncodedBlocksFillTheirFramesExactly) {
  const CNerexSeriesMemory image = MakeRandomImage(9);
  for (const ModelCase& mc : AllModels()) {
    for (int block : {0, 5, 16, 17}) {
      const std::uint32_t frame = GetBlockFrameLength(block, mc.model);
      Bytes encoded;
      switch (block) {
        case 0: EncodeInputBlock(image.inputs, mc.inputs, mc.model, encoded); break;
        case 5: EncodeOutputBlockForWrite(image.outputs, mc.outputs, mc.model, encoded); break;
        case 16: EncodeGeqBlock(image.geq, mc.inputs, encoded); break;
        default: EncodeDeqBlock(image, mc.inputs, encoded); break;
      }
      const Bytes payload = BuildBlockWritePayload(block, image, mc.model, 3, 0x80);
      if (frame == 0) {
        EXPECT_TRUE(payload.empty()) << mc.model << " block " << block;
        continue;
      }
      // 8 frame bytes, the raw bytes, and one top-bits byte per group of seven.
      const std::size_t raw = encoded.size() + 2;
      EXPECT_EQ(8 + raw + (raw + 6) / 7, frame) << mc.model << " block " << block;
      ASSERT_EQ(payload.size(), raw) << mc.model << " block " << block;
      EXPECT_EQ(payload[0], 3);
      EXPECT_EQ(payload[1], 0x80);
      EXPECT_TRUE(std::equal(encoded.begin(), encoded.end(), payload.begin() + 2));
    }
  }
}

TEST(BlockSizes, SnapshotSlotsHoldTheSnapshotFormPlusTwoBytes) {
  const CNerexSeriesMemory image = MakeRandomImage(10);
  for (const ModelCase& mc : AllModels()) {
    Bytes in, out;
    EncodeInputBlock(image.inputs, mc.inputs, mc.model, in);
    EncodeOutputBlock(image.outputs, mc.outputs, mc.model, out);
    EXPECT_EQ(in.size() + 2, GetBlockRawSize(0, mc.model)) << mc.model;
    EXPECT_EQ(out.size() + 2, GetBlockRawSize(5, mc.model)) << mc.model;
  }
}
