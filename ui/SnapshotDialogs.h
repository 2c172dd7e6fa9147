// The snapshot dialogs of the main frame's snapshot commands: "New Snapshot" names a new
// snapshot or picks an existing one to overwrite; "Rename Snapshot" edits a name. They only
// collect the choice; the frame applies it. UI thread.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "widgets/BitmapDialogEx.h"

class CSystem;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

class CSnapshotCreateDlg : public CBitmapDialogEx {
 public:
  CSnapshotCreateDlg(QWidget* parent, CSystem* system, const QString& title, const QString& defaultName);

  // On entry: the entry of the snapshot list to preselect. On exit (after OK): with the new
  // flag 1 the typed name makes a new snapshot; with 0 the chosen entry (-1 none) is
  // overwritten.
  QString m_name;
  std::int32_t m_newSnapshot = 1;
  std::int32_t m_snapshotIndex = 0;

  QLineEdit* NameEdit() const { return m_edit; }
  QCheckBox* OverwriteBox() const { return m_overwrite; }
  QComboBox* SnapshotList() const { return m_list; }
  QPushButton* OkButton() const { return m_ok; }
  QPushButton* CancelButton() const { return m_cancel; }

  static const char* DuplicateNameText() { return "A snapshot with that name exists already"; }
  // True when a snapshot other than index is named name (exactly).
  static bool IsNameTaken(const CSystem& system, const std::string& name, int index = -1);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void UpdateEnabling();
  void OnOK();

  CSystem* m_system;
  QLineEdit* m_edit;
  QCheckBox* m_overwrite;
  QComboBox* m_list;
  QPushButton* m_ok;
  QPushButton* m_cancel;
  bool m_opened = false;
};

class CSnapshotRenameDlg : public CBitmapDialogEx {
 public:
  // Renames snapshot index of the system: OK refuses a name that another snapshot has, as New
  // Snapshot does.
  CSnapshotRenameDlg(QWidget* parent, CSystem* system, int index);

  // The current name on entry, the typed name after OK.
  QString m_name;

  QLineEdit* NameEdit() const { return m_edit; }
  QPushButton* OkButton() const { return m_ok; }
  QPushButton* CancelButton() const { return m_cancel; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  CSystem* m_system;
  int m_index;
  QLineEdit* m_edit;
  QPushButton* m_ok;
  QPushButton* m_cancel;
  bool m_opened = false;
};

// The default name of a new snapshot: "Snapshot %d" with the smallest number from 1 that no
// snapshot's name equals exactly.
std::string DefaultSnapshotName(const CSystem& system);
