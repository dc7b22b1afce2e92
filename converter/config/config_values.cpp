#include "converter/config/config_values.h"

#include <array>
#include <limits>

#include "platform/numbers/lenient_number.h"
#include "platform/text/text.h"

namespace converter {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && platform::EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// Digits of `base` from `pos` on, stopped at the first other character; the magnitude stops
// growing once it passes `limit`, which is all a saturating caller needs.
uint64_t AccumulateDigits(std::string_view text, size_t pos, int base, uint64_t limit) {
  uint64_t value = 0;
  for (; pos < text.size(); ++pos) {
    const int digit = HexDigitValue(text[pos]);
    if (digit < 0 || digit >= base) break;
    if (value <= limit) value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  return value;
}

int64_t ApplySign(bool negative, uint64_t magnitude, int64_t min, int64_t max) {
  if (negative) return magnitude > static_cast<uint64_t>(-(min + 1)) ? min : -static_cast<int64_t>(magnitude);
  return magnitude > static_cast<uint64_t>(max) ? max : static_cast<int64_t>(magnitude);
}

// Leading white space and the sign, as the C runtime's number readers skip them.
size_t SkipBlanksAndSign(std::string_view text, bool* negative) {
  size_t pos = 0;
  while (pos < text.size() && platform::IsCSpace(text[pos])) ++pos;
  *negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) *negative = text[pos++] == '-';
  return pos;
}

constexpr uint64_t kSaturation = 0xFFFFFFFFull;

struct TargetName {
  TargetSystem target;
  std::string_view name;
};
constexpr std::array<TargetName, 4> kTargets = {{
    {TargetSystem::kSntOnly, "SNTOnly"},
    {TargetSystem::kNavigonOem, "NavigonOEM"},
    {TargetSystem::kMapAndGuideCsv, "MapAndGuideCSV"},
    {TargetSystem::kDestinatorCsv, "DestinatorCSV"},
}};

struct ColourName {
  std::string_view name;
  int32_t colour;
};
// Red in the low byte; the order decides between names that share a prefix with the value.
constexpr std::array<ColourName, 5> kColours = {{
    {"Red", 0x0000FF},
    {"Green", 0x00FF00},
    {"Blue", 0xFF0000},
    {"White", 0xFFFFFF},
    {"Black", 0x000000},
}};

constexpr int kDefaultZoomLevel = 6;

int32_t ReadConfigInt(std::string_view value) { return platform::ReadLeadingInt(value, platform::kConfigNumbers); }

}  // namespace

int32_t ReadInteger(std::string_view text) {
  bool negative = false;
  size_t pos = SkipBlanksAndSign(text, &negative);
  int base = 10;
  // "0x" counts as a prefix only when a hex digit follows; otherwise the "0" is read alone.
  if (pos + 2 < text.size() && HasHexPrefix(text.substr(pos)) && HexDigitValue(text[pos + 2]) >= 0) {
    base = 16;
    pos += 2;
  } else if (pos < text.size() && text[pos] == '0') {
    base = 8;
  }
  const uint64_t magnitude = AccumulateDigits(text, pos, base, kSaturation);
  return static_cast<int32_t>(
      ApplySign(negative, magnitude, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

uint32_t ReadHexDigits(std::string_view digits) {
  const uint64_t value = AccumulateDigits(digits, 0, 16, kSaturation);
  return value > kSaturation ? static_cast<uint32_t>(kSaturation) : static_cast<uint32_t>(value);
}

bool HasHexPrefix(std::string_view value) {
  return value.size() >= 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X');
}

bool MatchTargetSystem(std::string_view value, TargetSystem* target) {
  for (const TargetName& entry : kTargets) {
    if (StartsWithNoCase(value, entry.name)) {
      *target = entry.target;
      return true;
    }
  }
  return false;
}

std::string_view TargetSystemName(TargetSystem target) {
  for (const TargetName& entry : kTargets) {
    if (entry.target == target) return entry.name;
  }
  return {};
}

MapRegion RegionFromValue(std::string_view value) {
  return StartsWithNoCase(value, "America") ? MapRegion::kAmerica : MapRegion::kEurope;
}

int LogLevelFromValue(std::string_view value) { return StartsWithNoCase(value, "All") ? 1 : ReadConfigInt(value); }

int16_t CategoryNumberFromValue(std::string_view value) { return static_cast<int16_t>(ReadConfigInt(value)); }

char SeparatorFromValue(std::string_view value) {
  if (value.empty()) return ',';
  if (IsDigit(value[0])) return static_cast<char>(ReadConfigInt(value) & 0xFF);
  return value[0];
}

uint16_t ZoomCodeFromValue(std::string_view value) {
  if (HasHexPrefix(value)) return static_cast<uint16_t>(ReadHexDigits(value.substr(2)));
  int64_t level = ReadConfigInt(value);
  if (level <= 0) level = kDefaultZoomLevel;
  return static_cast<uint16_t>(level * 144 + 15936);
}

uint16_t FontSizeCodeFromValue(std::string_view value) {
  if (HasHexPrefix(value)) return static_cast<uint16_t>(ReadHexDigits(value.substr(2)));
  const int64_t size = ReadConfigInt(value);
  return static_cast<uint16_t>((size * 38) | 0xC000);
}

int16_t FontTypeFromValue(std::string_view value) { return static_cast<int16_t>(ReadInteger(value)); }

bool DecodeColour(std::string_view value, int32_t* colour) {
  for (const ColourName& entry : kColours) {
    if (StartsWithNoCase(value, entry.name)) {
      *colour = entry.colour;
      return true;
    }
  }
  if (HasHexPrefix(value)) {
    *colour = static_cast<int32_t>(ReadHexDigits(value.substr(2)));
    return true;
  }
  *colour = 0x000000;
  return false;
}

}  // namespace converter
