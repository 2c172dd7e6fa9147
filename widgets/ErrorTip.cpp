// The refusal tip.
#include "widgets/ErrorTip.h"

#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <QVBoxLayout>

CErrorTip::CErrorTip(QWidget* parent) : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  m_label = new QLabel(QStringLiteral("Error"), this);
  QFont bold = m_label->font();
  bold.setBold(true);
  m_label->setFont(bold);
  m_text = new QLabel(this);
  m_text->setWordWrap(true);
  for (QLabel* l : {m_label, m_text}) {
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, QColor(0x20, 0x20, 0x20));
    l->setPalette(pal);
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 5, 8, 6);
  layout->setSpacing(2);
  layout->addWidget(m_label);
  layout->addWidget(m_text);
}

QSize CErrorTip::Fit(int width, const QString& message) {
  m_text->setText(message);
  m_text->setVisible(!message.isEmpty());
  setFixedWidth(width);
  // The height of the wrapped text at this width: a size hint alone takes the wrap of some
  // other width, and the lines beyond it were cut off.
  QLayout* box = layout();
  box->invalidate();
  box->activate();
  setFixedHeight(box->hasHeightForWidth() ? box->totalHeightForWidth(width) : box->totalSizeHint().height());
  return size();
}

void CErrorTip::ShowAt(const QPoint& anchor, int width, const QString& message) {
  Fit(width, message);
  move(anchor);
  show();
  raise();
}

void CErrorTip::ShowBeside(const QWidget& host, const QRect& target, const QString& message, int ms) {
  if (!m_hide) {
    m_hide = new QTimer(this);
    m_hide->setSingleShot(true);
    connect(m_hide, &QTimer::timeout, this, &QWidget::hide);
  }
  const int tipWidth = std::min(std::max(target.width(), 220), std::max(host.width(), 220));
  const int left = std::max(0, std::min(target.left(), host.width() - tipWidth));
  const int tipHeight = Fit(tipWidth, message).height();
  int top = target.bottom() + 3;
  if (top + tipHeight > host.height()) {
    const int above = target.top() - 2 - tipHeight;
    top = above >= 0 ? above : std::max(0, host.height() - tipHeight);
  }
  ShowAt(host.mapToGlobal(QPoint(left, top)), tipWidth, message);
  m_hide->start(ms);
}

QString CErrorTip::Message() const { return m_text->text(); }

void CErrorTip::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0x76, 0x76, 0x76), 1));
  p.setBrush(QColor(0xFF, 0xFF, 0xE1));
  p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
}
