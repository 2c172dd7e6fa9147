// Custom panel frame: design toolbar and drawn tool icons, mode-dependent layout and geometry,
// placement in the panel data, close refusal.
#include "ui/CCPFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QPixmap>
#include <QToolBar>
#include <QVBoxLayout>

#include "core/draw/BitmapImage.h"
#include "custom/CPData.h"
#include "core/system/System.h"
#include "platform/Image.h"
#include "resources/Resources.h"

namespace {

// The toolbar's buttons in order; 0 is a separator. Each button's picture is the next 16 x 16
// cell of the toolbar resource, its texts the string-table entry of its command.
constexpr std::uint32_t kTools[] = {32869, 32870, 32871, 32872, 32873, 32874, 32875, 0, 32876,
                                    32877, 0,     32878, 0,     32879, 32880, 32881, 32882};

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
  CBitmapImage strip;
  strip.LoadFromResource(CBitmapImage::kResourceBmp, kDesignToolBarResource);
  int cell = 0;
  for (const std::uint32_t id : kTools) {
    if (id == 0) {
      m_toolBar->addSeparator();
      continue;
    }
    const QString text = QString::fromStdString(LoadResourceString(id));
    const QString prompt = text.section(QLatin1Char('\n'), 0, 0);
    const QString tip = text.section(QLatin1Char('\n'), 1);
    QIcon icon;
    if (const CImage* image = strip.GetImage(); image && image->Width() >= (cell + 1) * 16)
      icon = QIcon(QPixmap::fromImage(image->Native().copy(cell * 16, 0, 16, 16)));
    ++cell;
    QAction* action = m_toolBar->addAction(icon, tip);
    action->setToolTip(tip);
    action->setStatusTip(prompt);
    action->setData(QVariant::fromValue(id));
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
  return m_system->Users().IsCurrentUserRestricted();
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
  if (m_system && GetPanelData()) m_system->Panels().OnPanelClosed(CSystemPanels::CPanelView{nullptr, m_panel});
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
  if (m_system && GetPanelData()) m_system->Panels().OnPanelActivated(CSystemPanels::CPanelView{nullptr, m_panel});
}
