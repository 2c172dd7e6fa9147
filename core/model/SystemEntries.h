// The ways in of changes that no person makes at a device: a link handing on a value taken at
// another member, a snapshot recalled, another device's solo, the name the system gives a
// device it adds, and the status the frame has the device show. The entries that change
// settings take a system pass, which only the system (CSystem) makes: a window holds none.
#pragma once

#include <cstdint>
#include <string>

#include "core/values/ParamRecords.h"

class CDevice;
class CSnapshotData;

// Made only by the system (CSystem, and its links and snapshots, which act for it), and by the
// tests' way in.
class CSystemPass {
  friend class CSystem;
  friend class CSystemLinks;
  friend class CSystemSnapshots;
  friend class CDeviceTestAccess;
  CSystemPass() = default;
};

// UI thread throughout.
class CSystemEntries {
 public:
  explicit CSystemEntries(CDevice& device) : m_device(device) {}
  CSystemEntries(const CSystemEntries&) = delete;
  CSystemEntries& operator=(const CSystemEntries&) = delete;

  // A value a link hands on to this member: a change a person made at another member, taken
  // there already, or the master's value when linking is switched on. The family's change
  // path takes it as its own (clamped, converted, queued for the unit); the writes it queues
  // carry the parameter (LinkedParameterQueuing).
  void ApplyLinkedChange(const CParamValue& value, CSystemPass pass);
  // A snapshot's image recalled (the device's ApplySnapshotData).
  void RecallSnapshotImage(const CSnapshotData& data, CSystemPass pass);
  // Another device of the system soloed a channel (solo) or ended its solo: the family mutes
  // its unit's channels, or gives them back (OnSystemSolo).
  void ApplySystemSolo(bool solo, CSystemPass pass);
  // The name the system gives a device it has just added (CSystem::AddDeviceNamed).
  void SetName(const std::string& name, CSystemPass pass);
  // Shows what the device holds for its online and offline status parameters, or for its
  // warning status parameter: the open panel, the custom panels and the linked parameters
  // follow (GetCurrentValue through the base change path); nothing goes to the unit. The frame
  // calls them when the device's connection or its warnings changed.
  void AnnounceConnectionStatus();
  void AnnounceWarningStatus();

  // The parameter of the linked change under way on this thread at this device, whose writes
  // the device queues now; -1 for none. Any thread.
  std::int32_t LinkedParameterQueuing() const;

 private:
  CDevice& m_device;
};
