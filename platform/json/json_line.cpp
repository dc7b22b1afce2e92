#include "platform/json/json_line.h"

#include <cmath>
#include <cstdio>

#include "platform/text/text.h"

namespace platform {

JsonLine& JsonLine::Int(std::string_view key, int64_t value) {
  Key(key);
  text_ += std::to_string(value);
  return *this;
}

JsonLine& JsonLine::Real(std::string_view key, double value) {
  Key(key);
  if (!std::isfinite(value)) {
    text_ += "null";  // JSON has no spelling for these
    return *this;
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  text_ += buffer;
  return *this;
}

JsonLine& JsonLine::Text(std::string_view key, std::string_view value) {
  Key(key);
  text_ += '"';
  AppendEscaped(value);
  text_ += '"';
  return *this;
}

JsonLine& JsonLine::Char(std::string_view key, char16_t value) {
  // The fix only ever holds 7-bit characters; anything wider is shown as '?'.
  const char c = value < 0x80 ? static_cast<char>(value) : '?';
  return Text(key, std::string_view(&c, 1));
}

void JsonLine::Key(std::string_view key) {
  if (text_.size() > 1) text_ += ',';
  text_ += '"';
  AppendEscaped(key);
  text_ += "\":";
}

// JSON text is UTF-8: valid UTF-8 goes out as it is, anything else is text of the files (Windows-1252)
// and is converted first, so that "°" stays one character.
void JsonLine::AppendEscaped(std::string_view value) {
  for (const char ch : FileTextToUtf8(value)) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      text_ += '\\';
      text_ += ch;
    } else if (c < 0x20 || c == 0x7F) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      text_ += buffer;
    } else {
      text_ += ch;
    }
  }
}

}  // namespace platform
