#include "formats/snt/snt_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace snt {
namespace {

bool operator==(const PoiRecord& a, const PoiRecord& b) {
  return a.longitude == b.longitude && a.latitude == b.latitude && a.warnDistance == b.warnDistance &&
         a.height == b.height && a.categoryOffset == b.categoryOffset && a.direction == b.direction;
}

// A whole file built with the encoders reads back field by field, at the offsets the format fixes.
TEST(SntFormat, FileRoundTrip) {
  const std::vector<std::string> texts = {"<-Blitzer", ".Radar.wav"};
  const std::vector<PoiRecord> records = {
      {-1, INT32_MIN, EncodeWarningDistance({15, true}), EncodeHeight(kHeightOffset), 104, 0},
      {1312346, 4805833, EncodeWarningDistance({32767, false}), 0, 116, EncodeDirection(900.0, true)},
      {INT32_MAX, -1, 0xFFFF, 0xFFFF, 116, 0xFFFF},
  };
  std::vector<uint8_t> file(kHeaderSize + 64 + records.size() * kPoiRecordSize, 0xEE);
  size_t end = kFirstCategoryOffset;
  for (const std::string& text : texts) end += EncodeCategoryRecord(text, file.data() + end);
  ASSERT_EQ(end, 104u + 12 + 13);
  const size_t poiOffset = PoiRecordsOffset(end);
  EXPECT_EQ(poiOffset, 136u);
  for (size_t i = 0; i < records.size(); ++i) EncodePoiRecord(records[i], file.data() + poiOffset + i * kPoiRecordSize);
  const Header header{static_cast<uint32_t>(poiOffset + records.size() * kPoiRecordSize), 3, 2,
                      static_cast<uint32_t>(poiOffset)};
  EncodeHeader(header, std::string(90, 'p'), file.data());

  EXPECT_TRUE(HasMagic(file.data()));
  EXPECT_EQ(std::string(file.begin() + 3, file.begin() + 84), std::string(80, 'p') + '\0') << "producer cut to 80";
  const Header read = DecodeHeader(file.data());
  EXPECT_EQ(read.fileLength, header.fileLength);
  EXPECT_EQ(read.poiCount, 3u);
  EXPECT_EQ(read.categoryCount, 2u);
  EXPECT_EQ(read.poiRecordsOffset, 136u);
  EXPECT_EQ(CategoryTextLength(file.data() + 104), 9);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data()) + 116 + kCategoryTextOffset), ".Radar.wav");
  for (size_t i = 0; i < records.size(); ++i) {
    const uint8_t* at = file.data() + poiOffset + i * kPoiRecordSize;
    EXPECT_TRUE(DecodePoiRecord(at) == records[i]) << i;
    EXPECT_EQ(at[18] | at[19], 0) << "reserved";
  }
  file[0] = 'S';
  EXPECT_FALSE(HasMagic(file.data()));
}

TEST(SntFormat, PoiRecordsStartBehindOneToEightZeros) {
  for (const auto& [end, offset] : {std::pair{104, 112}, {112, 120}, {113, 120}, {115, 120}, {119, 120}}) {
    EXPECT_EQ(PoiRecordsOffset(static_cast<size_t>(end)), static_cast<size_t>(offset)) << end;
  }
}

TEST(SntFormat, WarningDistances) {
  EXPECT_EQ(EncodeWarningDistance({15, true}), 0x800F);
  EXPECT_EQ(EncodeWarningDistance({200, false}), 200);
  const WarningDistance seconds = DecodeWarningDistance(0xFFFF);
  EXPECT_TRUE(seconds.seconds);
  EXPECT_EQ(seconds.value, 32767);
  EXPECT_FALSE(DecodeWarningDistance(0x7FFF).seconds);
  // Seconds of travel at the speed, plus the margin; metres whatever the speed.
  EXPECT_DOUBLE_EQ(WarningMetres(0x800A, 25.0), 300.0);
  EXPECT_DOUBLE_EQ(WarningMetres(0x8000, 25.0), 50.0);
  EXPECT_DOUBLE_EQ(WarningMetres(500, 25.0), 500.0);
  EXPECT_DOUBLE_EQ(MetresForSeconds(10, 25.0), WarningMetres(0x800A, 25.0));

  WarningReach reach;
  for (uint16_t code : {uint16_t{500}, uint16_t{0x800A}, uint16_t{7}, uint16_t{0x801E}, uint16_t{0x8005}}) {
    reach.Add(code);
  }
  EXPECT_EQ(reach.maxMetres, 500);
  EXPECT_EQ(reach.maxSeconds, 30);
}

TEST(SntFormat, HeightAndDirectionCodes) {
  EXPECT_EQ(EncodeHeight(kHeightOffset), 0x8ACF);  // 0 m
  EXPECT_EQ(EncodeHeight(-1.0), 0x8000);
  EXPECT_EQ(EncodeHeight(NAN), 0x8000);
  EXPECT_EQ(EncodeHeight(40000.0), 0xFFFF);  // above 30000 m: kept at the top, not wrapped
  EXPECT_EQ(EncodeDirection(900.0, true), 0xC384);
  EXPECT_EQ(EncodeDirection(3599.6, false), 0x8E10);
  EXPECT_EQ(EncodeDirection(-3.0, false), 0x8000);
  EXPECT_DOUBLE_EQ(DirectionDegrees(0xC384), 90.0);
  EXPECT_DOUBLE_EQ(DirectionDegrees(0x0384), -1.0);
  EXPECT_TRUE(AppliesBothWays(0xC384));
  EXPECT_FALSE(AppliesBothWays(0x8384));
}

TEST(SntFormat, FileOrder) {
  EXPECT_TRUE(SortsBefore({.longitude = -5, .latitude = 9}, {.longitude = 1, .latitude = -9}));
  EXPECT_TRUE(SortsBefore({.longitude = 1, .latitude = -9}, {.longitude = 1, .latitude = 3}));
  EXPECT_FALSE(SortsBefore({.longitude = 1, .latitude = 3}, {.longitude = 1, .latitude = 3}));
}

}  // namespace
}  // namespace snt
