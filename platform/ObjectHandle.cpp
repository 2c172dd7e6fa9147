// The process-wide source of object handles, and the watches of each thread.
#include "platform/ObjectHandle.h"

#include <algorithm>
#include <atomic>
#include <vector>

namespace {

// The watches of one thread. Ended watches leave a null slot while an end is being told, and
// the slots are swept once no end is being told any more.
struct CEndWatches {
  std::vector<CObjectEndWatch*> watches;
  int telling = 0;
};

// Made with the thread's first watch and freed with its last, so that objects ending after the
// thread's own storage has gone (at exit) find no list rather than a destroyed one.
thread_local CEndWatches* t_watches = nullptr;

// Once no end is being told, sweeps the null slots out of the thread's list, and frees the
// list when no watch is left.
void SweepWatches(CEndWatches* list) {
  if (list->telling != 0) return;
  list->watches.erase(std::remove(list->watches.begin(), list->watches.end(), nullptr), list->watches.end());
  if (list->watches.empty()) {
    delete list;
    t_watches = nullptr;
  }
}

}  // namespace

std::uint64_t CObjectHandle::Next() {
  static std::atomic<std::uint64_t> next{1};
  return next.fetch_add(1);
}

CObjectHandle::~CObjectHandle() {
  CEndWatches* list = t_watches;
  if (!list) return;
  ++list->telling;
  // By index, the slots stay while an end is told: a watch ended meanwhile leaves a null slot,
  // one made meanwhile is appended and hears of the ends after this one.
  const std::size_t count = list->watches.size();
  for (std::size_t i = 0; i < count; ++i) {
    if (CObjectEndWatch* watch = list->watches[i]) watch->m_onEnd(m_value);
  }
  --list->telling;
  SweepWatches(list);
}

CObjectEndWatch::CObjectEndWatch(std::function<void(std::uint64_t)> onEnd) : m_onEnd(std::move(onEnd)) {
  if (!t_watches) t_watches = new CEndWatches;
  t_watches->watches.push_back(this);
}

CObjectEndWatch::~CObjectEndWatch() {
  CEndWatches* list = t_watches;
  if (!list) return;
  std::replace(list->watches.begin(), list->watches.end(), static_cast<CObjectEndWatch*>(this),
               static_cast<CObjectEndWatch*>(nullptr));
  SweepWatches(list);
}
