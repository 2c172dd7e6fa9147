// The system's rule that keeps every user's access records complete, and the ids they name.
#include <unordered_set>

#include "custom/CPData.h"
#include "core/model/Device.h"
#include "core/system/System.h"
#include "core/model/User.h"

void CSystem::EnsureUserPermissions() {
  CUserList& users = GetUsers();
  if (users.size() < 2) return;
  const std::vector<CDevice*> devices = GetDevices();
  for (std::size_t u = 1; u < users.size() && u < kMaxUsers; ++u) {
    CUser& user = *users[u];
    // The UUIDs the user has a record of, each added record included: a file of many devices
    // would otherwise compare every device with every record of every user.
    std::unordered_set<CUuid, CUuidHash> held;
    held.reserve(user.m_devicePermissions.size() + user.m_panelPermissions.size() + devices.size());
    for (const auto* list : {&user.m_devicePermissions, &user.m_panelPermissions})
      for (const CPanelPermissions* p : *list) held.insert(p->GetUuid());
    for (CDevice* device : devices) {
      const CUuid uuid = device->GetUuid();
      if (held.insert(uuid).second)
        user.m_devicePermissions.push_back(new CPanelPermissions(uuid, CPanelPermissions::kCanUse));
    }
    for (CCPData* panel : GetCustomPanels()) {
      if (held.insert(panel->GetUuid()).second)
        user.m_panelPermissions.push_back(new CPanelPermissions(panel->GetUuid(), CPanelPermissions::kCanUse));
    }
  }
}

std::vector<CUuid> CSystem::GetCustomPanelIds() const {
  std::vector<CUuid> ids;
  ids.reserve(m_customPanels.size());
  for (const CCPData* panel : m_customPanels) ids.push_back(panel->GetUuid());
  return ids;
}
