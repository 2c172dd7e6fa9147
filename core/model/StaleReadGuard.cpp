// Reads that a change of the settings overtakes.
#include "core/model/DeviceTexts.h"
#include "core/model/StaleReadGuard.h"

#include "core/model/Device.h"
#include "core/protocol/ControlMessage.h"

void CStaleReadGuard::StampRead(CControlMessage& read) const { read.changeCount = m_settingsChanges; }

bool CStaleReadGuard::ChangedSince(const CControlMessage& read) const {
  return read.changeCount != m_settingsChanges || m_changesUnderWay > 0;
}

bool CStaleReadGuard::IsReadOvertaken(const CControlMessage& read) const {
  if (ChangedSince(read)) return true;
  if (!m_device.GetHost()) return false;
  return m_device.Queue().GetQueuedWriteCount() != 0;
}

bool CStaleReadGuard::LeavesOvertakenReply(const CControlMessage& record) const {
  if (!IsReadOvertaken(record)) return false;
  // The log names only a change made since the read was asked. A read answered while writes
  // queued before it still wait (the file's settings that a "Send" session sends first, or a
  // change whose writes have not left yet) is asked again as a matter of course.
  if (ChangedSince(record)) LogUnusedReply(m_device, record, "asked before a change of the settings it holds");
  return true;
}

CSettingsChange::CSettingsChange(CDevice& device) : m_guard(device.ReadGuard()) {
  ++m_guard.m_settingsChanges;
  ++m_guard.m_changesUnderWay;
}

CSettingsChange::~CSettingsChange() {
  // A read stamped while the change was under way was asked before its writes were queued: the
  // count moves before the change stops being under way, so that no read is taken in between.
  ++m_guard.m_settingsChanges;
  --m_guard.m_changesUnderWay;
}
