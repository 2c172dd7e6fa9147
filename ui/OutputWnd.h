// The output pane: two tabs, "System Monitor" (the live meters) and "Error Log" (the log
// lines the main frame adds). It tells the frame whether the System Monitor can be seen
// (FrameMsg::kSystemMonitorVisible), which decides whether devices poll their meters.
#pragma once

#include <QDockWidget>
#include <QListWidget>
#include <cstdint>

#include "ui/LiveMeterView.h"

class IMessageSink;
class QTabWidget;

// The log list: an unsorted list without selection, newest line first.
class COutputList : public QListWidget {
 public:
  // The list keeps at most this many lines; the oldest go first.
  static constexpr int kMaxLines = 200;

  explicit COutputList(QWidget* parent = nullptr);

  // Inserts the line at the top without its line breaks and drops lines past kMaxLines.
  void AddLine(const std::string& line);
  // "&Clear": empties the list.
  void OnEditClear() { clear(); }
  // "&Hide": hides the pane that holds the list.
  void OnViewOutput();

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
};

class COutputWnd : public QDockWidget {
 public:
  explicit COutputWnd(const QString& title, QWidget* parent = nullptr);

  // Where the visibility reports go (the main frame).
  void SetMessageSink(IMessageSink* sink) { m_sink = sink; }

  CLiveMeterView& GetLiveMeterView() { return *m_meters; }
  COutputList& GetLogList() { return *m_log; }
  QTabWidget& GetTabs() { return *m_tabs; }

 private:
  void ReportVisible(bool visible);

  IMessageSink* m_sink = nullptr;
  QTabWidget* m_tabs;
  CLiveMeterView* m_meters;
  COutputList* m_log;
};
