// The table's cells as shown and committed, and the configuration text a table becomes.

#include "converter/editor/configuration_text.h"

#include <gtest/gtest.h>

#include <string>

namespace converter::editor {
namespace {

TEST(ColumnsTest, DisplayShortensLongPathsOnly) {
  const std::string path20 = "12345678901234567890";
  struct Case {
    int column;
    std::string value;
    std::string shown;
  } cases[] = {
      {4, path20, path20},
      {4, "x" + path20, "~" + path20},
      {6, "/long/folder/\xC3\xA4" + path20, "~" + path20},
      {6, "\xC3\xA4" + path20.substr(1), "\xC3\xA4" + path20.substr(1)},  // 20 characters, 21 bytes
      {11, "x" + path20, "x" + path20},                                   // not a path column
  };
  for (const Case& c : cases) EXPECT_EQ(DisplayText(0, c.column, c.value), c.shown) << c.value;
  EXPECT_EQ(DisplayText(0, 0, ""), " 1");
  EXPECT_EQ(DisplayText(999, 0, ""), "1000");
}

TEST(ColumnsTest, EditorSpanWidensWithinTheClientArea) {
  struct Case {
    Span cell;
    int minWidth;
    Span editor;
  } cases[] = {
      {{10, 100}, 80, {10, 100}},    // wide enough
      {{10, 40}, 80, {10, 80}},      // to the right
      {{200, 40}, 350, {200, 300}},  // left half: up to the right edge
      {{400, 40}, 150, {290, 150}},  // right half: keeps its right edge
      {{400, 40}, 600, {0, 440}},    // not beyond the left edge
  };
  for (const Case& c : cases) EXPECT_EQ(EditorSpan(c.cell, c.minWidth, 500), c.editor) << c.cell.left;
}

class ComposeTest : public ::testing::Test {
 protected:
  ComposeTest() {
    table_.mainGroup = " Roads ";
    table_.rows[0] = {"", "Cams", "101", "", "/poi/cams.asc", "", "/bmp/cam.bmp", "", "", "", "", ".Camera", "400m"};
  }
  ComposedConfiguration Compose() const {
    return ComposeConfiguration(table_, {"/p/Log.txt", "/p/POI/", "/p/POI/S.snt"});
  }

  EditorTable table_;
};

TEST_F(ComposeTest, WritesGlobalsAndUsedRowsWithDefaults) {
  table_.rows[2] = {"", " Mine ", "7", "3", "a.csv", "2", "b.bmp", "59", "10", "Red", "Blue", "", ""};
  table_.rows[5][7] = ";";  // only optional cells: not used, skipped
  table_.region = MapRegion::kAmerica;
  table_.includeComments = false;
  const ComposedConfiguration composed = Compose();
  EXPECT_EQ(composed.errors, "");
  EXPECT_EQ(composed.text,
            "LogFile = /p/Log.txt\nLogLevel = Summary\nTargetSystem = NavigonOEM\nMainGroup = Roads\n"
            "DestinationDirectory = /p/POI/Roads/\nWaypostPath = /p/POI/S.snt\nIncludeComments = 0\n"
            "MapRegion = America\n"
            "\nSubGroup = Cams\nSubCategory = 101\nASCFile = /poi/cams.asc\nZoomLevelText = 6\n"
            "ColumnSeparator = ,\nFontName = Tahoma\nFontSize = 8\nFontColour = Black\nOutlineColour = White\n"
            "BitmapFile = /bmp/cam.bmp\nZoomLevelBitmap = 6\nWAVFile = .Camera\nSentryDistance = 400m\n"
            "\nSubGroup = Mine\nSubCategory = 7\nASCFile = a.csv\nZoomLevelText = 3\nColumnSeparator = 59\n"
            "FontName = Tahoma\nFontSize = 10\nFontColour = Red\nOutlineColour = Blue\nBitmapFile = b.bmp\n"
            "ZoomLevelBitmap = 2\nWAVFile = \nSentryDistance = \n");
}

TEST_F(ComposeTest, CollectsEveryError) {
  struct Case {
    const char* name;
    void (*change)(EditorTable&);
    const char* errors;
  } cases[] = {
      {"no main group", [](EditorTable& t) { t.mainGroup = "  "; }, "Main Group is not defined.\n"},
      {"only a name in rows 3 and 1000",
       [](EditorTable& t) {
         t.rows[2][1] = "Half";
         t.rows[999][6] = "x.bmp";
       },
       "Wrong or incomplete values in line 3.\nWrong or incomplete values in line 1000.\n"},
      {"blank required cell", [](EditorTable& t) { t.rows[0][2] = "  "; }, "Wrong or incomplete values in line 1.\n"},
      {"no Windows-1252 code", [](EditorTable& t) { t.rows[0][11] = "\xE2\x82\xAC\xE4\xB8\xAD"; },
       "Characters without a Windows-1252 code in line 1.\n"},
  };
  for (const Case& c : cases) {
    EditorTable table = table_;
    c.change(table);
    EXPECT_EQ(ComposeConfiguration(table, {}).errors, c.errors) << c.name;
  }
}

}  // namespace
}  // namespace converter::editor
