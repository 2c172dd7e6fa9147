// The system's snapshots: capture, recall, delete and the lit state of snapshot buttons.
#include "custom/CPData.h"
#include "core/model/Device.h"
#include "core/model/DeviceHost.h"
#include "core/model/User.h"
#include "core/model/Snapshot.h"
#include "core/system/System.h"

namespace {
// Appends every device's settings image now to the snapshot.
void CaptureImages(const CSystem& system, CSnapshot& snapshot) {
  for (CDevice* device : system.GetDevices())
    if (CSnapshotData* image = device->CreateSnapshotData()) snapshot.m_data.push_back(image);
}
}  // namespace

CSnapshot* CSystem::AddSnapshot(const std::string& name) {
  auto* snapshot = new CSnapshot(name);
  CaptureImages(*this, *snapshot);
  AppendSnapshot(snapshot);
  return snapshot;
}

CSnapshot* CSystem::CaptureSnapshot(int index) {
  const std::vector<CSnapshot*>& snapshots = GetSnapshots();
  if (index < 0 || std::size_t(index) >= snapshots.size()) return nullptr;
  CSnapshot now(snapshots[std::size_t(index)]->m_name);
  CaptureImages(*this, now);
  snapshots[std::size_t(index)]->CopyFrom(now);
  return snapshots[std::size_t(index)];
}

bool CSystem::MayCurrentUserRecallSnapshots() const { return CurrentUserHolds(this, kRestrictRecallSnapshots); }

bool CSystem::RecallSnapshot(int index) {
  const std::vector<CSnapshot*>& snapshots = GetSnapshots();
  if (index < 0 || std::size_t(index) >= snapshots.size() || !MayCurrentUserRecallSnapshots()) return false;
  const CSnapshot& snapshot = *snapshots[std::size_t(index)];
  // Each device announces its recalled values to its panels and custom panels; were they to
  // spread over the links, each unit's recall would overwrite the members recalled before it.
  WithoutSpreading([&] { ApplyImages(snapshot); });
  const int previous = GetCurrentSnapshot();
  SetCurrentSnapshot(index);
  // The devices' settings and the current snapshot are kept in the file.
  SetModified(true);
  UpdateSnapshotControls(previous);
  UpdateSnapshotControls(index);
  return true;
}

void CSystem::ApplyImages(const CSnapshot& snapshot) {
  EndLinkValuesSupersededByRecall(snapshot);
  for (const CSnapshotData* image : snapshot.m_data) {
    CDevice* device = FindDeviceByUuid(image->GetUuid());
    if (!device) continue;
    // Online, a unit that is not connected would miss the recall while the file and the
    // windows showed it: the device keeps what its unit holds, and the log names it.
    if (device->IsAwayOnline()) {
      WriteLog("Snapshot \"" + snapshot.m_name + "\" not recalled on " + device->GetUnitText() +
               " (not connected)\n");
      continue;
    }
    device->RecallSnapshotImage(*image, CDevice::CSystemPass{});
  }
}

void CSystem::DeleteSnapshot(int index) {
  if (index < 0 || std::size_t(index) >= m_snapshots.size()) return;
  if (index == m_currentSnapshot) {
    m_currentSnapshot = -1;
    UpdateSnapshotControls(index);
  } else if (index < m_currentSnapshot) {
    // The current snapshot moves down one place: it stays the current one.
    --m_currentSnapshot;
  }
  CSnapshot* snapshot = m_snapshots[std::size_t(index)];
  const CUuid uuid = snapshot->GetUuid();
  for (CCPData* panel : GetCustomPanels()) panel->ClearSnapshotReference(uuid);
  for (CCustomControlObject* widget : GetCopiedWidgets()) widget->ClearSnapshotReference(uuid);
  m_snapshots.erase(m_snapshots.begin() + index);
  delete snapshot;
}

void CSystem::UpdateSnapshotControls(int index) {
  if (index < 0 || std::size_t(index) >= GetSnapshots().size()) return;
  const CUuid uuid = GetSnapshots()[std::size_t(index)]->GetUuid();
  for (CCPData* panel : GetCustomPanels())
    if (panel->m_pView) panel->m_pView->BroadcastSnapshotRecalled(uuid);
}
