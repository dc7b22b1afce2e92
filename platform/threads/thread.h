#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/sync/wait.h"

namespace platform {

// What a thread body looks at to learn that it is asked to end; its read loops wait through it so
// that a stop request cuts the wait short.
class StopFlag {
 public:
  bool StopRequested() const;
  // Sleeps up to timeoutMs; returns true at once when a stop is (or gets) requested.
  bool WaitFor(uint32_t timeoutMs) const;

 private:
  friend class Thread;
  void Request();

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool requested_ = false;
};

// A worker thread that can be asked to stop, waited for with a time-out and, when it does not end
// in time, abandoned: it is detached and runs on with state of its own, so nothing it uses here
// dangles. A body that may be abandoned must own (or share) everything it touches.
class Thread {
 public:
  using Body = std::function<void(const StopFlag&)>;

  explicit Thread(Body body);
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  // Asks the thread to stop and waits for it, unless it was abandoned.
  ~Thread();

  void RequestStop();
  // True when the thread has ended (at once if it had); false when the time-out passed first.
  // kInfinite waits for as long as it takes.
  bool Wait(uint32_t timeoutMs);
  // Lets go of a thread that did not end; it may still run. Harmless after the thread ended.
  void Abandon();
  // RequestStop, Wait, and Abandon when the wait timed out; true when the thread ended in time.
  bool Stop(uint32_t timeoutMs);
  bool Running() const;

 private:
  struct Shared;

  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace platform
