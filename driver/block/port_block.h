#pragma once
// The memory through which one input device reaches every open handle of the virtual port: a
// 32768-byte block holding a small header and a byte ring. The write side (CServer) appends what
// the input delivered; every read side (CClient, one per open handle) keeps its own position and
// so receives each byte once, at its own pace. The block's named mutex guards header and ring.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "driver/registry/input_device.h"
#include "platform/sync/named_mutex.h"

namespace driver {

inline constexpr size_t kBlockSize = 32768;
inline constexpr size_t kBlockHeaderSize = 8;
inline constexpr uint32_t kRingLength = kBlockSize - kBlockHeaderSize;  // 32760
inline constexpr uint32_t kMutexTimeoutMs = 100;

// Header byte 2.
enum class DeviceState : uint8_t { kClosed = 0, kReady = 1, kInputOpen = 2 };

// Results of the block operations; SystemError() gives the error an entry point reports for each.
enum BlockResult : int {
  kBlockOk = 0,
  kBlockWrongSide = -4,  // also a length out of range
  kBlockMissing = -3,
  kBlockClosed = -2,
  kBlockNotReady = -1,
  kBlockOvertaken = 1,
};
uint32_t SystemError(int blockResult);

// The block itself; the driver instance owns it, the sides attach to it.
struct PortBlock {
  std::array<uint8_t, kBlockSize> bytes{};
};

// Total written counts modulo the largest multiple of the ring length that fits in 32 bits, so
// that total modulo ring length is always the write position, also across the wrap (2^32 itself
// is no multiple of 32760). Every distance between two totals is taken modulo the same number.
uint32_t TotalWrap(uint32_t ringLength);

// The mutex of the block of the instance `registryName`.
std::string BlockMutexName(std::string_view registryName);

// One read side: an open handle's position in the ring.
class CClient {
 public:
  // Attaches to the block; a new client starts with the bytes written after it attached. `tag`
  // names the client in the traces (the slot number). Returns a system error. Like Resync, it
  // waits for the mutex as long as it takes: only a read may give up after 100 ms.
  uint32_t Create(PortBlock& block, std::string_view registryName, uint32_t tag, TraceSink& trace);
  // Up to `count` bytes into `buffer`; *delivered gets their number (-1 when the result is 8255).
  // Returns the block result. A mutex not obtained in time gives kBlockNotReady: nothing read.
  int Read(uint8_t* buffer, int32_t count, int32_t* delivered);
  // Drops whatever is unread.
  void Resync();
  void Destroy(TraceSink& trace);
  bool Attached() const { return block_ != nullptr; }

 private:
  uint32_t Distance(uint32_t total) const;

  std::optional<platform::NamedMutex> mutex_;
  uint8_t* block_ = nullptr;
  uint32_t tag_ = 0;
  uint32_t ringLength_ = 0;
  uint32_t wrap_ = 0;
  uint32_t ownCount_ = 0;  // the total up to which this client has consumed the ring
};

// The write side, with the driver's own read side beside it.
class CServer {
 public:
  // Creates the mutex and initialises the block: cleared, header written, state kReady. Returns a
  // system error; a server that has its block already succeeds at once.
  uint32_t CreateServerWrite(PortBlock& block, std::string_view registryName, TraceSink& trace);
  // Appends `length` bytes. Waits for the mutex as long as it takes, 100 ms at a time, so that no
  // input is lost. Returns a system error (8255 for a length of the ring's size or more).
  uint32_t WriteServer(const uint8_t* bytes, int32_t length);
  // False when the server has no block.
  bool SetDeviceState(DeviceState state);
  // Marks the block closed, so that every client's read fails, and gives up the mutex.
  void DestroyServerWrite(TraceSink& trace);

  // The driver's own read side, attached from start to unload.
  uint32_t CreateServerRead(PortBlock& block, std::string_view registryName, TraceSink& trace);
  void DestroyServerRead(TraceSink& trace);

  // A test seam: continues the count of bytes written from `total` (taken modulo the wrap).
  void SetTotalWritten(uint32_t total);

 private:
  void Lock();

  std::optional<platform::NamedMutex> mutex_;
  uint8_t* block_ = nullptr;
  uint32_t writeIndex_ = 0;
  CClient readSide_;
  TraceSink* trace_ = nullptr;
};

}  // namespace driver
