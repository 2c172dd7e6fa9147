// A device's outgoing queue.
#include "core/model/OutgoingQueue.h"

#include <algorithm>
#include <iterator>

#include "core/model/Device.h"
#include "core/model/DeviceHost.h"
#include "core/protocol/ControlMessage.h"
#include "platform/Sync.h"

COutgoingQueue::COutgoingQueue(CDevice& device) : m_device(device) {}

COutgoingQueue::~COutgoingQueue() = default;

void COutgoingQueue::Push(bool force, std::unique_ptr<CControlMessage> message) {
  if (!message) return;
  IDeviceHost* host = m_device.GetHost();
  CSingleLock lock(host->GetLock());
  // ID 0 is the address of every unit of the model: a frame built for it goes to none or to all;
  // one built for an ID the frame cannot carry goes to the unit at another ID.
  if (!m_device.AddressRules().IsAddressable()) return;
  if (!force && (!host->IsPortOpen() || !m_device.IsConnected())) return;  // dropped
  const std::uint32_t mask = m_device.GetMessageMergeMask(*message);
  if (mask != 0) {
    auto same = FindSameSetting(*message, mask);
    if (same != m_messages.end()) m_messages.erase(same);
  }
  if (message->write) {
    m_device.ReadGuard().NoteWriteQueued();
    if (const std::int32_t linked = m_device.SystemEntries().LinkedParameterQueuing(); linked >= 0)
      message->linkedParameter = linked;
  }
  m_messages.push_back(std::move(message));
}

COutgoingQueue::Messages::iterator COutgoingQueue::FindSameSetting(const CControlMessage& message,
                                                                   std::uint32_t mask) {
  return std::find_if(m_messages.begin(), m_messages.end(), [&](const auto& queued) {
    if (queued->command != message.command) return false;
    for (int i = 0; i < 32; ++i)
      if ((mask >> i) & 1u && queued->frame[i] != message.frame[i]) return false;
    return true;
  });
}

bool COutgoingQueue::QueueWriteAgain(const CControlMessage& write, bool unitAnswered) {
  IDeviceHost* host = m_device.GetHost();
  if (!write.write || !host) return false;
  CSingleLock lock(host->GetLock());
  // Only a unit that is there can be said not to take the write; one that has fallen silent
  // gets it when it answers again.
  const std::uint32_t tries = write.unansweredTries + (unitAnswered ? 1u : 0u);
  if (!m_device.AddressRules().IsAddressable() || m_device.UnitAtId().IsSetAside() || tries >= kMaxWriteTries)
    return false;
  // A newer value of the setting waits: that one goes.
  const std::uint32_t mask = m_device.GetMessageMergeMask(write);
  if (mask != 0 && FindSameSetting(write, mask) != m_messages.end()) return true;
  auto again = std::make_unique<CControlMessage>(write);
  again->unansweredTries = tries;
  m_messages.insert(m_messages.begin(), std::move(again));
  return true;
}

void COutgoingQueue::PutBack(const CControlMessage& request) {
  IDeviceHost* host = m_device.GetHost();
  if (!host) return;
  CSingleLock lock(host->GetLock());
  const std::uint32_t mask = m_device.GetMessageMergeMask(request);
  if (request.write && mask != 0 && FindSameSetting(request, mask) != m_messages.end()) return;
  m_messages.insert(m_messages.begin(), std::make_unique<CControlMessage>(request));
}

bool COutgoingQueue::NoteLinkWritesOwed() {
  IDeviceHost* host = m_device.GetHost();
  if (!host) return false;
  CSingleLock lock(host->GetLock());
  auto has = [](const std::vector<std::int32_t>& ids, std::int32_t id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
  };
  // A write that went again after its link had taken its value over is the link's too.
  std::erase_if(m_messages, [&](const auto& message) {
    return message->write && message->linkedParameter >= 0 && has(m_linkWritesKept, message->linkedParameter);
  });
  bool added = false;
  for (const auto& message : m_messages) {
    const std::int32_t id = message->linkedParameter;
    if (!message->write || id < 0 || has(m_linkWritesTold, id)) continue;
    m_linkWritesTold.push_back(id);
    m_linkWritesOwed.push_back(id);
    added = true;
  }
  return added;
}

std::vector<std::int32_t> COutgoingQueue::TakeLinkWritesOwed() {
  std::vector<std::int32_t> out;
  IDeviceHost* host = m_device.GetHost();
  if (!host) return out;
  CSingleLock lock(host->GetLock());
  out.swap(m_linkWritesOwed);
  return out;
}

void COutgoingQueue::DropLinkWrites(std::int32_t parameterId) {
  IDeviceHost* host = m_device.GetHost();
  if (!host) return;
  CSingleLock lock(host->GetLock());
  m_linkWritesKept.push_back(parameterId);
  std::erase_if(m_messages,
                [parameterId](const auto& message) { return message->write && message->linkedParameter == parameterId; });
}

void COutgoingQueue::ClearQueue() {
  IDeviceHost* host = m_device.GetHost();
  if (!host) {
    m_messages.clear();
    ForgetLinkWritesOwed();
    return;
  }
  CSingleLock lock(host->GetLock());
  m_messages.clear();
  ForgetLinkWritesOwed();
}

void COutgoingQueue::ForgetLinkWritesOwed() {
  m_linkWritesOwed.clear();
  m_linkWritesTold.clear();
  m_linkWritesKept.clear();
}

bool COutgoingQueue::PopMessage(CControlMessage& record) {
  CSingleLock lock(m_device.GetHost()->GetLock());
  if (m_messages.empty()) return false;
  record = *m_messages.front();
  m_messages.erase(m_messages.begin());
  // A queued read is asked when it is sent, after the writes queued before it.
  if (!record.write) m_device.ReadGuard().StampRead(record);
  return true;
}

std::size_t COutgoingQueue::GetQueueSize() const {
  CSingleLock lock(m_device.GetHost()->GetLock());
  return m_messages.size();
}

std::size_t COutgoingQueue::GetQueuedWriteCount() const {
  CSingleLock lock(m_device.GetHost()->GetLock());
  return std::size_t(
      std::count_if(m_messages.begin(), m_messages.end(), [](const auto& message) { return message->write; }));
}

bool COutgoingQueue::PeekQueuedMessage(std::size_t i, CControlMessage& out) const {
  CSingleLock lock(m_device.GetHost()->GetLock());
  if (i >= m_messages.size()) return false;
  out = *m_messages[i];
  return true;
}

void COutgoingQueue::KeepOnlyWaitingChanges(bool sending) {
  std::erase_if(m_messages, [sending](const auto& message) { return sending || !message->write; });
}

COutgoingQueue::Messages COutgoingQueue::TakeAll() {
  Messages out;
  out.swap(m_messages);
  return out;
}

void COutgoingQueue::PutFirst(Messages waiting) {
  m_messages.insert(m_messages.begin(), std::make_move_iterator(waiting.begin()), std::make_move_iterator(waiting.end()));
}
