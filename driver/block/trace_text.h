#pragma once
// The driver's trace texts, formatted from their fixed formats and cut to the driver's buffer.

#include <cstdarg>
#include <string>
#include <string_view>

#include "driver/registry/input_device.h"
#include "platform/text/text.h"

namespace driver {

constexpr size_t kTraceBuffer = 520;

[[gnu::format(printf, 2, 3)]] inline void TraceText(TraceSink& sink, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const std::string text = platform::VFormat(format, arguments);
  va_end(arguments);
  sink.Trace(std::string_view(text).substr(0, kTraceBuffer - 1));
}

}  // namespace driver
