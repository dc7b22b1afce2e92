#include "warner/gps/nmea_number.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace gps {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// Removes leading blanks and one sign from the text; true when the sign was '-'.
bool TakeBlanksAndSign(std::string_view& text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  text.remove_prefix(i);
  if (text.empty() || (text[0] != '+' && text[0] != '-')) return false;
  const bool negative = text[0] == '-';
  text.remove_prefix(1);
  return negative;
}

}  // namespace

int32_t AtolLike(std::string_view text) {
  const bool negative = TakeBlanksAndSign(text);
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > kLimit) value = kLimit;  // saturate; more digits cannot bring it back
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

double AtofLike(std::string_view text) {
  const bool negative = TakeBlanksAndSign(text);
  // from_chars would take a second sign; atof does not.
  if (text.empty() || text[0] == '+' || text[0] == '-') return 0.0;
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  (void)end;
  if (error != std::errc() || !std::isfinite(value)) return 0.0;
  return negative ? -value : value;
}

}  // namespace gps
