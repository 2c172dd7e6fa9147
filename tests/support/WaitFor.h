// Waiting in tests for what another thread brings about, with an upper bound that only a hang
// reaches.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

// Waits up to timeoutMs for the condition; true when it held.
inline bool WaitFor(const std::function<bool()>& condition, std::uint32_t timeoutMs = 20000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}
