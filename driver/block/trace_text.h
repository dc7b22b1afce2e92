#pragma once
// The driver's trace texts, formatted from their fixed formats into a buffer on the stack.

#include <cstdarg>
#include <cstdio>

#include "driver/registry/input_device.h"

namespace driver {

[[gnu::format(printf, 2, 3)]] inline void TraceText(TraceSink& sink, const char* format, ...) {
  char text[520];
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  if (length < 0) return;
  sink.Trace(std::string_view(text, static_cast<size_t>(length) < sizeof text ? length : sizeof text - 1));
}

}  // namespace driver
