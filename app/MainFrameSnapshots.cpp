// Main frame: the Snapshot toolbar's combo and its New, Delete and Rename commands.
#include <QComboBox>

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/UserPrompts.h"
#include "core/model/Confirm.h"
#include "core/model/Snapshot.h"
#include "core/model/User.h"
#include "ui/DevicePropertiesPane.h"
#include "ui/SnapshotDialogs.h"
#include "widgets/ErrorTip.h"

std::optional<bool> CMainFrame::IsSnapshotCommandEnabled(std::uint32_t id) const {
  using namespace Cmd;
  const bool unrestricted = !CurrentUserHasRestriction(~std::uint64_t(0));
  switch (id) {
    case kSnapshotCombo: return !CurrentUserHasRestriction(kRestrictRecallSnapshots);
    case kNewSnapshot: return m_system.GetDeviceCount() > 0 && unrestricted;
    case kDeleteSnapshot:
    case kRenameSnapshot:
      return !m_system.GetSnapshots().empty() && m_snapshotCombo->currentIndex() >= 0 && unrestricted;
    default: return std::nullopt;
  }
}

void CMainFrame::OnSnapshotCombo() {
  if (!IsCommandEnabled(Cmd::kSnapshotCombo)) return;
  const int index = m_snapshotCombo->currentIndex();
  std::string notRecalled;
  ShowSnapshotRecall(index >= 0 && index < int(m_system.GetSnapshots().size()) &&
                     m_system.ConfirmAction(kConfirmSnapshotRecall) &&
                     m_system.Snapshots().RecallSnapshot(index, &notRecalled));
  // The units the recall passed by are named where it was made, not only in the log.
  if (!notRecalled.empty()) SayAtSnapshotCombo(notRecalled);
}

void CMainFrame::SayAtSnapshotCombo(const std::string& message) {
  if (!m_snapshotTip) m_snapshotTip = new CErrorTip(this);
  const QRect combo(m_snapshotCombo->mapTo(this, QPoint(0, 0)), m_snapshotCombo->size());
  m_snapshotTip->ShowBeside(*this, combo, QString::fromStdString(message), kSnapshotTipMs);
}

void CMainFrame::ShowSnapshotRecall(bool recalled) {
  if (recalled) {
    FillSnapshotCombo();
    // The toolbar shows the snapshot just recalled, whichever road recalled it (the combo, a
    // panel's button), so that Delete and Rename act on the one the person sees.
    const int current = m_system.GetCurrentSnapshot();
    if (current >= 0 && current < m_snapshotCombo->count()) m_snapshotCombo->setCurrentIndex(current);
    // The recall ended what the links were to give the members it passed by.
    ShowLinkMarksInOpenManager();
  } else {
    m_system.Snapshots().UpdateSnapshotControls(m_system.GetCurrentSnapshot());
    // A snapshot chosen in the combo and not recalled (the question declined) is not shown as
    // if it were: the combo goes back to the one recalled last, when there is one.
    const int current = m_system.GetCurrentSnapshot();
    if (current >= 0 && current < m_snapshotCombo->count()) m_snapshotCombo->setCurrentIndex(current);
  }
}

void CMainFrame::OnNewSnapshot() {
  std::int32_t index = std::max(m_snapshotCombo->currentIndex(), 0);
  std::string name = DefaultSnapshotName(m_system);
  bool isNew = true;
  if (!Prompts().RunSnapshotCreate(m_system, index, name, isNew)) return;
  if (isNew) {
    m_system.Snapshots().AddSnapshot(name);
  } else {
    m_system.Snapshots().CaptureSnapshot(index);
  }
  AfterSnapshotsChanged();
}

void CMainFrame::OnDeleteSnapshot() {
  const int index = m_snapshotCombo->currentIndex();
  const auto& snapshots = m_system.GetSnapshots();
  if (index >= 0 && index < int(snapshots.size())) {
    // The question names the snapshot; the one deleted is the one named, found again after the
    // answer, whatever happened to the list meanwhile.
    const CUuid named = snapshots[std::size_t(index)]->GetUuid();
    if (m_system.ConfirmActionOn(kConfirmSnapshotDelete, snapshots[std::size_t(index)]->m_name)) {
      for (std::size_t i = 0; i < snapshots.size(); ++i) {
        if (snapshots[i]->GetUuid() != named) continue;
        m_system.Snapshots().DeleteSnapshot(int(i));
        break;
      }
    }
  }
  AfterSnapshotsChanged();
}

void CMainFrame::AfterSnapshotsChanged() {
  FillSnapshotCombo();
  m_propertiesPane->RefreshProperties();
  m_system.SetModified(true);
}

void CMainFrame::OnRenameSnapshot() {
  const int index = m_snapshotCombo->currentIndex();
  if (index < 0 || index >= int(m_system.GetSnapshots().size())) return;
  CSnapshot* snapshot = m_system.GetSnapshots()[std::size_t(index)];
  std::string name = snapshot->m_name;
  if (!Prompts().RunSnapshotRename(m_system, index, name)) return;
  snapshot->m_name = name;
  FillSnapshotCombo();
  m_system.SetModified(true);
}
