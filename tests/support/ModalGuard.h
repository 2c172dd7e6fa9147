// Cancels every modal dialog that opens while it lives, from inside the dialog's own event
// loop, and counts them: a test sees that nothing was asked, and never waits on a question.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>

class CModalGuard {
 public:
  CModalGuard() {
    m_timer.setInterval(2);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
      if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        ++opened;
        dialog->done(QDialog::Rejected);
      }
    });
    m_timer.start();
  }
  CModalGuard(const CModalGuard&) = delete;
  CModalGuard& operator=(const CModalGuard&) = delete;

  int opened = 0;

 private:
  QTimer m_timer;
};
