// Link members and look-up.
#include "core/Link.h"

CLink::~CLink() {
  for (CLinkRef* r : m_members) delete r;
}

CLinkRef* CLink::FindRef(const CUuid& device, std::uint32_t parameterId) const {
  for (CLinkRef* r : m_members)
    if (r->m_parameterId == parameterId && r->GetUuid() == device) return r;
  return nullptr;
}

int CLink::RemoveDeviceRefs(const CUuid& device) {
  int removed = 0;
  for (std::size_t i = 0; i < m_members.size();) {
    if (m_members[i]->GetUuid() == device) {
      delete m_members[i];
      m_members.erase(m_members.begin() + std::ptrdiff_t(i));
      ++removed;
    } else {
      ++i;
    }
  }
  return removed;
}
