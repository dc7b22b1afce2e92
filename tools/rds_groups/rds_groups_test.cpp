#include "tools/rds_groups/rds_groups.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/sync/critical_section.h"
#include "platform/testing/files.h"
#include "platform/testing/temp_folder.h"
#include "warner/gps/nmea_decoder.h"
#include "warner/gps/tests/nmea_test_util.h"

namespace rds_groups {
namespace {

using ::testing::ElementsAre;

using gps::testing::Nmea;

TEST(GroupText, BlocksCommentsAndBlankLines) {
  std::vector<Group> groups;
  std::string error;
  ASSERT_TRUE(ParseGroups("# station\n\nD301 0408 2037 4148  # 0A\n\td301\t8408 0065 2EE1\r\n", groups, error));
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(FormatGroup(groups[0]), "D301 0408 2037 4148");
  EXPECT_EQ(FormatGroup(groups[1]), "D301 8408 0065 2EE1");
  EXPECT_THAT(TmcRecord(groups[0]), ElementsAre('?', 0xD3, 0x01, 0x04, 0x08, 0x20, 0x37, 0x41, 0x48, 0x00));
}

TEST(GroupText, ErrorsNameTheLine) {
  std::vector<Group> groups;
  std::string error;
  EXPECT_FALSE(ParseGroups("D301 0408 2037 4148\n\nD301 0408 2037\n", groups, error, "g.txt"));
  EXPECT_EQ(error, "g.txt:3: four blocks expected, found 3");
  EXPECT_FALSE(ParseGroups("D301 0408 2037 41G8\n", groups, error, "g.txt"));
  EXPECT_EQ(error, "g.txt:1: block '41G8' is not four hex digits");
  EXPECT_FALSE(ParseGroups("D301 0408 2037 4148 0000\n", groups, error, "g.txt"));
  EXPECT_EQ(error, "g.txt:1: text after the fourth block: '0000'");
  EXPECT_FALSE(ParseGroups("D3010 0408 2037 4148\n", groups, error, "g.txt"));
  EXPECT_FALSE(ParseGroups("+301 0408 2037 4148\n", groups, error, "g.txt"));
}

TEST(EventPlan, FourNumbersInRange) {
  TmcEventPlan plan;
  std::string error;
  ASSERT_TRUE(ParseEventPlan("101,12003,2,1", plan, error));
  EXPECT_EQ(plan.event, 101);
  EXPECT_EQ(plan.location, 12003);
  EXPECT_EQ(plan.extent, 2);
  EXPECT_EQ(plan.direction, 1);
  EXPECT_FALSE(ParseEventPlan("101,12003,8,1", plan, error));
  EXPECT_EQ(error, "extent must be 0..7");
  EXPECT_FALSE(ParseEventPlan("101,12003,2", plan, error));
  EXPECT_FALSE(ParseEventPlan("101,12003,2,1,0", plan, error));
}

TEST(StationName, OneToEightPrintableAsciiCharacters) {
  std::string error;
  for (const char* good : {"R", "RADIO 7", "TMC~TEST"}) EXPECT_TRUE(CheckStationName(good, error)) << good;
  // "M\xC3\xBCller" is UTF-8: cut to 8 bytes or sent as it is, the radio would show other characters.
  for (const char* bad : {"", "RADIO 7 X", "M\xC3\xBCller", "A\tB", "\xFC"}) {
    EXPECT_FALSE(CheckStationName(bad, error)) << bad;
    EXPECT_EQ(error, "the station name must have 1 to 8 printable ASCII characters");
  }
}

// What the framer hands on: every sentence and every record.
class Collector : public gps::TmcRecordSink {
 public:
  void GroupInput(const uint8_t* bytes, size_t count, int) override { records.emplace_back(bytes, bytes + count); }
  std::vector<std::vector<uint8_t>> records;
};

struct Framed {
  std::vector<std::string> sentences;
  std::vector<std::vector<uint8_t>> records;
};

Framed Frame(const std::string& stream) {
  platform::CriticalSection lock;
  gps::NmeaDecoder decoder(lock);
  decoder.SetSettings({0, 1});
  Collector sink;
  decoder.SetTmcSink(&sink);
  Framed framed;
  for (size_t at = 0; at < stream.size();) {
    at += decoder.FeedInput({reinterpret_cast<const uint8_t*>(stream.data()) + at, stream.size() - at});
    for (int r; (r = decoder.NextSentence()) != gps::kFrameInputUsedUp;) {
      if (r == gps::kFrameSentence) framed.sentences.emplace_back(decoder.Sentence());
    }
  }
  framed.records = std::move(sink.records);
  return framed;
}

TEST(Merge, EveryPlacementReachesTheFramerIntact) {
  const std::vector<std::string> sentences = {
      Nmea("GPGGA,123520,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"),
      Nmea("GPRMC,123520,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
      Nmea("GPVTG,084.4,T,,M,012.1,N,022.4,K"),
  };
  std::string nmea;
  for (int i = 0; i < 4; ++i) {
    for (const std::string& s : sentences) nmea += s;
  }
  // Blocks that hold '$', line feeds and '?' themselves must not confuse the framer.
  const std::vector<Group> groups = {{{0xD301, 0x0408, 0x2437, 0x0A3F}},
                                     {{0xD301, 0x8408, 0x0065, 0x2EE1}},
                                     {{0x3F3F, 0x240A, 0x0D0A, 0x2424}},
                                     {{0xD301, 0x3410, 0x0040, 0xCD46}}};
  const std::vector<Record> records = TmcRecords(groups);
  const MergePlan plans[] = {{MergeMode::kEveryBytes, 1},
                             {MergeMode::kEveryBytes, 37},
                             {MergeMode::kEverySentences, 1},
                             {MergeMode::kEverySentences, 5},
                             {MergeMode::kInsideSentences, 1}};
  for (const MergePlan& plan : plans) {
    SCOPED_TRACE(static_cast<int>(plan.mode) * 100 + static_cast<int>(plan.every));
    const std::string merged = MergeRecords(nmea, records, plan);
    ASSERT_EQ(merged.size(), nmea.size() + records.size() * kRecordSize);
    const Framed framed = Frame(merged);
    ASSERT_EQ(framed.sentences.size(), 12u);
    for (size_t i = 0; i < 12; ++i) EXPECT_EQ(framed.sentences[i], sentences[i % 3]);
    ASSERT_EQ(framed.records.size(), records.size());
    for (size_t i = 0; i < records.size(); ++i) {
      EXPECT_TRUE(std::equal(framed.records[i].begin(), framed.records[i].end(), records[i].begin() + 1));
    }
  }
}

TEST(Merge, InsideMeansBetweenDollarAndLineFeed) {
  const std::string sentence = Nmea("GPVTG,084.4,T,,M,012.1,N,022.4,K");
  const std::vector<Record> records = TmcRecords({{{0xD301, 0x0408, 0x2037, 0x4148}}});
  const std::string merged = MergeRecords(sentence + sentence, records, {MergeMode::kInsideSentences, 1});
  const size_t at = merged.find('?');
  EXPECT_GT(at, 0u);
  EXPECT_LT(at + kRecordSize, sentence.size());
  EXPECT_EQ(merged.substr(sentence.size() + kRecordSize), sentence);
}

TEST(PortStream, JunkBetweenRecordsNeverStartsOne) {
  const std::vector<Record> records = TmcRecords({{{0xD301, 0x0408, 0x2037, 0x4148}}, {{1, 2, 3, 4}}});
  const std::string stream = PortStream(records, 300);
  ASSERT_EQ(stream.size(), 2 * (300 + kRecordSize));
  EXPECT_EQ(stream.find('?'), 300u);
  EXPECT_EQ(stream.find('?', 301), size_t{2} * 300 + kRecordSize);
}

int RunTool(const std::string& arguments) {
  const int status = std::system((std::string(RDS_GROUPS_PATH) + " " + arguments + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Program, MakeThenPortWritesTheStationsRecords) {
  const platform::testing::TempFolder folder("rds_groups");
  const std::string dir = folder.Path().string();
  ASSERT_EQ(RunTool("make --pi D301 --ps 'RADIO 7' --ltn 12 --message 101,12003,2,1 " + dir + "/g.txt"), 0);
  std::vector<Group> groups;
  std::string error;
  ASSERT_TRUE(ParseGroups(platform::testing::ReadFile(dir + "/g.txt"), groups, error)) << error;
  ASSERT_EQ(groups.size(), 8u + 2u + 2u);
  EXPECT_EQ(FormatGroup(groups[3]), "D301 040B E0CD 3720");  // segment 3: "7 "
  EXPECT_EQ(FormatGroup(groups[8]), "D301 3410 0300 CD46");
  EXPECT_EQ(FormatGroup(groups[11]), "D301 8408 5065 2EE3");

  ASSERT_EQ(RunTool("port " + dir + "/g.txt " + dir + "/port.bin --junk 3"), 0);
  EXPECT_EQ(platform::testing::ReadFile(dir + "/port.bin"), PortStream(TmcRecords(groups), 3));

  platform::testing::WriteFile(dir + "/bad.txt", "D301 0408\n");
  EXPECT_EQ(RunTool("port " + dir + "/bad.txt " + dir + "/port.bin"), 1);
  EXPECT_EQ(RunTool("merge " + dir + "/g.txt"), 2);
  EXPECT_EQ(RunTool("make --message 0,1,2,3 " + dir + "/x.txt"), 2);
  EXPECT_EQ(RunTool("--help"), 0);
}

TEST(Program, TheHelpsPromisesHold) {
  const platform::testing::TempFolder folder("rds_groups");
  const std::string dir = folder.Path().string();
  platform::testing::WriteFile(dir + "/g.txt", "D301 0408 2037 4148\n");
  const std::vector<Record> records = TmcRecords({{{0xD301, 0x0408, 0x2037, 0x4148}}});

  EXPECT_EQ(RunTool("port " + dir + "/g.txt " + dir + "/port.bin --junk 0"), 0) << "the default, given";
  EXPECT_EQ(platform::testing::ReadFile(dir + "/port.bin"), PortStream(records, 0));

  platform::testing::WriteFile(dir + "/own.nmea", Nmea("GPVTG,084.4,T,,M,012.1,N,022.4,K") + "?garbage\r\n");
  EXPECT_EQ(RunTool("merge " + dir + "/g.txt " + dir + "/own.nmea " + dir + "/merged.nmea"), 1);
  EXPECT_FALSE(std::filesystem::exists(dir + "/merged.nmea"));

  EXPECT_EQ(RunTool("make --ps 'M\xC3\xBCller' " + dir + "/name.txt"), 2);
  EXPECT_FALSE(std::filesystem::exists(dir + "/name.txt"));
}

}  // namespace
}  // namespace rds_groups
