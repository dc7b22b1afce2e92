#pragma once
// Number reading with the C library's atol/atof leniency (leading blanks, sign, leading numeric
// part, the rest ignored) but without their undefined overflow and their locale dependence:
// the interface thread may run under a locale whose decimal point is a comma.

#include <cstdint>
#include <string_view>

namespace gps {

// Leading integer, saturated to the 32-bit range of the handheld's long.
int32_t AtolLike(std::string_view text);

// Leading decimal real; out-of-range, infinite and not-a-number texts read as 0.0 so that
// nothing downstream ever computes with a non-finite coordinate or speed.
double AtofLike(std::string_view text);

}  // namespace gps
