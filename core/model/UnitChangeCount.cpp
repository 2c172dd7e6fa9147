// Autosave's count of a unit's changes.
#include "core/model/UnitChangeCount.h"

#include <algorithm>

#include "core/protocol/ControlMessage.h"

bool CUnitChangeCount::MayStore(const CControlMessage& reply) const {
  if (reply.write) return false;
  return std::find(m_meterCommands.begin(), m_meterCommands.end(), reply.command) == m_meterCommands.end();
}
