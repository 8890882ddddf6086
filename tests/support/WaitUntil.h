#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace parlomax::testing {

// Waits, without an event loop, until `done` holds or `timeoutMs` passes;
// returns whether it holds. For waiting on another thread, not for timing.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace parlomax::testing
