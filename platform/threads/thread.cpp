#include "platform/threads/thread.h"

#include "platform/sync/wait.h"

namespace platform {

// Lives as long as the longer of the Thread object and the running thread.
struct Thread::Shared {
  StopFlag stop;
  std::mutex mutex;
  std::condition_variable ended;
  bool finished = false;
};

bool StopFlag::StopRequested() const {
  std::lock_guard lock(mutex_);
  return requested_;
}

bool StopFlag::WaitFor(uint32_t timeoutMs) const {
  std::unique_lock lock(mutex_);
  return WaitUntilReady(changed_, lock, timeoutMs, [this] { return requested_; });
}

void StopFlag::Request() {
  {
    std::lock_guard lock(mutex_);
    requested_ = true;
  }
  changed_.notify_all();
}

Thread::Thread(Body body) : shared_(std::make_shared<Shared>()) {
  thread_ = std::thread([shared = shared_, body = std::move(body)] {
    body(shared->stop);
    {
      std::lock_guard lock(shared->mutex);
      shared->finished = true;
    }
    shared->ended.notify_all();
  });
}

Thread::~Thread() {
  if (!thread_.joinable()) return;
  RequestStop();
  thread_.join();
}

void Thread::RequestStop() { shared_->stop.Request(); }

bool Thread::Wait(uint32_t timeoutMs) {
  {
    std::unique_lock lock(shared_->mutex);
    if (!WaitUntilReady(shared_->ended, lock, timeoutMs, [this] { return shared_->finished; })) {
      return false;
    }
  }
  if (thread_.joinable()) thread_.join();  // the body is done; only the exit remains
  return true;
}

void Thread::Abandon() {
  if (thread_.joinable()) thread_.detach();
}

bool Thread::Stop(uint32_t timeoutMs) {
  RequestStop();
  if (Wait(timeoutMs)) return true;
  Abandon();
  return false;
}

bool Thread::Running() const {
  std::lock_guard lock(shared_->mutex);
  return !shared_->finished;
}

}  // namespace platform
