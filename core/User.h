// Users of a system file and their access records to devices and custom panels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Uuid.h"

// Access of one user to one device or custom panel, by UUID.
class CPanelPermissions {
 public:
  enum : std::uint32_t { kCanUse = 0x1 };
  CPanelPermissions() = default;
  CPanelPermissions(const CUuid& uuid, std::uint32_t flags) : m_uuid(uuid), m_flags(flags) {}
  const CUuid& GetUuid() const { return m_uuid; }
  std::uint32_t GetFlags() const { return m_flags; }

  CUuid m_uuid;
  std::uint32_t m_flags = 0;
};

// Bits of the restriction mask (a set bit withholds the right).
enum : std::uint32_t { kRestrictEditDeviceProperties = 0x10 };

class CUser {
 public:
  CUser() = default;
  CUser(const std::string& name, const std::string& password) : m_name(name), m_password(password) {}
  ~CUser();
  CUser(const CUser&) = delete;
  CUser& operator=(const CUser&) = delete;

  std::string GetName() const { return m_name; }
  std::string GetPassword() const { return m_password; }

  bool HasPermissionRecord(const CUuid& uuid) const;
  // Deletes the first device record with the UUID, or else the first panel record.
  void RemovePermission(const CUuid& uuid);
  void ClearPermissions();

  std::string m_name;
  std::string m_password;
  std::uint32_t m_restrictLow = 0;
  std::uint32_t m_restrictHigh = 0;
  std::vector<CPanelPermissions*> m_devicePermissions;  // owning
  std::vector<CPanelPermissions*> m_panelPermissions;   // owning
};

// A list of users that owns them.
using CUserList = std::vector<CUser*>;

// Deletes every user of the list and empties it.
void DeleteAllUsers(CUserList& users);
