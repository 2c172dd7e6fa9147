// The system's ways in to a device's change path.
#include "core/model/SystemEntries.h"

#include "core/model/Device.h"
#include "core/support/ScopeGuard.h"

namespace {

// The linked change under way on this thread: the member device and the parameter whose
// writes it queues.
struct LinkedChange {
  const CDevice* device = nullptr;
  std::int32_t parameterId = -1;
};
thread_local LinkedChange t_linkedChange;

}  // namespace

void CSystemEntries::ApplyLinkedChange(const CParamValue& value, CSystemPass pass) {
  (void)pass;
  // The writes the change queues carry the link's value (see COutgoingQueue::NoteLinkWritesOwed).
  CScopedValue linked(t_linkedChange, LinkedChange{&m_device, value.id});
  m_device.ApplyControlChange(value);
}

std::int32_t CSystemEntries::LinkedParameterQueuing() const {
  return t_linkedChange.device == &m_device ? t_linkedChange.parameterId : -1;
}

void CSystemEntries::RecallSnapshotImage(const CSnapshotData& data, CSystemPass pass) {
  (void)pass;
  m_device.ApplySnapshotData(data);
}

void CSystemEntries::ApplySystemSolo(bool solo, CSystemPass pass) {
  (void)pass;
  m_device.OnSystemSolo(solo);
}

void CSystemEntries::SetName(const std::string& name, CSystemPass pass) {
  (void)pass;
  m_device.SetName(name);
}

void CSystemEntries::AnnounceConnectionStatus() {
  for (int id : {m_device.GetOnlineStatusParamId(), m_device.GetOfflineStatusParamId()})
    if (id != 0) m_device.CDevice::ApplyControlChange(m_device.GetCurrentValue(id));
}

void CSystemEntries::AnnounceWarningStatus() {
  if (const int id = m_device.GetWarningStatusParamId(); id != 0)
    m_device.CDevice::ApplyControlChange(m_device.GetCurrentValue(id));
}
