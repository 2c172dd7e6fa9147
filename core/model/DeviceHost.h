// What a device family needs of the system that owns it: the lock that guards the device
// queues and the reply hand-over, the modified flag, the port state, confirmations, notices to
// the other devices, the log and the current user's rights. The system implements it; the
// families reach the system only through it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/model/User.h"
#include "platform/Sync.h"

class CAppSettings;
class CDevice;
struct CParamValue;

// Made only by a device's change path (CDevice): the system hears of a change of a device's
// parameter, and of a solo, from the device alone, so that no window spreads a value over the
// links or mutes the other units past the rights gate (CUserChangeGate::ApplyUserChange).
class CParameterChangeNotice {
  friend class CDevice;
  CParameterChangeNotice() = default;
};

class IDeviceHost {
 public:
  // The recursive lock of the device list, the device queues, the reply hand-over and the log.
  // Any thread.
  virtual CCriticalSection& GetLock() const = 0;
  virtual void SetModified(bool modified = true) = 0;
  // True while the serial port is open. Any thread.
  virtual bool IsPortOpen() const = 0;
  // True when the action may go ahead (the user confirmed it, or it needs no confirmation).
  // UI thread.
  virtual bool ConfirmAction(std::uint32_t action) = 0;
  // A parameter of the device changed: the custom panels show stored, the device's value now,
  // and with linking active the linked parameters receive requested. UI thread.
  virtual void OnParameterChanged(CDevice* device, const CParamValue& stored, const CParamValue& requested,
                                  CParameterChangeNotice notice) = 0;
  // True when the device is the one selected in the rack. Any thread.
  virtual bool IsSelectedDevice(const CDevice* device) const = 0;
  // Shows a file error through the user interface (nothing without one).
  virtual void ShowFileError(const std::string& text, const std::string& caption) const = 0;
  // Hands solo to every device of the list but the caller, in list order
  // (CSystemEntries::ApplySystemSolo).
  virtual void NotifyOtherDevices(CDevice* caller, bool solo, CParameterChangeNotice notice) = 0;
  // Appends the type code and the device ID of every amplifier and breakout box, in list order.
  virtual void CollectZelDeviceIds(std::vector<std::uint32_t>& typeCodes,
                                   std::vector<std::uint32_t>& deviceIds) const = 0;
  // A time-stamped line to the log file and the output pane; the error form only when comms
  // errors are logged. Any thread.
  virtual void WriteLog(const std::string& text) = 0;
  virtual void WriteErrorLog(const std::string& text) = 0;
  // The current user's restriction mask (a set bit withholds a right, User.h), read so that a
  // user import on the comms worker cannot free what it reads: every right is withheld when
  // the current-user index names no user. Any thread.
  virtual std::uint64_t GetCurrentUserRestrictions() const = 0;
  // True when the current user holds the right to edit device properties. Any thread.
  virtual bool CanCurrentUserEditDeviceProperties() const = 0;
  virtual const CAppSettings& GetSettings() const = 0;
  // The System Monitor pane is shown (the families then poll meters). Any thread.
  virtual bool IsSystemMonitorVisible() const = 0;
  // True while the system file is read: devices built then have their contents read from it.
  virtual bool IsReadingFile() const = 0;
  // The other devices, for commands that copy between devices; the list is a copy taken under
  // the lock. The ids of the custom panels in list order, for the users' access records.
  virtual std::vector<CDevice*> GetDevices() const = 0;
  virtual CDevice* GetDevice(int index) const = 0;
  virtual std::vector<CUuid> GetCustomPanelIds() const = 0;

 protected:
  ~IDeviceHost() = default;
};

// The current user's restriction mask; every right withheld without a system.
inline std::uint64_t CurrentUserRestrictions(const IDeviceHost* host) {
  return host ? host->GetCurrentUserRestrictions() : ~std::uint64_t{0};
}
// True when the current user holds every right of the restriction bits.
inline bool CurrentUserHolds(const IDeviceHost* host, std::uint64_t rights) {
  return (CurrentUserRestrictions(host) & rights) == 0;
}
