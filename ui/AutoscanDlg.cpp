// Autoscan progress dialog.
#include "ui/AutoscanDlg.h"

#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>
#include <QTimerEvent>

#include "core/system/System.h"

CAutoscanDlg::CAutoscanDlg(CSystem& system, QWidget* parent) : CBitmapDialogEx(parent), m_system(system) {
  m_status = new QLabel(this);
  m_status->setGeometry(16, 34, 268, 20);
  m_stop = new QPushButton(QStringLiteral("Stop"), this);
  m_stop->setGeometry(110, 64, 80, 24);
  connect(m_stop, &QPushButton::clicked, this, &CAutoscanDlg::reject);
  resize(300, 100);
}

CAutoscanDlg::~CAutoscanDlg() {
  // A dialog that goes while the scan still runs stops it and takes itself back.
  if (m_handedOver && m_running) {
    m_running = false;
    CDiscoveryPass& discovery = m_system.GetComms().Discovery();
    if (discovery.GetAutoscanDialog() == this) discovery.SetAutoscanDialog(nullptr, nullptr);
  }
}

void CAutoscanDlg::showEvent(QShowEvent* event) {
  CBitmapDialogEx::showEvent(event);
  if (m_handedOver) return;
  m_handedOver = true;
  m_watchTimer = startTimer(kWatchMs);
  m_running = true;
  m_system.GetComms().Discovery().SetAutoscanDialog(this, &m_running);
}

void CAutoscanDlg::OnStatusText(const std::string& text) {
  const QString line = QString::fromStdString(text);
  // Queued to the dialog's thread; dropped when the dialog is gone by then.
  QMetaObject::invokeMethod(this, [this, line] { m_status->setText(line); }, Qt::QueuedConnection);
}

QString CAutoscanDlg::GetStatusText() const { return m_status->text(); }

void CAutoscanDlg::reject() { m_running = false; }

void CAutoscanDlg::timerEvent(QTimerEvent* event) {
  if (event->timerId() != m_watchTimer) {
    CBitmapDialogEx::timerEvent(event);
    return;
  }
  if (m_running || m_system.GetComms().GetWorkerState() == kWorkerAutoscan) return;
  killTimer(m_watchTimer);
  m_watchTimer = 0;
  CBitmapDialogEx::reject();  // the closing fade
}
