// A widget with numbered timers, as the frame starts them on the rack and the live meters (one
// id per zone animation): each tick goes to OnTimer. UI thread.
#pragma once

#include <QWidget>
#include <cstdint>
#include <map>

class CNumberedTimerWidget : public QWidget {
 public:
  explicit CNumberedTimerWidget(QWidget* parent = nullptr) : QWidget(parent) {}

  // Starts timer id (restarting it when it runs); periodMs between ticks.
  void SetTimer(std::uint32_t id, std::uint32_t periodMs);
  void KillTimer(std::uint32_t id);
  bool HasTimer(std::uint32_t id) const { return m_timers.count(id) != 0; }

 protected:
  void timerEvent(QTimerEvent* event) override;
  // One tick of timer id; the base repaints the widget.
  virtual void OnTimer(std::uint32_t id) { (void)id; update(); }

 private:
  // Our id to Qt's timer id.
  std::map<std::uint32_t, int> m_timers;
};
