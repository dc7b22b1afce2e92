#include "warner/gps/nmea_sentence.h"

#include <gtest/gtest.h>

#include <string>

namespace gps {
namespace {

std::string FieldOf(const NmeaSentence& s, int n, size_t max = kFieldMax) {
  std::string_view out;
  return s.Field(n, max, out) ? std::string(out) : std::string("<fail>");
}

TEST(NmeaSentence, FieldsEndAtCommaStarOrLineEnd) {
  const NmeaSentence s("$GPXXX,a,,bc*7F\r\n");
  EXPECT_EQ(FieldOf(s, 0), "$GPXXX");
  EXPECT_EQ(FieldOf(s, 1), "a");
  EXPECT_EQ(FieldOf(s, 2), "");
  EXPECT_EQ(FieldOf(s, 3), "bc");
  EXPECT_EQ(FieldOf(s, 4), "<fail>");  // the checksum is no field
  EXPECT_EQ(FieldOf(s, -1), "<fail>");
  EXPECT_EQ(FieldOf(s, 3, 1), "<fail>");  // longer than its buffer
}

TEST(NmeaSentence, FieldsBeyondTheIndexedOnesAreFoundByScanning) {
  std::string text = "$GPXXX";
  for (int i = 1; i <= 20; ++i) text += "," + std::to_string(i);
  text += "\r\n";
  const NmeaSentence s(text);
  for (int i = 1; i <= 20; ++i) EXPECT_EQ(FieldOf(s, i), std::to_string(i));
  EXPECT_EQ(FieldOf(s, 21), "<fail>");
}

TEST(NmeaSentence, TextEndsAtTheFirstNul) {
  const NmeaSentence s(std::string_view("$GPXXX,1\0,2\n", 12));
  EXPECT_EQ(s.Text(), "$GPXXX,1");
  EXPECT_EQ(FieldOf(s, 2), "<fail>");
}

TEST(NmeaSentence, ChecksumCoversDollarToFirstStarAndIsReadAfterTheLast) {
  EXPECT_TRUE(NmeaSentence("$A,B*2F\r\n").ChecksumValid());
  EXPECT_TRUE(NmeaSentence("$A,B*2F").ChecksumValid());
  EXPECT_FALSE(NmeaSentence("$A,B*2F \r\n").ChecksumValid());
  // Computed up to the first star (A ^ , = 0x6D), transmitted after the last.
  EXPECT_TRUE(NmeaSentence("$A,*x*6D\r\n").ChecksumValid());
  EXPECT_FALSE(NmeaSentence("$A,B*\r\n").ChecksumValid());
  EXPECT_FALSE(NmeaSentence("$A,B").ChecksumValid());
  EXPECT_TRUE(NmeaSentence("$A,B*2F").HasCommaBeforeChecksum());
  EXPECT_FALSE(NmeaSentence("$AB*00,").HasCommaBeforeChecksum());
}

}  // namespace
}  // namespace gps
