// Framed replies and the plain framed unit.
#include "tools/devsim/SimUnit.h"

#include <algorithm>

#include "core/protocol/SevenBit.h"

SimBytes MakeFramedReply(std::uint8_t start, const SimBytes& body) {
  const std::uint32_t length = std::uint32_t(3 + body.size());
  SimBytes out;
  out.reserve(length + 1);
  out.push_back(start);
  out.push_back(std::uint8_t((length >> 7) & 0x7F));
  out.push_back(std::uint8_t(length & 0x7F));
  out.insert(out.end(), body.begin(), body.end());
  out.push_back(Checksum7Bit(out.data(), out.size()));
  return out;
}

SimAnswer SimAnswer::Reply(std::uint8_t start, const SimBytes& body) {
  return Bytes(MakeFramedReply(start, body));
}

SimBytes SimAnswer::Wire() const {
  switch (kind) {
    case Kind::kSilence:
      return {};
    case Kind::kAck:
      return {0xA0};
    case Kind::kBytes:
      return bytes;
  }
  return {};
}

std::size_t CSimUnit::RequestLength(const SimBytes& bytes) const {
  if (bytes.empty()) return kSimNeedMoreBytes;
  if (bytes[0] != 0xF0 && bytes[0] != 0xF1) return kSimUnknownLength;
  if (bytes.size() < 3) return kSimNeedMoreBytes;
  return std::size_t(Get14Bit(bytes.data() + 1)) + 1;
}

SimAnswer CFramedUnit::Handle(const SimBytes& request) {
  if (request.size() < 8 || (request[0] != 0xF0 && request[0] != 0xF1)) return SimAnswer::Silence();
  if (request[4] != m_deviceId) return SimAnswer::Silence();
  std::lock_guard<std::mutex> lock(m_mutex);
  SimAnswer answer;
  if (request[0] == 0xF1) {
    m_writes.push_back(request);
    answer = SimAnswer::Ack();
  } else {
    auto it = m_replies.find(request[6]);
    if (it == m_replies.end()) return SimAnswer::Silence();
    answer = SimAnswer::Reply(0xA8, it->second);
  }
  answer.delayMs = m_delayMs;
  return answer;
}

void CFramedUnit::SetReply(std::uint8_t command, SimBytes body) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_replies[command] = std::move(body);
}

void CFramedUnit::SetReplyLength(std::uint8_t command, std::size_t totalLength) {
  SimBytes body(totalLength < 4 ? 0 : totalLength - 4);
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = std::uint8_t(i & 0x7F);
  SetReply(command, std::move(body));
}

void CFramedUnit::SetResponseDelay(std::uint32_t ms) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_delayMs = ms;
}

std::vector<SimBytes> CFramedUnit::Writes() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_writes;
}

CSimSwitchedUnit::CSimSwitchedUnit(std::unique_ptr<CSimUnit> unit) : m_unit(std::move(unit)) {}

void CSimSwitchedUnit::SetSilentPeriod(Clock::duration after, Clock::duration length, Clock::duration every,
                                       std::size_t times, Clock::time_point from) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_silentFrom = from + after;
  m_silentLength = length;
  // A silence for good, or one that would last into the next, is one silence.
  m_silentEvery = length > Clock::duration::zero() && every > length ? every : Clock::duration::zero();
  m_silences = times;
}

void CSimSwitchedUnit::SetTurns(std::size_t index, std::size_t units, Clock::duration first, Clock::duration every,
                                std::size_t swaps, Clock::time_point from) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_turnIndex = index;
  m_turnUnits = units;
  m_firstTurnEnd = from + first;
  m_turnEvery = every;
  m_swaps = swaps;
}

bool CSimSwitchedUnit::IsSilent() const { return IsSilentAt(Clock::now()); }

bool CSimSwitchedUnit::IsSilentAt(Clock::time_point at) const {
  if (m_silent) return true;
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_turnUnits != 0) {
    // Turn 0 until the first turn ends, then one more every turn's length.
    std::size_t turn = 0;
    if (at >= m_firstTurnEnd)
      turn = m_turnEvery > Clock::duration::zero() ? 1 + std::size_t((at - m_firstTurnEnd) / m_turnEvery) : 1;
    if (m_swaps != 0) turn = std::min(turn, m_swaps);
    if (turn % m_turnUnits != m_turnIndex) return true;
  }
  if (at < m_silentFrom) return false;
  const Clock::duration since = at - m_silentFrom;
  if (m_silentLength == Clock::duration::zero()) return true;
  if (m_silentEvery == Clock::duration::zero()) return since < m_silentLength;
  const auto silence = std::size_t(since / m_silentEvery);
  if (m_silences != 0 && silence >= m_silences) return false;
  return since - m_silentEvery * std::int64_t(silence) < m_silentLength;
}

SimAnswer CSimSwitchedUnit::Handle(const SimBytes& request) {
  if (IsSilent()) return SimAnswer::Silence();
  SimAnswer answer = m_unit->Handle(request);
  if (answer.kind != SimAnswer::Kind::kSilence && m_silentRequests > 0) {
    --m_silentRequests;
    return SimAnswer::Silence();
  }
  if (answer.kind != SimAnswer::Kind::kSilence) {
    answer.heldMs += m_heldMs;
    answer.heldForRequests = std::max<std::size_t>(answer.heldForRequests, m_heldForRequests);
  }
  return answer;
}
