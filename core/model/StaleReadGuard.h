// The guard against reads that a change overtakes. A unit answers a read with what it holds
// when the read reaches it. A change of its settings that the device makes after the read was
// asked, or makes while the read is on its way, or whose write still waits in the queue, is not
// in that answer: taken into the file, the answer would put the unit's old value back over the
// change (and the change's own write could then carry the old value too). A read carries the
// count of changes it was asked at (StampRead), and the family takes no setting from an answer
// that IsReadOvertaken.
#pragma once

#include <atomic>
#include <cstdint>

class CControlMessage;
class CDevice;

class CStaleReadGuard {
 public:
  explicit CStaleReadGuard(const CDevice& device) : m_device(device) {}
  CStaleReadGuard(const CStaleReadGuard&) = delete;
  CStaleReadGuard& operator=(const CStaleReadGuard&) = delete;

  // Stamps a read with the count of changes now. Whichever thread makes the read.
  void StampRead(CControlMessage& read) const;
  // True when the read's answer may not tell of the settings in the file: a change began or
  // ended since the read was stamped, one is under way, or a write waits in the device's queue.
  // The family then leaves the settings that the answer carries out of the file; a read of the
  // read-out is asked again. Worker thread, under the system's lock.
  bool IsReadOvertaken(const CControlMessage& read) const;
  // The same, for a family's reply handler: true when the settings the reply carries are left
  // out of the file. The comms error log tells it when a change began or ended since the read
  // was asked; a read answered while writes queued before it still wait is left out without a
  // line. Worker thread, under the system's lock.
  bool LeavesOvertakenReply(const CControlMessage& record) const;

 private:
  friend class CSettingsChange;
  // The device's queue counts its writes here.
  friend class COutgoingQueue;
  // A write was queued for the unit: reads stamped before it are overtaken. Under the
  // system's lock.
  void NoteWriteQueued() { ++m_settingsChanges; }
  // True when a change began or ended since the read was stamped, or one is under way.
  bool ChangedSince(const CControlMessage& read) const;

  const CDevice& m_device;
  // Settings changes begun or ended and writes queued, and the changes under way now.
  std::atomic<std::uint32_t> m_settingsChanges{0};
  std::atomic<std::int32_t> m_changesUnderWay{0};
};

// A change of the device's settings that its unit is to get, from before the model takes any
// of it until its writes are queued; changes may nest. UI thread.
class CSettingsChange {
 public:
  explicit CSettingsChange(CDevice& device);
  ~CSettingsChange();
  CSettingsChange(const CSettingsChange&) = delete;
  CSettingsChange& operator=(const CSettingsChange&) = delete;

 private:
  CStaleReadGuard& m_guard;
};
