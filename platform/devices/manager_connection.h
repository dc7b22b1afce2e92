#pragma once
// One connection to the device manager daemon, as a management request or a virtual port uses it.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/devmgr_protocol/protocol.h"
#include "platform/errors/errors.h"

namespace platform {

class ManagerConnection {
 public:
  ManagerConnection() = default;
  ~ManagerConnection();
  ManagerConnection(const ManagerConnection&) = delete;
  ManagerConnection& operator=(const ManagerConnection&) = delete;

  // Connects to a running daemon; false with *error 2 when none runs, 206 when the socket path is
  // too long (*message says which).
  bool Connect(uint32_t* error, std::string* message);
  // Connects, starting the daemon first when none runs.
  bool ConnectStarting(uint32_t* error, std::string* message);

  // Sends the request and receives the reply; false with 55 when the daemon went away.
  template <class Request, class Reply>
  bool Call(devmgr::Operation operation, const Request& request, Reply& reply) {
    return Send(operation, request) && Receive(operation, reply);
  }

  // The halves of a call, for a read that may stay asked while the caller does something else.
  template <class Request>
  bool Send(devmgr::Operation operation, const Request& request) {
    if (devmgr::SendMessage(*channel_, operation, request)) return true;
    SetLastError(kErrorDevNotExist);
    return false;
  }
  template <class Reply>
  bool Receive(devmgr::Operation operation, Reply& reply) {
    devmgr::Frame frame;
    return ReceiveFrame(frame) && DecodeReply(frame, operation, reply);
  }
  // Receive in two steps, for a caller that looks at a frame's operation first.
  bool ReceiveFrame(devmgr::Frame& frame) {
    std::string ignored;
    if (devmgr::ReceiveFrame(*channel_, frame, &ignored) == devmgr::ReceiveStatus::kFrame) return true;
    SetLastError(kErrorDevNotExist);
    return false;
  }
  template <class Reply>
  static bool DecodeReply(const devmgr::Frame& frame, devmgr::Operation operation, Reply& reply) {
    std::string ignored;
    if (frame.operation == static_cast<uint32_t>(operation) && devmgr::Decode(frame.payload, reply, &ignored)) {
      return true;
    }
    SetLastError(kErrorInvalidData);
    return false;
  }
  // True when a reply (or the daemon's end) can be received now; false after timeoutMs.
  bool WaitReply(int timeoutMs) { return channel_->WaitReadable(timeoutMs); }

 private:
  int fd_ = -1;
  std::unique_ptr<devmgr::SocketChannel> channel_;
};

// True when the machine hive has keys under Drivers\BuiltIn: drivers that a daemon would load.
bool HasBootDrivers();

}  // namespace platform
