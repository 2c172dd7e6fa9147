// The system's users: the questions about the current user, the rule that keeps every user's
// access records complete, and the import of a unit's users.
#include <algorithm>
#include <unordered_set>

#include "custom/CPData.h"
#include "core/model/Device.h"
#include "core/system/System.h"
#include "core/system/SystemUsers.h"
#include "core/model/User.h"

template <class Read, class Answer>
Answer CSystemUsers::AskCurrentUser(Read read, Answer none) const {
  CSingleLock lock(m_system.GetLock());
  const int index = GetCurrentUser();
  if (index < 0 || std::size_t(index) >= std::min(m_users.size(), kMaxUsers) || !m_users[std::size_t(index)])
    return none;
  return read(*m_users[std::size_t(index)]);
}

std::uint64_t CSystemUsers::GetCurrentUserRestrictions() const {
  return AskCurrentUser([](const CUser& user) { return user.GetRestrictionMask(); }, ~std::uint64_t{0});
}

bool CSystemUsers::CurrentUserMayOpen(const CUuid& uuid) const {
  return AskCurrentUser([&](const CUser& user) { return user.CanAccessPanel(uuid); }, false);
}

bool CSystemUsers::IsCurrentUserRestricted() const {
  return AskCurrentUser([](const CUser& user) { return user.GetRestrictionMask() != 0; }, false);
}

std::string CSystemUsers::GetCurrentUserName() const {
  return AskCurrentUser([](const CUser& user) { return user.GetName(); }, std::string());
}

void CSystemUsers::EnsureUserPermissions() {
  CUserList& users = m_users;
  if (users.size() < 2) return;
  const std::vector<CDevice*> devices = m_system.GetDevices();
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
    for (CCPData* panel : m_system.GetCustomPanels()) {
      if (held.insert(panel->GetUuid()).second)
        user.m_panelPermissions.push_back(new CPanelPermissions(panel->GetUuid(), CPanelPermissions::kCanUse));
    }
  }
}

void CSystemUsers::ImportNetworkUsers(const CUserList& network) {
  CUserList imported;
  for (std::size_t i = 0; i < network.size() && i < kMaxUsers; ++i) {
    auto* user = new CUser;
    user->CopyFrom(*network[i]);
    imported.push_back(user);
  }
  CSingleLock lock(m_system.GetLock());
  m_users.swap(imported);
  ::DeleteAllUsers(imported);
  // Units keep no access records: without them every restricted user could open no panel
  // until the file was opened again.
  EnsureUserPermissions();
  m_useSystemSecurity = true;
  ++m_userImports;
  // The old index may point past the new list or at another person: the administrator, whose
  // password was just given, is the one logged in now.
  m_currentUser = 0;
  m_system.SetModified(true);
}
