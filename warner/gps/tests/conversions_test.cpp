#include "warner/gps/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/numbers/lenient_number.h"

namespace gps {
namespace {

TEST(Coordinates, NmeaTextToDecimalDegrees) {
  EXPECT_NEAR(NmeaToDegrees(4807.038), 48.1173, 1e-12);
  EXPECT_NEAR(NmeaToDegrees(1131.0), 11.516666666666667, 1e-12);
  EXPECT_DOUBLE_EQ(NmeaToDegrees(0.0), 0.0);
  EXPECT_NEAR(NmeaToDegrees(17959.9999), 179.99999833333, 1e-9);
  // Absurd values stay finite and never overflow an integer.
  EXPECT_TRUE(std::isfinite(NmeaToDegrees(1e300)));
  EXPECT_EQ(NmeaToDegrees(std::numeric_limits<double>::quiet_NaN()), 0.0);
}

TEST(Coordinates, SplitTakesDigitsAfterThePointAsTenThousandthsOfAMinute) {
  const DegMinSec lat = SplitDegreesMinutes("4807.0380", u'N');
  EXPECT_EQ(lat.degrees, 48);
  EXPECT_EQ(lat.minutes, 7);
  EXPECT_EQ(lat.seconds, 2);
  EXPECT_EQ(SplitDegreesMinutes("4807.038", u'N').seconds, 0);

  const DegMinSec west = SplitDegreesMinutes("01131.0000", u'W');
  EXPECT_EQ(west.degrees, -11);
  EXPECT_EQ(west.minutes, 31);
  EXPECT_EQ(west.seconds, 0);
  EXPECT_EQ(SplitDegreesMinutes("3345.5", u'S').degrees, -33);
  EXPECT_EQ(SplitDegreesMinutes("3345.5", u' ').degrees, 33);
  EXPECT_EQ(SplitDegreesMinutes("", u'N').degrees, 0);
  // Eighteen digits after the point must not overflow the seconds.
  EXPECT_GT(SplitDegreesMinutes("1.999999999999999999", u'N').seconds, 0);
}

TEST(Coordinates, DecimalDegreesToDegreesMinutesSeconds) {
  const DegMin dm = DegreesToDegMin(48.1173);
  EXPECT_EQ(dm.degrees, 48);
  EXPECT_EQ(dm.minutes, 7);
  const DegMinSec dms = DegreesToDegMinSec(48.1173);
  EXPECT_EQ(dms.degrees, 48);
  EXPECT_EQ(dms.minutes, 7);
  EXPECT_EQ(dms.seconds, 2);  // 2.28 s rounded
  EXPECT_EQ(DegreesToDegMinSec(10.5).minutes, 30);
  const DegMinSec negative = DegreesToDegMinSec(-11.5);
  EXPECT_EQ(negative.degrees, -11);
  EXPECT_EQ(negative.minutes, -30);
  EXPECT_EQ(DegreesToDegMin(1e30).degrees, std::numeric_limits<int32_t>::max());
}

TEST(GreatCircle, DistanceAndBearing) {
  const struct {
    double lon1, lat1, lon2, lat2;
    double metres, bearing;
  } cases[] = {
      {11.0, 48.0, 11.1, 48.0, 7440.4, 89.96},      // east, a little north of the great circle's start
      {11.0, 48.0, 11.0, 47.9, 11119.5, 180.0},     // south
      {11.0, 48.0, 10.9, 48.0, 7440.4, 270.04},     // west
      {11.0, 48.0, 11.0, 48.1, 11119.5, 0.0},       // north
      {-179.95, 0.0, 179.95, 0.0, 11119.5, 270.0},  // across the date line
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(GreatCircleDistance(c.lon1, c.lat1, c.lon2, c.lat2), c.metres, 0.1) << c.lon2 << " " << c.lat2;
    EXPECT_NEAR(InitialBearing(c.lon1, c.lat1, c.lon2, c.lat2), c.bearing, 0.01) << c.lon2 << " " << c.lat2;
  }
  // The same point: the cosine may round past 1; the point is 0 m away, due north.
  for (const double latitude : {48.0, 48.137154, 52.520008, -33.91234, 0.5}) {
    EXPECT_EQ(GreatCircleDistance(11.575382, latitude, 11.575382, latitude), 0.0) << latitude;
    EXPECT_EQ(InitialBearing(11.575382, latitude, 11.575382, latitude), 0.0) << latitude;
  }
}

TEST(Units, KeywordsAreSearchedInTheirOrder) {
  EXPECT_EQ(ParseDistanceUnit("ft"), kFeet);
  EXPECT_EQ(ParseDistanceUnit("dist km"), kKilometers);
  EXPECT_EQ(ParseDistanceUnit("miles"), kMiles);
  EXPECT_EQ(ParseDistanceUnit("nm"), kNauticalMiles);
  EXPECT_EQ(ParseDistanceUnit("meter"), kMeters);
  EXPECT_EQ(ParseSpeedUnit("kmph"), kKmh);  // holds "mph" but is metric
  EXPECT_EQ(ParseSpeedUnit("km/h"), kKmh);
  EXPECT_EQ(ParseSpeedUnit("mph"), kMph);
  EXPECT_EQ(ParseSpeedUnit("kn"), kKnots);
  EXPECT_EQ(ParseSpeedUnit("m/sec"), kMetersPerSecond);
  EXPECT_EQ(ParseSpeedUnit(""), kKmh);
  EXPECT_STREQ(SpeedUnitLabel(kMetersPerSecond), "m/sec");
  EXPECT_STREQ(SpeedUnitLabel(42), "km/h");
}

TEST(Units, Conversions) {
  EXPECT_NEAR(ConvertMeters(1000, kFeet), 3280.839895013123, 1e-9);
  EXPECT_DOUBLE_EQ(ConvertMeters(1500, kKilometers), 1.5);
  EXPECT_NEAR(ConvertMeters(1609.344, kMiles), 1.0, 1e-12);
  EXPECT_NEAR(ConvertMeters(1852, kNauticalMiles), 1.0, 1e-12);
  EXPECT_NEAR(ConvertKmh(100, kMph), 62.1371192237334, 1e-12);
  EXPECT_NEAR(ConvertKmh(1.852, kKnots), 1.0, 1e-12);
  EXPECT_NEAR(ConvertKmh(36, kMetersPerSecond), 10.0, 1e-12);
}

TEST(Ticks, DistanceSurvivesTheWrapAround) {
  EXPECT_EQ(TickDistance(1500, 1000), 500u);
  EXPECT_EQ(TickDistance(1000, 1500), 499u);  // complement of -500
  EXPECT_EQ(TickDistance(0x00000010u, 0xFFFFFFF0u), 0x20u);
  EXPECT_EQ(TickDistance(0xFFFFFFF0u, 0x00000010u), 0x1Fu);
  EXPECT_EQ(TickDistance(7, 7), 0u);
}

TEST(Numbers, ReadLikeTheCLibraryWithoutItsHazards) {
  EXPECT_EQ(platform::ReadLeadingInt("  -42xyz", platform::kNmeaNumbers), -42);
  EXPECT_EQ(platform::ReadLeadingInt("+7", platform::kNmeaNumbers), 7);
  EXPECT_EQ(platform::ReadLeadingInt("abc", platform::kNmeaNumbers), 0);
  EXPECT_EQ(platform::ReadLeadingInt("99999999999999999999", platform::kNmeaNumbers),
            std::numeric_limits<int32_t>::max());
  EXPECT_EQ(platform::ReadLeadingInt("-99999999999999999999", platform::kNmeaNumbers),
            std::numeric_limits<int32_t>::min());
  EXPECT_DOUBLE_EQ(platform::ReadLeadingReal("022.4", platform::kNmeaNumbers).value, 22.4);
  EXPECT_DOUBLE_EQ(platform::ReadLeadingReal(" -3.5e2m", platform::kNmeaNumbers).value, -350.0);
  EXPECT_DOUBLE_EQ(platform::ReadLeadingReal("+1.5", platform::kNmeaNumbers).value, 1.5);
  EXPECT_DOUBLE_EQ(platform::ReadLeadingReal("+-1", platform::kNmeaNumbers).value, 0.0);
  EXPECT_DOUBLE_EQ(platform::ReadLeadingReal("1,5", platform::kNmeaNumbers).value,
                   1.0);  // the point is the only decimal separator
  EXPECT_DOUBLE_EQ(platform::ReadLeadingReal("inf", platform::kNmeaNumbers).value, 0.0);
  EXPECT_DOUBLE_EQ(platform::ReadLeadingReal("nan", platform::kNmeaNumbers).value, 0.0);
  EXPECT_DOUBLE_EQ(platform::ReadLeadingReal("1e999", platform::kNmeaNumbers).value, 0.0);
  EXPECT_DOUBLE_EQ(platform::ReadLeadingReal("", platform::kNmeaNumbers).value, 0.0);
}

}  // namespace
}  // namespace gps
