#include "warner/gps/gps_log.h"

#include <cerrno>

#include "platform/errors/errors.h"
#include "platform/paths/paths.h"

namespace gps {

GpsLogSink::~GpsLogSink() {
  std::lock_guard guard(lock_);
  CloseLocked();
}

bool GpsLogSink::SetPath(const std::string& path) {
  if (path.size() > kPathMax) return false;
  std::lock_guard guard(lock_);
  path_ = path;
  return true;
}

std::string GpsLogSink::Path() const {
  std::lock_guard guard(lock_);
  return path_;
}

bool GpsLogSink::GpsLogOpen() {
  std::lock_guard guard(lock_);
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = path_.empty() ? nullptr : std::fopen(platform::ToLinuxPath(path_).c_str(), "wb");
  if (stream_ == nullptr) platform::SetLastErrorFromErrno(path_.empty() ? ENOENT : errno);
  return stream_ != nullptr;
}

int GpsLogSink::GpsLogWrite(const uint8_t* bytes, size_t count) {
  std::lock_guard guard(lock_);
  if (stream_ == nullptr || count == 0) return 0;
  return std::fwrite(bytes, 1, count, stream_) == count ? 1 : 0;
}

void GpsLogSink::GpsLogClose() {
  std::lock_guard guard(lock_);
  CloseLocked();
  path_.clear();
}

bool GpsLogSink::IsOpen() const {
  std::lock_guard guard(lock_);
  return stream_ != nullptr;
}

void GpsLogSink::CloseLocked() {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
}

}  // namespace gps
