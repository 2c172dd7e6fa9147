// Placement records of the panel frames and the helpers the frames share.
#include "ui/PanelFrame.h"

#include <QMouseEvent>
#include <algorithm>
#include <cstdint>

#include "custom/CustomControlObject.h"
#include "core/system/System.h"

PlacementWords PlacementToWords(const CWindowPlacement& p) {
  const CRect r = NormalizeRect(CPoint{p.normalPosition.left, p.normalPosition.top},
                                CPoint{p.normalPosition.right, p.normalPosition.bottom});
  return PlacementWords{std::int32_t(p.flags), std::int32_t(p.showCmd), p.maxPosition.x, p.maxPosition.y,
                        p.minPosition.x,       p.minPosition.y,         r.left,          r.top,
                        r.right,               r.bottom};
}

CWindowPlacement MakeWindowPlacement(const PlacementWords& w) {
  CWindowPlacement p;
  p.flags = std::uint32_t(w[0]);
  p.showCmd = std::uint32_t(w[1]);
  p.maxPosition = CPoint{w[2], w[3]};
  p.minPosition = CPoint{w[4], w[5]};
  p.normalPosition = CRect{w[6], w[7], w[8], w[9]};
  return p;
}

CRect NormalizeRect(CPoint a, CPoint b) {
  return CRect{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

bool RectsEqual(const CRect& a, const CRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

CPanelFrame::CPanelFrame(QWidget* parent) : QMdiSubWindow(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  connect(this, &QMdiSubWindow::windowStateChanged, this, [this](Qt::WindowStates before, Qt::WindowStates now) {
    if (!(before & Qt::WindowActive) && (now & Qt::WindowActive)) OnSetFocus();
  });
}

CPanelFrame* FindPanelFrame(const QWidget* view) {
  for (QWidget* w = view ? view->parentWidget() : nullptr; w; w = w->parentWidget()) {
    if (auto* frame = dynamic_cast<CPanelFrame*>(w)) return frame;
  }
  return nullptr;
}

CWindowPlacement CPanelFrame::GetWindowPlacement() const {
  CWindowPlacement p;
  p.flags = 0;
  p.showCmd = isMinimized() ? SW_SHOWMINIMIZED : isMaximized() ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
  p.minPosition = isMinimized() ? CPoint{x(), y()} : CPoint{-1, -1};
  p.maxPosition = CPoint{-1, -1};
  const QRect r = m_normal.isValid() ? m_normal : geometry();
  p.normalPosition = NormalizeRect(CPoint{r.x(), r.y()}, CPoint{r.x() + r.width(), r.y() + r.height()});
  return p;
}

void CPanelFrame::SetWindowPlacement(const CWindowPlacement& placement) {
  const CRect r = NormalizeRect(CPoint{placement.normalPosition.left, placement.normalPosition.top},
                                CPoint{placement.normalPosition.right, placement.normalPosition.bottom});
  setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
  // Whatever numbers a file gave, the window stays within reach and no larger than a screen.
  auto extent = [](int from, int to) {
    return int(std::clamp<std::int64_t>(std::int64_t(to) - from, 1, kPanelSizeLimit));
  };
  setGeometry(ClampPanelCoordinate(r.left), ClampPanelCoordinate(r.top), extent(r.left, r.right),
              extent(r.top, r.bottom));
  m_normal = geometry();
  switch (placement.showCmd) {
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE: setWindowState(windowState() | Qt::WindowMinimized); break;
    case SW_SHOWMAXIMIZED: setWindowState(windowState() | Qt::WindowMaximized); break;
    default: break;
  }
}

void CPanelFrame::TrackNormalGeometry() {
  if (!isMinimized() && !isMaximized()) m_normal = geometry();
}

void CPanelFrame::moveEvent(QMoveEvent* event) {
  QMdiSubWindow::moveEvent(event);
  TrackNormalGeometry();
}

void CPanelFrame::resizeEvent(QResizeEvent* event) {
  QMdiSubWindow::resizeEvent(event);
  TrackNormalGeometry();
}

void CPanelFrame::mouseReleaseEvent(QMouseEvent* event) {
  QMdiSubWindow::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton) OnExitSizeMove();
}
