// The device control panel window: back buffer, widget list, mouse, key, timer and tooltip
// routing, the in-place editor, the drop-down list and the device's context menu.
#include "panels/framework/ControlPanelWnd.h"

#include <QAction>
#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPaintEvent>
#include <QScreen>
#include <QTimer>
#include <QTimerEvent>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <functional>

#include "core/draw/BitmapImage.h"
#include "core/model/Device.h"
#include "core/model/DeviceHost.h"
#include "core/model/DeviceMenu.h"
#include "core/model/User.h"
#include "core/support/ScopeGuard.h"
#include "panels/framework/ControlObject.h"
#include "panels/framework/CustomComboBox.h"
#include "panels/framework/TextControl.h"
#include "platform/Clock.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/MouseMessages.h"
#include "widgets/ErrorTip.h"

namespace {

QRect ToQRect(const CRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

// The shade over a control that the current user may not use: darker than a disabled
// widget's veil, so that the whole set of controls reads as out of reach, while values and
// states stay legible.
constexpr CColour kLockedShade{0xA8181818u};

std::map<std::string, ControlPanelCreator>& PanelClasses() {
  static std::map<std::string, ControlPanelCreator> classes;
  return classes;
}

}  // namespace

void RegisterControlPanelClass(const std::string& name, ControlPanelCreator creator) {
  PanelClasses()[name] = creator;
}

CControlPanelWnd* CreateControlPanel(const char* className) {
  if (!className) return nullptr;
  const auto it = PanelClasses().find(className);
  return it == PanelClasses().end() || !it->second ? nullptr : it->second();
}

void ClearControlPanelClassesForTests() { PanelClasses().clear(); }

CControlPanelWnd::CControlPanelWnd(QWidget* parent) : CWidgetHostWnd(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::ClickFocus);
}

CControlPanelWnd::~CControlPanelWnd() {
  if (m_dropDown) m_dropDown->removeEventFilter(this);
  CDevice* device = GetDevice();
  if (device && device->GetControlPanel() == this) device->SetControlPanel(nullptr);
  for (CControlObject* control : m_controls) delete control;
  m_controls.clear();
  DeleteImage(m_pBackgroundImage);
  m_pBackgroundImage = nullptr;
  m_graphics.reset();
}

// --- Model-side interface ---

void CControlPanelWnd::NotifyParameterChanged(const CParamValue& value) {
  bool checked = false;
  bool disabled = false;
  for (CControlObject* control : m_controls) {
    if (control->GetId() != value.id) continue;
    if (!checked) {
      disabled = IsParameterDisabled(value.id);
      checked = true;
    }
    CRect r = control->UpdateFromParameter(value);
    if (control->IsParameterDisabled() != disabled) {
      control->SetParameterDisabled(disabled);
      r = UnionRect(r, control->GetRect());
    }
    if (!IsRectEmpty(r)) RedrawRect(&r, true, true);
  }
}

bool CControlPanelWnd::IsParameterDisabled(int parameterId) const {
  CDevice* device = GetDevice();
  if (!device || parameterId == 0) return false;
  const CParamInfo info = device->GetParameterAt(parameterId);
  return info.id == parameterId && info.name != "NULL" && info.inactive != 0;
}

void CControlPanelWnd::DestroyPanelWindow() {
  for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
    if (auto* frame = qobject_cast<QMdiSubWindow*>(w)) {
      delete frame;
      return;
    }
  }
  delete this;
}

void CControlPanelWnd::BringPanelToTop() {
  for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
    if (auto* frame = qobject_cast<QMdiSubWindow*>(w)) {
      if (QMdiArea* area = frame->mdiArea()) {
        area->setActiveSubWindow(frame);
      } else {
        frame->raise();
      }
      return;
    }
  }
  raise();
}

// --- Widgets ---

void CControlPanelWnd::AddControl(CControlObject* control) {
  if (control) m_controls.push_back(control);
}

CControlObject* CControlPanelWnd::HitTest(int x, int y) const {
  for (auto it = m_controls.rbegin(); it != m_controls.rend(); ++it) {
    if ((*it)->IsVisible() && (*it)->HitTest(x, y)) return *it;
  }
  return nullptr;
}

CControlObject* CControlPanelWnd::SetActiveObject(CControlObject* control) {
  CControlObject* previous = m_pActive;
  if (m_pActive && m_pActive != control) m_pActive->OnDeactivate();
  if (m_pActive) m_pPrevActive = m_pActive;
  m_pActive = control;
  return previous;
}

void CControlPanelWnd::EndMousePress() {
  CControlObject* pressed = m_pActive;
  if (pressed) SetActiveObject(nullptr);
  // The graphs follow a drag of their own without taking the mouse: they let go too.
  for (CControlObject* control : m_controls)
    if (control != pressed) control->OnDeactivate();
  if (!pressed) return;
  const CRect r = pressed->GetRect();
  RedrawRect(&r, true, true);
}

void CControlPanelWnd::UpdateOnlineStatus(bool online) {
  // A unit that went away (or was set aside) takes no drag: the press ends with it.
  if (!online) EndMousePress();
}

// --- Rights ---

std::uint64_t CControlPanelWnd::GetUserRestrictions() const {
  const CDevice* device = GetDevice();
  return CurrentUserRestrictions(device ? device->GetHost() : nullptr);
}

std::uint64_t CControlPanelWnd::GetNeededRights(const CControlObject& control) const {
  return control.GetNeededRights();
}

bool CControlPanelWnd::UserMayUse(const CControlObject& control) const {
  const std::uint64_t needed = GetNeededRights(control);
  return needed == 0 || (GetUserRestrictions() & needed) == 0;
}

void CControlPanelWnd::HandUserChange(const CParamValue& value) {
  if (CDevice* device = GetDevice()) ConfirmAndApplyUserChange(*device, value);
}

bool CControlPanelWnd::IsCovered(const CControlObject& control) const {
  const auto it = std::find(m_controls.begin(), m_controls.end(), &control);
  if (it == m_controls.end()) return false;
  const CRect r = control.GetRect();
  const int x = (r.left + r.right) / 2;
  const int y = (r.top + r.bottom) / 2;
  return std::any_of(it + 1, m_controls.end(), [&](const CControlObject* above) {
    return above->IsVisible() && above->HitTest(x, y);
  });
}

bool CControlPanelWnd::TakesInput(const CControlObject& control) const {
  return control.IsVisible() && control.IsEnabled() && UserMayUse(control) && !IsCovered(control);
}

// --- Drawing ---

void CControlPanelWnd::CreateBackBuffer(int width, int height) {
  if (GetBackBuffer() || width <= 0 || height <= 0) return;
  m_graphics = std::make_unique<Graphics>(ResetBackBuffer(width, height));
  m_graphics->SetSmoothingMode(SmoothingMode::AntiAlias);
  m_graphics->SetTextRenderingHint(TextRenderingHint::AntiAliasGridFit);
}

void CControlPanelWnd::RedrawRect(const CRect* rect, bool invalidate, bool drawBackground) {
  const CImage* buffer = GetBackBuffer();
  if (!buffer) {
    if (invalidate) update();
    return;
  }
  const CRect whole{0, 0, buffer->Width(), buffer->Height()};
  CRect r = rect ? *rect : whole;
  r = CRect{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, whole.right), std::min(r.bottom, whole.bottom)};
  if (IsRectEmpty(r)) return;

  Graphics& g = *m_graphics;
  const CGraphicsState state = g.Save();
  g.SetClip(r);
  if (drawBackground) {
    g.Clear(CColour::FromRgb(0, 0, 0));
    if (m_pBackgroundImage && m_pBackgroundImage->GetImage()) {
      const CRectF area = CRectF::FromRect(r);
      g.DrawImage(*m_pBackgroundImage->GetImage(), area, area);
    }
  }
  const bool locked = (GetUserRestrictions() & kRestrictUseDeviceControls) != 0;
  for (CControlObject* control : m_controls) {
    if (!control->IsVisible() || !RectsIntersect(control->GetRect(), r)) continue;
    control->Draw(g, r);
    if (locked && (GetNeededRights(*control) & kRestrictUseDeviceControls) && !IsCovered(*control))
      g.FillRectangle(CBrush(kLockedShade), CRectF::FromRect(control->GetRect()));
  }
  g.Restore(state);
  if (invalidate) InvalidateRect(r);
}

void CControlPanelWnd::DispatchMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y) {
  // A pressed widget that stopped taking input (covered, hidden, its right gone) lets go; so
  // does every press when the pointer moves with the button up (its release went elsewhere):
  // nothing but a held button drags a value.
  const bool buttonUp = message == WM_MOUSEMOVE && !(flags & MK_LBUTTON);
  if ((m_pActive && !TakesInput(*m_pActive)) || buttonUp) EndMousePress();
  CControlObject* target = m_pActive ? m_pActive : HitTest(x, y);
  bool handled = false;
  CRect redraw{};
  if (target && TakesInput(*target)) handled = target->OnMouseMessage(message, flags, x, y, redraw);
  if (!IsRectEmpty(redraw)) RedrawRect(&redraw, true, true);
  if (message == WM_RBUTTONUP && !handled) {
    OnRightClick(x, y);
    ShowDeviceContextMenu(mapToGlobal(QPoint(x, y)));
  }
}

bool CControlPanelWnd::DispatchKeyDown(int key, std::uint32_t flags) {
  CControlObject* target = m_pActive ? m_pActive : m_pPrevActive;
  if (!target || !TakesInput(*target)) return false;
  CRect redraw{};
  const bool handled = target->OnKeyDown(key, flags, redraw);
  if (!IsRectEmpty(redraw)) RedrawRect(&redraw, true, true);
  return handled;
}

void CControlPanelWnd::OnRightClick(int x, int y) {
  (void)x;
  (void)y;
}

void CControlPanelWnd::ReloadAllControls() {
  for (CControlObject* control : m_controls) {
    if (control->GetId() == 0) continue;
    control->SetParameterDisabled(IsParameterDisabled(control->GetId()));
    control->UpdateFromParameter(GetCurrentValue(control->GetId()));
  }
  RedrawRect(nullptr, true, true);
}

// --- Context menu ---

std::uint32_t CControlPanelWnd::TrackPopupMenu(const CMenu& menu, const QPoint& globalPos) {
  CDevice* device = GetDevice();
  // Not a child of the panel: a command may close the panel while the menu is open.
  QMenu popup;
  std::function<void(QMenu&, const CMenu&)> fill = [&](QMenu& target, const CMenu& source) {
    for (int i = 0; i < source.GetItemCount(); ++i) {
      const CMenu::Item* item = source.GetItem(i);
      if (item->separator) {
        target.addSeparator();
      } else if (item->submenu) {
        fill(*target.addMenu(QString::fromStdString(item->text)), *item->submenu);
      } else {
        QAction* action = target.addAction(QString::fromStdString(item->text));
        action->setData(QVariant::fromValue(item->id));
        bool enabled = true;
        int check = 0;
        if (device && item->id == kCmdEditCopy) {
          enabled = device->CanCopy(0);
        } else if (device && item->id == kCmdEditPaste) {
          enabled = device->CanPaste(0);
        } else if (device) {
          CCmdUI state(item->id);
          device->OnUpdateContextMenuCommand(state);
          enabled = state.IsEnabled();
          check = state.GetCheck();
        }
        action->setEnabled(enabled);
        if (check) {
          action->setCheckable(true);
          action->setChecked(true);
        }
      }
    }
  };
  fill(popup, menu);
  QAction* chosen = popup.exec(globalPos);
  return chosen ? chosen->data().toUInt() : 0;
}

void CControlPanelWnd::ShowDeviceContextMenu(const QPoint& globalPos) {
  CDevice* device = GetDevice();
  if (!device) return;
  CMenu menu;
  menu.AppendItem(kCmdEditCopy, "&Copy");
  menu.AppendItem(kCmdEditPaste, "&Paste All Device Settings");
  device->BuildContextMenu(menu, 0);
  const QPointer<CControlPanelWnd> alive(this);
  const std::uint32_t command = TrackPopupMenu(menu, globalPos);
  // The panel or its device may have gone while the menu was open.
  if (command == 0 || !alive || GetDevice() != device) return;
  if (command == kCmdEditCopy) {
    device->CopyToClipboard(0);
  } else if (command == kCmdEditPaste) {
    device->PasteFromClipboard(0);
  } else {
    device->OnContextMenuCommand(command, 0);
  }
}

// --- Timers and tooltips ---

void CControlPanelWnd::SetTimer(std::uint32_t id, std::uint32_t periodMs) {
  KillTimer(id);
  m_timers[id] = startTimer(int(std::min<std::uint32_t>(periodMs, 0x7FFFFFFFu)));
}

void CControlPanelWnd::KillTimer(std::uint32_t id) {
  const auto it = m_timers.find(id);
  if (it == m_timers.end()) return;
  killTimer(it->second);
  m_timers.erase(it);
}

void CControlPanelWnd::timerEvent(QTimerEvent* event) {
  for (const auto& [id, qtId] : m_timers) {
    if (qtId == event->timerId()) {
      OnTimer(id);
      return;
    }
  }
  QWidget::timerEvent(event);
}

void CControlPanelWnd::AddToolTip(int toolId, const CRect& rect) { m_tools.push_back(Tool{toolId, rect}); }

int CControlPanelWnd::FindToolTip(int x, int y) const {
  for (const Tool& tool : m_tools) {
    if (tool.rect.Contains(CPoint{x, y})) return tool.id;
  }
  return 0;
}

std::string CControlPanelWnd::GetToolTipText(int toolId) {
  (void)toolId;
  return std::string();
}

bool CControlPanelWnd::event(QEvent* event) {
  // A modal dialog blocks the panel's window: the press that opened it gets no button-up.
  if (event->type() == QEvent::WindowBlocked) EndMousePress();
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int tool = FindToolTip(help->pos().x(), help->pos().y());
    const std::string text = tool ? GetToolTipText(tool) : std::string();
    if (text.empty()) {
      QToolTip::hideText();
    } else {
      CRect area{};
      for (const Tool& t : m_tools) {
        if (t.id == tool) area = t.rect;
      }
      QToolTip::showText(help->globalPos(), QString::fromStdString(text), this, ToQRect(area), kToolTipAutoPopMs);
    }
    return true;
  }
  return QWidget::event(event);
}

// --- In-place editor and drop-down list ---

void CControlPanelWnd::BeginTextEdit(CTextControl* control) {
  if (!control) return;
  EndTextEdit(true);
  CloseDropDown(-1);
  m_pEdited = control;
  EditBoxLook look;
  look.rect = control->GetRect();
  look.text = control->GetText();
  look.frame = false;
  look.minWidth = 24;
  look.minHeight = 16;
  look.maxLength = control->GetMaxLength();
  if (const CFont* font = control->GetTextStyle().GetFont()) {
    // A segment face draws no letters: the typed text shows in its companion text face.
    const CFont shown = CompanionFontFor(*font);
    const CFaceFit fit = FaceFitFor(shown.face);
    QFont qfont(QString::fromStdString(ResolveFontFace(shown.face)));
    qfont.setPixelSize(std::max(8, int(shown.emPixels * fit.scale + 0.5f)));
    if (shown.IsBold()) qfont.setBold(true);
    qfont.setStretch(fit.stretch);
    if (fit.weight) qfont.setWeight(QFont::Weight(fit.weight));
    look.font = qfont;
  }
  const std::uint32_t flags = control->GetFormatFlags();
  look.alignment = (flags & kTextCentre) ? Qt::AlignCenter
                   : (flags & kTextRight) ? Qt::AlignRight | Qt::AlignVCenter
                                          : Qt::AlignLeft | Qt::AlignVCenter;
  OpenEditBox(look);
}

void CControlPanelWnd::EndTextEdit(bool commit) {
  CTextControl* control = m_pEdited;
  const std::optional<std::string> text = TakeEditBox();
  if (!text) return;
  m_pEdited = nullptr;
  if (commit && control) control->CommitEdit(*text);
  if (control) {
    const CRect r = control->GetRect();
    RedrawRect(&r, true, true);
  }
}

void CControlPanelWnd::ShowRefusal(const CRect& rect, const std::string& message) {
  if (!m_refusalTip) m_refusalTip = new CErrorTip(this);
  m_refusalTip->ShowBeside(*this, ToQRect(rect), QString::fromStdString(message), kRefusalTipMs);
}

void CControlPanelWnd::ApplyUserChange(const CControlObject& control, const CParamValue& value) {
  CDevice* device = GetDevice();
  if (!device) return;
  CScopedValue changing(m_pChanging, &control);
  HandUserChange(value);
}

void CControlPanelWnd::ShowChangeRefused(int parameterId, const std::string& reason) {
  (void)parameterId;
  // A change that reached the device another way (a link, a recall) was no one's at this panel.
  if (m_pChanging) ShowRefusal(m_pChanging->GetRect(), reason);
}

void CControlPanelWnd::OnEditBoxKey(int key) { EndTextEdit(key == VK_RETURN); }

void CControlPanelWnd::OnEditBoxFocusOut(Qt::FocusReason reason) {
  (void)reason;
  EndTextEdit(true);
}

void CControlPanelWnd::OpenDropDown(CCustomComboBox* combo) {
  if (!combo) return;
  EndTextEdit(true);
  CloseDropDown(-1);
  m_pDropCombo = combo;
  m_dropDown = new QListWidget(this);
  m_dropDown->setWindowFlags(Qt::Popup);
  m_dropDown->setFrameShape(QFrame::Box);
  const CRect anchor = IsRectEmpty(combo->m_dropAnchor) ? combo->GetRect() : combo->m_dropAnchor;
  if (const CFont* font = combo->GetTextStyle().GetFont()) {
    QFont qfont(QString::fromStdString(ResolveFontFace(font->face)));
    const CFaceFit fit = FaceFitFor(font->face);
    qfont.setPixelSize(std::max(8, int(font->emPixels * fit.scale + 0.5f)));
    qfont.setStretch(fit.stretch);
    if (fit.weight) qfont.setWeight(QFont::Weight(fit.weight));
    m_dropDown->setFont(qfont);
  }
  for (const CComboBoxData* item : combo->GetItems()) m_dropDown->addItem(QString::fromStdString(item->text));
  if (combo->GetCurSel() >= 0) m_dropDown->setCurrentRow(combo->GetCurSel());
  const int rows = std::clamp(int(combo->GetItems().size()), 1, 12);
  const int rowHeight = std::max(m_dropDown->sizeHintForRow(0), 14);
  const QPoint topLeft = mapToGlobal(QPoint(anchor.left, anchor.bottom));
  m_dropDown->setGeometry(topLeft.x(), topLeft.y(), std::max(anchor.Width(), 40), rows * rowHeight + 4);
  connect(m_dropDown, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { CloseDropDown(m_dropDown ? m_dropDown->row(item) : -1); });
  m_dropDown->installEventFilter(this);
  m_dropDown->show();
  m_dropDown->setFocus();
}

void CControlPanelWnd::CloseDropDown(int index) {
  if (!m_dropDown) return;
  QListWidget* list = m_dropDown;
  CCustomComboBox* combo = m_pDropCombo;
  m_dropDown = nullptr;
  m_pDropCombo = nullptr;
  list->removeEventFilter(this);
  list->hide();
  list->deleteLater();
  if (combo && index >= 0) {
    combo->ChooseItem(index);
    const CRect r = combo->GetRect();
    RedrawRect(&r, true, true);
  }
}

bool CControlPanelWnd::eventFilter(QObject* watched, QEvent* event) {
  if (m_dropDown && watched == m_dropDown) {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        CloseDropDown(m_dropDown->currentRow());
        return true;
      }
      if (key == Qt::Key_Escape) {
        CloseDropDown(-1);
        return true;
      }
    } else if (event->type() == QEvent::Hide) {
      CloseDropDown(-1);
    }
  }
  return CWidgetHostWnd::eventFilter(watched, event);
}

// --- Window events ---

std::uint32_t CControlPanelWnd::GetReplyWaitRemaining() const {
  const CDevice* device = GetDevice();
  if (!device || device->ReplyTimer().GetStart() == 0) return 0;
  const std::uint32_t elapsed = GetTickCount() - device->ReplyTimer().GetStart();
  const std::uint32_t timeout = device->ReplyTimer().GetTimeout();
  return elapsed < timeout ? timeout - elapsed : 0;
}

void CControlPanelWnd::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  PaintBackBuffer(p, event->region());
  const std::uint32_t waiting = GetReplyWaitRemaining();
  if (waiting == 0) return;
  // The unit has not answered the last change yet: a veil with "Waiting..." until it does or
  // the reply timer runs out.
  p.fillRect(rect(), QColor(0, 0, 0, 110));
  QFont font(QString::fromStdString(ResolveFontFace("DejaVu Sans")));
  font.setPixelSize(std::max(12, std::min(height() / 6, 22)));
  font.setBold(true);
  p.setFont(font);
  const QString text = QStringLiteral("Waiting...");
  const QRect box = p.fontMetrics().boundingRect(rect(), Qt::AlignCenter, text).adjusted(-12, -6, 12, 6);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QColor(150, 150, 150));
  p.setBrush(QColor(20, 20, 24, 220));
  p.drawRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
  p.setPen(QColor(240, 240, 240));
  p.drawText(rect(), Qt::AlignCenter, text);
  QTimer::singleShot(int(std::min<std::uint32_t>(waiting, 60000u)) + 20, this, [this] { update(); });
}

void CControlPanelWnd::OnMouseMessage(std::uint32_t message, std::uint32_t flags, CPoint point) {
  if (message == WM_MOUSEMOVE) TrackHover(point.x, point.y);
  DispatchMouseMessage(message == WM_RBUTTONDBLCLK ? WM_RBUTTONDOWN : message, flags, point.x, point.y);
}

void CControlPanelWnd::keyPressEvent(QKeyEvent* event) {
  const int key = VirtualKeyOf(event->key());
  if (key == 0 || !DispatchKeyDown(key, 0)) QWidget::keyPressEvent(event);
}

void CControlPanelWnd::leaveEvent(QEvent* event) {
  TrackHover(-1, -1);
  QWidget::leaveEvent(event);
}

void CControlPanelWnd::focusOutEvent(QFocusEvent* event) {
  // The panel's own in-place editor taking the focus does not end a press; anything else does.
  const QWidget* now = QApplication::focusWidget();
  if (!now || !isAncestorOf(now)) EndMousePress();
  QWidget::focusOutEvent(event);
}

void CControlPanelWnd::changeEvent(QEvent* event) {
  // Another window became the active one (a dialog the press opened, say): the button-up
  // will go there, so the press ends now.
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) EndMousePress();
  QWidget::changeEvent(event);
}

void CControlPanelWnd::hideEvent(QHideEvent* event) {
  EndMousePress();
  QWidget::hideEvent(event);
}

void CControlPanelWnd::TrackHover(int x, int y) {
  CControlObject* under = (x < 0 || y < 0) ? nullptr : HitTest(x, y);
  if (under == m_pHover) return;
  if (m_pHover) {
    const CRect r = m_pHover->OnMouseLeave();
    if (!IsRectEmpty(r)) RedrawRect(&r, true, true);
  }
  m_pHover = under;
}
