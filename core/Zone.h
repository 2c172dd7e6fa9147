// A named, collapsible group of devices in the device rack and the live-meter strip.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CDevice;
class CSystem;

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

  CSystem* m_pSystem;
  std::vector<CDevice*> m_devices;
  std::string m_name = "Zone";
  bool m_bCollapsed = false;       // in the device rack
  bool m_bMeterCollapsed = false;  // in the live-meter strip
  // Collapse animations: state 0 still, 1 collapsing, 2 expanding; the height (rack) or width
  // (strip) in pixels of the whole zone while a state runs.
  std::int32_t m_nAnimState = 0;
  std::int32_t m_nAnimHeight = 0;
  std::int32_t m_nMeterAnimState = 0;
  std::int32_t m_nMeterAnimWidth = 0;
};
