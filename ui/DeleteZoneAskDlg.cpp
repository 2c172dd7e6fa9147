// The delete-zone question.
#include "ui/DeleteZoneAskDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/ConfirmDlg.h"

namespace {

// A zone name is cut short past this many characters in the question.
constexpr int kShownZoneNameChars = 40;

}  // namespace

QString CDeleteZoneAskDlg::QuestionText(const QString& zoneName, int deviceCount) {
  QString name = zoneName;
  if (name.size() > kShownZoneNameChars) name = name.left(kShownZoneNameChars - 1) + QChar(0x2026);
  const QString count = deviceCount == 1 ? QStringLiteral("1 device") : QStringLiteral("%1 devices").arg(deviceCount);
  return QStringLiteral("Zone \"%1\" holds %2.\nDo you want to delete the devices in this zone?").arg(name, count);
}

CDeleteZoneAskDlg::CDeleteZoneAskDlg(const QString& zoneName, int deviceCount, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Delete Zone"));
  m_question = new QLabel(QuestionText(zoneName, deviceCount), this);
  m_question->setTextFormat(Qt::PlainText);
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
  layout->addLayout(MakeQuestionRow(this, m_question));
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
