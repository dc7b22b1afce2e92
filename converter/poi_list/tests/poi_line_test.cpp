#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "converter/poi_list/poi_list_reader.h"

namespace converter {
namespace {

SubcategoryConfig Sub(char separator = ',', bool includeTexts = true) {
  SubcategoryConfig sub;
  sub.separator = separator;
  sub.includeTexts = includeTexts;
  sub.categoryNumber = 42;
  return sub;
}

// Every parse of this file adds its text here.
PoiTexts& Texts() {
  static PoiTexts texts;
  return texts;
}

std::string TextOf(const ParsedPoi& poi) { return std::string(Texts().View(poi.text)); }

struct Parsed {
  PoiLineResult result;
  ParsedPoi poi;
  std::string reason;
};

Parsed Parse(std::string_view line, const SubcategoryConfig& sub = Sub(), bool navigon = false) {
  Parsed p{PoiLineResult::kIgnored, {}, {}};
  const char* reason = nullptr;
  p.result = ParsePoiLine(line, sub, 3, navigon, Texts(), p.poi, &reason);
  if (reason != nullptr) p.reason = reason;
  return p;
}

ParsedPoi Poi(std::string_view line, const SubcategoryConfig& sub = Sub(), bool navigon = false) {
  Parsed p = Parse(line, sub, navigon);
  EXPECT_EQ(p.result, PoiLineResult::kPoi) << line << ": " << p.reason;
  return p.poi;
}

std::string Rejection(std::string_view line, const SubcategoryConfig& sub = Sub()) {
  Parsed p = Parse(line, sub);
  EXPECT_EQ(p.result, PoiLineResult::kRejected) << line;
  return p.reason;
}

TEST(PoiLine, IgnoresBlankAndCommentLines) {
  for (const char* line : {"", "    ", " ;13.5,52.3,\"Cam\"", ";x", "   \r"}) {
    EXPECT_EQ(Parse(line).result, PoiLineResult::kIgnored) << line;
  }
}

TEST(PoiLine, RejectsWithTheReasonTexts) {
  EXPECT_EQ(Rejection("\t13.5,52.3,\"Cam\""), "Illegal line found, does not start with a numeric value.");
  EXPECT_EQ(Rejection("+-1,2,\"a\""), "Illegal line found, does not start with a numeric value.");
  EXPECT_EQ(Rejection("1,2"), "No two column separators found.");
  EXPECT_EQ(Rejection("1 2 \"a\""), "No two column separators found.");
  EXPECT_EQ(Rejection("13.5,x,\"Cam\""), "No two coordinates found.");
  EXPECT_EQ(Rejection("13.5,,\"Cam\""), "No two coordinates found.");
  EXPECT_EQ(Rejection("13.5,52.3,Cam"), "No two quotes found.");
  EXPECT_EQ(Rejection("13.5,52.3,\"Cam"), "No two quotes found.");
  // The quote must stand behind the second separator.
  EXPECT_EQ(Rejection("13.5,\"52.3\",Cam"), "No two coordinates found.");
  EXPECT_EQ(Rejection("13.5,52\"3,Cam\""), "No two quotes found.");
  // Numbers too large for a double are no coordinates.
  EXPECT_EQ(Rejection("1e999,52.3,\"Cam\""), "No two coordinates found.");
}

TEST(PoiLine, SimpleLineGivesOnePoi) {
  const ParsedPoi poi = Poi("13.5,52.3,\"Cam\"");
  EXPECT_EQ(TextOf(poi), "Cam");
  EXPECT_DOUBLE_EQ(poi.x, 13.5);
  EXPECT_DOUBLE_EQ(poi.y, 52.3);
  EXPECT_EQ(poi.x100k, 1350000);
  EXPECT_EQ(poi.y100k, 5230000);
  EXPECT_EQ(poi.heightFlags, 0);
  EXPECT_EQ(poi.directionFlags, 0);
  EXPECT_EQ(poi.subcategory, 3);
  EXPECT_EQ(poi.categoryNumber, 42);
  EXPECT_EQ(poi.datOffset, -1);
  EXPECT_EQ(poi.namOffset, -1);
  // What the warner writes as a position record.
  EXPECT_EQ(TextOf(Poi("  -0.12345, 51.50000, \"Home\"")), "Home");
  EXPECT_EQ(TextOf(Poi("1,2,\"\"")), "");
}

TEST(PoiLine, DecimalCommasWhenTheSeparatorIsNotAComma) {
  const ParsedPoi poi = Poi("13,5;52,3;\"Cam\";100ft;90B", Sub(';'));
  EXPECT_DOUBLE_EQ(poi.x, 13.5);
  EXPECT_DOUBLE_EQ(poi.y, 52.3);
  EXPECT_EQ(poi.heightFlags, 0x8000);
  EXPECT_NEAR(poi.heightPlus - 2767.0, 30.48, 1e-9);
  EXPECT_EQ(poi.directionFlags, 0xC000);
  EXPECT_DOUBLE_EQ(poi.directionTenths, 900.0);

  const ParsedPoi tab = Poi("1.5\t2,25\t\"a,b\"\t1,5\t45", Sub('\t'));
  EXPECT_DOUBLE_EQ(tab.x, 1.5);
  EXPECT_DOUBLE_EQ(tab.y, 2.25);
  EXPECT_EQ(TextOf(tab), "a,b");
  EXPECT_DOUBLE_EQ(tab.heightPlus, 2768.5);
  EXPECT_EQ(tab.directionFlags, 0x8000);
}

TEST(PoiLine, TextRunsToTheLastQuoteAndIsCleaned) {
  EXPECT_EQ(TextOf(Poi("1,2,\"a\"b\"c\"")), "a'b'c");
  EXPECT_EQ(TextOf(Poi("1,2,x \"a\tb\x01\x1f"
                       "c\" junk, 5")),
            "a b  c");
  EXPECT_EQ(TextOf(Poi("1,2,\"50/60 % off\"")), "50/60 % off");
  EXPECT_EQ(TextOf(Poi("1,2,\"50/60 % off\"", Sub(), true)), "50|60 : off");
  EXPECT_EQ(TextOf(Poi("1,2,\"Cam\"", Sub(',', false))), "");
}

TEST(PoiLine, OnlyAnAcceptedLineWithTextsAddsToTheStore) {
  PoiTexts texts;
  ParsedPoi poi;
  const char* reason = nullptr;
  EXPECT_EQ(ParsePoiLine("1,2,\"high\",40000", Sub(), 0, false, texts, poi, &reason), PoiLineResult::kRejected);
  EXPECT_EQ(ParsePoiLine("; 1,2,\"comment\"", Sub(), 0, false, texts, poi, &reason), PoiLineResult::kIgnored);
  EXPECT_EQ(ParsePoiLine("1,2,\"hidden\"", Sub(',', false), 0, false, texts, poi, &reason), PoiLineResult::kPoi);
  EXPECT_EQ(texts.View(poi.text), "");
  EXPECT_EQ(texts.Size(), 0u);
  EXPECT_EQ(ParsePoiLine("1,2,\"ab $90$\"", Sub(), 0, false, texts, poi, &reason), PoiLineResult::kPoi);
  EXPECT_EQ(texts.View(poi.text), "ab");
  EXPECT_EQ(texts.Size(), 2u);
}

TEST(PoiLine, TextIsCutTo254Characters) {
  const std::string long255(255, 'a');
  const ParsedPoi poi = Poi("1,2,\"" + long255 + "\"");
  EXPECT_EQ(TextOf(poi), std::string(254, 'a'));
  EXPECT_EQ(TextOf(Poi("1,2,\"" + std::string(254, 'b') + "\"")), std::string(254, 'b'));
  // The direction group is searched in the whole text, not in the first 254 characters.
  const ParsedPoi far = Poi("1,2,\"" + std::string(300, 'c') + " $45$\"");
  EXPECT_EQ(far.directionFlags, 0x8000);
  EXPECT_EQ(TextOf(far), std::string(254, 'c'));
}

TEST(PoiLine, HeightInMetresOrFeetWithinItsLimits) {
  EXPECT_EQ(Rejection("1,2,\"a\",32001"), "The height must be betweeen 32000. and -2767. meters.");
  EXPECT_EQ(Rejection("1,2,\"a\",-2768"), HeightReason());
  EXPECT_EQ(Rejection("1,2,\"a\",1e999"), HeightReason());
  EXPECT_EQ(Rejection("1,2,\"a\",105000 FT"), HeightReason());
  EXPECT_DOUBLE_EQ(Poi("1,2,\"a\",-2767").heightPlus, 0.0);
  EXPECT_EQ(Poi("1,2,\"a\",-2767").heightFlags, 0x8000);
  EXPECT_DOUBLE_EQ(Poi("1,2,\"a\",32000").heightPlus, 34767.0);
  EXPECT_NEAR(Poi("1,2,\"a\", 10 Ft").heightPlus, 2767 + 3.048, 1e-9);
  // Anything between the closing quote and the separator is skipped; an empty field is no height.
  EXPECT_DOUBLE_EQ(Poi("1,2,\"a\" note ,7").heightPlus, 2774.0);
  EXPECT_EQ(Poi("1,2,\"a\",,90").heightFlags, 0);
  EXPECT_EQ(Poi("1,2,\"a\",high").heightFlags, 0);
}

TEST(PoiLine, CoordinatesAndDirectionsAreReduced) {
  EXPECT_DOUBLE_EQ(Poi("370,-370,\"a\"").x, 10.0);
  EXPECT_DOUBLE_EQ(Poi("370,-370,\"a\"").y, -10.0);
  EXPECT_EQ(Poi("360,359.5,\"a\"").x100k, 0);
  EXPECT_EQ(Poi("360,359.5,\"a\"").y100k, 35950000);
  EXPECT_EQ(Poi("-0.000004,-0.000005,\"a\"").x100k, 0);
  EXPECT_EQ(Poi("-0.000004,-0.000005,\"a\"").y100k, -1);
  EXPECT_EQ(Poi("13.123456,1e300,\"a\"").x100k, 1312346);
  EXPECT_LT(std::fabs(Poi("13.123456,1e300,\"a\"").y), 360.0);

  const ParsedPoi west = Poi("1,2,\"a\",,-90");
  EXPECT_DOUBLE_EQ(west.directionTenths, 2700.0);
  EXPECT_EQ(west.directionFlags, 0x8000);
  const ParsedPoi full = Poi("1,2,\"a\",,720");
  EXPECT_DOUBLE_EQ(full.directionTenths, 0.0);
  EXPECT_EQ(full.directionFlags, 0x8000);
  // A negative direction too small to survive the turn is north, never 360.
  EXPECT_DOUBLE_EQ(Poi("1,2,\"a\",,-1e-20").directionTenths, 0.0);
  EXPECT_EQ(Poi("1,2,\"a\",,north").directionFlags, 0);
  EXPECT_EQ(Poi("1,2,\"a\",,B").directionFlags, 0);
  EXPECT_EQ(Poi("1,2,\"a\",,1e999").directionFlags, 0);
}

TEST(PoiLine, DirectionGroupInTheText) {
  const ParsedPoi plain = Poi("1,2,\"Speed 50 $270$\"");
  EXPECT_EQ(TextOf(plain), "Speed 50");
  EXPECT_EQ(plain.directionFlags, 0x8000);
  EXPECT_DOUBLE_EQ(plain.directionTenths, 2700.0);

  const ParsedPoi fifth = Poi("1,2,\"Speed 50 $270$\",,90");
  EXPECT_DOUBLE_EQ(fifth.directionTenths, 900.0);
  EXPECT_EQ(fifth.directionFlags, 0x8000);
  EXPECT_EQ(TextOf(fifth), "Speed 50");

  const ParsedPoi both = Poi("1,2,\"A \t $90b$ B\"");
  EXPECT_EQ(TextOf(both), "A B");
  EXPECT_EQ(both.directionFlags, 0xC000);

  // The last group that starts with a digit; the others stay text.
  const ParsedPoi last = Poi("1,2,\"$10$ x $20$ $y$\"");
  EXPECT_DOUBLE_EQ(last.directionTenths, 200.0);
  EXPECT_EQ(TextOf(last), "$10$ x $y$");
  EXPECT_EQ(Poi("1,2,\"cost $5\"").directionFlags, 0);
  EXPECT_EQ(TextOf(Poi("1,2,\"$ 5$\"")), "$ 5$");
  EXPECT_EQ(Poi("1,2,\"$$\"").directionFlags, 0);
}

TEST(PoiLine, EncodedDirectionGroup) {
  // "90B" with key 0x10: '9' 0x39 -> 0x49, '0' 0x30 -> 0x40, 'B' 0x42 -> 0x52.
  const ParsedPoi encoded = Poi("1,2,\"Cam $0x49405210$\"");
  EXPECT_EQ(TextOf(encoded), "Cam");
  EXPECT_DOUBLE_EQ(encoded.directionTenths, 900.0);
  EXPECT_EQ(encoded.directionFlags, 0xC000);
  // Two pairs of 0x41 with key 0x10 give "11".
  EXPECT_DOUBLE_EQ(Poi("1,2,\"$0x414110$\"").directionTenths, 110.0);
  // 0xFA - 0x40 = 0xBA: no digit.
  EXPECT_EQ(Poi("1,2,\"$0xfa40$\"").directionFlags, 0);

  // Not whole hex pairs, no pairs before the key, or nothing numeric: the group stays.
  for (const char* group : {"$0x494052$", "$0x4940521$", "$0x10$", "$0x$", "$0x4g4052$", "$0x7110$"}) {
    const ParsedPoi poi = Poi(std::string("1,2,\"Cam ") + group + "\"");
    EXPECT_EQ(poi.directionFlags, 0) << group;
    EXPECT_EQ(TextOf(poi), std::string("Cam ") + group);
  }
}

TEST(PoiLine, EncodedGroupLongerThanItsBufferStaysText) {
  // 79 decoded characters: "9" and 78 blanks behind it (key 0).
  std::string fits = "$0x39";
  for (int i = 0; i < 78; ++i) fits += "20";
  fits += "00$";
  const ParsedPoi ok = Poi("1,2,\"a " + fits + "\"");
  EXPECT_EQ(ok.directionFlags, 0x8000);
  EXPECT_DOUBLE_EQ(ok.directionTenths, 90.0);
  EXPECT_EQ(TextOf(ok), "a");

  std::string tooLong = "$0x39";
  for (int i = 0; i < 79; ++i) tooLong += "20";
  tooLong += "00$";
  const ParsedPoi kept = Poi("1,2,\"a " + tooLong + "\"");
  EXPECT_EQ(kept.directionFlags, 0);
  EXPECT_EQ(TextOf(kept), "a " + tooLong);
}

TEST(PoiLine, SeparatorOddities) {
  // A separator that is part of a number still ends the field.
  const ParsedPoi dot = Poi("13.52.\"a\"", Sub('.'));
  EXPECT_DOUBLE_EQ(dot.x, 13.0);
  EXPECT_DOUBLE_EQ(dot.y, 52.0);
  // A blank separator after leading blanks.
  const ParsedPoi blank = Poi("  13 52 \"a\" 7", Sub(' '));
  EXPECT_DOUBLE_EQ(blank.x, 13.0);
  EXPECT_DOUBLE_EQ(blank.y, 52.0);
  EXPECT_DOUBLE_EQ(blank.heightPlus, 2774.0);
  EXPECT_EQ(Rejection("13,52,\"a\"", Sub('\0')), "No two column separators found.");
}

}  // namespace
}  // namespace converter
