// The go-online question dialog.
#include "ui/GoOnlineAskDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

CGoOnlineAskDlg::CGoOnlineAskDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Go Online"));
  auto* group = new QGroupBox(QStringLiteral("Do you want to :"), this);
  m_retrieve = new QRadioButton(QStringLiteral("Retrieve settings from the units"), group);
  m_send = new QRadioButton(QStringLiteral("Send settings to the units"), group);
  auto* groupLayout = new QVBoxLayout(group);
  groupLayout->addWidget(m_retrieve);
  groupLayout->addWidget(m_send);
  m_alwaysBox = new QCheckBox(QStringLiteral("Always do this and don't ask me again"), this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addWidget(group);
  layout->addWidget(m_alwaysBox);
  layout->addWidget(buttons);

  m_retrieve->setChecked(true);
  connect(m_retrieve, &QRadioButton::clicked, this, [this] { m_choice = 0; });
  connect(m_send, &QRadioButton::clicked, this, [this] { m_choice = 1; });
  connect(m_alwaysBox, &QCheckBox::clicked, this, [this](bool on) { m_always = on; });
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}
