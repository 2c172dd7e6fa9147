// Link members, look-up and the link records of the system file.
#include "core/model/Link.h"

#include "platform/Archive.h"

void CLinkRef::Serialize(CArchive& ar) {
  ArchiveUuid(ar, m_uuid);
  if (ar.IsStoring()) {
    ar.WriteU32(m_parameterId);
    ar.WriteBool(m_displayFlag);
  } else {
    m_parameterId = ar.ReadU32();
    m_displayFlag = ar.ReadBool();
  }
}

CLink::~CLink() {
  for (CLinkRef* r : m_members) delete r;
}

CLinkRef* CLink::AddMember(const CUuid& device, std::uint32_t parameterId) {
  auto* ref = new CLinkRef(device, parameterId);
  m_members.push_back(ref);
  return ref;
}

CLinkRef* CLink::FindRef(const CUuid& device, std::uint32_t parameterId) const {
  for (CLinkRef* r : m_members)
    if (r->m_parameterId == parameterId && r->GetUuid() == device) return r;
  return nullptr;
}

bool CLink::FindRef(CLinkRef** out, const CUuid& device, std::uint32_t parameterId) const {
  CLinkRef* found = FindRef(device, parameterId);
  if (found && out) *out = found;
  return found != nullptr;
}

bool CLink::RemoveMemberAt(std::size_t index) {
  if (index >= m_members.size()) return false;
  const auto removed = std::int32_t(index);
  const auto last = std::int32_t(m_members.size()) - 1;
  if (m_master == removed)
    m_master = removed < last ? removed : removed - 1;
  else if (m_master > removed)
    --m_master;
  delete m_members[index];
  m_members.erase(m_members.begin() + std::ptrdiff_t(index));
  if (m_members.empty()) m_master = -1;
  return true;
}

int CLink::RemoveDeviceRefs(const CUuid& device) {
  int removed = 0;
  for (std::size_t i = 0; i < m_members.size();) {
    if (m_members[i]->GetUuid() == device) {
      RemoveMemberAt(i);
      ++removed;
    } else {
      ++i;
    }
  }
  return removed;
}

CLinkRef* CLink::GetMasterRef() const {
  if (m_members.empty()) return nullptr;
  if (m_master >= 0 && std::size_t(m_master) < m_members.size()) return m_members[std::size_t(m_master)];
  return m_members.front();
}

void CLink::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar.WriteU32(std::uint32_t(m_members.size()));
    for (CLinkRef* ref : m_members) ref->Serialize(ar);
    ar.WriteI32(m_master);
    ar.WriteString(m_name);
    ar.WriteBool(m_expanded);
    return;
  }
  const std::uint32_t count = ar.ReadU32();
  ar.CheckCount(count, CLinkRef::kRecordSize);
  for (std::uint32_t i = 0; i < count; ++i) {
    auto* ref = new CLinkRef;
    m_members.push_back(ref);
    ref->Serialize(ar);
  }
  m_master = ar.ReadI32();
  m_name = ar.ReadString();
  m_expanded = ar.ReadBool();
}
