// Posted messages as Qt events, timers as QObject timers.
#include "platform/WindowMessages.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimerEvent>
#include <utility>

namespace {

const QEvent::Type kAppMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class CAppMessageEvent : public QEvent {
 public:
  explicit CAppMessageEvent(CPostedMessage message) : QEvent(kAppMessageEvent), m_message(std::move(message)) {}
  CPostedMessage m_message;
};

}  // namespace

class CMessageTarget::Proxy : public QObject {
 public:
  explicit Proxy(CMessageTarget* owner) : m_owner(owner) {}

  bool event(QEvent* e) override {
    if (e->type() == kAppMessageEvent) {
      auto* m = static_cast<CAppMessageEvent*>(e);
      m_owner->OnMessage(m->m_message);
      return true;
    }
    return QObject::event(e);
  }

  void timerEvent(QTimerEvent* e) override {
    for (const auto& [id, qtId] : m_timers) {
      if (qtId == e->timerId()) {
        m_owner->OnTimer(id);
        return;
      }
    }
  }

  CMessageTarget* m_owner;
  std::map<std::uint32_t, int> m_timers;
};

CMessageTarget::CMessageTarget() : m_proxy(std::make_unique<Proxy>(this)) {}

CMessageTarget::~CMessageTarget() {
  QCoreApplication::removePostedEvents(m_proxy.get());
}

bool CMessageTarget::Post(CPostedMessage message) {
  QCoreApplication::postEvent(m_proxy.get(), new CAppMessageEvent(std::move(message)));
  return true;
}

void CMessageTarget::SetTimer(std::uint32_t id, std::uint32_t periodMs) {
  KillTimer(id);
  int qtId = m_proxy->startTimer(int(periodMs));
  if (qtId != 0) m_proxy->m_timers[id] = qtId;
}

void CMessageTarget::KillTimer(std::uint32_t id) {
  auto it = m_proxy->m_timers.find(id);
  if (it == m_proxy->m_timers.end()) return;
  m_proxy->killTimer(it->second);
  m_proxy->m_timers.erase(it);
}

bool CMessageTarget::HasTimer(std::uint32_t id) const { return m_proxy->m_timers.count(id) != 0; }

void CMessageTarget::DispatchPendingMessages() {
  QCoreApplication::sendPostedEvents(m_proxy.get(), kAppMessageEvent);
}

bool CRecordingSink::Post(CPostedMessage message) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_messages.push_back(std::move(message));
  return true;
}

std::vector<CRecordingSink::Message> CRecordingSink::Messages() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_messages;
}

std::vector<CRecordingSink::Message> CRecordingSink::Take() {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<Message> out;
  out.swap(m_messages);
  return out;
}

std::size_t CRecordingSink::Count(std::uint32_t message) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::size_t n = 0;
  for (const auto& m : m_messages) n += (m.message == message);
  return n;
}
