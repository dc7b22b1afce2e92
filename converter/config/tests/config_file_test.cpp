#include "converter/config/config_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace converter {
namespace {

TEST(ConfigKeyTest, KeyIsRecognizedOnlyAsCaseBlindPrefixInFirstColumn) {
  EXPECT_EQ(RecognizeKey("ascfile = a.asc"), ConfigKey::kAscFile);
  EXPECT_EQ(RecognizeKey("ASCFILE"), ConfigKey::kAscFile);
  EXPECT_EQ(RecognizeKey("asciifile = a.asc"), ConfigKey::kNone);
  EXPECT_EQ(RecognizeKey(" ASCFile = a.asc"), ConfigKey::kNone);
  EXPECT_EQ(RecognizeKey("FontSizeX = 3"), ConfigKey::kFontSize);
  EXPECT_EQ(RecognizeKey("Font = 3"), ConfigKey::kNone);
  EXPECT_EQ(RecognizeKey(""), ConfigKey::kNone);
}

TEST(ConfigKeyTest, EveryKeyIsFoundByItsOwnNameAndNoNameHidesAnother) {
  for (int i = 1; i < kConfigKeyCount; ++i) {
    const auto key = static_cast<ConfigKey>(i);
    const std::string_view name = ConfigKeyName(key);
    ASSERT_FALSE(name.empty()) << i;
    EXPECT_EQ(RecognizeKey(name), key) << name;
    for (int j = 1; j < kConfigKeyCount; ++j) {
      const std::string_view other = ConfigKeyName(static_cast<ConfigKey>(j));
      if (i != j) {
        EXPECT_NE(other.substr(0, name.size()), name) << name << " is a prefix of " << other;
      }
    }
  }
}

TEST(ConfigLineTest, ValueLosesCommentAndSurroundingBlanks) {
  EXPECT_EQ(ParseConfigLine("ASCFile = C:\\POI\\a.asc // main list\n").value, "C:\\POI\\a.asc");
  EXPECT_EQ(ParseConfigLine("ASCFile=\t \tC:\\POI\\a.asc\t  \n").value, "C:\\POI\\a.asc");
  EXPECT_EQ(ParseConfigLine("FontName = Arial\tNarrow\n").value, "Arial Narrow");  // tabs count as spaces
  EXPECT_EQ(ParseConfigLine("SubGroup = a=b\n").value, "a=b");                     // only the first "=" divides
  EXPECT_EQ(ParseConfigLine("SubGroup Fixed\n").value, "");
  EXPECT_EQ(ParseConfigLine("SubGroup = \n").value, "");
  EXPECT_EQ(ParseConfigLine("SubGroup // = Fixed\n").value, "");
  EXPECT_EQ(ParseConfigLine("SubGroup = Fixed\r").value, "Fixed");
}

TEST(ConfigLineTest, CommentsBlanksAndUnknownKeysSetNothing) {
  EXPECT_EQ(ParseConfigLine("// SubGroup = Fixed\n").key, ConfigKey::kNone);
  EXPECT_EQ(ParseConfigLine("\tSubGroup = Fixed\n").key, ConfigKey::kNone);
  EXPECT_EQ(ParseConfigLine("SubGrou = Fixed\n").key, ConfigKey::kNone);
  EXPECT_EQ(ParseConfigLine("\n").key, ConfigKey::kNone);
  // The echo shows the line as it stands, tabs and comment included.
  EXPECT_EQ(ParseConfigLine("SubGroup =\tA // c\n").text, "SubGroup =\tA // c\n");
}

TEST(ConfigFileTest, LinesKeepTheirEndsAndCrLfReadsAsLf) {
  const ConfigFile file = ConfigFile::FromText("SubGroup = A\r\nFontName = B\nlast\rline");
  ASSERT_EQ(file.Lines().size(), 3u);
  EXPECT_EQ(file.Lines()[0].text, "SubGroup = A\n");
  EXPECT_EQ(file.Lines()[0].value, "A");
  EXPECT_EQ(file.Lines()[1].text, "FontName = B\n");
  EXPECT_EQ(file.Lines()[2].text, "last\rline");  // a lone CR ends nothing
  EXPECT_TRUE(ConfigFile::FromText("").Lines().empty());
}

TEST(ConfigFileTest, ALongLineIsCutAndItsRestIsNoLineOfItsOwn) {
  // The rest behind 1023 characters, here a key, sets nothing.
  const std::string first = "// " + std::string(kMaxConfigLineLength - 3, 'x');
  const ConfigFile file = ConfigFile::FromText(first + "MainGroup = Hacked\nWAVFile = a\n");
  ASSERT_EQ(file.Lines().size(), 2u);
  EXPECT_EQ(file.Lines()[0].text, first + "\n");
  EXPECT_EQ(file.Lines()[0].key, ConfigKey::kNone);
  EXPECT_TRUE(file.Lines()[0].cut);
  EXPECT_EQ(file.Lines()[1].key, ConfigKey::kWavFile);

  // A line of exactly 1023 characters is whole, its line end included.
  const ConfigFile exact = ConfigFile::FromText(std::string(kMaxConfigLineLength, 'y') + "\nB\n");
  ASSERT_EQ(exact.Lines().size(), 2u);
  EXPECT_FALSE(exact.Lines()[0].cut);
  EXPECT_EQ(exact.Lines()[1].text, "B\n");
}

TEST(ConfigFileTest, AUtf8FileIsReadAsWindows1252) {
  struct Case {
    const char* bytes;
    const char* value;  // Windows-1252
    bool unrepresentable;
  };
  const Case cases[] = {
      {"ASCFile = nav \xC3\xBC\n", "nav \xFC", false},  // UTF-8
      {"\xEF\xBB\xBF"
       "ASCFile = nav \xC3\xBC\n",
       "nav \xFC", false},                                           // UTF-8 with its mark
      {"ASCFile = nav \xFC\n", "nav \xFC", false},                   // Windows-1252 stays
      {"ASCFile = \xC3\xBC\nSubGroup = \xFC\n", "\xC3\xBC", false},  // not UTF-8 as a whole
      {"ASCFile = \xE2\x82\xAC \xD0\x96\n", "\x80 ?", true},         // the euro has a code, Zhe none
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    const ConfigFile file = ConfigFile::FromText(c.bytes);
    ASSERT_FALSE(file.Lines().empty());
    EXPECT_EQ(file.Lines()[0].key, ConfigKey::kAscFile);
    EXPECT_EQ(file.Lines()[0].value, c.value);
    EXPECT_EQ(file.Lines()[0].unrepresentable, c.unrepresentable);
  }
}

TEST(ConfigFileTest, NulByteEndsTheLineText) {
  const ConfigFile file = ConfigFile::FromText(std::string("SubGroup = A\0B\nFontName = C\n", 28));
  ASSERT_EQ(file.Lines().size(), 2u);
  EXPECT_EQ(file.Lines()[0].text, "SubGroup = A");
  EXPECT_EQ(file.Lines()[1].value, "C");
}

TEST(ConfigFileTest, MissingFileAndFolderCannotBeLoaded) {
  ConfigFile file;
  int error = 0;
  EXPECT_FALSE(ConfigFile::Load("/nonexistent-config-folder/c.txt", file, &error));
  EXPECT_EQ(error, ENOENT);
  // A folder opens for reading on Linux; it must still not pass for an empty configuration.
  EXPECT_FALSE(ConfigFile::Load("/tmp", file, &error));
  EXPECT_EQ(error, EISDIR);
}

}  // namespace
}  // namespace converter
