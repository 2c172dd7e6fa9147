// The output pane: two tabs, "System Monitor" (the live meters) and "Error Log" (the log
// lines the main frame adds). It tells the frame whether the System Monitor can be seen
// (WM_APP+139), which decides whether devices poll their meters.
#pragma once

#include <QDockWidget>
#include <QListWidget>
#include <cstdint>

#include "ui/NumberedTimers.h"

class CDevice;
class IMessageSink;
class QTabWidget;

class CLiveMeterView : public CNumberedTimerWidget {
 public:
  explicit CLiveMeterView(QWidget* parent = nullptr);

  // UI thread, all of them.
  void AddDevice(CDevice* device, std::intptr_t meterValue);
  void Redraw();
  // Recreates the back buffer at the content width and redraws.
  void Rebuild();
  void UpdateDeviceMeters(bool blinkPhase);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// The log list: an unsorted list without selection.
class COutputList : public QListWidget {
 public:
  explicit COutputList(QWidget* parent = nullptr);
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
