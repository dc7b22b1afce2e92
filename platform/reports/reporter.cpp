#include "reporter.h"

#include <cstdio>

#include "platform/errors/errors.h"
#include "platform/text/text.h"

namespace platform {

namespace {

std::string WithErrorNumber(const std::string& message, uint32_t code) {
  return message + FormatMessage520("Error No %d: %s", static_cast<int>(code), ErrorText(code).c_str());
}

}  // namespace

std::string VFormatMessage520(const char* fmt, va_list args) {
  char buffer[kMessageBufferSize];
  // Every caller starts `args` with va_start; the analyzer loses that through the call.
  // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
  const int length = std::vsnprintf(buffer, sizeof buffer, fmt, args);
  if (length < 0) return {};
  if (static_cast<size_t>(length) < sizeof buffer) return std::string(buffer, length);
  const std::string_view kept(buffer, sizeof buffer - 1);
  return std::string(kept.substr(0, Utf8CompleteLength(kept)));
}

std::string FormatMessage520(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string text = VFormatMessage520(fmt, args);
  va_end(args);
  return text;
}

void Reporter::ErrorLastError(const char* fmt, ...) {
  const uint32_t code = GetLastError();  // first, before anything else can change it
  va_list args;
  va_start(args, fmt);
  const std::string message = VFormatMessage520(fmt, args);
  va_end(args);
  Show(Severity::kError, WithErrorNumber(message, code));
}

void Reporter::ErrorCode(uint32_t code, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const std::string message = VFormatMessage520(fmt, args);
  va_end(args);
  Show(Severity::kError, WithErrorNumber(message, code));
}

bool Reporter::ErrorContinue(const char* fmt, ...) {
  const uint32_t code = GetLastError();  // first, before anything else can change it
  va_list args;
  va_start(args, fmt);
  const std::string message = VFormatMessage520(fmt, args);
  va_end(args);
  return Ask(Severity::kError, WithErrorNumber(message, code) + "\nContinue?");
}

void Reporter::Error(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const std::string message = VFormatMessage520(fmt, args);
  va_end(args);
  Show(Severity::kError, message);
}

void Reporter::Warn(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const std::string message = VFormatMessage520(fmt, args);
  va_end(args);
  Show(Severity::kWarning, message);
}

bool Reporter::AskYesNo(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const std::string message = VFormatMessage520(fmt, args);
  va_end(args);
  return Ask(Severity::kQuestion, message);
}

bool Reporter::AskWarning(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const std::string message = VFormatMessage520(fmt, args);
  va_end(args);
  return Ask(Severity::kWarning, message);
}

void Reporter::Inform(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const std::string message = VFormatMessage520(fmt, args);
  va_end(args);
  Show(Severity::kInformation, message);
}

}  // namespace platform
