#include "platform/devices/file_device.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/errors/errors.h"

namespace platform {

namespace {
bool Fail(uint32_t error) {
  SetLastError(error);
  return false;
}
}  // namespace

std::unique_ptr<Device> FileDevice::Open(const std::string& linuxPath, uint32_t access) {
  const int mode = (access & kGenericWrite) ? O_RDWR : O_RDONLY;
  const int fd = open(linuxPath.c_str(), mode | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    SetLastErrorFromErrno(errno);
    return nullptr;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(fd);
    SetLastError(kErrorAccessDenied);
    return nullptr;
  }
  SetLastError(kErrorSuccess);
  return std::unique_ptr<Device>(new FileDevice(fd, access));
}

FileDevice::~FileDevice() { close(fd_); }

bool FileDevice::Read(void* buffer, size_t capacity, size_t* count) {
  if (count != nullptr) *count = 0;
  if (!(access_ & kGenericRead)) return Fail(kErrorAccessDenied);
  if (buffer == nullptr || count == nullptr) return Fail(kErrorInvalidParameter);
  ssize_t n = 0;
  do {
    n = read(fd_, buffer, capacity);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return Fail(ErrorFromErrno(errno));
  *count = static_cast<size_t>(n);
  SetLastError(kErrorSuccess);
  return true;
}

bool FileDevice::Write(const void* data, size_t size, size_t* written) {
  if (written != nullptr) *written = 0;
  if (!(access_ & kGenericWrite)) return Fail(kErrorAccessDenied);
  if ((data == nullptr && size > 0) || written == nullptr) return Fail(kErrorInvalidParameter);
  const auto* bytes = static_cast<const uint8_t*>(data);
  while (*written < size) {
    const ssize_t n = write(fd_, bytes + *written, size - *written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail(n < 0 ? ErrorFromErrno(errno) : kErrorDiskFull);
    *written += static_cast<size_t>(n);
  }
  SetLastError(kErrorSuccess);
  return true;
}

bool FileDevice::IoControl(uint32_t, const void*, size_t, void*, size_t, size_t* returned) {
  if (returned != nullptr) *returned = 0;
  return Fail(kErrorNotSupported);
}

}  // namespace platform
