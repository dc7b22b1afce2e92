#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/sync/wait.h"

namespace platform {

enum class EventReset { kManual, kAuto };

// A signal one thread sets and others wait for. A manual-reset event stays set and releases every
// waiter until Reset(); an auto-reset event releases one waiter and clears itself.
class Event {
 public:
  explicit Event(EventReset mode, bool initiallySet = false);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  WaitResult Wait(uint32_t timeoutMs);

 private:
  const EventReset mode_;
  std::mutex mutex_;
  std::condition_variable condition_;
  bool set_;
};

}  // namespace platform
