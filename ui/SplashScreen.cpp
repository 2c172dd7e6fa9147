// Splash window: the picture at its own size with the version text in white.
#include "ui/SplashScreen.h"

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
}

void CSplashScreen::ShowSplashScreen(std::uint32_t displayMs) {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  show();
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

void CSplashScreen::Dismiss() {
  if (m_timerId != 0) killTimer(m_timerId);
  m_timerId = 0;
  close();  // deletes the window (WA_DeleteOnClose)
}

void CSplashScreen::timerEvent(QTimerEvent* event) {
  if (event->timerId() == m_timerId) {
    Dismiss();
    return;
  }
  QWidget::timerEvent(event);
}

void CSplashScreen::keyPressEvent(QKeyEvent* event) {
  (void)event;
  Dismiss();
}

void CSplashScreen::mousePressEvent(QMouseEvent* event) {
  (void)event;
  Dismiss();
}
