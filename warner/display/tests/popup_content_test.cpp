#include "warner/display/popup_content.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace warner::display {
namespace {

PopupLayout Layout(const std::string& section) {
  const std::vector<PopupLayout> layouts = ParseWindowLayouts(section, 10);
  return layouts.empty() ? PopupLayout{} : layouts.front();
}

DisplayInputs SampleInputs() {
  DisplayInputs in;
  in.fix.hour = 23;
  in.fix.minute = 59;
  in.fix.second = 30;
  in.fix.millisecond = 250;
  in.fix.latitude = 48.05833;
  in.fix.longitude = -11.5;
  in.fix.latDegrees = 48;
  in.fix.latMinutes = 3;
  in.fix.latSeconds = 30;
  in.fix.lonDegrees = -11;
  in.fix.lonMinutes = 30;
  in.fix.lonSeconds = 0;
  in.fix.speedKmh = 99.6;
  in.fix.course = 123.4;
  in.fix.altitude = 512.5;
  in.fix.geoidSeparation = 47.0;
  in.fix.geoidSeparationUnit = u'M';
  in.fix.hdop = 1.25;
  in.fix.satellites = 7;
  in.announcementText = "Camera";
  in.announcementDistance = 1234.0;
  in.trafficMessageCount = 3;
  in.stationText = "RADIO 7";
  in.timeZoneBiasMinutes = -60;
  return in;
}

TEST(PopupContentTest, EveryFieldFormat) {
  using Change = std::function<void(DisplayInputs&)>;
  const Change none = [](DisplayInputs&) {};
  const struct {
    const char* section;
    Change change;
    const char* text;
  } kCases[] = {
      {"[PSNT]\nFontSizeX=8", none, ":7"},
      {"[PSNT]\nFontSizeX=2", none, ""},
      {"[TIME]", none, "23:59:30"},
      {"[TIME]\nDimension=hm", none, "23:59"},
      {"[TIME]\nDimension=h", none, "23"},
      {"[TIME]\nDimension=hmss", none, "23:59:30.250"},
      {"[TIME]\nTimeZone=Local", none, "00:59:30"},
      {"[TIME]\nTimeCorrSecs=-86430\nDimension=hms", none, "23:59:00"},
      {"[ANNO]", none, "Camera"},
      {"[ANNO]", [](DisplayInputs& in) { in.announcementText.clear(); }, "?"},
      {"[ANDI]", none, " 1234m"},
      {"[ANDI]\nDimension=km\nDimensionText=km", none, "1.234km"},
      {"[ANDI]\nDimension=ft\nDimensionText=ft", [](DisplayInputs& in) { in.announcementDistance = -10; }, "  -32ft"},
      {"[ANDI]\nDimension=mi\nDimensionText=mi", none, "0.767mi"},
      {"[ANDI]\nDimension=nm\nDimensionText=nm", none, "0.666nm"},
      {"[SPED]", none, " 100kmh"},
      {"[SPED]\nDimension=mph\nDimensionText=mph", none, "  62mph"},
      {"[SPED]", [](DisplayInputs& in) { in.fix.speedKmh = 1e300; }, "2147483647kmh"},
      {"[HEAD]", none, "123.4\u00B0"},
      {"[HEAD]\nDimension=gm", none, "123\u00B024'\n"},
      {"[COOR]", none, "  48.05833\u00B0\n -11.50000\u00B0"},
      {"[COOR]", [](DisplayInputs& in) { in.displayLongitudeFirst = true; }, " -11.50000\u00B0\n  48.05833\u00B0"},
      {"[COOR]\nDimension=gms", none, "  48\u00B003'30\"\n -11\u00B030'00\""},
      {"[HGHT]", none, "  513m"},
      {"[HGHT]\nHeightCorrection=1", none, "  466m"},
      {"[HGHT]\nHeightCorrection=1\nHeightCorrMeters=12.5",
       [](DisplayInputs& in) { in.fix.geoidSeparationUnit = u' '; }, "  500m"},
      {"[HGHT]\nDimension=ft\nDimensionText=ft", [](DisplayInputs& in) { in.fix.altitude = -0.5; }, "   -2ft"},
      {"[HDOP]", none, "1.2~"},
      {"[TMCS]", none, ":3"},
      {"[TMCS]\nShowRadioStation=1", none, "RADIO 7\n:3"},
      {"[DIDI]", none, ""},
      {"[Mine]", none, ""},
  };
  for (const auto& c : kCases) {
    DisplayInputs in = SampleInputs();
    c.change(in);
    EXPECT_EQ(ComputeContent(Layout(c.section), in).text, c.text) << c.section;
  }
}

TEST(PopupContentTest, AnnouncementBitmapAndNeedle) {
  DisplayInputs in = SampleInputs();
  in.announcementBitmap = "/pics/Camera.bmp";
  EXPECT_EQ(ComputeContent(Layout("[ANNO]"), in).bitmapPath, "/pics/Camera.bmp");
  EXPECT_EQ(ComputeContent(Layout("[HEAD]"), in).needleAngle, 123.4);
  EXPECT_EQ(ComputeContent(Layout("[DIRC]"), in).needleAngle, 0.0);
  EXPECT_FALSE(ComputeContent(Layout("[SPED]"), in).needleAngle);
}

TEST(PopupContentTest, StatusColours) {
  const struct {
    const char* section;
    SatelliteState state;
    uint32_t background;
  } kCases[] = {
      {"[PSNT]", SatelliteState::kNoFix, 0x0B86B8},
      {"[PSNT]", SatelliteState::kFix, 0x00E600},
      {"[PSNT]", SatelliteState::kOther, 0x0000E6},
      {"[PSNT]\nBackColour=5", SatelliteState::kFix, 0x00E600},
      {"[PSNT]\nNoSatFixColour=1\nSatFixColour=2\nBackColour1=3", SatelliteState::kNoFix, 1},
      {"[PSNT]\nNoSatFixColour=1\nSatFixColour=2\nBackColour1=3", SatelliteState::kFix, 2},
      {"[PSNT]\nNoSatFixColour=1\nSatFixColour=2\nBackColour1=3", SatelliteState::kOther, 3},
  };
  for (const auto& c : kCases) {
    DisplayInputs in = SampleInputs();
    in.satellite = c.state;
    EXPECT_EQ(ComputeContent(Layout(c.section), in).background, c.background) << c.section;
  }
}

TEST(PopupContentTest, BatteryTextsAndBands) {
  using Source = BatteryState::Source;
  const struct {
    BatteryState battery;
    const char* text;
    uint32_t background;
    uint32_t textColour;
  } kCases[] = {
      {{Source::kMains, -1}, ">>%", 0x00A018, 0xFFFFFF},
      {{Source::kBackup, -1}, "><%", 0x00A018, 0xFFFFFF},
      {{Source::kFullOnBattery, 100}, "++%", 0x00A018, 0xFFFFFF},
      {{Source::kBattery, 0}, "0%", 255, 0},
      {{Source::kBattery, 24}, "24%", 255, 0},
      {{Source::kBattery, 25}, "25%", 0x00FFFF, 0},
      {{Source::kBattery, 49}, "49%", 0x00FFFF, 0},
      {{Source::kBattery, 50}, "50%", 0x0B86B8, 0xFFFFFF},
      {{Source::kBattery, 75}, "75%", 0x00A018, 0xFFFFFF},
      {{Source::kBattery, 101}, "??%", 0x00A018, 0xFFFFFF},
      {{Source::kUnknown, -1}, "??%", 0x00A018, 0xFFFFFF},
  };
  for (const auto& c : kCases) {
    DisplayInputs in = SampleInputs();
    in.battery = c.battery;
    const PopupContent content = ComputeContent(Layout("[BATT]"), in);
    EXPECT_EQ(content.text, c.text);
    EXPECT_EQ(content.background, c.background) << c.text;
    EXPECT_EQ(content.textColour, c.textColour) << c.text;
  }
  const struct {
    platform::PowerStatus power;
    Source source;
  } kPower[] = {{{false, false, false, -1}, Source::kUnknown},
                {{true, true, true, 100}, Source::kMains},
                {{true, false, true, 100}, Source::kFullOnBattery},
                {{true, false, false, 30}, Source::kBattery},
                {{true, false, false, -1}, Source::kUnknown}};
  for (const auto& c : kPower) EXPECT_EQ(BatteryFromPower(c.power).source, c.source) << c.power.percent;
}

}  // namespace
}  // namespace warner::display
