#include "platform/memory/prefault.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace platform {

namespace {

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23  // Linux 5.14; older kernels answer EINVAL and nothing happens
#endif

// Small enough that a stop request is seen at once, large enough for few system calls.
constexpr uintptr_t kChunk = uintptr_t{2} << 20;

}  // namespace

BackgroundPrefault::BackgroundPrefault(const void* begin, size_t bytes) {
  const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const uintptr_t first = (reinterpret_cast<uintptr_t>(begin) + page - 1) & ~(page - 1);
  const uintptr_t last = (reinterpret_cast<uintptr_t>(begin) + bytes) & ~(page - 1);
  if (last > first) {
    thread_ = std::thread(&BackgroundPrefault::Run, this, first, last);
  } else {
    complete_ = true;
  }
}

BackgroundPrefault::~BackgroundPrefault() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

bool BackgroundPrefault::Wait() {
  if (thread_.joinable()) thread_.join();
  return complete_;
}

void BackgroundPrefault::Run(uintptr_t begin, uintptr_t end) {
  for (uintptr_t at = begin; at < end && !stop_; at += kChunk) {
    if (::madvise(reinterpret_cast<void*>(at), std::min(kChunk, end - at), MADV_POPULATE_WRITE) != 0) return;
  }
  complete_ = !stop_;
}

}  // namespace platform
