#pragma once
// A read thread of the serial sources and what its owner knows of it. The thread may have to be
// given up when it does not end in time; it then runs on, detached, so its body must own (share)
// everything it touches, and its status lives in a block of its own that the next start of the
// descriptor does not reuse.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/reports/reporter.h"
#include "platform/threads/thread.h"

namespace serial {

// How long a stop request is waited for. Only tests change these.
struct StopTimings {
  uint32_t waitStepMs = 500;
  uint32_t limitMs = 10000;  // after the wait that passes it the thread is given up
};

// What a running thread and its owner share.
struct ThreadStatus {
  std::atomic<int> ended{-1};     // -1 never started, 0 running, 1 ended
  std::atomic<int> exitCode{-1};  // -1 at reset, 0 running, -2 given up; else the error that ended it
};

class SourceThread {
 public:
  // The body runs on the new thread; it sets ended and exitCode as it starts and ends.
  using Body = std::function<void(const platform::StopFlag& stop, ThreadStatus& status)>;

  explicit SourceThread(std::string name) : name_(std::move(name)) {}
  SourceThread(const SourceThread&) = delete;
  SourceThread& operator=(const SourceThread&) = delete;
  ~SourceThread();

  const std::string& Name() const { return name_; }
  int Ended() const { return status_->ended.load(); }
  int ExitCode() const { return status_->exitCode.load(); }

  // A fresh status (never started, exit code -1); a thread still known is forgotten first.
  void Reset();
  // Starts the body; false with the last error set when no thread can be made.
  bool Start(Body body);
  // Asks the thread to end and waits for it in steps; a thread that is still running after the
  // limit is reported ("The %s thread can't be stopped.\nThe thread is killed now."), gets exit
  // code -2 and is given up. Returns the ended flag it found when there was nothing to stop,
  // else -1, which the ended flag then holds.
  int Stop(platform::Reporter& reporter, const StopTimings& timings);

 private:
  std::string name_;
  std::shared_ptr<ThreadStatus> status_ = std::make_shared<ThreadStatus>();
  std::unique_ptr<platform::Thread> thread_;
};

}  // namespace serial
