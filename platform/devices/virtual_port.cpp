#include "platform/devices/virtual_port.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

using devmgr::Operation;

// How long one read of a listener waits for a writer to pull input: short enough that a read
// thread sees its stop request within a second. The daemon is asked to wait longer.
constexpr int kListenerWaitMs = 1000;
constexpr uint32_t kDaemonWaitMs = devmgr::kMaxReadWaitMs;
constexpr uint32_t kWriteAccess = 0x40000000u;

}  // namespace

std::unique_ptr<Device> VirtualPort::Open(std::string_view name, uint32_t access, uint32_t shareMode, bool* isVirtual) {
  *isVirtual = false;
  auto connection = std::make_unique<ManagerConnection>();
  uint32_t error = 0;
  std::string why;
  // A daemon is started only for boot drivers, so programs that use no driver start none.
  const bool connected = connection->Connect(&error, &why) ||
                         (error == kErrorFileNotFound && HasBootDrivers() && connection->ConnectStarting(&error, &why));
  if (!connected) return nullptr;
  devmgr::StatusReply reply;
  if (!connection->Call(Operation::kOpen, devmgr::OpenRequest{std::string(name), access, shareMode}, reply)) {
    *isVirtual = true;
    return nullptr;
  }
  *isVirtual = !reply.name.empty();  // the daemon names only its own devices
  if (reply.error != 0) {
    SetLastError(reply.error);
    return nullptr;
  }
  return std::unique_ptr<Device>(new VirtualPort(std::move(connection), (access & kWriteAccess) == 0));
}

VirtualPort::~VirtualPort() {
  devmgr::StatusReply ignored;
  Exchange(Operation::kClose, devmgr::EmptyMessage{}, ignored);
}

// A request while a read is still asked: the daemon answers the read first (a standing read
// perhaps several times) and ends it, then the request.
template <class Request, class Reply>
bool VirtualPort::Exchange(Operation operation, const Request& request, Reply& reply) {
  if (!connection_->Send(operation, request)) return false;
  for (;;) {
    devmgr::Frame frame;
    if (!connection_->ReceiveFrame(frame)) return false;
    if (!readAsked_ || frame.operation != static_cast<uint32_t>(Operation::kRead)) {
      readAsked_ = false;
      return ManagerConnection::DecodeReply(frame, operation, reply);
    }
    if (!KeepReadAnswer(frame)) return false;
  }
}

bool VirtualPort::TakeReadAnswer() {
  devmgr::Frame frame;
  return connection_->ReceiveFrame(frame) && KeepReadAnswer(frame);
}

bool VirtualPort::KeepReadAnswer(const devmgr::Frame& frame) {
  devmgr::TransferReply reply;
  if (!ManagerConnection::DecodeReply(frame, Operation::kRead, reply)) return false;
  if (!readStanding_) readAsked_ = false;
  // An answer that brings nothing to tell is not kept: the next read would return with nothing
  // at once instead of waiting as its caller asked.
  if (reply.count == 0 && reply.failed == 0 && reply.error != kErrorInvalidData) {
    lastReadError_ = reply.error;
  } else {
    answers_.push_back(std::move(reply));
  }
  return true;
}

bool VirtualPort::Read(void* buffer, size_t capacity, size_t* count) {
  std::lock_guard lock(lock_);
  *count = 0;
  const auto asked = static_cast<uint32_t>(std::min<size_t>(capacity, devmgr::kMaxTransfer));
  if (listener_) return AskedRead(buffer, asked, count, kListenerWaitMs, {devmgr::kMaxTransfer, 0, 1});
  // A writer's read waits in the driver, as the port's time-outs say. The daemon asks the driver
  // again while nothing comes, when this handle's own time-outs say how long its caller waits.
  const int64_t firstByteMs = timeouts_ ? FirstByteWaitMs(*timeouts_, asked) : -1;
  if (firstByteMs > 0 && firstByteMs < kDaemonWaitMs) {
    return AskedRead(buffer, asked, count, static_cast<int>(firstByteMs), {asked, kDaemonWaitMs, 0});
  }
  return AskedRead(buffer, asked, count, -1, {asked, 0, 0});
}

// callerWaitMs -1: until the answer comes.
bool VirtualPort::AskedRead(void* buffer, uint32_t asked, size_t* count, int callerWaitMs,
                            const devmgr::ReadRequest& request) {
  if (answers_.empty()) {
    if (!readAsked_) {
      if (!connection_->Send(Operation::kRead, request)) return false;
      readAsked_ = true;
      readStanding_ = request.standing != 0;
    }
    if (connection_->WaitReply(callerWaitMs) && !TakeReadAnswer()) return false;
    if (answers_.empty()) {  // nothing yet, or an answer with nothing to tell
      SetLastError(lastReadError_);
      return true;
    }
  }
  return HandOut(buffer, asked, count);
}

bool VirtualPort::HandOut(void* buffer, uint32_t asked, size_t* count) {
  const devmgr::TransferReply& reply = answers_.front();
  // A loss is told once; a state (nothing open behind the port) holds until an answer says else.
  lastReadError_ = reply.error == kErrorInvalidData ? kErrorSuccess : reply.error;
  SetLastError(reply.error);
  const bool failed = reply.failed != 0;
  const size_t left = std::min<size_t>(reply.bytes.size(), reply.count) - frontTaken_;
  *count = std::min<size_t>(left, asked);
  if (*count > 0) std::memcpy(buffer, reply.bytes.data() + frontTaken_, *count);
  frontTaken_ += *count;
  if (*count == left) {
    answers_.pop_front();
    frontTaken_ = 0;
  }
  return !failed;
}

bool VirtualPort::Write(const void* data, size_t size, size_t* written) {
  std::lock_guard lock(lock_);
  *written = 0;
  const auto* bytes = static_cast<const uint8_t*>(data);
  do {
    const size_t chunk = std::min<size_t>(size - *written, devmgr::kMaxTransfer);
    devmgr::TransferReply reply;
    devmgr::WriteRequest request{{bytes + *written, bytes + *written + chunk}};
    if (!Exchange(Operation::kWrite, request, reply)) return false;
    SetLastError(reply.error);
    if (reply.failed != 0) return false;
    *written += std::min<size_t>(reply.count, chunk);
    if (reply.count < chunk) break;
  } while (*written < size);
  return true;
}

bool VirtualPort::IoControl(uint32_t code, const void* in, size_t inSize, void* out, size_t outSize, size_t* returned) {
  std::lock_guard lock(lock_);
  const auto* inBytes = static_cast<const uint8_t*>(in);
  devmgr::IoControlRequest request{code, {}, static_cast<uint32_t>(std::min<size_t>(outSize, devmgr::kMaxTransfer))};
  if (inBytes != nullptr) request.in.assign(inBytes, inBytes + std::min<size_t>(inSize, devmgr::kMaxTransfer));
  devmgr::IoControlReply reply;
  if (!Exchange(Operation::kIoControl, request, reply)) return false;
  if (code == kIoctlSerialSetTimeouts && reply.ok != 0 && in != nullptr && inSize >= sizeof(SerialTimeouts)) {
    timeouts_.emplace();
    std::memcpy(&*timeouts_, in, sizeof(SerialTimeouts));
  }
  if (out != nullptr && !reply.out.empty()) std::memcpy(out, reply.out.data(), std::min(reply.out.size(), outSize));
  if (returned != nullptr) *returned = std::min<size_t>(reply.returned, outSize);
  SetLastError(reply.error);
  return reply.ok != 0;
}

}  // namespace platform
