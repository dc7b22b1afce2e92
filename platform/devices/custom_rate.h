#pragma once
// Rates that termios has no speed code for (14400, 28800, ...), set and read through the kernel's
// interface for arbitrary rates, and a terminal's whole state through the same interface. Kept apart
// from serial_termios: its header cannot stand beside <termios.h>.

#include <cstdint>
#include <memory>

struct termios2;

namespace platform::serial_detail {

// True when the terminal now runs at `rate` both ways.
bool SetCustomRate(int fd, uint32_t rate);
// The terminal's output rate as the kernel keeps it, whatever the speed code says; 0 when it
// cannot be read.
uint32_t ReadRate(int fd);

// Everything the kernel keeps of a terminal's settings: every flag, every control character and
// both rates, arbitrary ones included. glibc's termios calls cannot carry an arbitrary rate back.
class TerminalState {
 public:
  TerminalState();
  ~TerminalState();
  TerminalState(TerminalState&&) noexcept;
  TerminalState& operator=(TerminalState&&) noexcept;

  // Takes the terminal's state; false (errno set) when it cannot be read.
  bool Take(int fd);
  bool IsTaken() const { return state_ != nullptr; }
  // Sets the terminal to the state taken; false (errno set) when it refuses.
  bool PutBack(int fd) const;

 private:
  std::unique_ptr<termios2> state_;
};

}  // namespace platform::serial_detail
