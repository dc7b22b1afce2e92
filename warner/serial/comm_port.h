#pragma once
// A serial port as the sources hold it: opened by name, configured for NMEA input when the warner
// may write to it, and put back as it was found when it is closed.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/devices/device.h"
#include "platform/devices/serial_control.h"
#include "platform/reports/reporter.h"

namespace serial {

struct CommPort {
  std::unique_ptr<platform::Device> device;  // null while closed
  // The port's settings as they were found at open; restored at close.
  platform::SerialSettings savedSettings;
  platform::SerialTimeouts savedTimeouts;
  uint32_t baudRate = 0;
  uint8_t byteSize = 0;
  uint8_t stopBits = 0;  // 0 one, 1 one and a half, 2 two
  uint32_t access = 0;
  uint32_t shareMode = 0;
  bool setUp = false;         // the settings and time-outs were changed (see OpenCommDevice)
  bool readLimitSet = false;  // a port listened to as found got a limit on its reads
  std::string name;

  bool IsOpen() const { return device != nullptr; }
};

// The flag bits OpenCommDevice keeps: binary mode is set, the DTR and RTS control as found, and
// every check, flow control and replacement off.
inline constexpr uint32_t kKeptSerialFlags = 0xFFFFB031u;
// The time-outs of a port the warner reads: a read returns 100 ms after its last byte or after
// 100 ms without any.
inline constexpr platform::SerialTimeouts kReadTimeouts{100, 0, 100, 100, 100};

// What a port opened read-only may have done to it.
enum class ReadOnlySetup {
  // Listened to as found: a virtual port of a driver, which sets it up itself, or a port the
  // navigation program shares.
  kKeep,
  // A serial port of the machine, which nobody else sets up on Linux: set up as with write access,
  // unless another program holds it (it holds the port's write lock); then listened to as found.
  kWhenFree,
};

// Opens `name` unless the port is open already. With write access, or read-only with kWhenFree,
// the port is set to the given baud rate, byte size and stop bits, no parity, event character LF
// and kReadTimeouts. A port listened to as found keeps its settings, except that reads which would
// wait without end for a full block get the read limits of kReadTimeouts: a port opened afresh on
// Linux has no time-outs of its own, and such reads could neither be stopped nor deliver a sentence
// before 2048 bytes came. Every failure is reported and returned as a system error (also left as
// the last error); the port is then closed.
uint32_t OpenCommDevice(const std::string& name, uint32_t access, uint32_t shareMode, CommPort& port, uint32_t baudRate,
                        uint8_t byteSize, uint8_t stopBits, ReadOnlySetup readOnlySetup, platform::Reporter& reporter);

// Restores what OpenCommDevice changed and closes the port. Always 0.
uint32_t CloseCommDevice(CommPort& port);

}  // namespace serial
