// The shared part of the device rack and the live-meter strip.
#include "ui/ZoneView.h"

#include <QHelpEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "core/model/Device.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "ui/RackCommon.h"

namespace {
constexpr int kLineStep = 5;
constexpr int kPageStep = 30;
constexpr int kWheelStep = 10;
// Timers 101 + zone index run the zones' animations.
constexpr std::uint32_t kFirstZoneTimer = 101;
constexpr std::uint32_t kLastZoneTimer = 200;
}  // namespace

CZoneView::CZoneView(bool vertical, bool idWhenNameEmpty, QWidget* parent)
    : CNumberedTimerWidget(parent), m_vertical(vertical), m_idWhenNameEmpty(idWhenNameEmpty) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  m_scrollBar = new QScrollBar(vertical ? Qt::Vertical : Qt::Horizontal, this);
  m_scrollBar->hide();
  m_scrollBar->setSingleStep(kLineStep);
  connect(m_scrollBar, &QScrollBar::actionTriggered, this, [this](int action) {
    // Page steps move 30 px; the bar's own page step sizes the thumb.
    if (action == QAbstractSlider::SliderPageStepAdd) m_scrollBar->setSliderPosition(m_scrollPos + kPageStep);
    if (action == QAbstractSlider::SliderPageStepSub) m_scrollBar->setSliderPosition(m_scrollPos - kPageStep);
  });
  connect(m_scrollBar, &QScrollBar::valueChanged, this, [this](int value) {
    if (value == m_scrollPos) return;
    m_scrollPos = value;
    update();
  });
}

CZoneView::~CZoneView() = default;

void CZoneView::SetSystem(CSystem* system) {
  m_pSystem = system;
  Rebuild();
  update();
}

bool CZoneView::IsScrollBarShown() const { return !m_scrollBar->isHidden(); }

int CZoneView::WindowExtent() const { return m_vertical ? height() : width(); }

void CZoneView::LayOut(int content) {
  m_content = content;
  const int extent = std::max(1, WindowExtent());
  if (extent < content) {
    m_scrollBar->show();
    if (content < m_scrollPos + extent) m_scrollPos = content - extent;
  } else {
    m_scrollBar->hide();
    m_scrollPos = 0;
  }
  ApplyScrollBar();
}

void CZoneView::ClampToWindow() {
  if (m_scrollPos != 0 && m_content < m_scrollPos + WindowExtent())
    m_scrollPos = std::max(0, m_content - WindowExtent());
}

void CZoneView::ApplyScrollBar() {
  const int extent = WindowExtent();
  if (m_vertical) {
    const int barWidth = m_scrollBar->sizeHint().width();
    m_scrollBar->setGeometry(width() - barWidth, 0, barWidth, height());
  } else {
    const int barHeight = m_scrollBar->sizeHint().height();
    m_scrollBar->setGeometry(0, height() - barHeight, width(), barHeight);
  }
  const QSignalBlocker block(m_scrollBar);
  m_scrollBar->setRange(0, std::max(0, m_content - extent));
  m_scrollBar->setPageStep(std::max(1, extent));
  m_scrollBar->setValue(m_scrollPos);
}

void CZoneView::ScrollTo(int position) {
  m_scrollPos = std::clamp(position, 0, std::max(0, m_content - WindowExtent()));
  ApplyScrollBar();
  update();
}

void CZoneView::ScrollBy(Scroll step) {
  switch (step) {
    case Scroll::LineBack: ScrollTo(m_scrollPos - kLineStep); break;
    case Scroll::LineForward: ScrollTo(m_scrollPos + kLineStep); break;
    case Scroll::PageBack: ScrollTo(m_scrollPos - kPageStep); break;
    case Scroll::PageForward: ScrollTo(m_scrollPos + kPageStep); break;
    case Scroll::Start: ScrollTo(0); break;
    case Scroll::End: ScrollTo(m_content); break;
  }
}

void CZoneView::EnsureBuffer(int width, int height) {
  if (!m_backBuffer || m_backBuffer->Width() != width || m_backBuffer->Height() != height) {
    m_pGraphics.reset();
    m_backBuffer = std::make_unique<CImage>(width, height);
    m_pGraphics = std::make_unique<Graphics>(*m_backBuffer);
  }
  m_bufferOrigin = m_scrollPos;
  m_pGraphics->ResetTransform();
  m_pGraphics->TranslateTransform(m_vertical ? 0.0f : -float(m_scrollPos), m_vertical ? -float(m_scrollPos) : 0.0f);
}

CRect CZoneView::VisibleContent() const {
  if (!m_backBuffer) return CRect{};
  const int w = m_backBuffer->Width(), h = m_backBuffer->Height();
  return m_vertical ? CRect{0, m_bufferOrigin, w, m_bufferOrigin + h} : CRect{m_bufferOrigin, 0, m_bufferOrigin + w, h};
}

bool CZoneView::IsShown(const CRect& r) const {
  const CRect v = VisibleContent();
  return r.left < v.right && r.right > v.left && r.top < v.bottom && r.bottom > v.top;
}

void CZoneView::FollowScroll() {
  if (!m_backBuffer || m_bufferOrigin == m_scrollPos) return;
  EnsureBuffer(m_backBuffer->Width(), m_backBuffer->Height());
  DrawAll(VisibleContent());
}

CPoint CZoneView::ToContent(const QPoint& window) const {
  return m_vertical ? CPoint{window.x(), window.y() + m_scrollPos} : CPoint{window.x() + m_scrollPos, window.y()};
}

void CZoneView::InvalidateContent(const CRect& rect) {
  const int dx = m_vertical ? 0 : -m_scrollPos;
  const int dy = m_vertical ? -m_scrollPos : 0;
  update(QRect(rect.left + dx, rect.top + dy, rect.Width(), rect.Height()));
}

void CZoneView::ForgetDeletedDevices() {
  if (m_litDevices.empty() && m_unlitDevices.empty()) return;
  std::unordered_set<const CDevice*> present;
  if (m_pSystem) {
    const std::vector<CDevice*> devices = m_pSystem->GetDevices();
    present.insert(devices.begin(), devices.end());
  }
  auto gone = [&present](CDevice* d) { return !present.count(d); };
  std::erase_if(m_litDevices, gone);
  std::erase_if(m_unlitDevices, gone);
}

CDevice* CZoneView::DeviceAt(const CPoint& content, CRect& tile) {
  if (!m_pSystem) return nullptr;
  for (CDevice* device : m_pSystem->GetDevices()) {
    tile = GetDeviceRect(device);
    if (tile.Contains(content)) return device;
  }
  return nullptr;
}

void CZoneView::Blink(bool phase, int state, int stopState, bool listShownOnly) {
  std::vector<CDevice*>& current = phase ? m_unlitDevices : m_litDevices;
  std::vector<CDevice*>& other = phase ? m_litDevices : m_unlitDevices;
  current.clear();
  if (!m_pSystem) return;
  ForgetDeletedDevices();
  const std::vector<CDevice*> devices = m_pSystem->GetDevices();
  const std::unordered_set<const CDevice*> stopping(other.begin(), other.end());
  auto blinks = [](CDevice* d) { return d->HasWarnings() != 0 && d->GetCommsLevel() >= 3; };
  auto drawn = [&](CDevice* d) { return blinks(d) || stopping.count(d) != 0; };
  if (std::none_of(devices.begin(), devices.end(), drawn)) return;
  std::unordered_map<const CDevice*, CRect> tiles;
  EachDeviceRect([&](CDevice* d, const CRect& tile) {
    if (drawn(d)) tiles.emplace(d, tile);
  });
  for (CDevice* device : devices) {
    const auto found = tiles.find(device);
    const CRect tile = found == tiles.end() ? CRect{} : found->second;
    const bool shown = tile != CRect{};
    if (blinks(device) && (shown || !listShownOnly)) {
      RedrawTile(device, tile, state);
      current.push_back(device);
    } else if (stopping.count(device)) {
      RedrawTile(device, tile, stopState);
    }
  }
}

void CZoneView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect clip = event->rect();
  if (!m_backBuffer) {
    painter.fillRect(clip, QColor::fromRgba(kRackBackgroundBottom.argb));
    return;
  }
  // A scroll changes what the window shows: the whole window was invalidated with it.
  FollowScroll();
  painter.drawImage(clip.topLeft(), m_backBuffer->Native(), clip);
}

void CZoneView::wheelEvent(QWheelEvent* event) {
  // Each wheel message moves 10 px, whatever its size.
  const QPoint angle = event->angleDelta();
  const int delta = angle.y() != 0 ? angle.y() : angle.x();
  if (m_content > WindowExtent() && delta != 0) ScrollTo(m_scrollPos + (delta > 0 ? -kWheelStep : kWheelStep));
  event->accept();
}

void CZoneView::StartZoneTimer(const CZone* zone, std::uint32_t periodMs) {
  if (!zone || !m_pSystem || GetZoneTimer(zone) != 0) return;
  const auto& zones = m_pSystem->GetZones();
  const auto at = std::find(zones.begin(), zones.end(), zone);
  if (at == zones.end()) return;
  std::uint32_t id = kFirstZoneTimer + std::uint32_t(at - zones.begin());
  while (id <= kLastZoneTimer && m_zoneTimers.count(id) != 0) ++id;
  for (std::uint32_t other = kFirstZoneTimer; id > kLastZoneTimer && other <= kLastZoneTimer; ++other)
    if (m_zoneTimers.count(other) == 0) id = other;
  if (id > kLastZoneTimer) return;
  m_zoneTimers[id] = zone;
  SetTimer(id, periodMs);
}

void CZoneView::StopZoneTimer(const CZone* zone) {
  if (const std::uint32_t id = GetZoneTimer(zone); id != 0) {
    KillTimer(id);
    m_zoneTimers.erase(id);
  }
}

std::uint32_t CZoneView::GetZoneTimer(const CZone* zone) const {
  for (const auto& [id, timed] : m_zoneTimers)
    if (timed == zone) return id;
  return 0;
}

void CZoneView::OnTimer(std::uint32_t id) {
  if (id < kFirstZoneTimer || id > kLastZoneTimer || !m_pSystem) return;
  const auto& zones = m_pSystem->GetZones();
  // The zone this timer was started for; a timer started by its number alone names the zone
  // at that index.
  CZone* zone = nullptr;
  if (const auto it = m_zoneTimers.find(id); it != m_zoneTimers.end()) {
    const auto at = std::find(zones.begin(), zones.end(), it->second);
    if (at != zones.end()) zone = *at;
  } else if (id - kFirstZoneTimer < zones.size()) {
    zone = zones[id - kFirstZoneTimer];
  }
  // A zone deleted while it moved, or one that has stopped: its timer stops.
  if (!zone || !IsZoneAnimating(*zone)) {
    KillTimer(id);
    m_zoneTimers.erase(id);
    return;
  }
  AnimateZone(*zone);
}

bool CZoneView::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return CNumberedTimerWidget::event(event);
  auto* help = static_cast<QHelpEvent*>(event);
  CRect tile;
  CDevice* device = DeviceAt(ToContent(help->pos()), tile);
  const QString text = device ? DeviceToolTip(*device, m_idWhenNameEmpty) : QString();
  if (text.isEmpty()) {
    QToolTip::hideText();
    event->ignore();
    return true;
  }
  const int dx = m_vertical ? 0 : -m_scrollPos;
  const int dy = m_vertical ? -m_scrollPos : 0;
  QToolTip::showText(help->globalPos(), text, this, QRect(tile.left + dx, tile.top + dy, tile.Width(), tile.Height()));
  return true;
}
