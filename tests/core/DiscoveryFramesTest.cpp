// Golden bytes of the autoscan frames and the parsers of their replies.
#include <gtest/gtest.h>

#include <vector>

#include "core/protocol/ControlMessage.h"
#include "core/protocol/DiscoveryFrames.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FrameOf(const CControlMessage& m) { return Bytes(m.frame, m.frame + m.frameLength); }

TEST(DiscoveryFramesTest, QuietCommand_GoldenBytes_AwaitsTheAck) {
  CControlMessage m;
  BuildQuietCommand(m, 0x33, 0x01020304);
  // Checksum: F1+0C+33+01+02+03+04+28+7F+7F = 0x260, & 0x7F = 0x60.
  EXPECT_EQ(FrameOf(m), (Bytes{0xF1, 0x00, 0x0C, 0x33, 0x01, 0x02, 0x03, 0x04, 0x00, 0x28, 0x7F, 0x7F, 0x60}));
  EXPECT_TRUE(m.write);
  EXPECT_EQ(m.command, 0x28u);
  EXPECT_EQ(m.expectedLength, 0u);
  EXPECT_EQ(m.device, nullptr);
}

TEST(DiscoveryFramesTest, ProbesAndQueries_GoldenBytesLengthsAndStartBytes) {
  CControlMessage m;
  BuildShortIdProbe(m, 5);
  EXPECT_EQ(FrameOf(m), (Bytes{0xE0, 0x05}));
  EXPECT_EQ(m.expectedLength, 10u);
  EXPECT_EQ(m.replyStart, 0xE8);
  EXPECT_FALSE(m.write);
  EXPECT_FALSE(m.noRetry);

  BuildLongIdProbe(m, kScanLevel2, 0x0A0B8C0D);
  EXPECT_EQ(FrameOf(m), (Bytes{0xB2, 0x0A, 0x0B, 0x0C, 0x0D}));  // each group 7 bits
  EXPECT_EQ(m.command, 0xB2u);
  EXPECT_EQ(m.expectedLength, 24u);
  EXPECT_EQ(m.replyStart, 0xB8);
  EXPECT_TRUE(m.noRetry);

  const std::uint8_t id[4] = {0x00, 0x01, 0x03, 0x05};
  BuildTypeQuery(m, id);
  EXPECT_EQ(FrameOf(m), (Bytes{0xE0, 0x00, 0x01, 0x03, 0x05}));
  EXPECT_EQ(m.expectedLength, 15u);
  EXPECT_EQ(m.replyStart, 0xE8);
  EXPECT_FALSE(m.noRetry);

  BuildScanReset(m);
  EXPECT_EQ(FrameOf(m), (Bytes{0xBE, 0, 0, 0, 0}));
  EXPECT_EQ(m.expectedLength, 0u);
  EXPECT_FALSE(m.write);

  BuildScanCompleteCheck(m);
  EXPECT_EQ(FrameOf(m), (Bytes{0xBF, 0, 0, 0, 0}));
  EXPECT_EQ(m.expectedLength, 24u);
  EXPECT_EQ(m.replyStart, 0xB8);
  EXPECT_TRUE(m.noRetry);
}

TEST(DiscoveryFramesTest, ShortIdReplies_ThreeFormsParsed_OthersRefused) {
  CScanIdentity id;
  const Bytes form1{0xE8, 0x00, 0x09, 0x00, 0x10, 0x00, 0x01, 0x1C, 0x20, 0x00};
  ASSERT_TRUE(ParseShortIdReply(form1.data(), 10, id));
  EXPECT_EQ(id.typeCode, 16u);
  EXPECT_EQ(id.variant, 0x00011C20u);

  Bytes form2(29, 0);
  form2[0] = 0xE8, form2[2] = 0x1C, form2[4] = 0x34, form2[5] = 0x12, form2[6] = 0x1A;
  ASSERT_TRUE(ParseShortIdReply(form2.data(), 29, id));
  EXPECT_EQ(id.typeCode, 110u);
  EXPECT_EQ(id.variant, 0x1A1234u);
  EXPECT_FALSE(ParseShortIdReply(form2.data(), 10, id));  // announced 29 bytes, got 10

  Bytes form3(28, 0);
  form3[0] = 0xE8, form3[2] = 0x1B, form3[4] = 60, form3[8] = 7;
  ASSERT_TRUE(ParseShortIdReply(form3.data(), 28, id));
  EXPECT_EQ(id.typeCode, 60u);
  EXPECT_EQ(id.variant, 7u);

  Bytes other = form1;
  other[2] = 0x0A;
  EXPECT_FALSE(ParseShortIdReply(other.data(), 10, id));
  other = form1;
  other[1] = 0x01;
  EXPECT_FALSE(ParseShortIdReply(other.data(), 10, id));
}

TEST(DiscoveryFramesTest, LongIdAndTypeReplies_ParsedFromTheirOffsets) {
  Bytes probe(24, 0);
  probe[0] = 0xB8, probe[2] = 0x17, probe[3] = 0x01, probe[4] = 0x02, probe[5] = 0x03, probe[6] = 0x05;
  std::uint32_t found = 0;
  ASSERT_TRUE(ParseLongIdReply(probe.data(), 24, found));
  EXPECT_EQ(found, 0x01020305u);
  probe[2] = 0x16;
  EXPECT_FALSE(ParseLongIdReply(probe.data(), 24, found));

  Bytes type(15, 0);
  type[0] = 0xE8, type[2] = 0x0E, type[7] = 51, type[10] = 0x01, type[13] = 0x09;
  CScanIdentity id;
  ASSERT_TRUE(ParseTypeQueryReply(type.data(), 15, id));
  EXPECT_EQ(id.typeCode, 51u);
  EXPECT_EQ(id.variant, 0x01000009u);
  EXPECT_FALSE(ParseTypeQueryReply(type.data(), 14, id));
}

}  // namespace
