// Link records and member look-up.
#include "core/Link.h"

#include <algorithm>

#include "platform/Archive.h"

void CLinkRef::Serialize(CArchive& ar) {
  ArchiveUuid(ar, uuid);
  if (ar.IsStoring()) {
    ar.WriteI32(paramId);
    ar.WriteBool(display);
  } else {
    paramId = ar.ReadI32();
    display = ar.ReadBool();
  }
}

CLinkRef* CLink::FindRef(const CUuid& uuid, std::int32_t paramId) const {
  for (const auto& ref : m_members)
    if (ref->paramId == paramId && ref->uuid == uuid) return ref.get();
  return nullptr;
}

CLinkRef& CLink::AddMember(const CUuid& uuid, std::int32_t paramId) {
  auto ref = std::make_unique<CLinkRef>();
  ref->uuid = uuid;
  ref->paramId = paramId;
  m_members.push_back(std::move(ref));
  return *m_members.back();
}

std::size_t CLink::RemoveDeviceMembers(const CUuid& uuid) {
  const std::size_t before = m_members.size();
  std::erase_if(m_members, [&](const std::unique_ptr<CLinkRef>& ref) { return ref->uuid == uuid; });
  return before - m_members.size();
}

CLinkRef* CLink::GetMasterRef() const {
  if (m_members.empty()) return nullptr;
  if (m_master >= 0 && std::size_t(m_master) < m_members.size()) return m_members[std::size_t(m_master)].get();
  return m_members.front().get();
}

void CLink::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar.WriteU32(std::uint32_t(m_members.size()));
    for (auto& ref : m_members) ref->Serialize(ar);
    ar.WriteI32(m_master);
    ar.WriteString(m_name);
    ar.WriteBool(m_expanded);
    return;
  }
  const std::uint32_t count = ar.ReadU32();
  ar.CheckCount(count, kMemberRecordSize);
  for (std::uint32_t i = 0; i < count; ++i) {
    auto ref = std::make_unique<CLinkRef>();
    ref->Serialize(ar);
    m_members.push_back(std::move(ref));
  }
  m_master = ar.ReadI32();
  m_name = ar.ReadString();
  m_expanded = ar.ReadBool();
}
