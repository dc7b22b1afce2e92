#include "platform/version/version.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace platform {
namespace {

TEST(VersionText, DropsBlanksAndTurnsCommasIntoPoints) {
  EXPECT_EQ(VersionText("4, 2, 0, 0"), "4.2.0.0");
  EXPECT_EQ(VersionText(" 1 ,2,3 , 4 "), "1.2.3.4");
  EXPECT_EQ(VersionText("1,\t2"), "1.2");
  EXPECT_EQ(VersionText(",,"), "..");
  EXPECT_EQ(VersionText(""), "");
  EXPECT_EQ(VersionText("   "), "");
}

TEST(ProgramVersion, ComesFromTheProjectVersionWithAllFourParts) {
  const std::string shown = ProgramVersionText();
  EXPECT_EQ(shown.rfind(DW_PROJECT_VERSION, 0), 0u) << shown;
  EXPECT_EQ(std::count(shown.begin(), shown.end(), '.'), 3) << shown;
  EXPECT_EQ(std::count(kFileVersion.begin(), kFileVersion.end(), ' '), 3) << kFileVersion;
}

}  // namespace
}  // namespace platform
