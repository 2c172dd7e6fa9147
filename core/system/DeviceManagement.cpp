// Device, zone and panel management of the system object: the factory, adding devices, zones
// and custom panels, deleting zones and panels with what refers to them, and the stacking order
// of the open panels.
#include <algorithm>
#include <cstdio>

#include "custom/CPData.h"
#include "core/model/ControlPanel.h"
#include "core/model/Device.h"
#include "core/model/DeviceFactory.h"
#include "core/system/System.h"
#include "core/support/SystemMessages.h"
#include "core/model/UiServices.h"
#include "core/model/User.h"
#include "core/system/Zone.h"
#include "platform/WindowMessages.h"
#include "platform/TextFormat.h"

// --- Devices ---

CDevice* CSystem::CreateDevice(std::uint32_t deviceId, std::uint32_t typeCode, std::uint32_t modelIndex) {
  const DeviceCreator creator = FindDeviceCreator(typeCode);
  return creator ? creator(this, m_ui, typeCode, deviceId, modelIndex) : nullptr;
}

CZone* CSystem::GetSelectedDeviceZone() const {
  const CDevice* selected = GetDevice(m_selectedDevice);
  if (!selected) return nullptr;
  for (CZone* zone : m_zones)
    if (zone->HasDevice(selected)) return zone;
  return nullptr;
}

bool CSystem::AddDevice(std::uint32_t typeCode, std::uint32_t modelIndex) {
  CDevice* device = CreateDevice(0, typeCode, modelIndex);
  if (!device) return false;
  AppendDevice(device);
  CZone* zone = GetSelectedDeviceZone();
  if (!zone && !m_zones.empty()) zone = m_zones.front();
  if (zone) zone->AppendDevice(device);
  m_users.GrantUse(device->GetUuid(), false);
  m_modified = true;
  return true;
}

bool CSystem::AddDeviceNamed(std::uint32_t typeCode, std::uint32_t modelIndex) {
  if (!AddDevice(typeCode, modelIndex)) return false;
  CDevice* device = GetDevice(GetDeviceCount() - 1);
  const std::vector<CDevice*> devices = GetDevices();
  for (int n = 1;; ++n) {
    const std::string name = FormatText("Device %d", n);
    if (std::none_of(devices.begin(), devices.end(),
                     [&](CDevice* other) { return other != device && other->GetName() == name; })) {
      device->SystemEntries().SetName(name, CSystemPass{});
      return true;
    }
  }
}

// --- Zones ---

CZone* CSystem::AddZone() {
  auto* zone = new CZone(this);
  m_zones.push_back(zone);
  PostToFrame(FrameMsg::kRefreshRack);
  PostToFrame(FrameMsg::kRebuildMeters);
  return zone;
}

void CSystem::DeleteZone(CZone* zone, bool deleteDevices) {
  auto it = m_zones.size() < 2 ? m_zones.end() : std::find(m_zones.begin() + 1, m_zones.end(), zone);
  if (it != m_zones.end()) {
    CZone* before = *(it - 1);
    m_zones.erase(it);
    if (!deleteDevices) {
      for (CDevice* device : zone->GetDevices()) before->AppendDevice(device);
    } else {
      while (!zone->GetDevices().empty()) {
        CDevice* device = zone->GetDevices().front();
        zone->RemoveDevice(device);
        DeleteDevice(GetDeviceIndex(device));
      }
    }
    delete zone;
  }
  PostToFrame(FrameMsg::kRefreshRack);
  PostToFrame(FrameMsg::kRebuildMeters);
}
