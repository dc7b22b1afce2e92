// Where the inputs' number formats part company (blanks, decimal commas, exponents, overflow),
// recorded from the readers as they stood before they became one.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <utility>

#include "platform/numbers/lenient_number.h"

namespace platform {
namespace {

// The readers as their callers use them.
int32_t NmeaInt(std::string_view text) { return ReadLeadingInt(text, kNmeaNumbers); }
double NmeaReal(std::string_view text) { return ReadLeadingReal(text, kNmeaNumbers).value; }
int32_t IniInt(std::string_view text) { return ReadLeadingInt(text, kIniNumbers); }
double IniReal(std::string_view text) { return ReadLeadingReal(text, kIniNumbers).value; }
int32_t ConfigInt(std::string_view text) { return ReadLeadingInt(text, kConfigNumbers); }
using ListNumber = LeadingNumber;
ListNumber ListReal(std::string_view text, bool decimalComma) {
  return ReadLeadingReal(text, PoiListNumbers(decimalComma));
}

struct Row {
  std::string_view text;
  int32_t nmeaInt, iniInt, configInt;
  double nmeaReal, iniReal;
  ListNumber list, listComma;
};

constexpr double kInf = HUGE_VAL;

// clang-format off
const Row kRows[] = {
  // text              NMEA, INI, configuration integers   NMEA, INI reals   POI list: point      decimal comma
  {"",                 0, 0, 0,                             0, 0,             {0, 0},              {0, 0}},
  {"\t\v\f 8",         8, 0, 8,                             8, 0,             {8, 5},              {8, 5}},
  {"\r\n9",            9, 9, 9,                             9, 9,             {9, 3},              {9, 3}},
  {"-0",               0, 0, 0,                             -0.0, -0.0,       {-0.0, 2},           {-0.0, 2}},
  {".5",               0, 0, 0,                             0.5, 0.5,         {0.5, 2},            {0.5, 2}},
  {"-.5e1",            0, 0, 0,                             -5, -5,           {-5, 5},             {-5, 5}},
  {"12,75",            12, 12, 12,                          12, 12,           {12, 2},             {12.75, 5}},
  {",5",               0, 0, 0,                             0, 0,             {0, 0},              {0.5, 2}},
  {"1,5e2",            1, 1, 1,                             1, 1,             {1, 1},              {150, 5}},
  {"1e3",              1, 1, 1,                             1000, 1000,       {1000, 3},           {1000, 3}},
  {"1e999",            1, 1, 1,                             0, 0,             {kInf, 5},           {kInf, 5}},
  {"-1e999",           -1, -1, -1,                          0, 0,             {-kInf, 6},          {-kInf, 6}},
  {"-1e-999",          -1, -1, -1,                          0, 0,             {-0.0, 7},           {-0.0, 7}},
  {"1e-310",           1, 1, 1,                             1e-310, 1e-310,   {1e-310, 6},         {1e-310, 6}},
  {"2147483648",       INT_MAX, INT_MAX, INT_MAX,           2147483648.0, 2147483648.0, {2147483648.0, 10}, {2147483648.0, 10}},
  {"-2147483649",      INT_MIN, INT_MIN, INT_MIN,           -2147483649.0, -2147483649.0, {-2147483649.0, 11}, {-2147483649.0, 11}},
  {"99999999999999999999", INT_MAX, INT_MAX, INT_MAX,       1e20, 1e20,       {1e20, 20},          {1e20, 20}},
  {"0.1000000000000000055511151231257827", 0, 0, 0,        0.1, 0.1,         {0.1, 36},           {0.1, 36}},
};
// clang-format on

// The same double, the sign of a zero included.
bool Same(double a, double b) { return a == b && std::signbit(a) == std::signbit(b); }

TEST(LenientNumbers, EveryFormatReadsAsBefore) {
  for (const Row& row : kRows) {
    const std::string shown = "'" + std::string(row.text) + "'";
    EXPECT_EQ(NmeaInt(row.text), row.nmeaInt) << shown;
    EXPECT_EQ(IniInt(row.text), row.iniInt) << shown;
    EXPECT_EQ(ConfigInt(row.text), row.configInt) << shown;
    EXPECT_TRUE(Same(NmeaReal(row.text), row.nmeaReal)) << shown << " " << NmeaReal(row.text);
    EXPECT_TRUE(Same(IniReal(row.text), row.iniReal)) << shown << " " << IniReal(row.text);
    for (const bool comma : {false, true}) {
      const ListNumber expected = comma ? row.listComma : row.list;
      const ListNumber read = ListReal(row.text, comma);
      EXPECT_TRUE(Same(read.value, expected.value)) << shown << " comma " << comma << ": " << read.value;
      EXPECT_EQ(read.end, expected.end) << shown << " comma " << comma;
    }
  }
}

TEST(LenientNumbers, ReadsTheLenientForms) {
  const std::pair<std::string_view, LeadingNumber> cases[] = {
      {" \t+12.5e1xyz", {125.0, 9}},
      {"-.5", {-0.5, 3}},
      {"7.", {7.0, 2}},
      {"0x10", {0.0, 1}},  // hexadecimal is not read
  };
  for (const auto& [text, expected] : cases) {
    const LeadingNumber read = ReadLeadingReal(text, PoiListNumbers(false));
    EXPECT_DOUBLE_EQ(read.value, expected.value) << text;
    EXPECT_EQ(read.end, expected.end) << text;
  }
  EXPECT_DOUBLE_EQ(ReadLeadingReal("13,5", PoiListNumbers(true)).value, 13.5);
  for (const char* text : {"", "  ", "-", "+.", ".", "abc", "inf", "nan", "e5"}) {
    EXPECT_EQ(ReadLeadingReal(text, PoiListNumbers(false)).end, 0u) << text;
  }
  EXPECT_EQ(ReadLeadingReal("0." + std::string(400, '0') + "1", PoiListNumbers(false)).value, 0.0);
  // A long number with a comma is copied off the stack.
  EXPECT_DOUBLE_EQ(ReadLeadingReal("1" + std::string(400, '0') + ",5e-500", PoiListNumbers(true)).value, 1e-100);
}

TEST(LenientNumbers, EqualsTheFullConversionBitForBit) {
  // The shortcut for short numbers must give exactly what strtod gives, for every form lists carry.
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> any(-400.0, 400.0);
  const char* formats[] = {"%.5f", "%.6f", "%.15g", "%.17g", "%.3e", "%.0f", "%.12f"};
  char text[64];
  for (int i = 0; i < 20000; ++i) {
    const double d = any(rng) * std::pow(10.0, static_cast<int>(rng() % 9) - 4);
    std::snprintf(text, sizeof text, formats[i % 7], d);
    const LeadingNumber read = ReadLeadingReal(text, PoiListNumbers(false));
    ASSERT_NE(read.end, 0u) << text;
    ASSERT_EQ(read.value, std::strtod(text, nullptr)) << text;
  }
  for (const char* t : {"0.1", "0.3", "123456789012345", "1234567890123456", "9007199254740993", "1e22", "1e23",
                        "0.000000000000000000001", "4.9e-324", "2.2250738585072014e-308", "13.123455"}) {
    EXPECT_EQ(ReadLeadingReal(t, PoiListNumbers(false)).value, std::strtod(t, nullptr)) << t;
  }
}

}  // namespace
}  // namespace platform
