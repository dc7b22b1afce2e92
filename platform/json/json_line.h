#pragma once
// Builds one JSON object on one line, in the order the fields are added.

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

class JsonLine {
 public:
  JsonLine& Int(std::string_view key, int64_t value);
  // 17 significant digits, so that the value reads back exactly.
  JsonLine& Real(std::string_view key, double value);
  JsonLine& Text(std::string_view key, std::string_view value);
  JsonLine& Char(std::string_view key, char16_t value);
  // The object with its closing brace and a line feed.
  std::string Finish() const { return text_ + "}\n"; }

 private:
  void Key(std::string_view key);
  void AppendEscaped(std::string_view value);

  std::string text_ = "{";
};

}  // namespace platform
