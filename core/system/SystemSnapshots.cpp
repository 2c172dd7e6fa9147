// The system's snapshots: capture, recall, delete and the lit state of snapshot buttons.
#include "custom/CPData.h"
#include "core/model/Device.h"
#include "core/model/DeviceHost.h"
#include "core/model/User.h"
#include "core/model/Snapshot.h"
#include "core/system/System.h"
#include "core/system/SystemLinks.h"
#include "core/system/SystemSnapshots.h"

namespace {
// The units named in the words that say where a recall was made which units it passed by.
constexpr std::size_t kNotRecalledNamed = 5;

// "Snapshot "Show" not recalled on Nerex48 Main ID: 1 (not connected)", or for several units
// their count and the first few: "... not recalled on 7 units (not connected): A, B, C, D, E
// and 2 more".
std::string NotRecalledText(const std::string& snapshot, const std::vector<std::string>& units) {
  std::string text = "Snapshot \"" + snapshot + "\" not recalled on ";
  if (units.size() == 1) return text + units.front() + " (not connected)";
  text += std::to_string(units.size()) + " units (not connected): ";
  for (std::size_t i = 0; i < units.size() && i < kNotRecalledNamed; ++i) text += (i ? ", " : "") + units[i];
  if (units.size() > kNotRecalledNamed) text += " and " + std::to_string(units.size() - kNotRecalledNamed) + " more";
  return text;
}

// Appends every device's settings image now to the snapshot.
void CaptureImages(const CSystem& system, CSnapshot& snapshot) {
  for (CDevice* device : system.GetDevices())
    if (CSnapshotData* image = device->CreateSnapshotData()) snapshot.m_data.push_back(image);
}
}  // namespace

CSystemSnapshots::~CSystemSnapshots() { DeleteAllSnapshots(); }

void CSystemSnapshots::DeleteAllSnapshots() {
  for (CSnapshot* s : m_snapshots) delete s;
  m_snapshots.clear();
}

CSnapshot* CSystemSnapshots::AddSnapshot(const std::string& name) {
  auto* snapshot = new CSnapshot(name);
  CaptureImages(m_system, *snapshot);
  AppendSnapshot(snapshot);
  return snapshot;
}

CSnapshot* CSystemSnapshots::CaptureSnapshot(int index) {
  const std::vector<CSnapshot*>& snapshots = GetSnapshots();
  if (index < 0 || std::size_t(index) >= snapshots.size()) return nullptr;
  CSnapshot now(snapshots[std::size_t(index)]->m_name);
  CaptureImages(m_system, now);
  snapshots[std::size_t(index)]->CopyFrom(now);
  return snapshots[std::size_t(index)];
}

bool CSystemSnapshots::RecallSnapshot(int index, std::string* notRecalled) {
  if (notRecalled) notRecalled->clear();
  const std::vector<CSnapshot*>& snapshots = GetSnapshots();
  if (index < 0 || std::size_t(index) >= snapshots.size() || !m_system.MayCurrentUserRecallSnapshots()) return false;
  const CSnapshot& snapshot = *snapshots[std::size_t(index)];
  // Each device announces its recalled values to its panels and custom panels; were they to
  // spread over the links, each unit's recall would overwrite the members recalled before it.
  std::vector<std::string> passedBy;
  m_system.WithoutSpreading([&] { ApplyImages(snapshot, passedBy); });
  if (notRecalled && !passedBy.empty()) *notRecalled = NotRecalledText(snapshot.m_name, passedBy);
  const int previous = GetCurrentSnapshot();
  SetCurrentSnapshot(index);
  // The devices' settings and the current snapshot are kept in the file.
  m_system.SetModified(true);
  UpdateSnapshotControls(previous);
  UpdateSnapshotControls(index);
  return true;
}

void CSystemSnapshots::ApplyImages(const CSnapshot& snapshot, std::vector<std::string>& passedBy) {
  m_system.Links().EndLinkValuesSupersededByRecall(snapshot);
  for (const CSnapshotData* image : snapshot.m_data) {
    CDevice* device = m_system.FindDeviceByUuid(image->GetUuid());
    if (!device) continue;
    // Online, a unit that is not connected would miss the recall while the file and the
    // windows showed it: the device keeps what its unit holds, and the log names it.
    if (device->HeldValues().IsAwayOnline()) {
      passedBy.push_back(device->GetUnitText());
      m_system.WriteLog("Snapshot \"" + snapshot.m_name + "\" not recalled on " + passedBy.back() +
                        " (not connected)\n");
      continue;
    }
    device->SystemEntries().RecallSnapshotImage(*image, CSystemPass{});
  }
}

void CSystemSnapshots::DeleteSnapshot(int index) {
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
  for (CCPData* panel : m_system.GetCustomPanels()) panel->ClearSnapshotReference(uuid);
  for (CCustomControlObject* widget : m_system.Panels().GetCopiedWidgets()) widget->ClearSnapshotReference(uuid);
  m_snapshots.erase(m_snapshots.begin() + index);
  delete snapshot;
}

void CSystemSnapshots::UpdateSnapshotControls(int index) {
  if (index < 0 || std::size_t(index) >= GetSnapshots().size()) return;
  const CUuid uuid = GetSnapshots()[std::size_t(index)]->GetUuid();
  for (CCPData* panel : m_system.GetCustomPanels())
    if (panel->m_pView) panel->m_pView->BroadcastSnapshotRecalled(uuid);
}
