#include "converter/config/config_values.h"

#include <gtest/gtest.h>

#include <climits>

#include "platform/numbers/lenient_number.h"

namespace converter {
namespace {

TEST(NumberReaderTest, DecimalReadsLikeAtoiWithoutOverflow) {
  EXPECT_EQ(platform::ReadLeadingInt(" \t-12abc", platform::kConfigNumbers), -12);
  EXPECT_EQ(platform::ReadLeadingInt("abc", platform::kConfigNumbers), 0);
  EXPECT_EQ(platform::ReadLeadingInt("- 5", platform::kConfigNumbers), 0);
  EXPECT_EQ(platform::ReadLeadingInt("99999999999999999999999", platform::kConfigNumbers), INT_MAX);
  EXPECT_EQ(platform::ReadLeadingInt("-99999999999999999999999", platform::kConfigNumbers), INT_MIN);
  EXPECT_EQ(platform::ReadLeadingInt("-2147483648", platform::kConfigNumbers), INT_MIN);
}

TEST(NumberReaderTest, IntegerTakesHexAndOctalPrefixes) {
  EXPECT_EQ(ReadInteger("0x108"), 0x108);
  EXPECT_EQ(ReadInteger("0XfF"), 255);
  EXPECT_EQ(ReadInteger("-0x10"), -16);
  EXPECT_EQ(ReadInteger("010"), 8);
  EXPECT_EQ(ReadInteger("08"), 0);
  EXPECT_EQ(ReadInteger("0x"), 0);  // the "0" alone is the number
  EXPECT_EQ(ReadInteger("264 px"), 264);
  EXPECT_EQ(ReadInteger("0xFFFFFFFFFF"), INT32_MAX);
  EXPECT_EQ(ReadHexDigits("00FF00zz"), 0x00FF00u);
  EXPECT_EQ(ReadHexDigits("123456789ABC"), 0xFFFFFFFFu);
}

TEST(GlobalValueTest, TargetNeedsTheWholeCodeAtTheStart) {
  TargetSystem target = TargetSystem::kNavigonOem;
  EXPECT_FALSE(MatchTargetSystem("Destinator", &target));
  EXPECT_EQ(target, TargetSystem::kNavigonOem);
  EXPECT_TRUE(MatchTargetSystem("destinatorcsv", &target));
  EXPECT_EQ(target, TargetSystem::kDestinatorCsv);
  EXPECT_TRUE(MatchTargetSystem("SNTOnly please", &target));
  EXPECT_EQ(target, TargetSystem::kSntOnly);
  EXPECT_FALSE(MatchTargetSystem("", &target));
}

TEST(GlobalValueTest, RegionAndLogLevelWords) {
  EXPECT_EQ(RegionFromValue("america"), MapRegion::kAmerica);
  EXPECT_EQ(RegionFromValue("AmericaNorth"), MapRegion::kAmerica);
  EXPECT_EQ(RegionFromValue("Amer"), MapRegion::kEurope);
  EXPECT_EQ(RegionFromValue(""), MapRegion::kEurope);
  EXPECT_EQ(LogLevelFromValue("All"), 1);
  EXPECT_EQ(LogLevelFromValue("allLines"), 1);
  EXPECT_EQ(LogLevelFromValue("Summary"), 0);
  EXPECT_EQ(LogLevelFromValue("2"), 2);
}

TEST(DerivedValueTest, SeparatorFromCharacterOrDecimalCode) {
  EXPECT_EQ(SeparatorFromValue("59"), ';');
  EXPECT_EQ(SeparatorFromValue(";"), ';');
  EXPECT_EQ(SeparatorFromValue("9"), '\t');
  EXPECT_EQ(SeparatorFromValue("300"), ',');  // low byte of 300 is 44
  EXPECT_EQ(SeparatorFromValue("|x"), '|');
}

TEST(DerivedValueTest, ZoomCodes) {
  EXPECT_EQ(ZoomCodeFromValue("0"), 16800);
  EXPECT_EQ(ZoomCodeFromValue("-3"), 16800);
  EXPECT_EQ(ZoomCodeFromValue("none"), 16800);
  EXPECT_EQ(ZoomCodeFromValue("2"), 16224);
  EXPECT_EQ(ZoomCodeFromValue("0x4150"), 0x4150);
  EXPECT_EQ(ZoomCodeFromValue("0x12345"), 0x2345);
}

TEST(DerivedValueTest, FontSizeAndTypeCodes) {
  EXPECT_EQ(FontSizeCodeFromValue("8"), 0xC130);
  EXPECT_EQ(FontSizeCodeFromValue("0"), 0xC000);
  EXPECT_EQ(FontSizeCodeFromValue("0x1234"), 0x1234);
  EXPECT_EQ(FontTypeFromValue("0x108"), 0x108);
  EXPECT_EQ(FontTypeFromValue("010"), 8);
  EXPECT_EQ(CategoryNumberFromValue("17"), 17);
  EXPECT_EQ(CategoryNumberFromValue("speed"), 0);
}

TEST(DerivedValueTest, ColourNamesAndCodes) {
  struct Case {
    const char* value;
    bool decoded;
    int32_t colour;
  };
  for (const Case& c : {Case{"blue", true, 0xFF0000}, Case{"0x00FF00", true, 0x00FF00}, Case{"REDdish", true, 0x0000FF},
                        Case{"Green", true, 0x00FF00}, Case{"white", true, 0xFFFFFF}, Case{"Black", true, 0},
                        Case{"Pink", false, 0}, Case{"Bl", false, 0}}) {  // a shortened name is not a name
    int32_t colour = -1;
    EXPECT_EQ(DecodeColour(c.value, &colour), c.decoded) << c.value;
    EXPECT_EQ(colour, c.colour) << c.value;
  }
}

}  // namespace
}  // namespace converter
