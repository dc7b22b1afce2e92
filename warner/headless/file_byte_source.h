#pragma once
// A GPS log file as the worker's byte source: as fast as it can be read, or at the pace a receiver
// sends it (baud rate / 10 bytes a second), with the end of the file reported as 38.

#include <cstdio>
#include <functional>
#include <string>

#include "warner/core/worker/gps_worker.h"

namespace warner {

class FileByteSource final : public ByteSource {
 public:
  // paceBaud 0: no pacing. sleep waits the given milliseconds (tests pass a fake).
  FileByteSource(std::FILE* file, int paceBaud, std::function<void(uint32_t ms)> sleep);
  uint32_t Read(uint8_t* buffer, size_t capacity, size_t* count) override;

 private:
  std::FILE* file_;
  int paceBaud_;
  std::function<void(uint32_t)> sleep_;
};

}  // namespace warner
