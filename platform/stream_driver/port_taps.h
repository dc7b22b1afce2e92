#pragma once
// Pseudo-terminals through which unmodified Linux programs share a virtual port: each tap is a
// client of the port of its own, opened when a program opens the tap's terminal and closed when
// the last one closes it, so a program starts with the bytes that follow. A read-write tap opens
// the port with write access (it pulls the input and passes what the program writes to the input
// device); a read-only tap only listens. A tap whose program does not read falls behind and is
// resynchronised by the port like any slow client; it never holds up the others.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/stream_driver/stream_device.h"

namespace platform {

struct TapCounts {
  uint32_t readWrite = 1;
  uint32_t readOnly = 1;
};

// The serial settings a read-write tap gives the input device when it opens the port: the
// programs' terminal settings on the pseudo-terminal do not reach the real port.
struct TapInputSettings {
  uint32_t baudRate = 4800;
  uint8_t byteSize = 8;
  uint8_t parity = 0;
  uint8_t stopBits = 0;  // 0 one, 1 one and a half, 2 two
};

class PortTaps {
 public:
  // Creates the taps of `portName` ("COM6:") and publishes each as a symbolic link in `linkFolder`
  // named "COM6-rw0", "COM6-ro0", ... (the colon dropped). Taps that cannot be created are left
  // out (the last error says why); the device outlives the taps.
  PortTaps(StreamDevice& device, const std::string& portName, TapCounts counts, const TapInputSettings& input,
           const std::string& linkFolder);
  ~PortTaps();  // stops every tap, closes its client and removes its link
  PortTaps(const PortTaps&) = delete;
  PortTaps& operator=(const PortTaps&) = delete;

  // The link paths, read-write taps first.
  std::vector<std::string> Links() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
