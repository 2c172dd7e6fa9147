// Users, access records, the 24-byte user record, its file records and the user table.
#include "core/model/User.h"

#include <algorithm>

#include "core/model/NameRules.h"
#include "core/protocol/Scramble.h"
#include "platform/Archive.h"
#include "platform/Clock.h"
#include "platform/TextFormat.h"

namespace {

constexpr std::uint32_t kUserRecordVersion = 2;
constexpr std::uint32_t kUserListVersion = 1;
constexpr std::uint32_t kAccessRecordVersion = 1;
constexpr std::size_t kRecordWords = CUser::kRecordSize / 4;
// Least bytes of one access record and of one user record (their version words): counts
// are checked against these before anything is read.
constexpr std::size_t kAccessRecordMinSize = 4;
constexpr std::size_t kUserRecordMinSize = 4;
constexpr std::size_t kTableRecordsOffset = 5;

using PermissionList = std::vector<CPanelPermissions*>;

void PackField(const std::string& text, std::uint8_t* out) {
  for (std::size_t i = 0; i < CUser::kFieldSize; ++i)
    out[i] = i < text.size() ? std::uint8_t(text[i]) : std::uint8_t(0x20);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string UnpackField(const std::uint8_t* in) {
  std::size_t n = 0;
  while (n < CUser::kFieldSize && in[n] != 0) ++n;
  std::size_t first = 0;
  while (first < n && IsBlank(char(in[first]))) ++first;
  while (n > first && IsBlank(char(in[n - 1]))) --n;
  return std::string(reinterpret_cast<const char*>(in) + first, n - first);
}

// The field as a unit's user table gives it back.
std::string AsKeptInTable(const std::string& text) {
  std::uint8_t field[CUser::kFieldSize];
  PackField(text, field);
  return UnpackField(field);
}

bool ListsDiffer(const PermissionList& a, const PermissionList& b) {
  if (a.size() != b.size()) return true;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i]->m_uuid != b[i]->m_uuid || a[i]->m_flags != b[i]->m_flags) return true;
  return false;
}

void DeleteAll(PermissionList& list) {
  for (CPanelPermissions* p : list) delete p;
  list.clear();
}

bool RemoveFirst(PermissionList& list, const CUuid& uuid) {
  for (auto it = list.begin(); it != list.end(); ++it) {
    if ((*it)->GetUuid() == uuid) {
      delete *it;
      list.erase(it);
      return true;
    }
  }
  return false;
}

void CopyList(const PermissionList& from, PermissionList& to) {
  for (const CPanelPermissions* p : from) to.push_back(new CPanelPermissions(*p));
}

void SerializePermissionList(CArchive& ar, PermissionList& list) {
  if (ar.IsStoring()) {
    ar.WriteU32(std::uint32_t(list.size()));
    for (CPanelPermissions* record : list) record->Serialize(ar);
    return;
  }
  const std::uint32_t count = ar.ReadU32();
  ar.CheckCount(count, kAccessRecordMinSize);
  for (std::uint32_t i = 0; i < count; ++i) {
    auto* record = new CPanelPermissions;
    list.push_back(record);
    record->Serialize(ar);
  }
}

}  // namespace

void CPanelPermissions::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar.WriteU32(kAccessRecordVersion);
    ArchiveUuid(ar, m_uuid);
    ar.WriteU32(m_flags);
    return;
  }
  ReadRecordVersion(ar, kAccessRecordVersion, kAccessRecordVersion, "access record");
  ArchiveUuid(ar, m_uuid);
  m_flags = ar.ReadU32();
}

CUser::~CUser() { ClearPermissions(); }

void CUser::CopyFrom(const CUser& other) {
  if (&other == this) return;
  m_name = other.m_name;
  m_password = other.m_password;
  m_restrictLow = other.m_restrictLow;
  m_restrictHigh = other.m_restrictHigh;
  ClearPermissions();
  CopyList(other.m_devicePermissions, m_devicePermissions);
  CopyList(other.m_panelPermissions, m_panelPermissions);
}

bool CUser::DiffersFrom(const CUser& other) const {
  return m_name != other.m_name || m_password != other.m_password || m_restrictLow != other.m_restrictLow ||
         m_restrictHigh != other.m_restrictHigh || ListsDiffer(m_devicePermissions, other.m_devicePermissions) ||
         ListsDiffer(m_panelPermissions, other.m_panelPermissions);
}

bool CUser::DiffersInTableFrom(const CUser& other) const {
  return AsKeptInTable(m_name) != AsKeptInTable(other.m_name) ||
         AsKeptInTable(m_password) != AsKeptInTable(other.m_password) || m_restrictLow != other.m_restrictLow ||
         m_restrictHigh != other.m_restrictHigh;
}

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

bool CUser::CanAccessPanel(const CUuid& uuid) const {
  if (GetRestrictionMask() == 0) return true;
  for (const auto* list : {&m_devicePermissions, &m_panelPermissions})
    for (const CPanelPermissions* p : *list)
      if (p->GetUuid() == uuid) return (p->GetFlags() & CPanelPermissions::kCanUse) != 0;
  return false;
}

void CUser::PackRecord(std::uint8_t* out) const {
  PackField(m_name, out);
  PackField(m_password, out + kFieldSize);
  StoreU32(out + 16, m_restrictLow);
  StoreU32(out + 20, m_restrictHigh);
}

void CUser::UnpackRecord(const std::uint8_t* in) {
  m_name = UnpackField(in);
  m_password = UnpackField(in + kFieldSize);
  m_restrictLow = LoadU32(in + 16);
  m_restrictHigh = LoadU32(in + 20);
}

void CUser::Serialize(CArchive& ar) {
  std::uint8_t record[kRecordSize];
  if (ar.IsStoring()) {
    const std::uint32_t seed = GetTickCount();
    PackRecord(record);
    ScrambleWords(record, kRecordWords, seed);
    ar.WriteU32(kUserRecordVersion);
    ar.WriteU32(seed);
    ar.WriteBytes(record, kRecordSize);
    SerializePermissionList(ar, m_devicePermissions);
    SerializePermissionList(ar, m_panelPermissions);
    return;
  }
  const std::uint32_t version = ReadRecordVersion(ar, 1, kUserRecordVersion, "user record");
  const std::uint32_t seed = ar.ReadU32();
  ar.ReadBytes(record, kRecordSize);
  UnscrambleWords(record, kRecordWords, seed);
  UnpackRecord(record);
  if (version == kUserRecordVersion) {
    SerializePermissionList(ar, m_devicePermissions);
    SerializePermissionList(ar, m_panelPermissions);
  }
}

static_assert(kUserNameRule.maxCharacters == CUser::kFieldSize, "a user name fills the record's field");

std::string UserFieldCharacterRefusal(const std::string& text, const char* what) {
  return NameRefusal(text, CNameRule{what, 0, kUserNameRule.asciiOnlyReason});
}

std::string UserFieldRefusal(const std::string& text, const char* what) {
  if (std::string refusal = UserFieldCharacterRefusal(text, what); !refusal.empty()) return refusal;
  if (!text.empty() && (text.front() == ' ' || text.back() == ' '))
    return FormatText("%s cannot begin or end with a blank", what);
  return NameRefusal(text, CNameRule{what, kUserNameRule.maxCharacters, kUserNameRule.asciiOnlyReason});
}

bool AreUserListsEqual(const CUserList& a, const CUserList& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i]->DiffersFrom(*b[i])) return false;
  return true;
}

bool AreUserTablesEqual(const CUserList& a, const CUserList& b) {
  const std::size_t n = std::min(a.size(), kMaxUsers);
  if (n != std::min(b.size(), kMaxUsers)) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (a[i]->DiffersInTableFrom(*b[i])) return false;
  return true;
}

void DeleteAllUsers(CUserList& users) {
  for (CUser* u : users) delete u;
  users.clear();
}

void PackUserTable(const CUserList& users, CUserTable& out) {
  out.fill(0);
  const std::size_t count = users.size() < kMaxUsers ? users.size() : kMaxUsers;
  const std::uint32_t seed = GetTickCount();
  out[0] = std::uint8_t(count);
  StoreU32(out.data() + 1, seed);
  for (std::size_t i = 0; i < count; ++i)
    users[i]->PackRecord(out.data() + kTableRecordsOffset + i * CUser::kRecordSize);
  ScrambleWords(out.data() + kTableRecordsOffset, kMaxUsers * kRecordWords, seed);
}

void UnpackUserTable(CUserList& users, const CUserTable& in) {
  DeleteAllUsers(users);
  const std::size_t count = in[0] < kMaxUsers ? in[0] : kMaxUsers;
  const std::uint32_t seed = LoadU32(in.data() + 1);
  CUserTable plain = in;
  UnscrambleWords(plain.data() + kTableRecordsOffset, kMaxUsers * kRecordWords, seed);
  for (std::size_t i = 0; i < count; ++i) {
    auto* user = new CUser;
    user->UnpackRecord(plain.data() + kTableRecordsOffset + i * CUser::kRecordSize);
    users.push_back(user);
  }
}

void SerializeUsers(CArchive& ar, CUserList& users, std::vector<std::string>* leftOut) {
  if (ar.IsStoring()) {
    ar.WriteU32(kUserListVersion);
    ar.WriteU32(std::uint32_t(users.size()));
    for (CUser* user : users) user->Serialize(ar);
    return;
  }
  DeleteAllUsers(users);
  ReadRecordVersion(ar, kUserListVersion, kUserListVersion, "user list");
  const std::uint32_t count = ar.ReadU32();
  ar.CheckCount(count, kUserRecordMinSize);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (users.size() < kMaxUsers) {
      users.push_back(new CUser);
      users.back()->Serialize(ar);
    } else {
      // Past the tenth: read to stay in step with the file, then dropped.
      CUser extra;
      extra.Serialize(ar);
      if (leftOut) leftOut->push_back(extra.GetName());
    }
  }
}
