#include "warner/traffic/rds/trace_sink.h"

#include <cstdarg>
#include <vector>

namespace traffic {

void TraceSink::Printf(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, fmt, args);
  va_end(args);
  if (length > 0) {
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), fmt, again);
    const std::string_view text(buffer.data(), static_cast<size_t>(length));
    Write(text);
    lineOpen_ = text.back() != '\n';
  }
  va_end(again);
}

void TraceSink::EndLine() {
  if (!lineOpen_) return;
  Write("\n");
  lineOpen_ = false;
}

void FileTraceSink::Write(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stream_); }

}  // namespace traffic
