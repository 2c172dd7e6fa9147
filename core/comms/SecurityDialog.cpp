// The worker's link to the security dialog.
#include "core/comms/SecurityDialog.h"

#include <algorithm>
#include <chrono>

#include "core/support/SystemMessages.h"
#include "platform/WindowMessages.h"

bool CSecurityDialogLink::Send(CSecurityRequest request, std::uint32_t timeoutMs) {
  std::unique_lock<std::recursive_mutex> lock(m_mutex);
  if (m_closed || !m_dialog) return false;
  const std::uint64_t id = m_nextId++;
  const WPARAM kind = request.kind;
  m_requests.push_back({id, std::move(request)});
  // Posted under the lock: Close() cannot let the window go meanwhile.
  m_dialog->PostMessage(FrameMsg::kSecurityProgress, kind, 0);
  const bool taken = m_taken.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                      [&] { return m_lastTaken >= id || m_closed; });
  if (taken && m_lastTaken >= id) return true;
  m_requests.erase(std::remove_if(m_requests.begin(), m_requests.end(), [&](const Pending& p) { return p.id == id; }),
                   m_requests.end());
  return false;
}

bool CSecurityDialogLink::Update(CSecurityRequest request) {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  if (m_closed || !m_dialog) return false;
  request.kind = kSecurityProgressCount;
  // Still waiting at the end of the queue: the dialog has been told of it already.
  if (!m_requests.empty() && m_requests.back().request.kind == kSecurityProgressCount) {
    m_requests.back().request = std::move(request);
    return true;
  }
  m_requests.push_back({m_nextId++, std::move(request)});
  m_dialog->PostMessage(FrameMsg::kSecurityProgress, kSecurityProgressCount, 0);
  return true;
}

std::int32_t CSecurityDialogLink::GetAnswer() const {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  return m_answer;
}

std::string CSecurityDialogLink::GetPasswordText() const {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  return m_password;
}

void CSecurityDialogLink::SetFinished() {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  m_finished = true;
}

bool CSecurityDialogLink::TakeRequest(CSecurityRequest& out) {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  if (m_requests.empty()) return false;
  out = std::move(m_requests.front().request);
  m_lastTaken = m_requests.front().id;
  m_requests.pop_front();
  if (out.kind != kSecurityProgressCount) m_answer = kSecurityAnswerNone;
  m_taken.notify_all();
  return true;
}

void CSecurityDialogLink::SetPasswordText(const std::string& text) {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  m_password = text;
}

void CSecurityDialogLink::SetAnswer(std::int32_t answer) {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  m_answer = answer;
}

bool CSecurityDialogLink::IsFinished() const {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  return m_finished;
}

void CSecurityDialogLink::Close() {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  m_closed = true;
  m_dialog = nullptr;
  m_requests.clear();
  m_taken.notify_all();
}

bool CSecurityDialogLink::IsClosed() const {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  return m_closed;
}
