// Helpers of the dialog tests: running the event loop until a condition holds, typing keys.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <functional>

inline bool WaitForUi(const std::function<bool()>& done, int timeoutMs = 20000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// A key press delivered straight to the widget, as when it has the focus.
inline void PressKey(QWidget* widget, int key, const QString& text = QString()) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(widget, &release);
}

inline void TypeText(QWidget* widget, const QString& text) {
  for (QChar c : text) PressKey(widget, c.unicode(), QString(c));
}

#include <QDir>
#include <QWidget>

// With ORVAK_SHOTS_DIR set, saves a picture of the widget as it is drawn now (name.png), so
// that the dialogs can be looked at.
inline void SaveShotIfAsked(QWidget& widget, const char* name) {
  const QByteArray dir = qgetenv("ORVAK_SHOTS_DIR");
  if (dir.isEmpty()) return;
  QDir().mkpath(QString::fromUtf8(dir));
  widget.grab().save(QString::fromUtf8(dir) + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png"));
}
