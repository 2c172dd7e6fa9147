// Device view pane and the rack's place holder.
#include "ui/DeviceView.h"

#include <QPainter>
#include <QVBoxLayout>

CDeviceRack::CDeviceRack(QWidget* parent) : CNumberedTimerWidget(parent) {
  setAutoFillBackground(false);
  setMinimumSize(100, 100);
}

void CDeviceRack::Refresh() { update(); }

void CDeviceRack::UpdateDevice(bool blinkPhase) { m_blinkPhase = blinkPhase; }

void CDeviceRack::paintEvent(QPaintEvent* event) {
  (void)event;
  QPainter p(this);
  p.fillRect(rect(), QColor(0x30, 0x30, 0x30));
}

CDeviceView::CDeviceView(const QString& title, QWidget* parent) : QDockWidget(title, parent) {
  auto* body = new QWidget(this);
  m_toolBar = new CDeviceViewToolBar(body);
  m_toolBar->setMovable(false);
  m_toolBar->setIconSize(QSize(16, 16));
  m_rack = new CDeviceRack(body);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(m_toolBar);
  layout->addWidget(m_rack, 1);
  setWidget(body);
  setMinimumSize(150, 150);
}
