#include "platform/numbers/lenient_number.h"

#include <charconv>
#include <limits>
#include <string>
#include <system_error>

namespace platform {
namespace {

bool IsDigit(char c) { return static_cast<unsigned char>(c - '0') <= 9; }

bool IsLeadingBlank(char c, NumberBlanks blanks) {
  return blanks == NumberBlanks::kCSpace ? IsCSpace(c) : c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Skips the blanks and a sign at `p`; true when the sign was '-'.
bool TakeBlanksAndSign(const char*& p, const char* limit, NumberBlanks blanks) {
  while (p < limit && IsLeadingBlank(*p, blanks)) ++p;
  if (p < limit && (*p == '+' || *p == '-')) return *p++ == '-';
  return false;
}

constexpr int kExactDigits = 15;  // 10^15 < 2^53: such a mantissa is exact in a double
constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                              1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The parts of a decimal number in the text.
struct Lexeme {
  const char* digits;
  const char* intEnd;
  const char* fracBegin;
  const char* fracEnd;
  const char* end;
  bool commaPoint;
  long long exponent;
};

// The decimal exponent of the first significant digit, to tell an overflow from an underflow when
// the number does not fit a double: positive means the value is at least 10.
long long Magnitude(const Lexeme& number) {
  const char* p = number.digits;
  while (p < number.intEnd && *p == '0') ++p;
  if (p < number.intEnd) return (number.intEnd - p) + number.exponent;
  long long zeros = 0;
  for (const char* f = number.fracBegin; f < number.fracEnd && *f == '0'; ++f) ++zeros;
  return number.exponent - zeros;
}

// The lexeme converted by the library, for what the exact shortcut does not cover. For a value that
// does not fit a double, result_out_of_range with `magnitude` the infinity or zero it tends to.
std::errc FullConversion(const Lexeme& number, double& magnitude) {
  std::from_chars_result result{};
  if (!number.commaPoint) {
    result = std::from_chars(number.digits, number.end, magnitude, std::chars_format::general);
  } else {
    // from_chars knows only the point; short numbers are copied on the stack, long ones (never
    // seen in real lists) may allocate.
    constexpr size_t kShort = 128;
    const auto length = static_cast<size_t>(number.end - number.digits);
    char shortCopy[kShort];
    std::string longCopy;
    char* copy = shortCopy;
    if (length > kShort) {
      longCopy.resize(length);
      copy = longCopy.data();
    }
    for (size_t i = 0; i < length; ++i) copy[i] = number.digits[i] == ',' ? '.' : number.digits[i];
    result = std::from_chars(copy, copy + length, magnitude, std::chars_format::general);
  }
  if (result.ec == std::errc::result_out_of_range) {
    magnitude = Magnitude(number) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return result.ec;
}

}  // namespace

LeadingNumber ReadLeadingReal(std::string_view text, NumberFormat format) {
  const char* const begin = text.data();
  const char* const limit = begin + text.size();
  const char* p = begin;
  const bool negative = TakeBlanksAndSign(p, limit, format.blanks);

  // The digits are gathered into an integer mantissa on the way, for the exact shortcut below.
  uint64_t mantissa = 0;
  int significant = 0;
  Lexeme number{p, p, p, p, p, false, 0};
  for (; p < limit && IsDigit(*p); ++p) {
    if (mantissa != 0 || *p != '0') ++significant;
    mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
  }
  number.intEnd = number.fracBegin = number.fracEnd = p;
  if (p < limit && (*p == '.' || (format.decimalComma && *p == ','))) {
    number.commaPoint = *p == ',';
    number.fracBegin = ++p;
    for (; p < limit && IsDigit(*p); ++p) {
      if (mantissa != 0 || *p != '0') ++significant;
      mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
    }
    number.fracEnd = p;
  }
  if (number.intEnd == number.digits && number.fracEnd == number.fracBegin) return {};

  if (p < limit && (*p == 'e' || *p == 'E')) {
    const char* e = p + 1;
    bool negativeExponent = false;
    if (e < limit && (*e == '+' || *e == '-')) negativeExponent = *e++ == '-';
    if (e < limit && IsDigit(*e)) {
      for (; e < limit && IsDigit(*e); ++e) {
        if (number.exponent < 1000000000) number.exponent = number.exponent * 10 + (*e - '0');
      }
      if (negativeExponent) number.exponent = -number.exponent;
      p = e;
    }
  }
  number.end = p;

  const auto end = static_cast<size_t>(number.end - begin);
  double magnitude = 0.0;
  const long long scale = number.exponent - (number.fracEnd - number.fracBegin);
  if (significant <= kExactDigits && scale >= -22 && scale <= 22) {
    // An exact mantissa and an exact power of ten: one correctly rounded operation gives the same
    // double as the full conversion.
    const auto m = static_cast<double>(mantissa);
    magnitude = scale < 0 ? m / kPowers[-scale] : m * kPowers[scale];
  } else if (const std::errc error = FullConversion(number, magnitude); error != std::errc()) {
    if (error != std::errc::result_out_of_range) return {};
    if (!format.keepOutOfRange) return {0.0, end};
  }
  return {negative ? -magnitude : magnitude, end};
}

int32_t ReadLeadingInt(std::string_view text, NumberFormat format) {
  const char* p = text.data();
  const char* const limit = p + text.size();
  const bool negative = TakeBlanksAndSign(p, limit, format.blanks);
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t value = 0;
  for (; p < limit && IsDigit(*p); ++p) {
    value = value * 10 + (*p - '0');
    if (value > kLimit) value = kLimit;  // saturated; more digits cannot bring it back
  }
  if (negative) return static_cast<int32_t>(-value);
  return value > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                     : static_cast<int32_t>(value);
}

}  // namespace platform
