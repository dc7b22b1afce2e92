#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "warner/core/alarm/alarm_output.h"
#include "warner/core/alarm/tests/alarm_test_support.h"

namespace warner {
namespace {

using SystemSoundsTest = testing::AlarmTest;

std::string Content(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

TEST_F(SystemSoundsTest, WrittenOnceAsDistinctPlayableSounds) {
  ASSERT_EQ(EnsureSystemSounds(), 4);
  std::set<std::string> contents;
  for (const char* sound : {kAlarmSound, kInfoBeginSound, kInfoEndSound, kMenuPopSound}) {
    SCOPED_TRACE(sound);
    EXPECT_TRUE(player_.Play(System(sound)));
    contents.insert(Content(System(sound)));
  }
  EXPECT_EQ(contents.size(), 4u);
  EXPECT_EQ(EnsureSystemSounds(), 0);
  // Nothing but the four sounds: no temporary file stays behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(base_ / "root" / "Windows"), {}), 4);
}

TEST_F(SystemSoundsTest, AUsersFileIsNeverReplaced) {
  std::filesystem::create_directories(base_ / "root" / "Windows");
  std::ofstream(System(kAlarmSound), std::ios::binary) << "my own alarm";

  EXPECT_EQ(EnsureSystemSounds(), 3);
  EXPECT_EQ(Content(System(kAlarmSound)), "my own alarm");
}

TEST_F(SystemSoundsTest, UnwritableRootIsAFailure) {
  std::filesystem::remove(root_);
  std::ofstream(root_) << "a file where the root folder should be";
  EXPECT_EQ(EnsureSystemSounds(), -1);
}

}  // namespace
}  // namespace warner
