#pragma once
// Rates that termios has no speed code for (14400, 28800, ...), set and read through the kernel's
// interface for arbitrary rates. Kept apart from serial_termios: its header cannot stand beside
// <termios.h>.

#include <cstdint>

namespace platform::serial_detail {

// True when the terminal now runs at `rate` both ways.
bool SetCustomRate(int fd, uint32_t rate);
// The terminal's output rate as the kernel keeps it, whatever the speed code says; 0 when it
// cannot be read.
uint32_t ReadRate(int fd);

}  // namespace platform::serial_detail
