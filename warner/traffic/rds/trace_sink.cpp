#include "warner/traffic/rds/trace_sink.h"

#include <cstdarg>

#include "platform/text/text.h"

namespace traffic {

void TraceSink::Printf(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const std::string text = platform::VFormat(fmt, args);
  va_end(args);
  if (text.empty()) return;
  Write(text);
  lineOpen_ = text.back() != '\n';
}

void TraceSink::EndLine() {
  if (!lineOpen_) return;
  Write("\n");
  lineOpen_ = false;
}

void FileTraceSink::Write(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stream_); }

}  // namespace traffic
