#pragma once
// The lenient decimal numbers of the converter's inputs (POI list fields, warning distances):
// leading blanks, an optional sign, digits with an optional fraction and exponent; whatever
// follows the number is left to the caller.

#include <cstddef>
#include <string_view>

namespace converter {

// Reads the number at the start of `text`. With `decimalComma`, a ',' is read as the decimal point
// too. Returns false and sets `value` to 0 when the text does not start with a number; `end`
// (optional) receives the index behind the number, 0 when there is none.
// Only decimal numbers count: "inf", "nan" and hexadecimal forms are not numbers here, so every
// value read is finite or, for a number too large for a double, infinite with its sign; a value
// too small for a double reads as zero.
bool ReadDecimal(std::string_view text, bool decimalComma, double& value, size_t* end = nullptr);

}  // namespace converter
