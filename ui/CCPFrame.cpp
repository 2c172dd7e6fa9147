// Custom panel frame: design toolbar and drawn tool icons, mode-dependent layout and geometry,
// placement in the panel data, close refusal.
#include "ui/CCPFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolBar>
#include <QVBoxLayout>

#include "core/CPData.h"
#include "core/System.h"
#include "core/User.h"

namespace {

struct ToolSpec {
  std::uint32_t id;  // 0: separator
  const char* text;  // status prompt, then the tooltip after the line feed
};

const ToolSpec kTools[] = {
    {32869, "Select Mode\nUse the cursor to select objects in the view"},
    {32870, "Add a text control to this custom control panel\nAdd Text Control"},
    {32871, "Add a knob to this custom control panel\nAdd Knob Control"},
    {32872, "Add a fader to this custom control panel\nAdd Fader Control"},
    {32873, "Add a bitmap to this custom control panel\nAdd Bitmap Control"},
    {32874, "Add an LED to this custom control panel\nAdd LED Control"},
    {32875, "Add a button to this custom control panel\nAdd Button Control"},
    {0, nullptr},
    {32876, "Show the grid on the control panel\nShow Grid"},
    {32877, "Snap co-ordinates to the grid when moving or resizing\nSnap To Grid"},
    {0, nullptr},
    {32878, "Delete the currently selected control(s)\nDelete"},
    {0, nullptr},
    {32879, "Raise the selected control one level in the Z-order\nRaise"},
    {32880, "Lower the selected control one level in the Z-order\nLower"},
    {32881, "Raise the selected control to the top of the Z-order\nRaise to Top"},
    {32882, "Lower the selected control to the bottom of the Z-order\nLower to Bottom"},
};

// The 16 x 16 picture of a design tool, drawn in dark grey with one accent colour.
QPixmap ToolIcon(std::uint32_t id) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor ink(40, 40, 40);
  const QColor accent(30, 110, 200);
  p.setPen(QPen(ink, 1.2));
  auto arrow = [&](bool up, int y, bool bar) {
    QPainterPath path;
    if (up) {
      path.moveTo(8, y);
      path.lineTo(13, y + 5);
      path.lineTo(3, y + 5);
    } else {
      path.moveTo(8, y + 5);
      path.lineTo(13, y);
      path.lineTo(3, y);
    }
    path.closeSubpath();
    p.fillPath(path, accent);
    if (bar) p.fillRect(QRectF(3, up ? y - 3 : y + 7, 10, 2), ink);
  };
  switch (id) {
    case 32869: {  // pointer
      QPainterPath path;
      path.moveTo(4, 1);
      path.lineTo(4, 14);
      path.lineTo(7, 11);
      path.lineTo(10, 15);
      path.lineTo(12, 14);
      path.lineTo(9, 10);
      path.lineTo(13, 10);
      path.closeSubpath();
      p.fillPath(path, Qt::white);
      p.drawPath(path);
      break;
    }
    case 32870: {  // text
      QFont font(QStringLiteral("DejaVu Sans"));
      font.setPixelSize(14);
      font.setBold(true);
      p.setFont(font);
      p.setPen(accent);
      p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("T"));
      break;
    }
    case 32871:  // knob
      p.setBrush(QColor(90, 90, 90));
      p.drawEllipse(QRectF(2, 2, 12, 12));
      p.setPen(QPen(accent, 2));
      p.drawLine(QPointF(8, 8), QPointF(11.5, 4.5));
      break;
    case 32872:  // fader
      p.fillRect(QRectF(7, 1, 2, 14), ink);
      p.fillRect(QRectF(3, 6, 10, 4), accent);
      break;
    case 32873:  // picture
      p.setBrush(QColor(200, 225, 250));
      p.drawRect(QRectF(1.5, 2.5, 13, 11));
      p.setBrush(QColor(60, 150, 60));
      p.setPen(Qt::NoPen);
      p.drawPolygon(QPolygonF({QPointF(2, 13), QPointF(7, 7), QPointF(10, 10), QPointF(14, 6), QPointF(14, 13)}));
      break;
    case 32874:  // LED
      p.setBrush(QColor(220, 40, 40));
      p.drawEllipse(QRectF(3, 3, 10, 10));
      p.setBrush(QColor(255, 180, 180));
      p.setPen(Qt::NoPen);
      p.drawEllipse(QRectF(5, 5, 3, 3));
      break;
    case 32875:  // button
      p.setBrush(QColor(215, 215, 215));
      p.drawRoundedRect(QRectF(1.5, 4.5, 13, 8), 2, 2);
      p.fillRect(QRectF(5, 7, 6, 3), accent);
      break;
    case 32876:  // grid
      for (int i = 2; i <= 14; i += 4) {
        p.drawLine(QPointF(i, 2), QPointF(i, 14));
        p.drawLine(QPointF(2, i), QPointF(14, i));
      }
      break;
    case 32877:  // snap
      for (int x = 3; x <= 13; x += 5)
        for (int y = 3; y <= 13; y += 5) p.fillRect(QRectF(x - 0.5, y - 0.5, 1.5, 1.5), ink);
      p.setBrush(accent);
      p.setPen(Qt::NoPen);
      p.drawRect(QRectF(8, 8, 5, 5));
      break;
    case 32878:  // delete
      p.setPen(QPen(QColor(200, 30, 30), 2.2));
      p.drawLine(QPointF(3, 3), QPointF(13, 13));
      p.drawLine(QPointF(13, 3), QPointF(3, 13));
      break;
    case 32879: arrow(true, 5, false); break;
    case 32880: arrow(false, 5, false); break;
    case 32881: arrow(true, 7, true); break;
    case 32882: arrow(false, 4, true); break;
    default: break;
  }
  return pixmap;
}

}  // namespace

CCCPFrame::CCCPFrame(CCustomControlPanel* panel, QWidget* view, QWidget* parent)
    : CPanelFrame(parent), m_panel(panel), m_view(view) {
  setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  m_client = new QWidget;
  auto* layout = new QVBoxLayout(m_client);
  layout->setSpacing(0);
  CreateDesignToolBar();
  layout->addWidget(m_toolBar);
  if (m_view) layout->addWidget(m_view, 1);
  setWidget(m_client);
  LayoutForMode();
}

void CCCPFrame::CreateDesignToolBar() {
  m_toolBar = new QToolBar;
  m_toolBar->setObjectName(QStringLiteral("DesignToolBar%1").arg(kDesignToolBarId));
  m_toolBar->setIconSize(QSize(16, 16));
  m_toolBar->setMovable(false);
  m_toolBar->setFloatable(false);
  m_toolBar->setContentsMargins(1, 1, 1, 1);
  for (const ToolSpec& tool : kTools) {
    if (tool.id == 0) {
      m_toolBar->addSeparator();
      continue;
    }
    const QString text = QString::fromUtf8(tool.text);
    const QString prompt = text.section(QLatin1Char('\n'), 0, 0);
    const QString tip = text.section(QLatin1Char('\n'), 1);
    QAction* action = m_toolBar->addAction(QIcon(ToolIcon(tool.id)), tip);
    action->setToolTip(tip);
    action->setStatusTip(prompt);
    action->setData(QVariant::fromValue(tool.id));
    const std::uint32_t id = tool.id;
    connect(action, &QAction::triggered, this, [this, id] {
      if (m_onCommand) m_onCommand(id);
    });
  }
}

void CCCPFrame::SetSystem(CSystem* system) {
  m_system = system;
  LayoutForMode();
}

bool CCCPFrame::DesignMode() const { return m_system && m_system->GetDesignMode() == 1; }

CCPData* CCCPFrame::GetPanelData() const {
  if (!m_system || !m_panel) return nullptr;
  for (CCPData* data : m_system->GetCustomPanels()) {
    if (data->m_pView == m_panel) return data;
  }
  return nullptr;
}

int CCCPFrame::ToolBarHeight() const { return m_toolBar ? m_toolBar->sizeHint().height() : 0; }

void CCCPFrame::LayoutForMode() {
  if (!m_system) return;
  const std::int32_t mode = m_system->GetDesignMode();
  if (mode != 0 && mode != 1) return;
  const bool design = mode == 1;
  // The view keeps its size; the frame grows by the toolbar and the sizing border around it.
  const QSize viewSize = m_view ? m_view->size() : QSize();
  const bool wasLaidOut = m_laidOut;
  m_laidOut = true;
  m_toolBar->setVisible(design);
  m_client->layout()->setContentsMargins(design ? kSizeFrameExtra : 0, design ? kSizeFrameExtra : 0,
                                         design ? kSizeFrameExtra : 0, design ? kSizeFrameExtra : 0);
  setMinimumSize(0, 0);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  if (wasLaidOut && m_view && viewSize.isValid()) {
    const QSize frameExtra = size() - m_client->size();
    const int chrome = design ? ToolBarHeight() + 2 * kSizeFrameExtra : 0;
    resize(viewSize.width() + (design ? 2 * kSizeFrameExtra : 0) + frameExtra.width(),
           viewSize.height() + chrome + frameExtra.height());
  }
  if (!design) setFixedSize(size());
}

void CCCPFrame::SavePlacement() {
  CCPData* data = GetPanelData();
  if (!data) return;
  CWindowPlacement placement = GetWindowPlacement();
  if (!DesignMode()) {
    placement.normalPosition.right += 2 * kSizeFrameExtra;
    placement.normalPosition.bottom += ToolBarHeight() + 2 * kSizeFrameExtra;
  }
  const PlacementWords words = PlacementToWords(placement);
  if (words == data->m_placement) return;
  data->m_placement = words;
  m_system->SetModified(true);
}

void CCCPFrame::RestorePlacement(const CWindowPlacement& stored) {
  CWindowPlacement placement = stored;
  if (m_system && m_system->GetDesignMode() == 0) {
    placement.normalPosition.right -= 2 * kSizeFrameExtra;
    placement.normalPosition.bottom -= 2 * kSizeFrameExtra + ToolBarHeight();
  }
  setMinimumSize(0, 0);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  SetWindowPlacement(placement);
  if (!DesignMode()) setFixedSize(size());
}

bool CCCPFrame::IsCloseRefused() const {
  const CCPData* data = GetPanelData();
  if (!data || !data->m_disableClosePanel) return false;
  const CUser* user = GetCurrentUser(*m_system);
  return user && user->GetRestrictionMask() != 0;
}

void CCCPFrame::CloseFromProgram() {
  m_programClose = true;
  close();
  m_programClose = false;
}

void CCCPFrame::RemoveCloseCommand() {
  setWindowFlag(Qt::WindowCloseButtonHint, false);
  if (QMenu* menu = systemMenu()) {
    for (QAction* action : menu->actions()) {
      if (action->text().contains(QStringLiteral("Close"))) action->setVisible(false);
    }
  }
}

void CCCPFrame::closeEvent(QCloseEvent* event) {
  // The close box of a locked panel does nothing for a user with any restriction.
  if (!m_programClose && IsCloseRefused()) {
    event->ignore();
    return;
  }
  if (m_system && GetPanelData()) m_system->OnPanelClosed(CSystem::CPanelView{nullptr, m_panel});
  CPanelFrame::closeEvent(event);
}

void CCCPFrame::moveEvent(QMoveEvent* event) {
  CPanelFrame::moveEvent(event);
  SavePlacement();
}

void CCCPFrame::resizeEvent(QResizeEvent* event) {
  CPanelFrame::resizeEvent(event);
  SavePlacement();
}

void CCCPFrame::OnSetFocus() {
  if (m_system && GetPanelData()) m_system->OnPanelActivated(CSystem::CPanelView{nullptr, m_panel});
}
