// The live-meter strip: layout, back buffer, the redraw queue, blink, scrolling and clicks.
#include "ui/LiveMeterView.h"

#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>

#include "core/model/Device.h"
#include "core/system/System.h"
#include "core/support/SystemMessages.h"
#include "core/model/UiServices.h"
#include "core/system/Zone.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/WindowMessages.h"

namespace {

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

CLiveMeterView::CLiveMeterView(QWidget* parent) : CZoneView(false, false, parent) {
  setFocusPolicy(Qt::WheelFocus);
  setMinimumHeight(40);
}

CLiveMeterView::~CLiveMeterView() = default;

// --- Layout ---

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

void CLiveMeterView::EachDeviceRect(const TileVisitor& each) {
  if (!m_pSystem) return;
  CRect cursor{0, 0, 0, GetClientHeight()};
  for (CZone* zone : m_pSystem->GetZones()) zone->EachMeterRect(cursor, each);
}

void CLiveMeterView::Redraw() {
  Rebuild();
  update();
}

void CLiveMeterView::Rebuild() {
  ForgetDeletedDevices();
  LayOut(GetContentWidth());
  m_laidOutWidth = std::max(width(), m_content);
  EnsureBuffer(std::max(1, width()), std::max(1, GetClientHeight()));
  DrawAll(VisibleContent());
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
  // The zones are laid out from content x 0; each draws only its tiles within the buffer.
  int left = 0;
  const int right = std::max(rect.right, m_content);
  for (CZone* zone : m_pSystem->GetZones()) {
    if (left >= rect.right) break;
    left += zone->DrawMeters(m_pGraphics.get(), CRect{left, rect.top, right, rect.bottom}, m_pGraphics.get(), false);
  }
}

void CLiveMeterView::ForgetDeletedDevices() {
  CZoneView::ForgetDeletedDevices();
  for (std::size_t i = m_queueDevices.size(); i-- > 0;) {
    if (m_pSystem && m_pSystem->GetDeviceIndex(m_queueDevices[i]) >= 0) continue;
    m_queueDevices.erase(m_queueDevices.begin() + std::ptrdiff_t(i));
    m_queueFlags.erase(m_queueFlags.begin() + std::ptrdiff_t(i));
  }
}

// --- The redraw queue ---

void CLiveMeterView::AddDevice(CDevice* device, std::intptr_t meterOnly) {
  if (!m_pSystem || !m_pGraphics) return;
  if (m_laidOutWidth < GetContentWidth()) {
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
    // A tile scrolled out of the window is drawn when it is scrolled back in.
    if (tile == CRect{} || !IsShown(tile)) continue;
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
  if (tile == CRect{} || !m_pGraphics || !IsShown(tile)) return;
  FillBackground(tile);
  device->DrawMonitorTile(m_pGraphics.get(), tile, m_pGraphics.get(), state);
  InvalidateContent(tile);
}

void CLiveMeterView::UpdateDeviceMeters(bool blinkPhase) {
  if (!m_pGraphics) return;
  // A tile whose warnings ended goes back to the normal look, whichever phase it ended in.
  Blink(blinkPhase, blinkPhase ? kMonitorNormal : kMonitorWarning, kMonitorNormal, true);
}

// --- Window ---

void CLiveMeterView::resizeEvent(QResizeEvent* event) {
  CZoneView::resizeEvent(event);
  if (width() <= 0 || height() <= 0) return;
  if (!HasTimer(kDrainTimer)) SetTimer(kDrainTimer, kDrainPeriodMs);
  ClampToWindow();
  Rebuild();
}

void CLiveMeterView::OnTimer(std::uint32_t id) {
  if (id == kDrainTimer)
    DrainQueue();
  else
    CZoneView::OnTimer(id);
}

void CLiveMeterView::AnimateZone(CZone& zone) { zone.AnimateMeterStep(); }

bool CLiveMeterView::IsZoneAnimating(const CZone& zone) const { return zone.m_nMeterAnimState != 0; }

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
  IMessageSink* frame = m_pSystem->GetUiServices();
  const CPoint at{x + m_scrollPos, y};
  for (CDevice* device : m_pSystem->GetDevices()) {
    if (frame && GetDeviceRect(device).Contains(at))
      frame->Post(CPostedMessage{FrameMsg::kOpenDevicePanel, 0, 0, device->GetHandle(), {}});
  }
}
