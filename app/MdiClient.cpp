// MDI client background: a cached picture redrawn on resize and copied on paint.
#include "app/MdiClient.h"

#include <QPainter>
#include <QPaintEvent>
#include <QHBoxLayout>
#include <QMdiSubWindow>
#include <QScrollBar>
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

namespace {

// Where a window at r goes in an area of this size: its title bar's right end and its top in
// view, its left end too when it fits.
QPoint PlacedIn(const QRect& r, const QSize& area) {
  int x = std::min(r.x(), area.width() - r.width());
  if (r.width() <= area.width()) x = std::max(x, 0);
  const int y = std::max(0, std::min(r.y(), area.height() - r.height()));
  return QPoint(x, y);
}

}  // namespace

void CMdiClient::BringCloseButtonIntoView(QWidget* window) {
  if (!window || !viewport()->isVisible() || viewport()->rect().isEmpty()) return;
  // The area shows its scroll bars only after the window is in place, and a bar takes its room
  // from the area: the bars that the windows will bring are reckoned first, as the area
  // reckons them (a horizontal bar makes a vertical one likelier, and the other way round).
  const QSize full = maximumViewportSize();
  const int barWidth = verticalScrollBar()->sizeHint().width();
  const int barHeight = horizontalScrollBar()->sizeHint().height();
  QRect others;
  for (QMdiSubWindow* other : subWindowList()) {
    if (other != window && other->isVisible()) others |= other->geometry();
  }
  QSize room = full;
  QPoint place = window->pos();
  for (int pass = 0; pass < 3; ++pass) {
    place = PlacedIn(window->geometry(), room);
    const QRect content = others | QRect(place, window->size());
    auto past = [&content](int width, int height, Qt::Orientation along) {
      return along == Qt::Horizontal ? content.left() < 0 || content.right() >= width
                                     : content.top() < 0 || content.bottom() >= height;
    };
    bool horizontal = past(full.width(), full.height(), Qt::Horizontal);
    bool vertical = past(full.width(), full.height(), Qt::Vertical);
    if (horizontal && !vertical) vertical = past(full.width(), full.height() - barHeight, Qt::Vertical);
    if (vertical && !horizontal) horizontal = past(full.width() - barWidth, full.height(), Qt::Horizontal);
    const QSize next(full.width() - (vertical ? barWidth : 0), full.height() - (horizontal ? barHeight : 0));
    if (next == room) break;
    room = next;
  }
  if (place != window->pos()) window->move(place);
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
