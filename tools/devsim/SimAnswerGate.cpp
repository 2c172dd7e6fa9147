// The unit whose answer to one read a test holds.
#include "tools/devsim/SimAnswerGate.h"

CSimAnswerGate::CSimAnswerGate(std::unique_ptr<CSimUnit> unit) : m_unit(std::move(unit)) {}

CSimAnswerGate::~CSimAnswerGate() { Release(); }

SimAnswer CSimAnswerGate::Handle(const SimBytes& request) {
  SimAnswer answer = m_unit->Handle(request);
  const std::size_t at = m_unit->Header().commandAt;
  std::unique_lock<std::mutex> lock(m_mutex);
  if (!m_armed || answer.kind != SimAnswer::Kind::kBytes ||
      (!m_anyCommand && (request.size() <= at || request[at] != m_command)))
    return answer;
  m_armed = false;
  m_holding = true;
  m_released = false;
  m_heldRequest = request;
  m_changed.notify_all();
  m_changed.wait_for(lock, kLongestHold, [this] { return m_released; });
  m_holding = false;
  m_released = false;
  return answer;
}

void CSimAnswerGate::HoldNextAnswerTo(std::uint8_t command) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_armed = true;
  m_anyCommand = false;
  m_command = command;
}

void CSimAnswerGate::HoldNextAnswer() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_armed = true;
  m_anyCommand = true;
}

bool CSimAnswerGate::WaitUntilHolding(std::uint32_t timeoutMs) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_holding; });
}

SimBytes CSimAnswerGate::HeldRequest() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_heldRequest;
}

void CSimAnswerGate::Release() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_holding) {
    m_armed = false;
    return;
  }
  // Not holding from now on: a wait for the next hold does not see this one.
  m_holding = false;
  m_released = true;
  m_changed.notify_all();
}
