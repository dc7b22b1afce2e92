#pragma once
// How configuration values become settings and codes: the prefixed integers and hexadecimal codes
// (decimal numbers are read by platform/numbers with kConfigNumbers), and the decoders of the
// global and per-subcategory values.

#include <cstdint>
#include <string_view>

#include "converter/common/converter_config.h"

namespace converter {

// An integer as strtol with base 0 reads it: "0x" hexadecimal, a leading "0" octal, else decimal.
// Saturated to the 32-bit range.
int32_t ReadInteger(std::string_view text);
// The hexadecimal digits at the start of `digits` (none: 0), saturated to 32 bits.
uint32_t ReadHexDigits(std::string_view digits);
// True when the value starts with "0x" (either case): its code is given in hexadecimal.
bool HasHexPrefix(std::string_view value);

// `TargetSystem`: true and the target when the value starts with one of the four codes (any case).
bool MatchTargetSystem(std::string_view value, TargetSystem* target);
std::string_view TargetSystemName(TargetSystem target);
// `MapRegion`: America for a value starting with "America" (any case), else Europe.
MapRegion RegionFromValue(std::string_view value);
// `LogLevel`: a word starting with "All" (any case) is 1, anything else is read as a number.
int LogLevelFromValue(std::string_view value);

// Per-subcategory derived values, each from a value that already has its default.
int16_t CategoryNumberFromValue(std::string_view value);
char SeparatorFromValue(std::string_view value);
uint16_t ZoomCodeFromValue(std::string_view value);
uint16_t FontSizeCodeFromValue(std::string_view value);
int16_t FontTypeFromValue(std::string_view value);
// False when the value is neither a colour name nor "0x" and a code; the colour is then black.
bool DecodeColour(std::string_view value, int32_t* colour);

}  // namespace converter
