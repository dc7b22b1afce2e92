#include "converter/common/run_log.h"

#include <cmath>
#include <cstdarg>
#include <cstring>
#include <limits>

#include "converter/common/parsed_poi.h"
#include "platform/paths/paths.h"
#include "platform/text/text.h"

namespace converter {

void RunLog::Printf(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::vfprintf(Stream(), fmt, args);
  va_end(args);
}

void RunLog::Write(std::string_view text) { std::fwrite(text.data(), 1, text.size(), Stream()); }

void RunLog::ConsolePrintf(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::vfprintf(console_, fmt, args);
  va_end(args);
}

bool RunLog::OpenFile(const std::string& linuxPath) {
  CloseFile();
  file_ = std::fopen(linuxPath.c_str(), "w");
  return file_ != nullptr;
}

void RunLog::CloseFile() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

std::string ConverterPath(std::string_view configuredPath) {
  return platform::ToLinuxPath(platform::Cp1252ToUtf8(configuredPath));
}

std::string ErrnoText(int errnoValue) { return std::strerror(errnoValue); }

int32_t ToHundredThousandths(double degrees) {
  const double scaled = degrees * 100000.0;
  const double rounded = scaled >= 0 ? std::floor(scaled + 0.5) : std::ceil(scaled - 0.5);
  // Reduced coordinates stay far inside; anything else is clamped instead of overflowing.
  if (!(rounded > std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (!(rounded < std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(rounded);
}

}  // namespace converter
