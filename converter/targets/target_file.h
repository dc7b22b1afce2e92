#pragma once
// What every target writer needs underneath: a buffered binary output file that reports its own
// failures in the run's log, little-endian field writers, the "%.5f" coordinate form and the bitmap
// copy of the CSV targets.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "converter/common/parsed_poi.h"
#include "converter/common/run_log.h"
#include "converter/common/staged_outputs.h"
#include "platform/bytes/little_endian.h"

namespace converter {

using platform::PutLe16;
using platform::PutLe24;
using platform::PutLe32;

// A target file written for binary output. Writes go through one buffer of its own, so a writer may
// hand over a few bytes at a time. The path is the configured one (Windows-1252, `\` or `/`); the
// log messages quote it as configured. The file is a new version of its target in `staged`, put in
// place with the run's other files; without a set it takes its target's place when it is closed.
class OutputFile {
 public:
  explicit OutputFile(RunLog& log, StagedOutputs* staged = nullptr) : log_(log), staged_(staged ? *staged : own_) {}
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // False after "Can't open file ... for write" in the log.
  bool Open(std::string_view configuredPath);
  void Write(const void* data, size_t size);
  void Write(std::string_view text) { Write(text.data(), text.size()); }
  void WriteZeros(size_t count);
  // Bytes handed over so far: the file offset of the next byte.
  uint64_t Position() const { return position_; }
  // Flushes and closes; false after "Can't write to file" in the log when any write, the flush or
  // the close failed.
  bool Close();

 private:
  bool Flush();
  void Fail();

  RunLog& log_;
  StagedOutputs own_;
  StagedOutputs& staged_;
  std::string path_;
  std::FILE* file_ = nullptr;
  std::unique_ptr<uint8_t[]> buffer_;
  size_t fill_ = 0;
  uint64_t position_ = 0;
  bool failed_ = false;
  int errno_ = 0;  // of the first write that failed
};

// "%.5f" of a coordinate, always with a decimal point whatever the locale; returns the length.
// `out` must hold kCoordinateTextSize characters.
inline constexpr size_t kCoordinateTextSize = 32;
size_t FormatCoordinate(double degrees, char* out);

// Byte copy of a bitmap file to a target path, staged like an OutputFile. False after
// "Can't copy '%s' to '%s'. Reason: %s." in the log, also for an empty or missing source.
bool CopyBitmap(std::string_view sourcePath, std::string_view targetPath, RunLog& log, StagedOutputs* staged = nullptr);

// The POIs of each subcategory, in the array's order, gathered in one pass so that writers with a
// file per subcategory stay linear. POIs of an unknown subcategory belong to none.
class SubcategoryBuckets {
 public:
  SubcategoryBuckets(size_t subcategoryCount, std::span<const ParsedPoi> pois);
  // Indexes into the POI array.
  std::span<const uint32_t> Of(size_t subcategory) const {
    return {indexes_.data() + starts_[subcategory], indexes_.data() + starts_[subcategory + 1]};
  }

 private:
  std::vector<size_t> starts_;
  std::vector<uint32_t> indexes_;
};

}  // namespace converter
