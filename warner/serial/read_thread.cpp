#include "warner/serial/read_thread.h"

#include "platform/errors/errors.h"

namespace serial {

namespace {

bool IsTmcHiccup(uint32_t error) {
  return error == platform::kErrorNotReady || error == platform::kErrorInvalidData ||
         error == platform::kErrorHandleEof;
}

// What one pass of the loop decided.
enum class Pass { kNext, kLeave };

class ReadLoop {
 public:
  ReadLoop(ReadChannel& channel, const platform::StopFlag& stop) : c_(channel), stop_(stop) {}

  // The error that ended the loop; 0 when it was asked to stop.
  uint32_t Run(const ThreadStatus& status) {
    while (!stop_.StopRequested() && status.exitCode.load() == 0) {
      if (OnePass() == Pass::kLeave) return error_;
    }
    stopped_ = true;
    return 0;
  }
  bool Stopped() const { return stopped_; }

 private:
  Pass OnePass() {
    if (c_.rules.followNavigation && !FollowNavigation()) return error_ != 0 ? Pass::kLeave : Pass::kNext;
    if (!c_.port.IsOpen()) return Leave(platform::kErrorInvalidHandle);

    size_t count = 0;
    platform::SetLastError(0);  // a read that succeeds leaves the device's word here, or nothing
    const bool ok = c_.port.device->Read(block_, sizeof block_, &count);
    const uint32_t error = platform::GetLastError();
    if (ok && count > 0) {
      c_.ring.Write(block_, count);
    } else if (ok) {
      c_.ring.SetPendingStatus(error);
      stop_.WaitFor(error == platform::kErrorNotReady ? kNotReadyPauseMs : kEmptyPauseMs);
    } else if (error == 0) {
      stop_.WaitFor(kRetryPauseMs);
    } else if (c_.rules.tmc && IsTmcHiccup(error)) {
      c_.ring.SetPendingStatus(platform::kErrorNotReady);
      stop_.WaitFor(kClosedPauseMs);
    } else {
      return Leave(error);
    }
    return Pass::kNext;
  }

  // Holds the shared port open only while the navigation program runs; false when this pass
  // reads nothing (error_ set when the port cannot be reopened).
  bool FollowNavigation() {
    const bool present = c_.navigationPresent->load();
    if (c_.port.IsOpen() && !present) CloseCommDevice(c_.port);
    if (c_.port.IsOpen()) return true;
    if (!present) {
      c_.ring.SetPendingStatus(platform::kErrorNotReady);
      stop_.WaitFor(kClosedPauseMs);
      return false;
    }
    const uint32_t error = OpenCommDevice(c_.rules.portName, c_.rules.access, platform::kFileShareRead, c_.port,
                                          c_.rules.baudRate, 8, 0, c_.rules.readOnlySetup, *c_.reports);
    if (error == 0) return true;
    error_ = error;
    return false;
  }

  Pass Leave(uint32_t error) {
    error_ = error;
    return Pass::kLeave;
  }

  ReadChannel& c_;
  const platform::StopFlag& stop_;
  uint8_t block_[kReadBlockSize] = {};
  uint32_t error_ = 0;
  bool stopped_ = false;
};

void RunReadThread(ReadChannel& channel, const platform::StopFlag& stop, ThreadStatus& status) {
  status.exitCode = 0;
  status.ended = 0;
  ReadLoop loop(channel, stop);
  uint32_t error = 0;
  try {
    error = loop.Run(status);
  } catch (...) {
    channel.reports->Error("%s", channel.rules.tmc ? "Some exception occured in the TMC Serial Read Thread.\n"
                                                   : "Some exception occured in the GPS Serial Read Thread.\n");
    // A dead thread must not look like a quiet port: the reader learns that the source is gone.
    error = kReadThreadFault;
  }
  if (!loop.Stopped()) {
    status.exitCode = static_cast<int>(error);
    channel.ring.SetPendingStatus(error);
    if (channel.rules.standAlone && error != 0) {
      channel.reports->ErrorCode(error, "Read from %s returned with\n", channel.rules.portName.c_str());
    }
  }
  status.ended = 1;
}

}  // namespace

void ThreadReports::Detach() {
  std::lock_guard guard(mutex_);
  target_ = nullptr;
}

void ThreadReports::Show(platform::Severity severity, std::string_view text) {
  std::lock_guard guard(mutex_);
  if (target_ == nullptr) return;
  const std::string whole(text);  // formatted already, the error line included
  switch (severity) {
    case platform::Severity::kWarning: target_->Warn("%s", whole.c_str()); break;
    case platform::Severity::kInformation: target_->Inform("%s", whole.c_str()); break;
    default: target_->Error("%s", whole.c_str());
  }
}

// The read threads ask nothing; a question would be answered No.
bool ThreadReports::Ask(platform::Severity, std::string_view) { return false; }

SourceThread::Body ReadThreadBody(std::shared_ptr<ReadChannel> channel) {
  return [channel = std::move(channel)](const platform::StopFlag& stop, ThreadStatus& status) {
    RunReadThread(*channel, stop, status);
  };
}

}  // namespace serial
