#include "platform/devmgr_protocol/protocol.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/bytes/little_endian.h"
#include "platform/paths/paths.h"

namespace platform::devmgr {

void PayloadWriter::Put(uint32_t value) { AppendLe32(bytes_, value); }

void PayloadWriter::Put(const std::vector<uint8_t>& blob) {
  Put(static_cast<uint32_t>(blob.size()));
  bytes_.insert(bytes_.end(), blob.begin(), blob.end());
}

void PayloadWriter::Put(const std::string& text) {
  Put(static_cast<uint32_t>(text.size()));
  bytes_.insert(bytes_.end(), text.begin(), text.end());
}

void PayloadWriter::Put(const std::vector<std::string>& texts) {
  Put(static_cast<uint32_t>(texts.size()));
  for (const auto& text : texts) Put(text);
}

bool PayloadReader::Take(size_t size, const uint8_t** at) {
  if (!error_.empty()) return false;
  if (size > rest_.size()) {
    error_ = "a field of " + std::to_string(size) + " bytes where only " + std::to_string(rest_.size()) + " are left";
    return false;
  }
  *at = rest_.data();
  rest_ = rest_.subspan(size);
  return true;
}

void PayloadReader::Get(uint32_t& value) {
  const uint8_t* at = nullptr;
  if (Take(4, &at)) value = GetLe32(at);
}

void PayloadReader::Get(std::vector<uint8_t>& blob) {
  uint32_t size = 0;
  Get(size);
  const uint8_t* at = nullptr;
  if (Take(size, &at)) blob.assign(at, at + size);
}

void PayloadReader::Get(std::string& text) {
  uint32_t size = 0;
  Get(size);
  const uint8_t* at = nullptr;
  if (Take(size, &at)) text.assign(reinterpret_cast<const char*>(at), size);
}

void PayloadReader::Get(std::vector<std::string>& texts) {
  uint32_t count = 0;
  Get(count);
  for (uint32_t i = 0; i < count && error_.empty(); ++i) Get(texts.emplace_back());
}

bool PayloadReader::Finish(std::string* error) {
  if (error_.empty() && !rest_.empty()) error_ = std::to_string(rest_.size()) + " bytes left over after the last field";
  if (!error_.empty() && error != nullptr) *error = error_;
  return error_.empty();
}

SocketChannel::SocketChannel(int fd) : fd_(fd) {}

SocketChannel::~SocketChannel() {
  if (const int nudge = nudge_.load(); nudge >= 0) close(nudge);
}

int SocketChannel::NudgeFd() {
  int fd = nudge_.load();
  if (fd >= 0) return fd;
  const int made = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (made < 0 || nudge_.compare_exchange_strong(fd, made)) return made;
  close(made);  // the other thread was first
  return fd;
}

size_t SocketChannel::Receive(uint8_t* buffer, size_t size) {
  size_t got = 0;
  while (got < size) {
    const ssize_t n = recv(fd_, buffer + got, size - got, 0);
    if (n > 0) {
      got += static_cast<size_t>(n);
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  return got;
}

bool SocketChannel::Send(const uint8_t* data, size_t size) {
  size_t sent = 0;
  while (sent < size) {
    const ssize_t n = send(fd_, data + sent, size - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n == 0 || errno != EINTR) {
      return false;
    }
  }
  return true;
}

bool SocketChannel::SendAtOnce(const uint8_t* data, size_t size) {
  size_t sent = 0;
  while (sent < size) {
    const ssize_t n = send(fd_, data + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      // Half a frame cannot be taken back: the stream is no use to the peer any more.
      shutdown(fd_, SHUT_RDWR);
      return false;
    }
  }
  return true;
}

Channel::Ready SocketChannel::Wait(bool wantRoom, int timeoutMs) {
  const int nudge = NudgeFd();
  pollfd entries[2] = {{fd_, static_cast<short>(POLLIN | (wantRoom ? POLLOUT : 0)), 0}, {nudge, POLLIN, 0}};
  int ready = 0;
  while ((ready = poll(entries, nudge >= 0 ? 2 : 1, timeoutMs)) < 0 && errno == EINTR) {
  }
  if (ready == 0) return Ready::kTimeout;
  // An error shows as something to receive: the receive that follows finds it.
  if (ready < 0 || (entries[0].revents & ~POLLOUT) != 0) return Ready::kReceive;
  if ((entries[0].revents & POLLOUT) != 0) return Ready::kRoom;
  eventfd_t count = 0;
  eventfd_read(nudge, &count);
  return Ready::kNudged;
}

void SocketChannel::Nudge() {
  if (const int nudge = NudgeFd(); nudge >= 0) eventfd_write(nudge, 1);
}

// A stream socket is writable while a quarter of its send buffer at most is taken, which leaves
// room for a frame of the largest size at the default buffer size (about 208 KB).
bool SocketChannel::HasRoom() {
  pollfd entry{fd_, POLLOUT, 0};
  return poll(&entry, 1, 0) == 1 && entry.revents == POLLOUT;
}

bool SocketChannel::WaitReadable(int timeoutMs) {
  pollfd entry{fd_, POLLIN, 0};
  int ready = 0;
  while ((ready = poll(&entry, 1, timeoutMs)) < 0 && errno == EINTR) {
  }
  return ready != 0;  // an error shows as readable: the receive that follows finds it
}

bool SendFrame(Channel& channel, Operation operation, const std::vector<uint8_t>& payload, bool atOnce) {
  std::vector<uint8_t> frame;
  frame.reserve(kFrameHeaderSize + payload.size());
  AppendLe32(frame, static_cast<uint32_t>(operation));
  AppendLe32(frame, static_cast<uint32_t>(payload.size()));
  frame.insert(frame.end(), payload.begin(), payload.end());
  return atOnce ? channel.SendAtOnce(frame.data(), frame.size()) : channel.Send(frame.data(), frame.size());
}

ReceiveStatus ReceiveFrame(Channel& channel, Frame& frame, std::string* error) {
  uint8_t header[kFrameHeaderSize];
  const size_t got = channel.Receive(header, sizeof header);
  if (got == 0) return ReceiveStatus::kClosed;
  if (got < sizeof header) {
    *error = "the connection ended inside a frame header";
    return ReceiveStatus::kBroken;
  }
  frame.operation = GetLe32(header);
  const uint32_t length = GetLe32(header + 4);
  if (length > kMaxPayload) {
    *error = "a frame of " + std::to_string(length) + " bytes exceeds the limit of " + std::to_string(kMaxPayload);
    return ReceiveStatus::kBroken;
  }
  frame.payload.resize(length);
  if (channel.Receive(frame.payload.data(), length) < length) {
    *error = "the connection ended inside a frame";
    return ReceiveStatus::kBroken;
  }
  return ReceiveStatus::kFrame;
}

std::string RunFolder() { return JoinPath(SystemRoot(), "run"); }

std::string SocketPath() { return JoinPath(RunFolder(), "devmgr.sock"); }

bool SocketAddress(const std::string& path, sockaddr_un& address, std::string* error) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    *error = "the device manager's socket path is too long for a Unix socket (" + std::to_string(path.size()) +
             " bytes, at most " + std::to_string(sizeof address.sun_path - 1) + "): " + path +
             "; choose a shorter system root";
    return false;
  }
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

}  // namespace platform::devmgr
