#pragma once
// The byte ring between a read thread and the decoder that pulls from it. The thread's writes
// never wait for the reader: a reader that falls behind loses the oldest bytes and learns it once
// (13). Beside the bytes the thread can leave one system error for the reader (the pending status).

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/sync/critical_section.h"

namespace serial {

class SerialRing {
 public:
  static constexpr size_t kSize = 16384;

  // Not set up until Setup(): reads give 8255.
  SerialRing() = default;
  SerialRing(const SerialRing&) = delete;
  SerialRing& operator=(const SerialRing&) = delete;

  // Allocates the buffer (kSize bytes) and empties the ring; false with the last error set when
  // the memory cannot be had.
  bool Setup();
  // Empties the ring and releases the buffer; reads give 8255 again.
  void Destroy();

  // Read thread side: appends every byte, overwriting unread ones when the reader is behind.
  void Write(const uint8_t* bytes, size_t count);
  // Leaves an error for the reader (0 clears it).
  void SetPendingStatus(uint32_t status);

  // Decoder side: 8255 when not set up; 13 once after an overrun (the unread bytes are gone); a
  // pending status once, without bytes; otherwise 0 with up to `capacity` bytes in *count.
  uint32_t Read(uint8_t* buffer, size_t capacity, size_t* count);

 private:
  platform::CriticalSection lock_;
  std::unique_ptr<uint8_t[]> buffer_;
  size_t size_ = 0;
  uint32_t pendingStatus_ = 0;
  size_t unread_ = 0;  // above size_ after an overrun
  size_t writeIndex_ = 0;
  size_t readIndex_ = 0;
};

}  // namespace serial
