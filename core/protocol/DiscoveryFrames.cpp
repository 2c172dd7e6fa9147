// Frames of the autoscan and the parsers of their replies.
#include "core/protocol/DiscoveryFrames.h"

#include "core/protocol/ControlMessage.h"
#include "core/protocol/SevenBit.h"

namespace {

// Fills the bytes of a five-byte scan frame: the command and the four 7-bit ID groups.
void PutIdFrame(CControlMessage& m, std::uint8_t command, std::uint32_t id) {
  m.frame[0] = command;
  m.frame[1] = std::uint8_t((id >> 24) & 0x7F);
  m.frame[2] = std::uint8_t((id >> 16) & 0x7F);
  m.frame[3] = std::uint8_t((id >> 8) & 0x7F);
  m.frame[4] = std::uint8_t(id & 0x7F);
}

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

bool HasHeader(const std::uint8_t* r, std::uint32_t received, std::uint8_t start, std::uint8_t length) {
  return received >= std::uint32_t(length) + 1 && r[0] == start && r[1] == 0 && r[2] == length;
}

}  // namespace

void BuildShortIdProbe(CControlMessage& m, std::uint32_t shortId) {
  m.Set(kScanShortProbe, 2, kShortProbeReplyLength, nullptr, false, kShortReplyStart, 0, 0);
  m.frame[0] = kScanShortProbe;
  m.frame[1] = std::uint8_t(shortId & 0x7F);
  m.noRetry = false;
}

void BuildLongIdProbe(CControlMessage& m, std::uint8_t level, std::uint32_t id) {
  m.Set(level, 5, kLongProbeReplyLength, nullptr, false, kLongReplyStart, 0, 0);
  PutIdFrame(m, level, id);
  m.noRetry = true;
}

void BuildTypeQuery(CControlMessage& m, const std::uint8_t idBytes[4]) {
  m.Set(kScanShortProbe, 5, kTypeQueryReplyLength, nullptr, false, kShortReplyStart, 0, 0);
  m.frame[0] = kScanShortProbe;
  for (int i = 0; i < 4; ++i) m.frame[1 + i] = idBytes[i];
  m.noRetry = false;
}

void BuildQuietCommand(CControlMessage& m, std::uint32_t typeCode, std::uint32_t id) {
  m.Set(kScanQuiet, kQuietFrameLength, 0, nullptr, true, CControlMessage::kDefaultReplyStart, 0, 0);
  const std::uint8_t bytes[kQuietFrameLength - 1] = {
      0xF1,
      0x00,
      0x0C,
      std::uint8_t(typeCode & 0x7F),
      std::uint8_t((id >> 24) & 0x7F),
      std::uint8_t((id >> 16) & 0x7F),
      std::uint8_t((id >> 8) & 0x7F),
      std::uint8_t(id & 0x7F),
      0x00,
      kScanQuiet,
      0x7F,
      0x7F,
  };
  for (std::uint32_t i = 0; i < kQuietFrameLength - 1; ++i) m.frame[i] = bytes[i];
  m.frame[kQuietFrameLength - 1] = Checksum7Bit(bytes, kQuietFrameLength - 1);
  m.noRetry = false;
}

void BuildScanReset(CControlMessage& m) {
  m.Set(kScanReset, 5, 0, nullptr, false, CControlMessage::kDefaultReplyStart, 0, 0);
  PutIdFrame(m, kScanReset, 0);
  m.noRetry = false;
}

void BuildScanCompleteCheck(CControlMessage& m) {
  m.Set(kScanCompleteCheck, 5, kLongProbeReplyLength, nullptr, false, kLongReplyStart, 0, 0);
  PutIdFrame(m, kScanCompleteCheck, 0);
  m.noRetry = true;
}

bool ParseShortIdReply(const std::uint8_t* r, std::uint32_t received, CScanIdentity& out) {
  if (HasHeader(r, received, kShortReplyStart, 0x09) || HasHeader(r, received, kShortReplyStart, 0x1B)) {
    out.typeCode = r[4];
    out.variant = BigEndian32(r + 5);
    return true;
  }
  if (HasHeader(r, received, kShortReplyStart, 0x1C)) {
    out.typeCode = std::uint32_t(r[6]) + 84;
    out.variant = (std::uint32_t(r[6]) << 16) | (std::uint32_t(r[5]) << 8) | r[4];
    return true;
  }
  return false;
}

bool ParseLongIdReply(const std::uint8_t* r, std::uint32_t received, std::uint32_t& id) {
  if (!HasHeader(r, received, kLongReplyStart, 0x17)) return false;
  id = BigEndian32(r + 3);
  return true;
}

bool ParseTypeQueryReply(const std::uint8_t* r, std::uint32_t received, CScanIdentity& out) {
  if (!HasHeader(r, received, kShortReplyStart, 0x0E)) return false;
  out.typeCode = r[7];
  out.variant = BigEndian32(r + 10);
  return true;
}
