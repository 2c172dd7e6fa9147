// Users, access records, the 24-byte user record, its file records and the user table.
#include "core/User.h"

#include <algorithm>
#include <cstring>

#include "core/Scramble.h"
#include "platform/Archive.h"
#include "platform/Clock.h"

namespace {

constexpr std::uint32_t kUserRecordVersion = 2;
constexpr std::uint32_t kUserListVersion = 1;
constexpr std::uint32_t kAccessRecordVersion = 1;
constexpr std::size_t kRecordWords = CUser::kRecordSize / 4;
constexpr std::size_t kAccessRecordMinSize = 4;  // a version word
constexpr std::size_t kUserRecordMinSize = 4;

void PackField(const std::string& text, std::uint8_t* out) {
  for (std::size_t i = 0; i < CUser::kFieldSize; ++i)
    out[i] = i < text.size() ? std::uint8_t(text[i]) : std::uint8_t(0x20);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string UnpackField(const std::uint8_t* in) {
  std::size_t n = 0;
  while (n < CUser::kFieldSize && in[n] != 0) ++n;
  std::string text(reinterpret_cast<const char*>(in), n);
  std::size_t first = 0;
  while (first < text.size() && IsBlank(text[first])) ++first;
  std::size_t last = text.size();
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

bool ListsDiffer(const std::vector<CPanelPermissions>& a, const std::vector<CPanelPermissions>& b) {
  return a != b;
}

void SerializePermissionList(CArchive& ar, std::vector<CPanelPermissions>& list) {
  if (ar.IsStoring()) {
    ar.WriteU32(std::uint32_t(list.size()));
    for (auto& record : list) record.Serialize(ar);
    return;
  }
  const std::uint32_t count = ar.ReadU32();
  ar.CheckCount(count, kAccessRecordMinSize);
  for (std::uint32_t i = 0; i < count; ++i) {
    CPanelPermissions record;
    record.Serialize(ar);
    list.push_back(record);
  }
}

}  // namespace

void CPanelPermissions::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar.WriteU32(kAccessRecordVersion);
    ArchiveUuid(ar, uuid);
    ar.WriteU32(flags);
    return;
  }
  if (ar.ReadU32() != kAccessRecordVersion) return;
  ArchiveUuid(ar, uuid);
  flags = ar.ReadU32();
}

void CUser::CopyFrom(const CUser& other) {
  if (&other == this) return;
  m_name = other.m_name;
  m_password = other.m_password;
  m_restrictionLow = other.m_restrictionLow;
  m_restrictionHigh = other.m_restrictionHigh;
  ClearPermissions();
  m_devicePermissions = other.m_devicePermissions;
  m_panelPermissions = other.m_panelPermissions;
}

bool CUser::DiffersFrom(const CUser& other) const {
  return m_name != other.m_name || m_password != other.m_password ||
         m_restrictionLow != other.m_restrictionLow || m_restrictionHigh != other.m_restrictionHigh ||
         ListsDiffer(m_devicePermissions, other.m_devicePermissions) ||
         ListsDiffer(m_panelPermissions, other.m_panelPermissions);
}

bool CUser::HasPermissionRecord(const CUuid& uuid) const {
  auto same = [&](const CPanelPermissions& p) { return p.uuid == uuid; };
  return std::any_of(m_devicePermissions.begin(), m_devicePermissions.end(), same) ||
         std::any_of(m_panelPermissions.begin(), m_panelPermissions.end(), same);
}

void CUser::RemovePermission(const CUuid& uuid) {
  auto same = [&](const CPanelPermissions& p) { return p.uuid == uuid; };
  auto it = std::find_if(m_devicePermissions.begin(), m_devicePermissions.end(), same);
  if (it != m_devicePermissions.end()) {
    m_devicePermissions.erase(it);
    return;
  }
  it = std::find_if(m_panelPermissions.begin(), m_panelPermissions.end(), same);
  if (it != m_panelPermissions.end()) m_panelPermissions.erase(it);
}

void CUser::ClearPermissions() {
  m_devicePermissions.clear();
  m_panelPermissions.clear();
}

bool CUser::CanAccessPanel(const CUuid& uuid) const {
  if (GetRestrictionMask() == 0) return true;
  for (const auto* list : {&m_devicePermissions, &m_panelPermissions})
    for (const auto& record : *list)
      if (record.uuid == uuid) return (record.flags & 1u) != 0;
  return false;
}

void CUser::PackRecord(std::uint8_t* out) const {
  PackField(m_name, out);
  PackField(m_password, out + kFieldSize);
  StoreU32(out + 16, m_restrictionLow);
  StoreU32(out + 20, m_restrictionHigh);
}

void CUser::UnpackRecord(const std::uint8_t* in) {
  m_name.clear();
  m_password.clear();
  m_restrictionLow = m_restrictionHigh = 0;
  m_name = UnpackField(in);
  m_password = UnpackField(in + kFieldSize);
  m_restrictionLow = LoadU32(in + 16);
  m_restrictionHigh = LoadU32(in + 20);
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
  const std::uint32_t version = ar.ReadU32();
  if (version != 1 && version != kUserRecordVersion) return;
  const std::uint32_t seed = ar.ReadU32();
  ar.ReadBytes(record, kRecordSize);
  UnscrambleWords(record, kRecordWords, seed);
  UnpackRecord(record);
  if (version == kUserRecordVersion) {
    SerializePermissionList(ar, m_devicePermissions);
    SerializePermissionList(ar, m_panelPermissions);
  }
}

bool AreUserListsEqual(const CUserList& a, const CUserList& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i]->DiffersFrom(*b[i])) return false;
  return true;
}

void DeleteAllUsers(CUserList& list) { list.clear(); }

void PackUserTable(const CUserList& list, CUserTable& out) {
  out.fill(0);
  const std::size_t count = std::min(list.size(), kMaxUsers);
  const std::uint32_t seed = GetTickCount();
  out[0] = std::uint8_t(count);
  StoreU32(out.data() + 1, seed);
  for (std::size_t i = 0; i < count; ++i) list[i]->PackRecord(out.data() + 5 + i * CUser::kRecordSize);
  ScrambleWords(out.data() + 5, kMaxUsers * kRecordWords, seed);
}

void UnpackUserTable(CUserList& list, const CUserTable& in) {
  DeleteAllUsers(list);
  const std::size_t count = std::min<std::size_t>(in[0], kMaxUsers);
  const std::uint32_t seed = LoadU32(in.data() + 1);
  CUserTable plain = in;
  UnscrambleWords(plain.data() + 5, kMaxUsers * kRecordWords, seed);
  for (std::size_t i = 0; i < count; ++i) {
    auto user = std::make_unique<CUser>();
    user->UnpackRecord(plain.data() + 5 + i * CUser::kRecordSize);
    list.push_back(std::move(user));
  }
}

void SerializeUsers(CArchive& ar, CUserList& list) {
  if (ar.IsStoring()) {
    ar.WriteU32(kUserListVersion);
    ar.WriteU32(std::uint32_t(list.size()));
    for (auto& user : list) user->Serialize(ar);
    return;
  }
  DeleteAllUsers(list);
  if (ar.ReadU32() != kUserListVersion) return;
  const std::uint32_t count = ar.ReadU32();
  ar.CheckCount(count, kUserRecordMinSize);
  for (std::uint32_t i = 0; i < count; ++i) {
    auto user = std::make_unique<CUser>();
    user->Serialize(ar);
    // Records past the tenth are read to stay in step with the file, then dropped.
    if (list.size() < kMaxUsers) list.push_back(std::move(user));
  }
}
