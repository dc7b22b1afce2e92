#pragma once
// One connection to the device manager, served on the thread that accepted it: management
// requests, or one client of one device after an open. Whatever arrives, only this connection
// suffers: a frame that cannot be read or decoded is answered with an error and ends it, counts
// and waits are cut to the protocol's limits, and a client that vanishes has its device closed.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/devmgr_protocol/protocol.h"
#include "platform/stream_driver/stream_device.h"

namespace platform {

// What a connection asks of the daemon.
class ConnectionHost {
 public:
  virtual ~ConnectionHost() = default;
  virtual devmgr::StatusReply Activate(const std::string& keyPath) = 0;
  virtual devmgr::StatusReply Deactivate(const std::string& name) = 0;
  virtual devmgr::ListReply List() = 0;
  virtual void RequestStop() = 0;
  // The active device of that name (case-blind), or null.
  virtual std::shared_ptr<StreamDevice> Find(const std::string& name) = 0;
};

void ServeConnection(devmgr::Channel& channel, ConnectionHost& host);

}  // namespace platform
