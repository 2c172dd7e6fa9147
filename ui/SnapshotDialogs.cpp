// Snapshot creation and rename dialogs.
#include "ui/SnapshotDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/model/NameRules.h"
#include "core/model/Snapshot.h"
#include "core/system/System.h"

namespace {

constexpr int kTitleSpace = 30;  // below the drawn title bar

QHBoxLayout* OkCancelRow(QPushButton* ok, QPushButton* cancel) {
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(ok);
  row->addWidget(cancel);
  ok->setDefault(true);
  return row;
}

QVBoxLayout* DialogLayout(QWidget* dialog) {
  auto* layout = new QVBoxLayout(dialog);
  layout->setContentsMargins(14, kTitleSpace, 14, 12);
  layout->setSpacing(6);
  return layout;
}

}  // namespace

std::string DefaultSnapshotName(const CSystem& system) {
  for (int n = 1;; ++n) {
    const std::string name = "Snapshot " + std::to_string(n);
    bool taken = false;
    for (const CSnapshot* s : system.GetSnapshots()) taken = taken || s->m_name == name;
    if (!taken) return name;
  }
}

// --- New Snapshot ---

CSnapshotCreateDlg::CSnapshotCreateDlg(QWidget* parent, CSystem* system, const QString& title,
                                       const QString& defaultName)
    : CBitmapDialogEx(parent, title), m_name(defaultName), m_system(system) {
  m_edit = new QLineEdit(this);
  m_overwrite = new QCheckBox(QStringLiteral("Overwrite existing Snapshot :"), this);
  m_list = new QComboBox(this);
  m_ok = new QPushButton(QStringLiteral("OK"), this);
  m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
  m_edit->setMinimumWidth(220);
  auto* layout = DialogLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("New Snapshot name :"), this));
  layout->addWidget(m_edit);
  layout->addSpacing(6);
  layout->addWidget(m_overwrite);
  layout->addWidget(m_list);
  layout->addSpacing(6);
  layout->addLayout(OkCancelRow(m_ok, m_cancel));
  connect(m_overwrite, &QCheckBox::clicked, this, [this] { UpdateEnabling(); });
  connect(m_ok, &QPushButton::clicked, this, [this] { OnOK(); });
  connect(m_cancel, &QPushButton::clicked, this, [this] { reject(); });
}

bool CSnapshotCreateDlg::IsNameTaken(const CSystem& system, const std::string& name, int index) {
  const std::vector<CSnapshot*>& snapshots = system.GetSnapshots();
  for (std::size_t i = 0; i < snapshots.size(); ++i)
    if (int(i) != index && snapshots[i]->m_name == name) return true;
  return false;
}

void CSnapshotCreateDlg::showEvent(QShowEvent* event) {
  if (!m_opened) {
    m_opened = true;
    m_edit->setText(m_name);
    m_edit->selectAll();
    m_list->clear();
    for (const CSnapshot* s : m_system->GetSnapshots()) m_list->addItem(QString::fromStdString(s->m_name));
    if (m_list->count() > 0) m_list->setCurrentIndex(m_snapshotIndex >= 0 && m_snapshotIndex < m_list->count() ? m_snapshotIndex : -1);
    UpdateEnabling();
    m_edit->setFocus();
  }
  CBitmapDialogEx::showEvent(event);
}

void CSnapshotCreateDlg::UpdateEnabling() {
  m_overwrite->setEnabled(!m_system->GetSnapshots().empty());
  const bool overwrite = m_overwrite->isChecked();
  m_edit->setEnabled(!overwrite);
  m_list->setEnabled(overwrite);
}

void CSnapshotCreateDlg::OnOK() {
  m_name = m_edit->text();
  if (m_overwrite->isChecked()) {
    m_newSnapshot = 0;
    m_snapshotIndex = m_list->currentIndex();
    accept();
    return;
  }
  m_newSnapshot = 1;
  if (const std::string refusal = NameRefusal(m_name.toStdString(), kSnapshotNameRule); !refusal.empty()) {
    ShowWarning(QString::fromStdString(refusal));
    return;
  }
  if (IsNameTaken(*m_system, m_name.toStdString())) {
    ShowWarning(QString::fromLatin1(DuplicateNameText()));
    return;
  }
  accept();
}

// --- Rename Snapshot ---

CSnapshotRenameDlg::CSnapshotRenameDlg(QWidget* parent, CSystem* system, int index)
    : CBitmapDialogEx(parent, QStringLiteral("Rename Snapshot")), m_system(system), m_index(index) {
  m_edit = new QLineEdit(this);
  m_edit->setMinimumWidth(220);
  m_ok = new QPushButton(QStringLiteral("OK"), this);
  m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
  auto* layout = DialogLayout(this);
  layout->addWidget(m_edit);
  layout->addSpacing(6);
  layout->addLayout(OkCancelRow(m_ok, m_cancel));
  connect(m_ok, &QPushButton::clicked, this, [this] {
    if (const std::string refusal = NameRefusal(m_edit->text().toStdString(), kSnapshotNameRule); !refusal.empty()) {
      ShowWarning(QString::fromStdString(refusal));
      return;
    }
    // Two snapshots of one name could not be told apart where one is picked to overwrite.
    if (CSnapshotCreateDlg::IsNameTaken(*m_system, m_edit->text().toStdString(), m_index)) {
      ShowWarning(QString::fromLatin1(CSnapshotCreateDlg::DuplicateNameText()));
      return;
    }
    m_name = m_edit->text();
    accept();
  });
  connect(m_cancel, &QPushButton::clicked, this, [this] { reject(); });
}

void CSnapshotRenameDlg::showEvent(QShowEvent* event) {
  if (!m_opened) {
    m_opened = true;
    m_edit->setText(m_name);
    m_edit->selectAll();
    m_edit->setFocus();
  }
  CBitmapDialogEx::showEvent(event);
}
