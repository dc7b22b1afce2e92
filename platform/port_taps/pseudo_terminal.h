#pragma once
// The master side of one tap's pseudo-terminal and the symbolic link under which programs find its
// terminal. While no program holds the terminal open the master reports a hang-up; the master has no
// event for a program's arrival, but a file watch on the terminal sees it being opened.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform::port_taps_detail {

// What ended a wait on the terminal.
enum class Wake { kReady, kTimeout, kLeft, kStop };

class PseudoTerminal {
 public:
  // A terminal in raw mode published as `linkPath` (a stale link there is replaced); null with the
  // last error set when it cannot be made or published. `stopFd` becoming readable ends every wait.
  static std::unique_ptr<PseudoTerminal> Create(const std::string& linkPath, int stopFd);
  ~PseudoTerminal();  // removes the link unless someone else has taken its name meanwhile
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // Waits up to timeoutMs for `events` (POLLIN: the program wrote; POLLOUT: the terminal takes
  // bytes; 0: nothing but the program leaving). kLeft: no program holds the terminal open.
  Wake Wait(short events, int timeoutMs) const;
  // Waits until a program holds the terminal open (true) or a stop is asked (false).
  bool AwaitProgram() const;
  // Back to raw mode with nothing pending either way, for the next program: one that left may
  // have changed the mode and left bytes unread.
  bool Reset() const;

  // Non-blocking: the count moved, or -1 with errno.
  ssize_t Write(const void* data, size_t size) const;
  ssize_t Read(void* buffer, size_t capacity) const;

  const std::string& LinkPath() const { return linkPath_; }

 private:
  PseudoTerminal(int master, std::string slavePath, int stopFd);

  int master_;
  int watch_ = -1;  // an inotify descriptor that becomes readable when the terminal is opened
  std::string slavePath_;
  std::string linkPath_;  // empty until published
  int stopFd_;
};

}  // namespace platform::port_taps_detail
