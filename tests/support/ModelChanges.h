// The tests' way in to a device's change path, as the model's own code goes in: the family's
// ApplyControlChange (a unit's value, a link's, a recall's), the base step alone, the snapshot
// recall, the family's handling of a properties row and of the property list, and the frames a
// family queues for its unit. A person's change goes through CUserChangeGate::ApplyUserChange or
// ApplyUserPropertyChange, which tests call as the windows do. No program code names
// CDeviceTestAccess (tests/CheckUserChanges.cmake).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "core/model/Device.h"
#include "core/model/DeviceProperty.h"
#include "core/model/ObjectProperties.h"
#include "core/model/Snapshot.h"
#include "core/protocol/ControlMessage.h"
#include "core/values/ParamRecords.h"

class CDeviceTestAccess {
 public:
  // The family's change path (the virtual ApplyControlChange).
  static void ApplyControlChange(CDevice& device, const CParamValue& value) { device.ApplyControlChange(value); }
  // The base step alone: the open panel, the custom panels and the links see value.
  static void ApplyBaseChange(CDevice& device, const CParamValue& value) { device.CDevice::ApplyControlChange(value); }
  static void ApplySnapshotData(CDevice& device, const CSnapshotData& data) { device.ApplySnapshotData(data); }
  static CSystemPass SystemPass() { return CSystemPass{}; }
  // The family's handling of one edited row, whatever the current user's rights.
  static bool OnPropertyChanged(CDevice& device, CDeviceProperty& row) { return device.OnPropertyChanged(row); }
  // The device as the property list's owner (GetProperties, ValidateProperty).
  static CObjectProperties& PropertyList(CDevice& device) { return device; }
  // What the name and ID rows govern, set as a record or a reply sets it.
  static void SetName(CDevice& device, const std::string& name) { device.SetName(name); }
  static void SetDeviceId(CDevice& device, std::uint32_t id) { device.SetDeviceId(id); }
  // A solo told to the other devices of the system, as a family's change path tells it.
  static void NotifySoloToOtherDevices(CDevice& device, bool solo) { device.NotifySoloToOtherDevices(solo); }
  // A family's paste of a clipboard record past the check of the rights and of the unit
  // (PasteFromClipboard's), on the family class that declares the paste (CZelBaseDevice).
  template <class Family, class Record>
  static void PasteRecord(Family& device, const Record& record, std::uint32_t command) {
    device.PasteRecord(record, command);
  }
  // A frame queued for the unit, as a family's own code queues one.
  static void QueueMessage(CDevice& device, bool force, std::unique_ptr<CControlMessage> message) {
    device.QueueMessage(force, std::move(message));
  }
  // Every setting of a Zel unit queued, as its records and re-initialisation queue them, on the
  // family class that declares it (CZelBaseDevice).
  template <class Family>
  static void SendAllSettings(Family& device) {
    device.SendAllSettings();
  }
};

// A change handed to the device's change path past the rights gate, as the model's own code
// hands one.
inline void ModelChange(CDevice& device, const CParamValue& value) { CDeviceTestAccess::ApplyControlChange(device, value); }
template <class Pointer>
  requires requires(const Pointer& p) { *p; }
void ModelChange(const Pointer& device, const CParamValue& value) {
  ModelChange(*device, value);
}
// A snapshot image recalled on the device, as CSystemSnapshots::RecallSnapshot hands it over.
inline void RecallImage(CDevice& device, const CSnapshotData& data) { CDeviceTestAccess::ApplySnapshotData(device, data); }
template <class Pointer>
  requires requires(const Pointer& p) { *p; }
void RecallImage(const Pointer& device, const CSnapshotData& data) {
  RecallImage(*device, data);
}

// A properties row committed past the rights gate, as the property list and the family's own
// code commit one: true when the family took it, false with the row's error text set.
inline bool CommitPropertyRow(CDevice& device, CDeviceProperty& row) {
  return CDeviceTestAccess::OnPropertyChanged(device, row);
}
template <class Pointer>
  requires requires(const Pointer& p) { *p; }
bool CommitPropertyRow(const Pointer& device, CDeviceProperty& row) {
  return CommitPropertyRow(*device, row);
}

// The device's name and ID set as the file or the unit sets them, past the rights gate.
inline void NameDevice(CDevice& device, const std::string& name) { CDeviceTestAccess::SetName(device, name); }
template <class Pointer>
  requires requires(const Pointer& p) { *p; }
void NameDevice(const Pointer& device, const std::string& name) {
  NameDevice(*device, name);
}
inline void GiveDeviceId(CDevice& device, std::uint32_t id) { CDeviceTestAccess::SetDeviceId(device, id); }
template <class Pointer>
  requires requires(const Pointer& p) { *p; }
void GiveDeviceId(const Pointer& device, std::uint32_t id) {
  GiveDeviceId(*device, id);
}
