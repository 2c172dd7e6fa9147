// The system's rule that keeps every user's access records complete.
#include "core/CPData.h"
#include "core/Device.h"
#include "core/System.h"
#include "core/User.h"

void CSystem::EnsureUserPermissions() {
  CUserList& users = GetUsers();
  if (users.size() < 2) return;
  const std::vector<CDevice*> devices = GetDevices();
  for (std::size_t u = 1; u < users.size() && u < kMaxUsers; ++u) {
    CUser& user = *users[u];
    for (CDevice* device : devices) {
      const CUuid uuid = device->GetUuid();
      if (!user.HasPermissionRecord(uuid))
        user.m_devicePermissions.push_back(new CPanelPermissions(uuid, CPanelPermissions::kCanUse));
    }
    for (CCPData* panel : GetCustomPanels()) {
      if (!user.HasPermissionRecord(panel->GetUuid()))
        user.m_panelPermissions.push_back(new CPanelPermissions(panel->GetUuid(), CPanelPermissions::kCanUse));
    }
  }
}
