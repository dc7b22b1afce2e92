#pragma once
// A regular file (or any path that is not a device name) behind the Device interface.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/devices/device.h"

namespace platform {

class FileDevice final : public Device {
 public:
  // Opens an existing file: read-only, or read-write when the access includes kGenericWrite. A
  // folder is refused with 5 (access denied).
  static std::unique_ptr<Device> Open(const std::string& linuxPath, uint32_t access);
  ~FileDevice() override;
  FileDevice(const FileDevice&) = delete;
  FileDevice& operator=(const FileDevice&) = delete;

  bool Read(void* buffer, size_t capacity, size_t* count) override;
  bool Write(const void* data, size_t size, size_t* written) override;
  // A file knows no control requests: always false with 50.
  bool IoControl(uint32_t code, const void* in, size_t inSize, void* out, size_t outSize, size_t* returned) override;

 private:
  FileDevice(int fd, uint32_t access) : fd_(fd), access_(access) {}

  const int fd_;
  const uint32_t access_;
};

}  // namespace platform
