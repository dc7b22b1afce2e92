#include "warner/search/asc_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace warner {
namespace {

using namespace std::string_literals;

TEST(ParseAscLine, AcceptsAndSkipsAsTheListFormatSays) {
  const struct {
    std::string line;
    bool accepted;
    double longitude, latitude;
    const char *longitudeText, *latitudeText, *description;
  } cases[] = {
      {"11.41333, 48.05833, \"Motorway km 10\", 0, 47", true, 11.41333, 48.05833, "11.41333", "48.05833",
       "Motorway km 10"},
      {"\t -8.5,\t+40.25,\"\"\r", true, -8.5, 40.25, "-8.5", "+40.25", "-"},            // tabs, empty quotes
      {"+1,2", true, 1, 2, "+1", "2", "-"},                                             // nothing after the latitude
      {"1,2, no quotes", true, 1, 2, "1", "2", "-"},                                    //
      {"1,2,\"open to the end\r", true, 1, 2, "1", "2", "open to the end\r"},           // closing quote missing
      {"7.1e0x, 50.0 N, \"Caf\xE9\"", true, 7.1, 50.0, "7.1e0x", "50.0 N", "Caf\xE9"},  // number ends early
      {"1,2,\"a\tb\"", true, 1, 2, "1", "2", "a b"},                                    //
      {"; 11.0, 48.0, \"comment\"", false, 0, 0, "", "", ""},
      {"A11.0, 48.0, \"letter\"", false, 0, 0, "", "", ""},
      {"-.5, 48.0, \"no digit after the sign\"", false, 0, 0, "", "", ""},
      {"11.0 48.0 \"no comma\"", false, 0, 0, "", "", ""},
      {"11.0, north, \"no latitude\"", false, 0, 0, "", "", ""},
      {"11.0, nan, \"not a number\"", false, 0, 0, "", "", ""},
      {"", false, 0, 0, "", "", ""},
      {" \r\n", false, 0, 0, "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    AscLine line;
    ASSERT_EQ(ParseAscLine(c.line, line), c.accepted);
    if (!c.accepted) continue;
    EXPECT_DOUBLE_EQ(line.longitude, c.longitude);
    EXPECT_DOUBLE_EQ(line.latitude, c.latitude);
    EXPECT_EQ(line.longitudeText, c.longitudeText);
    EXPECT_EQ(line.latitudeText, c.latitudeText);
    EXPECT_EQ(line.description, c.description);
  }
}

TEST(ParseAscLine, TextsAreCutTo255BytesWithoutHalfCharacters) {
  AscLine line;
  ASSERT_TRUE(ParseAscLine("1, 2, \"" + std::string(300, 'x') + "\"", line));
  EXPECT_EQ(line.description, std::string(255, 'x'));
  // Two bytes and two-byte characters: the cut falls inside the 127th character.
  ASSERT_TRUE(ParseAscLine(
      "1, 2, \"xx" +
          [] {
            std::string s;
            for (int i = 0; i < 140; ++i) s += "\xC3\xA9";
            return s;
          }() +
          "\"",
      line));
  EXPECT_EQ(line.description.size(), 254u);
}

// Reads every accepted line of `bytes` through a real stream.
std::vector<AscLine> ReadAll(const std::string& bytes) {
  std::FILE* file = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  AscLineReader reader(file);
  std::vector<AscLine> lines;
  AscLine line;
  while (ReadAscLine(reader, line) == 0) lines.push_back(line);
  std::fclose(file);
  return lines;
}

TEST(ReadAscLine, BadBytesNeverMakeExtraPoints) {
  // Read in pieces of 1023 bytes, the rest of this line would be a point of its own.
  const std::string overlongTail = "\"" + std::string(1016, 'y') + "9, 9, \"phantom\"";
  const struct {
    const char* what;
    std::string bytes;
    std::vector<std::string> descriptions;
  } cases[] = {
      {"CR LF and no final line end", "1, 2, \"a\"\r\n3, 4, \"b\"", {"a", "b"}},
      // The rest of an overlong line is dropped, not read as a line of its own.
      {"overlong line", "1, 2, " + overlongTail + "\n3, 4, \"c\"\n", {std::string(255, 'y'), "c"}},
      {"overlong at the end", "1, 2, " + overlongTail, {std::string(255, 'y')}},
      {"NUL byte cuts the line", "1, 2, \"be\0fore\"\n3, 4, \"d\"\n"s, {"be", "d"}},
      {"garbage", "\x01\x02\xFF\xFE\n,,,\n\"\"\n-\n+\n3, 4, \"e\"\n", {"e"}},
      {"empty", "", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> descriptions;
    for (const AscLine& line : ReadAll(c.bytes)) descriptions.push_back(line.description);
    EXPECT_EQ(descriptions, c.descriptions);
  }
}

TEST(ReadAscLine, LinesAcrossTheReadBlocksStayWhole) {
  std::string bytes;
  for (int i = 0; bytes.size() < 300000; ++i)
    bytes += "11." + std::to_string(i) + ", 48.5, \"POI " + std::to_string(i) + "\"\n";
  const std::vector<AscLine> lines = ReadAll(bytes);
  for (size_t i = 0; i < lines.size(); ++i) ASSERT_EQ(lines[i].description, "POI " + std::to_string(i));
  EXPECT_GT(lines.size(), 10000u);
}

}  // namespace
}  // namespace warner
