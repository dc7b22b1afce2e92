// What each input's lenient number reader made of the same texts, recorded from the readers as
// they stood before they became one: every format must keep reading exactly this.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

#include "converter/config/config_values.h"
#include "converter/poi_list/decimal_number.h"
#include "warner/core/settings/warner_settings.h"
#include "warner/gps/nmea_number.h"

namespace {

// The readers as their callers use them.
int32_t NmeaInt(std::string_view text) { return gps::AtolLike(text); }
double NmeaReal(std::string_view text) { return gps::AtofLike(text); }
int32_t IniInt(std::string_view text) { return warner::IniToInt(text); }
double IniReal(std::string_view text) { return warner::IniToDouble(text); }
int32_t ConfigInt(std::string_view text) { return converter::ReadDecimal(text); }
struct ListNumber {
  double value;
  size_t end;  // 0: no number
};
ListNumber ListReal(std::string_view text, bool decimalComma) {
  ListNumber number{};
  converter::ReadDecimal(text, decimalComma, number.value, &number.end);
  return number;
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
  {"42",               42, 42, 42,                          42, 42,           {42, 2},             {42, 2}},
  {"  -17xyz",         -17, -17, -17,                       -17, -17,         {-17, 5},            {-17, 5}},
  {"+7",               7, 7, 7,                             7, 7,             {7, 2},              {7, 2}},
  {"\t\v\f 8",         8, 0, 8,                             8, 0,             {8, 5},              {8, 5}},
  {"\r\n9",            9, 9, 9,                             9, 9,             {9, 3},              {9, 3}},
  {"abc",              0, 0, 0,                             0, 0,             {0, 0},              {0, 0}},
  {"-",                0, 0, 0,                             0, 0,             {0, 0},              {0, 0}},
  {"+-3",              0, 0, 0,                             0, 0,             {0, 0},              {0, 0}},
  {"- 5",              0, 0, 0,                             0, 0,             {0, 0},              {0, 0}},
  {"-0",               0, 0, 0,                             -0.0, -0.0,       {-0.0, 2},           {-0.0, 2}},
  {".5",               0, 0, 0,                             0.5, 0.5,         {0.5, 2},            {0.5, 2}},
  {"5.",               5, 5, 5,                             5, 5,             {5, 2},              {5, 2}},
  {"-.5e1",            0, 0, 0,                             -5, -5,           {-5, 5},             {-5, 5}},
  {"12,75",            12, 12, 12,                          12, 12,           {12, 2},             {12.75, 5}},
  {",5",               0, 0, 0,                             0, 0,             {0, 0},              {0.5, 2}},
  {"1,5e2",            1, 1, 1,                             1, 1,             {1, 1},              {150, 5}},
  {"1e3",              1, 1, 1,                             1000, 1000,       {1000, 3},           {1000, 3}},
  {"3e+",              3, 3, 3,                             3, 3,             {3, 1},              {3, 1}},
  {"1.5e",             1, 1, 1,                             1.5, 1.5,         {1.5, 3},            {1.5, 3}},
  {"007",              7, 7, 7,                             7, 7,             {7, 3},              {7, 3}},
  {"0x1A",             0, 0, 0,                             0, 0,             {0, 1},              {0, 1}},
  {"inf",              0, 0, 0,                             0, 0,             {0, 0},              {0, 0}},
  {"nan",              0, 0, 0,                             0, 0,             {0, 0},              {0, 0}},
  {"1e999",            1, 1, 1,                             0, 0,             {kInf, 5},           {kInf, 5}},
  {"-1e999",           -1, -1, -1,                          0, 0,             {-kInf, 6},          {-kInf, 6}},
  {"1e-999",           1, 1, 1,                             0, 0,             {0, 6},              {0, 6}},
  {"-1e-999",          -1, -1, -1,                          0, 0,             {-0.0, 7},           {-0.0, 7}},
  {"1e-310",           1, 1, 1,                             1e-310, 1e-310,   {1e-310, 6},         {1e-310, 6}},
  {"-1e-310",          -1, -1, -1,                          -1e-310, -1e-310, {-1e-310, 7},        {-1e-310, 7}},
  {"2147483647",       INT_MAX, INT_MAX, INT_MAX,           2147483647.0, 2147483647.0, {2147483647.0, 10}, {2147483647.0, 10}},
  {"2147483648",       INT_MAX, INT_MAX, INT_MAX,           2147483648.0, 2147483648.0, {2147483648.0, 10}, {2147483648.0, 10}},
  {"-2147483648",      INT_MIN, INT_MIN, INT_MIN,           -2147483648.0, -2147483648.0, {-2147483648.0, 11}, {-2147483648.0, 11}},
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

}  // namespace
