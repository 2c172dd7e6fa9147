// The main frame's snapshot commands: the Snapshot toolbar's combo, which recalls the chosen
// snapshot after the confirmation, New (a new snapshot or one overwritten), Delete and Rename
// of the combo's snapshot, a recall asked for by a custom panel's button, and the tip that says
// what a recall could not do. UI thread.
#pragma once

#include <cstdint>
#include <string>

class CErrorTip;
class CMainFrame;
class CSystem;

class CSnapshotCommands {
 public:
  static constexpr int kSnapshotTipMs = 3000;

  CSnapshotCommands(CMainFrame& frame, CSystem& system) : m_frame(frame), m_system(system) {}
  CSnapshotCommands(const CSnapshotCommands&) = delete;
  CSnapshotCommands& operator=(const CSnapshotCommands&) = delete;

  // Refilled after New and Open, and after the snapshots changed.
  void FillSnapshotCombo();
  void OnSnapshotCombo();
  void OnNewSnapshot();
  void OnDeleteSnapshot();
  void OnRenameSnapshot();
  // The snapshot named by its UUID text, after the confirmation; nothing when none has it.
  // button is the handle of the custom-panel button that asked for it (0: none), under which
  // a refusal, or the units the recall passed by, are told; without that button, under the
  // snapshot combo.
  void OnRecallSnapshot(const std::string& snapshotId, std::uint64_t button = 0);
  // After a recall was asked for: the combo filled again when the snapshot was recalled, else
  // the snapshot controls showing the current snapshot again.
  void ShowSnapshotRecall(bool recalled);
  // Says message in a tip under the snapshot combo: what a recall made there could not do.
  void SayAtSnapshotCombo(const std::string& message);
  // The tip, null before the first message.
  CErrorTip* GetSnapshotTip() const { return m_snapshotTip; }

 private:
  // The snapshot combo, the properties and the modified flag after snapshots were added,
  // overwritten or deleted.
  void AfterSnapshotsChanged();

  CMainFrame& m_frame;
  CSystem& m_system;
  CErrorTip* m_snapshotTip = nullptr;  // a child window of the frame, made at the first message
};
