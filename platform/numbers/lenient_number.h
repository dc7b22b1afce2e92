#pragma once
// The lenient numbers of the texts the programs read (NMEA fields, settings files, the converter's
// configuration and POI lists): leading blanks, an optional sign, the longest decimal number, and
// whatever follows left to the caller, as the C runtime's atol and atof read them, but independent
// of the locale and without their undefined overflow. One reader; each input format names the
// options it has always been read with.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform {

// The C runtime's white space: the space and '\t' to '\r'.
constexpr bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// What may stand before a number.
enum class NumberBlanks {
  kCSpace,           // IsCSpace
  kSpaceTabLineEnd,  // ' ', '\t', '\r', '\n'
};

struct NumberFormat {
  NumberBlanks blanks = NumberBlanks::kCSpace;
  bool decimalComma = false;  // ',' is a decimal point as well as '.'
  // A real too large or too small for a double: with this, the sign's infinity or zero (so that the
  // caller can refuse it); without, 0.0 like a text without a number.
  bool keepOutOfRange = false;
};

struct LeadingNumber {
  double value = 0.0;
  size_t end = 0;  // the index behind the number; 0 when the text does not start with one
};

// The decimal real at the start of `text`: digits with an optional fraction and exponent ("inf",
// "nan" and hexadecimal forms are no numbers here); correctly rounded.
LeadingNumber ReadLeadingReal(std::string_view text, NumberFormat format);

// The decimal integer at the start of `text` (no digits: 0), saturated to the 32-bit range that
// every format has always used.
int32_t ReadLeadingInt(std::string_view text, NumberFormat format);

// The formats of the programs' inputs.
inline constexpr NumberFormat kNmeaNumbers{};
inline constexpr NumberFormat kIniNumbers{.blanks = NumberBlanks::kSpaceTabLineEnd};  // settings, alternate file
inline constexpr NumberFormat kConfigNumbers{.keepOutOfRange = true};                 // converter configuration
constexpr NumberFormat PoiListNumbers(bool decimalComma) {
  return {.decimalComma = decimalComma, .keepOutOfRange = true};
}

}  // namespace platform
