// The start-up picture with the program's version; closes itself after its display time, at the
// first key or mouse button pressed on it, or as soon as any modal window opens, also one opened
// while the splash itself is being shown (a question or an error must never sit hidden behind
// it), and deletes itself. Shown while a question is open, it does not come at all.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>

class CSplashScreen : public QWidget {
 public:
  // picture: the splash bitmap; versionText: "Version a.b.c Build d".
  CSplashScreen(const QImage& picture, const QString& versionText);

  // Centres and shows the window and starts its timer. UI thread.
  void ShowSplashScreen(std::uint32_t displayMs);

  const QString& GetVersionText() const { return m_versionText; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  // Watches the application for a modal window being shown.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Closes the splash once: at once, or, inside its own show(), hides it and closes it after.
  void Yield();

  QImage m_picture;
  QString m_versionText;
  int m_timerId = 0;
  bool m_showing = false;  // inside show()
  bool m_yielded = false;  // closing, or closed
};
