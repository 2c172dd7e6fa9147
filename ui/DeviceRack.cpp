// The device rack: layout, back buffer, scrolling, mouse, drag, rename, tooltips and blink.
#include "ui/DeviceRack.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <algorithm>

#include "core/model/ControlPanel.h"
#include "core/model/Device.h"
#include "core/model/NameRules.h"
#include "core/system/System.h"
#include "core/support/SystemMessages.h"
#include "core/model/UiServices.h"
#include "core/system/Zone.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/WindowMessages.h"
#include "ui/RackCommon.h"
#include "widgets/ErrorTip.h"

namespace {

constexpr CColour kSelectionOutline{0xFFDCDCDCu};
constexpr CColour kSelectionVeil{0x4BFFFFFFu};
// Blink states of DrawTile: the family's normal and warning looks.
constexpr int kTileNormal = 1;
constexpr int kTileWarning = 2;

}  // namespace

CDeviceRack::CDeviceRack(QWidget* parent) : CZoneView(true, true, parent) {
  setFocusPolicy(Qt::ClickFocus);
  setMinimumSize(100, 60);
}

CDeviceRack::~CDeviceRack() = default;

// --- Layout ---

int CDeviceRack::GetClientWidth() const {
  return std::max(0, width() - (IsScrollBarShown() ? m_scrollBar->sizeHint().width() : 0));
}

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

void CDeviceRack::EachDeviceRect(const TileVisitor& each) {
  if (!m_pSystem) return;
  CRect cursor{0, 0, GetClientWidth(), 0};
  for (CZone* zone : m_pSystem->GetZones()) zone->EachDeviceRect(cursor, each);
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
  LayOut(GetContentHeight());
  EnsureBuffer(std::max(1, GetClientWidth()), std::max(1, height()));
  DrawAll(VisibleContent());
}

void CDeviceRack::FillBackground(const CRect& rect) {
  const float bottom = float(std::max(m_content, height()));
  const CBrush brush = CBrush::LinearGradient(CPointF{0.0f, 0.0f}, CPointF{0.0f, bottom}, kRackBackgroundTop,
                                              kRackBackgroundBottom)
                           .SetWrapMode(WrapMode::Clamp);
  m_pGraphics->FillRectangle(brush, CRectF::FromRect(rect));
}

void CDeviceRack::DrawAll(const CRect& rect) {
  if (!m_pGraphics) return;
  FillBackground(rect);
  if (!m_pSystem) return;
  // The zones are stacked from content y 0; each draws only its header and tiles within the
  // buffer.
  int top = 0;
  const int bottom = std::max(rect.bottom, m_content);
  for (CZone* zone : m_pSystem->GetZones()) {
    if (top >= rect.bottom) break;
    top += zone->Draw(m_pGraphics.get(), CRect{rect.left, top, rect.right, bottom}, false);
  }
  if (CDevice* selected = m_pSystem->GetDevice(m_pSystem->GetSelectedDevice())) {
    const CRect tile = GetDeviceRect(selected);
    if (tile != CRect{} && IsShown(tile)) DrawSelection(tile);
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
  CZoneView::ForgetDeletedDevices();
  if (m_pDragDevice && (!m_pSystem || m_pSystem->GetDeviceIndex(m_pDragDevice) < 0)) m_pDragDevice = nullptr;
}

void CDeviceRack::Post(std::uint32_t message, const CDevice* device) {
  if (IMessageSink* frame = m_pSystem ? m_pSystem->GetUiServices() : nullptr)
    frame->Post(CPostedMessage{message, 0, 0, device ? device->GetHandle() : 0, {}});
}

void CDeviceRack::resizeEvent(QResizeEvent* event) {
  CZoneView::resizeEvent(event);
  if (width() <= 0 || height() <= 0) return;
  ClampToWindow();
  Rebuild();
  // A rename in progress goes on over the header at its new width.
  if (m_edit) PlaceRenameEditor();
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
        if (device) Post(FrameMsg::kOpenDevicePanel, device);
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
  if (index >= 0) Post(FrameMsg::kSelectDevice, device);
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
    Post(FrameMsg::kRebuildMeters);
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
  if (tile == CRect{} || !m_pGraphics || !IsShown(tile)) return;
  FillBackground(tile);
  device->DrawTile(m_pGraphics.get(), tile, state);
  if (m_pSystem->IsSelectedDevice(device)) DrawSelection(tile);
  InvalidateContent(tile);
}

void CDeviceRack::UpdateDevice(bool blinkPhase) {
  Blink(blinkPhase, blinkPhase ? kTileNormal : kTileWarning, kTileNormal, false);
}

// --- Zone animation ---

void CDeviceRack::AnimateZone(CZone& zone) { zone.AnimateStep(); }

bool CDeviceRack::IsZoneAnimating(const CZone& zone) const { return zone.m_nAnimState != 0; }

// --- Renaming a zone ---

void CDeviceRack::BeginRename(int zoneIndex) {
  if (!m_pSystem || zoneIndex < 0 || std::size_t(zoneIndex) >= m_pSystem->GetZones().size()) return;
  if (m_edit) EndRename(false);
  CZone* zone = m_pSystem->GetZones()[std::size_t(zoneIndex)];
  m_nRenameZone = zoneIndex;
  m_edit = new QLineEdit(this);
  m_edit->setObjectName(QStringLiteral("ZoneNameEditor"));
  m_edit->setFont(RackEditorFont());
  m_edit->setText(QString::fromStdString(zone->GetName()));
  PlaceRenameEditor();
  m_edit->installEventFilter(this);
  m_edit->show();
  m_edit->selectAll();
  m_edit->setFocus(Qt::OtherFocusReason);
}

void CDeviceRack::PlaceRenameEditor() {
  if (!m_edit || !m_pSystem || m_nRenameZone < 0 || std::size_t(m_nRenameZone) >= m_pSystem->GetZones().size())
    return;
  const CRect header = GetZoneHeaderRect(m_pSystem->GetZones()[std::size_t(m_nRenameZone)]);
  m_edit->setGeometry(header.left + 6, header.top - m_scrollPos, header.Width() - 54, header.Height());
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
  // A name the rule refuses (a tab or a line end pasted with it) is said under the header, and
  // the zone keeps its name.
  if (const std::string refusal = NameRefusal(name, kZoneNameRule); !refusal.empty()) {
    const CRect header = GetZoneHeaderRect(zone);
    if (!m_refusalTip) m_refusalTip = new CErrorTip(this);
    m_refusalTip->ShowBeside(*this, QRect(header.left, header.top - m_scrollPos, header.Width(), header.Height()),
                             QString::fromStdString(refusal), kRefusalTipMs);
    return;
  }
  zone->SetName(name);
  m_pSystem->SetModified(true);
  Refresh();
  Post(FrameMsg::kRebuildMeters);
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
