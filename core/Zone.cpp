// Zone membership.
#include "core/Zone.h"

#include <algorithm>

bool CZone::HasDevice(const CDevice* device) const {
  return std::find(m_devices.begin(), m_devices.end(), device) != m_devices.end();
}

bool CZone::RemoveDevice(const CDevice* device) {
  auto it = std::find(m_devices.begin(), m_devices.end(), device);
  if (it == m_devices.end()) return false;
  m_devices.erase(it);
  return true;
}
