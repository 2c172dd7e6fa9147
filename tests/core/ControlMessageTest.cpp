// Seven-bit coding golden bytes and the control message's construction and copy rules.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/protocol/ControlMessage.h"
#include "core/protocol/SevenBit.h"

using Bytes = std::vector<std::uint8_t>;

namespace {
Bytes Pack(const Bytes& raw) {
  Bytes out(raw.size() + raw.size() / 7 + 2, 0xEE);
  const int n = Pack7Bit(raw.data(), int(raw.size()), out.data());
  out.resize(std::size_t(n));
  return out;
}
Bytes Unpack(const Bytes& packed, int m) {
  Bytes out(std::size_t(m), 0xEE);
  Unpack7Bit(packed.data(), m, out.data());
  return out;
}
CDevice* FakeDevice(int n) { return reinterpret_cast<CDevice*>(std::uintptr_t(0x1000 * n)); }
}  // namespace

TEST(SevenBit, PacksThreeBytesWithTopBitsInPrefix) {
  EXPECT_EQ(Pack({0x81, 0x02, 0xFF}), (Bytes{0x05, 0x01, 0x02, 0x7F}));
  EXPECT_EQ(Unpack({0x05, 0x01, 0x02, 0x7F}, 3), (Bytes{0x81, 0x02, 0xFF}));
}

TEST(SevenBit, EightBytesMakeTwoGroupsOfSevenAndOne) {
  const Bytes raw{0x80, 0x01, 0x82, 0x03, 0x84, 0x05, 0x86, 0xFF};
  const Bytes packed{0x55, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x01, 0x7F};
  EXPECT_EQ(Pack(raw), packed);
  EXPECT_EQ(Unpack(packed, 8), raw);
  EXPECT_EQ(PackedLength7Bit(8), 10);
}

TEST(SevenBit, FourteenRawBytesMakeExactlyTwoFullGroups) {
  Bytes raw(14);
  for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = std::uint8_t(0xF0 + i);
  const Bytes packed = Pack(raw);
  ASSERT_EQ(packed.size(), 16u);
  EXPECT_EQ(packed[0], 0x7F);
  EXPECT_EQ(packed[8], 0x7F);
  EXPECT_EQ(packed[1], 0x70);
  EXPECT_EQ(packed[15], 0x7D);
  EXPECT_EQ(Unpack(packed, 14), raw);
}

TEST(SevenBit, EmptyOrNegativeCountPacksNothing) {
  std::uint8_t dst[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  const std::uint8_t src[1] = {0x80};
  EXPECT_EQ(Pack7Bit(src, 0, dst), 0);
  EXPECT_EQ(Pack7Bit(src, -3, dst), 0);
  EXPECT_EQ(dst[0], 0xEE);
  EXPECT_EQ(PackedLength7Bit(0), 0);
}

TEST(SevenBit, RoundTripKeepsEveryByteValue) {
  Bytes raw(256);
  for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = std::uint8_t(255 - i);
  const Bytes packed = Pack(raw);
  EXPECT_EQ(packed.size(), std::size_t(PackedLength7Bit(256)));
  for (std::uint8_t b : packed) EXPECT_LT(b, 0x80);
  EXPECT_EQ(Unpack(packed, 256), raw);
}

TEST(SevenBit, ChecksumAndFourteenBitLength) {
  // The processor's eight-byte meter read: F0 00 07 79 05 00 4F and its checksum 0x44.
  const Bytes frame{0xF0, 0x00, 0x07, 0x79, 0x05, 0x00, 0x4F};
  EXPECT_EQ(Checksum7Bit(frame.data(), frame.size()), 0x44);
  std::uint8_t len[2];
  Put14Bit(len, 287);
  EXPECT_EQ(len[0], 0x02);
  EXPECT_EQ(len[1], 0x1F);
  EXPECT_EQ(Get14Bit(len), 287u);
}

TEST(ControlMessage, NewMessageHasDefaultsAndZeroedFrame) {
  auto* m = new CControlMessage;
  EXPECT_FALSE(m->write);
  EXPECT_EQ(m->command, 0u);
  EXPECT_EQ(m->replyStart, 0xA8);
  EXPECT_EQ(m->frameLength, 0u);
  EXPECT_EQ(m->expectedLength, 0u);
  EXPECT_EQ(m->receivedLength, 0u);
  EXPECT_EQ(m->argument, 0u);
  EXPECT_EQ(m->timeoutBase, 0u);
  EXPECT_FALSE(m->failed);
  EXPECT_FALSE(m->noRetry);
  EXPECT_EQ(m->device, nullptr);
  for (std::uint8_t b : m->frame) ASSERT_EQ(b, 0);
  delete m;
}

TEST(ControlMessage, SetStoresEightFieldsAndLeavesTheRest) {
  CControlMessage m;
  m.frame[0] = 0xF1;
  m.receivedLength = 9;
  m.failed = true;
  m.noRetry = true;
  m.Set(24, 15, 0, FakeDevice(1), true, 0xB8, 3, 50);
  EXPECT_EQ(m.command, 24u);
  EXPECT_EQ(m.frameLength, 15u);
  EXPECT_EQ(m.expectedLength, 0u);
  EXPECT_EQ(m.device, FakeDevice(1));
  EXPECT_TRUE(m.write);
  EXPECT_EQ(m.replyStart, 0xB8);
  EXPECT_EQ(m.argument, 3u);
  EXPECT_EQ(m.timeoutBase, 50u);
  EXPECT_EQ(m.frame[0], 0xF1);
  EXPECT_EQ(m.receivedLength, 9u);
  EXPECT_TRUE(m.failed);
  EXPECT_TRUE(m.noRetry);
}

TEST(ControlMessage, CopyTakesFrameUpToLengthAndKeepsOwnNoRetryFlag) {
  CControlMessage src;
  src.Set(79, 4, 20, FakeDevice(2), false, 0xA8, 1, 7);
  std::memcpy(src.frame, "\xF0\x00\x03\x4F\x99\x98", 6);
  src.receivedLength = 20;
  src.failed = true;
  src.noRetry = true;

  CControlMessage dst;
  std::memset(dst.frame, 0x55, sizeof dst.frame);
  dst.noRetry = false;
  dst = src;
  EXPECT_EQ(dst.command, 79u);
  EXPECT_EQ(dst.frameLength, 4u);
  EXPECT_EQ(dst.expectedLength, 20u);
  EXPECT_EQ(dst.receivedLength, 20u);
  EXPECT_EQ(dst.argument, 1u);
  EXPECT_EQ(dst.timeoutBase, 7u);
  EXPECT_TRUE(dst.failed);
  EXPECT_EQ(dst.device, FakeDevice(2));
  EXPECT_FALSE(dst.noRetry);
  EXPECT_EQ(dst.frame[3], 0x4F);
  EXPECT_EQ(dst.frame[4], 0x55);  // beyond the frame length: untouched

  CControlMessage fresh(src);
  EXPECT_FALSE(fresh.noRetry);
  EXPECT_EQ(fresh.frame[4], 0x00);
}

TEST(ControlMessage, CopyWithOversizedLengthStaysInsideTheFrame) {
  CControlMessage src;
  src.frameLength = 5000;
  src.frame[CControlMessage::kFrameSize - 1] = 0x42;
  CControlMessage dst;
  dst = src;
  EXPECT_EQ(dst.frame[CControlMessage::kFrameSize - 1], 0x42);
  EXPECT_EQ(src.FrameBytes(), CControlMessage::kFrameSize);
}
