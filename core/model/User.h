// Users of a system file: name, password, restriction mask and access records to devices and
// custom panels; their 24-byte record, their file records and the 245-byte device user table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/file/Uuid.h"

class CArchive;

// At most this many users in a system; user 0 is the administrator.
inline constexpr std::size_t kMaxUsers = 10;

// Bits of the restriction mask (a set bit withholds the right), as the users page names them.
enum : std::uint32_t {
  kRestrictChangePassword = 0x01,
  kRestrictUseDeviceControls = 0x02,
  kRestrictRecallPresets = 0x04,
  kRestrictApplicationSettings = 0x08,
  kRestrictEditDeviceProperties = 0x10,
  kRestrictRecallSnapshots = 0x20,
};

// Access of one user to one device or custom panel, by UUID.
class CPanelPermissions {
 public:
  enum : std::uint32_t { kCanUse = 0x1 };
  CPanelPermissions() = default;
  CPanelPermissions(const CUuid& uuid, std::uint32_t flags) : m_uuid(uuid), m_flags(flags) {}
  const CUuid& GetUuid() const { return m_uuid; }
  std::uint32_t GetFlags() const { return m_flags; }

  // u32 version 1, 16 UUID bytes, u32 flags. A record of another version throws (NewerVersion
  // for a later one): its fields cannot be told from the next record's.
  void Serialize(CArchive& ar);

  CUuid m_uuid;
  std::uint32_t m_flags = 0;
};

class CUser {
 public:
  static constexpr std::size_t kRecordSize = 24;
  // Bytes of the name and of the password that travel in the 24-byte record.
  static constexpr std::size_t kFieldSize = 8;

  CUser() = default;
  CUser(const std::string& name, const std::string& password) : m_name(name), m_password(password) {}
  ~CUser();
  CUser(const CUser&) = delete;
  CUser& operator=(const CUser&) = delete;

  std::string GetName() const { return m_name; }
  std::string GetPassword() const { return m_password; }
  std::uint64_t GetRestrictionMask() const {
    return std::uint64_t(m_restrictLow) | (std::uint64_t(m_restrictHigh) << 32);
  }
  void SetRestrictionMask(std::uint64_t mask) {
    m_restrictLow = std::uint32_t(mask);
    m_restrictHigh = std::uint32_t(mask >> 32);
  }

  // Name, password and mask, and both access lists refilled with copies of the other's records.
  void CopyFrom(const CUser& other);
  // True when name, password, a mask word or either access list (length, UUID or flags at any
  // index) differ.
  bool DiffersFrom(const CUser& other) const;
  // True when the two users would not come back from a unit's user table alike: the name or
  // the password as a unit keeps it (its first 8 bytes, blanks around it trimmed) or a mask
  // word differ. Access records never travel to units, so they are not compared: this is how a
  // user read back from a unit is compared with the system's user written to it.
  bool DiffersInTableFrom(const CUser& other) const;

  bool HasPermissionRecord(const CUuid& uuid) const;
  // Deletes the first device record with the UUID, or else the first panel record.
  void RemovePermission(const CUuid& uuid);
  void ClearPermissions();
  // May this user open the device's control panel or the custom panel with this UUID? A user
  // without restrictions may use everything; otherwise the first record with the UUID (device
  // list first) decides by its bit 0, and no record means no.
  bool CanAccessPanel(const CUuid& uuid) const;

  // The 24-byte record: name and password each cut or padded with blanks to 8 bytes, then the
  // mask, low word first, little-endian.
  void PackRecord(std::uint8_t* out) const;
  // Empties name, password and mask, then takes each text up to its first 0 byte (at most 8
  // bytes) with leading and trailing white space removed, and both mask words.
  void UnpackRecord(const std::uint8_t* in);

  // Version 2 is written: version, seed (the tick count), the record scrambled with the seed,
  // the device records, the panel records. Version 1 (seed and record only) is read too.
  // Loading appends the access records read. Throws CArchiveException on short or bad data,
  // NewerVersion on a record of a later version.
  void Serialize(CArchive& ar);

  std::string m_name;
  std::string m_password;
  std::uint32_t m_restrictLow = 0;
  std::uint32_t m_restrictHigh = 0;
  std::vector<CPanelPermissions*> m_devicePermissions;  // owning
  std::vector<CPanelPermissions*> m_panelPermissions;   // owning
};

// Why a user's name or password (what names it: "User name", "Password") cannot be kept as
// typed, or empty when it can. The record keeps 8 bytes with the blanks at both ends trimmed,
// so the file keeps ASCII characters other than control characters (the character rule), no
// blank at either end and at most 8 characters (the whole rule).
std::string UserFieldCharacterRefusal(const std::string& text, const char* what);
std::string UserFieldRefusal(const std::string& text, const char* what);

// A list of users that owns them.
using CUserList = std::vector<CUser*>;

// True when both lists have the same length and no pair at the same index differs.
bool AreUserListsEqual(const CUserList& a, const CUserList& b);
// True when both lists give equal user tables: the same number of users (at most 10 count)
// and no pair at the same index differs in the table (CUser::DiffersInTableFrom).
bool AreUserTablesEqual(const CUserList& a, const CUserList& b);
// Deletes every user of the list and empties it.
void DeleteAllUsers(CUserList& users);
inline void ClearUserList(CUserList& users) { DeleteAllUsers(users); }

// The device security block's user table: count, seed and ten scrambled 24-byte records.
inline constexpr std::size_t kUserTableSize = 245;
using CUserTable = std::array<std::uint8_t, kUserTableSize>;
// Packs the first 10 users with the tick count as the seed.
void PackUserTable(const CUserList& users, CUserTable& out);
// Replaces the list's users by those of the table (at most 10, whatever its count byte says).
void UnpackUserTable(CUserList& users, const CUserTable& in);

// The user list block of the system file: u32 version 1, u32 count, the user records. Loading
// deletes the list's users first; a list of another version throws (NewerVersion for a later
// one), as a user or access record of one does. Users past the tenth are read (to stay in step
// with the file) and dropped: loading keeps the first kMaxUsers users of the list, and the
// names of the others go to leftOut (when given).
void SerializeUsers(CArchive& ar, CUserList& users, std::vector<std::string>* leftOut = nullptr);
