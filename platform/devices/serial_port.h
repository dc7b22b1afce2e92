#pragma once
// A serial port on a Linux terminal device (a UART, a USB or Bluetooth serial device, or a
// pseudo-terminal), with the handheld's serial API as control requests.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/devices/custom_rate.h"
#include "platform/devices/device.h"
#include "platform/devices/serial_control.h"

namespace platform {

class SerialPort final : public Device {
 public:
  // Opens the device and takes the settings it has as the control block. A writer puts it in raw
  // mode (see MakeRaw); a reader leaves it as it is. A second opener that wants write access while
  // another holds it fails with 32.
  static std::unique_ptr<Device> Open(const std::string& path, uint32_t access);
  ~SerialPort() override;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  bool Read(void* buffer, size_t capacity, size_t* count) override;
  bool Write(const void* data, size_t size, size_t* written) override;
  bool IoControl(uint32_t code, const void* in, size_t inSize, void* out, size_t outSize, size_t* returned) override;

 private:
  SerialPort(int fd, uint32_t access, const SerialSettings& settings);

  // Reads with poll: `totalMs` < 0 waits without end; `intervalMs` < 0 has no interval limit.
  bool ReadTimed(uint8_t* buffer, size_t capacity, size_t* count, int64_t totalMs, int64_t intervalMs);
  // Changing the terminal takes the port's lock (32 when another opener holds it) and keeps the
  // state found for the close; a writer does so at open, a reader at its first SET_DCB.
  uint32_t Claim();
  uint32_t MakeRawForWriter();
  // The requests' work, called with mutex_ held.
  uint32_t SetSettings(const SerialSettings& settings);
  uint32_t Purge(uint32_t what);
  uint32_t ChangeModemLine(unsigned long request, int line);
  uint32_t ModemStatus(uint32_t& status);

  const int fd_;
  const uint32_t access_;
  std::mutex mutex_;  // one control request at a time; guards the two blocks against reads
  SerialSettings settings_;
  SerialTimeouts timeouts_;
  serial_detail::TerminalState found_;  // taken by Claim, put back at close
};

}  // namespace platform
