#pragma once
// The file into which the framer copies what it receives while the user records a GPS log.
// The user opens and closes it on the interface thread while the worker writes, hence its lock.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace gps {

class GpsLogSink {
 public:
  static constexpr size_t kPathMax = 262;

  GpsLogSink() = default;
  GpsLogSink(const GpsLogSink&) = delete;
  GpsLogSink& operator=(const GpsLogSink&) = delete;
  ~GpsLogSink();

  // Stores the path (handheld or Linux form) for the next GpsLogOpen; false when too long.
  bool SetPath(const std::string& path);
  std::string Path() const;

  // Creates or truncates the stored path; bytes are written unchanged. A log that is already
  // open is closed first. False (with the last error set) when the file cannot be created.
  bool GpsLogOpen();
  // 1 when the bytes were written, 0 when no log is open, the count is 0 or the write failed.
  int GpsLogWrite(const uint8_t* bytes, size_t count);
  // Closes the stream and clears the path.
  void GpsLogClose();
  bool IsOpen() const;

 private:
  void CloseLocked();

  mutable std::mutex lock_;
  std::string path_;
  std::FILE* stream_ = nullptr;
};

}  // namespace gps
