#pragma once
// A device of a stream driver hosted by the device manager: every call travels over the port's own
// connection to the daemon, where it runs the driver's entry point. Serial control requests pass
// unchanged, exactly as the driver sees them.

#include <memory>
#include <mutex>
#include <string_view>

#include "platform/devices/device.h"
#include "platform/devices/manager_connection.h"

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
  explicit VirtualPort(std::unique_ptr<ManagerConnection> connection) : connection_(std::move(connection)) {}

  std::unique_ptr<ManagerConnection> connection_;
  std::mutex lock_;  // one request at a time on the connection
};

}  // namespace platform
