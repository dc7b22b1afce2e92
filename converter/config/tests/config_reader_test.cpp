#include "converter/config/config_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>
#include <string>

namespace converter {
namespace {

// A log whose console is a temporary file, read back as text.
class CapturedLog {
 public:
  CapturedLog() : console_(std::tmpfile()), log_(console_) {}
  ~CapturedLog() { std::fclose(console_); }
  RunLog& Log() { return log_; }
  std::string Text() {
    std::fflush(console_);
    std::rewind(console_);
    std::string text;
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, console_)) > 0) text.append(buffer, got);
    return text;
  }

 private:
  std::FILE* console_;
  RunLog log_;
};

std::string Repeat(size_t count, char c = 'x') { return std::string(count, c); }

// The reading passes in the run's order; the first error text, or "".
std::string ReadAll(const std::string& text, ConverterConfig& config, RunLog* echo = nullptr) {
  const ConfigFile file = ConfigFile::FromText(text);
  for (std::string error : {ReadLogSettings(file, config), ReadGlobalSettings(file, config)}) {
    if (!error.empty()) return error;
  }
  std::string error = CountSubcategories(file, config, echo);
  if (error.empty()) error = ReadSubcategoryValues(file, config, echo);
  return error;
}

TEST(LogSettingsTest, ReadsTheThreeKeys) {
  ConverterConfig config;
  const ConfigFile file = ConfigFile::FromText("LogFile = C:\\log.txt\nLogLevel = All\nWaitConfirm = 0\n");
  EXPECT_EQ(ReadLogSettings(file, config), "");
  EXPECT_EQ(config.logFile, "C:\\log.txt");
  EXPECT_EQ(config.logLevel, 1);
  EXPECT_TRUE(config.waitConfirmSet);
  EXPECT_EQ(config.waitConfirm, 0);

  ConverterConfig untouched;
  EXPECT_EQ(ReadLogSettings(ConfigFile::FromText("LogLevel = Summary\n"), untouched), "");
  EXPECT_EQ(untouched.logLevel, 0);
  EXPECT_FALSE(untouched.waitConfirmSet);
  EXPECT_EQ(untouched.waitConfirm, 1);
}

TEST(LogSettingsTest, LogFileMustFitItsBuffer) {
  ConverterConfig config;
  EXPECT_EQ(ReadLogSettings(ConfigFile::FromText("LogFile = " + Repeat(519) + "\n"), config), "");
  EXPECT_EQ(config.logFile.size(), 519u);
  EXPECT_EQ(ReadLogSettings(ConfigFile::FromText("LogFile = " + Repeat(520) + "\n"), config),
            "### String is too long, max. allowed: 519. ###\n");
}

TEST(LogSettingsTest, UncreatableLogFileIsReportedOnTheConsoleAndForgotten) {
  CapturedLog console;
  ConverterConfig config;
  config.logFile = "/nonexistent-folder/sub/log.txt";
  EXPECT_FALSE(OpenConfiguredLog(config, console.Log()));
  EXPECT_EQ(console.Text(),
            "### Can't open the logfile '/nonexistent-folder/sub/log.txt'. Reason: No such file or directory. ###\n");
  EXPECT_TRUE(config.logFile.empty());
  EXPECT_FALSE(console.Log().HasFile());

  ConverterConfig none;
  EXPECT_TRUE(OpenConfiguredLog(none, console.Log()));
  EXPECT_FALSE(console.Log().HasFile());
}

TEST(GlobalSettingsTest, PathsGetTheirSeparatorRules) {
  ConverterConfig config;
  EXPECT_EQ(ReadAll("DestinationDirectory = C:\\Out\nWaypostPath = C:\\Snt\\\n", config), "");
  EXPECT_EQ(config.destinationDirectory, "C:\\Out\\");
  EXPECT_EQ(config.waypostPath, "C:\\Snt");

  ConverterConfig kept;
  EXPECT_EQ(ReadAll("DestinationDirectory = /tmp/out/\nWaypostPath = C:\\Snt\\\\\n", kept), "");
  EXPECT_EQ(kept.destinationDirectory, "/tmp/out/");
  EXPECT_EQ(kept.waypostPath, "C:\\Snt\\");  // only one separator goes

  ConverterConfig empty;
  EXPECT_EQ(ReadAll("DestinationDirectory =\n", empty), "");
  EXPECT_EQ(empty.destinationDirectory, "");  // the current folder, not the root
}

TEST(GlobalSettingsTest, TextLimitsNameTheLineAndTheBuffer) {
  struct Case {
    std::string key;
    size_t limit;
  };
  for (const Case& c :
       {Case{"DestinationDirectory", 520}, Case{"WaypostPath", 520}, Case{"MainGroup", 32}, Case{"MapRegion", 260}}) {
    ConverterConfig fits;
    EXPECT_EQ(ReadAll("\n" + c.key + " = " + Repeat(c.limit - 1) + "\n", fits), "") << c.key;
    ConverterConfig tooLong;
    EXPECT_EQ(ReadAll("\n\n" + c.key + " = " + Repeat(c.limit) + "\n", tooLong),
              "# Line 3: String too long, max allowed " + std::to_string(c.limit) + " characters. #")
        << c.key;
  }
}

TEST(GlobalSettingsTest, SettingsWithCharactersWindows1252LacksStopTheRun) {
  // UTF-8 files: a comment may hold any character, a setting only what its Windows-1252 form keeps.
  ConverterConfig config;
  EXPECT_EQ(ReadAll("// \xD0\x96\nMainGroup = \xC3\xBC\n", config), "");
  EXPECT_EQ(config.mainGroup, "\xFC");
  for (const char* text : {"\nMainGroup = \xD0\x96\n", "\nLogFile = \xD0\x96.log\n", "\nASCFile = \xD0\x96\n"}) {
    ConverterConfig refused;
    EXPECT_EQ(ReadAll(text, refused), "# Line 2: Characters without a Windows-1252 code. #") << text;
  }
}

TEST(GlobalSettingsTest, TargetRegionGroupAndIncludeComments) {
  ConverterConfig config;
  EXPECT_EQ(ReadAll("TargetSystem = SNTOnly\nTargetSystem = Destinator\nMapRegion = AMERICA\n"
                    "MainGroup = Speed cams\nIncludeComments = 0\n",
                    config),
            "");
  EXPECT_EQ(config.target, TargetSystem::kSntOnly);  // the unknown value keeps the earlier one
  EXPECT_EQ(config.region, MapRegion::kAmerica);
  EXPECT_EQ(config.mapRegionText, "AMERICA");
  EXPECT_EQ(config.mainGroup, "Speed cams");
  EXPECT_EQ(config.includeComments, 0);

  ConverterConfig defaults;
  EXPECT_EQ(ReadAll("TargetSystem = Destinator\nMapRegion = Asia\n", defaults), "");
  EXPECT_EQ(defaults.target, TargetSystem::kNavigonOem);
  EXPECT_EQ(defaults.region, MapRegion::kEurope);

  ConverterConfig invalid;
  invalid.target = static_cast<TargetSystem>(17);
  EXPECT_EQ(ReadGlobalSettings(ConfigFile::FromText(""), invalid), "");
  EXPECT_EQ(invalid.target, TargetSystem::kNavigonOem);
}

TEST(CountingPassTest, BlocksAreCountedAndReserved) {
  ConverterConfig none;
  EXPECT_EQ(ReadAll("MainGroup = x\nASCFile = a.asc\n", none), "");
  EXPECT_TRUE(none.subcategories.empty());  // keys without a block are dropped

  std::string thousand;
  for (int i = 0; i < kMaxSubcategories; ++i) thousand += "SubGroup = S" + std::to_string(i) + "\n";
  ConverterConfig full;
  EXPECT_EQ(ReadAll(thousand, full), "");
  ASSERT_EQ(full.subcategories.size(), 1000u);
  EXPECT_EQ(full.subcategories[999].subGroup, "S999");

  ConverterConfig over;
  EXPECT_EQ(ReadAll("// header\n" + thousand + "SubGroup = one too many\n", over),
            "# Line 1002: Number of subcategories too great: 1001, max allowed: 1000.\n");
}

TEST(CountingPassTest, MemoryShortageIsReported) {
  ConverterConfig config;
  const ConfigFile file = ConfigFile::FromText("SubGroup = a\nSubGroup = b\n");
  const BlockReserver failing = [](std::vector<SubcategoryConfig>&, int) { throw std::bad_alloc(); };
  EXPECT_EQ(CountSubcategories(file, config, nullptr, failing), "### Not enough memory for 2 subcategories.###\n");
  EXPECT_TRUE(config.subcategories.empty());
}

TEST(ValuePassTest, ValuesGoToTheCurrentBlock) {
  ConverterConfig config;
  ASSERT_EQ(ReadAll("FontName = Early\n"
                    "SubGroup = First\n"
                    "ASCFile = C:\\POI\\a.asc // main list\n"
                    "ASCFile = C:\\POI\\b.asc\n"
                    "asciifile = wrong.asc\n"
                    " ASCFile = wrong.asc\n"
                    "SubGroup = Second\n"
                    "ascfile = c.asc\n"
                    "FontSizeX = 10\n",
                    config),
            "");
  ASSERT_EQ(config.subcategories.size(), 2u);
  EXPECT_EQ(config.subcategories[0].subGroup, "First");
  EXPECT_EQ(config.subcategories[0].fontName, "Early");
  EXPECT_EQ(config.subcategories[0].ascFile, "C:\\POI\\b.asc");
  EXPECT_EQ(config.subcategories[1].ascFile, "c.asc");
  EXPECT_EQ(config.subcategories[1].fontSize, "10");
  EXPECT_EQ(config.subcategories[1].fontName, "");
}

TEST(ValuePassTest, LimitedValuesStopTheRunAndOthersAreCut) {
  for (const char* key : {"ASCFile", "FontName", "BitmapFile", "WAVFile"}) {
    ConverterConfig fits;
    EXPECT_EQ(ReadAll(std::string("SubGroup = A\n") + key + " = " + Repeat(259) + "\n", fits), "") << key;
    ConverterConfig tooLong;
    EXPECT_EQ(ReadAll(std::string("SubGroup = A\n") + key + " = " + Repeat(260) + "\n", tooLong),
              "# Line 2: String too long, max allowed 260 characters. #")
        << key;
  }
  ConverterConfig name;
  EXPECT_EQ(ReadAll("SubGroup = " + Repeat(31) + "\n", name), "");
  EXPECT_EQ(ReadAll("SubGroup = " + Repeat(32) + "\n", name),
            "# Line 1: String too long, max allowed 32 characters. #");

  ConverterConfig cut;
  ASSERT_EQ(ReadAll("SubGroup = A\nSubCategory = " + Repeat(300, '7') + "\nSentryDistance = " + Repeat(400, '1') +
                        "\nFontColour = " + Repeat(270, 'q') + "\n",
                    cut),
            "");
  EXPECT_EQ(cut.subcategories[0].subCategory, Repeat(259, '7'));
  EXPECT_EQ(cut.subcategories[0].sentryDistance, Repeat(259, '1'));
  EXPECT_EQ(cut.subcategories[0].fontColour, Repeat(259, 'q'));
}

TEST(ValuePassTest, SoundReferenceSkipsLeadingBlanksAndControls) {
  ConverterConfig config;
  ASSERT_EQ(ReadAll("SubGroup = A\nWAVFile = \x01\x1f \x7f"
                    "alarm.wav\nSubGroup = B\nWAVFile = \xc4rger.wav\n",
                    config),
            "");
  EXPECT_EQ(config.subcategories[0].wavFile,
            "\x7f"
            "alarm.wav");
  EXPECT_EQ(config.subcategories[1].wavFile, "\xc4rger.wav");  // a code-page letter is no control
}

TEST(EchoTest, BothBlockPassesListEveryLine) {
  CapturedLog log;
  ConverterConfig config;
  const std::string text = "LogLevel = All\n\tSubGroup = A\nSubGroup = B // x\n";
  EXPECT_EQ(ReadAll(text, config, &log.Log()), "");
  const std::string listing =
      "Line      1: LogLevel = All\nLine      2: \tSubGroup = A\nLine      3: SubGroup = B // x\n";
  EXPECT_EQ(log.Text(), listing + listing);

  CapturedLog quiet;
  ConverterConfig summary;
  EXPECT_EQ(ReadAll("LogLevel = Summary\nSubGroup = A\n", summary, &quiet.Log()), "");
  EXPECT_EQ(quiet.Text(), "");
}

TEST(DefaultsTest, EmptyBlockGetsEveryDefault) {
  ConverterConfig config;
  ASSERT_EQ(ReadAll("SubGroup = Plain\n", config), "");
  RunCounters counters;
  ApplyDefaultsAndDerive(config, nullptr, &counters);
  const SubcategoryConfig& block = config.subcategories[0];
  const std::vector<std::string> values = {
      block.subCategory, block.columnSeparator, block.zoomLevelText, block.fontName,        block.fontSize,
      block.fontType,    block.fontColour,      block.outlineColour, block.zoomLevelBitmap, block.includeComments,
      block.ascFile,     block.bitmapFile,      block.wavFile,       block.sentryDistance};
  EXPECT_EQ(values, (std::vector<std::string>{"0", ",", "6", "Tahoma", "8", "0x108", "Black", "White", "6", "1", "", "",
                                              "", ""}));
  EXPECT_EQ(block.categoryNumber, 0);
  EXPECT_EQ(block.separator, ',');
  EXPECT_EQ(block.textZoomCode, 16800);
  EXPECT_EQ(block.bitmapZoomCode, 16800);
  EXPECT_EQ(block.fontSizeCode, 0xC130);
  EXPECT_EQ(block.fontTypeCode, 0x108);
  EXPECT_EQ(block.textColourCode, 0x000000);
  EXPECT_EQ(block.outlineColourCode, 0xFFFFFF);
  EXPECT_TRUE(block.includeTexts);
  EXPECT_EQ(counters.configErrors, 0);
}

TEST(DefaultsTest, DerivedValuesFollowTheBlockValues) {
  ConverterConfig config;
  ASSERT_EQ(ReadAll("SubGroup = A\nSubCategory = 1234\nColumnSeparator = 59\nZoomLevelText = 2\n"
                    "ZoomLevelBitmap = -3\nFontColour = blue\nOutlineColour = 0x00FF00\nIncludeComments = 0\n",
                    config),
            "");
  ApplyDefaultsAndDerive(config, nullptr, nullptr);
  const SubcategoryConfig& a = config.subcategories[0];
  EXPECT_EQ(a.categoryNumber, 1234);
  EXPECT_EQ(a.separator, ';');
  EXPECT_EQ(a.textZoomCode, 16224);
  EXPECT_EQ(a.bitmapZoomCode, 16800);
  EXPECT_EQ(a.textColourCode, 0xFF0000);
  EXPECT_EQ(a.outlineColourCode, 0x00FF00);
  EXPECT_FALSE(a.includeTexts);
}

TEST(DefaultsTest, GlobalIncludeCommentsBeforeTheBlocksAlsoFillsTheFirst) {
  ConverterConfig config;
  ASSERT_EQ(ReadAll("IncludeComments = 5\nSubGroup = A\nSubGroup = B\nIncludeComments = 0\nSubGroup = C\n", config),
            "");
  ApplyDefaultsAndDerive(config, nullptr, nullptr);
  EXPECT_EQ(config.subcategories[0].includeComments, "5");
  EXPECT_EQ(config.subcategories[1].includeComments, "0");
  EXPECT_EQ(config.subcategories[2].includeComments, "0");
  EXPECT_TRUE(config.subcategories[0].includeTexts);
  EXPECT_FALSE(config.subcategories[2].includeTexts);
}

TEST(DefaultsTest, UnknownColourIsBlackWithMessageAndError) {
  CapturedLog log;
  ConverterConfig config;
  ASSERT_EQ(ReadAll("SubGroup = A\nFontColour = Pink\nOutlineColour = Bl\n", config), "");
  RunCounters counters;
  counters.configErrors = 1;
  ApplyDefaultsAndDerive(config, &log.Log(), &counters);
  EXPECT_EQ(config.subcategories[0].textColourCode, 0);
  EXPECT_EQ(config.subcategories[0].outlineColourCode, 0);
  EXPECT_EQ(counters.configErrors, 3);
  EXPECT_EQ(log.Text(),
            "# Can't decode the colour 'Pink', Black is used instead. #\n"
            "# Can't decode the colour 'Bl', Black is used instead. #\n");
}

class LoadConfigurationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/config_reader_testXXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    path_ = folder_ + "/Placewright.txt";
  }
  void TearDown() override {
    std::remove(path_.c_str());
    rmdir(folder_.c_str());
  }
  void Write(const std::string& text) {
    std::FILE* out = std::fopen(path_.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
  }
  std::string folder_;
  std::string path_;
};

TEST_F(LoadConfigurationTest, EditorFileLoadsWithMessagesCollected) {
  Write(
      "LogFile = C:\\PW\\PlacewrightLog.txt\r\n"
      "MainGroup = Cams\r\n"
      "DestinationDirectory = C:\\PW\\POI\\Cams\\\r\n"
      "\r\n"
      "SubGroup = Fixed\r\n"
      "SubCategory = 3\r\n"
      "ASCFile = C:\\POI\\fixed.asc\r\n"
      "FontColour = Pink\r\n"
      "WAVFile = .\\fixed.wav\r\n");
  const LoadedConfiguration loaded = LoadConfiguration(path_);
  EXPECT_TRUE(loaded.opened);
  EXPECT_EQ(loaded.failedPass, ConfigPass::kNone);
  EXPECT_EQ(loaded.errorText, "");
  EXPECT_EQ(loaded.config.logFile, "C:\\PW\\PlacewrightLog.txt");
  EXPECT_EQ(loaded.config.destinationDirectory, "C:\\PW\\POI\\Cams\\");
  ASSERT_EQ(loaded.config.subcategories.size(), 1u);
  EXPECT_EQ(loaded.config.subcategories[0].ascFile, "C:\\POI\\fixed.asc");
  EXPECT_EQ(loaded.config.subcategories[0].wavFile, ".\\fixed.wav");
  EXPECT_EQ(loaded.config.subcategories[0].categoryNumber, 3);
  EXPECT_EQ(loaded.messages, "# Can't decode the colour 'Pink', Black is used instead. #\n");
  EXPECT_EQ(loaded.configErrors, 1);

  const LoadedConfiguration asRead = LoadConfiguration(path_, false);
  EXPECT_EQ(asRead.config.subcategories[0].fontName, "");
  EXPECT_EQ(asRead.config.subcategories[0].fontColour, "Pink");
  EXPECT_EQ(asRead.messages, "");
  EXPECT_EQ(asRead.configErrors, 0);
}

TEST_F(LoadConfigurationTest, ALongLineIsNamedAndTheRestOfItSetsNothing) {
  Write("SubGroup = A\n// " + Repeat(1100) + "MainGroup = Hacked\nFontName = Arial\n");
  const LoadedConfiguration loaded = LoadConfiguration(path_);
  EXPECT_EQ(loaded.failedPass, ConfigPass::kNone);
  EXPECT_EQ(loaded.config.mainGroup, "");
  EXPECT_EQ(loaded.config.subcategories.at(0).fontName, "Arial");
  EXPECT_EQ(loaded.messages, "# Line 2: Line too long, max allowed 1023 characters, the rest is ignored. #\n");
  EXPECT_EQ(loaded.configErrors, 1);
}

TEST_F(LoadConfigurationTest, FailuresSayWhichPassStopped) {
  const LoadedConfiguration missing = LoadConfiguration(folder_ + "/none.txt");
  EXPECT_FALSE(missing.opened);
  EXPECT_EQ(missing.errnoValue, ENOENT);
  EXPECT_EQ(missing.failedPass, ConfigPass::kOpen);

  Write("MainGroup = " + Repeat(40) + "\n");
  const LoadedConfiguration global = LoadConfiguration(path_);
  EXPECT_TRUE(global.opened);
  EXPECT_EQ(global.failedPass, ConfigPass::kGlobalSettings);
  EXPECT_EQ(global.errorText, "# Line 1: String too long, max allowed 32 characters. #");

  Write("SubGroup = A\nBitmapFile = " + Repeat(300) + "\n");
  EXPECT_EQ(LoadConfiguration(path_).failedPass, ConfigPass::kValues);

  std::string many;
  for (int i = 0; i <= kMaxSubcategories; ++i) many += "SubGroup = x\n";
  Write(many);
  EXPECT_EQ(LoadConfiguration(path_).failedPass, ConfigPass::kCounting);

  Write("LogFile = " + Repeat(600) + "\n");
  EXPECT_EQ(LoadConfiguration(path_).failedPass, ConfigPass::kLogSettings);
}

}  // namespace
}  // namespace converter
