#include "warner/headless/file_byte_source.h"

#include <cerrno>

#include "platform/errors/errors.h"

namespace warner {

FileByteSource::FileByteSource(std::FILE* file, int paceBaud, std::function<void(uint32_t ms)> sleep)
    : file_(file), paceBaud_(paceBaud), sleep_(std::move(sleep)) {}

uint32_t FileByteSource::Read(uint8_t* buffer, size_t capacity, size_t* count) {
  *count = std::fread(buffer, 1, capacity, file_);
  if (*count == 0) {
    return std::ferror(file_) != 0 ? platform::ErrorFromErrno(errno == 0 ? EIO : errno) : platform::kErrorHandleEof;
  }
  // Ten bits a byte on the line: start, eight data bits, stop.
  if (paceBaud_ > 0) sleep_(static_cast<uint32_t>(*count * 10 * 1000 / static_cast<size_t>(paceBaud_)));
  return platform::kErrorSuccess;
}

}  // namespace warner
