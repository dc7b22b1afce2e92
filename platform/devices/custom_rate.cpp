#include "platform/devices/custom_rate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace platform::serial_detail {

bool SetCustomRate(int fd, uint32_t rate) {
  struct termios2 tio {};
  if (ioctl(fd, TCGETS2, &tio) != 0) return false;
  tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  tio.c_ispeed = rate;
  tio.c_ospeed = rate;
  return ioctl(fd, TCSETS2, &tio) == 0 && ReadRate(fd) == rate;
}

uint32_t ReadRate(int fd) {
  struct termios2 tio {};
  if (ioctl(fd, TCGETS2, &tio) != 0) return 0;
  return tio.c_ospeed;
}

TerminalState::TerminalState() = default;
TerminalState::~TerminalState() = default;
TerminalState::TerminalState(TerminalState&&) noexcept = default;
TerminalState& TerminalState::operator=(TerminalState&&) noexcept = default;

bool TerminalState::Take(int fd) {
  auto taken = std::make_unique<termios2>();
  if (ioctl(fd, TCGETS2, taken.get()) != 0) return false;
  state_ = std::move(taken);
  return true;
}

bool TerminalState::PutBack(int fd) const {
  if (!state_) {
    errno = EINVAL;
    return false;
  }
  return ioctl(fd, TCSETS2, state_.get()) == 0;
}

}  // namespace platform::serial_detail
