#include "warner/search/search_surround.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/reports/scripted_reporter.h"
#include "platform/testing/files.h"
#include "platform/testing/temp_folder.h"
#include "warner/search/search_dialog_model.h"
#include "warner/search/tests/literal_insertion.h"

namespace warner {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

gps::GpsFix FixAt(double longitude, double latitude) {
  gps::GpsFix fix;
  fix.longitude = longitude;
  fix.latitude = latitude;
  fix.fixQuality = 1;
  fix.hour = 7;
  return fix;
}

// The rows of a list text around a position, through a real stream.
std::vector<SurroundRow> RowsOf(const std::string& list, double longitude, double latitude, double radiusKm) {
  std::FILE* file = std::tmpfile();
  std::fwrite(list.data(), 1, list.size(), file);
  std::rewind(file);
  AscLineReader reader(file);
  std::vector<SurroundRow> rows = FindSurroundRows(reader, {longitude, latitude}, radiusKm);
  std::fclose(file);
  return rows;
}

std::vector<std::string> Descriptions(const std::vector<SurroundRow>& rows) {
  std::vector<std::string> texts;
  texts.reserve(rows.size());
  for (const SurroundRow& row : rows) texts.push_back(row.description);
  return texts;
}

TEST(FindSurroundRows, RowsAsTheListShowsThem) {
  const std::vector<SurroundRow> rows = RowsOf(
      "11.1, 48.0, \"east\"\n"
      "11.0, 48.0, \"here\"\n"
      "11.0, 48.0, \"\"\n"
      "12.0, 48.0, \"too far\"\n"
      "11.0000, 47.9335, \"south, 7.4 km too\"\n",
      11.0, 48.0, 10);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].distance, "0.0");
  EXPECT_EQ(rows[0].direction, "0\u00B0");
  EXPECT_EQ(Descriptions(rows), (std::vector<std::string>{"here", "-", "east", "south, 7.4 km too"}));
  EXPECT_EQ(rows[2].distance, "7.4");
  EXPECT_EQ(rows[2].direction, "90\u00B0");
  EXPECT_EQ(rows[2].longitude, "11.1");
  EXPECT_EQ(rows[2].latitude, "48.0");
  EXPECT_EQ(rows[3].distance, "7.4");  // the same shown distance: file order
  EXPECT_EQ(rows[3].direction, "180\u00B0");
}

TEST(FindSurroundRows, EqualsTheLiteralInsertionOnRandomLists) {
  std::mt19937 random(15);
  std::uniform_real_distribution<double> offset(-0.3, 0.3);
  for (int list = 0; list < 20; ++list) {
    std::string text;
    std::vector<SurroundRow> readingOrder;
    const double longitude = 11 + offset(random), latitude = 48 + offset(random);
    for (int i = 0; i < 400; ++i) {
      char line[96];
      // Coarse coordinates, so that many distances read the same.
      std::snprintf(line, sizeof line, "%.3f, %.3f, \"P%d\"\n", longitude + offset(random) / 4,
                    latitude + offset(random) / 4, i);
      text += line;
    }
    const std::vector<SurroundRow> fast = RowsOf(text, longitude, latitude, 15);
    // The hits in reading order: every row, sorted back by its number.
    std::vector<SurroundRow> hits = fast;
    std::sort(hits.begin(), hits.end(), [](const SurroundRow& a, const SurroundRow& b) {
      return std::stoi(a.description.substr(1)) < std::stoi(b.description.substr(1));
    });
    ASSERT_EQ(Descriptions(fast), Descriptions(test::InsertRowsLiterally(hits))) << list;
  }
}

class SearchFiles : public ::testing::Test {
 protected:
  void Write(const std::string& name, const std::string& text) { platform::testing::WriteFile(folder_ / name, text); }
  std::string Folder() const { return folder_.Path().string() + "/"; }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& record : reporter_.Records()) texts.push_back(record.text);
    return texts;
  }

  const platform::testing::TempFolder folder_{"search"};
  platform::ScriptedReporter reporter_;
};

TEST_F(SearchFiles, FileListHoldsTheReadableAscFilesByName) {
  Write("b.ASC", "");
  Write("a.asc", "");
  Write("notes.txt", "");
  Write("locked.asc", "");
  fs::create_directories(folder_ / "folder.asc");
  fs::permissions(folder_ / "locked.asc", fs::perms::none);
  const bool rootReadsAnything = ::access((folder_ / "locked.asc").c_str(), R_OK) == 0;
  const AscFileList list = FillAscFileList(Folder(), "B.asc", reporter_);
  EXPECT_EQ(list.names, rootReadsAnything ? (std::vector<std::string>{"a.asc", "b.ASC", "locked.asc"})
                                          : (std::vector<std::string>{"a.asc", "b.ASC"}));
  EXPECT_EQ(list.selected, 1);
  EXPECT_TRUE(reporter_.Records().empty());
}

TEST_F(SearchFiles, NoListOrNoPositionGivesTheMessagesAndNoRows) {
  Write("cams.asc", "11.1, 48.0, \"east\"\n");
  gps::GpsFix noQuality = FixAt(11, 48), equator = FixAt(11, 0), midnight = FixAt(11, 48);
  noQuality.fixQuality = 0;
  midnight.hour = 0;
  const struct {
    const char* what;
    std::string folder, file;
    gps::GpsFix fix;
    const char* message;
  } cases[] = {
      {"vanished folder", Folder() + "gone/", "cams.asc", FixAt(11, 48), "Can't open the file '"},
      {"vanished file", Folder(), "gone.asc", FixAt(11, 48), "Error No 2: "},
      {"fix quality 0", Folder(), "cams.asc", noQuality, "GPS Signal currently not available, try later."},
      {"latitude 0", Folder(), "cams.asc", equator, "GPS Signal currently not available, try later."},
      {"time 00:00:00.000", Folder(), "cams.asc", midnight, "GPS Signal currently not available, try later."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    platform::ScriptedReporter reporter;
    EXPECT_TRUE(SearchSurround(c.folder, c.file, c.fix, 10, reporter).empty());
    ASSERT_EQ(reporter.Records().size(), 1u);
    EXPECT_THAT(reporter.Records()[0].text, HasSubstr(c.message));
  }
  EXPECT_EQ(SearchSurround(Folder(), "cams.asc", FixAt(11, 48), 10, reporter_).size(), 1u);

  const AscFileList none = FillAscFileList(Folder() + "gone/", "", reporter_);
  EXPECT_TRUE(none.names.empty());
  EXPECT_EQ(Texts(), std::vector<std::string>{"No *.asc files found.\nCheck the ASC dir path key in the SntGlobals.ini "
                                              "file:\n'ASCReadDirPath' = '" +
                                              Folder() + "gone/'\n"});
}

TEST_F(SearchFiles, TheFavouriteReplacesTheOldFileOnlyWhenWrittenWhole) {
  const SurroundRow row{"7.4", "90\u00B0", "Caf\xE9", "11.1", "48.0"};
  ASSERT_EQ(WriteFavourite(Folder(), ProgramMode::kSentry, row, reporter_), 0);
  ASSERT_EQ(WriteFavourite(Folder(), ProgramMode::kSentry, row, reporter_), 0);
  EXPECT_EQ(platform::testing::ReadFile(folder_ / "SntFav.ASC"), "11.1, 48.0, \"Caf\xE9\"\r\n");
  ASSERT_EQ(WriteFavourite(Folder(), ProgramMode::kRover, row, reporter_), 0);
  EXPECT_TRUE(fs::exists(folder_ / "RvrFav.ASC"));
  EXPECT_TRUE(reporter_.Records().empty());

  // A disk that fills up while the new file is written: the old one stays whole.
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
  const rlimit nearlyFull{10, limit.rlim_max};
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &nearlyFull), 0);
  const int cut = WriteFavourite(Folder(), ProgramMode::kSentry, row, reporter_);
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(cut, -1);
  EXPECT_EQ(platform::testing::ReadFile(folder_ / "SntFav.ASC"), "11.1, 48.0, \"Caf\xE9\"\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_.Path()), {}), 2);  // no temporary left behind

  fs::remove(folder_ / "RvrFav.ASC");
  fs::create_symlink("/dev/full", folder_ / "RvrFav.ASC");
  EXPECT_EQ(WriteFavourite(Folder(), ProgramMode::kRover, row, reporter_), -1);
  const std::vector<std::string> texts = Texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_THAT(texts.front(), HasSubstr("Can't write to file '" + Folder() + "SntFav.ASC'.\n"));
  EXPECT_THAT(texts.back(), HasSubstr("Can't write to file '" + Folder() + "RvrFav.ASC'.\n"));
  EXPECT_THAT(texts.back(), HasSubstr("Error No 112: "));
}

TEST(ArrangeSearchDialog, LandscapeStacksTheButtonsAtTheRight) {
  const SearchDialogLayout portrait{{3, 40, 200, 150}, {3, 200, 60, 24}, {70, 200, 60, 24}, {140, 200, 60, 24}};
  EXPECT_EQ(ArrangeSearchDialog(portrait, 207, 230, 240, 320).list, portrait.list);

  std::vector<std::string> notes;
  const SearchDialogLayout landscape = ArrangeSearchDialog(portrait, 320, 200, 320, 240, &notes);
  EXPECT_EQ(landscape.search, (LayoutRect{257, 3, 60, 24}));
  EXPECT_EQ(landscape.ok, (LayoutRect{257, 30, 60, 24}));
  EXPECT_EQ(landscape.cancel, (LayoutRect{257, 57, 60, 24}));
  EXPECT_EQ(landscape.list, (LayoutRect{3, 40, 200, 157}));
  EXPECT_EQ(ArrangeSearchDialog(portrait, 240, 200, 240, 240).list.width, 171);  // kept clear of the buttons
  ASSERT_EQ(notes.size(), 4u);
  EXPECT_EQ(notes[0], "Moving Button Search\r\nFrom x 3, y 200, Width 60, Height 24 ");
  EXPECT_EQ(notes[3], "Resizing the List\r\nFrom x 3, y 40, Width 200, Height 150 ");
}

}  // namespace
}  // namespace warner
