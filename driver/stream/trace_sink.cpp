#include "driver/stream/trace_sink.h"

#include <cstdio>
#include <cstdlib>

namespace driver {

namespace {

class DiscardingSink final : public TraceSink {
 public:
  void Trace(std::string_view) override {}
};

// Each text is flushed at once, so that a trace survives a device manager that is killed.
class FileSink final : public TraceSink {
 public:
  explicit FileSink(std::FILE* file) : file_(file) {}
  ~FileSink() override { std::fclose(file_); }
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  void Trace(std::string_view text) override {
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fflush(file_);
  }

 private:
  std::FILE* file_;
};

}  // namespace

std::unique_ptr<TraceSink> OpenTraceSink() {
  const char* path = std::getenv("DW_DRIVER_TRACE");
  std::FILE* file = path != nullptr && *path != '\0' ? std::fopen(path, "a") : nullptr;
  if (file == nullptr) return std::make_unique<DiscardingSink>();
  return std::make_unique<FileSink>(file);
}

}  // namespace driver
