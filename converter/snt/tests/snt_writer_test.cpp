#include "converter/snt/snt_writer.h"
#include "converter/common/testing/captured_log.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace converter {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

std::string WithoutBlanks(std::string text) {
  std::erase_if(text, [](char c) { return c == ' ' || c == '\n'; });
  return text;
}

std::string Zeros(size_t count) { return std::string(2 * count, '0'); }

using converter::testing::CapturedLog;

class SntWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("snt_writer_test_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    config_.waypostPath = (dir_ / "Sentry.snt").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  void AddSub(const std::string& name, const std::string& wav, const std::string& distance = "") {
    SubcategoryConfig sub;
    sub.subGroup = name;
    sub.wavFile = wav;
    sub.sentryDistance = distance;
    config_.subcategories.push_back(sub);
  }
  ParsedPoi& AddPoi(int subcategory, int32_t x100k, int32_t y100k) {
    ParsedPoi& poi = pois_.emplace_back();
    poi.subcategory = subcategory;
    poi.x100k = x100k;
    poi.y100k = y100k;
    return poi;
  }
  int Write(std::string_view producer = "P") {
    return WriteSntDatabase(config_, pois_, producer, log_.log(), counters_);
  }
  std::string FileHex() { return Hex(ReadFile(config_.waypostPath)); }

  fs::path dir_;
  ConverterConfig config_;
  std::vector<ParsedPoi> pois_;
  CapturedLog log_;
  RunCounters counters_;
};

TEST_F(SntWriterTest, WritesHeaderCategoriesPaddingAndRecords) {
  AddSub("Blitzer", "<-", "15s");  // record text <-Blitzer, 12 bytes at 104
  AddSub("Info", "");              // no sound: neither record nor POIs
  AddSub("Danger", "a.wav");       // 8 bytes at 116, ends at 124: POIs from 128
  ParsedPoi& first = AddPoi(0, 1312346, -1);
  first.heightFlags = 0x8000;
  first.heightPlus = 2767.0;
  first.directionFlags = 0xC000;
  first.directionTenths = 900.0;
  AddPoi(1, 1350000, 0);
  AddPoi(2, 1350001, 100);
  ParsedPoi& last = AddPoi(0, 1400000, 0);
  last.directionFlags = 0x8000;
  last.directionTenths = 3599.6;
  counters_.warningPois = 1;

  ASSERT_EQ(Write(), 0);
  EXPECT_EQ(counters_.warningPois, 4);
  EXPECT_EQ(log_.Text(), "");
  const std::string expected = WithoutBlanks("736e74 50" + Zeros(79) +
                                             " 00 bc000000 03000000 02000000 80000000 00000000"
                                             " 0900 3c2d426c69747a6572 00"
                                             " 0500 612e776176 00"
                                             " 00000000"
                                             " 5a061400 ffffffff 0f80 cf8a 68000000 84c3 0000"
                                             " 71991400 64000000 c800 0000 74000000 0000 0000"
                                             " c05c1500 00000000 0f80 0000 68000000 108e 0000");
  EXPECT_EQ(FileHex(), expected);
}

TEST_F(SntWriterTest, PaddingReachesTheNextMultipleOfEightPlusOne) {
  // Records ending at 112 get 8 zero bytes, at 115 five; a sound without POIs still has its record.
  AddSub("A", "abcde");
  ASSERT_EQ(Write(""), 0);
  EXPECT_EQ(FileHex(), WithoutBlanks(Zeros(0) + "736e74" + Zeros(81) + "78000000 00000000 01000000 78000000" +
                                     Zeros(4) + "0500 6162636465 00" + Zeros(8)));
  config_.subcategories[0].wavFile = "abcdefgh";
  ASSERT_EQ(Write(""), 0);
  const std::string bytes = ReadFile(config_.waypostPath);
  ASSERT_EQ(bytes.size(), 120u);
  EXPECT_EQ(Hex(bytes.substr(104)), WithoutBlanks("0800 6162636465666768 00" + Zeros(5)));
  EXPECT_EQ(counters_.warningPois, 0);
}

TEST_F(SntWriterTest, ProducerTextFillsEightyBytesAtMost) {
  AddSub("A", "abcde");
  const std::string eighty(80, 'p');
  ASSERT_EQ(Write(eighty + "cut"), 0);
  const std::string bytes = ReadFile(config_.waypostPath);
  EXPECT_EQ(bytes.substr(3, 80), eighty);
  EXPECT_EQ(bytes[83], '\0');
}

TEST_F(SntWriterTest, NoSoundAnywhereWritesNothing) {
  AddSub("A", "");
  AddPoi(0, 1, 1);
  std::ofstream(config_.waypostPath, std::ios::binary) << "old";
  ASSERT_EQ(Write(), 0);
  EXPECT_EQ(ReadFile(config_.waypostPath), "old");
  EXPECT_EQ(counters_.warningPois, 0);
  config_.waypostPath.clear();  // not even looked at
  EXPECT_EQ(Write(), 0);
  EXPECT_EQ(log_.Text(), "");
}

TEST_F(SntWriterTest, FailuresAreReported) {
  AddSub("A", "a.wav");
  AddPoi(0, 1, 1);
  config_.waypostPath.clear();
  EXPECT_EQ(Write(), -1);
  EXPECT_EQ(log_.Text(), "### Can't open file 'the sentry file' for write. Reason: No valid filename. ###\n");

  CapturedLog missingLog;
  config_.waypostPath = (dir_ / "missing" / "Sentry.snt").string();
  EXPECT_EQ(WriteSntDatabase(config_, pois_, "P", missingLog.log(), counters_), -1);
  EXPECT_EQ(missingLog.Text(),
            "### Can't open file '" + config_.waypostPath + "' for write. Reason: No such file or directory. ###\n");

  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  CapturedLog fullLog;
  config_.waypostPath = "/dev/full";
  EXPECT_EQ(WriteSntDatabase(config_, pois_, "P", fullLog.log(), counters_), -1);
  EXPECT_EQ(fullLog.Text(), "### Can't write to file '/dev/full'. Reason: No space left on device. ###\n");
}

TEST(SntFields, SentryDistanceCodes) {
  const std::pair<const char*, uint16_t> cases[] = {
      {"", 200},        {"0.5km", 500},     {"15s", 0x800F},  {"100000", 32767}, {"abc", 200},
      {"0", 200},       {"-5", 200},        {"-5s", 0x800A},  {"s", 0x800A},     {"1nm", 1852},
      {"2mi", 3218},    {"10 FT", 3},       {"1.5 KM", 1500}, {"5 miles", 8046}, {"  12", 12},
      {"1e999", 32767}, {"40000s", 0xFFFF}, {"nm", 200},      {"0x10", 200},     {"250 m", 250},
  };
  for (const auto& [text, code] : cases) EXPECT_EQ(SentryDistanceCode(text), code) << text;
  // A positive distance below one unit stays a distance instead of dropping to 0.
  EXPECT_EQ(SentryDistanceCode("0.5"), 1);
  EXPECT_EQ(SentryDistanceCode("0.2s"), 0x8001);
}

TEST(SntFields, HeightCodes) {
  ParsedPoi poi;
  EXPECT_EQ(HeightCode(poi), 0);
  poi.heightFlags = 0x8000;
  poi.heightPlus = 2767.0;  // 0 m
  EXPECT_EQ(HeightCode(poi), 0x8ACF);
  poi.heightPlus = 2767.9;
  EXPECT_EQ(HeightCode(poi), 0x8ACF);
  poi.heightPlus = 0.0;  // -2767 m
  EXPECT_EQ(HeightCode(poi), 0x8000);
  poi.heightPlus = 32767.0;  // 30000 m
  EXPECT_EQ(HeightCode(poi), 0xFFFF);
  // Above 30000 m the height stays at the top instead of wrapping into a low one.
  poi.heightPlus = 34767.0;
  EXPECT_EQ(HeightCode(poi), 0xFFFF);
  poi.heightPlus = 30001.0 + 2767.0;
  EXPECT_EQ(HeightCode(poi), 0xFFFF);
}

TEST(SntFields, DirectionCodes) {
  ParsedPoi poi;
  poi.directionTenths = 900.0;
  EXPECT_EQ(DirectionCode(poi), 0);
  poi.directionFlags = 0xC000;
  EXPECT_EQ(DirectionCode(poi), 0xC384);
  poi.directionFlags = 0x8000;
  poi.directionTenths = 3599.6;
  EXPECT_EQ(DirectionCode(poi), 0x8E10);
  poi.directionTenths = 3599.4;
  EXPECT_EQ(DirectionCode(poi), 0x8E0F);
  poi.directionTenths = 0.5;
  EXPECT_EQ(DirectionCode(poi), 0x8001);
  poi.directionTenths = 0.0;
  EXPECT_EQ(DirectionCode(poi), 0x8000);
}

TEST(SntFields, CategoryTexts) {
  SubcategoryConfig sub;
  sub.subGroup = "Blitzer";
  sub.wavFile = "<-";
  EXPECT_EQ(SntCategoryText(sub), "<-Blitzer");
  sub.wavFile = "<-anything";
  EXPECT_EQ(SntCategoryText(sub), "<-Blitzer");
  sub.wavFile = ".\\Sounds\\cam.wav";
  EXPECT_EQ(SntCategoryText(sub), ".\\Sounds\\cam.wav");
  sub.wavFile = "<";
  EXPECT_EQ(SntCategoryText(sub), "<");
}

}  // namespace
}  // namespace converter
