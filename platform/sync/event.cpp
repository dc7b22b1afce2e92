#include "platform/sync/event.h"

namespace platform {

Event::Event(EventReset mode, bool initiallySet) : mode_(mode), set_(initiallySet) {}

void Event::Set() {
  {
    std::lock_guard lock(mutex_);
    set_ = true;
  }
  if (mode_ == EventReset::kManual) {
    condition_.notify_all();
  } else {
    condition_.notify_one();
  }
}

void Event::Reset() {
  std::lock_guard lock(mutex_);
  set_ = false;
}

WaitResult Event::Wait(uint32_t timeoutMs) {
  std::unique_lock lock(mutex_);
  if (!WaitUntilReady(condition_, lock, timeoutMs, [this] { return set_; })) {
    return WaitResult::kTimedOut;
  }
  if (mode_ == EventReset::kAuto) set_ = false;
  return WaitResult::kSignalled;
}

}  // namespace platform
