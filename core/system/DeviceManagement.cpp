// Device, zone and panel management of the system object: the factory, adding devices, zones
// and custom panels, deleting zones, panels and images with what refers to them, and the
// stacking order of the open panels.
#include <algorithm>
#include <cstdio>

#include "custom/CPData.h"
#include "core/model/ControlPanel.h"
#include "core/model/Device.h"
#include "core/model/DeviceFactory.h"
#include "core/file/ImageTree.h"
#include "core/system/System.h"
#include "core/support/SystemMessages.h"
#include "core/model/UiServices.h"
#include "core/model/User.h"
#include "core/system/Zone.h"
#include "platform/WindowMessages.h"
#include "platform/TextFormat.h"

namespace {

// Gives users 1 and up (at most 9) a record {uuid, 1} in the chosen list.
void GrantToUsers(CUserList& users, const CUuid& uuid, bool panelList) {
  for (std::size_t u = 1; u < users.size() && u < kMaxUsers; ++u) {
    auto& list = panelList ? users[u]->m_panelPermissions : users[u]->m_devicePermissions;
    list.push_back(new CPanelPermissions(uuid, 1));
  }
}

// The folder under root that holds node as a direct child, or null.
CCCImageDirectory* FindParentFolder(CCCImageDirectory& root, const CCCImageBase* node) {
  for (CCCImageBase* child : root.GetChildren()) {
    if (child == node) return &root;
    if (child->IsDirectory())
      if (CCCImageDirectory* found = FindParentFolder(*static_cast<CCCImageDirectory*>(child), node)) return found;
  }
  return nullptr;
}

}  // namespace

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
  GrantToUsers(m_users, device->GetUuid(), false);
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

// --- Custom panels ---

CCPData* CSystem::AddCustomPanel() {
  std::string name;
  for (int n = 1;; ++n) {
    name = FormatText("Panel %d", n);
    const bool taken = std::any_of(m_customPanels.begin(), m_customPanels.end(),
                                   [&name](const CCPData* p) { return p->m_name == name; });
    if (!taken) break;
  }
  auto* panel = new CCPData(this);
  panel->m_name = name;
  m_customPanels.push_back(panel);
  GrantToUsers(m_users, panel->GetUuid(), true);
  return panel;
}

void CSystem::DeleteCustomPanel(int index) {
  if (index < 0 || index >= int(m_customPanels.size())) return;
  CCPData* panel = m_customPanels[std::size_t(index)];
  const CUuid uuid = panel->GetUuid();
  for (std::size_t u = 1; u < m_users.size() && u < kMaxUsers; ++u) m_users[u]->RemovePermission(uuid);
  for (CCPData* other : m_customPanels) other->ClearPanelReference(uuid);
  for (CCustomControlObject* widget : m_copiedWidgets) widget->ClearPanelReference(uuid);
  // An open view must not outlive its data.
  if (CCustomControlPanel* view = panel->m_pView) {
    panel->m_pView = nullptr;
    view->DestroyPanelWindow();
  }
  m_customPanels.erase(m_customPanels.begin() + index);
  delete panel;
  m_modified = true;
}

// --- Images ---

void CSystem::DeleteImage(CCCImageBase* node, bool deleteContents) {
  if (!node) return;
  CCCImageDirectory* parent = FindParentFolder(m_fileImages, node);
  if (!parent) return;  // not a node of the file's tree
  if (node->IsDirectory()) {
    auto* folder = static_cast<CCCImageDirectory*>(node);
    while (!folder->GetChildren().empty()) DeleteImage(folder->GetChildren().front(), deleteContents);
  } else {
    for (CCPData* panel : m_customPanels) panel->ReleaseImage(node);
    for (CCustomControlObject* widget : m_copiedWidgets) widget->ReleaseImage(node);
  }
  parent->RemoveChild(node, deleteContents);
}

// --- Open panel order ---

std::int32_t CSystem::GetPanelOrder(const CPanelView& view) const {
  if (view.devicePanel) {
    const CDevice* device = view.devicePanel->GetDevice();
    return device ? device->GetPanelOrder() : 0;
  }
  for (const CCPData* panel : m_customPanels)
    if (view.customPanel && panel->m_pView == view.customPanel) return panel->m_panelOrder;
  return 0;
}

void CSystem::SetPanelOrder(const CPanelView& view, std::int32_t order) {
  if (view.devicePanel) {
    if (CDevice* device = view.devicePanel->GetDevice()) device->SetPanelOrder(order);
    return;
  }
  for (CCPData* panel : m_customPanels)
    if (view.customPanel && panel->m_pView == view.customPanel) panel->m_panelOrder = order;
}

void CSystem::GetOpenPanelViews(std::vector<CPanelView>& views) const {
  const std::vector<CDevice*> devices = GetDevices();
  std::int32_t open = 0;
  for (const CDevice* device : devices)
    if (device->GetControlPanel()) ++open;
  for (const CCPData* panel : m_customPanels)
    if (panel->m_pView) ++open;
  for (std::int32_t k = 1; k <= open; ++k) {
    CPanelView view;
    for (const CDevice* device : devices) {
      if (device->GetPanelOrder() == k && device->GetControlPanel()) {
        view.devicePanel = device->GetControlPanel();
        break;
      }
    }
    if (!view.devicePanel) {
      for (const CCPData* panel : m_customPanels) {
        if (panel->m_panelOrder == k && panel->m_pView) {
          view.customPanel = panel->m_pView;
          break;
        }
      }
    }
    if (view.devicePanel || view.customPanel) views.push_back(view);
  }
}

void CSystem::OnPanelActivated(const CPanelView& view) {
  if (m_loading) return;
  std::vector<CPanelView> views;
  GetOpenPanelViews(views);
  auto it = std::find(views.begin(), views.end(), view);
  if (it == views.end()) {
    SetPanelOrder(view, std::int32_t(views.size()) + 1);
    return;
  }
  SetPanelOrder(view, std::int32_t(views.size()));
  for (auto after = it + 1; after != views.end(); ++after) SetPanelOrder(*after, GetPanelOrder(*after) - 1);
}

void CSystem::OnPanelClosed(const CPanelView& view) {
  if (m_loading) return;
  std::vector<CPanelView> views;
  GetOpenPanelViews(views);
  auto it = std::find(views.begin(), views.end(), view);
  if (it == views.end()) return;
  SetPanelOrder(view, 0);
  for (auto after = it + 1; after != views.end(); ++after) SetPanelOrder(*after, GetPanelOrder(*after) - 1);
  m_modified = true;
}

void CSystem::RestorePanelOrder() {
  std::vector<CPanelView> views;
  GetOpenPanelViews(views);
  for (const CPanelView& view : views) {
    if (view.devicePanel) view.devicePanel->BringPanelToTop();
    if (view.customPanel) view.customPanel->BringPanelToTop();
  }
}
