#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "warner/core/alarm/alarm_output.h"
#include "warner/core/alarm/tests/alarm_test_support.h"

namespace warner {
namespace {

using SystemSoundsTest = testing::AlarmTest;

TEST_F(SystemSoundsTest, WrittenOnceAsDistinctPlayableSounds) {
  ASSERT_EQ(EnsureSystemSounds(), 4);
  std::set<std::string> contents;
  for (const char* sound : {kAlarmSound, kInfoBeginSound, kInfoEndSound, kMenuPopSound}) {
    SCOPED_TRACE(sound);
    EXPECT_TRUE(player_.Play(System(sound)));
    contents.insert(platform::testing::ReadFile(System(sound)));
  }
  EXPECT_EQ(contents.size(), 4u);
  EXPECT_EQ(EnsureSystemSounds(), 0);
  // Nothing but the four sounds: no temporary file stays behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(base_ / "root" / "Windows"), {}), 4);
}

TEST_F(SystemSoundsTest, AUsersFileIsNeverReplaced) {
  std::filesystem::create_directories(base_ / "root" / "Windows");
  platform::testing::WriteFile(System(kAlarmSound), "my own alarm");

  EXPECT_EQ(EnsureSystemSounds(), 3);
  EXPECT_EQ(platform::testing::ReadFile(System(kAlarmSound)), "my own alarm");
}

TEST_F(SystemSoundsTest, UnwritableRootIsAFailure) {
  std::filesystem::remove(root_);
  platform::testing::WriteFile(root_, "a file where the root folder should be");
  EXPECT_EQ(EnsureSystemSounds(), -1);
}

}  // namespace
}  // namespace warner
