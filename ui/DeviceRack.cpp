// The device rack: layout, back buffer, scrolling, mouse, drag, rename, tooltips and blink.
#include "ui/DeviceRack.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>

#include "core/ControlPanel.h"
#include "core/Device.h"
#include "core/System.h"
#include "core/SystemMessages.h"
#include "core/Zone.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/WindowMessages.h"
#include "ui/RackCommon.h"

namespace {

constexpr int kLineStep = 5;
constexpr int kPageStep = 30;
constexpr int kWheelStep = 10;
constexpr std::uint32_t kFirstZoneTimer = 101;
constexpr std::uint32_t kLastZoneTimer = 200;
constexpr CColour kSelectionOutline{0xFFDCDCDCu};
constexpr CColour kSelectionVeil{0x4BFFFFFFu};
// Blink states of DrawTile: the family's normal and warning looks.
constexpr int kTileNormal = 1;
constexpr int kTileWarning = 2;

}  // namespace

CDeviceRack::CDeviceRack(QWidget* parent) : CNumberedTimerWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::ClickFocus);
  setMinimumSize(100, 60);
  m_scrollBar = new QScrollBar(Qt::Vertical, this);
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

CDeviceRack::~CDeviceRack() = default;

void CDeviceRack::SetSystem(CSystem* system) {
  m_pSystem = system;
  Refresh();
}

// --- Layout ---

int CDeviceRack::GetClientWidth() const { return std::max(0, width() - (IsScrollBarShown() ? m_scrollBar->sizeHint().width() : 0)); }

bool CDeviceRack::IsScrollBarShown() const { return !m_scrollBar->isHidden(); }

int CDeviceRack::GetContentHeight() {
  int height = 0;
  if (!m_pSystem) return 0;
  for (CZone* zone : m_pSystem->GetZones()) height += zone->Draw(nullptr, CRect{}, false);
  return height;
}

CRect CDeviceRack::GetZoneHeaderRect(const CZone* zone) {
  if (!m_pSystem) return CRect{};
  int top = 0;
  for (CZone* z : m_pSystem->GetZones()) {
    if (z == zone) return CRect{0, top, GetClientWidth(), top + kZoneHeaderSize};
    top += z->Draw(nullptr, CRect{}, false);
  }
  return CRect{};
}

CRect CDeviceRack::GetDeviceRect(const CDevice* device) {
  if (!m_pSystem || !device) return CRect{};
  CRect cursor{0, 0, GetClientWidth(), 0};
  for (CZone* zone : m_pSystem->GetZones()) {
    const CRect r = zone->GetDeviceRect(device, cursor);
    if (r != CRect{}) return r;
  }
  return CRect{};
}

CZone* CDeviceRack::FindZoneOfDevice(const CDevice* device) const {
  if (!m_pSystem) return nullptr;
  for (CZone* zone : m_pSystem->GetZones())
    if (zone->HasDevice(device)) return zone;
  return nullptr;
}

void CDeviceRack::Refresh() {
  Rebuild();
  update();
}

void CDeviceRack::Rebuild() {
  ForgetDeletedDevices();
  const int clientHeight = std::max(1, height());
  m_contentHeight = GetContentHeight();
  if (clientHeight < m_contentHeight) {
    m_scrollBar->show();
    if (m_contentHeight < m_scrollPos + clientHeight) m_scrollPos = m_contentHeight - clientHeight;
  } else {
    m_scrollBar->hide();
    m_scrollPos = 0;
  }
  ApplyScrollBar();
  const int bufferWidth = std::max(1, GetClientWidth());
  const int bufferHeight = std::max(clientHeight, m_contentHeight);
  if (!m_backBuffer || m_backBuffer->Width() != bufferWidth || m_backBuffer->Height() != bufferHeight) {
    m_pGraphics.reset();
    m_backBuffer = std::make_unique<CImage>(bufferWidth, bufferHeight);
    m_pGraphics = std::make_unique<Graphics>(*m_backBuffer);
  }
  DrawAll(CRect{0, 0, bufferWidth, bufferHeight});
}

void CDeviceRack::ApplyScrollBar() {
  const int clientHeight = height();
  const int barWidth = m_scrollBar->sizeHint().width();
  m_scrollBar->setGeometry(width() - barWidth, 0, barWidth, clientHeight);
  const QSignalBlocker block(m_scrollBar);
  m_scrollBar->setRange(0, std::max(0, m_contentHeight - clientHeight));
  m_scrollBar->setPageStep(std::max(1, clientHeight));
  m_scrollBar->setValue(m_scrollPos);
}

void CDeviceRack::FillBackground(const CRect& rect) {
  const float bottom = float(std::max(m_contentHeight, height()));
  const CBrush brush = CBrush::LinearGradient(CPointF{0.0f, 0.0f}, CPointF{0.0f, bottom}, kRackBackgroundTop,
                                              kRackBackgroundBottom)
                           .SetWrapMode(WrapMode::Clamp);
  m_pGraphics->FillRectangle(brush, CRectF::FromRect(rect));
}

void CDeviceRack::DrawAll(const CRect& rect) {
  if (!m_pGraphics) return;
  FillBackground(rect);
  if (!m_pSystem) return;
  int top = rect.top;
  for (CZone* zone : m_pSystem->GetZones()) {
    top += zone->Draw(m_pGraphics.get(), CRect{rect.left, top, rect.right, rect.bottom}, false);
  }
  if (CDevice* selected = m_pSystem->GetDevice(m_pSystem->GetSelectedDevice())) {
    const CRect tile = GetDeviceRect(selected);
    if (tile != CRect{}) DrawSelection(tile);
  }
}

void CDeviceRack::DrawSelection(const CRect& tile) {
  Graphics& g = *m_pGraphics;
  const CPen pen(kSelectionOutline, 1.0f);
  const float x = float(tile.left), y = float(tile.top), w = float(tile.Width()), h = float(tile.Height());
  g.DrawRectangle(pen, CRectF{x, y, w - 1.0f, h - 1.0f});
  g.DrawRectangle(pen, CRectF{x + 1.0f, y + 1.0f, w - 3.0f, h - 3.0f});
  g.FillRectangle(CBrush::Solid(kSelectionVeil), CRectF{x, y, w, h});
}

void CDeviceRack::ForgetDeletedDevices() {
  auto gone = [this](CDevice* d) { return !m_pSystem || m_pSystem->GetDeviceIndex(d) < 0; };
  std::erase_if(m_litDevices, gone);
  std::erase_if(m_unlitDevices, gone);
  if (m_pDragDevice && gone(m_pDragDevice)) m_pDragDevice = nullptr;
}

void CDeviceRack::InvalidateContent(const CRect& rect) {
  update(QRect(rect.left, rect.top - m_scrollPos, rect.Width(), rect.Height()));
}

void CDeviceRack::Post(std::uint32_t message, WPARAM wParam) {
  if (IMessageSink* frame = m_pSystem ? m_pSystem->GetFrame() : nullptr) frame->PostMessage(message, wParam, 0);
}

// --- Painting ---

void CDeviceRack::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect clip = event->rect();
  if (!m_backBuffer) {
    painter.fillRect(clip, QColor::fromRgba(kRackBackgroundBottom.argb));
    return;
  }
  painter.drawImage(clip.topLeft(), m_backBuffer->Native(), clip.translated(0, m_scrollPos));
}

void CDeviceRack::resizeEvent(QResizeEvent* event) {
  CNumberedTimerWidget::resizeEvent(event);
  if (width() <= 0 || height() <= 0) return;
  if (m_scrollPos != 0 && m_contentHeight < m_scrollPos + height())
    m_scrollPos = std::max(0, m_contentHeight - height());
  Rebuild();
  if (m_edit) EndRename(false);
}

// --- Scrolling ---

void CDeviceRack::ScrollTo(int position) {
  const int bottom = std::max(0, m_contentHeight - height());
  m_scrollPos = std::clamp(position, 0, bottom);
  ApplyScrollBar();
  update();
}

void CDeviceRack::ScrollBy(Scroll step) {
  switch (step) {
    case Scroll::LineUp: ScrollTo(m_scrollPos - kLineStep); break;
    case Scroll::LineDown: ScrollTo(m_scrollPos + kLineStep); break;
    case Scroll::PageUp: ScrollTo(m_scrollPos - kPageStep); break;
    case Scroll::PageDown: ScrollTo(m_scrollPos + kPageStep); break;
    case Scroll::Top: ScrollTo(0); break;
    case Scroll::Bottom: ScrollTo(m_contentHeight); break;
  }
}

void CDeviceRack::wheelEvent(QWheelEvent* event) {
  // Each wheel message moves 10 px, whatever its size.
  const int delta = event->angleDelta().y();
  if (m_contentHeight > height() && delta != 0) ScrollTo(m_scrollPos + (delta > 0 ? -kWheelStep : kWheelStep));
  event->accept();
}

// --- Mouse ---

void CDeviceRack::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (event->button() == Qt::LeftButton) HandleMouse(Mouse::LeftDown, p.x(), p.y());
  if (event->button() == Qt::RightButton) HandleMouse(Mouse::RightDown, p.x(), p.y());
}

void CDeviceRack::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (event->button() == Qt::LeftButton) HandleMouse(Mouse::LeftUp, p.x(), p.y());
}

void CDeviceRack::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (event->button() == Qt::LeftButton) HandleMouse(Mouse::DoubleClick, p.x(), p.y());
}

void CDeviceRack::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  HandleMouse(Mouse::Move, p.x(), p.y());
}

void CDeviceRack::leaveEvent(QEvent* event) {
  m_pDragDevice = nullptr;
  CNumberedTimerWidget::leaveEvent(event);
}

void CDeviceRack::HandleMouse(Mouse message, int x, int windowY) {
  if (message == Mouse::Leave) {
    m_pDragDevice = nullptr;
    return;
  }
  if (message == Mouse::LeftDown) setFocus(Qt::MouseFocusReason);
  if (message == Mouse::Move && !m_pDragDevice) return;
  if (!m_pSystem) return;
  const int y = windowY + m_scrollPos;
  const int clientWidth = GetClientWidth();
  CDevice* device = nullptr;
  CZone* headerZone = nullptr;
  int headerIndex = -1;
  CRect header;
  int top = 0;
  const auto& zones = m_pSystem->GetZones();
  for (std::size_t i = 0; i < zones.size(); ++i) {
    header = CRect{0, top, clientWidth, top + kZoneHeaderSize};
    if (header.Contains(CPoint{x, y})) {
      headerZone = zones[i];
      headerIndex = int(i);
      break;
    }
    CRect cursor{0, top, clientWidth, 0};
    device = zones[i]->HitTestDevice(x, y, cursor);
    if (device) break;
    top = cursor.top;
  }

  if (device || m_pDragDevice) {
    switch (message) {
      case Mouse::LeftDown:
        SelectDevice(device);
        m_pDragDevice = device;
        break;
      case Mouse::LeftUp: m_pDragDevice = nullptr; break;
      case Mouse::DoubleClick:
        if (device) Post(UWM_OPEN_DEVICE_PANEL, reinterpret_cast<WPARAM>(device));
        break;
      case Mouse::RightDown:
        if (device) SelectDevice(device);
        break;
      case Mouse::Move: DragStep(y); break;
      case Mouse::Leave: break;
    }
    return;
  }
  if (!headerZone) return;
  if (message == Mouse::LeftDown) {
    headerZone->OnHeaderClick(CPoint{x, y}, header);
  } else if (message == Mouse::DoubleClick) {
    const CRect name{header.left + 6, header.top + 2, header.right - 48, header.bottom - 2};
    if (name.Contains(CPoint{x, y})) BeginRename(headerIndex);
  }
}

void CDeviceRack::SelectDevice(CDevice* device) {
  if (m_pDragDevice || !m_pSystem) return;
  const int index = m_pSystem->GetDeviceIndex(device);
  m_pSystem->SetSelectedDevice(index);
  if (index >= 0) Post(UWM_REFRESH_SELECTION_PROPERTIES, reinterpret_cast<WPARAM>(device));
  Refresh();
  if (index < 0) return;
  // An open panel of the device comes to the top.
  if (auto* panel = dynamic_cast<QWidget*>(device->GetControlPanel())) {
    for (QWidget* w = panel; w; w = w->parentWidget()) {
      if (auto* sub = qobject_cast<QMdiSubWindow*>(w)) {
        sub->raise();
        break;
      }
    }
  }
}

void CDeviceRack::DragStep(int contentY) {
  CDevice* device = m_pDragDevice;
  CZone* zone = FindZoneOfDevice(device);
  const CRect r = GetDeviceRect(device);
  if (!zone || r == CRect{}) return;
  const auto& zones = m_pSystem->GetZones();
  const auto at = std::find(zones.begin(), zones.end(), zone) - zones.begin();
  bool moved = false;
  if (contentY < r.top) {
    moved = zone->MoveDeviceUp(device);
    for (auto i = at - 1; !moved && i >= 0; --i) {
      if (zones[std::size_t(i)]->m_bCollapsed) continue;
      zone->RemoveDevice(device);
      zones[std::size_t(i)]->AppendDevice(device);
      moved = true;
    }
  } else if (contentY >= r.bottom) {
    moved = zone->MoveDeviceDown(device);
    for (auto i = at + 1; !moved && i < std::ptrdiff_t(zones.size()); ++i) {
      if (zones[std::size_t(i)]->m_bCollapsed) continue;
      zone->RemoveDevice(device);
      zones[std::size_t(i)]->InsertDeviceFirst(device);
      moved = true;
    }
  } else {
    return;
  }
  if (moved) {
    Refresh();
    Post(UWM_REDRAW_LIVE_METERS, reinterpret_cast<WPARAM>(this));
  }
  m_pSystem->SetModified(true);
}

int CDeviceRack::IsDeviceAt(int x, int y) {
  if (!m_pSystem) return -1;
  const int contentY = y + m_scrollPos;
  CRect cursor{0, 0, GetClientWidth(), 0};
  for (CZone* zone : m_pSystem->GetZones()) {
    if (zone->HitTestDevice(x, contentY, cursor)) return 1;
  }
  return -1;
}

bool CDeviceRack::IsZoneAt(int x, int y) {
  if (!m_pSystem || x < 0 || x >= GetClientWidth()) return false;
  const int contentY = y + m_scrollPos;
  int top = 0;
  for (CZone* zone : m_pSystem->GetZones()) {
    if (CRect{0, top, GetClientWidth(), top + kZoneHeaderSize}.Contains(CPoint{x, contentY})) return true;
    CRect cursor{0, top, GetClientWidth(), 0};
    if (zone->HitTestDevice(x, contentY, cursor)) return true;
    top = cursor.top;
  }
  return false;
}

void CDeviceRack::contextMenuEvent(QContextMenuEvent* event) {
  if (!IsZoneAt(event->pos().x(), event->pos().y())) return;
  if (m_onContextMenu) m_onContextMenu(event->globalPos());
}

// --- Blink ---

void CDeviceRack::RedrawTile(CDevice* device, const CRect& tile, int state) {
  if (tile == CRect{} || !m_pGraphics) return;
  FillBackground(tile);
  device->DrawTile(m_pGraphics.get(), tile, state);
  if (m_pSystem->IsSelectedDevice(device)) DrawSelection(tile);
  InvalidateContent(tile);
}

void CDeviceRack::UpdateDevice(bool blinkPhase) {
  if (!m_pSystem) return;
  ForgetDeletedDevices();
  std::vector<CDevice*>& current = blinkPhase ? m_unlitDevices : m_litDevices;
  std::vector<CDevice*>& other = blinkPhase ? m_litDevices : m_unlitDevices;
  current.clear();
  const int state = blinkPhase ? kTileNormal : kTileWarning;
  for (CDevice* device : m_pSystem->GetDevices()) {
    if (device->HasWarnings() != 0 && device->GetCommsLevel() >= 3) {
      RedrawTile(device, GetDeviceRect(device), state);
      current.push_back(device);
    } else if (std::find(other.begin(), other.end(), device) != other.end()) {
      RedrawTile(device, GetDeviceRect(device), kTileNormal);
    }
  }
}

// --- Zone animation ---

void CDeviceRack::OnTimer(std::uint32_t id) {
  if (id < kFirstZoneTimer || id > kLastZoneTimer || !m_pSystem) return;
  const std::size_t index = id - kFirstZoneTimer;
  const auto& zones = m_pSystem->GetZones();
  // A zone deleted while it moved leaves a timer that names no moving zone: stop it.
  if (index >= zones.size() || zones[index]->m_nAnimState == 0) {
    KillTimer(id);
    return;
  }
  zones[index]->AnimateStep();
}

// --- Renaming a zone ---

void CDeviceRack::BeginRename(int zoneIndex) {
  if (!m_pSystem || zoneIndex < 0 || std::size_t(zoneIndex) >= m_pSystem->GetZones().size()) return;
  if (m_edit) EndRename(false);
  CZone* zone = m_pSystem->GetZones()[std::size_t(zoneIndex)];
  const CRect header = GetZoneHeaderRect(zone);
  m_nRenameZone = zoneIndex;
  m_edit = new QLineEdit(this);
  m_edit->setObjectName(QStringLiteral("ZoneNameEditor"));
  m_edit->setFont(RackEditorFont());
  m_edit->setText(QString::fromStdString(zone->GetName()));
  m_edit->setGeometry(header.left + 6, header.top - m_scrollPos, header.Width() - 54, header.Height());
  m_edit->installEventFilter(this);
  m_edit->show();
  m_edit->selectAll();
  m_edit->setFocus(Qt::OtherFocusReason);
}

void CDeviceRack::EndRename(bool apply) {
  if (!m_edit) return;
  const int index = m_nRenameZone;
  // Cleared first: the focus loss that closing the editor causes applies nothing.
  m_nRenameZone = -1;
  QLineEdit* edit = m_edit;
  m_edit = nullptr;
  const std::string name = edit->text().toStdString();
  edit->removeEventFilter(this);
  edit->hide();
  edit->deleteLater();
  if (!apply || index < 0 || !m_pSystem || std::size_t(index) >= m_pSystem->GetZones().size()) return;
  CZone* zone = m_pSystem->GetZones()[std::size_t(index)];
  if (zone->GetName() == name) return;
  zone->SetName(name);
  m_pSystem->SetModified(true);
  Refresh();
  Post(UWM_REDRAW_LIVE_METERS, reinterpret_cast<WPARAM>(this));
}

bool CDeviceRack::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_edit && m_nRenameZone != -1) {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        EndRename(true);
        return true;
      }
      if (key == Qt::Key_Escape) {
        EndRename(false);
        return true;
      }
    } else if (event->type() == QEvent::FocusOut) {
      EndRename(true);
    }
  }
  return CNumberedTimerWidget::eventFilter(watched, event);
}

// --- Tooltips ---

bool CDeviceRack::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return CNumberedTimerWidget::event(event);
  auto* help = static_cast<QHelpEvent*>(event);
  CDevice* device = nullptr;
  CRect tile;
  if (m_pSystem) {
    const CPoint at{help->pos().x(), help->pos().y() + m_scrollPos};
    for (CDevice* d : m_pSystem->GetDevices()) {
      tile = GetDeviceRect(d);
      if (tile.Contains(at)) {
        device = d;
        break;
      }
    }
  }
  const QString text = device ? DeviceToolTip(*device, true) : QString();
  if (text.isEmpty()) {
    QToolTip::hideText();
    event->ignore();
    return true;
  }
  QToolTip::showText(help->globalPos(), text, this,
                     QRect(tile.left, tile.top - m_scrollPos, tile.Width(), tile.Height()));
  return true;
}
