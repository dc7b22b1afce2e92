#include "warner/gps/conversions.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/numbers/lenient_number.h"

namespace gps {

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kEarthRadiusMetres = 6371014;

// Truncation toward zero into the 32-bit range; a cast of an out-of-range double is undefined.
int32_t TruncateToInt32(double value) {
  if (!std::isfinite(value)) return 0;
  constexpr double kMax = std::numeric_limits<int32_t>::max();
  constexpr double kMin = std::numeric_limits<int32_t>::min();
  if (value >= kMax) return std::numeric_limits<int32_t>::max();
  if (value <= kMin) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

int32_t ClampToInt32(int64_t value) {
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

bool Contains(std::string_view text, std::string_view keyword) { return text.find(keyword) != std::string_view::npos; }

}  // namespace

double NmeaToDegrees(double value) {
  if (!std::isfinite(value)) return 0.0;
  // Integer arithmetic on the whole part, done in doubles so that no value can overflow.
  const double whole = std::floor(value);
  const double degrees = std::trunc(whole / 100.0);
  const double minutes = whole - degrees * 100.0;
  return degrees + minutes / 60.0 + (value - whole) / 60.0;
}

DegMinSec SplitDegreesMinutes(std::string_view text, char16_t hemisphere) {
  const int32_t w = platform::ReadLeadingInt(text, platform::kNmeaNumbers);
  DegMinSec split;
  split.degrees = w / 100;
  split.minutes = w - (w / 100) * 100;
  const size_t point = text.find('.');
  const int64_t fraction =
      point == std::string_view::npos ? 0 : platform::ReadLeadingInt(text.substr(point + 1), platform::kNmeaNumbers);
  split.seconds = ClampToInt32(fraction * 60 / 10000);
  if (hemisphere == u'W' || hemisphere == u'S') split.degrees = -split.degrees;
  return split;
}

DegMin DegreesToDegMin(double degrees) {
  const double whole = std::trunc(std::isfinite(degrees) ? degrees : 0.0);
  return {TruncateToInt32(whole), TruncateToInt32((degrees - whole) * 60.0)};
}

DegMinSec DegreesToDegMinSec(double degrees) {
  const double whole = std::trunc(std::isfinite(degrees) ? degrees : 0.0);
  const double minutes = (degrees - whole) * 60.0;
  const double wholeMinutes = std::trunc(minutes);
  return {TruncateToInt32(whole), TruncateToInt32(wholeMinutes),
          TruncateToInt32((minutes - wholeMinutes) * 60.0 + 0.5)};
}

int ParseDistanceUnit(std::string_view lowerText) {
  if (Contains(lowerText, "ft")) return kFeet;
  if (Contains(lowerText, "km")) return kKilometers;
  if (Contains(lowerText, "mi")) return kMiles;
  if (Contains(lowerText, "nm")) return kNauticalMiles;
  return kMeters;
}

double ConvertMeters(double meters, int distanceUnit) {
  switch (distanceUnit) {
    case kFeet: return meters * 3.280839895013123;
    case kKilometers: return meters * 0.001;
    case kMiles: return meters * 0.0006213711922373339;
    case kNauticalMiles: return meters * 0.0005399568034557236;
    default: return meters;
  }
}

int ParseSpeedUnit(std::string_view lowerText) {
  // "kmph" holds "mph": the metric keywords must be tested first.
  if (Contains(lowerText, "kmph") || Contains(lowerText, "km/h")) return kKmh;
  if (Contains(lowerText, "mph")) return kMph;
  if (Contains(lowerText, "kn")) return kKnots;
  if (Contains(lowerText, "m/sec")) return kMetersPerSecond;
  return kKmh;
}

double ConvertKmh(double kmh, int speedUnit) {
  switch (speedUnit) {
    case kMph: return kmh * 0.621371192237334;
    case kKnots: return kmh * 0.5399568034557235;
    case kMetersPerSecond: return kmh * 0.2777777777777778;
    default: return kmh;
  }
}

const char* SpeedUnitLabel(int speedUnit) {
  switch (speedUnit) {
    case kMph: return "mph";
    case kKnots: return "kn";
    case kMetersPerSecond: return "m/sec";
    default: return "km/h";
  }
}

uint32_t TickDistance(uint32_t a, uint32_t b) {
  const uint32_t d = a - b;
  return d > 0x7FFFFFFFu ? ~d : d;
}

double GreatCircleDistance(double longitude1, double latitude1, double longitude2, double latitude2) {
  const double phi1 = latitude1 * kRadiansPerDegree;
  const double phi2 = latitude2 * kRadiansPerDegree;
  const double deltaLambda = (longitude2 - longitude1) * kRadiansPerDegree;
  const double cosine = std::sin(phi1) * std::sin(phi2) + std::cos(phi1) * std::cos(phi2) * std::cos(deltaLambda);
  // Rounding may carry the cosine of two nearly equal points past 1, where acos is undefined.
  return kEarthRadiusMetres * std::acos(std::clamp(cosine, -1.0, 1.0));
}

double InitialBearing(double longitude1, double latitude1, double longitude2, double latitude2) {
  const double phi1 = latitude1 * kRadiansPerDegree;
  const double phi2 = latitude2 * kRadiansPerDegree;
  const double deltaLambda = (longitude2 - longitude1) * kRadiansPerDegree;
  double theta = std::atan2(std::sin(deltaLambda) * std::cos(phi2),
                            std::cos(phi1) * std::sin(phi2) - std::sin(phi1) * std::cos(phi2) * std::cos(deltaLambda)) *
                 kDegreesPerRadian;
  if (theta != 0) theta = std::fmod(theta, 360.0);
  if (theta < 0) theta += 360.0;
  return theta >= 360.0 ? 0.0 : theta;
}

}  // namespace gps
