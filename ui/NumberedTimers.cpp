// Numbered timers of the rack and the live meters.
#include "ui/NumberedTimers.h"

#include <QTimerEvent>

void CNumberedTimerWidget::SetTimer(std::uint32_t id, std::uint32_t periodMs) {
  KillTimer(id);
  if (int qtId = startTimer(int(periodMs)); qtId != 0) m_timers[id] = qtId;
}

void CNumberedTimerWidget::KillTimer(std::uint32_t id) {
  auto it = m_timers.find(id);
  if (it == m_timers.end()) return;
  killTimer(it->second);
  m_timers.erase(it);
}

void CNumberedTimerWidget::timerEvent(QTimerEvent* event) {
  for (const auto& entry : m_timers) {
    if (entry.second == event->timerId()) {
      // The handler may start or stop timers: leave the walk first.
      const std::uint32_t id = entry.first;
      OnTimer(id);
      return;
    }
  }
  QWidget::timerEvent(event);
}
