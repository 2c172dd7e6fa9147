// Output pane, log list and the live meters' place holder.
#include "ui/OutputWnd.h"

#include <QPainter>
#include <QTabWidget>

#include "platform/WindowMessages.h"

namespace {
constexpr std::uint32_t kSystemMonitorVisibleMsg = WM_APP + 139;
}

CLiveMeterView::CLiveMeterView(QWidget* parent) : CNumberedTimerWidget(parent) { setMinimumHeight(40); }

void CLiveMeterView::AddDevice(CDevice* device, std::intptr_t meterValue) {
  (void)device;
  (void)meterValue;
  update();
}

void CLiveMeterView::Redraw() { update(); }

void CLiveMeterView::Rebuild() { update(); }

void CLiveMeterView::UpdateDeviceMeters(bool blinkPhase) { (void)blinkPhase; }

void CLiveMeterView::paintEvent(QPaintEvent* event) {
  (void)event;
  QPainter p(this);
  p.fillRect(rect(), QColor(0x18, 0x18, 0x18));
}

COutputList::COutputList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::NoSelection);
  setSortingEnabled(false);
  setUniformItemSizes(true);
}

COutputWnd::COutputWnd(const QString& title, QWidget* parent) : QDockWidget(title, parent) {
  m_tabs = new QTabWidget(this);
  m_tabs->setTabPosition(QTabWidget::South);
  m_tabs->setDocumentMode(true);
  m_meters = new CLiveMeterView(m_tabs);
  m_log = new COutputList(m_tabs);
  m_tabs->addTab(m_meters, QStringLiteral("System Monitor"));
  m_tabs->addTab(m_log, QStringLiteral("Error Log"));
  setWidget(m_tabs);
  connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) { ReportVisible(visible); });
  connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) { ReportVisible(index == 0); });
}

void COutputWnd::ReportVisible(bool visible) {
  if (m_sink) m_sink->PostMessage(kSystemMonitorVisibleMsg, visible ? 1 : 0, 0);
}
