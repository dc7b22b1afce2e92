#include "reporter.h"

#include "platform/errors/errors.h"
#include "platform/text/text.h"

namespace platform {

namespace {

std::string WithErrorNumber(const std::string& message, uint32_t code) {
  return message + FormatMessage520("Error No %d: %s", static_cast<int>(code), ErrorText(code).c_str());
}

}  // namespace

std::string VFormatMessage520(const char* fmt, va_list args) {
  std::string text = VFormat(fmt, args);
  if (text.size() < kMessageBufferSize) return text;
  text.resize(Utf8CompleteLength(std::string_view(text).substr(0, kMessageBufferSize - 1)));
  return text;
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
