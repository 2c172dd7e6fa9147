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

void CLink::AddRef(CLinkRef* ref) {
  m_members.push_back(ref);
  // An earlier member of the same parameter stays the one found.
  if (!m_indexStale) m_index.emplace(MemberKey{ref->GetUuid(), ref->m_parameterId}, ref);
}

CLinkRef* CLink::AddMember(const CUuid& device, std::uint32_t parameterId) {
  auto* ref = new CLinkRef(device, parameterId);
  AddRef(ref);
  return ref;
}

void CLink::IndexMembers() const {
  m_index.clear();
  for (CLinkRef* r : m_members) m_index.emplace(MemberKey{r->GetUuid(), r->m_parameterId}, r);
  m_indexStale = false;
}

CLinkRef* CLink::FindRef(const CUuid& device, std::uint32_t parameterId) const {
  if (m_indexStale) IndexMembers();
  const MemberKey key{device, parameterId};
  auto found = m_index.find(key);
  // A member whose fields were changed after it was indexed is looked up afresh.
  if (found != m_index.end() && !(found->second->GetUuid() == device && found->second->m_parameterId == parameterId)) {
    IndexMembers();
    found = m_index.find(key);
  }
  return found == m_index.end() ? nullptr : found->second;
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
  m_indexStale = true;
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
  // The members are filled in after they joined the list: the index is built at the next look-up.
  m_indexStale = true;
  for (std::uint32_t i = 0; i < count; ++i) {
    auto* ref = new CLinkRef;
    m_members.push_back(ref);
    ref->Serialize(ar);
  }
  m_master = ar.ReadI32();
  m_name = ar.ReadString();
  m_expanded = ar.ReadBool();
}

namespace {

constexpr std::uint32_t kOwedValuesVersion = 1;
// An entry's least bytes: two indexes, kind, number, integer, flag and an empty text's length.
constexpr std::size_t kOwedValueMinSize = 4 * 6 + 1;

}  // namespace

bool AnyLinkOwesAValue(const std::vector<CLink*>& links) {
  for (const CLink* link : links)
    for (const CLinkRef* member : link->GetMembers())
      if (member->IsOutOfLine()) return true;
  return false;
}

void StoreOwedLinkValues(CArchive& ar, const std::vector<CLink*>& links) {
  std::uint32_t count = 0;
  for (const CLink* link : links)
    for (const CLinkRef* member : link->GetMembers()) count += member->IsOutOfLine() ? 1 : 0;
  ar.WriteU32(kOwedValuesVersion);
  ar.WriteU32(count);
  for (std::size_t l = 0; l < links.size(); ++l) {
    const std::vector<CLinkRef*>& members = links[l]->GetMembers();
    for (std::size_t m = 0; m < members.size(); ++m) {
      if (!members[m]->IsOutOfLine()) continue;
      const CParamValue& value = *members[m]->GetMissedValue();
      ar.WriteU32(std::uint32_t(l));
      ar.WriteU32(std::uint32_t(m));
      ar.WriteI32(std::int32_t(value.kind));
      ar.WriteFloat(value.value);
      ar.WriteI32(value.integer);
      ar.WriteBool(value.flag != 0);
      ar.WriteString(value.text);
    }
  }
}

void LoadOwedLinkValues(CArchive& ar, const std::vector<CLink*>& links) {
  ReadRecordVersion(ar, kOwedValuesVersion, kOwedValuesVersion, "owed link values");
  const std::uint32_t count = ar.ReadU32();
  ar.CheckCount(count, kOwedValueMinSize);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t l = ar.ReadU32();
    const std::uint32_t m = ar.ReadU32();
    const std::int32_t kind = ar.ReadI32();
    CParamValue value;
    value.value = ar.ReadFloat();
    value.integer = ar.ReadI32();
    value.flag = ar.ReadBool() ? 1 : 0;
    value.text = ar.ReadString();
    if (l >= links.size() || m >= links[l]->GetMembers().size())
      throw CArchiveException(CArchiveException::BadFormat, "an owed link value names no link member");
    if (kind < std::int32_t(ParamKind::kLevel) || kind > std::int32_t(ParamKind::kTime))
      throw CArchiveException(CArchiveException::BadFormat, "an owed link value of a kind no parameter has");
    CLinkRef& member = *links[l]->GetMembers()[m];
    value.kind = ParamKind(kind);
    value.id = std::int32_t(member.m_parameterId);
    member.SetMissedValue(value);
  }
}
