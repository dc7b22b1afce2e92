#include "platform/devices/virtual_port.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

using devmgr::Operation;

// How long one read of a listener waits in the daemon for a writer to pull input: short enough
// that a read thread sees its stop request within a second, long enough that eight idle
// listeners cost the daemon next to nothing (every answer is a few wake-ups there).
constexpr uint32_t kListenerWaitMs = 1000;

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
  return std::unique_ptr<Device>(new VirtualPort(std::move(connection)));
}

VirtualPort::~VirtualPort() {
  devmgr::StatusReply ignored;
  connection_->Call(Operation::kClose, devmgr::EmptyMessage{}, ignored);
}

bool VirtualPort::Read(void* buffer, size_t capacity, size_t* count) {
  std::lock_guard lock(lock_);
  *count = 0;
  const auto asked = static_cast<uint32_t>(std::min<size_t>(capacity, devmgr::kMaxTransfer));
  devmgr::TransferReply reply;
  if (!connection_->Call(Operation::kRead, devmgr::ReadRequest{asked, kListenerWaitMs}, reply)) return false;
  SetLastError(reply.error);
  if (reply.failed != 0) return false;
  *count = std::min<size_t>(reply.bytes.size(), asked);
  if (*count > 0) std::memcpy(buffer, reply.bytes.data(), *count);
  return true;
}

bool VirtualPort::Write(const void* data, size_t size, size_t* written) {
  std::lock_guard lock(lock_);
  *written = 0;
  const auto* bytes = static_cast<const uint8_t*>(data);
  do {
    const size_t chunk = std::min<size_t>(size - *written, devmgr::kMaxTransfer);
    devmgr::TransferReply reply;
    devmgr::WriteRequest request{{bytes + *written, bytes + *written + chunk}};
    if (!connection_->Call(Operation::kWrite, request, reply)) return false;
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
  if (!connection_->Call(Operation::kIoControl, request, reply)) return false;
  if (out != nullptr && !reply.out.empty()) std::memcpy(out, reply.out.data(), std::min(reply.out.size(), outSize));
  if (returned != nullptr) *returned = std::min<size_t>(reply.returned, outSize);
  SetLastError(reply.error);
  return reply.ok != 0;
}

}  // namespace platform
