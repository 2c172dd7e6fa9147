// Numbered timers for a window, as the frame starts them on the rack and the live meters
// (one id per zone animation). UI thread.
#pragma once

#include <QObject>
#include <QTimerEvent>
#include <cstdint>
#include <functional>
#include <map>

class CNumberedTimers {
 public:
  // owner receives the Qt timer events; forward them to OnTimerEvent.
  explicit CNumberedTimers(QObject* owner) : m_owner(owner) {}

  void SetTimer(std::uint32_t id, std::uint32_t periodMs) {
    KillTimer(id);
    if (int qtId = m_owner->startTimer(int(periodMs)); qtId != 0) m_timers[id] = qtId;
  }
  void KillTimer(std::uint32_t id) {
    auto it = m_timers.find(id);
    if (it == m_timers.end()) return;
    m_owner->killTimer(it->second);
    m_timers.erase(it);
  }
  bool HasTimer(std::uint32_t id) const { return m_timers.count(id) != 0; }

  // Calls onTimer with our id when the event is one of ours; false otherwise.
  bool OnTimerEvent(QTimerEvent* event, const std::function<void(std::uint32_t)>& onTimer) const {
    for (const auto& [id, qtId] : m_timers) {
      if (qtId == event->timerId()) {
        onTimer(id);
        return true;
      }
    }
    return false;
  }

 private:
  QObject* m_owner;
  std::map<std::uint32_t, int> m_timers;
};
