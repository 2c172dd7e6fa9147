// A set of parameter ids.
#include "core/model/ParamIdSet.h"

#include <algorithm>

void CParamIdSet::Add(std::uint32_t id) {
  if (!Has(id)) m_ids.push_back(id);
}

void CParamIdSet::Remove(std::uint32_t id) { m_ids.erase(std::remove(m_ids.begin(), m_ids.end(), id), m_ids.end()); }

bool CParamIdSet::Has(std::uint32_t id) const { return std::find(m_ids.begin(), m_ids.end(), id) != m_ids.end(); }
