// Users of a system file: name, password, restriction mask and access records to devices and
// custom panels; their 24-byte record, their file records and the 245-byte device user table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/Uuid.h"

class CArchive;

// Restriction bits of a user's mask: a set bit withholds the right.
enum : std::uint64_t {
  kRestrictChangePassword = 0x01,
  kRestrictUseDeviceControls = 0x02,
  kRestrictApplicationSettings = 0x08,
  kRestrictEditDeviceProperties = 0x10,
  kRestrictRecallSnapshots = 0x20,
};

// One access record: the UUID of a device or custom panel and its flags (bit 0: may use it).
struct CPanelPermissions {
  CUuid uuid;
  std::uint32_t flags = 0;

  CUuid GetUuid() const { return uuid; }
  // u32 version 1, 16 UUID bytes, u32 flags. A record of another version reads nothing more.
  void Serialize(CArchive& ar);
  friend bool operator==(const CPanelPermissions&, const CPanelPermissions&) = default;
};

class CUser {
 public:
  static constexpr std::size_t kRecordSize = 24;
  // Bytes of the name and of the password that travel in the 24-byte record.
  static constexpr std::size_t kFieldSize = 8;

  CUser() = default;
  CUser(const std::string& name, const std::string& password) : m_name(name), m_password(password) {}

  std::string GetName() const { return m_name; }
  std::string GetPassword() const { return m_password; }
  void SetName(const std::string& name) { m_name = name; }
  void SetPassword(const std::string& password) { m_password = password; }
  std::uint64_t GetRestrictionMask() const {
    return std::uint64_t(m_restrictionLow) | (std::uint64_t(m_restrictionHigh) << 32);
  }
  void SetRestrictionMask(std::uint64_t mask) {
    m_restrictionLow = std::uint32_t(mask);
    m_restrictionHigh = std::uint32_t(mask >> 32);
  }
  bool HasRestriction(std::uint64_t bits) const { return (GetRestrictionMask() & bits) != 0; }

  // Copies name, password, mask and both access lists.
  void CopyFrom(const CUser& other);
  // True when name, password, mask or either access list (length, UUID or flags) differ.
  bool DiffersFrom(const CUser& other) const;

  // True when either list holds a record for the UUID.
  bool HasPermissionRecord(const CUuid& uuid) const;
  // Removes the first device record for the UUID, else the first panel record.
  void RemovePermission(const CUuid& uuid);
  void ClearPermissions();
  // May this user open the device's control panel or the custom panel with this UUID? A user
  // without restrictions may use everything; otherwise the first record found (device list
  // first) decides by its bit 0, and no record means no.
  bool CanAccessPanel(const CUuid& uuid) const;

  // The 24-byte record: name and password each cut or padded with blanks to 8 bytes, then the
  // mask, low word first, little-endian.
  void PackRecord(std::uint8_t* out) const;
  // Empties name, password and mask, then takes each text up to its first 0 byte, trimmed.
  void UnpackRecord(const std::uint8_t* in);

  // Version 2 is written: version, seed, the scrambled record, device and panel records.
  // Version 1 (seed and record only) is read too. Throws CArchiveException on short data.
  void Serialize(CArchive& ar);

  std::vector<CPanelPermissions> m_devicePermissions;
  std::vector<CPanelPermissions> m_panelPermissions;

 private:
  std::string m_name;
  std::string m_password;
  std::uint32_t m_restrictionLow = 0;
  std::uint32_t m_restrictionHigh = 0;
};

// A list of users that owns them. The system's holds at most kMaxUsers.
using CUserList = std::vector<std::unique_ptr<CUser>>;
constexpr std::size_t kMaxUsers = 10;

bool AreUserListsEqual(const CUserList& a, const CUserList& b);
void DeleteAllUsers(CUserList& list);
inline void ClearUserList(CUserList& list) { DeleteAllUsers(list); }

// The device security block's user table: count, seed and ten scrambled 24-byte records.
constexpr std::size_t kUserTableSize = 245;
using CUserTable = std::array<std::uint8_t, kUserTableSize>;
// Packs at most 10 users with the tick count as the seed.
void PackUserTable(const CUserList& list, CUserTable& out);
// Replaces the list's users by those of the table (at most 10, whatever its count byte says).
void UnpackUserTable(CUserList& list, const CUserTable& in);

// The user list block of the system file: u32 version 1, u32 count, the user records. Loading
// empties the list first; a file with more than kMaxUsers users keeps the first kMaxUsers.
void SerializeUsers(CArchive& ar, CUserList& list);
