// The delete-zone question.
#include "ui/DeleteZoneAskDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CDeleteZoneAskDlg::CDeleteZoneAskDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Delete Zone"));
  auto* text = new QLabel(QStringLiteral("Do you want to delete the devices in this zone?"), this);
  m_delete = new QPushButton(QStringLiteral("Delete Devices"), this);
  m_keep = new QPushButton(QStringLiteral("Don't Delete Devices"), this);
  m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
  m_keep->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_delete);
  buttons->addWidget(m_keep);
  buttons->addWidget(m_cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addSpacing(8);
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
