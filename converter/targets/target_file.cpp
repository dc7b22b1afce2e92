#include "converter/targets/target_file.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <utility>

namespace converter {
namespace {

constexpr size_t kBufferSize = size_t{64} * 1024;

}  // namespace

bool OutputFile::Open(std::string_view configuredPath) {
  path_.assign(configuredPath);
  file_ = staged_.Create(configuredPath, &log_);
  if (file_ == nullptr) return false;
  if (!buffer_) buffer_ = std::make_unique<uint8_t[]>(kBufferSize);
  fill_ = 0;
  position_ = 0;
  failed_ = false;
  return true;
}

void OutputFile::Fail() {
  if (!failed_) errno_ = errno;
  failed_ = true;
}

bool OutputFile::Flush() {
  if (fill_ != 0 && !failed_ && std::fwrite(buffer_.get(), 1, fill_, file_) != fill_) Fail();
  fill_ = 0;
  return !failed_;
}

void OutputFile::Write(const void* data, size_t size) {
  position_ += size;
  if (failed_ || file_ == nullptr) return;
  if (size > kBufferSize - fill_) {
    Flush();
    if (size >= kBufferSize) {
      if (!failed_ && std::fwrite(data, 1, size, file_) != size) Fail();
      return;
    }
  }
  std::memcpy(buffer_.get() + fill_, data, size);
  fill_ += size;
}

void OutputFile::WriteZeros(size_t count) {
  static constexpr uint8_t kZeros[512] = {};
  while (count > 0) {
    const size_t piece = count < sizeof kZeros ? count : sizeof kZeros;
    Write(kZeros, piece);
    count -= piece;
  }
}

bool OutputFile::Close() {
  if (file_ == nullptr) return false;
  const bool flushed = Flush();
  std::FILE* const file = std::exchange(file_, nullptr);
  if (!flushed) {
    // The stream stays with the set, which removes it.
    log_.Printf("### Can't write to file '%s'. Reason: %s. ###\n", path_.c_str(), ErrnoText(errno_).c_str());
    return false;
  }
  if (!staged_.Finish(file, &log_)) return false;
  return &staged_ != &own_ || own_.Commit(log_);
}

size_t FormatCoordinate(double degrees, char* out) {
  // to_chars never looks at the locale and rounds exactly as printf does.
  const auto result = std::to_chars(out, out + kCoordinateTextSize, degrees, std::chars_format::fixed, 5);
  if (result.ec == std::errc()) return static_cast<size_t>(result.ptr - out);
  return std::snprintf(out, kCoordinateTextSize, "%.5f", degrees) < 0 ? 0 : std::strlen(out);
}

namespace {

// Copies `source` into the new version of `targetPath`; false with errno set.
bool CopyInto(std::FILE* source, std::string_view targetPath, StagedOutputs& outputs) {
  std::FILE* target = outputs.Create(targetPath, nullptr);
  if (target == nullptr) return false;
  auto buffer = std::make_unique<char[]>(kBufferSize);
  size_t got;
  while ((got = std::fread(buffer.get(), 1, kBufferSize, source)) > 0) {
    if (std::fwrite(buffer.get(), 1, got, target) != got) return false;
  }
  if (std::ferror(source)) return false;
  return outputs.Finish(target, nullptr);
}

}  // namespace

bool CopyBitmap(std::string_view sourcePath, std::string_view targetPath, RunLog& log, StagedOutputs* staged) {
  StagedOutputs own;
  bool copied = false;
  int error = ENOENT;  // an empty BitmapFile names no file
  if (!sourcePath.empty()) {
    if (std::FILE* source = std::fopen(ConverterPath(sourcePath).c_str(), "rb")) {
      copied = CopyInto(source, targetPath, staged != nullptr ? *staged : own);
      error = errno;
      std::fclose(source);
    } else {
      error = errno;
    }
  }
  copied = copied && (staged != nullptr || own.Commit(log));
  if (!copied) {
    const std::string sourceText(sourcePath), targetText(targetPath);
    log.Printf("### Can't copy '%s' to '%s'. Reason: %s. ###\n", sourceText.c_str(), targetText.c_str(),
               ErrnoText(error).c_str());
  }
  return copied;
}

SubcategoryBuckets::SubcategoryBuckets(size_t subcategoryCount, std::span<const ParsedPoi> pois)
    : starts_(subcategoryCount + 2, 0) {
  auto known = [subcategoryCount](const ParsedPoi& poi) {
    return poi.subcategory >= 0 && static_cast<size_t>(poi.subcategory) < subcategoryCount;
  };
  // Counting sort: sizes shifted by two, prefix sums, then each POI placed at its bucket's cursor.
  for (const ParsedPoi& poi : pois) {
    if (known(poi)) ++starts_[static_cast<size_t>(poi.subcategory) + 2];
  }
  for (size_t i = 2; i < starts_.size(); ++i) starts_[i] += starts_[i - 1];
  indexes_.resize(starts_.back());
  for (size_t i = 0; i < pois.size(); ++i) {
    if (known(pois[i])) indexes_[starts_[static_cast<size_t>(pois[i].subcategory) + 1]++] = static_cast<uint32_t>(i);
  }
  starts_.pop_back();
}

}  // namespace converter
