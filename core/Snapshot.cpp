// Snapshot images.
#include "core/Snapshot.h"

void CSnapshot::Clear() {
  for (CSnapshotData* d : m_data) delete d;
  m_data.clear();
}
