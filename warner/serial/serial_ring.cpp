#include "warner/serial/serial_ring.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/errors/errors.h"

namespace serial {

bool SerialRing::Setup() {
  std::lock_guard guard(lock_);
  if (!buffer_) {
    buffer_.reset(new (std::nothrow) uint8_t[kSize]);
    if (!buffer_) {
      platform::SetLastError(platform::kErrorNotEnoughMemory);
      return false;
    }
  }
  size_ = kSize;
  pendingStatus_ = 0;
  unread_ = writeIndex_ = readIndex_ = 0;
  return true;
}

void SerialRing::Destroy() {
  std::lock_guard guard(lock_);
  buffer_.reset();
  size_ = 0;
  pendingStatus_ = 0;
  unread_ = writeIndex_ = readIndex_ = 0;
}

void SerialRing::Write(const uint8_t* bytes, size_t count) {
  std::lock_guard guard(lock_);
  if (!buffer_ || size_ == 0) return;
  while (count > 0) {
    if (writeIndex_ >= size_) writeIndex_ = 0;
    const size_t run = std::min(count, size_ - writeIndex_);
    std::memcpy(buffer_.get() + writeIndex_, bytes, run);
    writeIndex_ += run;
    bytes += run;
    count -= run;
    // Saturates far above the size: an overrun is an overrun, however large.
    unread_ = std::min(unread_ + run, 2 * size_);
  }
}

void SerialRing::SetPendingStatus(uint32_t status) {
  std::lock_guard guard(lock_);
  pendingStatus_ = status;
}

uint32_t SerialRing::Read(uint8_t* buffer, size_t capacity, size_t* count) {
  *count = 0;
  std::lock_guard guard(lock_);
  if (!buffer_ || size_ == 0) return platform::kErrorBufferNotSet;
  if (unread_ > size_) {
    unread_ = 0;
    readIndex_ = writeIndex_;
    return platform::kErrorInvalidData;
  }
  if (pendingStatus_ != 0) {
    const uint32_t status = pendingStatus_;
    pendingStatus_ = 0;
    return status;
  }
  while (*count < capacity && unread_ > 0) {
    if (readIndex_ >= size_) readIndex_ = 0;
    const size_t run = std::min({capacity - *count, unread_, size_ - readIndex_});
    std::memcpy(buffer + *count, buffer_.get() + readIndex_, run);
    readIndex_ += run;
    unread_ -= run;
    *count += run;
  }
  return platform::kErrorSuccess;
}

}  // namespace serial
