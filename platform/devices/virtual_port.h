#pragma once
// A device of a stream driver hosted by the device manager: every call travels over the port's own
// connection to the daemon, where it runs the driver's entry point. Serial control requests pass
// unchanged, exactly as the driver sees them.

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

#include "platform/devices/device.h"
#include "platform/devices/manager_connection.h"
#include "platform/devices/serial_control.h"

namespace platform {

class VirtualPort : public Device {
 public:
  // Opens `name` through a running daemon (one is started when none runs and boot drivers
  // exist). *isVirtual is false when no daemon runs or the name is not one of its devices: the
  // caller then tries the serial ports. Null with the last error otherwise.
  static std::unique_ptr<Device> Open(std::string_view name, uint32_t access, uint32_t shareMode, bool* isVirtual);
  ~VirtualPort() override;

  bool Read(void* buffer, size_t capacity, size_t* count) override;
  bool Write(const void* data, size_t size, size_t* written) override;
  bool IoControl(uint32_t code, const void* in, size_t inSize, void* out, size_t outSize, size_t* returned) override;

 private:
  VirtualPort(std::unique_ptr<ManagerConnection> connection, bool listener)
      : connection_(std::move(connection)), listener_(listener) {}

  bool AskedRead(void* buffer, uint32_t asked, size_t* count, int callerWaitMs, const devmgr::ReadRequest& request);
  bool HandOut(void* buffer, uint32_t asked, size_t* count);
  bool TakeReadAnswer();
  bool KeepReadAnswer(const devmgr::Frame& frame);
  template <class Request, class Reply>
  bool Exchange(devmgr::Operation operation, const Request& request, Reply& reply);

  std::unique_ptr<ManagerConnection> connection_;
  const bool listener_;  // opened without write access
  std::mutex lock_;      // one caller at a time on the connection
  // A read stays asked in the daemon across the caller's reads, which return with nothing when
  // their own wait is over: a listener's after kListenerWaitMs, a writer's as the time-outs it set
  // say. A listener's read is a standing one: the daemon answers it each time input comes, with
  // no request per answer, until this handle asks anything else. Answers that come during
  // another call or bring more than the caller's buffer takes wait here for the next reads.
  bool readAsked_ = false;
  bool readStanding_ = false;
  std::optional<SerialTimeouts> timeouts_;  // the last this handle set
  std::deque<devmgr::TransferReply> answers_;
  size_t frontTaken_ = 0;       // of the first answer, handed out already
  uint32_t lastReadError_ = 0;  // what a read that got nothing new reports
};

}  // namespace platform
