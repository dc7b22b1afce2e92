// Any bytes on a device manager connection: the handler must answer or hang up, never crash,
// over-read or allocate what a length field claims.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "platform/devmgr_host/connection.h"
#include "platform/devmgr_protocol/protocol.h"
#include "platform/stream_driver/stream_device.h"

namespace {

using platform::devmgr::DeviceEntry;
using platform::devmgr::ListReply;
using platform::devmgr::StatusReply;

class InputChannel : public platform::devmgr::Channel {
 public:
  InputChannel(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t Receive(uint8_t* buffer, size_t size) override {
    const size_t n = std::min(size, size_ - at_);
    if (n > 0) std::memcpy(buffer, data_ + at_, n);
    at_ += n;
    return n;
  }
  bool Send(const uint8_t*, size_t) override { return true; }
  bool SendAtOnce(const uint8_t*, size_t) override { return true; }
  bool WaitReadable(int) override { return true; }  // the next bytes, or the end, are always there
  Ready Wait(bool, int) override { return Ready::kReceive; }
  void Nudge() override {}
  bool HasRoom() override { return true; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// A loopback device that never blocks.
class FakeDevice : public platform::StreamDevice {
 public:
  uint32_t Open(uint32_t access, uint32_t, uint32_t* error) override {
    *error = access == 0 ? 5 : 0;
    return access == 0 ? 0 : 1;
  }
  void Close(uint32_t) override {}
  int64_t Read(uint32_t, void* buffer, uint32_t count, uint32_t* error) override {
    const size_t n = std::min<size_t>(count, bytes_.size());
    if (n > 0) std::memcpy(buffer, bytes_.data(), n);
    bytes_.erase(0, n);
    *error = n > 0 ? 0 : 21;
    return static_cast<int64_t>(n);
  }
  int64_t Write(uint32_t, const void* data, uint32_t size, uint32_t* error) override {
    if (bytes_.size() + size > 1 << 20) {
      *error = 8;
      return -1;
    }
    bytes_.append(static_cast<const char*>(data), size);
    *error = 0;
    return size;
  }
  bool IoControl(uint32_t, uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                 uint32_t* returned, uint32_t* error) override {
    *returned = std::min(inSize, outSize);
    if (*returned > 0) std::memcpy(out, in, *returned);
    *error = 0;
    return (code & 1) == 0;
  }
  uint64_t InputSequence() const override { return 0; }
  bool WaitForInput(uint64_t, uint32_t) override { return false; }
  void AddInputWaiter(platform::InputWaiter*) override {}  // no input ever arrives on its own
  void RemoveInputWaiter(platform::InputWaiter*) override {}

 private:
  std::string bytes_;
};

class FakeHost : public platform::ConnectionHost {
 public:
  StatusReply Activate(const std::string& keyPath) override { return {keyPath.empty() ? 2u : 0u, "COM6:", {}}; }
  StatusReply Deactivate(const std::string& name) override { return {name == "COM6:" ? 0u : 2u, {}, {}}; }
  ListReply List() override { return {0, {DeviceEntry{"COM6:", "Drivers\\Fake", {"link"}}}}; }
  void RequestStop() override {}
  std::shared_ptr<platform::StreamDevice> Find(const std::string& name) override {
    return name == "COM6:" ? device_ : nullptr;
  }

 private:
  std::shared_ptr<FakeDevice> device_ = std::make_shared<FakeDevice>();
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InputChannel channel(data, size);
  FakeHost host;
  platform::ServeConnection(channel, host);
  return 0;
}
