#pragma once
// Time-outs as the programs give them: milliseconds, with one value that means "no time-out".

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

enum class WaitResult { kSignalled, kTimedOut };

// Waits until ready() holds or the time-out passes; returns ready(). Spurious wake-ups are absorbed.
template <class Predicate>
bool WaitUntilReady(std::condition_variable& condition, std::unique_lock<std::mutex>& lock, uint32_t timeoutMs,
                    Predicate ready) {
  if (timeoutMs == kInfinite) {
    condition.wait(lock, ready);
    return true;
  }
  return condition.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
}

}  // namespace platform
