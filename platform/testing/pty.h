#pragma once
// Pseudo-terminals as the serial ports of tests: the slave side is the port the code under test
// opens (mapped in the registry's port map as a COM port when asked), the test plays the receiver
// on the master side.

#include <termios.h>

#include <cstdint>
#include <string>

namespace platform::testing {

// Both ends of a pseudo-terminal; the slave is kept open, so its settings can be watched.
class Pty {
 public:
  Pty();
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  // Raw mode on the slave, as a receiver's port is used.
  void MakeRaw() const;
  // Writes all of `bytes` into the master side.
  void Send(const std::string& bytes) const;
  void CloseMaster();
  termios SlaveTermios() const;

  int master() const { return master_; }
  int slave() const { return slave_; }
  const std::string& slavePath() const { return slavePath_; }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};

// Ties `port` ("COM4:") to `device` in the port map of the current system root.
void MapPort(const std::string& port, const std::string& device);

// A terminal's settings as the kernel reports them, the arbitrary rate included.
struct TerminalSnapshot {
  termios tio{};
  uint32_t rate = 0;
};

TerminalSnapshot SnapshotTerminal(int fd);

// Every field, not only the rate: a port left in raw mode breaks a console.
void ExpectSameTerminal(const TerminalSnapshot& seen, const TerminalSnapshot& wanted);

// A terminal as a console or another program may leave it: line editing, echo, signals, CR to LF,
// output processing, odd control characters; at `rate`, which may lack a speed code.
void SetOddTerminal(int fd, uint32_t rate);

}  // namespace platform::testing
