#include "warner/traffic/rds/tmc_format.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tools/tmc_lists/code_list_compiler.h"
#include "warner/traffic/rds/tests/rds_test_util.h"
#include "warner/traffic/rds/tmc_log.h"

namespace traffic {
namespace {

using namespace traffic::testing;
using ::testing::StartsWith;

// Free-format fields (width, value) packed into 28-bit data words, most significant bit first.
std::vector<uint32_t> Words(const std::vector<std::pair<int, uint32_t>>& fields) {
  std::vector<uint32_t> words;
  int used = 28;
  for (const auto& [width, value] : fields) {
    for (int bit = width - 1; bit >= 0; --bit) {
      if (used == 28) {
        words.push_back(0);
        used = 0;
      }
      words.back() |= ((value >> bit) & 1) << (27 - used++);
    }
  }
  return words;
}

TmcMessage Message(int event, int location, int extent = 0, int direction = 0,
                   const std::vector<uint32_t>& words = {}) {
  TmcMessage m;
  m.kind = words.empty() ? TmcMessage::kSingleGroup : TmcMessage::kMultiGroup;
  m.event = event;
  m.location = location;
  m.extent = extent;
  m.direction = direction;
  m.groupCount = static_cast<int32_t>(words.size()) - 1;
  for (size_t i = 0; i < words.size(); ++i) m.dataWords[i] = words[i];
  return m;
}

TEST(FreeFormat, RouteLengthControlCodesAndFieldsAcrossWords) {
  TmcMessage m = Message(102, 12003, 0, 0, Words({{4, 2}, {5, 16}}));
  EXPECT_EQ(m.dataWords[0], 0x2800000u);
  DecodeFreeFormat(m);
  EXPECT_EQ(m.quantityText, "25 km");
  for (const auto& [code, text] : std::vector<std::pair<uint32_t, std::string>>{
           {0, ">100 km"}, {1, "1 km"}, {10, "10 km"}, {11, "12 km"}, {15, "20 km"}, {17, "30 km"}, {31, "100 km"}}) {
    m = Message(102, 12003, 0, 0, Words({{4, 2}, {5, code}}));
    DecodeFreeFormat(m);
    EXPECT_EQ(m.quantityText, text) << code;
  }

  m = Message(102, 12003, 0, 0, Words({{4, 1}, {3, 2}, {4, 1}, {3, 5}}));
  DecodeFreeFormat(m);
  EXPECT_EQ(m.reversed, 1);
  EXPECT_EQ(m.diversion, 1);
  EXPECT_EQ(m.quantityText, "");

  // Labels 9 (11 bits) and 5 (8 bits) fill 27 bits; label 2 starts in the first word's last bit.
  m = Message(102, 12003, 0, 0, Words({{4, 9}, {11, 0x7FF}, {4, 5}, {8, 0xFF}, {4, 2}, {5, 12}}));
  ASSERT_EQ(m.groupCount, 1);
  DecodeFreeFormat(m);
  EXPECT_EQ(m.quantityText, "14 km");

  // Without a second group there is no free format; a value running past the words reads zeros.
  m = Message(102, 12003);
  m.quantityText = "kept";
  DecodeFreeFormat(m);
  EXPECT_EQ(m.quantityText, "kept");
  m = Message(102, 12003, 0, 0, Words({{4, 6}, {8, 0}, {4, 6}, {8, 0}, {4, 2}}));  // value beyond the word
  DecodeFreeFormat(m);
  EXPECT_EQ(m.quantityText, ">100 km");
}

class Formatting : public ::testing::Test {
 protected:
  Formatting() : lists(reporter) {
    lists.OpenEventCodeList(std::string(DW_TRAFFIC_DATA_DIR) + "/" + kEventListName);
    lists.OpenLocationCodeList(std::string(DW_TRAFFIC_DATA_DIR) + "/" + kLocationListName);
  }
  std::string Format(TmcMessage m, int expectedResult = 0) {
    EXPECT_EQ(FormatTmcMessage(m, lists), expectedResult);
    return m.text;
  }

  platform::ScriptedReporter reporter;
  CodeLists lists;
};

TEST_F(Formatting, QuantityInPlaceOfThePlaceholder) {
  EXPECT_EQ(
      Format(Message(102, 12003, 0, 0, Words({{4, 2}, {5, 16}}))),
      "A99 Millbrook, Northtown - Southport : stationary traffic for 25 km { L 12003, E 102, R Q2, D 0, X 0, U 1, "
      "DV 0, AB 02800000}");
  EXPECT_EQ(
      Format(Message(102, 12003)),
      "A99 Millbrook, Northtown - Southport : stationary traffic for  { L 12003, E 102, R Q2, D 0, X 0, U 1, DV 0}");
}

TEST_F(Formatting, RoadNamedBeforeThePointWhenTheFlagIsSet) {
  EXPECT_EQ(Format(Message(101, 12003)),
            "A99 Millbrook, Northtown - Southport : stationary traffic { L 12003, E 101, R Q1, D 0, X 0, U 1, DV 0}");
  EXPECT_EQ(
      Format(Message(101, 12003, 2, 0)),
      "A99 Harwick, Northtown - Southport -> Millbrook: stationary traffic { L 12003, E 101, R Q1, D 0, X 2, U 1, "
      "DV 0}");
  EXPECT_EQ(
      Format(Message(101, 12003, 2, 1)),
      "A99 Northtown North, Northtown - Southport -> Millbrook: stationary traffic { L 12003, E 101, R Q1, D 1, X "
      "2, U 1, DV 0}");
}

TEST_F(Formatting, PointWithItsShortTextWhenTheFlagIsClear) {
  EXPECT_EQ(Format(Message(501, 13002)), "B12 Upper Dene: slippery road { L 13002, E 501, R W1, D 0, X 0, U 0, DV 0}");
  EXPECT_EQ(Format(Message(501, 13002, 1, 0)),
            "B12 Lower Dene <-> Upper Dene: slippery road { L 13002, E 501, R W1, D 0, X 1, U 0, DV 0}");
}

TEST_F(Formatting, ArrowFollowsDirectionalityAndItsReversal) {
  const std::vector<uint32_t> reversed = Words({{4, 1}, {3, 2}});
  EXPECT_THAT(Format(Message(101, 12003, 1, 0, reversed)),
              StartsWith("A99 Elmstead Cross, Northtown - Southport <-> Millbrook: stationary traffic"));
  EXPECT_THAT(Format(Message(501, 13002, 1, 0)), StartsWith("B12 Lower Dene <-> Upper Dene: "));
  EXPECT_THAT(Format(Message(501, 13002, 1, 0, reversed)), StartsWith("B12 Lower Dene -> Upper Dene: "));
  // An unknown event has no directionality.
  EXPECT_THAT(Format(Message(2000, 13002, 1, 0), -1),
              StartsWith("B12 Lower Dene : Upper Dene: Unknown event no 2000."));
}

TEST_F(Formatting, FailedWalkOrLookupKeepsTheMissTexts) {
  EXPECT_EQ(Format(Message(101, 12003, 3, 1), -1),
            "A99 Unknown second location no 0.-> Millbrook: stationary traffic { L 12003, E 101, R Q1, D 1, X 3, U 1, "
            "DV 0}");
  EXPECT_EQ(Format(Message(101, 4711), -1),
            "Unknown location no 4711.: stationary traffic { L 4711, E 101, R Q1, D 0, X 0, U 0, DV 0}");
}

TEST(FormattingOwnLists, TextAWhenTextBIsEmptyMissingParentAndTheLengthLimit) {
  TempFolder folder;
  platform::ScriptedReporter reporter;
  CodeLists lists(reporter);
  std::string error;
  const std::string longText(79, 'n');
  ASSERT_TRUE(tmc_lists::WriteCodeListFile(tmc_lists::CodeListKind::kEvents,
                                           "900;" + std::string(245, 'e') + ";1;X9\n901;fog;2;F1\n",
                                           folder.File("e.bin"), error))
      << error;
  ASSERT_TRUE(tmc_lists::WriteCodeListFile(tmc_lists::CodeListKind::kLocations,
                                           "500;K7;;Kleindorf;999;0;0;1\n"
                                           "600;;;" +
                                               longText +
                                               ";0;0;0;0\n"
                                               "601;aaaaaaaa;" +
                                               std::string(40, 'b') + ";" + longText + ";600;0;0;1\n",
                                           folder.File("l.bin"), error))
      << error;
  ASSERT_EQ(lists.OpenEventCodeList(folder.File("e.bin")), 0);
  ASSERT_EQ(lists.OpenLocationCodeList(folder.File("l.bin")), 0);

  TmcMessage m = Message(901, 500);
  EXPECT_EQ(FormatTmcMessage(m, lists), 0);
  EXPECT_EQ(m.text, "Kleindorf, K7 : fog { L 500, E 901, R F1, D 0, X 0, U 1, DV 0}");

  m = Message(900, 601);
  EXPECT_EQ(FormatTmcMessage(m, lists), 0);
  EXPECT_EQ(m.text.size(), kTmcTextMax);
  EXPECT_EQ(
      m.text,
      (longText + " " + longText + ", " + std::string(40, 'b') + " : " + std::string(245, 'e')).substr(0, kTmcTextMax));
}

TEST(LogLine, DateTimeStationRightAlignedAndCrLf) {
  TmcMessage m;
  m.time = {2024, 3, 2, 5, 4, 7, 9, 0};
  m.stationName = "SWR3";
  m.text = "A99 Millbrook: accident";
  EXPECT_EQ(TrafficLogLine(m), "05.03.2024 04:07:09,     SWR3: A99 Millbrook: accident\r\n");
}

using TrafficLog = LoggingDecoderTest;

TEST_F(TrafficLog, EveryCompletedMessageAppendsOneLine) {
  h.Twice(Single(101, 12003));
  h.clock.Advance(61000);
  h.Twice(Single(501, 13002, 1));
  EXPECT_EQ(
      ReadFile(log),
      "05.03.2024 14:07:09, RADIO 7 : A99 Millbrook, Northtown - Southport : stationary traffic { L 12003, E 101, "
      "R Q1, D 0, X 0, U 1, DV 0}\r\n"
      "05.03.2024 14:08:10, RADIO 7 : B12 Lower Dene <-> Upper Dene: slippery road { L 13002, E 501, R W1, D 0, X "
      "1, U 0, DV 0}\r\n");
}

TEST_F(TrafficLog, AForeignFileIsEmptiedAndTheStationStartsOver) {
  platform::testing::WriteFile(log, "Shopping list: milk, bread, { L for later\n");
  EXPECT_EQ(h.Twice(Single(101, 12003)), kChangeTmcCompleted);
  EXPECT_EQ(ReadFile(log), "");
  EXPECT_THAT(h.Messages(), ::testing::IsEmpty());
  EXPECT_EQ(h.decoder.State().aid, 0u);
  EXPECT_EQ(h.decoder.Status().Snapshot().messageCount, 0);
  EXPECT_TRUE(h.reporter.Records().empty());

  // Decoding resumes with the next announcement, into the emptied file.
  h.Feed(Announce());
  h.Twice(Single(101, 12003));
  EXPECT_THAT(ReadFile(log), StartsWith("05.03.2024 14:07:09,         : A99 Millbrook"));
  EXPECT_EQ(h.decoder.Status().Snapshot().messageCount, 1);
}

TEST_F(TrafficLog, AnUnwritableLogStopsTheRecording) {
  const std::string missing = folder.File("missing/SntTMC.txt");
  h.decoder.SetLogName(missing);
  h.Twice(Single(101, 12003));
  const auto records = h.reporter.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].severity, platform::Severity::kError);
  EXPECT_THAT(records[0].text, StartsWith("Can't append a new message to " + missing +
                                          ".\nTMC recording will be stopped.\nError No 2: "));
  EXPECT_EQ(h.decoder.State().logPath, "");
  std::filesystem::create_directory(folder.File("missing"));
  h.Twice(Single(201, 12003));
  EXPECT_EQ(h.reporter.Records().size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_EQ(h.decoder.Status().Snapshot().messageCount, 2);
}

}  // namespace
}  // namespace traffic
