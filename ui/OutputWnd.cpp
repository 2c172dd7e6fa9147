// Output pane and its log list.
#include "ui/OutputWnd.h"

#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QMainWindow>
#include <QMenu>
#include <QTabWidget>

#include "core/support/SystemMessages.h"
#include "platform/WindowMessages.h"

COutputList::COutputList(QWidget* parent) : QListWidget(parent) {
  setObjectName(QStringLiteral("ErrorLog"));
  setSelectionMode(QAbstractItemView::NoSelection);
  setSortingEnabled(false);
  setUniformItemSizes(true);
  setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
}

void COutputList::AddLine(const std::string& line) {
  QString text = QString::fromStdString(line);
  text.remove(QLatin1Char('\r'));
  text.remove(QLatin1Char('\n'));
  insertItem(0, text);
  while (count() > kMaxLines) delete takeItem(count() - 1);
}

void COutputList::OnViewOutput() {
  for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
    if (auto* pane = qobject_cast<QDockWidget*>(w)) {
      if (QWidget* frame = pane->window()) frame->setFocus();
      pane->hide();
      return;
    }
  }
}

void COutputList::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(QStringLiteral("&Clear"), this, [this] { OnEditClear(); });
  menu.addAction(QStringLiteral("&Hide"), this, [this] { OnViewOutput(); });
  menu.exec(event->globalPos());
  setFocus();
}

COutputWnd::COutputWnd(const QString& title, QWidget* parent) : QDockWidget(title, parent) {
  m_tabs = new QTabWidget(this);
  m_tabs->setTabPosition(QTabWidget::South);
  m_tabs->setDocumentMode(true);
  m_meters = new CLiveMeterView(m_tabs);
  m_meters->setObjectName(QStringLiteral("SystemMonitor"));
  m_log = new COutputList(m_tabs);
  m_tabs->addTab(m_meters, QStringLiteral("System Monitor"));
  m_tabs->addTab(m_log, QStringLiteral("Error Log"));
  setWidget(m_tabs);
  connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) { ReportVisible(visible); });
  connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) { ReportVisible(index == 0); });
}

void COutputWnd::ReportVisible(bool visible) {
  if (m_sink) m_sink->PostMessage(FrameMsg::kSystemMonitorVisible, visible ? 1 : 0, 0);
}
