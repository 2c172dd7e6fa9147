// A set of parameter ids that a family keeps for its own rules (the processor keeps the ids of
// the changes under way, so that a change that another one sets off is told from the outermost).
#pragma once

#include <cstdint>
#include <vector>

// UI thread (the family's change path).
class CParamIdSet {
 public:
  CParamIdSet() = default;
  CParamIdSet(const CParamIdSet&) = delete;
  CParamIdSet& operator=(const CParamIdSet&) = delete;

  // Adds the id when it is not in the set yet.
  void Add(std::uint32_t id);
  void Remove(std::uint32_t id);
  bool Has(std::uint32_t id) const;
  // True when the id is the only one in the set.
  bool IsOnly(std::uint32_t id) const { return m_ids.size() == 1 && m_ids.front() == id; }

 private:
  std::vector<std::uint32_t> m_ids;
};
