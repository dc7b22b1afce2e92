#pragma once
// The device manager's wire format: one Unix-socket connection carries frames (operation, payload
// length, payload; little-endian) of requests and the replies to them. A connection either
// manages the daemon (activate, deactivate, list, stop) or, after an open, is one client of one
// device. Decoding trusts no length: every field is checked against what the payload holds, and a
// frame larger than kMaxPayload is refused before anything is allocated for it.

#include <sys/un.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace platform::devmgr {

enum class Operation : uint32_t {
  kActivate = 1,
  kDeactivate = 2,
  kList = 3,
  kStop = 4,
  kOpen = 5,
  kRead = 6,
  kWrite = 7,
  kIoControl = 8,
  kClose = 9,
};

inline constexpr size_t kFrameHeaderSize = 8;
inline constexpr uint32_t kMaxPayload = 256 * 1024;
// Largest read, write and control-request buffer one request moves; larger requests are cut.
inline constexpr uint32_t kMaxTransfer = 64 * 1024;
// Longest a read stays asked in the daemon while nothing comes. The client takes control back
// sooner; each expiry costs an idle port an answer and a new request.
inline constexpr uint32_t kMaxReadWaitMs = 30000;

// --- Messages. Each lists its fields once, for both directions.

struct KeyRequest {  // activate
  std::string keyPath;
  template <class Self, class Io>
  static void Fields(Self& s, Io& io) {
    io(s.keyPath);
  }
};

struct NameRequest {  // deactivate
  std::string name;
  template <class Self, class Io>
  static void Fields(Self& s, Io& io) {
    io(s.name);
  }
};

struct EmptyMessage {  // list, stop, close
  template <class Self, class Io>
  static void Fields(Self&, Io&) {}
};

// Reply of activate (name and handle set), deactivate, stop, open and close: an error number and a
// text that says more than the number when there is more to say.
struct StatusReply {
  uint32_t error = 0;
  std::string name;
  std::string message;
  uint32_t handle = 0;  // the Hnd of the device's active key
  template <class Self, class Io>
  static void Fields(Self& s, Io& io) {
    io(s.error, s.name, s.message, s.handle);
  }
};

struct DeviceEntry {
  std::string name;  // "COM6:"
  std::string key;   // the driver key below HKLM
  std::vector<std::string> links;
  template <class Self, class Io>
  static void Fields(Self& s, Io& io) {
    io(s.name, s.key, s.links);
  }
};

struct ListReply {
  uint32_t error = 0;
  std::vector<DeviceEntry> devices;
  template <class Self, class Io>
  static void Fields(Self& s, Io& io) {
    io(s.error, s.devices);
  }
};

struct OpenRequest {
  std::string name;
  uint32_t access = 0;
  uint32_t shareMode = 0;
  template <class Self, class Io>
  static void Fields(Self& s, Io& io) {
    io(s.name, s.access, s.shareMode);
  }
};

// A listener's standing read (standing 1) is answered each time input comes, without a request
// per answer, until the client sends anything else; waitMs does not apply to it.
struct ReadRequest {
  uint32_t count = 0;
  uint32_t waitMs = 0;
  uint32_t standing = 0;
  template <class Self, class Io>
  static void Fields(Self& s, Io& io) {
    io(s.count, s.waitMs, s.standing);
  }
};

// Reply of read (bytes) and write (count); failed is 1 when the driver returned -1.
struct TransferReply {
  uint32_t error = 0;
  uint32_t failed = 0;
  uint32_t count = 0;
  std::vector<uint8_t> bytes;
  template <class Self, class Io>
  static void Fields(Self& s, Io& io) {
    io(s.error, s.failed, s.count, s.bytes);
  }
};

struct WriteRequest {
  std::vector<uint8_t> bytes;
  template <class Self, class Io>
  static void Fields(Self& s, Io& io) {
    io(s.bytes);
  }
};

struct IoControlRequest {
  uint32_t code = 0;
  std::vector<uint8_t> in;
  uint32_t outSize = 0;
  template <class Self, class Io>
  static void Fields(Self& s, Io& io) {
    io(s.code, s.in, s.outSize);
  }
};

struct IoControlReply {
  uint32_t error = 0;
  uint32_t ok = 0;
  uint32_t returned = 0;
  std::vector<uint8_t> out;
  template <class Self, class Io>
  static void Fields(Self& s, Io& io) {
    io(s.error, s.ok, s.returned, s.out);
  }
};

// --- Payload coding.

class PayloadWriter {
 public:
  template <class... Fields>
  void operator()(const Fields&... fields) {
    (Put(fields), ...);
  }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  void Put(uint32_t value);
  void Put(const std::string& text);
  void Put(const std::vector<uint8_t>& blob);
  template <class T>
  void Put(const std::vector<T>& items) {
    Put(static_cast<uint32_t>(items.size()));
    for (const T& item : items) T::Fields(item, *this);
  }
  void Put(const std::vector<std::string>& texts);

  std::vector<uint8_t> bytes_;
};

class PayloadReader {
 public:
  explicit PayloadReader(std::span<const uint8_t> payload) : rest_(payload) {}

  template <class... Fields>
  void operator()(Fields&... fields) {
    (Get(fields), ...);
  }
  // True when every field was there and nothing is left over; else *error says what was wrong.
  bool Finish(std::string* error);

 private:
  void Get(uint32_t& value);
  void Get(std::string& text);
  void Get(std::vector<uint8_t>& blob);
  void Get(std::vector<std::string>& texts);
  template <class T>
  void Get(std::vector<T>& items) {
    uint32_t count = 0;
    Get(count);
    // No reserve: a lying count ends at the payload's end, not in a huge allocation.
    for (uint32_t i = 0; i < count && error_.empty(); ++i) T::Fields(items.emplace_back(), *this);
  }
  bool Take(size_t size, const uint8_t** at);

  std::span<const uint8_t> rest_;
  std::string error_;
};

template <class Message>
std::vector<uint8_t> Encode(const Message& message) {
  PayloadWriter writer;
  Message::Fields(message, writer);
  return writer.Take();
}

template <class Message>
bool Decode(std::span<const uint8_t> payload, Message& message, std::string* error) {
  PayloadReader reader(payload);
  Message::Fields(message, reader);
  return reader.Finish(error);
}

// --- Frames on a byte stream.

// Where frames travel: a socket in the daemon and the client, memory in the fuzz target.
class Channel {
 public:
  virtual ~Channel() = default;
  // Fills all of `buffer` unless the stream ends or fails first; returns how much it got.
  virtual size_t Receive(uint8_t* buffer, size_t size) = 0;
  // False when the peer is gone.
  virtual bool Send(const uint8_t* data, size_t size) = 0;
  // Sends all or hangs up, without waiting: for a thread that must not be held up by one peer.
  // Its callers ask HasRoom first, so a hang-up means a peer that is gone or broke its stream.
  virtual bool SendAtOnce(const uint8_t* data, size_t size) = 0;
  // True when something can be received now (a frame, or the end); false after timeoutMs.
  virtual bool WaitReadable(int timeoutMs) = 0;

  // For a thread that waits for requests while another sends answers on the same channel: until
  // something can be received, until a frame of the largest size can be sent without waiting
  // (only when wantRoom), until Nudge() from another thread, or timeoutMs (-1: no limit).
  enum class Ready { kReceive, kRoom, kNudged, kTimeout };
  virtual Ready Wait(bool wantRoom, int timeoutMs) = 0;
  virtual void Nudge() = 0;
  // A frame of the largest size can be sent now without waiting.
  virtual bool HasRoom() = 0;
};

// A connected socket; never raises SIGPIPE.
class SocketChannel : public Channel {
 public:
  explicit SocketChannel(int fd);
  ~SocketChannel() override;
  SocketChannel(const SocketChannel&) = delete;
  SocketChannel& operator=(const SocketChannel&) = delete;
  size_t Receive(uint8_t* buffer, size_t size) override;
  bool Send(const uint8_t* data, size_t size) override;
  bool SendAtOnce(const uint8_t* data, size_t size) override;
  bool WaitReadable(int timeoutMs) override;
  Ready Wait(bool wantRoom, int timeoutMs) override;
  void Nudge() override;
  bool HasRoom() override;

 private:
  int NudgeFd();

  int fd_;
  std::atomic<int> nudge_{-1};  // an event counter, made when first needed
};

struct Frame {
  uint32_t operation = 0;
  std::vector<uint8_t> payload;
};

enum class ReceiveStatus { kFrame, kClosed, kBroken };

bool SendFrame(Channel& channel, Operation operation, const std::vector<uint8_t>& payload, bool atOnce = false);

template <class Message>
bool SendMessage(Channel& channel, Operation operation, const Message& message) {
  return SendFrame(channel, operation, Encode(message));
}

// SendMessage through Channel::SendAtOnce.
template <class Message>
bool SendMessageAtOnce(Channel& channel, Operation operation, const Message& message) {
  return SendFrame(channel, operation, Encode(message), true);
}

// kClosed when the stream ends between frames; kBroken (with *error) for a stream that ends
// inside a frame or a header whose length exceeds kMaxPayload.
ReceiveStatus ReceiveFrame(Channel& channel, Frame& frame, std::string* error);

// --- Where the daemon listens.

// <system root>/run; the daemon's socket, lock file and driver copies live there.
std::string RunFolder();
// <system root>/run/devmgr.sock.
std::string SocketPath();
// The address of a socket file; false with *error when the path does not fit a Unix socket
// address (the system root is too deep).
bool SocketAddress(const std::string& path, sockaddr_un& address, std::string* error);

}  // namespace platform::devmgr
