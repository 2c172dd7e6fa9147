// The panel windows' shared host: back buffer, Qt events as widget messages, the edit box.
#include "widgets/WidgetHostWnd.h"

#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

#include "platform/Image.h"
#include "platform/QtMouseFlags.h"
#include "widgets/TypedLength.h"

CWidgetHostWnd::CWidgetHostWnd(QWidget* parent) : QWidget(parent) {}

CWidgetHostWnd::~CWidgetHostWnd() {
  if (m_editBox) m_editBox->removeEventFilter(this);
}

int CWidgetHostWnd::VirtualKeyOf(int qtKey) {
  switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    default: return 0;
  }
}

// --- Back buffer ---

CImage& CWidgetHostWnd::ResetBackBuffer(int width, int height) {
  m_backBuffer = std::make_unique<CImage>(std::max(width, 1), std::max(height, 1));
  m_backBuffer->Fill(CColour::FromRgb(0, 0, 0));
  return *m_backBuffer;
}

void CWidgetHostWnd::PaintBackBuffer(QPainter& p, const QRegion& region) {
  // Rectangle by rectangle: a paint often covers a widget and a few readouts far from it, whose
  // bounding rectangle would be most of the window. The back buffer is opaque: only what lies
  // beyond it is filled black.
  for (const QRect& r : region) {
    // Clipped to the one rectangle, the copy takes the painter's plain-rectangle path, not the
    // much slower one of a clip made of several.
    p.setClipRect(r);
    const QRect buffered = m_backBuffer ? r.intersected(m_backBuffer->Native().rect()) : QRect();
    if (buffered != r) p.fillRect(r, Qt::black);
    if (!buffered.isEmpty()) p.drawImage(buffered, m_backBuffer->Native(), buffered);
  }
  p.setClipping(false);
}

void CWidgetHostWnd::InvalidateRect(const CRect& rect) { update(QRect(rect.left, rect.top, rect.Width(), rect.Height())); }

void CWidgetHostWnd::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  PaintBackBuffer(p, event->region());
}

// --- Mouse and wheel ---

void CWidgetHostWnd::ButtonMessage(QMouseEvent* event, std::uint32_t left, std::uint32_t right) {
  const QPoint p = event->position().toPoint();
  const std::uint32_t flags = MouseFlags(event->buttons(), event->modifiers());
  if (event->button() == Qt::LeftButton) OnMouseMessage(left, flags, CPoint{p.x(), p.y()});
  if (event->button() == Qt::RightButton) OnMouseMessage(right, flags, CPoint{p.x(), p.y()});
}

void CWidgetHostWnd::mousePressEvent(QMouseEvent* event) { ButtonMessage(event, WM_LBUTTONDOWN, WM_RBUTTONDOWN); }

void CWidgetHostWnd::mouseReleaseEvent(QMouseEvent* event) { ButtonMessage(event, WM_LBUTTONUP, WM_RBUTTONUP); }

void CWidgetHostWnd::mouseDoubleClickEvent(QMouseEvent* event) {
  ButtonMessage(event, WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK);
}

void CWidgetHostWnd::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  OnMouseMessage(WM_MOUSEMOVE, MouseFlags(event->buttons(), event->modifiers()), CPoint{p.x(), p.y()});
}

void CWidgetHostWnd::wheelEvent(QWheelEvent* event) {
  const QPoint p = event->position().toPoint();
  const int delta = event->angleDelta().y();
  if (delta == 0) return;
  // The signed delta travels in the flags word, as the widgets read it.
  OnMouseMessage(WM_MOUSEWHEEL, std::uint32_t(std::int32_t(delta)), CPoint{p.x(), p.y()});
  event->accept();
}

// --- The edit box ---

QLineEdit* CWidgetHostWnd::OpenEditBox(const EditBoxLook& look) {
  TakeEditBox();
  m_editBox = new QLineEdit(this);
  if (!look.name.isEmpty()) m_editBox->setObjectName(look.name);
  m_editBox->setFrame(look.frame);
  if (look.font) m_editBox->setFont(*look.font);
  m_editBox->setGeometry(look.rect.left, look.rect.top, std::max(look.rect.Width(), look.minWidth),
                         std::max(look.rect.Height(), look.minHeight));
  // What is typed stops at the limit; a paste goes in whole, for the widget's owner to refuse
  // in words when it is too long, rather than be cut without one.
  m_editMaxLength = look.maxLength;
  m_editBox->setAlignment(look.alignment);
  m_editBox->setText(QString::fromStdString(look.text));
  m_editBox->installEventFilter(this);
  m_editBox->show();
  m_editBox->setFocus(Qt::OtherFocusReason);
  m_editBox->selectAll();
  return m_editBox;
}

std::optional<std::string> CWidgetHostWnd::TakeEditBox() {
  if (!m_editBox) return std::nullopt;
  QLineEdit* box = m_editBox;
  // Cleared first: the focus loss that hiding the box causes reaches nobody.
  m_editBox = nullptr;
  std::string text = box->text().toStdString();
  box->removeEventFilter(this);
  box->hide();
  box->deleteLater();
  return text;
}

bool CWidgetHostWnd::eventFilter(QObject* watched, QEvent* event) {
  if (!m_editBox || watched != m_editBox) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::KeyPress: {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        OnEditBoxKey(VK_RETURN);
        return true;
      }
      if (key->key() == Qt::Key_Escape) {
        OnEditBoxKey(VK_ESCAPE);
        return true;
      }
      // A typed character the box may not take is dropped; editing keys and shortcuts (paste
      // included) pass.
      const bool shortcut = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
      if (shortcut || key->text().isEmpty()) break;
      const QString filtered = FilterTypedText(key->text());
      // Only printing characters count against the limit: Backspace and Delete bring text too.
      const bool printing = !filtered.isEmpty() && filtered.at(0).isPrint();
      const QString kept = printing ? TypedTextWithinLimit(*m_editBox, filtered, m_editMaxLength) : filtered;
      if (kept == key->text()) break;
      if (!kept.isEmpty()) m_editBox->insert(kept);
      return true;
    }
    case QEvent::InputMethod: {
      // Text an input method composes is typed text too.
      auto* composed = static_cast<QInputMethodEvent*>(event);
      const QString kept =
          TypedTextWithinLimit(*m_editBox, FilterTypedText(composed->commitString()), m_editMaxLength);
      if (kept != composed->commitString())
        composed->setCommitString(kept, composed->replacementStart(), composed->replacementLength());
      break;
    }
    case QEvent::FocusOut: OnEditBoxFocusOut(static_cast<QFocusEvent*>(event)->reason()); break;
    default: break;
  }
  return QWidget::eventFilter(watched, event);
}
