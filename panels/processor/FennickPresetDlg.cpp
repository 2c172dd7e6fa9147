// The preset name dialog: one line edit that takes 16 typed characters, shown at the panel's
// position with the caller's caption.
#include "panels/processor/FennickPresetDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "devices/processor/NerexPresets.h"
#include "widgets/TypedLength.h"

CFennickPresetDlg::CFennickPresetDlg(QWidget* parent, int x, int y, const QString& caption)
    : CBitmapDialogEx(parent, caption), m_offset(x, y) {
  auto* label = new QLabel(QStringLiteral("Preset Name"), this);
  m_edit = new QLineEdit(this);
  LimitTypedLength(m_edit, kNameLength);
  m_edit->setMinimumWidth(200);
  m_save = new QPushButton(QStringLiteral("Save"), this);
  m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
  m_save->setDefault(true);

  auto* layout = new QVBoxLayout(this);
  // Room for the skinned caption bar above the controls.
  layout->setContentsMargins(14, 30, 14, 12);
  layout->setSpacing(6);
  layout->addWidget(label);
  layout->addWidget(m_edit);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_save);
  buttons->addWidget(m_cancel);
  layout->addLayout(buttons);

  connect(m_save, &QPushButton::clicked, this, [this] {
    // The memory's own name, as the unit gave it, goes back as it is: only a typed one must be
    // one a person may type.
    const bool asShown = m_edit->text() == m_name;
    if (const std::string refusal = asShown ? std::string() : PresetNameRefusal(m_edit->text().toStdString());
        !refusal.empty()) {
      ShowWarning(QString::fromStdString(refusal));
      return;
    }
    m_name = m_edit->text();
    accept();
  });
  connect(m_cancel, &QPushButton::clicked, this, [this] { reject(); });
}

void CFennickPresetDlg::showEvent(QShowEvent* event) {
  if (!m_opened) {
    m_opened = true;
    m_edit->setText(m_name.left(kNameLength));
    m_edit->selectAll();
    m_edit->setFocus();
    if (QWidget* parent = parentWidget()) move(parent->mapToGlobal(m_offset));
  }
  CBitmapDialogEx::showEvent(event);
}
