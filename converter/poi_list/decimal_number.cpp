#include "converter/poi_list/decimal_number.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>

namespace converter {
namespace {

bool IsDigit(char c) { return static_cast<unsigned char>(c - '0') <= 9; }
// The blanks that strtod skips in the C locale.
bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

constexpr int kExactDigits = 15;  // 10^15 < 2^53: such a mantissa is exact in a double
constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                              1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The decimal exponent of the first significant digit, to tell an overflow from an underflow when
// the number does not fit a double: positive means the value is at least 10.
long long Magnitude(const char* digits, const char* intEnd, const char* fracBegin, const char* fracEnd,
                    long long exponent) {
  const char* p = digits;
  while (p < intEnd && *p == '0') ++p;
  if (p < intEnd) return (intEnd - p) + exponent;
  long long zeros = 0;
  for (const char* f = fracBegin; f < fracEnd && *f == '0'; ++f) ++zeros;
  return exponent - zeros;
}

// The lexeme converted by the library, for what the exact shortcut does not cover.
bool FullConversion(const char* digits, const char* intEnd, const char* fracBegin, const char* fracEnd,
                    const char* lexemeEnd, bool commaPoint, long long exponent, double& magnitude) {
  std::from_chars_result result{};
  if (!commaPoint) {
    result = std::from_chars(digits, lexemeEnd, magnitude, std::chars_format::general);
  } else {
    // from_chars knows only the point; short numbers are copied on the stack, long ones (never
    // seen in real lists) may allocate.
    constexpr size_t kShort = 128;
    const auto length = static_cast<size_t>(lexemeEnd - digits);
    char shortCopy[kShort];
    std::string longCopy;
    char* copy = shortCopy;
    if (length > kShort) {
      longCopy.resize(length);
      copy = longCopy.data();
    }
    for (size_t i = 0; i < length; ++i) copy[i] = digits[i] == ',' ? '.' : digits[i];
    result = std::from_chars(copy, copy + length, magnitude, std::chars_format::general);
  }
  if (result.ec == std::errc::result_out_of_range) {
    magnitude =
        Magnitude(digits, intEnd, fracBegin, fracEnd, exponent) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return true;
  }
  return result.ec == std::errc();
}

}  // namespace

bool ReadDecimal(std::string_view text, bool decimalComma, double& value, size_t* end) {
  value = 0.0;
  if (end != nullptr) *end = 0;
  const char* const begin = text.data();
  const char* const limit = begin + text.size();
  const char* p = begin;
  while (p < limit && IsBlank(*p)) ++p;
  bool negative = false;
  if (p < limit && (*p == '+' || *p == '-')) negative = *p++ == '-';

  // The digits are gathered into an integer mantissa on the way, for the exact shortcut below.
  uint64_t mantissa = 0;
  int significant = 0;
  const char* const digits = p;
  for (; p < limit && IsDigit(*p); ++p) {
    if (mantissa != 0 || *p != '0') ++significant;
    mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
  }
  const char* const intEnd = p;
  const char* fracBegin = p;
  const char* fracEnd = p;
  bool commaPoint = false;
  if (p < limit && (*p == '.' || (decimalComma && *p == ','))) {
    commaPoint = *p == ',';
    fracBegin = ++p;
    for (; p < limit && IsDigit(*p); ++p) {
      if (mantissa != 0 || *p != '0') ++significant;
      mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
    }
    fracEnd = p;
  }
  if (intEnd == digits && fracEnd == fracBegin) return false;

  long long exponent = 0;
  if (p < limit && (*p == 'e' || *p == 'E')) {
    const char* e = p + 1;
    bool negativeExponent = false;
    if (e < limit && (*e == '+' || *e == '-')) negativeExponent = *e++ == '-';
    if (e < limit && IsDigit(*e)) {
      for (; e < limit && IsDigit(*e); ++e) {
        if (exponent < 1000000000) exponent = exponent * 10 + (*e - '0');
      }
      if (negativeExponent) exponent = -exponent;
      p = e;
    }
  }
  const char* const lexemeEnd = p;

  double magnitude = 0.0;
  const long long scale = exponent - (fracEnd - fracBegin);
  if (significant <= kExactDigits && scale >= -22 && scale <= 22) {
    // An exact mantissa and an exact power of ten: one correctly rounded operation gives the same
    // double as the full conversion.
    const auto m = static_cast<double>(mantissa);
    magnitude = scale < 0 ? m / kPowers[-scale] : m * kPowers[scale];
  } else if (!FullConversion(digits, intEnd, fracBegin, fracEnd, lexemeEnd, commaPoint, exponent, magnitude)) {
    return false;
  }
  value = negative ? -magnitude : magnitude;
  if (end != nullptr) *end = static_cast<size_t>(lexemeEnd - begin);
  return true;
}

}  // namespace converter
