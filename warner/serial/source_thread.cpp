#include "warner/serial/source_thread.h"

#include <new>
#include <system_error>

#include "platform/errors/errors.h"

namespace serial {

SourceThread::~SourceThread() {
  // A thread that is still running is asked to stop and waited for by the Thread itself.
  thread_.reset();
}

void SourceThread::Reset() {
  if (thread_) {
    thread_->Abandon();
    thread_.reset();
  }
  status_ = std::make_shared<ThreadStatus>();
}

bool SourceThread::Start(Body body) {
  std::shared_ptr<ThreadStatus> status = status_;
  try {
    thread_ = std::make_unique<platform::Thread>(
        [status, body = std::move(body)](const platform::StopFlag& stop) { body(stop, *status); });
  } catch (const std::system_error& e) {
    platform::SetLastErrorFromErrno(e.code().value());
    return false;
  } catch (const std::bad_alloc&) {
    platform::SetLastError(platform::kErrorNotEnoughMemory);
    return false;
  }
  return true;
}

int SourceThread::Stop(platform::Reporter& reporter, const StopTimings& timings) {
  const int ended = status_->ended.load();
  // A thread that has not yet marked itself running is stopped all the same: its port is closed
  // as soon as this returns.
  const bool starting = ended == -1 && thread_ && thread_->Running();
  if (ended != 0 && !starting) return ended;
  if (!thread_) {
    status_->ended = -1;
    return -1;
  }
  thread_->RequestStop();
  uint32_t waited = 0;
  while (!thread_->Wait(timings.waitStepMs)) {
    waited += timings.waitStepMs;
    if (waited > timings.limitMs) {
      reporter.Error("The %s thread can't be stopped.\nThe thread is killed now.", name_.c_str());
      // A thread cannot be killed safely here: it is given up and left to end on its own, with
      // everything it uses shared with it. The exit code also tells its loop to leave.
      status_->exitCode = -2;
      thread_->Abandon();
      break;
    }
  }
  thread_.reset();
  // The given-up thread keeps writing to the old status block; this descriptor starts afresh.
  const int exitCode = status_->exitCode.load();
  status_ = std::make_shared<ThreadStatus>();
  status_->exitCode = exitCode;
  return -1;
}

}  // namespace serial
