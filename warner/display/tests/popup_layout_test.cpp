#include "warner/display/popup_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/reports/scripted_reporter.h"
#include "platform/testing/files.h"
#include "platform/testing/temp_folder.h"

namespace warner::display {
namespace {

PopupLayout OnlyLayout(const std::string& text, int announceOpenTime = 10) {
  const std::vector<PopupLayout> layouts = ParseWindowLayouts(text, announceOpenTime);
  EXPECT_EQ(layouts.size(), 1u) << text;
  return layouts.empty() ? PopupLayout{} : layouts.front();
}

TEST(PopupLayoutTest, SectionsNamesAndTheLimit) {
  std::string file = "PosX=5\n[GENERAL]\nPosX=7\n[xANDI] // distance\nPosX=1\n[A very long name]\nPosX=2\n";
  for (int i = 0; i < 24; ++i) file += "[W" + std::to_string(i) + "]\nPosY=" + std::to_string(i) + "\n";
  const std::vector<PopupLayout> layouts = ParseWindowLayouts(file, 7);
  ASSERT_EQ(layouts.size(), kMaxLayouts);
  // A code directly before "]" names the window after the code; any other name is cut to 10.
  EXPECT_EQ(layouts[0].code, FieldCode::kANDI);
  EXPECT_EQ(layouts[0].name, "ANDI");
  EXPECT_EQ(layouts[0].posX, 1);
  EXPECT_EQ(layouts[0].openTime, 7000u);
  EXPECT_EQ(layouts[0].unitCode, 0);  // metres
  EXPECT_EQ(layouts[0].dimensionText, "m");
  EXPECT_EQ(layouts[1].code, FieldCode::kNone);
  EXPECT_EQ(layouts[1].name, "A very lon");
  EXPECT_EQ(layouts[1].posX, 2);
  // The 26th section and its keys are skipped.
  EXPECT_EQ(layouts.back().name, "W22");
  EXPECT_EQ(layouts.back().posY, 22);
  EXPECT_EQ(ParseWindowLayouts("[ANNO ]\n[ANNO]\n", 0)[1].openTime, 10000u);
  EXPECT_EQ(ParseWindowLayouts("[ANNO]\n", 536870912)[0].openTime, 2147483000u);  // never wraps to 0
}

TEST(PopupLayoutTest, KeysAndCodeDefaults) {
  const PopupLayout batt = OnlyLayout("[BATT]\nBackColour2 = 42\nTextColour=7\n");
  EXPECT_EQ(batt.backColour, (std::array<uint32_t, 4>{255, 42, 0x0B86B8, 0x00A018}));
  EXPECT_EQ(batt.textColour, (std::array<uint32_t, 4>{7, 7, 7, 7}));

  const PopupLayout psnt = OnlyLayout("[PSNT]\nNoSatFixColour=1\nSatFixColour=2\nBackColour1=3\nWindBorder=1\n");
  EXPECT_EQ(psnt.backColour, (std::array<uint32_t, 4>{3, 1, 2, 255}));
  EXPECT_TRUE(psnt.border);

  const PopupLayout coor = OnlyLayout("[COOR]\nFontName=  Deja Vu  \nDimensionText= deg\t\nTimeZone=L\n");
  EXPECT_EQ(coor.textAlign, 1026);
  EXPECT_EQ(coor.fontName, "Deja Vu");
  EXPECT_EQ(coor.dimensionText, "deg ");  // untrimmed, the tab a blank
  EXPECT_FALSE(coor.localTime);           // a TIME key only

  const PopupLayout time = OnlyLayout("[TIME]\ntimezone = local\nTimeCorrSecs=-30\n");
  EXPECT_TRUE(time.localTime);
  EXPECT_EQ(time.timeCorrSecs, -30);

  const PopupLayout hght = OnlyLayout("[HGHT]\nHeightCorrection=1\nHeightCorrMeters=2.5\nDimension=FT\n");
  EXPECT_TRUE(hght.heightCorrection);
  EXPECT_DOUBLE_EQ(hght.heightCorrMeters, 2.5);
  EXPECT_EQ(hght.dimension, "ft");
  EXPECT_EQ(hght.unitCode, 1);

  EXPECT_EQ(OnlyLayout("[TMCS]\nShowRadioStation=1\n").textAlign, 1024);
  EXPECT_TRUE(OnlyLayout("[TMCS]\nShowRadioStation=1\n").showRadioStation);
  EXPECT_EQ(OnlyLayout("[Mine]\n").posX, 90);
}

TEST(PopupLayoutTest, FontWeightAtSectionEnd) {
  const struct {
    const char* value;
    int weight;
  } kCases[] = {{"0", 400}, {"1", 700}, {"2", 900}, {"400", 900}, {"-300", 300}, {"-2147483648", 2147483647}};
  for (const auto& c : kCases) {
    EXPECT_EQ(OnlyLayout(std::string("[SPED]\nFontWeight=") + c.value + "\n").fontWeight, c.weight) << c.value;
  }
  EXPECT_EQ(OnlyLayout("[SPED]\n").fontWeight, 400);
}

TEST(PopupLayoutTest, DimensionToUnitCode) {
  const struct {
    const char* dimension;
    FieldCode code;
    int unit;
  } kCases[] = {
      {"hmss", FieldCode::kTIME, 3},  {"hms", FieldCode::kTIME, 2}, {"hm", FieldCode::kTIME, 1},
      {"", FieldCode::kTIME, 2},      {"h", FieldCode::kTIME, 0},   {"km", FieldCode::kANDI, 2},
      {"ft", FieldCode::kANDI, 1},    {"mi", FieldCode::kANDI, 3},  {"nm", FieldCode::kANDI, 4},
      {"yd", FieldCode::kANDI, 0},    {"mph", FieldCode::kSPED, 1}, {"kmph", FieldCode::kSPED, 0},
      {"knots", FieldCode::kSPED, 2}, {"gm", FieldCode::kHEAD, 1},  {"dd", FieldCode::kDIRC, 0},
      {"gms", FieldCode::kCOOR, 1},   {"gm", FieldCode::kCOOR, 0},  {"km", FieldCode::kHDOP, 0},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(PopupLayoutUnitCode(c.code, c.dimension), c.unit) << FieldCodeName(c.code) << " " << c.dimension;
  }
}

TEST(PopupLayoutTest, ReadsTheFileOrSaysItCannot) {
  platform::testing::TempFolder folder("display_test");
  platform::testing::WriteFile(folder / "Waypost.ini", "[SPED]\r\nPosX=12\r\n");
  platform::ScriptedReporter reporter;
  std::vector<PopupLayout> layouts;
  ASSERT_EQ(ReadWindowLayouts(folder.File("Waypost.ini"), 10, layouts, reporter), 0);
  ASSERT_EQ(layouts.size(), 1u);
  EXPECT_EQ(layouts[0].posX, 12);

  const std::string missing = folder.File("Missing.ini");
  EXPECT_EQ(ReadWindowLayouts(missing, 10, layouts, reporter), -1);
  EXPECT_EQ(layouts.size(), 1u);
  ASSERT_EQ(reporter.Records().size(), 1u);
  EXPECT_TRUE(reporter.Records()[0].text.starts_with("Can't open " + missing + ".\n")) << reporter.Records()[0].text;
}

}  // namespace
}  // namespace warner::display
