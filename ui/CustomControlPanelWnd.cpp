// Custom panel view: window services, the text widgets' edit box, broadcasts, operate-mode
// mouse, the window's events and the commands (the design editor is CCustomPanelDesigner, the
// painting CustomControlPanelPaint.cpp).
#include "ui/CustomControlPanelWnd.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <algorithm>

#include "custom/CPData.h"
#include "core/system/System.h"
#include "custom/TextEdit.h"
#include "platform/MouseMessages.h"
#include "ui/CustomPanelGeometry.h"
#include "widgets/ErrorTip.h"

using namespace panelgeometry;

CCustomControlPanelWnd::CCustomControlPanelWnd(CSystem& system, QWidget* parent)
    : CWidgetHostWnd(parent), m_system(system) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
}

CCustomControlPanelWnd::~CCustomControlPanelWnd() { Detach(); }

void CCustomControlPanelWnd::Detach() {
  // An edit still open ends without a commit: its widget may outlive the view or not.
  if (m_editing) {
    CCCTextEdit* editor = m_editing;
    EndTextEditor(false);
    editor->Detach();
  }
  if (m_data) {
    if (m_data->m_pView == this) m_data->m_pView = nullptr;
    for (CCustomControlObject* widget : m_data->m_widgets) {
      if (widget->m_pView == this) widget->m_pView = nullptr;
    }
  }
  for (CCustomControlObject* widget : m_system.GetCopiedWidgets()) {
    if (widget->m_pView == this) widget->m_pView = nullptr;
  }
  m_data = nullptr;
  m_active = nullptr;
  m_designer.Reset();
}

void CCustomControlPanelWnd::SetPanelData(CCPData* data) {
  m_data = data;
  if (!data) return;
  data->m_pView = this;
  for (CCustomControlObject* widget : data->m_widgets) widget->m_pView = this;
}

bool CCustomControlPanelWnd::DesignMode() const { return m_system.GetDesignMode() != 0; }

void CCustomControlPanelWnd::ShowPanelProperties() {
  if (m_showPanelProperties) m_showPanelProperties(*this, false);
}

void CCustomControlPanelWnd::ShowWidgetProperties(CCustomControlObject* widget, bool force) {
  if (m_showWidgetProperties) m_showWidgetProperties(widget, force);
}

void CCustomControlPanelWnd::ShowWidgetGeometry(CCustomControlObject* widget, const CRect& rect) {
  if (m_showWidgetGeometry) m_showWidgetGeometry(widget, rect);
}

void CCustomControlPanelWnd::SetModified() { m_system.SetModified(true); }

int CCustomControlPanelWnd::GetControlCount() const { return m_data ? int(m_data->m_widgets.size()) : 0; }

// --- Window services ---

void CCustomControlPanelWnd::DestroyPanelWindow() {
  // The frame is deleted later, from the event loop: the panel is free for a new view now.
  if (m_close) m_close();
  Detach();
  if (!m_close) delete this;
}

void CCustomControlPanelWnd::BringPanelToTop() {
  if (m_raise) m_raise();
}

void CCustomControlPanelWnd::SetPanelTitle(const std::string& name) {
  if (m_title) m_title(name);
}

CPoint CCustomControlPanelWnd::PointerPosition() const {
  const QPoint p = mapFromGlobal(QCursor::pos());
  return CPoint{p.x(), p.y()};
}

// --- The text widgets' edit box ---

bool CCustomControlPanelWnd::OpenTextEditor(CCCTextEdit* editor, const CRect& rect, const std::string& text,
                                            int alignment) {
  if (!editor) return false;
  if (m_editing) EndTextEditor(true);
  m_editing = editor;
  EditBoxLook look;
  look.name = QStringLiteral("CCCTextEdit");
  // 10-point Arial, as every text widget's editor has it.
  QFont font(QString::fromStdString(ResolveFontFace("Arial")));
  font.setPointSizeF(10.0);
  look.font = font;
  look.rect = rect;
  look.text = text;
  const Qt::Alignment horizontal = alignment == 2 ? Qt::AlignRight : alignment == 0 ? Qt::AlignLeft : Qt::AlignHCenter;
  look.alignment = horizontal | Qt::AlignVCenter;
  OpenEditBox(look);
  return true;
}

void CCustomControlPanelWnd::CloseTextEditor(CCCTextEdit* editor) {
  if (editor && editor == m_editing) EndTextEditor(true);
}

void CCustomControlPanelWnd::EndTextEditor(bool report) {
  CCCTextEdit* editor = m_editing;
  const std::optional<std::string> text = TakeEditBox();
  if (!text) return;
  m_editing = nullptr;
  if (report && editor) editor->OnKillFocus(*text);
}

void CCustomControlPanelWnd::OnEditBoxKey(int key) {
  if (m_editing) m_editing->OnKeyDown(key == VK_RETURN ? 13 : 27);
}

void CCustomControlPanelWnd::OnEditBoxFocusOut(Qt::FocusReason reason) {
  // The box's own context menu takes the focus for a moment: the edit goes on.
  if (reason != Qt::PopupFocusReason) EndTextEditor(true);
}

void CCustomControlPanelWnd::ShowEditRefused(const CCustomControlObject& widget, const std::string& message) {
  ShowWidgetMessage(widget, message);
}

void CCustomControlPanelWnd::ShowWidgetMessage(const CCustomControlObject& widget, const std::string& message) {
  if (!m_refusalTip) m_refusalTip = new CErrorTip(this);
  const CRect& r = widget.m_rect;
  m_refusalTip->ShowBeside(*this, QRect(r.left, r.top, r.Width(), r.Height()), QString::fromStdString(message),
                           kRefusalTipMs);
}

QString CCustomControlPanelWnd::FilterTypedText(const QString& text) const {
  QString kept;
  for (const char32_t ch : text.toUcs4()) {
    if (ch < 0x20 || (m_editing && m_editing->OnChar(ch))) kept += QString::fromUcs4(&ch, 1);
  }
  return kept;
}

// --- Broadcasts and the active widget ---

void CCustomControlPanelWnd::BroadcastParameterUpdate(CDevice* device, std::uint32_t parameterId) {
  if (!m_data) return;
  for (CCustomControlObject* widget : m_data->m_widgets) {
    if (widget->m_pDevice != device || widget->m_parameterId != parameterId) continue;
    const CRect dirty = widget->OnParameterUpdate(widget->GetParameterValue());
    if (!IsEmpty(dirty)) RedrawRect(dirty, true, true);
  }
}

void CCustomControlPanelWnd::BroadcastSnapshotRecalled(const CUuid& snapshot) {
  if (!m_data) return;
  for (CCustomControlObject* widget : m_data->m_widgets) {
    const CRect dirty = widget->OnSnapshotRecalled(snapshot);
    if (!IsEmpty(dirty)) RedrawRect(dirty, true, true);
  }
}

void CCustomControlPanelWnd::SetActiveControl(CCustomControlObject* widget) {
  if (m_active && m_active != widget) m_active->Deactivate();
  m_active = widget;
}

void CCustomControlPanelWnd::ForgetActiveControl(const CCustomControlObject* widget) {
  if (m_active == widget) m_active = nullptr;
}

CCustomControlObject* CCustomControlPanelWnd::HitTest(CPoint point) const {
  if (!m_data) return nullptr;
  for (auto it = m_data->m_widgets.rbegin(); it != m_data->m_widgets.rend(); ++it) {
    if ((*it)->m_hitTest && HoldsPoint((*it)->m_rect, point)) return *it;
  }
  return nullptr;
}

void CCustomControlPanelWnd::DispatchMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y) {
  const bool design = DesignMode();
  const CPoint point{x, y};
  CRect redraw{};
  bool handled = false;
  if (m_active) {
    CCustomControlObject* active = m_active;
    if (active->CurrentUserMayUse()) active->OnMouseMessage(message, flags, design, point, redraw);
    handled = m_active == active;
  }
  if (!handled) {
    CCustomControlObject* widget = HitTest(point);
    if (widget && !design && (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK)) {
      if (const std::string refusal = widget->PressRefusal(); !refusal.empty()) {
        ShowWidgetMessage(*widget, refusal);
        widget = nullptr;
      }
    }
    if (widget && widget->CurrentUserMayUse()) widget->OnMouseMessage(message, flags, design, point, redraw);
  }
  if (!IsEmpty(redraw)) RedrawRect(redraw, true, true);
}

// --- The mouse and keys: operate mode or the designer ---

void CCustomControlPanelWnd::RouteMouse(std::uint32_t message, std::uint32_t flags, CPoint point) {
  if (!m_data) return;
  if (!DesignMode()) return DispatchMouseMessage(message, flags, point.x, point.y);
  switch (message) {
    case WM_LBUTTONDOWN: m_designer.OnLButtonDown(flags, point); break;
    case WM_MOUSEMOVE: m_designer.OnMouseMove(point); break;
    case WM_LBUTTONUP: m_designer.OnLButtonUp(point); break;
    default: break;
  }
}

void CCustomControlPanelWnd::OnLButtonDown(std::uint32_t flags, CPoint point) {
  RouteMouse(WM_LBUTTONDOWN, flags, point);
}

void CCustomControlPanelWnd::OnMouseMove(std::uint32_t flags, CPoint point) { RouteMouse(WM_MOUSEMOVE, flags, point); }

void CCustomControlPanelWnd::OnLButtonUp(std::uint32_t flags, CPoint point) { RouteMouse(WM_LBUTTONUP, flags, point); }

void CCustomControlPanelWnd::OnDesignClick(std::uint32_t flags, CPoint point) {
  if (m_data && DesignMode()) m_designer.OnRightClick(flags, point);
}

void CCustomControlPanelWnd::OnKeyDown(int key) {
  if (m_data && DesignMode()) m_designer.OnKeyDown(key);
}

void CCustomControlPanelWnd::OnMouseMessage(std::uint32_t message, std::uint32_t flags, CPoint point) {
  switch (message) {
    case WM_LBUTTONDOWN:
      OnLButtonDown(flags, point);
      setFocus(Qt::MouseFocusReason);
      break;
    case WM_RBUTTONDOWN:
      if (DesignMode()) OnDesignClick(flags, point);
      break;
    case WM_LBUTTONUP: OnLButtonUp(flags, point); break;
    case WM_MOUSEMOVE: OnMouseMove(flags, point); break;
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEWHEEL: DispatchMouseMessage(message, flags, point.x, point.y); break;
    default: break;
  }
}

void CCustomControlPanelWnd::keyPressEvent(QKeyEvent* event) {
  switch (const int key = VirtualKeyOf(event->key())) {
    case VK_ESCAPE:
      // Escape cancels what the mouse is doing in design mode; otherwise the windows around
      // have it (the frame leaves full screen with it).
      if (!m_data || !DesignMode() || !m_designer.HasEditToCancel()) {
        event->ignore();
        return;
      }
      OnKeyDown(key);
      break;
    case VK_BACK:
    case VK_DELETE:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: OnKeyDown(key); break;
    default: break;
  }
  event->accept();
}

// --- Window events ---

void CCustomControlPanelWnd::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  RebuildDisplay();
}

void CCustomControlPanelWnd::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  const auto& selection = m_designer.GetSelection();
  if (selection.empty()) {
    ShowPanelProperties();
  } else if (selection.size() == 1) {
    ShowWidgetProperties(selection.front());
  }
}

void CCustomControlPanelWnd::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  if (m_active) m_active->Deactivate();
  m_active = nullptr;
  if (m_data) {
    for (CCustomControlObject* widget : m_data->m_widgets) widget->Deactivate();
  }
}

void CCustomControlPanelWnd::leaveEvent(QEvent* event) {
  if (m_data) {
    for (CCustomControlObject* widget : m_data->m_widgets) widget->OnMouseLeave();
  }
  QWidget::leaveEvent(event);
}

void CCustomControlPanelWnd::contextMenuEvent(QContextMenuEvent* event) {
  if (!DesignMode()) return;
  QMenu menu(this);
  menu.addAction(QStringLiteral("Properties"))->setData(QVariant::fromValue(kCmdPanelProperties));
  menu.addSeparator();
  m_designer.UpdateContextMenu(menu);
  QAction* chosen = menu.exec(event->globalPos());
  if (!chosen) return;
  const std::uint32_t id = chosen->data().toUInt();
  if (id == kCmdPanelProperties) {
    if (m_mainCommand) m_mainCommand(id);
  } else {
    OnCommand(id);
  }
}

// --- Commands ---

void CCustomControlPanelWnd::OnCommand(std::uint32_t id) {
  if (!m_data) return;
  switch (id) {
    // Both settings are kept in the panel's record: a change of the file.
    case kCmdShowGrid:
      m_data->m_showGrid = !m_data->m_showGrid;
      SetModified();
      RebuildDisplay();
      break;
    case kCmdSnapToGrid:
      m_data->m_snapToGrid = !m_data->m_snapToGrid;
      SetModified();
      RebuildDisplay();
      break;
    default: m_designer.OnCommand(id); break;
  }
}

bool CCustomControlPanelWnd::IsCommandEnabled(std::uint32_t id, bool* checked) const {
  if (id != kCmdShowGrid && id != kCmdSnapToGrid) return m_designer.IsCommandEnabled(id, checked);
  if (checked) *checked = m_data && (id == kCmdShowGrid ? m_data->m_showGrid : m_data->m_snapToGrid);
  return true;
}
