// Autoscan progress dialog.
#include "core/comms/CommsWorker.h"
#include "ui/AutoscanDlg.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>
#include <QTimerEvent>

#include "core/system/System.h"

namespace {
// The dialog's width with and without the list of units not added, and its margins.
constexpr int kPlainWidth = 300;
constexpr int kNotesWidth = 460;
constexpr int kMargin = 16;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 24;
}  // namespace

CAutoscanDlg::CAutoscanDlg(CSystem& system, QWidget* parent) : CBitmapDialogEx(parent), m_system(system) {
  m_status = new QLabel(this);
  m_status->setGeometry(kMargin, 34, kPlainWidth - 2 * kMargin, 20);
  m_notes = new QLabel(this);
  m_notes->setWordWrap(true);
  m_notes->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_notes->hide();
  m_stop = new QPushButton(QStringLiteral("Stop"), this);
  m_stop->setGeometry((kPlainWidth - kButtonWidth) / 2, 64, kButtonWidth, kButtonHeight);
  connect(m_stop, &QPushButton::clicked, this, &CAutoscanDlg::reject);
  resize(kPlainWidth, 100);
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

void CAutoscanDlg::OnUnitNotAdded(const std::string& text) {
  const QString line = QString::fromStdString(text);
  QMetaObject::invokeMethod(this, [this, line] { AddNote(line); }, Qt::QueuedConnection);
}

void CAutoscanDlg::AddNote(const QString& line) {
  const QString notes = m_notes->text().isEmpty() ? line : m_notes->text() + "\n" + line;
  m_notes->setText(notes);
  const int inner = kNotesWidth - 2 * kMargin;
  m_status->setGeometry(kMargin, 34, inner, 20);
  const int top = 62;
  const int height = m_notes->heightForWidth(inner);
  m_notes->setGeometry(kMargin, top, inner, height);
  m_notes->show();
  const int buttonTop = top + height + 12;
  m_stop->setGeometry((kNotesWidth - m_stop->width()) / 2, buttonTop, m_stop->width(), kButtonHeight);
  resize(kNotesWidth, buttonTop + kButtonHeight + 12);
}

QString CAutoscanDlg::GetStatusText() const { return m_status->text(); }

QString CAutoscanDlg::GetNotesText() const { return m_notes->text(); }

void CAutoscanDlg::reject() {
  m_running = false;
  // Once a scan that left units out has ended, the button closes the dialog.
  if (m_scanEnded) CBitmapDialogEx::reject();
}

void CAutoscanDlg::timerEvent(QTimerEvent* event) {
  if (event->timerId() != m_watchTimer) {
    CBitmapDialogEx::timerEvent(event);
    return;
  }
  if (m_running || m_system.GetComms().GetWorkerState() == kWorkerAutoscan) return;
  killTimer(m_watchTimer);
  m_watchTimer = 0;
  // Lines still queued by the scan's last moments are shown first.
  QCoreApplication::sendPostedEvents(this);
  if (m_notes->text().isEmpty()) {
    CBitmapDialogEx::reject();  // the closing fade
    return;
  }
  m_scanEnded = true;
  m_status->setText(QStringLiteral("Autoscan ended - these units were not added:"));
  m_stop->setText(QStringLiteral("OK"));
  m_stop->setDefault(true);
}
