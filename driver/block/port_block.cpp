#include "driver/block/port_block.h"

#include <algorithm>

#include "driver/block/trace_text.h"
#include "platform/bytes/little_endian.h"
#include "platform/errors/errors.h"

namespace driver {

namespace {

constexpr size_t kPagesOffset = 0;
constexpr size_t kVersionOffset = 1;
constexpr size_t kStateOffset = 2;
constexpr size_t kTotalOffset = 4;
constexpr size_t kPageSize = 4096;
constexpr uint8_t kLayoutVersion = 1;

uint32_t Total(const uint8_t* block) { return platform::GetLe32(block + kTotalOffset); }
DeviceState State(const uint8_t* block) { return static_cast<DeviceState>(block[kStateOffset]); }

}  // namespace

uint32_t SystemError(int blockResult) {
  switch (blockResult) {
    case kBlockOk: return platform::kErrorSuccess;
    case kBlockWrongSide: return platform::kErrorBufferNotSet;
    case kBlockMissing:
    case kBlockClosed: return platform::kErrorDevNotExist;
    case kBlockNotReady: return platform::kErrorNotReady;
    case kBlockOvertaken: return platform::kErrorInvalidData;
    default: return platform::kErrorHandleEof;
  }
}

uint32_t TotalWrap(uint32_t ringLength) { return static_cast<uint32_t>((uint64_t{1} << 32) / ringLength * ringLength); }

std::string BlockMutexName(std::string_view registryName) { return std::string(registryName) + "MutexName"; }

// ---- read side

uint32_t CClient::Create(PortBlock& block, std::string_view registryName, uint32_t tag, TraceSink& trace) {
  TraceText(trace, "Create CClient+ hOC 0x%x\n", tag);
  if (block_ != nullptr) {
    TraceText(trace, "Create CClient- hOC 0x%x, Map File already open\n", tag);
    return platform::kErrorSuccess;
  }
  mutex_ = platform::NamedMutex::Open(BlockMutexName(registryName));
  if (!mutex_) {
    TraceText(trace, "Create CClient: hOC 0x%x, CreateMutex returns %d but not ERROR_ALREADY_EXISTS\n", tag, 0);
    TraceText(trace, "Create CClient- hOC 0x%x, returns Error %d\n", tag, platform::kErrorDevNotExist);
    return platform::kErrorDevNotExist;
  }
  // The client's start must be a total the writer has finished with, so it waits for the lock.
  while (mutex_->Wait(kMutexTimeoutMs) != platform::WaitResult::kSignalled) {
    TraceText(trace, "Create CClient: hOC 0x%x, Mutex Wait Stat: %d\n", tag, platform::kErrorTimeout);
  }
  const size_t size = block.bytes[kPagesOffset] * kPageSize;
  const bool laidOut = size > kBlockHeaderSize && size <= kBlockSize;
  if (laidOut) {
    block_ = block.bytes.data();
    tag_ = tag;
    ringLength_ = static_cast<uint32_t>(size - kBlockHeaderSize);
    wrap_ = TotalWrap(ringLength_);
    ownCount_ = Total(block_);
  }
  mutex_->Release();
  if (!laidOut) {
    mutex_.reset();
    TraceText(trace, "Create CClient- hOC 0x%x, returns Error %d\n", tag, platform::kErrorDevNotExist);
    return platform::kErrorDevNotExist;
  }
  return platform::kErrorSuccess;
}

uint32_t CClient::Distance(uint32_t total) const {
  return static_cast<uint32_t>((uint64_t{total} + wrap_ - ownCount_) % wrap_);
}

int CClient::Read(uint8_t* buffer, int32_t count, int32_t* delivered) {
  *delivered = 0;
  int result = kBlockOk;
  if (block_ == nullptr) {
    result = kBlockMissing;
  } else if (count < 0 || static_cast<uint32_t>(count) >= ringLength_) {
    result = kBlockWrongSide;
  } else if (mutex_->Wait(kMutexTimeoutMs) != platform::WaitResult::kSignalled) {
    result = kBlockNotReady;  // never touch the block without the lock
  } else {
    const uint32_t total = Total(block_);
    const uint32_t behind = Distance(total);
    if (State(block_) == DeviceState::kClosed) {
      result = kBlockClosed;
    } else if (behind > ringLength_) {
      ownCount_ = total;
      result = kBlockOvertaken;
    } else {
      // Driven by the distance, not by the read position meeting the write position: a client
      // exactly one ring behind still has every unread byte in the ring.
      const uint32_t copied = std::min(static_cast<uint32_t>(count), behind);
      const uint8_t* ring = block_ + kBlockHeaderSize;
      const uint32_t from = ownCount_ % ringLength_;
      const uint32_t first = std::min(copied, ringLength_ - from);
      std::copy_n(ring + from, first, buffer);
      std::copy_n(ring, copied - first, buffer + first);
      ownCount_ = static_cast<uint32_t>((uint64_t{ownCount_} + copied) % wrap_);
      *delivered = static_cast<int32_t>(copied);
      if (copied == 0 && State(block_) != DeviceState::kInputOpen) {
        ownCount_ = total;
        result = kBlockNotReady;
      }
    }
    mutex_->Release();
  }
  if (result != kBlockOk) *delivered = SystemError(result) == platform::kErrorBufferNotSet ? -1 : 0;
  return result;
}

void CClient::Resync() {
  if (block_ == nullptr) return;
  while (mutex_->Wait(kMutexTimeoutMs) != platform::WaitResult::kSignalled) {
  }
  ownCount_ = Total(block_);
  mutex_->Release();
}

void CClient::Destroy(TraceSink& trace) {
  TraceText(trace, "Destroy CClient+ hOC 0x%x\n", tag_);
  if (block_ == nullptr) TraceText(trace, "Destroy CClient: hOC 0x%x, Map File already closed\n", tag_);
  mutex_.reset();
  block_ = nullptr;
  TraceText(trace, "Destroy CClient- hOC 0x%x\n", tag_);
}

// ---- write side

void CServer::Lock() {
  while (mutex_->Wait(kMutexTimeoutMs) != platform::WaitResult::kSignalled) {
    TraceText(*trace_, "Write CServer, Mutex Wait Stat: %d\n", platform::kErrorTimeout);
  }
}

uint32_t CServer::CreateServerWrite(PortBlock& block, std::string_view registryName, TraceSink& trace) {
  if (block_ != nullptr) return platform::kErrorSuccess;
  trace_ = &trace;
  mutex_ = platform::NamedMutex::Create(BlockMutexName(registryName), true);
  const uint32_t created = platform::GetLastError();
  TraceText(trace, "Create CServer Write: CreateMutex returns %d\n", created);
  // A mutex of that name held elsewhere is not ours yet: wait for it like any other access.
  if (created == platform::kErrorAlreadyExists) Lock();
  block_ = block.bytes.data();
  block.bytes.fill(0);
  block_[kPagesOffset] = kBlockSize / kPageSize;
  block_[kVersionOffset] = kLayoutVersion;
  block_[kStateOffset] = static_cast<uint8_t>(DeviceState::kReady);
  writeIndex_ = 0;
  mutex_->Release();
  return platform::kErrorSuccess;
}

uint32_t CServer::WriteServer(const uint8_t* bytes, int32_t length) {
  if (block_ == nullptr) return SystemError(kBlockMissing);
  if (length < 0 || static_cast<uint32_t>(length) >= kRingLength) return SystemError(kBlockWrongSide);
  Lock();
  uint8_t* ring = block_ + kBlockHeaderSize;
  const uint32_t first = std::min(static_cast<uint32_t>(length), kRingLength - writeIndex_);
  std::copy_n(bytes, first, ring + writeIndex_);
  std::copy_n(bytes + first, length - first, ring);
  writeIndex_ = (writeIndex_ + static_cast<uint32_t>(length)) % kRingLength;
  // The total after the bytes: a reader never sees a total that counts bytes not yet stored.
  const uint32_t total = static_cast<uint32_t>((uint64_t{Total(block_)} + length) % TotalWrap(kRingLength));
  platform::PutLe32(block_ + kTotalOffset, total);
  mutex_->Release();
  return platform::kErrorSuccess;
}

bool CServer::SetDeviceState(DeviceState state) {
  if (block_ == nullptr) return false;
  Lock();
  block_[kStateOffset] = static_cast<uint8_t>(state);
  mutex_->Release();
  return true;
}

void CServer::DestroyServerWrite(TraceSink& trace) {
  TraceText(trace, "Destroy CServer Write\n");
  if (block_ == nullptr) return;
  SetDeviceState(DeviceState::kClosed);
  mutex_.reset();
  block_ = nullptr;
}

uint32_t CServer::CreateServerRead(PortBlock& block, std::string_view registryName, TraceSink& trace) {
  if (readSide_.Attached()) TraceText(trace, "Create CServer Read+: OpenMapFile: already open\n");
  const uint32_t error = readSide_.Create(block, registryName, 0, trace);
  if (error != platform::kErrorSuccess) TraceText(trace, "Create CServer Read-, returns Error %d\n", error);
  return error;
}

void CServer::DestroyServerRead(TraceSink& trace) {
  TraceText(trace, "Destroy CServer Read\n");
  readSide_.Destroy(trace);
}

void CServer::SetTotalWritten(uint32_t total) {
  if (block_ == nullptr) return;
  Lock();
  total %= TotalWrap(kRingLength);
  platform::PutLe32(block_ + kTotalOffset, total);
  writeIndex_ = total % kRingLength;
  mutex_->Release();
}

}  // namespace driver
