// Golden frames of the processor family: the frame layout and checksum, memory numbers, every
// write builder with its command and length, and the 7-bit rules of the unpacked frames.
#include "tests/devices/processor/ProcessorTestSupport.h"

#include "devices/processor/NerexBlocks.h"
#include "devices/processor/NerexModelTable.h"
#include "tests/support/ModelChanges.h"

namespace {

class NerexFramesTest : public ProcessorDeviceTest {};

Bytes Unpacked(const CControlMessage& m, std::size_t count) {
  Bytes raw(count);
  Unpack7Bit(m.frame + 7, int(count), raw.data());
  return raw;
}

}  // namespace

TEST(NerexFrameLayout, EightByteReadHasExactHeaderAndChecksum) {
  CControlMessage m;
  m.Set(79, 8, 31, nullptr, false, 0xA8, 0, 0);
  FinaliseFrame(m, 121, 5);
  EXPECT_EQ(FrameBytes(m), (Bytes{0xF0, 0x00, 0x07, 0x79, 0x05, 0x00, 0x4F, 0x44}));
}

TEST(NerexFrameLayout, LongFrameLengthByteOneStaysOutOfTheChecksum) {
  CControlMessage m;
  m.Set(75, 288, 0, nullptr, true, 0xA8, 0, 0);
  for (int i = 7; i < 287; ++i) m.frame[i] = std::uint8_t(i & 0x7F);
  FinaliseFrame(m, 16, 9);
  EXPECT_EQ(m.frame[0], 0xF1);
  EXPECT_EQ(m.frame[1], 2);
  EXPECT_EQ(m.frame[2], 0x1F);
  std::uint32_t sum = 0xF1 + 0x1F;
  for (int i = 3; i < 287; ++i) sum += m.frame[i];
  EXPECT_EQ(m.frame[287], sum & 0x7F);
  // Byte 1 adds 2, which would change the result: it is not in the sum.
  EXPECT_NE(m.frame[287], (sum + 2) & 0x7F);
}

TEST(NerexFrameLayout, MemoryNumbersTravelAsThreeSevenBitBytes) {
  std::uint8_t b[3];
  PutMemoryNumber(b, 257);
  EXPECT_EQ(Bytes(b, b + 3), (Bytes{0x00, 0x01, 0x01}));
  PutMemoryNumber(b, 200);
  EXPECT_EQ(Bytes(b, b + 3), (Bytes{0x01, 0x48, 0x00}));
  EXPECT_EQ(GetMemoryNumber(b), 200u);
  for (std::uint32_t n : {0u, 1u, 127u, 128u, 255u, 257u, 300u}) {
    PutMemoryNumber(b, n);
    EXPECT_EQ(GetMemoryNumber(b), n);
  }
}

TEST(NerexSevenBitText, NonAsciiBecomesOneQuestionMarkAndTextIsCutAndPadded) {
  EXPECT_EQ(ToSevenBitText("ABC", 8), "ABC     ");
  EXPECT_EQ(ToSevenBitText("Caf\xC3\xA9 Bar", 8), "Caf? Bar");
  EXPECT_EQ(ToSevenBitText("\xE2\x82\xAC" "1", 4), "?1  ");
  EXPECT_EQ(ToSevenBitText("abcdefghij", 4), "abcd");
  EXPECT_EQ(ToSevenBitText("\xFF\x41", 3), "?A ");
}

TEST_F(NerexFramesTest, ParametricBandWriteIsGoldenWithTypeBitsFourToSixCleared) {
  CNerexSeriesDevice& d = Make(120, 3);
  NerexEqBand band;
  band.type = 0xF1;
  band.q = 0x3C;
  band.frequency = 252;
  band.gain = -30;
  CControlMessage m;
  ASSERT_TRUE(BuildCommand16LenMessage(d, m, band, 5, 2));
  EXPECT_EQ(m.command, 10u);
  EXPECT_TRUE(m.write);
  EXPECT_EQ(m.expectedLength, 0u);
  EXPECT_EQ(m.replyStart, 0xA8);
  EXPECT_EQ(FrameBytes(m), (Bytes{0xF1, 0x00, 0x0F, 0x78, 0x03, 0x00, 0x0A, 0x6A, 0x05, 0x01, 0x3C, 0x7C, 0x00,
                                  0x62, 0x7F, 0x0E}));
}

TEST_F(NerexFramesTest, CompressorWriteIsGolden) {
  CNerexSeriesDevice& d = Make(121, 1);
  NerexCompressor c;
  c.threshold = 20;
  c.attack = 29;
  c.release = 51;
  c.ratio = 8;
  c.softKnee = 3;
  c.bypass = 1;
  CControlMessage m;
  ASSERT_TRUE(BuildCommand23Message(d, m, c, 7, true));
  EXPECT_EQ(FrameBytes(m),
            (Bytes{0xF1, 0x00, 0x0D, 0x79, 0x01, 0x00, 0x17, 0x0A, 0x07, 0x48, 0x3B, 0x19, 0x43, 0x7F}));
}

TEST_F(NerexFramesTest, CompressorWriteCutsEachValueToItsFieldSoNoneSpillsIntoTheNext) {
  CNerexSeriesDevice& d = Make(121, 1);
  NerexCompressor c;
  c.threshold = 0x85;  // 7 bits: 5
  c.attack = 29;
  c.release = 51;
  c.ratio = 8;
  c.softKnee = 0x12;  // 4 bits: 2
  c.bypass = 0;
  CControlMessage m;
  ASSERT_TRUE(BuildCommand23Message(d, m, c, 7, false));
  // Unmasked, the threshold's eighth bit would land in the release and the knee's fifth in the
  // threshold: 0xA0 and 0x62 instead of 0x98 and 0x52.
  EXPECT_EQ(Unpacked(m, 5), (Bytes{0x07, 0x08, 0x3B, 0x98, 0x52}));
}

TEST_F(NerexFramesTest, LimiterWriteKeepsEveryByteWithinSevenBits) {
  CNerexSeriesDevice& d = Make(118, 2);
  CControlMessage m;
  ASSERT_TRUE(BuildCommand24Message(d, m, NerexLimiter{0x85, 17, 3, 12, 1}, 6));
  EXPECT_EQ(FrameBytes(m),
            (Bytes{0xF1, 0x00, 0x0E, 0x76, 0x02, 0x00, 0x18, 0x00, 0x06, 0x05, 0x11, 0x03, 0x0C, 0x01, 0x3B}));
  for (std::size_t i = 1; i < m.frameLength; ++i) EXPECT_LT(m.frame[i], 0x80) << "byte " << i;
}

TEST_F(NerexFramesTest, MatrixRowPacksFourTenBitCodesBigEndian) {
  CNerexSeriesDevice& d = Make(121, 4);
  WritableSettings(d).outputs.matrixLevels[2] = {0x3FF, 0x001, 0x155, 0x2AA};
  CControlMessage m;
  ASSERT_TRUE(BuildCommand21Message(d, m, 2));
  EXPECT_EQ(m.command, 21u);
  EXPECT_EQ(m.frameLength, 15u);
  EXPECT_EQ(Unpacked(m, 6), (Bytes{7, 0xFF, 0xC0, 0x15, 0x56, 0xAA}));
  // Only the Torvex48 has the matrix row.
  CNerexSeriesDevice& nerex = Make(120, 4);
  EXPECT_FALSE(BuildCommand21Message(nerex, m, 2));
}

TEST_F(NerexFramesTest, DynamicEqWriteCarriesFlagsAndThreeBandsIn35Bytes) {
  CNerexSeriesDevice& d = Make(121, 1);
  CNerexSeriesMemory& image = WritableSettings(d);
  image.deqMode = 1;
  image.deqLinking = 1;
  image.DeqBand(1, 2).ratio = 9;
  CControlMessage m;
  ASSERT_TRUE(BuildDeqMessage(d, m, 2));
  EXPECT_EQ(m.command, 22u);
  EXPECT_EQ(m.frameLength, 35u);
  const Bytes raw = Unpacked(m, 23);
  EXPECT_EQ(raw[0], 2);
  EXPECT_EQ(raw[1], 3);
  NerexDeqBand back;
  UnpackDeqBand(std::span<const std::uint8_t, 7>(raw.data() + 16, 7), back);
  EXPECT_EQ(back.ratio, 9);
  EXPECT_FALSE(BuildDeqMessage(d, m, 0));
  EXPECT_FALSE(BuildDeqMessage(d, m, 5));
}

TEST_F(NerexFramesTest, BlockWritesHaveTheModelsFrameLengthsAndTheirCommands) {
  struct Case {
    int model;
    std::uint32_t inputs, outputs, geq, deq;
  } cases[] = {{16, 355, 782, 0, 0},   {17, 355, 782, 0, 0},   {110, 154, 606, 0, 0},
               {112, 295, 791, 0, 0},  {114, 154, 421, 143, 0}, {115, 154, 606, 143, 0},
               {116, 295, 421, 276, 0}, {118, 295, 606, 276, 0}, {120, 295, 791, 276, 0},
               {121, 295, 875, 276, 108}};
  for (const Case& c : cases) {
    CNerexSeriesDevice& d = Make(c.model);
    CControlMessage m;
    ASSERT_TRUE(BuildBlock26Message(d, m, 0, 0x40)) << c.model;
    EXPECT_EQ(m.command, 26u);
    EXPECT_EQ(m.frameLength, c.inputs) << c.model;
    EXPECT_EQ(m.timeoutBase, 50u);
    ASSERT_TRUE(BuildBlock31Message(d, m, 0, 0x40)) << c.model;
    EXPECT_EQ(m.command, 31u);
    EXPECT_EQ(m.frameLength, c.outputs) << c.model;
    EXPECT_EQ(BuildBlock42Message(d, m, 0, 0x40), c.geq != 0) << c.model;
    if (c.geq) {
      EXPECT_EQ(m.frameLength, c.geq);
    }
    EXPECT_EQ(BuildBlock43Message(d, m, 0, 0x40), c.deq != 0) << c.model;
    if (c.deq) {
      EXPECT_EQ(m.frameLength, c.deq);
    }
  }
}

TEST_F(NerexFramesTest, BlockWritePayloadStartsWithMemoryAndModeAndCarriesTheBlock) {
  CNerexSeriesDevice& d = Make(114, 2);
  WritableSettings(d).inputs.gains[1] = -55;
  CControlMessage m;
  ASSERT_TRUE(BuildBlock26Message(d, m, 7, 0x80));
  const Bytes raw = Unpacked(m, 127);
  EXPECT_EQ(raw[0], 7);
  EXPECT_EQ(raw[1], 0x80);
  const Bytes expected = BuildBlockWritePayload(kBlockInputs, d.GetCurrentSettings(), 114, 7, 0x80);
  EXPECT_EQ(raw, expected);
  // Another image (a preset memory) can be the source.
  CNerexSeriesMemory other = d.GetCurrentSettings();
  other.inputs.gains[1] = 33;
  ASSERT_TRUE(BuildBlock26Message(d, m, 7, 0x80, &other));
  EXPECT_EQ(Unpacked(m, 127), BuildBlockWritePayload(kBlockInputs, other, 114, 7, 0x80));
}

TEST_F(NerexFramesTest, NamesWriteCutsAt40PadsWithBlanksAndKeepsSevenBits) {
  CNerexSeriesDevice& d = Make(120, 1);
  NameDevice(d, std::string(41, 'x'));
  WritableSettings(d).inputs.names[0] = MakeChannelName("K\xC3\xBC" "che");
  CControlMessage m;
  ASSERT_TRUE(BuildBlock35Message(d, m));
  EXPECT_EQ(m.command, 35u);
  EXPECT_EQ(m.frameLength, 144u);
  EXPECT_EQ(m.timeoutBase, 50u);
  EXPECT_EQ(std::string(m.frame + 7, m.frame + 47), std::string(40, 'x'));
  EXPECT_EQ(std::string(m.frame + 47, m.frame + 55), "K?che   ");
  EXPECT_EQ(std::string(m.frame + 55, m.frame + 63), "Ch B    ");
  EXPECT_EQ(std::string(m.frame + 79, m.frame + 87), "Ch 1    ");
  for (std::size_t i = 1; i < m.frameLength; ++i) EXPECT_LT(m.frame[i], 0x80) << "byte " << i;

  NameDevice(d, "Amp");
  ASSERT_TRUE(BuildBlock35Message(d, m));
  EXPECT_EQ(std::string(m.frame + 7, m.frame + 47), "Amp" + std::string(37, ' '));
}

TEST_F(NerexFramesTest, GeneralSettingsOptionBytesGoOutWithTheTopBitFlipped) {
  CNerexSeriesDevice& d = Make(16, 1);
  CControlMessage m;
  ASSERT_TRUE(BuildGeneralSettingsMessage(d, m));
  EXPECT_EQ(m.command, 80u);
  EXPECT_EQ(m.frameLength, 22u);
  EXPECT_EQ(Unpacked(m, 12), (Bytes{0x80, 0x1F, 0x00, 0x80, 0x80, 0x80, 0x86, 0x8A, 0x80, 0x80, 0x80, 0x80}));
}

TEST(NerexMemoryBlockMode, FollowsTheOrderOfTheStoredSections) {
  EXPECT_EQ(MemoryBlockMode(kSectionOutputs, kBlockOutputs), 0x02);
  EXPECT_EQ(MemoryBlockMode(kSectionGeq, kBlockGeq), 0x04);
  const std::uint32_t io = kSectionInputs | kSectionOutputs;
  EXPECT_EQ(MemoryBlockMode(io, kBlockInputs), 0x80);
  EXPECT_EQ(MemoryBlockMode(io, kBlockOutputs), 0x43);
  EXPECT_EQ(MemoryBlockMode(kSectionAll, kBlockInputs), 0x80);
  EXPECT_EQ(MemoryBlockMode(kSectionAll, kBlockGeq), 0xC0);
  EXPECT_EQ(MemoryBlockMode(kSectionAll, kBlockOutputs), 0xC0);
  EXPECT_EQ(MemoryBlockMode(kSectionAll, kBlockDeq), 0x4F);
  EXPECT_EQ(MemoryBlockMode(kSectionInputs, kBlockDeq), 0);
}

TEST_F(NerexFramesTest, DelayMessagesReLimitRoutedInputDelaysAcrossTheLinkGroup) {
  CNerexSeriesDevice& d = Make(120, 1);
  CNerexSeriesMemory& image = WritableSettings(d);
  // Inputs A and B linked; input A feeds output 1, whose delay leaves 1000 units of budget.
  image.inputs.linkMasks[0] = 0x3;
  image.inputs.linkMasks[1] = 0x3;
  image.inputs.delays[0] = 5000;
  image.inputs.delays[1] = 5000;
  image.outputs.routingMasks.fill(0);
  image.outputs.routingMasks[0] = 0x1;
  image.outputs.delays[0] = kNerexDelayLimit - 1000;
  BuildDelayMessages(d);
  EXPECT_EQ(image.inputs.delays[0], 1000u);
  EXPECT_EQ(image.inputs.delays[1], 1000u);
  EXPECT_EQ(image.inputs.delays[2], 0u);
  // Not connected: the frames are dropped, the stored values stay changed.
  EXPECT_EQ(d.Queue().GetQueueSize(), 0u);
}
