// Users and their access records.
#include "core/User.h"

namespace {
bool RemoveFirst(std::vector<CPanelPermissions*>& list, const CUuid& uuid) {
  for (auto it = list.begin(); it != list.end(); ++it) {
    if ((*it)->GetUuid() == uuid) {
      delete *it;
      list.erase(it);
      return true;
    }
  }
  return false;
}

void DeleteAll(std::vector<CPanelPermissions*>& list) {
  for (CPanelPermissions* p : list) delete p;
  list.clear();
}
}  // namespace

CUser::~CUser() { ClearPermissions(); }

bool CUser::HasPermissionRecord(const CUuid& uuid) const {
  for (const auto* list : {&m_devicePermissions, &m_panelPermissions})
    for (const CPanelPermissions* p : *list)
      if (p->GetUuid() == uuid) return true;
  return false;
}

void CUser::RemovePermission(const CUuid& uuid) {
  if (!RemoveFirst(m_devicePermissions, uuid)) RemoveFirst(m_panelPermissions, uuid);
}

void CUser::ClearPermissions() {
  DeleteAll(m_devicePermissions);
  DeleteAll(m_panelPermissions);
}

void DeleteAllUsers(CUserList& users) {
  for (CUser* u : users) delete u;
  users.clear();
}
