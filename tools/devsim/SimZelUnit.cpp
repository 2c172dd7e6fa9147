// The shared side of the simulated Zel units: addressing, packed replies, faults and logs.
#include "tools/devsim/SimZelUnit.h"

#include <algorithm>

#include "core/protocol/SevenBit.h"

namespace {

std::uint8_t IdGroup(std::uint32_t id, int shift) { return std::uint8_t((id >> shift) & 0x7F); }

}  // namespace

SimBytes SimZelText(const std::string& text, std::size_t count) {
  SimBytes bytes(count, 0x20);
  for (std::size_t i = 0; i < count && i < text.size(); ++i) bytes[i] = std::uint8_t(text[i] & 0x7F);
  return bytes;
}

std::string SimZelTrim(std::string text) {
  const auto last = text.find_last_not_of(' ');
  text.erase(last == std::string::npos ? 0 : last + 1);
  return text;
}

CSimZelUnit::CSimZelUnit(const SimSecurityConfig& config)
    : CSimSecurityUnit(config), m_type(config.typeCode), m_id(config.deviceId) {}

bool CSimZelUnit::IsAddressed(const SimBytes& r) const {
  return r.size() > kPayloadOffset && (r[0] == 0xF0 || r[0] == 0xF1) && r[4] == IdGroup(m_id, 24) &&
         r[5] == IdGroup(m_id, 16) && r[6] == IdGroup(m_id, 8) && r[7] == IdGroup(m_id, 0);
}

SimAnswer CSimZelUnit::Handle(const SimBytes& r) {
  ApplyDueChanges();
  if (r.size() == 5 && r[0] == 0xB0) return Identity(r);
  if (TakeBroadcast(r)) return SimAnswer::Silence();
  if (!IsAddressed(r)) return SimAnswer::Silence();
  const std::uint8_t command = r[9];
  if (r[0] == 0xF1) {
    if (command == 75) return CSimSecurityUnit::Handle(r);
    ApplyWrite(r, command);
    return SimAnswer::Ack();
  }
  SimAnswer answer = Read(r, command);
  if (answer.kind == SimAnswer::Kind::kSilence) return CSimSecurityUnit::Handle(r);
  return WithFault(command, std::move(answer));
}

SimAnswer CSimZelUnit::Identity(const SimBytes& r) {
  SimAnswer answer = CSimSecurityUnit::Handle(r);
  if (answer.kind == SimAnswer::Kind::kSilence) return answer;
  {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    CountRead(0xB0);
  }
  return WithFault(0xB0, std::move(answer));
}

SimAnswer CSimZelUnit::Packed(std::uint8_t command, std::size_t totalLength, const SimBytes& raw) const {
  SimBytes packed(std::size_t(PackedLength7Bit(int(raw.size()))));
  Pack7Bit(raw.data(), int(raw.size()), packed.data());
  return FramedReply(command, totalLength, packed);
}

SimAnswer CSimZelUnit::WithFault(std::uint8_t command, SimAnswer answer) {
  SimZelFault fault;
  {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    auto it = m_faults.find(command);
    if (it == m_faults.end() || it->second.empty()) return answer;
    fault = it->second.front();
    it->second.pop_front();
  }
  SimBytes bytes = answer.Wire();
  switch (fault.kind) {
    case SimZelFault::Kind::kSilence: return SimAnswer::Silence();
    case SimZelFault::Kind::kJunk: bytes.insert(bytes.begin(), std::size_t(std::max(fault.value, 1)), 0x55); break;
    case SimZelFault::Kind::kBadChecksum: bytes.back() = std::uint8_t((bytes.back() + 1) & 0x7F); break;
    case SimZelFault::Kind::kShort:
      bytes.resize(bytes.size() - std::min<std::size_t>(bytes.size(), std::size_t(fault.value)));
      break;
    case SimZelFault::Kind::kLate: answer.delayMs = std::uint32_t(fault.value); return answer;
    case SimZelFault::Kind::kAnotherUnit:
      if (bytes.size() > 8) {
        bytes[7] = std::uint8_t(fault.value & 0x7F);
        bytes.back() = Checksum7Bit(bytes.data(), bytes.size() - 1);
      }
      break;
  }
  return SimAnswer::Bytes(std::move(bytes));
}

void CSimZelUnit::InjectReplyFault(std::uint8_t command, SimZelFault fault) {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  m_faults[command].push_back(fault);
}

std::vector<SimBytes> CSimZelUnit::Writes() const {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  return m_writes;
}

std::vector<SimBytes> CSimZelUnit::WritesOf(std::uint8_t command) const {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  std::vector<SimBytes> out;
  for (const SimBytes& w : m_writes)
    if (w.size() > 9 && w[9] == command) out.push_back(w);
  return out;
}

std::size_t CSimZelUnit::ReadCount(std::uint8_t command) const {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  auto it = m_reads.find(command);
  return it == m_reads.end() ? 0 : it->second;
}
