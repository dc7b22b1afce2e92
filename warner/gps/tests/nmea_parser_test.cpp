#include <gtest/gtest.h>

#include <string>

#include "warner/gps/nmea_decoder.h"
#include "warner/gps/tests/nmea_test_util.h"

namespace gps {
namespace {

using testing::FramerHarness;
using testing::kGgaFix;
using testing::kRmc;
using testing::kVtg;
using testing::Nmea;

const std::string kGgaNoFix = Nmea("GPGGA,123521,,,,,0,03,,,M,,M,,");

TEST(Rmc, TheReferenceSentenceGivesTheWholeFix) {
  ASSERT_EQ(kRmc, "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n");
  FramerHarness h;
  EXPECT_EQ(h.Parse(kRmc), kParseFix);
  const GpsFix f = h.decoder.Snapshot();
  EXPECT_EQ(f.hour, 12);
  EXPECT_EQ(f.minute, 35);
  EXPECT_EQ(f.second, 19);
  EXPECT_EQ(f.millisecond, 0);
  EXPECT_EQ(f.timeOfDayMs, 45319000);
  EXPECT_NEAR(f.latitude, 48.1173, 1e-12);
  EXPECT_NEAR(f.longitude, 11.516666666666667, 1e-12);
  EXPECT_DOUBLE_EQ(f.speedKmh, 22.4 * 1.852);
  EXPECT_DOUBLE_EQ(f.course, 84.4);
  EXPECT_EQ(f.day, 23);
  EXPECT_EQ(f.month, 3);
  EXPECT_EQ(f.year, 94);
  EXPECT_EQ(f.validMask, 0x207u);
  EXPECT_EQ(f.fixQuality, 1);
  EXPECT_EQ(f.lastSentenceType, kSentenceRmc);
  EXPECT_EQ(f.latHemisphere, u'N');
  EXPECT_EQ(f.lonHemisphere, u'E');
  EXPECT_EQ(f.latDegrees, 48);
  EXPECT_EQ(f.latMinutes, 7);
  EXPECT_EQ(f.lonDegrees, 11);
  EXPECT_EQ(f.lonMinutes, 31);
}

TEST(Rmc, NoFixKeepsTheLastPositionAndClearsItsBits) {
  FramerHarness h;
  h.Parse(kRmc);
  EXPECT_EQ(h.Parse(Nmea("GPRMC,123600,V,,,,,,,,,")), kParseNoFix);
  GpsFix f = h.decoder.Snapshot();
  EXPECT_EQ(f.validMask, 0u);
  EXPECT_EQ(f.fixQuality, 0);
  EXPECT_EQ(f.minute, 36);
  EXPECT_NEAR(f.latitude, 48.1173, 1e-12);
  EXPECT_EQ(f.badSentenceCount, 1);
  // Without a status field it is a no-fix sentence too, not a rejection.
  EXPECT_EQ(h.Parse(Nmea("GPRMC,123601")), kParseNoFix);
  EXPECT_EQ(h.decoder.Snapshot().badSentenceCount, 2);
}

TEST(Rmc, NegativeCourseAndShortDate) {
  FramerHarness h;
  EXPECT_EQ(h.Parse(Nmea("GPRMC,000000,A,0000.000,N,00000.000,E,0,-90.0,2303,,")), kParseFix);
  const GpsFix f = h.decoder.Snapshot();
  EXPECT_DOUBLE_EQ(f.course, 270.0);
  EXPECT_EQ(f.day, 23);
  EXPECT_EQ(f.month, 3);
  EXPECT_EQ(f.year, 0);
}

TEST(Checksum, MalformedOrWrongChecksumsAreRejected) {
  std::string lower = kRmc;
  lower.replace(lower.find("*6A"), 3, "*6a");
  const std::string cases[] = {
      lower,
      "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W\r\n",      // none
      "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6B\r\n",   // wrong
      "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6\r\n",    // one digit
      "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A0\r\n",  // three
      Nmea("GPRMC"),                                                                // no comma before the checksum
      Nmea("GPRMCX,123519,A"),  // address longer than six characters
      Nmea("GPRMC,12351,A"),    // short time field
      Nmea("GPGGA"),
  };
  FramerHarness h;
  int bad = 0;
  for (const std::string& s : cases) {
    EXPECT_EQ(h.Parse(s), kParseRejected) << s;
    EXPECT_EQ(h.decoder.Snapshot().badSentenceCount, ++bad);
  }
  EXPECT_EQ(h.decoder.Snapshot().validMask, 0u);
  EXPECT_EQ(h.decoder.Snapshot().lastSentenceType, kSentenceGga);
}

TEST(Checksum, ANulByteEndsTheTextTheParserSees) {
  FramerHarness h;
  std::string withNul = kRmc;
  withNul[20] = '\x80';  // becomes NUL once bit 7 is cleared
  EXPECT_EQ(h.Parse(withNul), kParseRejected);
}

TEST(Gga, FixWithMillisecondsAndSouthWest) {
  FramerHarness h;
  EXPECT_EQ(h.Parse(kGgaFix), kParseFix);
  const GpsFix f = h.decoder.Snapshot();
  EXPECT_EQ(f.millisecond, 250);
  EXPECT_EQ(f.timeOfDayMs, 45320250);
  EXPECT_NEAR(f.latitude, -48.1173, 1e-12);
  EXPECT_NEAR(f.longitude, -11.516666666666667, 1e-12);
  EXPECT_EQ(f.latDegrees, -48);
  EXPECT_EQ(f.lonDegrees, -11);
  EXPECT_EQ(f.satellites, 8);
  EXPECT_DOUBLE_EQ(f.hdop, 0.9);
  EXPECT_DOUBLE_EQ(f.altitude, 545.4);
  EXPECT_DOUBLE_EQ(f.geoidSeparation, 46.9);
  EXPECT_EQ(f.geoidSeparationUnit, u'M');
  EXPECT_EQ(f.validMask, 0x119u);
  EXPECT_EQ(f.badSentenceCount, 0);
}

TEST(Gga, QualityZeroUpdatesTimeAndSatellitesAndClearsItsBits) {
  FramerHarness h;
  h.Parse(kRmc);
  h.Parse(kGgaFix);
  EXPECT_EQ(h.Parse(kGgaNoFix), kParseNoFix);
  const GpsFix f = h.decoder.Snapshot();
  EXPECT_EQ(f.validMask, 0x200u);  // 0x51F cleared, the RMC bit stays
  EXPECT_EQ(f.second, 21);
  EXPECT_EQ(f.satellites, 3);
  EXPECT_EQ(f.fixQuality, 0);
  EXPECT_NEAR(f.latitude, -48.1173, 1e-12);
  EXPECT_EQ(f.badSentenceCount, 1);
}

TEST(Gga, AFieldErrorKeepsWhatWasReadBeforeIt) {
  FramerHarness h;
  // A latitude text longer than 18 characters ends the parse: quality stays 0.
  EXPECT_EQ(h.Parse(Nmea("GPGGA,123519,4807.0380000000000000,N,01131.000,E,1,08")), kParseNoFix);
  // Fields after the time missing entirely: a no-fix sentence, not a rejection.
  EXPECT_EQ(h.Parse(Nmea("GPGGA,123519")), kParseNoFix);
  // Only the trailing station fields missing: everything before them is used.
  EXPECT_EQ(h.Parse(Nmea("GPGGA,123519,4807.038,N,01131.000,E,2,05,1.5,10.0,M,1.0")), kParseFix);
  const GpsFix f = h.decoder.Snapshot();
  EXPECT_EQ(f.fixQuality, 2);
  EXPECT_DOUBLE_EQ(f.geoidSeparation, 1.0);
  EXPECT_EQ(f.geoidSeparationUnit, u' ');
}

TEST(Time, MillisecondsFromUpToThreeDigits) {
  FramerHarness h;
  h.Parse(Nmea("GPGGA,123519.5,,,,,0,00,,,M,,M,,"));
  EXPECT_EQ(h.decoder.Snapshot().millisecond, 500);
  h.Parse(Nmea("GPGGA,123519.1234,,,,,0,00,,,M,,M,,"));
  EXPECT_EQ(h.decoder.Snapshot().millisecond, 123);
  h.Parse(Nmea("GPGGA,123519.,,,,,0,00,,,M,,M,,"));
  EXPECT_EQ(h.decoder.Snapshot().millisecond, 0);
  h.Parse(Nmea("GPGGA,123519.0x5,,,,,0,00,,,M,,M,,"));
  EXPECT_EQ(h.decoder.Snapshot().millisecond, 0);
}

TEST(Time, NonDigitsAreTakenAsTheyComeWithoutOverflow) {
  FramerHarness h;
  h.Parse(Nmea("GPGGA,~~~~~~,,,,,0,00,,,M,,M,,"));
  const GpsFix f = h.decoder.Snapshot();
  EXPECT_EQ(f.hour, 78 * 10 + 78);
  EXPECT_NE(f.timeOfDayMs, 0);
}

TEST(Vtg, OnlyTakenAfterAGgaFix) {
  FramerHarness h;
  h.Parse(kRmc);
  const GpsFix before = h.decoder.Snapshot();
  h.Parse(std::string(300, 'x'));  // one framing error
  EXPECT_EQ(h.Parse(kVtg), kParseVtg);
  GpsFix f = h.decoder.Snapshot();
  EXPECT_EQ(f.lastSentenceType, kSentenceVtg);
  EXPECT_EQ(f.badSentenceCount, 0);
  EXPECT_EQ(f.validMask, before.validMask);
  EXPECT_DOUBLE_EQ(f.course, before.course);

  h.Parse(kGgaFix);
  EXPECT_EQ(h.Parse(kVtg), kParseVtg);
  f = h.decoder.Snapshot();
  EXPECT_EQ(f.validMask & 0x406u, 0x406u);
  EXPECT_DOUBLE_EQ(f.course, 54.7);
  EXPECT_DOUBLE_EQ(f.speedKmh, 10.2);
}

TEST(Vtg, AMissingFieldRejectsIt) {
  FramerHarness h;
  EXPECT_EQ(h.Parse(Nmea("GPVTG,054.7,T,034.4,M,005.5,N")), kParseRejected);
  EXPECT_EQ(h.Parse(Nmea("GPVTG,,,,,,,,")), kParseVtg);  // empty fields are present fields
  EXPECT_EQ(h.decoder.Snapshot().badSentenceCount, 0);
}

TEST(Selection, OtherSentencesAndTalkersAreIgnored) {
  FramerHarness h;
  h.Parse(Nmea("GPRMC,12"));  // rejected: one bad sentence
  for (const char* body : {"GPGSV,3,1,11,03,03,111,00", "GNRMC,123519,A", "GPGSA,A,3", "GP"}) {
    EXPECT_EQ(h.Parse(Nmea(body)), kParseIgnored) << body;
    EXPECT_EQ(h.decoder.Snapshot().lastSentenceType, kSentenceOther);
  }
  EXPECT_EQ(h.decoder.Snapshot().badSentenceCount, 1);
}

TEST(Validity, GgaAndVtgCompleteARecordOnlyTogether) {
  FramerHarness h;
  h.Parse(kGgaFix);
  EXPECT_NE(h.decoder.Snapshot().validMask & kValidFixComplete, kValidFixComplete);
  h.Parse(kVtg);
  EXPECT_EQ(h.decoder.Snapshot().validMask & kValidFixComplete, kValidFixComplete);
}

}  // namespace
}  // namespace gps
