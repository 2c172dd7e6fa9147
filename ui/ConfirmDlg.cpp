// The confirmation question box.
#include "ui/ConfirmDlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

QHBoxLayout* MakeQuestionRow(QWidget* owner, QWidget* question) {
  auto* icon = new QLabel(owner);
  const int size = owner->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, owner);
  icon->setPixmap(owner->style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, owner).pixmap(size, size));
  icon->setAlignment(Qt::AlignTop);
  auto* row = new QHBoxLayout;
  row->setSpacing(12);
  row->addWidget(icon, 0, Qt::AlignTop);
  row->addWidget(question, 1);
  return row;
}

void PadQuestionButton(QPushButton* button) {
  button->setMinimumWidth(std::max(80, button->fontMetrics().horizontalAdvance(button->text()) + 24));
}

CConfirmDlg::CConfirmDlg(const QString& caption, const QString& question, const QString& okText, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(caption);
  m_question = new QLabel(question, this);
  m_question->setWordWrap(true);
  m_question->setMinimumWidth(300);
  m_neverAgainBox = new QCheckBox(QStringLiteral("Don't bother me with this dialog box ever again"), this);
  m_ok = new QPushButton(okText, this);
  m_ok->setDefault(true);
  m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
  PadQuestionButton(m_ok);
  PadQuestionButton(m_cancel);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_ok);
  buttons->addWidget(m_cancel);
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->addLayout(MakeQuestionRow(this, m_question));
  layout->addSpacing(6);
  layout->addWidget(m_neverAgainBox);
  layout->addSpacing(6);
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
