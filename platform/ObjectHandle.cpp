// The process-wide source of object handles.
#include "platform/ObjectHandle.h"

#include <atomic>

std::uint64_t CObjectHandle::Next() {
  static std::atomic<std::uint64_t> next{1};
  return next.fetch_add(1);
}
