#pragma once
// The driver's reading of its configuration: from the active key the device manager hands to the
// driver's init entry point, to the driver key, to the input device and the virtual port's name.

#include <cstdint>
#include <string>
#include <string_view>

namespace driver {

// Where the driver's traces go; the driver's own sink discards them.
class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void Trace(std::string_view text) = 0;
};

struct DriverConfig {
  std::string registryName;  // the last level of the driver key's path
  uint32_t inPortIndex = 1;  // port number, or 256 for a file
  bool inputIsFile = false;
  std::string inputName;  // "COM3:", or the file path; empty when File could not be read
  uint32_t index = 2;
  uint32_t inBaud = 4800;
  uint32_t inBits = 8;
  uint32_t inParity = 0;
  uint32_t inStopBits = 1;
  uint32_t nmeaFilter = 0;
  std::string friendlyName;
  std::string outputName;  // "COM%d:" with Index
};

// False when the active key, its Key value, the driver key or its InPortIndex cannot be read; each
// failure is traced. trace may be null.
bool GetInputDeviceFromReg(const char* activeKeyPath, DriverConfig& config, TraceSink* trace);

}  // namespace driver
