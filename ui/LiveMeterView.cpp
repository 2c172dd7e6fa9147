// The live-meter strip: layout, back buffer, the redraw queue, blink, scrolling and clicks.
#include "ui/LiveMeterView.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>

#include "core/Device.h"
#include "core/System.h"
#include "core/SystemMessages.h"
#include "core/Zone.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/WindowMessages.h"
#include "ui/DeviceRack.h"
#include "ui/RackCommon.h"

namespace {

constexpr int kLineStep = 5;
constexpr int kPageStep = 30;
constexpr int kWheelStep = 10;
constexpr std::uint32_t kFirstZoneTimer = 101;
constexpr std::uint32_t kLastZoneTimer = 200;
// States of DrawMonitorTile: full draw, normal look, warning look.
constexpr int kMonitorFull = 0;
constexpr int kMonitorNormal = 2;
constexpr int kMonitorWarning = 3;

CRect Union(const CRect& a, const CRect& b) {
  if (a == CRect{}) return b;
  if (b == CRect{}) return a;
  return CRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
               std::max(a.bottom, b.bottom)};
}

}  // namespace

CLiveMeterView::CLiveMeterView(QWidget* parent) : CNumberedTimerWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::WheelFocus);
  setMinimumHeight(40);
  m_scrollBar = new QScrollBar(Qt::Horizontal, this);
  m_scrollBar->hide();
  m_scrollBar->setSingleStep(kLineStep);
  connect(m_scrollBar, &QScrollBar::actionTriggered, this, [this](int action) {
    if (action == QAbstractSlider::SliderPageStepAdd) m_scrollBar->setSliderPosition(m_scrollPos + kPageStep);
    if (action == QAbstractSlider::SliderPageStepSub) m_scrollBar->setSliderPosition(m_scrollPos - kPageStep);
  });
  connect(m_scrollBar, &QScrollBar::valueChanged, this, [this](int value) {
    if (value == m_scrollPos) return;
    m_scrollPos = value;
    update();
  });
}

CLiveMeterView::~CLiveMeterView() = default;

void CLiveMeterView::SetSystem(CSystem* system) {
  m_pSystem = system;
  Redraw();
}

// --- Layout ---

bool CLiveMeterView::IsScrollBarShown() const { return !m_scrollBar->isHidden(); }

int CLiveMeterView::GetClientHeight() const {
  return std::max(0, height() - (IsScrollBarShown() ? m_scrollBar->sizeHint().height() : 0));
}

int CLiveMeterView::GetContentWidth() {
  if (!m_pSystem) return 0;
  int width = 0;
  for (CZone* zone : m_pSystem->GetZones()) width += zone->DrawMeters(nullptr, CRect{}, nullptr, false);
  return width;
}

CRect CLiveMeterView::GetZoneHeaderRect(const CZone* zone) {
  if (!m_pSystem) return CRect{};
  int left = 0;
  for (CZone* z : m_pSystem->GetZones()) {
    if (z == zone) return CRect{left, 0, left + kZoneHeaderSize, GetClientHeight()};
    left += z->DrawMeters(nullptr, CRect{}, nullptr, false);
  }
  return CRect{};
}

CRect CLiveMeterView::GetDeviceRect(const CDevice* device) {
  if (!m_pSystem || !device) return CRect{};
  CRect cursor{0, 0, 0, GetClientHeight()};
  for (CZone* zone : m_pSystem->GetZones()) {
    const CRect r = zone->GetMeterRect(device, cursor);
    if (r != CRect{}) return r;
  }
  return CRect{};
}

void CLiveMeterView::Redraw() {
  Rebuild();
  update();
}

void CLiveMeterView::Rebuild() {
  ForgetDeletedDevices();
  const int clientWidth = std::max(1, width());
  m_contentWidth = GetContentWidth();
  if (clientWidth < m_contentWidth) {
    m_scrollBar->show();
    if (m_contentWidth < m_scrollPos + clientWidth) m_scrollPos = m_contentWidth - clientWidth;
  } else {
    m_scrollBar->hide();
    m_scrollPos = 0;
  }
  ApplyScrollBar();
  const int bufferWidth = std::max(clientWidth, m_contentWidth);
  const int bufferHeight = std::max(1, GetClientHeight());
  if (!m_backBuffer || m_backBuffer->Width() != bufferWidth || m_backBuffer->Height() != bufferHeight) {
    m_pGraphics.reset();
    m_backBuffer = std::make_unique<CImage>(bufferWidth, bufferHeight);
    m_pGraphics = std::make_unique<Graphics>(*m_backBuffer);
  }
  DrawAll(CRect{0, 0, bufferWidth, bufferHeight});
}

void CLiveMeterView::ApplyScrollBar() {
  const int barHeight = m_scrollBar->sizeHint().height();
  m_scrollBar->setGeometry(0, height() - barHeight, width(), barHeight);
  const QSignalBlocker block(m_scrollBar);
  m_scrollBar->setRange(0, std::max(0, m_contentWidth - width()));
  m_scrollBar->setPageStep(std::max(1, width()));
  m_scrollBar->setValue(m_scrollPos);
}

void CLiveMeterView::FillBackground(const CRect& rect) {
  const CRectF r = CRectF::FromRect(rect);
  m_pGraphics->FillRectangle(
      CBrush::LinearGradient(r, kRackBackgroundTop, kRackBackgroundBottom, true).SetWrapMode(WrapMode::Clamp), r);
}

void CLiveMeterView::DrawAll(const CRect& rect) {
  if (!m_pGraphics) return;
  FillBackground(rect);
  if (!m_pSystem) return;
  int left = rect.left;
  for (CZone* zone : m_pSystem->GetZones()) {
    left += zone->DrawMeters(m_pGraphics.get(), CRect{left, rect.top, rect.right, rect.bottom}, m_pGraphics.get(),
                             false);
  }
}

void CLiveMeterView::InvalidateContent(const CRect& rect) {
  update(QRect(rect.left - m_scrollPos, rect.top, rect.Width(), rect.Height()));
}

void CLiveMeterView::ForgetDeletedDevices() {
  auto gone = [this](CDevice* d) { return !m_pSystem || m_pSystem->GetDeviceIndex(d) < 0; };
  std::erase_if(m_litDevices, gone);
  std::erase_if(m_unlitDevices, gone);
  for (std::size_t i = m_queueDevices.size(); i-- > 0;) {
    if (!gone(m_queueDevices[i])) continue;
    m_queueDevices.erase(m_queueDevices.begin() + std::ptrdiff_t(i));
    m_queueFlags.erase(m_queueFlags.begin() + std::ptrdiff_t(i));
  }
}

// --- The redraw queue ---

void CLiveMeterView::AddDevice(CDevice* device, std::intptr_t meterOnly) {
  if (!m_pSystem || !m_pGraphics) return;
  if (m_backBuffer->Width() < GetContentWidth()) {
    Redraw();
    return;
  }
  m_queueDevices.push_back(device);
  m_queueFlags.push_back(meterOnly);
}

void CLiveMeterView::DrainQueue() {
  m_lastDrain = CRect{};
  if (m_queueDevices.empty()) return;
  // A device deleted since it was queued is dropped here.
  ForgetDeletedDevices();
  CRect dirty;
  for (std::size_t i = 0; i < m_queueDevices.size() && m_pGraphics; ++i) {
    CDevice* device = m_queueDevices[i];
    const CRect tile = GetDeviceRect(device);
    if (tile == CRect{}) continue;
    if (m_queueFlags[i] == 1 && !device->IsIgnored()) {
      dirty = Union(dirty, device->GetExtraRect(m_pGraphics.get(), tile));
    } else {
      FillBackground(tile);
      device->DrawMonitorTile(m_pGraphics.get(), tile, m_pGraphics.get(), kMonitorFull);
      dirty = Union(dirty, tile);
    }
  }
  m_queueDevices.clear();
  m_queueFlags.clear();
  m_lastDrain = dirty;
  if (dirty != CRect{}) InvalidateContent(dirty);
}

// --- Blink ---

void CLiveMeterView::RedrawTile(CDevice* device, const CRect& tile, int state) {
  if (tile == CRect{} || !m_pGraphics) return;
  FillBackground(tile);
  device->DrawMonitorTile(m_pGraphics.get(), tile, m_pGraphics.get(), state);
  InvalidateContent(tile);
}

void CLiveMeterView::UpdateDeviceMeters(bool blinkPhase) {
  std::vector<CDevice*>& current = blinkPhase ? m_unlitDevices : m_litDevices;
  std::vector<CDevice*>& other = blinkPhase ? m_litDevices : m_unlitDevices;
  current.clear();
  if (!m_pSystem || !m_pGraphics) return;
  ForgetDeletedDevices();
  const int state = blinkPhase ? kMonitorNormal : kMonitorWarning;
  for (CDevice* device : m_pSystem->GetDevices()) {
    const CRect tile = GetDeviceRect(device);
    if (device->HasWarnings() != 0 && device->GetCommsLevel() >= 3 && tile != CRect{}) {
      RedrawTile(device, tile, state);
      current.push_back(device);
    } else if (tile != CRect{} && std::find(other.begin(), other.end(), device) != other.end()) {
      RedrawTile(device, tile, state);
    }
  }
}

// --- Window ---

void CLiveMeterView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect clip = event->rect();
  if (!m_backBuffer) {
    painter.fillRect(clip, QColor::fromRgba(kRackBackgroundBottom.argb));
    return;
  }
  painter.drawImage(clip.topLeft(), m_backBuffer->Native(), clip.translated(m_scrollPos, 0));
}

void CLiveMeterView::resizeEvent(QResizeEvent* event) {
  CNumberedTimerWidget::resizeEvent(event);
  if (width() <= 0 || height() <= 0) return;
  if (!HasTimer(kDrainTimer)) SetTimer(kDrainTimer, kDrainPeriodMs);
  if (m_scrollPos != 0 && m_contentWidth < m_scrollPos + width()) m_scrollPos = std::max(0, m_contentWidth - width());
  Rebuild();
}

void CLiveMeterView::OnTimer(std::uint32_t id) {
  if (id == kDrainTimer) {
    DrainQueue();
    return;
  }
  if (id < kFirstZoneTimer || id > kLastZoneTimer || !m_pSystem) return;
  const std::size_t index = id - kFirstZoneTimer;
  const auto& zones = m_pSystem->GetZones();
  // A zone deleted while it moved leaves a timer that names no moving zone: stop it.
  if (index >= zones.size() || zones[index]->m_nMeterAnimState == 0) {
    KillTimer(id);
    return;
  }
  zones[index]->AnimateMeterStep();
}

void CLiveMeterView::ScrollTo(int position) {
  m_scrollPos = std::clamp(position, 0, std::max(0, m_contentWidth - width()));
  ApplyScrollBar();
  update();
}

void CLiveMeterView::ScrollBy(Scroll step) {
  switch (step) {
    case Scroll::LineLeft: ScrollTo(m_scrollPos - kLineStep); break;
    case Scroll::LineRight: ScrollTo(m_scrollPos + kLineStep); break;
    case Scroll::PageLeft: ScrollTo(m_scrollPos - kPageStep); break;
    case Scroll::PageRight: ScrollTo(m_scrollPos + kPageStep); break;
    case Scroll::Left: ScrollTo(0); break;
    case Scroll::Right: ScrollTo(m_contentWidth); break;
  }
}

void CLiveMeterView::wheelEvent(QWheelEvent* event) {
  const QPoint angle = event->angleDelta();
  const int delta = angle.y() != 0 ? angle.y() : angle.x();
  if (m_contentWidth > width() && delta != 0) ScrollTo(m_scrollPos + (delta > 0 ? -kWheelStep : kWheelStep));
  event->accept();
}

void CLiveMeterView::enterEvent(QEnterEvent* event) {
  // The strip takes the focus so that the wheel reaches it.
  setFocus(Qt::MouseFocusReason);
  CNumberedTimerWidget::enterEvent(event);
}

void CLiveMeterView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) HandleClick(event->position().toPoint().x(), event->position().toPoint().y());
}

void CLiveMeterView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton)
    HandleDoubleClick(event->position().toPoint().x(), event->position().toPoint().y());
}

void CLiveMeterView::HandleClick(int x, int y) {
  if (!m_pSystem || y >= GetClientHeight()) return;
  const int contentX = x + m_scrollPos;
  int left = 0;
  for (CZone* zone : m_pSystem->GetZones()) {
    const CRect column{left, 0, left + kZoneHeaderSize, GetClientHeight()};
    if (column.Contains(CPoint{contentX, y})) {
      zone->OnMeterHeaderClick(CPoint{contentX, y}, column);
      return;
    }
    CRect cursor{left, 0, 0, GetClientHeight()};
    if (zone->HitTestMeter(contentX, y, cursor)) return;  // a click on a tile does nothing
    left = cursor.left;
  }
}

void CLiveMeterView::HandleDoubleClick(int x, int y) {
  if (!m_pSystem) return;
  IMessageSink* frame = m_pSystem->GetFrame();
  const CPoint at{x + m_scrollPos, y};
  for (CDevice* device : m_pSystem->GetDevices()) {
    if (frame && GetDeviceRect(device).Contains(at))
      frame->PostMessage(UWM_OPEN_DEVICE_PANEL, reinterpret_cast<WPARAM>(device), 0);
  }
}

bool CLiveMeterView::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return CNumberedTimerWidget::event(event);
  auto* help = static_cast<QHelpEvent*>(event);
  CDevice* device = nullptr;
  CRect tile;
  if (m_pSystem) {
    const CPoint at{help->pos().x() + m_scrollPos, help->pos().y()};
    for (CDevice* d : m_pSystem->GetDevices()) {
      tile = GetDeviceRect(d);
      if (tile.Contains(at)) {
        device = d;
        break;
      }
    }
  }
  const QString text = device ? DeviceToolTip(*device, false) : QString();
  if (text.isEmpty()) {
    QToolTip::hideText();
    event->ignore();
    return true;
  }
  QToolTip::showText(help->globalPos(), text, this,
                     QRect(tile.left - m_scrollPos, tile.top, tile.Width(), tile.Height()));
  return true;
}
