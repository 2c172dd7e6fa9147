// Custom panel view: back buffer and painting, hit tests, operate-mode mouse, broadcasts, and
// the design editor with its commands and the widget clipboard.
#include "ui/CustomControlPanelWnd.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QWheelEvent>
#include <algorithm>

#include "core/CPData.h"
#include "core/ImageTree.h"
#include "core/System.h"
#include "custom/BitmapControl.h"
#include "custom/ButtonControl.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "custom/TextControl.h"
#include "custom/TextEdit.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/QtMouseFlags.h"

namespace {

constexpr int VK_BACK = 0x08;
constexpr int VK_DELETE = 0x2E;

// The text widget that Add Text Control creates.
constexpr const char* kNewTextFace = "Arial";
constexpr float kNewTextPoints = 10.0f;
constexpr std::uint32_t kNewTextFlags = 0x483120;

constexpr CColour kFrameColour{0xB4C8C8C8u};
constexpr CColour kBandFill{0x50FFFFFFu};

bool IsEmpty(const CRect& r) { return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0; }
bool HasArea(const CRect& r) { return r.Width() != 0 && r.Height() != 0; }

CRect Normalised(CRect r) {
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  return r;
}

CRect Grown(const CRect& r, int by) { return CRect{r.left - by, r.top - by, r.right + by, r.bottom + by}; }

CRect Offset(const CRect& r, int dx, int dy) { return CRect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

CRect Union(const CRect& a, const CRect& b) {
  if (!HasArea(a)) return b;
  if (!HasArea(b)) return a;
  return CRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
               std::max(a.bottom, b.bottom)};
}

// Edges included on all four sides.
bool HoldsPoint(const CRect& r, CPoint p) { return p.x >= r.left && p.x <= r.right && p.y >= r.top && p.y <= r.bottom; }
bool Meets(const CRect& a, const CRect& b) {
  return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

// The anchor of a handle: the corner of the widget's rectangle that it drags.
CPoint Anchor(const CRect& r, int handle) {
  switch (handle) {
    case 2:
    case 4:
    case 8: return CPoint{r.right, r.bottom};
    case 7: return CPoint{r.left, r.bottom};
    case 6: return CPoint{r.right, r.top};
    default: return CPoint{r.left, r.top};
  }
}

template <class Kind>
CCustomControlObject* CopyAs(const CCustomControlObject* source) {
  const auto* widget = dynamic_cast<const Kind*>(source);
  return widget ? new Kind(*widget) : nullptr;
}

// A clipboard copy of the widget by its kind, not bound; null for a kind that is not copied.
CCustomControlObject* CopyWidget(const CCustomControlObject* source) {
  switch (source->GetControlType()) {
    case kControlBitmap: return CopyAs<CCCBitmap>(source);
    case kControlLed: return CopyAs<CCCLED>(source);
    case kControlFader: return CopyAs<CCCFader>(source);
    case kControlKnob: return CopyAs<CCCKnob>(source);
    case kControlText: return CopyAs<CCCTextControl>(source);
    case kControlButton: return CopyAs<CCCButton>(source);
    default: return nullptr;
  }
}

}  // namespace

CCustomControlPanelWnd::CCustomControlPanelWnd(CSystem& system, QWidget* parent) : QWidget(parent), m_system(system) {
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
  m_selection.clear();
  m_points.clear();
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

namespace {
// The edit box's font: 10-point Arial, as every text widget's editor has it.
QFont EditorFont() {
  QFont font(QString::fromStdString(ResolveFontFace("Arial")));
  font.setPointSizeF(10.0);
  return font;
}
}  // namespace

bool CCustomControlPanelWnd::OpenTextEditor(CCCTextEdit* editor, const CRect& rect, const std::string& text,
                                            int alignment) {
  if (!editor) return false;
  if (m_editing) EndTextEditor(true);
  m_editing = editor;
  m_editBox = new QLineEdit(this);
  m_editBox->setObjectName(QStringLiteral("CCCTextEdit"));
  m_editBox->setFont(EditorFont());
  m_editBox->setGeometry(rect.left, rect.top, std::max(rect.Width(), 1), std::max(rect.Height(), 1));
  const Qt::Alignment horizontal = alignment == 2 ? Qt::AlignRight : alignment == 0 ? Qt::AlignLeft : Qt::AlignHCenter;
  m_editBox->setAlignment(horizontal | Qt::AlignVCenter);
  m_editBox->setText(QString::fromStdString(text));
  m_editBox->installEventFilter(this);
  m_editBox->show();
  m_editBox->setFocus(Qt::OtherFocusReason);
  m_editBox->selectAll();
  return true;
}

void CCustomControlPanelWnd::CloseTextEditor(CCCTextEdit* editor) {
  if (editor && editor == m_editing) EndTextEditor(true);
}

void CCustomControlPanelWnd::EndTextEditor(bool report) {
  if (!m_editBox) return;
  QLineEdit* box = m_editBox;
  CCCTextEdit* editor = m_editing;
  // Cleared first: the focus loss that hiding the box causes reaches nobody.
  m_editBox = nullptr;
  m_editing = nullptr;
  const std::string text = box->text().toStdString();
  box->removeEventFilter(this);
  box->hide();
  box->deleteLater();
  if (report && editor) editor->OnKillFocus(text);
}

QString CCustomControlPanelWnd::FilterEditText(const QString& text) const {
  QString kept;
  for (const char32_t ch : text.toUcs4()) {
    if (ch < 0x20 || m_editing->OnChar(ch)) kept += QString::fromUcs4(&ch, 1);
  }
  return kept;
}

bool CCustomControlPanelWnd::eventFilter(QObject* watched, QEvent* event) {
  if (!m_editBox || watched != m_editBox) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::KeyPress: {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        m_editing->OnKeyDown(13);
        return true;
      }
      if (key->key() == Qt::Key_Escape) {
        m_editing->OnKeyDown(27);
        return true;
      }
      // A typed character the parameter cannot take is dropped; editing keys and shortcuts
      // (paste included) pass.
      const bool shortcut = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
      if (shortcut || key->text().isEmpty()) break;
      const QString kept = FilterEditText(key->text());
      if (kept == key->text()) break;
      if (!kept.isEmpty()) m_editBox->insert(kept);
      return true;
    }
    case QEvent::InputMethod: {
      // Text an input method composes is typed text too.
      auto* composed = static_cast<QInputMethodEvent*>(event);
      const QString kept = FilterEditText(composed->commitString());
      if (kept != composed->commitString())
        composed->setCommitString(kept, composed->replacementStart(), composed->replacementLength());
      break;
    }
    case QEvent::FocusOut:
      // The box's own context menu takes the focus for a moment: the edit goes on.
      if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) EndTextEditor(true);
      break;
    default: break;
  }
  return QWidget::eventFilter(watched, event);
}

// --- Drawing ---

void CCustomControlPanelWnd::CreateBackBuffer(int width, int height) {
  m_backBuffer = std::make_unique<CImage>(std::max(width, 1), std::max(height, 1));
  m_backBuffer->Fill(CColour::FromRgb(0, 0, 0));
}

void CCustomControlPanelWnd::RebuildDisplay() {
  if (!m_data) return;
  CreateBackBuffer(width(), height());
  for (CCustomControlObject* widget : m_data->m_widgets) widget->RefreshState();
  RedrawRect(CRect{0, 0, width(), height()}, true, true);
}

void CCustomControlPanelWnd::RedrawRect(const CRect& rect, bool invalidate, bool drawBackground) {
  if (!m_backBuffer) return;
  const CRect clip{std::max(rect.left, 0), std::max(rect.top, 0), rect.right, rect.bottom};
  if (clip.right <= clip.left || clip.bottom <= clip.top) return;
  const bool design = DesignMode();
  {
    Graphics g(*m_backBuffer);
    g.SetClip(clip);
    if (drawBackground) DrawBackground(g, clip);
    if (m_data) {
      for (CCustomControlObject* widget : m_data->m_widgets) {
        const bool selected = IsSelected(widget);
        CRect area = widget->GetBoundsRect();
        if (selected) area = Union(area, Grown(widget->m_rect, kSelectionBand));
        if (!Meets(area, clip)) continue;
        if (widget->m_hitTest) widget->Draw(g, clip, design);
        if (selected && !m_moving) DrawSelection(g, widget);
      }
    }
    if (m_band) {
      const CRect band = Normalised(CRect{m_bandStart.x, m_bandStart.y, m_bandEnd.x, m_bandEnd.y});
      const CRectF area = CRectF::FromRect(band);
      g.FillRectangle(CBrush(kBandFill), area);
      g.DrawRectangle(CPen(CColour::FromRgb(255, 255, 255), 1.0f),
                      CRectF{area.x, area.y, area.width - 1.0f, area.height - 1.0f});
    }
  }
  if (invalidate) update(QRect(clip.left, clip.top, clip.Width(), clip.Height()));
}

void CCustomControlPanelWnd::DrawBackground(Graphics& g, const CRect& clip) {
  if (!m_data) return;
  const CRectF area = CRectF::FromRect(clip);
  g.FillRectangle(CBrush(m_data->m_background), area);
  const int cw = width();
  const int ch = height();
  if (const CCCImage* image = m_data->m_pBackgroundImage; image && image->HasBitmap()) {
    const CImage& bitmap = image->GetBitmap();
    const int iw = bitmap.Width();
    const int ih = bitmap.Height();
    const std::uint32_t usage = m_data->m_imageUsage;
    auto drawPart = [&](int x, int y) {
      const CRect copy{x, y, x + iw, y + ih};
      const CRect part{std::max(copy.left, clip.left), std::max(copy.top, clip.top), std::min(copy.right, clip.right),
                       std::min(copy.bottom, clip.bottom)};
      if (part.right <= part.left || part.bottom <= part.top) return;
      g.DrawImage(bitmap, CRectF::FromRect(part), CRectF::FromRect(Offset(part, -x, -y)));
    };
    if (usage & kImageUsageTile) {
      for (int y = 0; y < ch && ih > 0; y += ih) {
        for (int x = 0; x < cw && iw > 0; x += iw) drawPart(x, y);
      }
    } else if (usage & kImageUsageCentre) {
      drawPart((cw - iw) / 2, (ch - ih) / 2);
    } else if ((usage & kImageUsageStretch) && cw > 0 && ch > 0) {
      const float sx = float(iw) / float(cw);
      const float sy = float(ih) / float(ch);
      g.DrawImage(bitmap, area, CRectF{area.x * sx, area.y * sy, area.width * sx, area.height * sy});
    }
  }
  if (DesignMode() && m_data->m_showGrid && m_data->m_gridPitch > 0) {
    const int pitch = m_data->m_gridPitch;
    const CColour white = CColour::FromRgb(255, 255, 255);
    const int right = std::min(clip.right, m_backBuffer->Width() - 1);
    const int bottom = std::min(clip.bottom, m_backBuffer->Height() - 1);
    for (int y = (clip.top / pitch) * pitch; y <= bottom; y += pitch) {
      for (int x = (clip.left / pitch) * pitch; x <= right; x += pitch) g.SetPixel(x, y, white);
    }
  }
}

void CCustomControlPanelWnd::DrawFrame(Graphics& g, const CRect& rect) {
  g.DrawRectangle(CPen(kFrameColour, 6.0f),
                  CRectF{float(rect.left - 3), float(rect.top - 3), float(rect.Width() + 6), float(rect.Height() + 6)});
}

void CCustomControlPanelWnd::DrawSelection(Graphics& g, const CCustomControlObject* widget) {
  DrawFrame(g, widget->m_rect);
  const std::uint32_t mode = widget->GetSizingMode();
  std::vector<int> handles;
  if (mode & 0x1) handles.insert(handles.end(), {1, 2});
  if (mode & 0x2) handles.insert(handles.end(), {3, 4});
  if ((mode & 0x3) == 0x3) handles.insert(handles.end(), {5, 7, 6, 8});
  for (const int n : handles) {
    const CRect r = GetHandleRect(widget, n);
    const CRectF box{float(r.left), float(r.top), 5.0f, 5.0f};
    g.FillRectangle(CBrush(CColour::FromRgb(255, 255, 255)), box);
    g.DrawRectangle(CPen(CColour::FromRgb(0, 0, 0), 1.0f), box);
  }
}

void CCustomControlPanelWnd::ShowGhost(const CRect& rect) {
  if (!m_backBuffer) return;
  {
    Graphics g(*m_backBuffer);
    DrawFrame(g, rect);
  }
  const CRect area = Grown(rect, kSelectionBand);
  update(QRect(area.left, area.top, area.Width(), area.Height()));
}

void CCustomControlPanelWnd::RedrawControl(CCustomControlObject* widget) {
  if (!m_data || std::find(m_data->m_widgets.begin(), m_data->m_widgets.end(), widget) == m_data->m_widgets.end())
    return;
  const CRect area = IsSelected(widget) && !m_moving ? Grown(widget->m_rect, kSelectionBand) : widget->GetBoundsRect();
  if (HasArea(area)) RedrawRect(area, true, true);
}

CRect CCustomControlPanelWnd::GetControlRect(const CCustomControlObject* widget) {
  return Normalised(Grown(widget->m_rect, kSelectionBand));
}

void CCustomControlPanelWnd::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  const QRect r = event->rect();
  if (m_backBuffer) {
    p.drawImage(r, m_backBuffer->Native(), r);
  } else {
    p.fillRect(r, Qt::black);
  }
}

void CCustomControlPanelWnd::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  RebuildDisplay();
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
    active->OnMouseMessage(message, flags, design, point, redraw);
    handled = m_active == active;
  }
  if (!handled) {
    if (CCustomControlObject* widget = HitTest(point)) widget->OnMouseMessage(message, flags, design, point, redraw);
  }
  if (!IsEmpty(redraw)) RedrawRect(redraw, true, true);
}

// --- Window events ---

void CCustomControlPanelWnd::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  const std::uint32_t flags = MouseFlags(event->buttons(), event->modifiers());
  if (event->button() == Qt::LeftButton) {
    OnLButtonDown(flags, CPoint{p.x(), p.y()});
    setFocus(Qt::MouseFocusReason);
  } else if (event->button() == Qt::RightButton && DesignMode()) {
    OnDesignClick(flags, CPoint{p.x(), p.y()});
  }
}

void CCustomControlPanelWnd::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (event->button() == Qt::LeftButton) OnLButtonUp(MouseFlags(event->buttons(), event->modifiers()), CPoint{p.x(), p.y()});
}

void CCustomControlPanelWnd::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (event->button() == Qt::LeftButton)
    DispatchMouseMessage(WM_LBUTTONDBLCLK, MouseFlags(event->buttons(), event->modifiers()), p.x(), p.y());
}

void CCustomControlPanelWnd::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  OnMouseMove(MouseFlags(event->buttons(), event->modifiers()), CPoint{p.x(), p.y()});
}

void CCustomControlPanelWnd::wheelEvent(QWheelEvent* event) {
  const QPoint p = event->position().toPoint();
  const int delta = event->angleDelta().y();
  if (delta == 0) return;
  // The signed delta travels in the flags word, as the widgets read it.
  DispatchMouseMessage(WM_MOUSEWHEEL, std::uint32_t(std::int32_t(delta)), p.x(), p.y());
  event->accept();
}

void CCustomControlPanelWnd::keyPressEvent(QKeyEvent* event) {
  int key = 0;
  switch (event->key()) {
    case Qt::Key_Backspace: key = VK_BACK; break;
    case Qt::Key_Delete: key = VK_DELETE; break;
    case Qt::Key_Escape: key = VK_ESCAPE; break;
    case Qt::Key_Left: key = VK_LEFT; break;
    case Qt::Key_Up: key = VK_UP; break;
    case Qt::Key_Right: key = VK_RIGHT; break;
    case Qt::Key_Down: key = VK_DOWN; break;
    default: break;
  }
  if (key != 0) OnKeyDown(key);
  event->accept();
}

void CCustomControlPanelWnd::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  if (m_selection.empty()) {
    ShowPanelProperties();
  } else if (m_selection.size() == 1) {
    ShowWidgetProperties(m_selection.front());
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
  UpdateContextMenu(menu);
  QAction* chosen = menu.exec(event->globalPos());
  if (!chosen) return;
  const std::uint32_t id = chosen->data().toUInt();
  if (id == kCmdPanelProperties) {
    if (m_mainCommand) m_mainCommand(id);
  } else {
    OnCommand(id);
  }
}

void CCustomControlPanelWnd::UpdateContextMenu(QMenu& menu) const {
  while (menu.actions().size() > 2) menu.removeAction(menu.actions().at(1));
  std::vector<std::pair<std::uint32_t, const char*>> items;  // id 0: separator
  if (!m_selection.empty()) {
    items = {{0, ""}, {kCmdDeleteControl, "Delete Control"}, {0, ""}, {kCmdEditCopy, "Copy"}, {kCmdEditPaste, "Paste"}};
    if (m_selection.size() == 1) {
      items.insert(items.end(), {{0, ""},
                                 {kCmdRaise, "Raise"},
                                 {kCmdLower, "Lower"},
                                 {kCmdRaiseToTop, "Raise To Top"},
                                 {kCmdLowerToBottom, "Lower To Bottom"}});
    }
  } else if (!m_system.GetCopiedWidgets().empty()) {
    items = {{0, ""}, {kCmdEditPaste, "Paste"}};
  }
  // Inserted before the resource's separator, which ends up last.
  QAction* last = menu.actions().size() > 1 ? menu.actions().at(1) : nullptr;
  for (const auto& [id, text] : items) {
    auto* action = new QAction(&menu);
    if (id == 0) {
      action->setSeparator(true);
    } else {
      action->setText(QString::fromLatin1(text));
      action->setData(QVariant::fromValue(id));
    }
    menu.insertAction(last, action);
  }
}

// --- Design editing ---

CPoint CCustomControlPanelWnd::SnapToGrid(CPoint point) const {
  if (!m_data || !m_data->m_snapToGrid || m_data->m_gridPitch <= 0) return point;
  const int p = m_data->m_gridPitch;
  auto snap = [p](int c) {
    if (c < 0) return c;
    return (c / p) * p + ((c % p) > p / 2 ? p : 0);
  };
  return CPoint{snap(point.x), snap(point.y)};
}

CRect CCustomControlPanelWnd::GetHandleRect(const CCustomControlObject* widget, int handle) {
  const CRect g = Grown(widget->m_rect, kSelectionBand);
  const int midX = g.left + (g.right - g.left) / 2;
  const int midY = g.top + (g.bottom - g.top) / 2;
  const int s = kSelectionBand;
  switch (handle) {
    case 1: return CRect{g.left, midY - 3, g.left + s, midY + 3};
    case 2: return CRect{g.right - s, midY - 3, g.right, midY + 3};
    case 3: return CRect{midX - 3, g.top, midX + 3, g.top + s};
    case 4: return CRect{midX - 3, g.bottom - s, midX + 3, g.bottom};
    case 5: return CRect{g.left, g.top, g.left + s, g.top + s};
    case 6: return CRect{g.right - s, g.top, g.right, g.top + s};
    case 7: return CRect{g.left, g.bottom - s, g.left + s, g.bottom};
    case 8: return CRect{g.right - s, g.bottom - s, g.right, g.bottom};
    default: return CRect{};
  }
}

int CCustomControlPanelWnd::HitTestHandle(const CCustomControlObject* widget, int x, int y) {
  const std::uint32_t mode = widget->GetSizingMode();
  std::vector<int> order;
  if (mode & 0x1) order.insert(order.end(), {1, 2});
  if (mode & 0x2) order.insert(order.end(), {3, 4});
  if ((mode & 0x3) == 0x3) order.insert(order.end(), {5, 7, 6, 8});
  for (const int n : order) {
    if (HoldsPoint(GetHandleRect(widget, n), CPoint{x, y})) return n;
  }
  return 0;
}

int CCustomControlPanelWnd::SelectionIndex(const CCustomControlObject* widget) const {
  const auto it = std::find(m_selection.begin(), m_selection.end(), widget);
  return it == m_selection.end() ? -1 : int(it - m_selection.begin());
}

bool CCustomControlPanelWnd::IsSelected(const CCustomControlObject* widget) const { return SelectionIndex(widget) >= 0; }

void CCustomControlPanelWnd::AddToSelection(CCustomControlObject* widget) {
  if (const int i = SelectionIndex(widget); i >= 0) {
    m_selection.erase(m_selection.begin() + i);
    m_points.erase(m_points.begin() + i);
  }
  m_selection.push_back(widget);
  m_points.push_back(CPoint{widget->m_rect.left, widget->m_rect.top});
}

void CCustomControlPanelWnd::ClearSelection() {
  while (!m_selection.empty()) {
    CCustomControlObject* widget = m_selection.front();
    m_selection.erase(m_selection.begin());
    m_points.erase(m_points.begin());
    RedrawRect(Grown(widget->m_rect, kSelectionBand), true, true);
  }
}

void CCustomControlPanelWnd::SetSizingCursor(int handle) {
  switch (handle) {
    case 1:
    case 2: setCursor(Qt::SizeHorCursor); break;
    case 3:
    case 4: setCursor(Qt::SizeVerCursor); break;
    case 5:
    case 8: setCursor(Qt::SizeFDiagCursor); break;
    case 6:
    case 7: setCursor(Qt::SizeBDiagCursor); break;
    default: setCursor(Qt::ArrowCursor); break;
  }
}

void CCustomControlPanelWnd::PlacePending() {
  CCustomControlObject* widget = m_pending.release();
  m_data->m_widgets.push_back(widget);
  widget->m_pView = this;
  ClearSelection();
  AddToSelection(widget);
  RedrawRect(Grown(widget->m_rect, kSelectionBand), true, true);
  ShowWidgetProperties(widget);
  m_tool = kToolSelect;
  SetModified();
}

CPoint CCustomControlPanelWnd::MoveOffset(CPoint point) const {
  const CPoint d{point.x - m_dragStart.x, point.y - m_dragStart.y};
  if (m_selection.empty()) return d;
  const CRect& last = m_selection.back()->m_rect;
  const CPoint moved{last.left + d.x, last.top + d.y};
  const CPoint snapped = SnapToGrid(moved);
  return CPoint{d.x + snapped.x - moved.x, d.y + snapped.y - moved.y};
}

CRect CCustomControlPanelWnd::ResizeGhost(const CCustomControlObject* widget, CPoint s) const {
  CRect r = widget->m_rect;
  switch (m_handle) {
    case 1: r.left = s.x; break;
    case 2: r.right = s.x; break;
    case 3: r.top = s.y; break;
    case 4: r.bottom = s.y; break;
    case 5: r.left = s.x, r.top = s.y; break;
    case 6: r.right = s.x, r.top = s.y; break;
    case 7: r.left = s.x, r.bottom = s.y; break;
    case 8: r.right = s.x, r.bottom = s.y; break;
    default: break;
  }
  return widget->AdjustSizingRect(Normalised(r), m_handle);
}

void CCustomControlPanelWnd::OnLButtonDown(std::uint32_t flags, CPoint point) {
  if (!m_data) return;
  if (!DesignMode()) {
    DispatchMouseMessage(WM_LBUTTONDOWN, flags, point.x, point.y);
    return;
  }
  if (m_pending) {
    PlacePending();
    return;
  }
  if (CCustomControlObject* widget = HitTest(point)) {
    if (!(flags & MK_CONTROL)) {
      ClearSelection();
      AddToSelection(widget);
      ShowWidgetProperties(widget);
    } else {
      AddToSelection(widget);
      ShowWidgetProperties(m_selection.size() == 1 ? widget : nullptr);
    }
    RedrawRect(Grown(widget->m_rect, kSelectionBand), true, true);
    m_moving = true;
    m_moved = false;
    m_dragStart = point;
    return;
  }
  for (CCustomControlObject* widget : m_selection) {
    const int handle = HitTestHandle(widget, point.x, point.y);
    if (handle == 0) continue;
    SetSizingCursor(handle);
    ClearSelection();
    AddToSelection(widget);
    m_handle = handle;
    const CPoint anchor = Anchor(widget->m_rect, handle);
    m_points.back() = anchor;
    m_grabOffset = CPoint{point.x - anchor.x, point.y - anchor.y};
    RedrawRect(Grown(widget->m_rect, kSelectionBand), true, true);
    ShowGhost(widget->m_rect);
    return;
  }
  setCursor(Qt::ArrowCursor);
  ClearSelection();
  ShowPanelProperties();
  m_moving = false;
  m_band = true;
  m_bandStart = m_bandEnd = point;
}

void CCustomControlPanelWnd::OnMouseMove(std::uint32_t flags, CPoint point) {
  if (!m_data) return;
  if (!DesignMode()) {
    DispatchMouseMessage(WM_MOUSEMOVE, flags, point.x, point.y);
    return;
  }
  if (m_pending) {
    const CPoint s = SnapToGrid(point);
    const CRect old = m_pending->m_rect;
    m_pending->SetRect(s.x, s.y, s.x + old.Width(), s.y + old.Height());
    RedrawRect(Grown(old, kSelectionBand), true, true);
    ShowGhost(m_pending->m_rect);
    return;
  }
  if (m_moving) {
    m_moved = true;
    const CPoint off = MoveOffset(point);
    for (std::size_t i = 0; i < m_selection.size(); ++i) {
      const CRect& r = m_selection[i]->m_rect;
      const CRect oldGhost{m_points[i].x, m_points[i].y, m_points[i].x + r.Width(), m_points[i].y + r.Height()};
      const CRect ghost = Offset(r, off.x, off.y);
      RedrawRect(Grown(oldGhost, kSelectionBand), true, true);
      ShowGhost(ghost);
      m_points[i] = CPoint{ghost.left, ghost.top};
    }
    return;
  }
  if (m_handle != 0 && !m_selection.empty()) {
    CCustomControlObject* widget = m_selection.back();
    const CPoint s = SnapToGrid(CPoint{point.x - m_grabOffset.x, point.y - m_grabOffset.y});
    const CRect ghost = ResizeGhost(widget, s);
    const CRect oldGhost = ResizeGhost(widget, m_points.back());
    if (ghost == oldGhost) return;
    RedrawRect(Grown(oldGhost, kSelectionBand), true, true);
    ShowGhost(ghost);
    m_points.back() = s;
    return;
  }
  if (m_band) {
    const CRect oldBand = Normalised(CRect{m_bandStart.x, m_bandStart.y, m_bandEnd.x, m_bandEnd.y});
    m_bandEnd = point;
    const CRect band = Normalised(CRect{m_bandStart.x, m_bandStart.y, m_bandEnd.x, m_bandEnd.y});
    RedrawRect(Grown(Union(oldBand, band), 1), true, true);
    auto inside = [&band](const CCustomControlObject* w) {
      return HoldsPoint(band, CPoint{w->m_rect.left, w->m_rect.top}) &&
             HoldsPoint(band, CPoint{w->m_rect.right, w->m_rect.bottom});
    };
    for (auto it = m_data->m_widgets.rbegin(); it != m_data->m_widgets.rend(); ++it) {
      if (inside(*it) && !IsSelected(*it)) {
        AddToSelection(*it);
        RedrawRect(GetControlRect(*it), true, true);
      }
    }
    for (std::size_t i = 0; i < m_selection.size();) {
      CCustomControlObject* widget = m_selection[i];
      if (inside(widget)) {
        ++i;
        continue;
      }
      m_selection.erase(m_selection.begin() + std::ptrdiff_t(i));
      m_points.erase(m_points.begin() + std::ptrdiff_t(i));
      RedrawRect(GetControlRect(widget), true, true);
    }
    return;
  }
  int handle = 0;
  for (const CCustomControlObject* widget : m_selection) {
    if ((handle = HitTestHandle(widget, point.x, point.y)) != 0) break;
  }
  SetSizingCursor(handle);
}

void CCustomControlPanelWnd::OnLButtonUp(std::uint32_t flags, CPoint point) {
  if (!m_data) return;
  if (!DesignMode()) {
    DispatchMouseMessage(WM_LBUTTONUP, flags, point.x, point.y);
    return;
  }
  if (m_moving && m_moved) {
    m_moving = false;
    const CPoint off = MoveOffset(point);
    for (std::size_t i = 0; i < m_selection.size(); ++i) {
      CCustomControlObject* widget = m_selection[i];
      const CRect old = widget->m_rect;
      const CRect moved = Offset(old, off.x, off.y);
      widget->SetRect(moved.left, moved.top, moved.right, moved.bottom);
      RedrawRect(Union(Grown(old, kSelectionBand), Grown(moved, kSelectionBand)), true, true);
      m_points[i] = CPoint{moved.left, moved.top};
    }
    if (m_selection.size() == 1) ShowWidgetProperties(m_selection.front());
    SetModified();
  } else if (m_handle != 0 && !m_selection.empty()) {
    CCustomControlObject* widget = m_selection.back();
    const CRect old = widget->m_rect;
    const CRect sized = ResizeGhost(widget, m_points.back());
    widget->SetRect(sized.left, sized.top, sized.right, sized.bottom);
    m_handle = 0;
    RedrawRect(Union(Grown(old, kSelectionBand), Grown(sized, kSelectionBand)), true, true);
    if (m_selection.size() == 1) ShowWidgetProperties(widget);
    SetModified();
  } else if (m_band) {
    EraseBand();
  }
  EndDrag();
}

void CCustomControlPanelWnd::OnDesignClick(std::uint32_t flags, CPoint point) {
  if (!m_data || !DesignMode()) return;
  if (m_pending) {
    PlacePending();
    return;
  }
  if (CCustomControlObject* widget = HitTest(point)) {
    ShowWidgetProperties(widget);
    if (!(flags & MK_CONTROL)) ClearSelection();
    AddToSelection(widget);
    RedrawRect(Grown(widget->m_rect, kSelectionBand), true, true);
    m_moving = false;
    m_moved = false;
    m_dragStart = point;
    return;
  }
  setCursor(Qt::ArrowCursor);
  ClearSelection();
  ShowPanelProperties();
  m_moving = false;
}

void CCustomControlPanelWnd::OnKeyDown(int key) {
  if (!m_data || !DesignMode()) return;
  switch (key) {
    case VK_BACK:
    case VK_DELETE:
      if (m_selection.empty()) return;
      DeleteSelection();
      SetModified();
      return;
    case VK_ESCAPE: CancelEdit(); return;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
      if (!m_selection.empty()) Nudge(key);
      return;
    default: return;
  }
}

void CCustomControlPanelWnd::CancelEdit() {
  if (m_pending) {
    const CRect area = Grown(m_pending->m_rect, kSelectionBand);
    m_pending.reset();
    RedrawRect(area, true, true);
    m_tool = kToolSelect;
  }
  if (m_moving && m_moved) {
    m_moving = false;
    const CPoint off = MoveOffset(PointerPosition());
    for (std::size_t i = 0; i < m_selection.size(); ++i) {
      const CRect& r = m_selection[i]->m_rect;
      const CRect stored{m_points[i].x, m_points[i].y, m_points[i].x + r.Width(), m_points[i].y + r.Height()};
      RedrawRect(Grown(Offset(r, off.x, off.y), kSelectionBand), true, true);
      RedrawRect(Grown(stored, kSelectionBand), true, true);
      RedrawRect(Grown(r, kSelectionBand), true, true);
      m_points[i] = CPoint{r.left, r.top};
    }
    if (m_selection.size() == 1) ShowWidgetProperties(m_selection.front());
  } else if (m_handle != 0 && !m_selection.empty()) {
    CCustomControlObject* widget = m_selection.back();
    const CRect ghost = ResizeGhost(widget, m_points.back());
    m_handle = 0;
    RedrawRect(Grown(ghost, kSelectionBand), true, true);
    RedrawRect(Grown(widget->m_rect, kSelectionBand), true, true);
    m_points.back() = CPoint{widget->m_rect.left, widget->m_rect.top};
    SetModified();
  } else if (m_band) {
    EraseBand();
  }
  EndDrag();
}

void CCustomControlPanelWnd::EraseBand() {
  const CRect band = Normalised(CRect{m_bandStart.x, m_bandStart.y, m_bandEnd.x, m_bandEnd.y});
  m_band = false;
  RedrawRect(Grown(band, 1), true, true);
}

void CCustomControlPanelWnd::EndDrag() {
  m_band = false;
  m_moving = false;
  m_handle = 0;
}

void CCustomControlPanelWnd::Nudge(int key) {
  const int step = m_data->m_snapToGrid ? m_data->m_gridPitch : 1;
  const int dx = key == VK_LEFT ? -step : key == VK_RIGHT ? step : 0;
  const int dy = key == VK_UP ? -step : key == VK_DOWN ? step : 0;
  const CRect client{0, 0, width(), height()};
  const bool fits = std::all_of(m_selection.begin(), m_selection.end(), [&](const CCustomControlObject* w) {
    return HoldsPoint(client, CPoint{w->m_rect.left + dx, w->m_rect.top + dy});
  });
  if (fits) {
    for (std::size_t i = 0; i < m_selection.size(); ++i) {
      CCustomControlObject* widget = m_selection[i];
      const CRect old = Union(Grown(widget->m_rect, kSelectionBand), widget->GetBoundsRect());
      const CRect moved = Offset(widget->m_rect, dx, dy);
      widget->SetRect(moved.left, moved.top, moved.right, moved.bottom);
      RedrawRect(Union(old, Union(Grown(moved, kSelectionBand), widget->GetBoundsRect())), true, true);
      m_points[i] = CPoint{moved.left, moved.top};
    }
  }
  if (m_selection.size() == 1) ShowWidgetProperties(m_selection.front());
  SetModified();
}

// --- Design commands ---

void CCustomControlPanelWnd::AddControl(std::uint32_t tool, CCustomControlObject* widget) {
  m_tool = tool;
  m_pending.reset(widget);
}

void CCustomControlPanelWnd::OnCommand(std::uint32_t id) {
  if (!m_data) return;
  switch (id) {
    case kCmdSelectMode: m_tool = kToolSelect; break;
    case kCmdAddText:
      AddControl(kToolText, new CCCTextControl(this, kNewTextFace, kNewTextPoints, kNewTextFlags, CRect{0, 0, 50, 20}));
      break;
    case kCmdAddKnob: AddControl(kToolKnob, new CCCKnob(this, CRect{0, 0, 40, 40})); break;
    case kCmdAddFader: AddControl(kToolFader, new CCCFader(this, CRect{0, 0, 15, 150})); break;
    case kCmdAddBitmap: AddControl(kToolBitmap, new CCCBitmap(this, CRect{0, 0, 60, 60})); break;
    case kCmdAddLed: AddControl(kToolLed, new CCCLED(this, CRect{0, 0, 20, 20})); break;
    case kCmdAddButton: AddControl(kToolButton, new CCCButton(this, CRect{0, 0, 50, 20})); break;
    case kCmdShowGrid:
      m_data->m_showGrid = !m_data->m_showGrid;
      RebuildDisplay();
      break;
    case kCmdSnapToGrid:
      m_data->m_snapToGrid = !m_data->m_snapToGrid;
      RebuildDisplay();
      break;
    case kCmdDeleteControl: DeleteSelection(); break;
    case kCmdRaise:
    case kCmdLower:
    case kCmdRaiseToTop:
    case kCmdLowerToBottom: MoveInZOrder(id); break;
    case kCmdEditCopy: CopySelection(); break;
    case kCmdEditPaste: PasteControls(); break;
    default: break;
  }
}

bool CCustomControlPanelWnd::IsCommandEnabled(std::uint32_t id, bool* checked) const {
  bool tick = false;
  bool enabled = true;
  switch (id) {
    case kCmdSelectMode: tick = m_tool == kToolSelect; break;
    case kCmdAddText: tick = m_tool == kToolText; break;
    case kCmdAddKnob: tick = m_tool == kToolKnob; break;
    case kCmdAddFader: tick = m_tool == kToolFader; break;
    case kCmdAddBitmap: tick = m_tool == kToolBitmap; break;
    case kCmdAddLed: tick = m_tool == kToolLed; break;
    case kCmdAddButton: tick = m_tool == kToolButton; break;
    case kCmdShowGrid: tick = m_data && m_data->m_showGrid; break;
    case kCmdSnapToGrid: tick = m_data && m_data->m_snapToGrid; break;
    case kCmdDeleteControl: enabled = !m_selection.empty(); break;
    case kCmdRaise:
    case kCmdLower:
    case kCmdRaiseToTop:
    case kCmdLowerToBottom: enabled = m_selection.size() == 1; break;
    default: enabled = false; break;
  }
  if (checked) *checked = tick;
  return enabled;
}

void CCustomControlPanelWnd::DeleteSelection() {
  while (!m_selection.empty()) {
    CCustomControlObject* widget = m_selection.front();
    m_selection.erase(m_selection.begin());
    m_points.erase(m_points.begin());
    const CRect area = Union(Grown(widget->m_rect, kSelectionBand), widget->GetBoundsRect());
    auto& widgets = m_data->m_widgets;
    if (const auto it = std::find(widgets.begin(), widgets.end(), widget); it != widgets.end()) {
      if (m_active == widget) m_active = nullptr;
      widgets.erase(it);
      delete widget;
    }
    RedrawRect(area, true, true);
  }
  ShowPanelProperties();
}

void CCustomControlPanelWnd::MoveInZOrder(std::uint32_t id) {
  if (m_selection.size() != 1) return;
  CCustomControlObject* widget = m_selection.front();
  auto& widgets = m_data->m_widgets;
  const auto it = std::find(widgets.begin(), widgets.end(), widget);
  if (it == widgets.end()) return;
  const std::ptrdiff_t i = it - widgets.begin();
  const std::ptrdiff_t count = std::ptrdiff_t(widgets.size());
  std::ptrdiff_t to = i;
  if (id == kCmdRaise && i < count - 1) to = i + 1;
  if (id == kCmdLower && i >= 1) to = i - 1;
  if (id == kCmdRaiseToTop) to = count - 1;
  if (id == kCmdLowerToBottom) to = 0;
  if (to == i) return;
  widgets.erase(it);
  widgets.insert(widgets.begin() + to, widget);
  RedrawRect(Union(widget->GetBoundsRect(), GetControlRect(widget)), true, true);
}

void CCustomControlPanelWnd::CopySelection() {
  if (!m_selection.empty()) {
    auto& copied = m_system.GetCopiedWidgets();
    DeleteCustomControlObjects(copied);
    for (const CCustomControlObject* widget : m_selection) {
      if (CCustomControlObject* copy = CopyWidget(widget)) copied.push_back(copy);
    }
  }
  m_pasteCounter = 0;
}

void CCustomControlPanelWnd::PasteControls() {
  const auto& copied = m_system.GetCopiedWidgets();
  if (m_data && !copied.empty()) {
    CRect group{};
    for (const CCustomControlObject* widget : copied) group = Union(group, Normalised(widget->m_rect));
    CPoint offset;
    const CPoint pointer = PointerPosition();
    if (pointer.x >= 0 && pointer.y >= 0 && pointer.x < width() && pointer.y < height()) {
      offset = CPoint{pointer.x - group.left, pointer.y - group.top};
    } else {
      ++m_pasteCounter;
      offset = CPoint{group.Width() * m_pasteCounter, 0};
    }
    ClearSelection();
    for (const CCustomControlObject* source : copied) {
      CCustomControlObject* widget = CopyWidget(source);
      if (!widget) continue;
      const CRect r = Offset(source->m_rect, offset.x, offset.y);
      widget->SetRect(r.left, r.top, r.right, r.bottom);
      m_data->m_widgets.push_back(widget);
      widget->m_pView = this;
      AddToSelection(widget);
      RedrawRect(Grown(widget->m_rect, kSelectionBand), true, true);
    }
    if (copied.size() == 1) {
      ShowWidgetProperties(m_data->m_widgets.back(), true);
    } else {
      ShowWidgetProperties(nullptr);
    }
  }
  SetModified();
}
