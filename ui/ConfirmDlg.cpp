// The confirmation question box.
#include "ui/ConfirmDlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CConfirmDlg::CConfirmDlg(const QString& caption, const QString& question, const QString& okText, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(caption);
  m_question = new QLabel(question, this);
  m_question->setWordWrap(true);
  m_neverAgainBox = new QCheckBox(QStringLiteral("Don't bother me with this dialog box ever again"), this);
  m_ok = new QPushButton(okText, this);
  m_ok->setDefault(true);
  m_cancel = new QPushButton(QStringLiteral("Cancel"), this);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_ok);
  buttons->addWidget(m_cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_question);
  layout->addWidget(m_neverAgainBox);
  layout->addLayout(buttons);

  connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CConfirmDlg::accept() {
  m_neverAgain = m_neverAgainBox->isChecked();
  QDialog::accept();
}

bool CQtConfirmPrompt::AskConfirm(const std::string& caption, const std::string& question, const std::string& okText,
                                  bool& neverAgain) {
  CConfirmDlg dlg(QString::fromStdString(caption), QString::fromStdString(question), QString::fromStdString(okText),
                  m_owner);
  if (dlg.exec() != QDialog::Accepted) return false;
  neverAgain = dlg.GetNeverAgain();
  return true;
}
