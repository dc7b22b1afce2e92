#include "platform/devices/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <optional>

#include "platform/devices/custom_rate.h"
#include "platform/devices/serial_termios.h"
#include "platform/errors/errors.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;
using serial_detail::ApplySettings;
using serial_detail::HasRateCode;
using serial_detail::kMaxCustomRate;
using serial_detail::MakeRaw;
using serial_detail::ReadRate;
using serial_detail::SetCustomRate;
using serial_detail::SettingsFromTermios;

constexpr uint32_t kMaxDword = 0xFFFFFFFFu;
constexpr uint32_t kPurgeAll = kPurgeTxAbort | kPurgeRxAbort | kPurgeTxClear | kPurgeRxClear;
constexpr int64_t kNoLimit = -1;
// Bounds the byte count in a total time-out so that the product stays far inside 64 bits.
constexpr size_t kMaxTimedBytes = size_t{1} << 30;

bool Fail(uint32_t error) {
  SetLastError(error);
  return false;
}

// A terminal that reports an I/O error has lost its device (a USB adapter pulled out, the master
// side of a pseudo-terminal closed).
uint32_t SerialErrorFromErrno(int errnoValue) {
  return errnoValue == EIO ? kErrorDevNotExist : ErrorFromErrno(errnoValue);
}

template <typename Block>
bool CopyIn(const void* in, size_t inSize, Block& block) {
  if (in == nullptr || inSize < sizeof(Block)) return false;
  std::memcpy(&block, in, sizeof(Block));
  return true;
}

template <typename Block>
bool CopyOut(const Block& block, void* out, size_t outSize, size_t* returned) {
  if (out == nullptr || outSize < sizeof(Block)) return Fail(kErrorInvalidParameter);
  std::memcpy(out, &block, sizeof(Block));
  if (returned != nullptr) *returned = sizeof(Block);
  return true;
}

bool Finish(uint32_t error) {
  SetLastError(error);
  return error == kErrorSuccess;
}

int64_t TotalMs(uint32_t multiplier, uint32_t constant, size_t bytes) {
  if (multiplier == 0 && constant == 0) return kNoLimit;
  return static_cast<int64_t>(multiplier) * static_cast<int64_t>(std::min(bytes, kMaxTimedBytes)) + constant;
}

bool ReadsWhatIsThereAfterFirstByte(const SerialTimeouts& t) {
  return t.readInterval == kMaxDword && t.readTotalMultiplier == kMaxDword && t.readTotalConstant != 0 &&
         t.readTotalConstant != kMaxDword;
}

}  // namespace

int64_t FirstByteWaitMs(const SerialTimeouts& t, size_t bytes) {
  if (t.readInterval == kMaxDword && t.readTotalMultiplier == 0 && t.readTotalConstant == 0) return 0;
  if (ReadsWhatIsThereAfterFirstByte(t)) return t.readTotalConstant;
  return TotalMs(t.readTotalMultiplier, t.readTotalConstant, bytes);
}

namespace {

// Milliseconds left until `deadline`, or kNoLimit without one.
int64_t RemainingMs(const std::optional<Clock::time_point>& deadline) {
  if (!deadline) return kNoLimit;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
  return std::max<int64_t>(left, 0);
}

std::optional<Clock::time_point> DeadlineAfter(int64_t ms) {
  if (ms < 0) return std::nullopt;
  return Clock::now() + std::chrono::milliseconds(ms);
}

// Waits for `events`; true when the wait ended by time-out. A hang-up, error or closed descriptor
// comes back as an error number in `error` (55 for a device that went away).
bool PollFor(int fd, short events, int64_t waitMs, uint32_t& error) {
  pollfd entry{fd, events, 0};
  const int timeout = waitMs < 0 ? -1 : static_cast<int>(std::min<int64_t>(waitMs, INT_MAX));
  const int ready = poll(&entry, 1, timeout);
  error = kErrorSuccess;
  if (ready < 0) {
    if (errno != EINTR) error = ErrorFromErrno(errno);
    return false;
  }
  if (ready == 0) return true;
  if (!(entry.revents & events) && (entry.revents & (POLLHUP | POLLERR | POLLNVAL))) error = kErrorDevNotExist;
  return false;
}

}  // namespace

std::unique_ptr<Device> SerialPort::Open(const std::string& path, uint32_t access) {
  const bool writer = access & kGenericWrite;
  const int fd = open(path.c_str(), (writer ? O_RDWR : O_RDONLY) | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    SetLastErrorFromErrno(errno);
    return nullptr;
  }
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) {
    SetLastErrorFromErrno(errno);
    close(fd);
    return nullptr;
  }
  int lines = 0;
  if (ioctl(fd, TIOCMGET, &lines) != 0) lines = -1;
  SerialSettings found = SettingsFromTermios(tio, lines);
  if (found.baudRate == 0) found.baudRate = ReadRate(fd);  // a rate without a speed code
  std::unique_ptr<SerialPort> port(new SerialPort(fd, access, found));
  // A reader changes nothing: it may be listening to a port that another program has set up.
  const uint32_t error = writer ? port->MakeRawForWriter() : kErrorSuccess;
  SetLastError(error);
  if (error) return nullptr;
  return port;
}

SerialPort::SerialPort(int fd, uint32_t access, const SerialSettings& settings)
    : fd_(fd), access_(access), settings_(settings) {}

SerialPort::~SerialPort() {
  // The terminal goes back to exactly what this opener found, whatever it changed meanwhile. A
  // device that went away takes no settings: nothing is lost then.
  if (found_.IsTaken()) found_.PutBack(fd_);
  close(fd_);
}

uint32_t SerialPort::Claim() {
  if (found_.IsTaken()) return kErrorSuccess;
  if (flock(fd_, LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? kErrorSharingViolation : ErrorFromErrno(errno);
  if (found_.Take(fd_)) return kErrorSuccess;
  const uint32_t error = SerialErrorFromErrno(errno);
  flock(fd_, LOCK_UN);
  return error;
}

uint32_t SerialPort::MakeRawForWriter() {
  if (const uint32_t error = Claim()) return error;
  termios tio{};
  if (tcgetattr(fd_, &tio) != 0) return SerialErrorFromErrno(errno);
  MakeRaw(tio);
  return tcsetattr(fd_, TCSANOW, &tio) == 0 ? kErrorSuccess : SerialErrorFromErrno(errno);
}

bool SerialPort::Read(void* buffer, size_t capacity, size_t* count) {
  if (count != nullptr) *count = 0;
  if (!(access_ & kGenericRead)) return Fail(kErrorAccessDenied);
  if (buffer == nullptr || count == nullptr) return Fail(kErrorInvalidParameter);
  SerialTimeouts t;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    t = timeouts_;
  }
  const int64_t interval = ReadsWhatIsThereAfterFirstByte(t) ? 0
                           : t.readInterval == 0             ? kNoLimit
                                                             : static_cast<int64_t>(t.readInterval);
  return ReadTimed(static_cast<uint8_t*>(buffer), capacity, count, FirstByteWaitMs(t, capacity), interval);
}

bool SerialPort::ReadTimed(uint8_t* buffer, size_t capacity, size_t* count, int64_t totalMs, int64_t intervalMs) {
  const std::optional<Clock::time_point> deadline = DeadlineAfter(totalMs);
  size_t got = 0;
  uint32_t error = kErrorSuccess;
  while (got < capacity && !error) {
    const ssize_t n = read(fd_, buffer + got, capacity - got);
    if (n > 0) {
      got += static_cast<size_t>(n);
      continue;
    }
    if (n == 0) {
      error = kErrorDevNotExist;  // end of file on a terminal: hung up
      break;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN) {
      error = SerialErrorFromErrno(errno);
      break;
    }
    const int64_t remaining = RemainingMs(deadline);
    if (remaining == 0) break;
    const bool intervalWait = got > 0 && intervalMs >= 0 && (remaining < 0 || intervalMs <= remaining);
    if (PollFor(fd_, POLLIN, intervalWait ? intervalMs : remaining, error) && intervalWait) break;
  }
  *count = got;
  // Bytes that came before a hang-up are delivered; the next read reports it.
  return Finish(got > 0 ? kErrorSuccess : error);
}

bool SerialPort::Write(const void* data, size_t size, size_t* written) {
  if (written != nullptr) *written = 0;
  if (!(access_ & kGenericWrite)) return Fail(kErrorAccessDenied);
  if ((data == nullptr && size > 0) || written == nullptr) return Fail(kErrorInvalidParameter);
  SerialTimeouts t;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    t = timeouts_;
  }
  const std::optional<Clock::time_point> deadline =
      DeadlineAfter(TotalMs(t.writeTotalMultiplier, t.writeTotalConstant, size));
  const auto* bytes = static_cast<const uint8_t*>(data);
  size_t sent = 0;
  uint32_t error = kErrorSuccess;
  while (sent < size && !error) {
    const ssize_t n = write(fd_, bytes + sent, size - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
      error = SerialErrorFromErrno(errno);
      break;
    }
    const int64_t remaining = RemainingMs(deadline);
    if (remaining == 0) break;
    PollFor(fd_, POLLOUT, remaining, error);
  }
  *written = sent;
  // A write time-out is no failure: the caller sees fewer bytes written than asked.
  return Finish(error);
}

bool SerialPort::IoControl(uint32_t code, const void* in, size_t inSize, void* out, size_t outSize, size_t* returned) {
  if (returned != nullptr) *returned = 0;
  // One request at a time; a read in progress holds no lock and goes on meanwhile.
  std::lock_guard<std::mutex> lock(mutex_);
  SerialSettings settings;
  uint32_t value = 0;
  switch (code) {
    case kIoctlSerialGetDcb: return Finish(kErrorSuccess) && CopyOut(settings_, out, outSize, returned);
    case kIoctlSerialSetDcb:
      return Finish(CopyIn(in, inSize, settings) ? SetSettings(settings) : kErrorInvalidParameter);
    case kIoctlSerialGetTimeouts: return Finish(kErrorSuccess) && CopyOut(timeouts_, out, outSize, returned);
    case kIoctlSerialSetTimeouts: return Finish(CopyIn(in, inSize, timeouts_) ? kErrorSuccess : kErrorInvalidParameter);
    case kIoctlSerialPurge: return Finish(CopyIn(in, inSize, value) ? Purge(value) : kErrorInvalidParameter);
    case kIoctlSerialSetDtr: return Finish(ChangeModemLine(TIOCMBIS, TIOCM_DTR));
    case kIoctlSerialClrDtr: return Finish(ChangeModemLine(TIOCMBIC, TIOCM_DTR));
    case kIoctlSerialSetRts: return Finish(ChangeModemLine(TIOCMBIS, TIOCM_RTS));
    case kIoctlSerialClrRts: return Finish(ChangeModemLine(TIOCMBIC, TIOCM_RTS));
    case kIoctlSerialGetModemStatus: return Finish(ModemStatus(value)) && CopyOut(value, out, outSize, returned);
    default: return Fail(kErrorNotSupported);
  }
}

uint32_t SerialPort::SetSettings(const SerialSettings& settings) {
  if (const uint32_t error = Claim()) return error;
  serial_detail::TerminalState before;
  termios wanted{};
  if (!before.Take(fd_) || tcgetattr(fd_, &wanted) != 0) return SerialErrorFromErrno(errno);
  // A rate without a speed code (14400 is one the warner offers) goes in through the kernel's
  // arbitrary-rate interface, after the rest of the block is in place.
  const bool customRate =
      !HasRateCode(settings.baudRate) && settings.baudRate > 0 && settings.baudRate <= kMaxCustomRate;
  SerialSettings standard = settings;
  if (customRate) standard.baudRate = 38400;
  if (const uint32_t error = ApplySettings(standard, wanted)) return error;
  if (tcsetattr(fd_, TCSANOW, &wanted) != 0) return SerialErrorFromErrno(errno);
  // tcsetattr succeeds when any part was taken; a device that cannot do the rate must not look
  // configured. (The frame is not compared: a pseudo-terminal always keeps 8 bits, no parity.)
  termios taken{};
  if (tcgetattr(fd_, &taken) != 0) return SerialErrorFromErrno(errno);
  const bool rateTaken =
      customRate ? SetCustomRate(fd_, settings.baudRate) : cfgetospeed(&taken) == cfgetospeed(&wanted);
  if (!rateTaken) {
    before.PutBack(fd_);
    return kErrorInvalidParameter;
  }
  const uint32_t dtrControl = (settings.flags & SerialSettings::kDtrControlMask) >> 4;
  const uint32_t rtsControl = (settings.flags & SerialSettings::kRtsControlMask) >> 12;
  uint32_t error = ChangeModemLine(dtrControl == 0 ? TIOCMBIC : TIOCMBIS, TIOCM_DTR);
  // RTS hand-shake is the kernel's (CRTSCTS); toggle has no Linux form and keeps the line up.
  if (!error && rtsControl != 2) error = ChangeModemLine(rtsControl == 0 ? TIOCMBIC : TIOCMBIS, TIOCM_RTS);
  if (error) return error;
  settings_ = settings;
  return kErrorSuccess;
}

uint32_t SerialPort::Purge(uint32_t what) {
  if (what & ~kPurgeAll) return kErrorInvalidParameter;
  const bool input = what & (kPurgeRxAbort | kPurgeRxClear);
  const bool output = what & (kPurgeTxAbort | kPurgeTxClear);
  if (!input && !output) return kErrorSuccess;
  const int queue = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
  return tcflush(fd_, queue) == 0 ? kErrorSuccess : SerialErrorFromErrno(errno);
}

// A pseudo-terminal has no modem lines; asking it to change them is no error.
uint32_t SerialPort::ChangeModemLine(unsigned long request, int line) {
  if (ioctl(fd_, request, &line) == 0 || errno == ENOTTY || errno == EINVAL) return kErrorSuccess;
  return SerialErrorFromErrno(errno);
}

uint32_t SerialPort::ModemStatus(uint32_t& status) {
  int lines = 0;
  status = 0;
  if (ioctl(fd_, TIOCMGET, &lines) != 0) {
    return errno == ENOTTY || errno == EINVAL ? kErrorSuccess : SerialErrorFromErrno(errno);
  }
  if (lines & TIOCM_CTS) status |= kModemCtsOn;
  if (lines & TIOCM_DSR) status |= kModemDsrOn;
  if (lines & TIOCM_RI) status |= kModemRingOn;
  if (lines & TIOCM_CD) status |= kModemRlsdOn;
  return kErrorSuccess;
}

}  // namespace platform
