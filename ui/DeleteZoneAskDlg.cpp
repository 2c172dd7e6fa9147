// The delete-zone question.
#include "ui/DeleteZoneAskDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/ConfirmDlg.h"

CDeleteZoneAskDlg::CDeleteZoneAskDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Delete Zone"));
  auto* text = new QLabel(QStringLiteral("Do you want to delete the devices in this zone?"), this);
  m_delete = new QPushButton(QStringLiteral("Delete Devices"), this);
  m_keep = new QPushButton(QStringLiteral("Don't Delete Devices"), this);
  m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
  m_keep->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (QPushButton* button : {m_delete, m_keep, m_cancel}) {
    PadQuestionButton(button);
    buttons->addWidget(button);
  }
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->addLayout(MakeQuestionRow(this, text));
  layout->addSpacing(12);
  layout->addLayout(buttons);
  connect(m_delete, &QPushButton::clicked, this, [this] {
    m_bDeleteDevices = 1;
    accept();
  });
  connect(m_keep, &QPushButton::clicked, this, [this] {
    m_bDeleteDevices = 0;
    accept();
  });
  connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}
