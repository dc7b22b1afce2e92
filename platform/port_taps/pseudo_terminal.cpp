#include "platform/port_taps/pseudo_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/errors/errors.h"

namespace platform::port_taps_detail {

namespace {

namespace fs = std::filesystem;

// Without a watch (none to be had) a program's arrival is looked for this often; with one, the
// look is only a safety net, and an idle tap should cost next to nothing.
constexpr int kLookWithoutWatchMs = 100;
constexpr int kLookWithWatchMs = 5000;

bool FailWith(int errnoValue) {
  SetLastErrorFromErrno(errnoValue);
  return false;
}

// A link left by an earlier run is replaced; anything else of that name is not ours to remove.
bool Publish(const std::string& target, const std::string& linkPath) {
  const fs::path link(linkPath);
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(link, ec))) {
    fs::remove(link, ec);
  } else if (fs::exists(fs::symlink_status(link, ec))) {
    SetLastError(kErrorFileExists);
    return false;
  }
  if (link.has_parent_path()) fs::create_directories(link.parent_path(), ec);
  fs::create_symlink(target, link, ec);
  return ec ? FailWith(ec.value()) : true;
}

}  // namespace

std::unique_ptr<PseudoTerminal> PseudoTerminal::Create(const std::string& linkPath, int stopFd) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master < 0) {
    FailWith(errno);
    return nullptr;
  }
  char slave[128] = {};
  if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, slave, sizeof slave) != 0) {
    FailWith(errno);
    close(master);
    return nullptr;
  }
  std::unique_ptr<PseudoTerminal> terminal(new PseudoTerminal(master, slave, stopFd));
  terminal->watch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (terminal->watch_ >= 0 && inotify_add_watch(terminal->watch_, slave, IN_OPEN) < 0) {
    close(terminal->watch_);
    terminal->watch_ = -1;
  }
  // Until its terminal has been opened once, a master reports no hang-up; the reset opens it.
  if (!terminal->Reset() || !Publish(slave, linkPath)) return nullptr;
  terminal->linkPath_ = linkPath;
  return terminal;
}

PseudoTerminal::PseudoTerminal(int master, std::string slavePath, int stopFd)
    : master_(master), slavePath_(std::move(slavePath)), stopFd_(stopFd) {}

PseudoTerminal::~PseudoTerminal() {
  std::error_code ec;
  if (!linkPath_.empty() && fs::read_symlink(linkPath_, ec) == slavePath_) fs::remove(linkPath_, ec);
  if (watch_ >= 0) close(watch_);
  close(master_);
}

Wake PseudoTerminal::Wait(short events, int timeoutMs) const {
  pollfd entries[2] = {{master_, events, 0}, {stopFd_, POLLIN, 0}};
  const int ready = poll(entries, 2, timeoutMs);
  if (ready < 0 && errno != EINTR) return Wake::kLeft;
  if (ready <= 0) return Wake::kTimeout;
  if (entries[1].revents != 0) return Wake::kStop;
  if (entries[0].revents & events) return Wake::kReady;
  return entries[0].revents & (POLLHUP | POLLERR | POLLNVAL) ? Wake::kLeft : Wake::kTimeout;
}

bool PseudoTerminal::AwaitProgram() const {
  for (;;) {
    const Wake wake = Wait(0, 0);
    if (wake == Wake::kStop) return false;
    if (wake != Wake::kLeft) return true;
    // A negative descriptor is skipped by poll.
    pollfd entries[2] = {{watch_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    if (poll(entries, 2, watch_ >= 0 ? kLookWithWatchMs : kLookWithoutWatchMs) <= 0) continue;
    if (entries[1].revents != 0) return false;
    char events[4096];
    while (read(watch_, events, sizeof events) > 0) {
    }
  }
}

bool PseudoTerminal::Reset() const {
  // Bytes waiting for the program lie in the terminal's own input queue, which a flush of the
  // master does not reach; the terminal side has to be opened for that.
  const int slave = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave < 0) return FailWith(errno);
  termios tio{};
  bool done = tcgetattr(slave, &tio) == 0;
  cfmakeraw(&tio);
  done = done && tcsetattr(slave, TCSANOW, &tio) == 0 && tcflush(slave, TCIOFLUSH) == 0;
  const int error = errno;
  close(slave);
  return done || FailWith(error);
}

ssize_t PseudoTerminal::Write(const void* data, size_t size) const { return write(master_, data, size); }

ssize_t PseudoTerminal::Read(void* buffer, size_t capacity) const { return read(master_, buffer, capacity); }

}  // namespace platform::port_taps_detail
