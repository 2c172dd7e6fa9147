// The device view pane: a small toolbar above the device rack. The rack here only keeps its
// place in the layout and its timers; its tiles and zones come with the rack itself.
#pragma once

#include <QDockWidget>
#include <QToolBar>
#include <cstdint>

#include "ui/NumberedTimers.h"

// Its numbered timers are the zone animation timers (101 + zone index).
class CDeviceRack : public CNumberedTimerWidget {
 public:
  explicit CDeviceRack(QWidget* parent = nullptr);

  // Recomputes the layout and repaints, after any device or zone change. UI thread.
  void Refresh();
  // The blink step of the frame's 333 ms timer.
  void UpdateDevice(bool blinkPhase);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool m_blinkPhase = false;
};

class CDeviceViewToolBar : public QToolBar {
 public:
  explicit CDeviceViewToolBar(QWidget* parent = nullptr) : QToolBar(parent) {}
};

class CDeviceView : public QDockWidget {
 public:
  explicit CDeviceView(const QString& title, QWidget* parent = nullptr);

  CDeviceRack& GetRack() { return *m_rack; }
  CDeviceViewToolBar& GetToolBar() { return *m_toolBar; }

 private:
  CDeviceViewToolBar* m_toolBar;
  CDeviceRack* m_rack;
};
