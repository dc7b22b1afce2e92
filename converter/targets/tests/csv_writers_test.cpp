#include "converter/targets/csv_writers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "converter/targets/target_file.h"
#include "converter/targets/tests/target_test_util.h"

namespace converter::testing {
namespace {

class MapAndGuideCsvTest : public TargetTest {
 protected:
  void SetUp() override {
    TargetTest::SetUp();
    config_.target = TargetSystem::kMapAndGuideCsv;
    config_.subcategories = {Sub("Cams", 7), Sub("Ped", 12)};
    config_.subcategories[0].bitmapFile = MakeBitmap("cams.bmp", Bitmap(16, "ok"));
    config_.subcategories[1].bitmapFile = MakeBitmap("ped.bmp", Bitmap(14, ""));
  }
};

TEST_F(MapAndGuideCsvTest, FolderPerSubcategoryWithCsvAndBitmap) {
  // The destination's parents are made along with the subcategory folders.
  config_.destinationDirectory = dir_.string() + "\\out\\deep\\";
  const std::vector<ParsedPoi> pois = {Poi(0, -0.000004, 52.3, "Cam 1"), Poi(1, 1.5, -2.25, ""), Poi(0, 13.5, 0, "x")};
  ASSERT_EQ(WriteMapAndGuideCsv(config_, pois, texts_, *log_), 0);

  const fs::path out = dir_ / "out" / "deep";
  EXPECT_EQ(ReadBytes(out / "Cams.adr" / "Cams.csv"),
            "-0.00000,52.30000,\"Cam 1\",\"\",\"\",\"\",\"\",\"\",7\n"
            "13.50000,0.00000,\"x\",\"\",\"\",\"\",\"\",\"\",7\n");
  EXPECT_EQ(ReadBytes(out / "Ped.adr" / "Ped.csv"), "1.50000,-2.25000,\"\",\"\",\"\",\"\",\"\",\"\",12\n")
      << "an empty text still stands as an empty quoted field";
  EXPECT_EQ(ReadBytes(out / "Cams.adr" / "Cams.bmp"), Bitmap(16, "ok"));
  EXPECT_EQ(ReadBytes(out / "Ped.adr" / "Ped.bmp"), Bitmap(14, ""));
  EXPECT_EQ(LogText(), "");
}

TEST_F(MapAndGuideCsvTest, NamesLongerThanThirteenAreRefusedBeforeAnythingIsWritten) {
  config_.subcategories[0].subGroup = "Thirteen_char";
  config_.subcategories[1].subGroup = "Fourteen_chars";
  EXPECT_EQ(WriteMapAndGuideCsv(config_, {}, texts_, *log_), -1);
  EXPECT_EQ(LogText(),
            "### The subcategory name 'Fourteen_chars' is too long for MuG, max 13 characters allowed. ###\n");
  EXPECT_FALSE(fs::exists(dir_ / "Thirteen_char.adr"));

  config_.subcategories.pop_back();
  EXPECT_EQ(WriteMapAndGuideCsv(config_, {}, texts_, *log_), 0);
  EXPECT_EQ(ReadBytes(dir_ / "Thirteen_char.adr" / "Thirteen_char.csv"), "");
}

TEST_F(MapAndGuideCsvTest, AFileInTheWayOfTheFolder) {
  WriteBytes(dir_ / "Cams.adr", "");
  EXPECT_EQ(WriteMapAndGuideCsv(config_, {}, texts_, *log_), -1);
  EXPECT_EQ(LogText(), "### Can't create the directory '" + config_.destinationDirectory +
                           "Cams.adr\\'. Reason: The system cannot find the path specified. ###\n");
}

class DestinatorCsvTest : public TargetTest {
 protected:
  void SetUp() override {
    TargetTest::SetUp();
    config_.target = TargetSystem::kDestinatorCsv;
    config_.subcategories = {Sub("Cams", 7), Sub("Bob's", 3)};
    config_.subcategories[0].bitmapFile = MakeBitmap("cams.bmp", Bitmap(16, "ok"));
    config_.subcategories[1].bitmapFile = MakeBitmap("bob.bmp", Bitmap(15, "!"));
  }
};

TEST_F(DestinatorCsvTest, QuotesOnlyTextsWithCommaApostropheOrSemicolon) {
  const std::vector<ParsedPoi> pois = {Poi(0, 1, 2, "A,B"), Poi(1, 3, 4, "plain"), Poi(0, 5.5, -6, "semi;colon"),
                                       Poi(0, 7, 8, "it's"), Poi(0, -9.75, 10, "")};
  ASSERT_EQ(WriteDestinatorCsv(config_, pois, texts_, *log_), 0);
  EXPECT_EQ(Out("Cams.csv"),
            "\"A,B\",Cams,1.00000,2.00000,,,,\n"
            "\"semi;colon\",Cams,5.50000,-6.00000,,,,\n"
            "\"it's\",Cams,7.00000,8.00000,,,,\n"
            ",Cams,-9.75000,10.00000,,,,\n");
  EXPECT_EQ(Out("Bob's.csv"), "plain,\"Bob's\",3.00000,4.00000,,,,\n");
  EXPECT_EQ(Out("Cams.bmp"), Bitmap(16, "ok"));
  EXPECT_EQ(Out("Bob's.bmp"), Bitmap(15, "!"));
  EXPECT_EQ(LogText(), "");
}

TEST_F(DestinatorCsvTest, ABitmapThatCannotBeCopiedStopsAfterTheCsv) {
  for (const std::string& source : {std::string(), (dir_ / "none.bmp").string()}) {
    SCOPED_TRACE(source);
    config_.subcategories[0].bitmapFile = source;
    const size_t logged = LogText().size();
    EXPECT_EQ(WriteDestinatorCsv(config_, {Poi(0, 1, 2, "a")}, texts_, *log_), -1);
    EXPECT_EQ(LogText().substr(logged), "### Can't copy '" + source + "' to '" + config_.destinationDirectory +
                                            "Cams.bmp'. Reason: No such file or directory. ###\n");
    EXPECT_EQ(Out("Cams.csv"), "a,Cams,1.00000,2.00000,,,,\n");
    EXPECT_FALSE(fs::exists(dir_ / "Bob's.csv"));
  }
}

TEST_F(TargetTest, FailedWritesAreReportedOnClose) {
  OutputFile out(*log_);
  ASSERT_TRUE(out.Open("/dev/full"));
  out.Write("abc");
  out.Write(std::string(200000, 'x'));  // larger than the buffer: written straight through
  EXPECT_EQ(out.Position(), 200003u);
  EXPECT_FALSE(out.Close());
  EXPECT_EQ(LogText(), "### Can't write to file '/dev/full'. Reason: No space left on device. ###\n");
}

TEST_F(TargetTest, ACsvThatCannotBeCreatedIsNamedWithTheReason) {
  config_.destinationDirectory = (dir_ / "missing").string() + "\\";
  config_.subcategories = {Sub("Cams", 7)};
  EXPECT_EQ(WriteDestinatorCsv(config_, {}, texts_, *log_), -1);
  EXPECT_EQ(LogText(), "### Can't open file '" + config_.destinationDirectory +
                           "Cams.csv' for write. Reason: No such file or directory. ###\n");
}

TEST(FormatCoordinate, MatchesPrintfInTheCLocale) {
  const double values[] = {0.0,         -0.0,       -0.000004, -0.000005, 0.000005, 13.123456,
                           -179.999995, 359.999999, 52.3,      1e-7,      0.125,    7.000015};
  for (const double value : values) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.5f", value);
    char text[kCoordinateTextSize];
    const size_t length = FormatCoordinate(value, text);
    EXPECT_EQ(std::string(text, length), expected) << value;
  }
}

TEST(SubcategoryBuckets, KeepsArrayOrderAndDropsUnknownSubcategories) {
  std::vector<ParsedPoi> pois(6);
  const int subs[] = {2, 0, 2, 5, -1, 0};
  for (size_t i = 0; i < 6; ++i) pois[i].subcategory = subs[i];
  const SubcategoryBuckets buckets(3, pois);
  auto list = [&](size_t s) {
    const auto of = buckets.Of(s);
    return std::vector<uint32_t>(of.begin(), of.end());
  };
  EXPECT_EQ(list(0), (std::vector<uint32_t>{1, 5}));
  EXPECT_EQ(list(1), std::vector<uint32_t>{});
  EXPECT_EQ(list(2), (std::vector<uint32_t>{0, 2}));
}

}  // namespace
}  // namespace converter::testing
