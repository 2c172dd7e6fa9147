// The security side of a simulated amplifier or breakout box.
#include "tools/devsim/SimSecurityUnit.h"

#include <algorithm>

#include "core/protocol/SevenBit.h"

namespace {

constexpr std::uint8_t kIdentityProbe = 0xB0;
constexpr std::uint8_t kZelCheckCommand = 60;
constexpr std::uint8_t kSornicCheckCommand = 62;
constexpr std::uint8_t kSornicTypeCode = 60;
constexpr std::uint8_t kReadCommand = 74;
constexpr std::uint8_t kWriteCommand = 75;
constexpr std::size_t kZelCheckReplyLength = 51;
constexpr std::size_t kSornicCheckReplyLength = 115;
constexpr std::size_t kIdentityReplyLength = 24;
// Header, 280 packed bytes of the 245-byte table, checksum.
constexpr std::size_t kBlockFrameLength = 291;
constexpr std::size_t kPayloadOffset = 10;

std::uint8_t IdGroup(std::uint32_t id, int shift) { return std::uint8_t((id >> shift) & 0x7F); }

}  // namespace

CSimSecurityUnit::CSimSecurityUnit(const SimSecurityConfig& config)
    : m_typeCode(config.typeCode),
      m_deviceId(config.deviceId),
      m_firmware(config.firmware),
      m_answersSecurity(config.answersSecurity),
      m_refusesWrites(config.refusesSecurityWrites) {}

std::size_t CSimSecurityUnit::RequestLength(const SimBytes& bytes) const {
  // The processors' two-byte identification request starts with the same byte: on a bus that
  // carries both families the query ends with the line going quiet.
  if (!bytes.empty() && bytes[0] == kIdentityProbe) return kSimUnknownLength;
  return CSimUnit::RequestLength(bytes);
}

bool CSimSecurityUnit::Addressed(const SimBytes& r) const {
  return r[4] == IdGroup(m_deviceId, 24) && r[5] == IdGroup(m_deviceId, 16) && r[6] == IdGroup(m_deviceId, 8) &&
         r[7] == IdGroup(m_deviceId, 0);
}

SimAnswer CSimSecurityUnit::FramedReply(std::uint8_t command, std::size_t totalLength, const SimBytes& payload) const {
  // Reply bytes 3 to 9 repeat the request's type, ID and command, each below 0x80 as every
  // byte after the start byte; the payload follows.
  SimBytes body(totalLength - 4, 0);
  body[0] = std::uint8_t(m_typeCode & 0x7F);
  body[1] = IdGroup(m_deviceId, 24);
  body[2] = IdGroup(m_deviceId, 16);
  body[3] = IdGroup(m_deviceId, 8);
  body[4] = IdGroup(m_deviceId, 0);
  body[6] = std::uint8_t(command & 0x7F);
  if (!m_repeatsHeader) std::fill(body.begin(), body.begin() + 7, std::uint8_t(0));
  for (std::size_t i = 0; i < payload.size() && kPayloadOffset - 3 + i < body.size(); ++i)
    body[kPayloadOffset - 3 + i] = payload[i];
  return SimAnswer::Reply(0xA8, body);
}

SimAnswer CSimSecurityUnit::Handle(const SimBytes& r) {
  if (r.size() == 5 && r[0] == kIdentityProbe) {
    for (int i = 0; i < 4; ++i)
      if (r[std::size_t(1 + i)] != IdGroup(m_deviceId, 24 - 8 * i)) return SimAnswer::Silence();
    ++m_probes;
    // Bytes 3 to 6 name the unit by its ID, as its reply to the autoscan's probe does; 19 to 22
    // hold the firmware version.
    SimBytes body(kIdentityReplyLength - 4, 0);
    for (int i = 0; i < 4; ++i) body[std::size_t(i)] = IdGroup(m_deviceId, 24 - 8 * i);
    for (std::size_t i = 0; i < 4 && i < m_firmware.size(); ++i) body[16 + i] = std::uint8_t(m_firmware[i] & 0x7F);
    return SimAnswer::Reply(0xB8, body);
  }
  if (r.size() < kPayloadOffset + 1 || (r[0] != 0xF0 && r[0] != 0xF1) || !Addressed(r)) return SimAnswer::Silence();
  const std::uint8_t command = r[9];
  if (r[0] == 0xF1) {
    if (command != kWriteCommand) return SimAnswer::Ack();
    if (!m_answersSecurity || m_refusesWrites || r.size() != kBlockFrameLength) return SimAnswer::Silence();
    CUserTable table{};
    Unpack7Bit(r.data() + kPayloadOffset, int(table.size()), table.data());
    SetTable(table);
    ++m_writes;
    return SimAnswer::Ack();
  }
  if (!m_answersSecurity) return SimAnswer::Silence();
  const std::uint8_t checkCommand = m_typeCode == kSornicTypeCode ? kSornicCheckCommand : kZelCheckCommand;
  if (command == checkCommand) {
    ++m_checks;
    return FramedReply(command, m_typeCode == kSornicTypeCode ? kSornicCheckReplyLength : kZelCheckReplyLength, {});
  }
  if (command == kReadCommand) {
    ++m_reads;
    const CUserTable table = GetTable();
    SimBytes packed(std::size_t(PackedLength7Bit(int(table.size()))));
    Pack7Bit(table.data(), int(table.size()), packed.data());
    return FramedReply(command, kBlockFrameLength, packed);
  }
  return SimAnswer::Silence();
}

void CSimSecurityUnit::SetUsers(const std::vector<std::pair<std::string, std::string>>& users) {
  CUserList list;
  for (const auto& [name, password] : users) list.push_back(new CUser(name, password));
  CUserTable table{};
  PackUserTable(list, table);
  DeleteAllUsers(list);
  SetTable(table);
}

void CSimSecurityUnit::SetTable(const CUserTable& table) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_table = table;
}

CUserTable CSimSecurityUnit::GetTable() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_table;
}

std::vector<std::pair<std::string, std::string>> CSimSecurityUnit::GetUsers() const {
  CUserList list;
  UnpackUserTable(list, GetTable());
  std::vector<std::pair<std::string, std::string>> out;
  for (const CUser* user : list) out.emplace_back(user->GetName(), user->GetPassword());
  DeleteAllUsers(list);
  return out;
}
