#pragma once
// Coordinate, unit and tick helpers that the decoder, the displays and the engine share.

#include <cstdint>
#include <string_view>

namespace gps {

struct DegMin {
  int32_t degrees = 0;
  int32_t minutes = 0;
};

struct DegMinSec {
  int32_t degrees = 0;
  int32_t minutes = 0;
  int32_t seconds = 0;
};

// NMEA dddmm.mmmm (as read by atof) to decimal degrees.
double NmeaToDegrees(double value);

// Splits the raw latitude/longitude text: whole degrees (negative for 'S'/'W'), whole minutes,
// and seconds from the digits after the point taken as ten-thousandths of a minute.
DegMinSec SplitDegreesMinutes(std::string_view text, char16_t hemisphere);

// Decimal degrees to whole degrees and truncated minutes.
DegMin DegreesToDegMin(double degrees);
// Decimal degrees to whole degrees, truncated minutes and rounded seconds.
DegMinSec DegreesToDegMinSec(double degrees);

enum DistanceUnit : int { kMeters = 0, kFeet = 1, kKilometers = 2, kMiles = 3, kNauticalMiles = 4 };
enum SpeedUnit : int { kKmh = 0, kMph = 1, kKnots = 2, kMetersPerSecond = 3 };

// The text must be lower-cased by the caller; keywords are found as substrings.
int ParseDistanceUnit(std::string_view lowerText);
double ConvertMeters(double meters, int distanceUnit);
int ParseSpeedUnit(std::string_view lowerText);
double ConvertKmh(double kmh, int speedUnit);
const char* SpeedUnitLabel(int speedUnit);

// Metres on the sphere (law of cosines) between two points given in degrees. Two points so close
// that rounding lifts the cosine above 1 are 0 m apart: a point at the position itself is listed.
double GreatCircleDistance(double longitude1, double latitude1, double longitude2, double latitude2);
// Degrees clockwise from north, 0 <= bearing < 360, from the first point towards the second; 0 for
// the same point.
double InitialBearing(double longitude1, double latitude1, double longitude2, double latitude2);

// Distance between two 32-bit millisecond ticks that survives the counter's wrap-around.
uint32_t TickDistance(uint32_t a, uint32_t b);

}  // namespace gps
