// MDI client background: a cached picture redrawn on resize and copied on paint.
#include "app/MdiClient.h"

#include <QPainter>
#include <QPaintEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <algorithm>

namespace {
// The full-screen bar's grey and the room around its button.
constexpr int kBarGrey = 24;
constexpr int kBarPadding = 4;
}  // namespace

CMdiClient::CMdiClient(QWidget* parent) : QMdiArea(parent) {
  m_background = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
  m_background.fill(Qt::black);
  setBackground(Qt::black);
  // A panel window that reaches past the client area (a design-mode panel grows by its
  // toolbar) can still be scrolled into view, as in the frame's MDI client.
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

  // The bar is dark like the area, so that full screen still reads as one black surface.
  m_closeFullScreenBar = new QWidget(this);
  m_closeFullScreenBar->setObjectName(QStringLiteral("CloseFullScreenBar"));
  m_closeFullScreenBar->setAutoFillBackground(true);
  QPalette barColours = m_closeFullScreenBar->palette();
  barColours.setColor(QPalette::Window, QColor(kBarGrey, kBarGrey, kBarGrey));
  m_closeFullScreenBar->setPalette(barColours);
  m_closeFullScreen = new QPushButton(QStringLiteral("Close Full Screen"), m_closeFullScreenBar);
  m_closeFullScreen->setObjectName(QStringLiteral("CloseFullScreen"));
  m_closeFullScreen->setToolTip(QStringLiteral("Leave full screen (Esc or Ctrl+F)"));
  m_closeFullScreen->setCursor(Qt::ArrowCursor);
  m_closeFullScreen->setFocusPolicy(Qt::NoFocus);
  auto* row = new QHBoxLayout(m_closeFullScreenBar);
  row->setContentsMargins(kBarPadding, kBarPadding, kBarPadding, kBarPadding);
  row->addStretch(1);
  row->addWidget(m_closeFullScreen);
  m_closeFullScreenBar->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  m_closeFullScreenBar->hide();
  connect(m_closeFullScreen, &QPushButton::clicked, this, [this] {
    if (m_onCloseFullScreen) m_onCloseFullScreen();
  });
}

void CMdiClient::ShowCloseFullScreen(bool shown) { m_closeFullScreenBar->setVisible(shown); }

void CMdiClient::BringCloseButtonIntoView(QWidget* window) {
  const QRect area = viewport()->rect();
  if (!window || !viewport()->isVisible() || area.isEmpty()) return;
  const QRect r = window->geometry();
  int x = std::min(r.x(), area.right() + 1 - r.width());
  if (r.width() <= area.width()) x = std::max(x, 0);
  const int y = std::max(0, std::min(r.y(), area.bottom() + 1 - r.height()));
  if (x != r.x() || y != r.y()) window->move(x, y);
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
  if (m_onResize) m_onResize();
}

void CMdiClient::paintEvent(QPaintEvent* event) {
  QPainter p(viewport());
  const QRect r = event->rect();
  p.drawImage(r, m_background, r);
}
