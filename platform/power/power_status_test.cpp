#include "platform/power/power_status.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "platform/testing/files.h"
#include "platform/testing/temp_folder.h"

namespace platform {
namespace {

using Supplies = std::map<std::string, std::map<std::string, std::string>>;

TEST(PowerStatusTest, ReadsTheSuppliesOfAFolder) {
  const struct {
    const char* name;
    Supplies supplies;
    PowerStatus expected;
  } kCases[] = {
      {"none", {}, {false, false, false, -1}},
      {"mains online", {{"AC", {{"type", "Mains\n"}, {"online", "1\n"}}}}, {true, true, false, -1}},
      {"mains offline, battery",
       {{"AC", {{"type", "Mains"}, {"online", "0"}}},
        {"BAT0", {{"type", "Battery"}, {"capacity", "42\n"}, {"status", "Discharging\n"}}}},
       {true, false, false, 42}},
      {"full battery",
       {{"BAT0", {{"type", "Battery"}, {"capacity", "100"}, {"status", "Full"}}}},
       {true, false, true, 100}},
      {"a mouse's battery is not the machine's",
       {{"hid-mouse", {{"type", "Battery"}, {"scope", "Device"}, {"capacity", "5"}}}},
       {false, false, false, -1}},
      {"first battery wins, garbage capacity",
       {{"BAT0", {{"type", "Battery"}, {"capacity", "x"}}}, {"BAT1", {{"type", "Battery"}, {"capacity", "80"}}}},
       {true, false, false, -1}},
  };
  for (const auto& c : kCases) {
    testing::TempFolder folder("power_test");
    for (const auto& [supply, files] : c.supplies) {
      for (const auto& [file, content] : files) testing::WriteFile(folder / supply / file, content);
    }
    const PowerStatus status = ReadPowerStatus(folder.Path().string());
    EXPECT_EQ(status.known, c.expected.known) << c.name;
    EXPECT_EQ(status.onMains, c.expected.onMains) << c.name;
    EXPECT_EQ(status.batteryFull, c.expected.batteryFull) << c.name;
    EXPECT_EQ(status.percent, c.expected.percent) << c.name;
  }
  EXPECT_FALSE(ReadPowerStatus("/nonexistent/power").known);
  setenv("DW_SYS_ROOT", "/fake/sys", 1);
  EXPECT_EQ(PowerSupplyFolder(), "/fake/sys/class/power_supply");
  unsetenv("DW_SYS_ROOT");
}

}  // namespace
}  // namespace platform
