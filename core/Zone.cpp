// Zone membership, reordering and the zone record of the system file.
#include "core/Zone.h"

#include <algorithm>

#include "core/Device.h"
#include "core/System.h"
#include "core/Uuid.h"
#include "platform/Archive.h"

namespace {
constexpr std::uint32_t kZoneVersion = 1;
constexpr std::size_t kUuidSize = 16;
}  // namespace

bool CZone::HasDevice(const CDevice* device) const {
  return std::find(m_devices.begin(), m_devices.end(), device) != m_devices.end();
}

bool CZone::RemoveDevice(const CDevice* device) {
  auto it = std::find(m_devices.begin(), m_devices.end(), device);
  if (it == m_devices.end()) return false;
  m_devices.erase(it);
  return true;
}

bool CZone::InsertDeviceFirst(CDevice* device) {
  m_devices.insert(m_devices.begin(), device);
  return true;
}

bool CZone::MoveDeviceUp(const CDevice* device) {
  auto it = std::find(m_devices.begin(), m_devices.end(), device);
  if (it == m_devices.end() || it == m_devices.begin()) return false;
  std::iter_swap(it, it - 1);
  return true;
}

bool CZone::MoveDeviceDown(const CDevice* device) {
  auto it = std::find(m_devices.begin(), m_devices.end(), device);
  if (it == m_devices.end() || it + 1 == m_devices.end()) return false;
  std::iter_swap(it, it + 1);
  return true;
}

void CZone::Serialize(CArchive& ar) {
  Serialize(ar, [this](const CUuid& uuid) { return m_pSystem ? m_pSystem->FindDeviceByUuid(uuid) : nullptr; });
}

void CZone::Serialize(CArchive& ar, const DeviceLookup& findDevice) {
  if (ar.IsStoring()) {
    ar.WriteU32(kZoneVersion);
    ar.WriteString(m_name);
    ar.WriteBool(m_bCollapsed);
    ar.WriteBool(m_bMeterCollapsed);
    ar.WriteU32(std::uint32_t(m_devices.size()));
    for (CDevice* device : m_devices) {
      CUuid uuid = device->GetUuid();
      ArchiveUuid(ar, uuid);
    }
    return;
  }
  if (ar.ReadU32() != kZoneVersion) return;
  m_name = ar.ReadString();
  m_bCollapsed = ar.ReadBool();
  m_bMeterCollapsed = ar.ReadBool();
  const std::uint32_t count = ar.ReadU32();
  ar.CheckCount(count, kUuidSize);
  for (std::uint32_t i = 0; i < count; ++i) {
    CUuid uuid;
    ArchiveUuid(ar, uuid);
    if (CDevice* device = findDevice ? findDevice(uuid) : nullptr) m_devices.push_back(device);
  }
}
