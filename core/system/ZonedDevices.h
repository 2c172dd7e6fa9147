// What the parameter selection dialog needs of the system: the devices zone by zone, their
// indexes in the device list, and the device the dialog starts from, which the dialog leaves
// as its last choice. The system implements it. UI thread.
#pragma once

#include <vector>

class CDevice;
class CZone;

class IZonedDevices {
 public:
  virtual const std::vector<CZone*>& GetZones() const = 0;
  virtual int GetDeviceCount() const = 0;
  // Null when the index is out of range.
  virtual CDevice* GetDevice(int index) const = 0;
  // -1 when the device is not in the list.
  virtual int GetDeviceIndex(const CDevice* device) const = 0;
  // The index of the device the dialog preselects.
  virtual int GetParameterDeviceIndex() const = 0;
  virtual void SetParameterDeviceIndex(int index) = 0;

 protected:
  ~IZonedDevices() = default;
};
