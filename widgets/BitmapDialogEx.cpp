// Fading dialog base: window opacity steps of 0.07 every 20 ms.
#include "widgets/BitmapDialogEx.h"

#include <QLinearGradient>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QTimerEvent>
#include <algorithm>

#include "core/draw/BitmapImage.h"
#include "platform/Image.h"

namespace {
constexpr int kTitleHeight = 22;

void DrawRoundedFrame(QPainter& p, float radius, QColor colour, float width, QRectF r) {
  QPainterPath path;
  path.addRoundedRect(r, radius, radius);
  p.setPen(QPen(colour, width));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
}
}  // namespace

CBitmapDialogEx::CBitmapDialogEx(QWidget* parent, const QString& title)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_title(title) {
  setMouseTracking(true);
  // The body keeps the plain dialog face, so that the drawn title bar and the dark rounded
  // frames stand out against it and every control keeps its usual colours.
  setAutoFillBackground(true);
}

CBitmapDialogEx::~CBitmapDialogEx() = default;

void CBitmapDialogEx::ShowWarning(const QString& text) {
  if (m_message) {
    m_message(text);
  } else {
    QMessageBox::warning(this, m_title, text);
  }
}

void CBitmapDialogEx::PadButtons() {
  for (QPushButton* button : findChildren<QPushButton*>()) {
    if (button->text().isEmpty() || button->maximumWidth() != QWIDGETSIZE_MAX) continue;
    const int wanted = button->fontMetrics().horizontalAdvance(button->text()) + 24;
    if (button->minimumWidth() < wanted) button->setMinimumWidth(wanted);
  }
}

void CBitmapDialogEx::showEvent(QShowEvent* event) {
  if (!m_initialised) PadButtons();
  QDialog::showEvent(event);
  if (m_initialised) return;
  m_initialised = true;
  m_fade.Reset();
  ApplyOpacity();
  if (m_autoCloseMs != 0) m_autoCloseTimerId = startTimer(int(m_autoCloseMs));
  StartFadeTimer();
}

void CBitmapDialogEx::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (m_backgroundId != 0 && !m_background) {
    auto bitmap = std::make_unique<CBitmapImage>();
    if (bitmap->LoadFromResource(CBitmapImage::kResourceBmp, m_backgroundId)) m_background = std::move(bitmap);
  }
  QPainterPath path;
  path.addRoundedRect(QRectF(rect()), 10, 10);
  setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void CBitmapDialogEx::StartFadeTimer() {
  if (m_fadeTimerId != 0) killTimer(m_fadeTimerId);
  m_fadeTimerId = startTimer(20);
}

// Without a compositor the window stays opaque, but the ramp and its end run all the same.
void CBitmapDialogEx::ApplyOpacity() { setWindowOpacity(double(m_fade.GetOpacityByte()) / 255.0); }

void CBitmapDialogEx::accept() {
  m_endWithCancel = false;
  StartFadeOut();
}

void CBitmapDialogEx::reject() { StartFadeOut(); }

void CBitmapDialogEx::StartFadeOut() {
  m_fade.StartFadeOut();
  StartFadeTimer();
}

void CBitmapDialogEx::FadeStep() {
  switch (m_fade.Step()) {
    case CDialogFade::Tick::kApplied: ApplyOpacity(); return;
    case CDialogFade::Tick::kStop:
      if (m_fadeTimerId != 0) killTimer(m_fadeTimerId);
      m_fadeTimerId = 0;
      return;
    case CDialogFade::Tick::kEnd:
      if (m_fadeTimerId != 0) killTimer(m_fadeTimerId);
      m_fadeTimerId = 0;
      done(m_endWithCancel ? QDialog::Rejected : QDialog::Accepted);
      return;
  }
}

void CBitmapDialogEx::timerEvent(QTimerEvent* event) {
  if (event->timerId() == m_fadeTimerId) {
    FadeStep();
  } else if (event->timerId() == m_autoCloseTimerId) {
    killTimer(m_autoCloseTimerId);
    m_autoCloseTimerId = 0;
    StartFadeOut();
  } else {
    QDialog::timerEvent(event);
  }
}

QRect CBitmapDialogEx::CloseBoxRect() const {
  const QRect c = rect();
  return QRect(QPoint(c.right() + 1 - 36, c.top() + 1), QSize(18, 18));
}

void CBitmapDialogEx::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRect c = rect();
  if (m_background && m_background->GetImage()) p.drawImage(c.topLeft(), m_background->GetImage()->Native());
  if (!m_title.isEmpty()) {
    const QRect bar(c.left() - 1, c.top() - 1, c.width() + 2, kTitleHeight);
    QLinearGradient gradient(bar.topLeft(), bar.bottomLeft());
    gradient.setColorAt(0.0, QColor(0, 0, 0));
    gradient.setColorAt(1.0, QColor(0x80, 0x80, 0x80));
    p.fillRect(bar, gradient);
    if (m_closeBoxShown) {
      const int right = c.right() + 1;
      const int top = c.top();
      p.setPen(QPen(QColor(0xC8, 0xC8, 0xC8), 2));
      p.drawLine(right - 32, top + 5, right - 22, top + 15);
      p.drawLine(right - 22, top + 5, right - 32, top + 15);
      if (m_closeBoxHot) {
        const QRect box = CloseBoxRect();
        DrawRoundedFrame(p, 3, QColor(0xC8, 0xC8, 0xC8), 2, QRectF(box.left(), box.top(), 19, 19));
      }
    }
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(10);
    p.setFont(font);
    p.setPen(QColor(0xF5, 0xF5, 0xF5));
    p.drawText(QRect(c.left() - 1, c.top() + 2, c.width() + 2, kTitleHeight), Qt::AlignCenter,
               m_title);
  }
  const int w = c.width();
  const int h = c.height();
  // The frames' co-ordinates name pixel centres: the outer one lies half on the window's edge
  // pixels, the two inner ones on the pixels within.
  p.translate(0.5, 0.5);
  DrawRoundedFrame(p, 10, QColor(0, 0, 0, 0xFF), 2, QRectF(c.left() - 1, c.top() - 1, w - 1, h - 1));
  DrawRoundedFrame(p, 9, QColor(0, 0, 0, 0x96), 1, QRectF(c.left() + 1, c.top() + 1, w - 5, h - 5));
  DrawRoundedFrame(p, 8, QColor(0, 0, 0, 0x32), 1, QRectF(c.left() + 2, c.top() + 2, w - 7, h - 7));
}

void CBitmapDialogEx::mousePressEvent(QMouseEvent* event) {
  if (m_closeBoxShown && event->button() == Qt::LeftButton &&
      CloseBoxRect().contains(event->position().toPoint())) {
    reject();
  }
  QDialog::mousePressEvent(event);
}

void CBitmapDialogEx::mouseMoveEvent(QMouseEvent* event) {
  if (m_closeBoxShown) {
    const bool inside = CloseBoxRect().contains(event->position().toPoint());
    if (inside != m_closeBoxHot) {
      m_closeBoxHot = inside;
      update(CloseBoxRect().adjusted(-2, -2, 2, 2));
    }
  }
  QDialog::mouseMoveEvent(event);
}
