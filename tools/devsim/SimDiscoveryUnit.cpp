// The autoscan side of a simulated unit.
#include "tools/devsim/SimDiscoveryUnit.h"

#include "core/protocol/SevenBit.h"

namespace {

std::uint8_t IdGroup(std::uint32_t id, int group) { return std::uint8_t((id >> (8 * group)) & 0x7F); }

// Four bytes, most significant first, each as its low seven bits: a unit keeps every byte
// after the start byte below 0x80.
void PutBigEndian(SimBytes& body, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) body[at + i] = IdGroup(value, int(3 - i));
}

}  // namespace

std::size_t CSimDiscoveryUnit::RequestLength(const SimBytes& bytes) const {
  if (bytes.empty()) return kSimNeedMoreBytes;
  switch (bytes[0]) {
    case 0xE0:
    case 0xB0:
      // A processor's identification request is two bytes and starts with B0 too: on a bus
      // that carries both, a B0 frame ends with the line going quiet.
      return kSimUnknownLength;
    case 0xB1:
    case 0xB2:
    case 0xB3:
    case 0xBE:
    case 0xBF:
      return 5;
    default:
      return CSimUnit::RequestLength(bytes);
  }
}

bool CSimDiscoveryUnit::MatchesLevel(const SimBytes& r) const {
  // Level B3 compares the lowest ID byte, B2 the two lowest, B1 three, B0 all four.
  const int compared = 4 - (r[0] - 0xB0);
  for (int group = 0; group < compared; ++group)
    if (r[4 - group] != IdGroup(m_config.longId, group)) return false;
  return true;
}

SimAnswer CSimDiscoveryUnit::ShortReply() const {
  SimBytes body;
  switch (m_config.form) {
    case ShortReplyForm::kForm1:
    case ShortReplyForm::kForm3:
      body.assign(m_config.form == ShortReplyForm::kForm1 ? 6 : 24, 0);
      body[1] = m_config.typeCode;
      PutBigEndian(body, 2, m_config.variant);
      break;
    case ShortReplyForm::kForm2:
      body.assign(25, 0);
      body[1] = std::uint8_t(m_config.variant & 0x7F);
      body[2] = std::uint8_t((m_config.variant >> 8) & 0x7F);
      body[3] = std::uint8_t(m_config.typeCode - 84);
      break;
  }
  return SimAnswer::Reply(0xE8, body);
}

SimAnswer CSimDiscoveryUnit::LongReply() const {
  // Bytes 3-6 the ID, 19-22 the firmware version text.
  SimBytes body(20, 0);
  PutBigEndian(body, 0, m_config.longId);
  for (std::size_t i = 0; i < 4 && i < m_config.firmware.size(); ++i)
    body[16 + i] = std::uint8_t(m_config.firmware[i] & 0x7F);
  return SimAnswer::Reply(0xB8, body);
}

SimAnswer CSimDiscoveryUnit::Handle(const SimBytes& r) {
  if (r.empty()) return SimAnswer::Silence();
  const bool longCapable = m_config.longId != 0;
  switch (r[0]) {
    case 0xE0:
      if (r.size() == 2 && m_config.shortId != 0 && r[1] == m_config.shortId) return ShortReply();
      if (r.size() == 5 && longCapable) {
        for (int group = 0; group < 4; ++group)
          if (r[4 - group] != std::uint8_t(m_config.longId >> (8 * group))) return SimAnswer::Silence();
        SimBytes body(11, 0);
        body[4] = m_config.typeCode;
        PutBigEndian(body, 7, m_config.variant);
        return SimAnswer::Reply(0xE8, body);
      }
      return SimAnswer::Silence();
    case 0xB0:
    case 0xB1:
    case 0xB2:
    case 0xB3:
      if (r.size() != 5 || !longCapable || m_quiet || !MatchesLevel(r)) return SimAnswer::Silence();
      ++m_probeAnswers;
      return LongReply();
    case 0xBE:
      m_quiet = false;
      return SimAnswer::Silence();
    case 0xBF:
      return longCapable && !m_quiet ? LongReply() : SimAnswer::Silence();
    case 0xF1:
      if (r.size() == 13 && r[9] == 0x28 && r[3] == m_config.typeCode && longCapable &&
          r[12] == Checksum7Bit(r.data(), 12)) {
        for (int group = 0; group < 4; ++group)
          if (r[7 - group] != IdGroup(m_config.longId, group)) return SimAnswer::Silence();
        ++m_quietCount;
        if (!m_config.ignoresQuiet) m_quiet = true;
        return SimAnswer::Ack();
      }
      return SimAnswer::Silence();
    default:
      return SimAnswer::Silence();
  }
}
