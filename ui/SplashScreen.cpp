// Splash window: the picture at its own size with the version text in white.
#include "ui/SplashScreen.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimerEvent>

CSplashScreen::CSplashScreen(const QImage& picture, const QString& versionText)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_picture(picture),
      m_versionText(versionText) {
  setAttribute(Qt::WA_DeleteOnClose);
  if (m_picture.isNull()) {
    m_picture = QImage(600, 400, QImage::Format_ARGB32_Premultiplied);
    m_picture.fill(QColor(0x20, 0x20, 0x20));
  }
  setFixedSize(m_picture.size());
  // The splash stays on top of every window: a modal box opened meanwhile (an error while a
  // start-up file goes online) would be hidden behind it and the program would look frozen.
  qApp->installEventFilter(this);
}

void CSplashScreen::ShowSplashScreen(std::uint32_t displayMs) {
  // A question already open keeps the screen: the splash does not come at all.
  if (QApplication::activeModalWidget()) {
    Yield();
    return;
  }
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  // Showing a window may run events posted before it, a question among them, inside show().
  m_showing = true;
  show();
  m_showing = false;
  if (m_yielded) {
    close();
    return;
  }
  raise();
  repaint();
  m_timerId = startTimer(int(displayMs));
}

void CSplashScreen::paintEvent(QPaintEvent* event) {
  (void)event;
  QPainter p(this);
  p.drawImage(0, 0, m_picture);
  p.setRenderHint(QPainter::TextAntialiasing);
  QFont font(QStringLiteral("HandelGotDLig"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(8);
  font.setWeight(QFont::Normal);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(378, 290, 200, 100), Qt::AlignLeft | Qt::AlignTop, m_versionText);
}

bool CSplashScreen::eventFilter(QObject* watched, QEvent* event) {
  // Whatever asks, from the moment the splash exists: a message box, the password dialog, a
  // file dialog, any window that waits for an answer.
  if (event->type() == QEvent::Show && !m_yielded) {
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && widget != this && widget->isWindow() && widget->isModal()) Yield();
  }
  return QWidget::eventFilter(watched, event);
}

void CSplashScreen::Yield() {
  if (m_yielded) return;
  m_yielded = true;
  qApp->removeEventFilter(this);
  if (m_timerId != 0) killTimer(m_timerId);
  m_timerId = 0;
  if (m_showing) {
    // Inside its own show(), under the question's event loop: hidden now, and closed once
    // show() has returned (a window is not deleted under its own show()).
    hide();
    return;
  }
  close();  // deletes the window (WA_DeleteOnClose)
}

void CSplashScreen::timerEvent(QTimerEvent* event) {
  if (event->timerId() == m_timerId) {
    Yield();
    return;
  }
  QWidget::timerEvent(event);
}

void CSplashScreen::keyPressEvent(QKeyEvent* event) {
  (void)event;
  Yield();
}

void CSplashScreen::mousePressEvent(QMouseEvent* event) {
  (void)event;
  Yield();
}
