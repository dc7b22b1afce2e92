#include "converter/common/run_log.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <limits>

#include "converter/common/parsed_poi.h"
#include "platform/paths/paths.h"
#include "platform/text/text.h"

namespace converter {

namespace {

bool IsLayout(char c) { return c == '\n' || c == '\t'; }

// Plain ASCII text, line ends and tabs, which LogText leaves as they are: nearly every message.
bool IsPlain(std::string_view text) {
  for (const char c : text) {
    if ((c < ' ' && !IsLayout(c)) || c > '~') return false;
  }
  return true;
}

}  // namespace

void RunLog::Printf(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const std::string text = platform::VFormat(fmt, args);
  va_end(args);
  Write(text);
}

void RunLog::Write(std::string_view text) { Put(Stream(), text); }

void RunLog::ConsolePrintf(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const std::string text = platform::VFormat(fmt, args);
  va_end(args);
  Put(console_, text);
}

void RunLog::Put(std::FILE* stream, std::string_view text) {
  std::string shown;
  if (!IsPlain(text)) text = shown = LogText(text);
  if (std::fwrite(text.data(), 1, text.size(), stream) != text.size() && stream == file_ && fileErrno_ == 0) {
    fileErrno_ = errno != 0 ? errno : EIO;
  }
}

bool RunLog::OpenFile(const std::string& linuxPath) {
  CloseFile();
  fileErrno_ = 0;
  file_ = std::fopen(linuxPath.c_str(), "w");
  return file_ != nullptr;
}

bool RunLog::CloseFile() {
  if (file_ == nullptr) return fileErrno_ == 0;
  if ((std::fflush(file_) != 0 || std::ferror(file_) != 0) && fileErrno_ == 0) fileErrno_ = errno != 0 ? errno : EIO;
  if (std::fclose(file_) != 0 && fileErrno_ == 0) fileErrno_ = errno;
  file_ = nullptr;
  return fileErrno_ == 0;
}

std::string LogText(std::string_view text) { return platform::TerminalSafe(platform::FileTextToUtf8(text), "\n\t"); }

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
