#include "warner/core/database/poi_database.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "converter/snt/snt_writer.h"
#include "formats/snt/snt_format.h"
#include "platform/bytes/little_endian.h"
#include "platform/reports/scripted_reporter.h"

namespace warner {
namespace {

namespace fs = std::filesystem;
using platform::ScriptedReporter;
using platform::Severity;

uint8_t* At(std::string& bytes, size_t at) { return reinterpret_cast<uint8_t*>(bytes.data() + at); }
void Put16(std::string& bytes, size_t at, uint16_t value) { platform::PutLe16(At(bytes, at), value); }
void Put32(std::string& bytes, size_t at, uint32_t value) { platform::PutLe32(At(bytes, at), value); }

struct RawPoi {
  int32_t x = 0;
  int32_t y = 0;
  uint16_t distance = 200;
  uint32_t category = 0;  // index into the category list
  uint16_t direction = 0;
};

// A database laid out as the converter lays it out, built by hand so that tests can damage any
// field afterwards.
class RawImage {
 public:
  RawImage(const std::vector<std::string>& categories, const std::vector<RawPoi>& pois) {
    bytes_.assign(snt::kHeaderSize, '\0');
    for (const std::string& text : categories) {
      categoryOffsets_.push_back(static_cast<uint32_t>(bytes_.size()));
      bytes_.append(snt::CategoryRecordSize(text.size()), '\0');
      snt::EncodeCategoryRecord(text, At(bytes_, categoryOffsets_.back()));
    }
    recordOffset_ = static_cast<uint32_t>(snt::PoiRecordsOffset(bytes_.size()));
    bytes_.resize(recordOffset_, '\0');
    for (const RawPoi& poi : pois) {
      const size_t at = bytes_.size();
      bytes_.append(snt::kPoiRecordSize, '\0');
      const int32_t category = static_cast<int32_t>(categoryOffsets_.at(poi.category));
      snt::EncodePoiRecord({poi.x, poi.y, poi.distance, 0, category, poi.direction}, At(bytes_, at));
    }
    const snt::Header header{static_cast<uint32_t>(bytes_.size()), static_cast<uint32_t>(pois.size()),
                             static_cast<uint32_t>(categories.size()), recordOffset_};
    snt::EncodeHeader(header, "", At(bytes_, 0));
  }

  std::string& bytes() { return bytes_; }
  uint32_t recordOffset() const { return recordOffset_; }
  uint32_t categoryOffset(size_t index) const { return categoryOffsets_.at(index); }
  void SetRecordCategory(size_t record, uint32_t offset) {
    const size_t at = recordOffset_ + snt::kPoiRecordSize * record;
    snt::PoiRecord poi = snt::DecodePoiRecord(At(bytes_, at));
    poi.categoryOffset = static_cast<int32_t>(offset);
    snt::EncodePoiRecord(poi, At(bytes_, at));
  }

 private:
  std::string bytes_;
  uint32_t recordOffset_ = 0;
  std::vector<uint32_t> categoryOffsets_;
};

class PoiDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / ("poi_database_test_" + std::to_string(::getpid()) + "_" + info->name());
    fs::create_directories(dir_);
    folder_ = dir_.string() + "/";
    db_ = std::make_unique<PoiDatabase>(reporter_, DatabaseLocation{folder_, "Sentry.snt"});
  }
  void TearDown() override {
    db_.reset();
    fs::remove_all(dir_);
  }

  std::string DbPath() const { return folder_ + "Sentry.snt"; }

  void WriteDb(const std::string& bytes) {
    std::ofstream out(DbPath(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  int Load(const std::string& bytes) {
    messagesBefore_ = reporter_.Records().size();
    WriteDb(bytes);
    UniqueFile file(std::fopen(DbPath().c_str(), "rb"));
    return db_->LoadPoiDatabase(file.get(), DbPath());
  }

  // The one message the last load gave.
  std::string OnlyMessage() const {
    const auto records = reporter_.Records();
    EXPECT_EQ(records.size(), messagesBefore_ + 1);
    return records.empty() ? std::string() : records.back().text;
  }

  void ExpectRefused(const std::string& bytes, const std::string& messageStart) {
    EXPECT_EQ(Load(bytes), -1);
    EXPECT_FALSE(db_->IsPoiDatabaseLoaded());
    EXPECT_EQ(db_->RecordCount(), 0);
    const std::string message = OnlyMessage();
    EXPECT_EQ(message.substr(0, messageStart.size()), messageStart) << message;
  }

  std::string WrongLength() const { return "Read Snt File: Wrong file length: '" + DbPath() + "'.\nError No "; }
  std::string IllegalHeader() const { return "Read Snt File: Illegal header in file '" + DbPath() + "'.\n"; }

  fs::path dir_;
  std::string folder_;
  ScriptedReporter reporter_;
  std::unique_ptr<PoiDatabase> db_;
  size_t messagesBefore_ = 0;
};

// --- loading good files ---

TEST_F(PoiDatabaseTest, LoadsWhatTheConverterWrites) {
  converter::ConverterConfig config;
  for (const auto& [name, wav, distance] : {std::tuple{"Fix", ".Radar", "0.5km"}, {"Mobile", "Mobil.wav", "15s"}}) {
    converter::SubcategoryConfig sub;
    sub.subGroup = name;
    sub.wavFile = wav;
    sub.sentryDistance = distance;
    config.subcategories.push_back(sub);
  }
  std::vector<converter::ParsedPoi> pois(3);
  pois[0] = {.subcategory = 1, .x100k = -500, .y100k = 4800000};
  pois[1] = {.subcategory = 0, .x100k = 1312346, .y100k = 5200000, .directionFlags = 0xC000};
  pois[1].directionTenths = 900;
  pois[2] = {.subcategory = 0, .x100k = 1312346, .y100k = 5200001};
  const converter::SntImage image = converter::BuildSntImage(config, pois, "test");
  ASSERT_EQ(Load(std::string(image.bytes.begin(), image.bytes.end())), 0);

  EXPECT_TRUE(reporter_.Records().empty());
  ASSERT_TRUE(db_->IsPoiDatabaseLoaded());
  ASSERT_EQ(db_->RecordCount(), 3);
  const PoiRecord first = db_->Record(0);
  EXPECT_EQ(first.longitude, -500);
  EXPECT_EQ(first.latitude, 4800000);
  EXPECT_EQ(first.warnDistance, 0x800F);
  const PoiRecord second = db_->Record(1);
  EXPECT_EQ(second.longitude, 1312346);
  EXPECT_EQ(second.warnDistance, 500);
  EXPECT_EQ(second.direction, 0xC384);
  EXPECT_EQ(second.categoryOffset, 104);
  EXPECT_EQ(db_->CategoryText(0), "Mobil.wav");
  EXPECT_EQ(db_->CategoryText(2), ".Radar");
  EXPECT_EQ(db_->AnnouncementText(0), "Mobil");
  EXPECT_EQ(db_->MaxWarnMetres(), 500);
  EXPECT_EQ(db_->MaxWarnSeconds(), 15);
  EXPECT_EQ(db_->CategoryTexts(), (std::vector<std::string_view>{".Radar", "Mobil.wav"}));
}

TEST_F(PoiDatabaseTest, MaximaDoNotDependOnRecordOrder) {
  for (const auto& distances : {std::vector<uint16_t>{500, 100}, std::vector<uint16_t>{100, 500}}) {
    RawImage image({"Radar"}, {{.distance = distances[0]}, {.x = 1, .distance = distances[1]}});
    ASSERT_EQ(Load(image.bytes()), 0);
    EXPECT_EQ(db_->MaxWarnMetres(), 500);
    EXPECT_EQ(db_->MaxWarnSeconds(), 0);
  }
  RawImage seconds({"Radar"}, {{.distance = 0x8000 | 30}, {.x = 1, .distance = 0xFFFF}, {.x = 2, .distance = 7}});
  ASSERT_EQ(Load(seconds.bytes()), 0);
  EXPECT_EQ(db_->MaxWarnSeconds(), 0x7FFF);
  EXPECT_EQ(db_->MaxWarnMetres(), 7);
}

TEST_F(PoiDatabaseTest, NoRecordsLoadsNothingAndSaysNothing) {
  RawImage image({"Radar"}, {});
  EXPECT_EQ(Load(image.bytes()), 0);
  EXPECT_FALSE(db_->IsPoiDatabaseLoaded());
  EXPECT_EQ(db_->RecordCount(), 0);
  EXPECT_EQ(db_->MaxWarnMetres(), 0);
  EXPECT_TRUE(reporter_.Records().empty());

  // The other header fields do not matter when there is nothing to read.
  std::string bare = "snt" + std::string(snt::kHeaderSize - 3, '\xFF');
  Put32(bare, snt::kPoiCountOffset, 0);
  EXPECT_EQ(Load(bare), 0);
  EXPECT_TRUE(reporter_.Records().empty());
}

TEST_F(PoiDatabaseTest, TrailingBytesBeyondTheAnnouncedLengthAreLeftUnread) {
  RawImage image({"Radar"}, {{.x = 7, .distance = 300}});
  std::string bytes = image.bytes() + std::string(64, '\x55');
  ASSERT_EQ(Load(bytes), 0);
  EXPECT_EQ(db_->RecordCount(), 1);
  EXPECT_EQ(db_->Record(0).longitude, 7);
  EXPECT_EQ(db_->MaxWarnMetres(), 300);
}

TEST_F(PoiDatabaseTest, CategoryTextIsCutAtItsFirstNul) {
  RawImage longer({"Radar"}, {{}});
  longer.bytes()[longer.categoryOffset(0) + 2 + 2] = '\0';
  ASSERT_EQ(Load(longer.bytes()), 0);
  EXPECT_EQ(db_->CategoryText(0), "Ra");
}

TEST_F(PoiDatabaseTest, CategoryWalkStopsAtTheEndOfTheCategoryRegion) {
  RawImage image({"A", "Bb"}, {{.category = 1}});
  Put32(image.bytes(), snt::kCategoryCountOffset, 1000);  // far more categories than the region holds
  ASSERT_EQ(Load(image.bytes()), 0);
  // The zero padding up to the records (113 to 119) reads as two empty records; the third would
  // need its NUL at 121, inside the records.
  EXPECT_EQ(db_->CategoryTexts(), (std::vector<std::string_view>{"A", "Bb", "", ""}));
}

TEST_F(PoiDatabaseTest, LoadsAMillionRecordsQuickly) {
  std::vector<RawPoi> pois(1'000'000);
  for (size_t i = 0; i < pois.size(); ++i) {
    pois[i].x = static_cast<int32_t>(i);
    pois[i].distance = static_cast<uint16_t>(i % 2 == 0 ? i % 30000 : 0x8000 | (i % 100));
    pois[i].category = i % 2;
  }
  RawImage image({"Radar", ".Mobil"}, pois);
  WriteDb(image.bytes());
  UniqueFile file(std::fopen(DbPath().c_str(), "rb"));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(db_->LoadPoiDatabase(file.get(), DbPath()), 0);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  std::printf("1000000 records loaded in %.1f ms\n", std::chrono::duration<double, std::milli>(elapsed).count());
  EXPECT_EQ(db_->RecordCount(), 1'000'000);
  EXPECT_EQ(db_->MaxWarnMetres(), 29998);
  EXPECT_EQ(db_->MaxWarnSeconds(), 99);
  EXPECT_EQ(db_->Record(999'999).longitude, 999'999);
  EXPECT_EQ(db_->CategoryText(999'999), ".Mobil");
}

// --- refusing damaged files ---

TEST_F(PoiDatabaseTest, RefusesAWrongMagicWithoutErrorText) {
  RawImage image({"Radar"}, {{}});
  image.bytes()[2] = 'x';
  EXPECT_EQ(Load(image.bytes()), -1);
  const auto records = reporter_.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text, IllegalHeader());
  EXPECT_EQ(records[0].severity, Severity::kError);
  EXPECT_FALSE(records[0].question);
}

TEST_F(PoiDatabaseTest, RefusesAShortHeaderWithTheEndOfFileError) {
  ExpectRefused("snt" + std::string(50, '\0'),
                "Read Snt File: Can't read the header from '" + DbPath() + "'.\nError No 38: ");
  ExpectRefused("", "Read Snt File: Can't read the header from '");
}

TEST_F(PoiDatabaseTest, RefusesALengthTheFileDoesNotHold) {
  RawImage image({"Radar"}, {{}, {.x = 1}});
  std::string truncated = image.bytes().substr(0, image.bytes().size() - 1);
  ExpectRefused(truncated, WrongLength() + "38: ");

  // A header claiming 4 GB must be refused before anything of that size is allocated.
  Put32(image.bytes(), snt::kFileLengthOffset, 0xFFFFFFF0u);
  ExpectRefused(image.bytes(), WrongLength());
  Put32(image.bytes(), snt::kFileLengthOffset, 103);
  ExpectRefused(image.bytes(), WrongLength());
}

TEST_F(PoiDatabaseTest, RefusesRecordsOutsideTheFile) {
  RawImage image({"Radar"}, {{}, {.x = 1}});
  const std::string good = image.bytes();

  std::string bytes = good;
  Put32(bytes, snt::kPoiCountOffset, 3);  // one record more than the file holds
  ExpectRefused(bytes, IllegalHeader());

  bytes = good;
  Put32(bytes, snt::kPoiCountOffset, 0xFFFFFFFFu);
  ExpectRefused(bytes, IllegalHeader());

  bytes = good;
  Put32(bytes, snt::kPoiCountOffset, 0x0CCCCCCDu);  // times 20 wraps to 4 in 32 bits
  ExpectRefused(bytes, IllegalHeader());

  bytes = good;
  Put32(bytes, snt::kPoiRecordsOffsetOffset, 100);  // inside the header
  ExpectRefused(bytes, IllegalHeader());

  bytes = good;
  Put32(bytes, snt::kPoiRecordsOffsetOffset, 0xFFFFFFF8u);
  ExpectRefused(bytes, IllegalHeader());

  // A shorter announced length must still hold all records.
  bytes = good;
  Put32(bytes, snt::kFileLengthOffset, static_cast<uint32_t>(good.size() - snt::kPoiRecordSize));
  ExpectRefused(bytes, IllegalHeader());
}

TEST_F(PoiDatabaseTest, RefusesRecordsOutOfOrder) {
  // Signed order: west of Greenwich comes first; equal points may stand in any order.
  RawImage sorted({"Radar"}, {{.x = -5, .y = 9}, {.x = 3, .y = -2}, {.x = 3, .y = 4}, {.x = 3, .y = 4}});
  EXPECT_EQ(Load(sorted.bytes()), 0);
  const std::string unsorted = "Read Snt File: The POI records in '" + DbPath() + "' are not sorted";
  ExpectRefused(RawImage({"Radar"}, {{.x = 3}, {.x = -5}}).bytes(), unsorted);
  ExpectRefused(RawImage({"Radar"}, {{.x = 3, .y = 4}, {.x = 3, .y = -2}, {.x = 4}}).bytes(),
                unsorted + " by longitude and latitude (record 1).\n");
}

TEST_F(PoiDatabaseTest, RefusesCategoryOffsetsOutsideTheCategoryRegion) {
  for (uint32_t offset : {0u, 103u, 0x80000000u, 0xFFFFFFFFu}) {
    RawImage image({"Radar"}, {{}, {.x = 1}});
    image.SetRecordCategory(1, offset);
    ExpectRefused(image.bytes(), IllegalHeader());
  }
  RawImage image({"Radar"}, {{}});
  image.SetRecordCategory(0, image.recordOffset());  // the first record is no category
  ExpectRefused(image.bytes(), IllegalHeader());
  image.SetRecordCategory(0, image.recordOffset() - 1);  // its length word would reach into the records
  ExpectRefused(image.bytes(), IllegalHeader());
}

TEST_F(PoiDatabaseTest, RefusesCategoryTextsThatRunPastTheRegion) {
  RawImage unterminated({"Radar"}, {{}});
  unterminated.bytes()[unterminated.categoryOffset(0) + 2 + 5] = 'X';
  ExpectRefused(unterminated.bytes(), IllegalHeader());

  RawImage tooLong({"Radar"}, {{}});
  Put16(tooLong.bytes(), tooLong.categoryOffset(0), 0xFFFF);
  ExpectRefused(tooLong.bytes(), IllegalHeader());

  // The padding after the last category is zeros: a record pointing there reads an empty text
  // whose NUL still lies inside the region, which is harmless.
  RawImage padding({"Radar"}, {{}});
  padding.SetRecordCategory(0, padding.recordOffset() - 3);
  EXPECT_EQ(Load(padding.bytes()), 0);
  EXPECT_EQ(db_->CategoryText(0), "");
}

TEST_F(PoiDatabaseTest, AFailedLoadLeavesNoEarlierDatabaseBehind) {
  int unloads = 0;
  db_->SetUnloadObserver([&] { ++unloads; });
  RawImage image({"Radar"}, {{.distance = 400}});
  ASSERT_EQ(Load(image.bytes()), 0);
  EXPECT_EQ(unloads, 1);
  image.bytes()[0] = 'S';
  EXPECT_EQ(Load(image.bytes()), -1);
  EXPECT_EQ(unloads, 2);
  EXPECT_FALSE(db_->IsPoiDatabaseLoaded());
  EXPECT_EQ(db_->MaxWarnMetres(), 0);
  EXPECT_EQ(db_->LoadPoiDatabase(nullptr, "x"), -1);
  EXPECT_EQ(unloads, 3);
  EXPECT_EQ(reporter_.Records().size(), 1u);
}

// --- opening, activation, unloading ---

TEST_F(PoiDatabaseTest, MissingFileIsReportedAsTheFlagAndStyleSay) {
  const std::string message =
      "File '" + DbPath() + "' is not available. Acoustical and visual warnings will not be available.\n";
  EXPECT_EQ(db_->OpenPoiDatabaseFile(0, MessageStyle::kYesNo), kDatabaseMissingSilent);
  EXPECT_TRUE(reporter_.Records().empty());

  EXPECT_EQ(db_->OpenPoiDatabaseFile(1, MessageStyle::kOk), kDatabaseMissingAccepted);
  reporter_.QueueAnswer(true);
  EXPECT_EQ(db_->OpenPoiDatabaseFile(1, MessageStyle::kYesNo), kDatabaseMissingAccepted);
  reporter_.QueueAnswer(false);
  EXPECT_EQ(db_->OpenPoiDatabaseFile(2, MessageStyle::kYesNo), -1);

  const auto records = reporter_.Records();
  ASSERT_EQ(records.size(), 3u);
  for (const auto& record : records) EXPECT_EQ(record.text, message);
  EXPECT_FALSE(records[0].question);
  EXPECT_TRUE(records[1].question);
  EXPECT_TRUE(records[2].question);
}

TEST_F(PoiDatabaseTest, AFolderOfTheDatabaseNameIsMissing) {
  fs::create_directory(DbPath());
  EXPECT_EQ(db_->OpenPoiDatabaseFile(0, MessageStyle::kOk), kDatabaseMissingSilent);
}

TEST_F(PoiDatabaseTest, ActivationLoadsOrPassesTheOpenResultOn) {
  int unloads = 0;
  db_->SetUnloadObserver([&] { ++unloads; });
  reporter_.QueueAnswer(false);
  EXPECT_EQ(db_->ActivatePoiDatabase(1), -1);
  EXPECT_EQ(db_->ActivatePoiDatabase(0), kDatabaseMissingSilent);
  EXPECT_GE(unloads, 2);

  WriteDb(RawImage({"Radar"}, {{.distance = 250}}).bytes());
  EXPECT_EQ(db_->ActivatePoiDatabase(1), 0);
  EXPECT_TRUE(db_->IsPoiDatabaseLoaded());
  EXPECT_EQ(db_->MaxWarnMetres(), 250);

  db_->UnloadPoiDatabase();
  EXPECT_FALSE(db_->IsPoiDatabaseLoaded());
  EXPECT_EQ(db_->RecordCount(), 0);
  EXPECT_EQ(db_->MaxWarnMetres(), 0);

  WriteDb("snt");
  EXPECT_EQ(db_->ActivatePoiDatabase(1), -1);
  EXPECT_EQ(reporter_.Records().back().text.rfind("Read Snt File: Can't read the header from '", 0), 0u);
}

// --- texts and paths from a category ---

TEST(AnnouncementTextTest, KeepsTheNameOnly) {
  EXPECT_EQ(AnnouncementText("Radar"), "Radar");
  EXPECT_EQ(AnnouncementText(".Radar"), "Radar");
  EXPECT_EQ(AnnouncementText("Sounds\\Blitz.WAV"), "Blitz");
  EXPECT_EQ(AnnouncementText("\\Storage\\Snd\\.Mobil.wav"), "Mobil");
  EXPECT_EQ(AnnouncementText("Gefahr.wav.wav"), "Gefahr.wav");
  EXPECT_EQ(AnnouncementText("Radar.mp3"), "Radar.mp3");
  EXPECT_EQ(AnnouncementText(".wav"), "wav");
  EXPECT_EQ(AnnouncementText("Dir\\"), "");
  EXPECT_EQ(AnnouncementText("a/b.wav"), "a/b");
  EXPECT_EQ(AnnouncementText("\xC4rger \x80"), "\xC3\x84rger \xE2\x82\xAC");
}

TEST(CategoryFilePathTest, AddsOrReplacesTheExtension) {
  const std::string prog = "/opt/warner/";
  EXPECT_EQ(CategoryFilePath("Radar", prog, "Bitmaps\\", ".bmp"), "Radar.bmp");
  EXPECT_EQ(CategoryFilePath(".Radar", prog, "Bitmaps\\", ".bmp"), "/opt/warner/Bitmaps\\Radar.bmp");
  EXPECT_EQ(CategoryFilePath(".Radar", prog, "Sounds\\", ".wav"), "/opt/warner/Sounds\\Radar.wav");
  EXPECT_EQ(CategoryFilePath(".Radar.WAV", prog, "Sounds\\", ".wav"), "/opt/warner/Sounds\\Radar.WAV");
  EXPECT_EQ(CategoryFilePath("Radar.wav", prog, "Bitmaps\\", ".bmp"), "Radar.bmp");
  EXPECT_EQ(CategoryFilePath("Radar.", prog, "Bitmaps\\", ".bmp"), "Radar.bmp");
  EXPECT_EQ(CategoryFilePath("\\Storage\\My.Snd\\Radar", prog, "Sounds\\", ".wav"), "\\Storage\\My.Snd\\Radar");
  EXPECT_EQ(CategoryFilePath("My.Snd/Radar", prog, "Sounds\\", ".wav"), "My.Snd/Radar");
  EXPECT_EQ(CategoryFilePath("\xC4rger", prog, "Sounds\\", ".wav"), "\xC3\x84rger.wav");
}

TEST(CategoryFilePathTest, ADotInTheProgramFolderDoesNotCount) {
  EXPECT_EQ(CategoryFilePath(".Radar", "/home/u/.local/warner/", "Sounds\\", ".wav"),
            "/home/u/.local/warner/Sounds\\Radar.wav");
}

TEST(CategoryFilePathTest, StaysWithinThePathLimit) {
  const std::string cut = CategoryFilePath(std::string(300, 'a') + ".wav", "", "Sounds\\", ".wav");
  EXPECT_EQ(cut, "");  // the cut took the dot, and ".wav" no longer fits
  EXPECT_EQ(CategoryFilePath(std::string(257, 'a'), "", "Sounds\\", ".wav"), "");
  EXPECT_EQ(CategoryFilePath(std::string(255, 'a'), "", "Sounds\\", ".wav"), std::string(255, 'a') + ".wav");
  // Characters count, not bytes: 259 two-byte characters fit, their extension does not.
  EXPECT_EQ(CategoryFilePath(std::string(200, '\xE4') + ".wav", "", "Sounds\\", ".wav").size(), 404u);
  EXPECT_EQ(CategoryFilePath(".x", std::string(300, 'p'), "Sounds\\", ".wav"), "");
}

TEST_F(PoiDatabaseTest, BitmapPathNeedsAnExistingFile) {
  fs::create_directories(dir_ / "Bitmaps");
  std::ofstream(dir_ / "Bitmaps" / "Radar.bmp") << "BM";
  fs::create_directory(dir_ / "Bitmaps" / "Folder.bmp");
  // The programs' path form: the last separator is a backslash, which the platform maps.
  EXPECT_EQ(PoiBitmapPath(".Radar.wav", folder_), folder_ + "Bitmaps\\Radar.bmp");
  EXPECT_EQ(PoiBitmapPath(".Mobil", folder_), "");
  EXPECT_EQ(PoiBitmapPath(".Folder", folder_), "");

  RawImage image({".Radar", "Mobil"}, {{}, {.x = 1, .category = 1}});
  ASSERT_EQ(Load(image.bytes()), 0);
  EXPECT_EQ(db_->PoiBitmapPath(0), folder_ + "Bitmaps\\Radar.bmp");
  EXPECT_EQ(db_->PoiBitmapPath(1), "");
}

}  // namespace
}  // namespace warner
