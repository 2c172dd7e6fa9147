// A named, collapsible group of devices in the device rack and the live-meter strip: its data,
// its record in the system file and the moves that reorder its devices.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CArchive;
class CDevice;
class CSystem;
struct CUuid;

// UI thread. A zone holds its devices by pointer and never owns them.
class CZone {
 public:
  explicit CZone(CSystem* system) : m_pSystem(system) {}

  const std::string& GetName() const { return m_name; }
  void SetName(const std::string& name) { m_name = name; }

  const std::vector<CDevice*>& GetDevices() const { return m_devices; }
  bool HasDevice(const CDevice* device) const;
  void AppendDevice(CDevice* device) { m_devices.push_back(device); }
  // False when the device is not in the zone.
  bool RemoveDevice(const CDevice* device);
  // Puts the device before all others. Always true.
  bool InsertDeviceFirst(CDevice* device);
  // One place towards the front; false when it is the first entry or not in the zone.
  bool MoveDeviceUp(const CDevice* device);
  // One place towards the back; false when it is the last entry or not in the zone.
  bool MoveDeviceDown(const CDevice* device);

  // u32 version 1, name, u32 collapsed in the rack, u32 collapsed in the strip, u32 device
  // count and each device's 16 UUID bytes. Loading a record of another version reads nothing
  // more; each stored UUID is looked up among the owning system's devices and a UUID that
  // names none is dropped. Throws CArchiveException on short or bad data.
  void Serialize(CArchive& ar);
  // The same, looking devices up with findDevice (which answers null to drop a UUID).
  using DeviceLookup = std::function<CDevice*(const CUuid&)>;
  void Serialize(CArchive& ar, const DeviceLookup& findDevice);

  CSystem* m_pSystem;
  std::vector<CDevice*> m_devices;
  std::string m_name = "Zone";
  bool m_bCollapsed = false;       // in the device rack
  bool m_bMeterCollapsed = false;  // in the live-meter strip
  // Collapse animations: state 0 still, 1 collapsing, 2 expanding; the height (rack) or width
  // (strip) in pixels of the whole zone while a state runs. Not stored.
  std::int32_t m_nAnimState = 0;
  std::int32_t m_nAnimHeight = 0;
  std::int32_t m_nMeterAnimState = 0;
  std::int32_t m_nMeterAnimWidth = 0;
};
