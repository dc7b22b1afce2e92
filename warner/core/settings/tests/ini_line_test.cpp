#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "warner/core/settings/warner_settings.h"

namespace warner {
namespace {

std::optional<std::string> Trimmed(const char* line, const char* key) { return MatchIniKey(line, key, true); }

TEST(MatchIniKey, KeyIsCaseBlindAndBlanksMayStandAroundTheEquals) {
  EXPECT_EQ(Trimmed("playsatfixsound = 0", "PlaySatFixSound"), "0");
  EXPECT_EQ(Trimmed("PLAYSATFIXSOUND=0", "PlaySatFixSound"), "0");
  EXPECT_EQ(Trimmed("  \tPlaySatFixSound\t=\t 5 \t", "PlaySatFixSound"), "5");
  EXPECT_EQ(Trimmed("SpeedsToAverage=3 // three speeds", "SpeedsToAverage"), "3");
}

TEST(MatchIniKey, LinesThatDoNotSetTheKey) {
  // A longer key that starts with this one, or a key followed by anything but blanks and '='.
  EXPECT_EQ(Trimmed("SpeedLimitDimension=kn", "SpeedLimit"), std::nullopt);
  EXPECT_EQ(Trimmed("SpeedLimit2=100", "SpeedLimit"), std::nullopt);
  EXPECT_EQ(Trimmed("SpeedLimit 100", "SpeedLimit"), std::nullopt);
  EXPECT_EQ(Trimmed("SpeedLimit x=100", "SpeedLimit"), std::nullopt);
  EXPECT_EQ(Trimmed("SpeedLimit", "SpeedLimit"), std::nullopt);
  EXPECT_EQ(Trimmed("// SpeedLimit=100", "SpeedLimit"), std::nullopt);
  EXPECT_EQ(Trimmed("x SpeedLimit=100", "SpeedLimit"), std::nullopt);
  EXPECT_EQ(Trimmed("", "SpeedLimit"), std::nullopt);
  // An empty value leaves the default in place.
  EXPECT_EQ(Trimmed("SpeedLimit=", "SpeedLimit"), std::nullopt);
  EXPECT_EQ(Trimmed("SpeedLimit =  \t ", "SpeedLimit"), std::nullopt);
  EXPECT_EQ(Trimmed("SpeedLimit=//100", "SpeedLimit"), std::nullopt);
}

TEST(MatchIniKey, ValueFormsKeepTheirCharacters) {
  EXPECT_EQ(Trimmed("Source=COM4:", "Source"), "COM4:");
  EXPECT_EQ(Trimmed("FileMessageName=a=b.txt", "FileMessageName"), "a=b.txt");
  EXPECT_EQ(Trimmed("SatFixWAVFile=\\My Documents\\fix me.wav", "SatFixWAVFile"), "\\My Documents\\fix me.wav");
  EXPECT_EQ(Trimmed("SatFixWAVFile=Gr\xFC\xDF.wav", "SatFixWAVFile"), "Gr\xFC\xDF.wav");
  // Only "//" starts a comment: a single slash belongs to the value.
  EXPECT_EQ(Trimmed("SpeedLimitDimension=m/sec", "SpeedLimitDimension"), "m/sec");
}

TEST(MatchIniKey, UntrimmedValuesDropLeadingBlanksOnlyAndTurnTabsIntoBlanks) {
  EXPECT_EQ(MatchIniKey("AlternateSourceFile= alt\tfile.txt ", "AlternateSourceFile", false), "alt file.txt ");
  EXPECT_EQ(MatchIniKey("AlternateSourceFile = \t/tmp/alt.txt", "AlternateSourceFile", false), "/tmp/alt.txt");
  EXPECT_EQ(MatchIniKey("AlternateSourceFile=\t", "AlternateSourceFile", false), std::nullopt);
  EXPECT_EQ(MatchIniKey("AlternateSourceFile=", "AlternateSourceFile", false), std::nullopt);
  EXPECT_EQ(MatchIniKey("AlternateSourceFile=x.txt// note", "AlternateSourceFile", false), "x.txt");
}

TEST(IniNumbers, IntegersStopAtTheFirstNonDigit) {
  EXPECT_EQ(IniToInt("42"), 42);
  EXPECT_EQ(IniToInt("-3"), -3);
  EXPECT_EQ(IniToInt("+7"), 7);
  EXPECT_EQ(IniToInt(" 12abc"), 12);
  EXPECT_EQ(IniToInt("100km/h"), 100);
  EXPECT_EQ(IniToInt("3.9"), 3);
  EXPECT_EQ(IniToInt("abc"), 0);
  EXPECT_EQ(IniToInt("-"), 0);
  EXPECT_EQ(IniToInt(""), 0);
  EXPECT_EQ(IniToInt("--5"), 0);
}

TEST(IniNumbers, IntegersBeyondTheRangeSaturate) {
  EXPECT_EQ(IniToInt("2147483647"), INT_MAX);
  EXPECT_EQ(IniToInt("-2147483648"), INT_MIN);
  EXPECT_EQ(IniToInt("99999999999999999999999"), INT_MAX);
  EXPECT_EQ(IniToInt("-99999999999999999999999"), INT_MIN);
}

TEST(IniNumbers, Decimals) {
  EXPECT_DOUBLE_EQ(IniToDouble("27"), 27.0);
  EXPECT_DOUBLE_EQ(IniToDouble("12.5"), 12.5);
  EXPECT_DOUBLE_EQ(IniToDouble("-0.25deg"), -0.25);
  EXPECT_DOUBLE_EQ(IniToDouble("+.5"), 0.5);
  EXPECT_DOUBLE_EQ(IniToDouble("1e1"), 10.0);
  // The decimal separator is always the point, whatever the locale.
  EXPECT_DOUBLE_EQ(IniToDouble("12,5"), 12.0);
  EXPECT_DOUBLE_EQ(IniToDouble("abc"), 0.0);
  EXPECT_DOUBLE_EQ(IniToDouble("- 3"), 0.0);
  // Values that are no angle at all would poison every comparison of the engine.
  EXPECT_DOUBLE_EQ(IniToDouble("nan"), 0.0);
  EXPECT_DOUBLE_EQ(IniToDouble("inf"), 0.0);
  EXPECT_DOUBLE_EQ(IniToDouble("1e999"), 0.0);
}

TEST(IniLines, ControlsEndLinesAndNumbersFollowTheLineFeeds) {
  struct Case {
    std::string_view text;
    std::vector<std::pair<std::string, int>> lines;
    int lastLine;
  };
  const Case cases[] = {
      {"", {}, 1},
      {"a=1", {{"a=1", 1}}, 1},
      {"a=1\r\n\r\nb\t=2\n", {{"a=1", 1}, {"b\t=2", 3}}, 4},
      // A lone CR or another control splits a line without counting one.
      {"a\rb\x01"
       "c\nd",
       {{"a", 1}, {"b", 1}, {"c", 1}, {"d", 2}},
       2},
      {std::string_view("x\0y\n\n", 5), {{"x", 1}, {"y", 1}}, 3},
  };
  for (const Case& c : cases) {
    IniLines lines(c.text);
    std::vector<std::pair<std::string, int>> got;
    std::string_view line;
    while (lines.Next(line)) got.emplace_back(line, lines.LineNumber());
    EXPECT_EQ(got, c.lines) << c.text;
    EXPECT_EQ(lines.LineNumber(), c.lastLine) << c.text;
  }
}

}  // namespace
}  // namespace warner
