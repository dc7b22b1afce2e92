#pragma once
// The loop of a read thread: the port's bytes into the ring until a stop request or an error,
// with the pauses that keep an idle port cheap. Everything the loop touches lives in one shared
// channel, so a thread that had to be given up never reaches freed memory.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/reports/reporter.h"
#include "warner/serial/comm_port.h"
#include "warner/serial/serial_ring.h"
#include "warner/serial/source_thread.h"

namespace serial {

inline constexpr const char* kGpsThreadName = "GPSSerialReadThread";
inline constexpr const char* kTmcThreadName = "TMCSerialReadThread";

// The code a read thread ends with when an exception escaped its loop.
inline constexpr uint32_t kReadThreadFault = 0xE0000000u;

// The reporter of a thread that may outlive its owner: it passes the messages on until the owner
// lets go (Detach), then drops them instead of reaching a reporter that may be gone.
class ThreadReports final : public platform::Reporter {
 public:
  explicit ThreadReports(platform::Reporter& target) : target_(&target) {}
  void Detach();

 protected:
  void Show(platform::Severity severity, std::string_view text) override;
  bool Ask(platform::Severity severity, std::string_view text) override;

 private:
  std::mutex mutex_;
  platform::Reporter* target_;
};

// How a read thread behaves, fixed when it starts.
struct ReadRules {
  bool tmc = false;         // survives 21, 13 and 38
  bool standAlone = false;  // reports the error that ends it
  // Virtual mode with GpsSourceState 4: the port is shared with the navigation program and held
  // open only while that program is present; it is reopened with these values.
  bool followNavigation = false;
  std::string portName;
  uint32_t access = 0;
  uint32_t baudRate = 0;
  ReadOnlySetup readOnlySetup = ReadOnlySetup::kKeep;
};

struct ReadChannel {
  ReadChannel(ReadRules readRules, std::shared_ptr<const std::atomic<bool>> navigationFlag,
              std::shared_ptr<ThreadReports> threadReports)
      : rules(std::move(readRules)), navigationPresent(std::move(navigationFlag)), reports(std::move(threadReports)) {}
  // The last owner puts the port back as it was found, also when that is a thread given up.
  ~ReadChannel() { CloseCommDevice(port); }

  ReadRules rules;
  std::shared_ptr<const std::atomic<bool>> navigationPresent;
  std::shared_ptr<ThreadReports> reports;
  CommPort port;
  SerialRing ring;
};

// Pauses of the loop, in milliseconds.
inline constexpr uint32_t kReadBlockSize = 2048;
inline constexpr uint32_t kNotReadyPauseMs = 500;
inline constexpr uint32_t kEmptyPauseMs = 25;
inline constexpr uint32_t kRetryPauseMs = 100;
inline constexpr uint32_t kClosedPauseMs = 2000;  // shared port without its navigation program; TMC hiccups

// The thread body for a channel whose port is open.
SourceThread::Body ReadThreadBody(std::shared_ptr<ReadChannel> channel);

}  // namespace serial
