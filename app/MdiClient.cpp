// MDI client background: a cached picture redrawn on resize and copied on paint.
#include "app/MdiClient.h"

#include <QPainter>
#include <QPaintEvent>
#include <QPushButton>

CMdiClient::CMdiClient(QWidget* parent) : QMdiArea(parent) {
  m_background = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
  m_background.fill(Qt::black);
  setBackground(Qt::black);
  // A panel window that reaches past the client area (a design-mode panel grows by its
  // toolbar) can still be scrolled into view, as in the frame's MDI client.
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

  m_closeFullScreen = new QPushButton(QStringLiteral("Close Full Screen"), this);
  m_closeFullScreen->setObjectName(QStringLiteral("CloseFullScreen"));
  m_closeFullScreen->setToolTip(QStringLiteral("Leave full screen (Esc or Ctrl+F)"));
  m_closeFullScreen->setCursor(Qt::ArrowCursor);
  m_closeFullScreen->setFocusPolicy(Qt::NoFocus);
  m_closeFullScreen->hide();
  connect(m_closeFullScreen, &QPushButton::clicked, this, [this] {
    if (m_onCloseFullScreen) m_onCloseFullScreen();
  });
}

void CMdiClient::ShowCloseFullScreen(bool shown) {
  m_closeFullScreen->setVisible(shown);
  if (!shown) return;
  PlaceCloseFullScreen();
  m_closeFullScreen->raise();
}

void CMdiClient::PlaceCloseFullScreen() {
  // Over the top-right corner of the panel area, clear of a vertical scroll bar.
  constexpr int kMargin = 8;
  m_closeFullScreen->adjustSize();
  const QRect area = viewport()->geometry();
  m_closeFullScreen->move(area.right() + 1 - kMargin - m_closeFullScreen->width(), area.top() + kMargin);
}

void CMdiClient::SetLogo(const QImage& logo) {
  m_logo = logo.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  OnSizeMDIClient();
}

void CMdiClient::OnSizeMDIClient() {
  const QSize size = viewport()->size().expandedTo(QSize(1, 1));
  m_background = QImage(size, QImage::Format_ARGB32_Premultiplied);
  m_background.fill(Qt::black);
  if (!m_logo.isNull()) {
    QPainter p(&m_background);
    // Integer halves; a client smaller than the logo shows the logo's centre part.
    const int left = size.width() / 2 - m_logo.width() / 2;
    const int top = size.height() / 2 - m_logo.height() / 2;
    p.drawImage(left, top, m_logo);
  }
  viewport()->update();
}

void CMdiClient::resizeEvent(QResizeEvent* event) {
  QMdiArea::resizeEvent(event);
  OnSizeMDIClient();
  PlaceCloseFullScreen();
  if (m_onResize) m_onResize();
}

void CMdiClient::paintEvent(QPaintEvent* event) {
  QPainter p(viewport());
  const QRect r = event->rect();
  p.drawImage(r, m_background, r);
}
