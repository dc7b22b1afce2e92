#include "warner/core/alarm/sound_test.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "formats/snt/snt_format.h"
#include "platform/reports/scripted_reporter.h"
#include "platform/testing/reports.h"
#include "warner/core/alarm/tests/alarm_test_support.h"
#include "warner/core/database/poi_database.h"
#include "warner/core/settings/warner_settings.h"

namespace warner {
namespace {

// A database with one POI per category, laid out as the converter writes it.
std::string SntImage(const std::vector<std::string>& categories) {
  std::vector<uint8_t> bytes(snt::kHeaderSize);
  std::vector<uint32_t> offsets;
  for (const std::string& text : categories) {
    offsets.push_back(static_cast<uint32_t>(bytes.size()));
    bytes.resize(bytes.size() + snt::CategoryRecordSize(text.size()));
    snt::EncodeCategoryRecord(text, bytes.data() + offsets.back());
  }
  const auto recordOffset = static_cast<uint32_t>(snt::PoiRecordsOffset(bytes.size()));
  bytes.resize(recordOffset + categories.size() * snt::kPoiRecordSize);
  for (size_t i = 0; i < categories.size(); ++i) {
    snt::PoiRecord record;
    record.longitude = 800000 + static_cast<int32_t>(i);
    record.latitude = 5000000;
    record.warnDistance = 300;
    record.categoryOffset = static_cast<int32_t>(offsets[i]);
    snt::EncodePoiRecord(record, bytes.data() + recordOffset + i * snt::kPoiRecordSize);
  }
  const auto count = static_cast<uint32_t>(categories.size());
  snt::EncodeHeader({static_cast<uint32_t>(bytes.size()), count, count, recordOffset}, "", bytes.data());
  return {bytes.begin(), bytes.end()};
}

// Remembers what the sound test asked of the announcement window.
class WindowLog final : public SoundTestWindow {
 public:
  void ShowCleared() override { calls.push_back("show"); }
  bool ShowBitmap(const std::string& path) override {
    calls.push_back("bitmap " + platform::FileNamePart(path));
    return bitmapLoads;
  }
  void ShowText(const std::string& text) override { calls.push_back("text " + text); }
  void Hide() override { calls.push_back("hide"); }

  bool bitmapLoads = true;
  std::vector<std::string> calls;
};

class SoundTestTest : public testing::AlarmTest {
 protected:
  void SetUp() override {
    AlarmTest::SetUp();
    ASSERT_EQ(EnsureSystemSounds(), 4);
    settings_.programFolder = programFolder_;
    settings_.logSntFileMissing = 0;
    radar_ = AddProgramSound("Radar.wav");
    database_ = std::make_unique<PoiDatabase>(databaseReporter_, DatabaseLocation{programFolder_, "Sentry.snt"});
  }

  void WriteDatabase(const std::vector<std::string>& categories) {
    platform::testing::WriteFile(programFolder_ + "Sentry.snt", SntImage(categories));
  }

  int Run(SoundTestWindow& window) { return RunSoundTest(settings_, *database_, player_, reporter_, window); }
  int Run() { return Run(noWindow_); }

  // Every text of the walk is a question.
  std::vector<std::string> Texts() const {
    for (const auto& record : reporter_.Records()) EXPECT_TRUE(record.question);
    return platform::testing::Texts(reporter_);
  }

  std::string ProgramPath(const std::string& rest) const { return programFolder_ + rest; }

  WarnerSettings settings_;
  platform::ScriptedReporter reporter_{true};
  platform::ScriptedReporter databaseReporter_;
  std::unique_ptr<PoiDatabase> database_;
  SoundTestWindow noWindow_;
  std::string radar_;
};

TEST_F(SoundTestTest, ConfiguredSoundsInOrderWithTheirPaths) {
  settings_.speedsToAverage = 3;
  settings_.speedLimitWAVFile = ".Radar";
  settings_.satLostWAVFile = ".Gone";
  settings_.keyStrokeWAVFile = "\\Windows\\MenuPop";

  EXPECT_EQ(Run(), 3);
  const std::string radar = ProgramPath("Sounds\\Radar.wav");
  const std::string gone = ProgramPath("Sounds\\Gone.wav");
  EXPECT_EQ(Texts(),
            (std::vector<std::string>{
                "Sound '.Radar'\nComplete path: '" + radar + "' was played as:\n'" + radar + "'\nNext Sound?",
                "Sound '.Gone'\nComplete path: '" + gone + "' was played as:\n'\\Windows\\Infend.wav'\nNext Sound?",
                "Sound '\\Windows\\MenuPop'\nComplete path: '\\Windows\\MenuPop.wav' was played "
                "as:\n'\\Windows\\MenuPop.wav'\nNext Sound?"}));
  EXPECT_EQ(player_.Played(), (std::vector<std::string>{radar_, System(kInfoEndSound), System(kMenuPopSound)}));
}

TEST_F(SoundTestTest, SpeedAlarmOnlyWhenSpeedsAreAveraged) {
  settings_.speedLimitWAVFile = ".Radar";
  settings_.satFixWAVFile = ".Radar";
  settings_.speedsToAverage = 0;
  EXPECT_EQ(Run(), 1);

  settings_.speedsToAverage = 1;
  settings_.satFixWAVFile.clear();
  settings_.speedLimitWAVFile.clear();
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(Texts().back(), "Sound ''\nComplete path: 'NULL' was played as:\n'\\Windows\\Alarm1.wav'\nNext Sound?");
}

TEST_F(SoundTestTest, NoEndsTheTestBeforeTheDatabase) {
  WriteDatabase({".Radar"});
  settings_.satFixWAVFile = ".Radar";
  settings_.satLostWAVFile = ".Radar";
  reporter_.QueueAnswer(false);

  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(reporter_.Records().size(), 1u);
}

TEST_F(SoundTestTest, CategoriesShowTheirBitmapOrTheirText) {
  WriteDatabase({".Radar", ".Blitz", "\\Windows\\Alarm1"});
  AddProgramFile("Bitmaps/Radar.bmp", "BM");
  WindowLog window;

  EXPECT_EQ(Run(window), 3);
  const std::string radar = ProgramPath("Sounds\\Radar.wav");
  const std::string blitz = ProgramPath("Sounds\\Blitz.wav");
  EXPECT_EQ(Texts(), (std::vector<std::string>{
                         "Sound '.Radar'\nComplete path: '" + radar + "' was played as:\n'" + radar + "'\nNext Sound?",
                         "Sound '.Blitz'\nComplete path: '" + blitz +
                             "' was played as:\n'\\Windows\\Alarm1.wav'\n\nNo BMP file found\nNext Sound?",
                         "Sound '\\Windows\\Alarm1'\nComplete path: '\\Windows\\Alarm1.wav' was played "
                         "as:\n'\\Windows\\Alarm1.wav'\n\nNo BMP file found\nNext Sound?"}));
  EXPECT_EQ(window.calls, (std::vector<std::string>{"show", "bitmap Radar.bmp", "hide", "show", "text Blitz", "hide",
                                                    "show", "text Alarm1", "hide"}));
  EXPECT_FALSE(database_->IsPoiDatabaseLoaded());
}

TEST_F(SoundTestTest, WithoutAWindowTheBitmapFileDecides) {
  WriteDatabase({".Radar"});
  AddProgramFile("Bitmaps/Radar.bmp", "BM");
  Run();
  ASSERT_EQ(Texts().size(), 1u);
  EXPECT_TRUE(Texts()[0].ends_with("'\nNext Sound?"));
}

TEST_F(SoundTestTest, BitmapThatDoesNotLoadIsNamed) {
  WriteDatabase({".Radar"});
  const std::string bitmap = ProgramPath("Bitmaps\\Radar.bmp");
  AddProgramFile("Bitmaps/Radar.bmp", "not a bitmap");
  WindowLog window;
  window.bitmapLoads = false;

  Run(window);
  ASSERT_EQ(Texts().size(), 1u);
  EXPECT_TRUE(Texts()[0].ends_with("'\n\nError loading BMP file: '" + bitmap + "'\nNext Sound?")) << Texts()[0];
}

TEST_F(SoundTestTest, NoInTheWalkStillHidesAndUnloads) {
  WriteDatabase({".Radar", ".Blitz"});
  reporter_.QueueAnswer(false);
  WindowLog window;

  EXPECT_EQ(Run(window), 1);
  EXPECT_EQ(window.calls, (std::vector<std::string>{"show", "text Radar", "hide"}));
  EXPECT_FALSE(database_->IsPoiDatabaseLoaded());
}

TEST_F(SoundTestTest, MissingDatabaseEndsAfterTheConfiguredSounds) {
  settings_.keyStrokeWAVFile = ".Radar";
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(reporter_.Records().size(), 1u);
}

}  // namespace
}  // namespace warner
