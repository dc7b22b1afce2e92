#pragma once
// The driver as the device manager has it loaded: the active keys under Drivers\Active that point
// back to this manager's driver key, the configuration read back from that key, and the removal of
// the previous driver generation.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/reports/reporter.h"

namespace manager {

inline constexpr int kFileInputKind = 256;
inline constexpr int kInvalidKind = -1;
inline constexpr int kPortNumberLimit = 128;

// An input entry's kind: "FILE" is a file (256); "COMn:"-like names give the decimal number that
// starts at their fourth character when it is below 128; anything else is invalid (-1).
int InputKind(std::string_view entry);
// An output entry's number, read the same way ("FILE" is no port: -1).
int PortNumber(std::string_view entry);

struct ActiveInstance {
  uint32_t handle = 0;
  std::string portName;  // "COM7:"
  std::string keyPath;   // the driver key below HKLM
  std::string root;      // keyPath without its last level
  uint32_t inPortIndex = 1;
  std::string inPortName;
  uint32_t inBaud = 4800;
  uint32_t nmeaFilter = 0;
  std::string file;

  int InputKind() const { return static_cast<int>(inPortIndex); }
  // The input entry the instance was activated with: its port, or "FILE".
  std::string InputEntry() const;
};

// The active instance of `registryName` behind `portName` ("COM7:"), with its configuration read
// back from its driver key; a key or value that cannot be read is reported and its default kept.
std::optional<ActiveInstance> FindActiveInstance(std::string_view portName, std::string_view registryName,
                                                 platform::Reporter& reporter);
// The lowest port "COMn:" (n below 128) that is an active instance of `registryName`.
std::optional<std::string> LowestActivePort(std::string_view registryName);

// Unloads the devices of the previous driver generation and deletes its driver keys; failures are
// passed over.
void RemovePreviousGeneration();

}  // namespace manager
