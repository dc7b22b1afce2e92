#include "converter/poi_list/poi_list_reader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "converter/common/testing/captured_log.h"
#include "converter/poi_list/line_reader.h"

namespace converter {
namespace {

namespace fs = std::filesystem;

using converter::testing::CapturedLog;

class PoiListReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("poi_list_test_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string WriteList(const std::string& name, const std::string& content) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }
  SubcategoryConfig& AddList(const std::string& name, const std::string& content, char separator = ',') {
    SubcategoryConfig sub;
    sub.subGroup = name;
    sub.ascFile = WriteList(name, content);
    sub.separator = separator;
    sub.categoryNumber = static_cast<int16_t>(config_.subcategories.size() + 10);
    config_.subcategories.push_back(sub);
    return config_.subcategories.back();
  }
  int Read(const PoiListLimits& limits = PoiListLimits{}) {
    return ReadPoiLists(config_, log_.log(), counters_, pois_, texts_, limits);
  }

  fs::path dir_;
  ConverterConfig config_;
  CapturedLog log_;
  RunCounters counters_;
  std::vector<ParsedPoi> pois_;
  PoiTexts texts_;
  std::string Text(size_t i) const { return std::string(texts_.View(pois_[i].text)); }
};

TEST_F(PoiListReaderTest, ReadsSortsAndNumbersAllLists) {
  const std::string a = AddList("a.asc", "5,1,\"a1\"\r\n; comment\r\n-3,2,\"a2\"\r\n\r\n").ascFile;
  const std::string b = AddList("b.csv", "5,0,\"b1\"\n5,-1,\"b2\"\n0,0,\"b3\"").ascFile;
  ASSERT_EQ(Read(), 0);
  ASSERT_EQ(pois_.size(), 5u);
  const char* order[] = {"a2", "b3", "b2", "b1", "a1"};
  for (size_t i = 0; i < pois_.size(); ++i) {
    EXPECT_EQ(Text(i), order[i]);
    EXPECT_EQ(pois_[i].number, static_cast<int>(i + 1));
  }
  EXPECT_EQ(pois_[0].subcategory, 0);
  EXPECT_EQ(pois_[0].categoryNumber, 10);
  EXPECT_EQ(pois_[1].subcategory, 1);
  EXPECT_EQ(counters_.pois, 5);
  EXPECT_EQ(counters_.badPois, 0);
  EXPECT_EQ(log_.Text(), "\nProcessing file '" + a + "'.\n\nProcessing file '" + b + "'.\n\nTotal number of POIs: 5\n");
}

TEST_F(PoiListReaderTest, RejectedLinesAreLoggedAndCounted) {
  const std::string a = AddList("bad.asc", "1,2,\"ok\"\nx,2,\"no\"\n1,2\n").ascFile;
  const std::string b = AddList("high.asc", "1,2,\"a\",32001\n").ascFile;
  const std::string c = AddList("good.asc", "").ascFile;
  counters_.badPois = 1;  // added to, not reset
  ASSERT_EQ(Read(), 0);
  EXPECT_EQ(pois_.size(), 1u);
  EXPECT_EQ(counters_.badPois, 4);
  EXPECT_EQ(log_.Text(),
            "\nProcessing file '" + a +
                "'.\n"
                "Line      2: x,2,\"no\"\n"
                "## Can't decode the line above: 'Illegal line found, does not start with a numeric value.' ##\n"
                "Line      3: 1,2\n"
                "## Can't decode the line above: 'No two column separators found.' ##\n"
                "## 2 Error(s) detected in file '" +
                a +
                "'. ##\n"
                "\nProcessing file '" +
                b +
                "'.\n"
                "Line      1: 1,2,\"a\",32001\n"
                "## Can't decode the line above: 'The height must be betweeen 32000. and -2767. meters.' ##\n"
                "## 1 Error(s) detected in file '" +
                b + "'. ##\n\nProcessing file '" + c + "'.\n\nTotal number of POIs: 1\n");
}

TEST_F(PoiListReaderTest, LogLevelListsEveryLineOnce) {
  const std::string a = AddList("a.asc", "1,2,\"ok\"\r\n\r\nbad\n").ascFile;
  config_.logLevel = 1;
  ASSERT_EQ(Read(), 0);
  EXPECT_EQ(log_.Text(), "\nProcessing file '" + a +
                             "'.\n"
                             "Line      1: 1,2,\"ok\"\n"
                             "Line      2: \n"
                             "Line      3: bad\n"
                             "## Can't decode the line above: 'Illegal line found, does not start with a numeric "
                             "value.' ##\n"
                             "## 1 Error(s) detected in file '" +
                             a + "'. ##\n\nTotal number of POIs: 1\n");
}

TEST_F(PoiListReaderTest, NavigonTargetCleansSlashAndPercent) {
  AddList("a.asc", "1,2,\"a/b%\"\n");
  config_.target = TargetSystem::kNavigonOem;
  ASSERT_EQ(Read(), 0);
  EXPECT_EQ(Text(0), "a|b:");
  config_.target = TargetSystem::kSntOnly;
  ASSERT_EQ(Read(), 0);
  EXPECT_EQ(Text(0), "a/b%");
}

TEST_F(PoiListReaderTest, MissingListStopsTheRun) {
  AddList("a.asc", "1,2,\"ok\"\n");
  SubcategoryConfig missing;
  missing.ascFile = (dir_ / "missing.asc").string();
  config_.subcategories.push_back(missing);
  EXPECT_EQ(Read(), -1);
  // Found in counting mode, before any list is processed.
  EXPECT_EQ(log_.Text(),
            "### Can't open file '" + missing.ascFile + "' for read. Reason: No such file or directory. ###\n");
}

TEST_F(PoiListReaderTest, FolderAsListIsAReadFailure) {
  SubcategoryConfig folder;
  folder.ascFile = dir_.string();
  config_.subcategories.push_back(folder);
  EXPECT_EQ(Read(), -1);
  EXPECT_EQ(log_.Text(), "### Can't open file '" + dir_.string() + "' for read. Reason: Is a directory. ###\n");
}

TEST_F(PoiListReaderTest, NotEnoughMemory) {
  AddList("a.asc", "1,2,\"a\"\n;\n\n");
  counters_.pois = 7;
  PoiListLimits limits;
  limits.maxPois = 2;
  EXPECT_EQ(Read(limits), -1);
  EXPECT_EQ(log_.Text(), "### Not enough memory for 3 POIs.###\n");
  EXPECT_TRUE(pois_.empty());
  EXPECT_EQ(counters_.pois, 0);
}

TEST_F(PoiListReaderTest, EmptyListsGiveNoPois) {
  AddList("a.asc", "");
  AddList("b.asc", "\n  \n");
  ASSERT_EQ(Read(), 0);
  EXPECT_TRUE(pois_.empty());
  EXPECT_EQ(counters_.badPois, 0);
  EXPECT_EQ(counters_.pois, 0);
}

TEST_F(PoiListReaderTest, LinesLongerThan1023CharactersStayWhole) {
  // A long text, with the height and a second POI line behind it; the old split at 1023 characters
  // would have lost the height and made a line of the tail.
  const std::string text(2000, 't');
  AddList("long.asc", "1,2,\"" + text + "\",150\n3,4,\"" + std::string(1200, 'u') + "\"\n");
  ASSERT_EQ(Read(), 0);
  ASSERT_EQ(pois_.size(), 2u);
  EXPECT_EQ(pois_[0].heightFlags, 0x8000);
  EXPECT_DOUBLE_EQ(pois_[0].heightPlus, 2917.0);
  EXPECT_EQ(Text(0), std::string(254, 't'));
  EXPECT_EQ(counters_.badPois, 0);
}

TEST_F(PoiListReaderTest, LinesBeyondTheLimitAreSplitInBothPassesAndKeepTheirNumber) {
  // With a limit of 16: "1,2,\"0123456789a" + "b\",5" ... each piece is read as a line.
  AddList("a.asc", "1,2,\"0123456789ab\",5\n3,4,\"c\"\nx\n");
  PoiListLimits limits;
  limits.maxLineLength = 16;
  ASSERT_EQ(Read(limits), 0);
  ASSERT_EQ(pois_.size(), 1u);
  EXPECT_EQ(Text(0), "c");
  EXPECT_EQ(counters_.badPois, 3);  // "1,2,\"0123456789a" has one quote; "b\",5" and x are not numeric
  // The rest of line 1 is still line 1, and the lines behind it keep their numbers.
  const std::string log = log_.Text();
  EXPECT_NE(log.find("Line      1: b\",5\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Line      3: x\n"), std::string::npos) << log;
}

TEST(LineReader, SplitsOnlyLinesLongerThanTheLimit) {
  const std::string path = fs::temp_directory_path() / ("line_reader_" + std::to_string(::getpid()));
  std::ofstream(path, std::ios::binary) << "abcd\nabcde\nabcdefghi\n\nxy";
  for (size_t limit : {4, 5}) {
    LineReader reader(limit);
    ASSERT_TRUE(reader.Open(path));
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.Next(line)) lines.emplace_back(line);
    EXPECT_FALSE(reader.Failed());
    if (limit == 4) {
      EXPECT_EQ(lines, (std::vector<std::string>{"abcd", "abcd", "e", "abcd", "efgh", "i", "", "xy"}));
    } else {
      EXPECT_EQ(lines, (std::vector<std::string>{"abcd", "abcde", "abcde", "fghi", "", "xy"}));
    }
  }
  fs::remove(path);
}

TEST(LineReader, GrowsForLinesLongerThanOneBlock) {
  const std::string path = fs::temp_directory_path() / ("line_reader_big_" + std::to_string(::getpid()));
  const std::string big(200000, 'z');
  std::ofstream(path, std::ios::binary) << "a\r\n" << big << "\r\nb";
  LineReader reader;
  ASSERT_TRUE(reader.Open(path));
  std::string_view line;
  ASSERT_TRUE(reader.Next(line));
  EXPECT_EQ(line, "a\r");
  ASSERT_TRUE(reader.Next(line));
  EXPECT_EQ(line.size(), big.size() + 1);
  ASSERT_TRUE(reader.Next(line));
  EXPECT_EQ(line, "b");
  EXPECT_FALSE(reader.Next(line));
  fs::remove(path);
}

TEST(SortPois, OrdersByXThenYSignedAndKeepsTies) {
  std::vector<ParsedPoi> pois(6);
  PoiTexts texts;
  const int32_t xy[6][2] = {{5, 1}, {-5, 9}, {5, -1}, {0, 0}, {-5, 9}, {INT32_MIN, INT32_MAX}};
  for (int i = 0; i < 6; ++i) {
    pois[i].x100k = xy[i][0];
    pois[i].y100k = xy[i][1];
    pois[i].text = texts.Add(std::string(1, static_cast<char>('a' + i)));
  }
  SortPois(pois);
  std::string order;
  for (const ParsedPoi& p : pois) order += texts.View(p.text);
  EXPECT_EQ(order, "fbedca");
  for (size_t i = 0; i < pois.size(); ++i) EXPECT_EQ(pois[i].number, static_cast<int>(i + 1));
}

TEST(SortPois, ManyRecordsKeepEveryFieldAndTheirTexts) {
  // Enough records to scatter them well; every field must travel along and still name its text.
  constexpr int kCount = 5000;
  std::vector<ParsedPoi> pois(kCount);
  PoiTexts texts;
  std::mt19937 rng(3);
  for (int i = 0; i < kCount; ++i) {
    ParsedPoi& p = pois[i];
    p.x100k = static_cast<int32_t>(rng() % 2000) - 1000;
    p.y100k = static_cast<int32_t>(rng() % 2000) - 1000;
    p.subcategory = i;
    p.heightPlus = i * 0.5;
    p.directionTenths = i;
    p.categoryNumber = static_cast<int16_t>(i);
    p.text = texts.Add("poi " + std::to_string(i) + " " + std::string(static_cast<size_t>(i % 240), 'x'));
  }
  SortPois(pois);
  std::vector<bool> seen(kCount);
  for (size_t k = 0; k < pois.size(); ++k) {
    const ParsedPoi& p = pois[k];
    if (k > 0) {
      const ParsedPoi& q = pois[k - 1];
      ASSERT_TRUE(q.x100k < p.x100k || (q.x100k == p.x100k && q.y100k <= p.y100k));
      if (q.x100k == p.x100k && q.y100k == p.y100k) {
        EXPECT_LT(q.subcategory, p.subcategory);  // ties keep their order
      }
    }
    const int i = p.subcategory;
    ASSERT_FALSE(seen[i]);
    seen[i] = true;
    EXPECT_EQ(p.number, static_cast<int>(k + 1));
    EXPECT_EQ(p.heightPlus, i * 0.5);
    EXPECT_EQ(p.directionTenths, i);
    EXPECT_EQ(p.categoryNumber, i);
    EXPECT_EQ(texts.View(p.text), "poi " + std::to_string(i) + " " + std::string(static_cast<size_t>(i % 240), 'x'));
  }
}

}  // namespace
}  // namespace converter
