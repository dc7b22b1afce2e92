// The editor's model: cell editor, load, save, convert and quit, with a scripted user.

#include "converter/editor/config_editor.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "converter/config/config_values.h"
#include "platform/process/process.h"
#include "platform/reports/scripted_reporter.h"
#include "platform/testing/files.h"
#include "platform/testing/reports.h"
#include "platform/testing/temp_folder.h"

namespace converter::editor {
namespace {

namespace fs = std::filesystem;
using platform::testing::ReadFile;
using platform::testing::Texts;
using platform::testing::WriteFile;

const std::string kRow = "\nSubGroup = Cams\nSubCategory = 101\nASCFile = c.asc\nBitmapFile = c.bmp\n";

class ConfigEditorTest : public ::testing::Test {
 protected:
  ConfigEditor MakeEditor() {
    return ConfigEditor(
        {folder_.Path().string() + "/", "/opt/placeforge"}, reporter_,
        [this](const FileDialogRequest& request) {
          requests_.push_back(request);
          std::optional<std::string> answer = choices_.empty() ? std::nullopt : choices_.front();
          if (!choices_.empty()) choices_.pop_front();
          return answer;
        },
        [this](const std::string& converter, const std::string& config) {
          launches_.push_back(converter + " " + config);
          return launchResult_;
        });
  }
  // Types `text` into a cell and presses Enter.
  bool Type(int row, int column, const std::string& text) {
    editor_.OpenEditor(row, column);
    editor_.SetEditorText(text);
    return editor_.CommitEditor();
  }
  void FillRow(int row) {
    for (auto [column, text] : {std::pair{1, "Cams"}, {2, "101"}, {4, "c.asc"}, {6, "c.bmp"}}) Type(row, column, text);
  }
  std::string File(const char* name) const { return folder_.File(name); }

  platform::testing::TempFolder folder_{"converter_editor_test"};
  platform::ScriptedReporter reporter_;
  std::deque<std::optional<std::string>> choices_;
  std::vector<FileDialogRequest> requests_;
  std::vector<std::string> launches_;
  std::optional<int> launchResult_ = 0;
  ConfigEditor editor_ = MakeEditor();
};

TEST_F(ConfigEditorTest, CommitRules) {
  struct Case {
    int column;
    bool closed;
    std::string typed;
    std::string cell;
  } cases[] = {
      {1, true, "  Cams \t", "Cams"},  // trimmed
      {2, false, "12a", ""},           // refused, the previous value stays
      {2, true, " 0042 ", "0042"},
      {3, true, "", ""},                                         // empty is accepted everywhere
      {11, true, std::string(300, 'w'), std::string(130, 'w')},  // cut to the column's limit
      {1, true, std::string(40, 'n'), std::string(31, 'n')},     // what the converter's SubGroup takes
  };
  for (const Case& c : cases) {
    ConfigEditor editor = MakeEditor();
    editor.OpenEditor(0, c.column);
    editor.SetEditorText(c.typed);
    EXPECT_EQ(editor.CommitEditor(), c.closed) << c.typed;
    EXPECT_EQ(editor.Table().rows[0][static_cast<size_t>(c.column)], c.cell) << c.typed;
    EXPECT_EQ(editor.Editor().has_value(), !c.closed);
    if (!c.closed) {
      EXPECT_EQ(editor.Editor()->text, c.cell);  // the edit box shows the previous value again
    }
    EXPECT_EQ(editor.Modified(), c.closed && !c.cell.empty()) << c.typed;
  }
  EXPECT_EQ(Texts(reporter_), std::vector<std::string>{"The list item must be numeric."});
  EXPECT_FALSE(editor_.OpenEditor(0, 0));  // the row number
}

TEST_F(ConfigEditorTest, EscapeDiscards) {
  Type(0, 1, "A");
  editor_.OpenEditor(0, 1);
  editor_.SetEditorText("B");
  EXPECT_FALSE(editor_.Escape());
  EXPECT_EQ(editor_.Table().rows[0][1], "A");
  EXPECT_FALSE(editor_.Editor());
}

TEST_F(ConfigEditorTest, RefusedCommitStopsEveryAction) {
  FillRow(0);
  editor_.SetMainGroup("Roads");
  choices_ = {File("saved.txt")};
  const std::pair<const char*, bool (*)(ConfigEditor&, const std::string&)> actions[] = {
      {"save config", [](ConfigEditor& e, const std::string&) { return e.SaveConfig(); }},
      {"save to", [](ConfigEditor& e, const std::string& path) { return e.SaveTo(path); }},
      {"convert", [](ConfigEditor& e, const std::string&) { return e.Convert(); }},
      {"load", [](ConfigEditor& e, const std::string&) { return e.LoadConfig(); }},
      {"quit", [](ConfigEditor& e, const std::string&) { return e.ConfirmQuit(); }},
      {"other cell", [](ConfigEditor& e, const std::string&) { return e.OpenEditor(1, 1); }},
  };
  reporter_.QueueAnswer(true);  // overwrite the modified table
  for (const auto& [name, action] : actions) {
    editor_.OpenEditor(0, 8);
    editor_.SetEditorText("1x");
    EXPECT_FALSE(action(editor_, File("saved.txt"))) << name;
    EXPECT_EQ(editor_.Editor()->column, 8) << name;
  }
  EXPECT_TRUE(requests_.empty());
  EXPECT_TRUE(launches_.empty());
  EXPECT_FALSE(fs::exists(File("saved.txt")));
  EXPECT_EQ(Texts(reporter_).size(), 7u);  // six refusals and the question of the load
}

TEST_F(ConfigEditorTest, ConvertWritesThePathsOfEachTarget) {
  struct Case {
    TargetSystem target;
    const char* folder;
  } cases[] = {{TargetSystem::kSntOnly, "POI"},
               {TargetSystem::kNavigonOem, "POI"},
               {TargetSystem::kMapAndGuideCsv, "MapAndGuideCSV"},
               {TargetSystem::kDestinatorCsv, "DestinatorCSV"}};
  FillRow(0);
  editor_.SetMainGroup("Roads");
  const std::string p = folder_.Path().string() + "/";
  for (const Case& c : cases) {
    editor_.SetTarget(c.target);
    ASSERT_TRUE(editor_.Convert());
    const std::string base = p + c.folder + "/";
    std::string expected = "LogFile = " + p;
    expected += "PlacewrightLog.txt\nLogLevel = Summary\nTargetSystem = ";
    expected += TargetSystemName(c.target);
    expected += "\nMainGroup = Roads\nDestinationDirectory = " + base;
    expected += "Roads/\nWaypostPath = " + base;
    expected += "Sentry.snt\nIncludeComments = 1\n";
    if (c.target == TargetSystem::kNavigonOem) expected += "MapRegion = Europe\n";
    expected +=
        "\nSubGroup = Cams\nSubCategory = 101\nASCFile = c.asc\nZoomLevelText = 6\nColumnSeparator = ,\n"
        "FontName = Tahoma\nFontSize = 8\nFontColour = Black\nOutlineColour = White\nBitmapFile = c.bmp\n"
        "ZoomLevelBitmap = 6\nWAVFile = \nSentryDistance = \n";
    EXPECT_EQ(ReadFile(p + "Placewright.txt"), expected);
    EXPECT_FALSE(editor_.Modified());
  }
  EXPECT_EQ(launches_.back(), "/opt/placeforge " + p + "Placewright.txt");
  // Save Config writes POI whatever the target.
  ASSERT_TRUE(editor_.SaveTo(File("saved.txt")));
  EXPECT_NE(ReadFile(File("saved.txt"))
                .find("DestinationDirectory = " + p + "POI/Roads/\nWaypostPath = " + p + "POI/Sentry.snt\n"),
            std::string::npos);
  EXPECT_EQ(editor_.LastFileName(), File("saved.txt"));
  EXPECT_TRUE(reporter_.Records().empty());
}

TEST_F(ConfigEditorTest, ConvertFailures) {
  struct Case {
    const char* name;
    std::optional<int> result;
    bool mainGroup;
    const char* message;
  } cases[] = {
      {"invalid", 0, false, "Main Group is not defined.\n"},
      {"not started", std::nullopt, true,
       "Calling converting machine placeforge failed.\nNot enough memory?\nCheck if it is in the directory:\n"},
      {"failed", 3, true, "The conversion ended with result 3.\nSee the log file:\n"},
  };
  for (const Case& c : cases) {
    platform::ScriptedReporter reporter;
    launchResult_ = c.result;
    ConfigEditor editor({folder_.Path().string() + "/", "/opt/placeforge"}, reporter, {},
                        [this](const std::string&, const std::string&) { return launchResult_; });
    editor.SetMainGroup(c.mainGroup ? "Roads" : "");
    EXPECT_FALSE(editor.Convert()) << c.name;
    EXPECT_TRUE(platform::testing::OneRecordStartingWith(reporter, c.message)) << c.name;
    EXPECT_EQ(fs::exists(File("Placewright.txt")), c.mainGroup) << c.name;  // nothing written when invalid
    EXPECT_EQ(editor.Modified(), c.mainGroup) << c.name;
  }
}

TEST_F(ConfigEditorTest, SaveToAFolderThatCannotBeWritten) {
  editor_.SetMainGroup("Roads");
  EXPECT_FALSE(editor_.SaveTo(File("missing/x.txt")));
  EXPECT_EQ(Texts(reporter_), std::vector<std::string>{"Can't open " + File("missing/x.txt") + " for write.\n"});
  EXPECT_TRUE(editor_.Modified());
  EXPECT_EQ(editor_.LastFileName(), "");
}

TEST_F(ConfigEditorTest, LoadFillsTheTableAndAsksWhenModified) {
  std::string text =
      "MainGroup = R\xF6"
      "ads\nTargetSystem = SNTOnly\nIncludeComments = 0\nLogFile = " +
      std::string(600, 'l') + "\n";
  for (int i = 0; i < 5; ++i) text += kRow;
  text += "FontType = 0x10\nSentryDistance = 15s  // comment\n";
  WriteFile(File("in.txt"), text);
  editor_.SetMainGroup("changed");

  choices_ = {File("in.txt")};
  reporter_.QueueAnswer(false);
  EXPECT_FALSE(editor_.LoadConfig());
  EXPECT_TRUE(requests_.empty());
  reporter_.QueueAnswer(true);
  ASSERT_TRUE(editor_.LoadConfig());
  EXPECT_EQ(requests_.back().title, "POI Configuration File");
  EXPECT_EQ(requests_.back().mode, FileDialogRequest::Mode::kOpen);

  const EditorTable& table = editor_.Table();
  EXPECT_EQ(table.mainGroup,
            "R\xC3\xB6"
            "ads");
  EXPECT_EQ(table.target, TargetSystem::kSntOnly);
  EXPECT_FALSE(editor_.RegionEnabled());
  EXPECT_FALSE(table.includeComments);
  EXPECT_EQ(table.rows[4][1], "Cams");
  EXPECT_EQ(table.rows[4][12], "15s");
  EXPECT_FALSE(IsUsed(table.rows[5]));
  EXPECT_FALSE(editor_.Modified());
  EXPECT_EQ(editor_.LastFileName(), File("in.txt"));
  EXPECT_EQ(Texts(reporter_), (std::vector<std::string>{"Data was modified.\nDo you really want to overwrite?",
                                                        "Data was modified.\nDo you really want to overwrite?"}));
}

TEST_F(ConfigEditorTest, FailedLoadKeepsTheTable) {
  std::string tooMany;
  for (int i = 0; i < 1001; ++i) tooMany += kRow;
  struct Case {
    const char* name;
    std::string text;
    const char* message;
  } cases[] = {
      {"1001 subcategories", tooMany,
       "Reading of the configuration file was terminated with the following error:\n# Line 5002: Number of "
       "subcategories too great: 1001, max allowed: 1000.\n"},
      {"long name", "SubGroup = " + std::string(32, 'n') + "\n",
       "Reading of the configuration file was terminated with the following error:\n# Line 1: String too long, max "
       "allowed 32 characters. #"},
      {"long main group", "MainGroup = " + std::string(40, 'm') + "\n",
       "Decoding of the configuration file was terminated with the following error:\n# Line 1: String too long, max "
       "allowed 32 characters. #"},
      {"missing", "", "Can't open "},
  };
  FillRow(0);
  const EditorTable before = editor_.Table();
  for (const Case& c : cases) {
    const std::string path = File("bad.txt");
    if (c.text.empty()) {
      fs::remove(path);
    } else {
      WriteFile(path, c.text);
    }
    EXPECT_FALSE(editor_.LoadFrom(path)) << c.name;
    EXPECT_EQ(editor_.Table().rows, before.rows) << c.name;
    EXPECT_EQ(Texts(reporter_).back().rfind(c.message, 0), 0u) << Texts(reporter_).back();
  }
}

TEST_F(ConfigEditorTest, GarbageLoadsAsNoSubcategories) {
  FillRow(0);
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 37) % 256);
  WriteFile(File("garbage.txt"), garbage);
  EXPECT_TRUE(editor_.LoadFrom(File("garbage.txt")));
  EXPECT_EQ(Texts(reporter_), std::vector<std::string>{"No subcategories found in the file."});
  EXPECT_FALSE(IsUsed(editor_.Table().rows[0]));
}

TEST_F(ConfigEditorTest, FileSelectionForPathCells) {
  choices_ = {"/data/poi/list.asc", std::nullopt, "/data/" + std::string(300, 'b') + ".bmp"};
  editor_.ChooseFile(0, 4);
  EXPECT_EQ(editor_.Table().rows[0][4], "/data/poi/list.asc");
  EXPECT_TRUE(editor_.Modified());
  editor_.ChooseFile(0, 4);  // cancelled
  editor_.ChooseFile(0, 6);  // too long for the cell
  EXPECT_EQ(editor_.Table().rows[0][4], "/data/poi/list.asc");
  EXPECT_EQ(editor_.Table().rows[0][6], "");
  editor_.ChooseFile(0, 1);  // not a path cell: no dialog
  ASSERT_EQ(requests_.size(), 3u);
  EXPECT_EQ(requests_[0].title, "POI Description File");
  EXPECT_EQ(requests_[0].filters[0].second, "*.asc;*.csv;*.txt");
  EXPECT_EQ(requests_[1].start, "/data/poi/list.asc");
  EXPECT_EQ(requests_[2].filters[0].first, "Bitmap File (*.bmp)");
  EXPECT_EQ(Texts(reporter_), std::vector<std::string>{"Can't save the info to this item"});
}

TEST_F(ConfigEditorTest, AboutNamesProgramAndVersion) {
  editor_.About("placewright", "1.2.0.0");
  editor_.About("placewright", "");
  EXPECT_EQ(Texts(reporter_), (std::vector<std::string>{"placewright Version 1.2.0.0", "placewright Version Unknown"}));
}

TEST_F(ConfigEditorTest, QuitAsksOnlyWhenModified) {
  EXPECT_TRUE(editor_.Escape());
  EXPECT_TRUE(editor_.Exit());
  editor_.SetMainGroup("x");
  reporter_.QueueAnswer(false);
  reporter_.QueueAnswer(true);
  EXPECT_FALSE(editor_.Exit());
  EXPECT_TRUE(editor_.Escape());
  editor_.OpenEditor(0, 1);
  EXPECT_FALSE(editor_.Exit());  // closes the editor, stays
  EXPECT_FALSE(editor_.Editor());
  EXPECT_EQ(Texts(reporter_).size(), 2u);
}

// The sample configuration saved by the editor converts to the same database as the original.
TEST_F(ConfigEditorTest, SampleRoundTripGivesTheSameDatabase) {
  const fs::path sample = folder_ / "sample";
  fs::copy(SAMPLE_DATA_DIR, sample, fs::copy_options::recursive);
  ASSERT_TRUE(editor_.LoadFrom((sample / "placeforge.txt").string()));
  EXPECT_EQ(editor_.Table().rows[2][12], "15s");
  ASSERT_TRUE(editor_.SaveTo(File("saved.txt")));
  const std::string saved = ReadFile(File("saved.txt"));
  EXPECT_NE(saved.find("\nSubGroup = FuelStations\nSubCategory = 106\nASCFile = poi\\fuel_stations.csv\n"
                       "ZoomLevelText = 6\nColumnSeparator = 59\nFontName = Tahoma\nFontSize = 0\n"),
            std::string::npos);
  EXPECT_EQ(saved.find("FontType"), std::string::npos);

  // Both conversions in the sample folder, where the configuration's relative lists lie.
  const fs::path cwd = fs::current_path();
  fs::current_path(sample);
  const platform::ProcessResult original = platform::StartProcess(PLACEFORGE_PATH, {"-k", "placeforge.txt"}, true);
  const platform::ProcessResult resaved = platform::StartProcess(PLACEFORGE_PATH, {"-k", File("saved.txt")}, true);
  fs::current_path(cwd);
  EXPECT_EQ(original.exitCode, 0);
  EXPECT_EQ(resaved.exitCode, 0);
  const std::string snt = ReadFile(sample / "output/Sentry.snt");
  EXPECT_FALSE(snt.empty());
  EXPECT_EQ(ReadFile(folder_ / "POI/Sentry.snt"), snt);
}

}  // namespace
}  // namespace converter::editor
