// The waypost program's windows mode, started as a child process.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/testing/child_process.h"
#include "platform/testing/files.h"
#include "platform/testing/system_root.h"

namespace {

namespace fs = std::filesystem;

class WaypostTest : public ::testing::Test {
 protected:
  int Run(const std::vector<std::string>& args) {
    platform::testing::ChildProcess child(WAYPOST_PROGRAM, args, errors_);
    return child.Finish(20000);
  }
  std::string Errors() const { return platform::testing::ReadFile(errors_); }

  const platform::testing::TempSystemRoot system_;
  const platform::testing::ScopedEnv sound_{"DW_SOUND", "null"};
  const fs::path errors_ = system_.Folder() / "errors.txt";
};

TEST_F(WaypostTest, WithoutADisplayOrWithWrongOptionsItSaysSoAndExits2) {
  const platform::testing::ScopedEnv display("DISPLAY", "");
  const platform::testing::ScopedEnv wayland("WAYLAND_DISPLAY", "");
  const platform::testing::ScopedEnv qpa("QT_QPA_PLATFORM", "");
  const struct {
    std::vector<std::string> args;
    const char* said;
  } cases[] = {
      {{}, "waypost: no display to show the windows on; --run runs the warner"},
      {{"--run", "--events", "e.json"}, "waypost: --events goes with the windows"},
      {{"--events"}, "waypost: --events needs a file"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.args), 2) << c.said;
    EXPECT_NE(Errors().find(c.said), std::string::npos) << Errors();
  }
}

// AutoSwitch activates on a replayed log; the events come as --run --json writes them, and the
// window's picture is taken before it closes.
TEST_F(WaypostTest, TheWindowsWriteTheEventsOfAnActivation) {
  const platform::testing::ScopedEnv qpa("QT_QPA_PLATFORM", "offscreen");
  const fs::path folder = system_.Folder() / "warner";
  const fs::path events = system_.Folder() / "events.json";
  const fs::path picture = system_.Folder() / "waypost.png";
  const platform::testing::ScopedEnv shot("DW_SCREENSHOT", picture.string());
  platform::testing::WriteFile(folder / "SntGlobals.ini",
                               "LogSntFileMissing = 0\nAutoSwitch = 1\nUseGPSPort = " SAMPLE_DATA_DIR "/drive.nmea\n");
  fs::copy_file(SAMPLE_DATA_DIR "/waypost/Waypost.ini", folder / "Waypost.ini");
  ASSERT_EQ(Run({"--folder", folder.string(), "--events", events.string()}), 0) << Errors();
  const std::string written = platform::testing::ReadFile(events);
  EXPECT_EQ(written.rfind("{\"event\":\"status\",\"status\":\"searching\"}\n", 0), 0u) << written;
  EXPECT_NE(written.find("{\"event\":\"satFix\""), std::string::npos) << written;
  EXPECT_NE(written.find("{\"event\":\"end\""), std::string::npos) << written;
  EXPECT_GT(fs::file_size(picture), 0u);
  EXPECT_TRUE(fs::exists(folder / "SntSettings.ini"));
}

}  // namespace
