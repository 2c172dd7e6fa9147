// The main frame's snapshot commands.
#include "app/SnapshotCommands.h"

#include <QComboBox>
#include <algorithm>

#include "app/CommandIds.h"
#include "app/CommandStates.h"
#include "app/MainFrame.h"
#include "app/UserPrompts.h"
#include "core/model/Confirm.h"
#include "core/model/Device.h"
#include "core/model/Snapshot.h"
#include "core/model/User.h"
#include "custom/CPData.h"
#include "custom/CustomControlObject.h"
#include "ui/CustomControlPanelWnd.h"
#include "ui/DevicePropertiesPane.h"
#include "ui/SnapshotDialogs.h"
#include "widgets/ErrorTip.h"

void CSnapshotCommands::OnSnapshotCombo() {
  if (!m_frame.m_commandStates->IsCommandEnabled(Cmd::kSnapshotCombo)) return;
  const int index = m_frame.m_snapshotCombo->currentIndex();
  std::string notRecalled;
  ShowSnapshotRecall(index >= 0 && index < int(m_system.GetSnapshots().size()) &&
                     m_system.ConfirmAction(kConfirmSnapshotRecall) && m_system.Snapshots().RecallSnapshot(index, &notRecalled));
  // The units the recall passed by are named where it was made, not only in the log.
  if (!notRecalled.empty()) SayAtSnapshotCombo(notRecalled);
}

void CSnapshotCommands::SayAtSnapshotCombo(const std::string& message) {
  if (!m_snapshotTip) m_snapshotTip = new CErrorTip(&m_frame);
  const QRect combo(m_frame.m_snapshotCombo->mapTo(&m_frame, QPoint(0, 0)), m_frame.m_snapshotCombo->size());
  m_snapshotTip->ShowBeside(m_frame, combo, QString::fromStdString(message), kSnapshotTipMs);
}

void CSnapshotCommands::ShowSnapshotRecall(bool recalled) {
  if (recalled) {
    FillSnapshotCombo();
    // The toolbar shows the snapshot just recalled, whichever road recalled it (the combo, a
    // panel's button), so that Delete and Rename act on the one the person sees.
    const int current = m_system.GetCurrentSnapshot();
    if (current >= 0 && current < m_frame.m_snapshotCombo->count()) m_frame.m_snapshotCombo->setCurrentIndex(current);
    // The recall ended what the links were to give the members it passed by.
    m_frame.ShowLinkMarksInOpenManager();
  } else {
    m_system.Snapshots().UpdateSnapshotControls(m_system.GetCurrentSnapshot());
    // A snapshot chosen in the combo and not recalled (the question declined) is not shown as
    // if it were: the combo goes back to the one recalled last, when there is one.
    const int current = m_system.GetCurrentSnapshot();
    if (current >= 0 && current < m_frame.m_snapshotCombo->count()) m_frame.m_snapshotCombo->setCurrentIndex(current);
  }
}

void CSnapshotCommands::OnNewSnapshot() {
  std::int32_t index = std::max(m_frame.m_snapshotCombo->currentIndex(), 0);
  std::string name = DefaultSnapshotName(m_system);
  bool isNew = true;
  if (!m_frame.Prompts().RunSnapshotCreate(m_system, index, name, isNew)) return;
  if (isNew) {
    m_system.Snapshots().AddSnapshot(name);
  } else {
    m_system.Snapshots().CaptureSnapshot(index);
  }
  AfterSnapshotsChanged();
}

void CSnapshotCommands::OnDeleteSnapshot() {
  const int index = m_frame.m_snapshotCombo->currentIndex();
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

void CSnapshotCommands::AfterSnapshotsChanged() {
  FillSnapshotCombo();
  m_frame.m_propertiesPane->RefreshProperties();
  m_system.SetModified(true);
}

void CSnapshotCommands::OnRenameSnapshot() {
  const int index = m_frame.m_snapshotCombo->currentIndex();
  if (index < 0 || index >= int(m_system.GetSnapshots().size())) return;
  CSnapshot* snapshot = m_system.GetSnapshots()[std::size_t(index)];
  std::string name = snapshot->m_name;
  if (!m_frame.Prompts().RunSnapshotRename(m_system, index, name)) return;
  snapshot->m_name = name;
  FillSnapshotCombo();
  m_system.SetModified(true);
}
void CSnapshotCommands::FillSnapshotCombo() {
  QComboBox& combo = *m_frame.m_snapshotCombo;
  const int previous = combo.currentIndex();
  combo.clear();
  const auto& snapshots = m_system.GetSnapshots();
  for (std::size_t i = 0; i < snapshots.size(); ++i) {
    QString name = QString::fromStdString(snapshots[i]->m_name);
    if (int(i) == m_system.GetCurrentSnapshot()) name += QLatin1Char('*');
    combo.addItem(name, QVariant::fromValue(int(i)));
  }
  const int count = combo.count();
  if (count == 0) return;
  combo.setCurrentIndex(previous < 0 ? 0 : previous < count ? previous : count - 1);
}

void CSnapshotCommands::OnRecallSnapshot(const std::string& snapshotId, std::uint64_t button) {
  // What the recall could not do is said under the button that asked for it, found after the
  // question (its panel may have closed meanwhile), else under the snapshot combo.
  const auto say = [this, button](const std::string& message) {
    for (CCPData* panel : m_system.GetCustomPanels()) {
      if (!panel->m_pView) continue;
      for (CCustomControlObject* widget : panel->m_widgets) {
        if (button == 0 || widget->GetHandle() != button) continue;
        panel->m_pView->ShowWidgetMessage(*widget, message);
        return;
      }
    }
    SayAtSnapshotCombo(message);
  };
  const auto& snapshots = m_system.GetSnapshots();
  for (std::size_t i = 0; i < snapshots.size(); ++i) {
    if (snapshots[i]->GetUuid().ToString() != snapshotId) continue;
    // A user who may not recall is not asked; the button shows the current snapshot again.
    if (!m_system.MayCurrentUserRecallSnapshots()) {
      ShowSnapshotRecall(false);
      say(NoRightRefusal(kRestrictRecallSnapshots));
      return;
    }
    std::string notRecalled;
    ShowSnapshotRecall(m_system.ConfirmAction(kConfirmSnapshotRecall) && m_system.Snapshots().RecallSnapshot(int(i), &notRecalled));
    if (!notRecalled.empty()) say(notRecalled);
    return;
  }
}
