// The placewright program from its command line: load and save, convert with the real converter,
// and each failure with its message and exit code.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/testing/child_process.h"
#include "platform/testing/files.h"
#include "platform/testing/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using platform::testing::ReadFile;

class PlacewrightTest : public ::testing::Test {
 protected:
  PlacewrightTest() { fs::copy(SAMPLE_DATA_DIR, sample_, fs::copy_options::recursive); }

  struct Result {
    int exitCode;
    std::string out;
    std::string err;
  };
  // Runs placewright in the sample folder (its lists are relative to it), without a display.
  Result Run(const std::vector<std::string>& args, const std::string& program = PLACEWRIGHT_PATH) {
    const fs::path cwd = fs::current_path();
    fs::current_path(sample_);
    platform::testing::ChildProcess child(program, args, folder_ / "stderr.txt");
    child.ReadUntil(SIZE_MAX, 20000);
    const int code = child.Finish(20000);
    fs::current_path(cwd);
    return {code, child.output, ReadFile(folder_ / "stderr.txt")};
  }
  std::string Sample(const char* name) const { return (sample_ / name).string(); }

  platform::testing::TempFolder folder_{"placewright_test"};
  fs::path sample_ = folder_ / "sample";
};

TEST_F(PlacewrightTest, CommandLineAndNoDisplay) {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("QT_QPA_PLATFORM");
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    const char* text;  // on standard output for --help, else on standard error
  } cases[] = {
      {{"--help"}, 0, "Usage: placewright [--load IN"},
      {{}, 2, "placewright: no display to show the window on; use --load IN --save OUT"},
      {{"--load", "x.txt"}, 2, "Usage:"},
      {{"--load", "x.txt", "--save", "y.txt", "--convert"}, 2, "Usage:"},
      {{"--load", "x.txt", "--save", "y.txt", "--folder", "d"}, 2, "Usage:"},
      {{"--save"}, 2, "Usage:"},
      {{"--load", "missing.txt", "--save", "y.txt"}, 1, "Can't open missing.txt for read."},
  };
  for (const Case& c : cases) {
    const Result result = Run(c.args);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.text;
    EXPECT_NE((c.exitCode == 0 ? result.out : result.err).find(c.text), std::string::npos) << result.err;
  }
}

TEST_F(PlacewrightTest, LoadAndSaveWritesTheEditorsConfiguration) {
  const Result result = Run({"--load", "placeforge.txt", "--save", folder_.File("out.txt")});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::string saved = ReadFile(folder_ / "out.txt");
  const std::string programFolder = fs::path(PLACEWRIGHT_PATH).parent_path().string() + "/";
  EXPECT_EQ(saved.substr(0, saved.find("\nSubGroup")),
            "LogFile = " + programFolder + "PlacewrightLog.txt\nLogLevel = Summary\nTargetSystem = NavigonOEM\n" +
                "MainGroup = SampleRoads\nDestinationDirectory = " + programFolder + "POI/SampleRoads/\n" +
                "WaypostPath = " + programFolder + "POI/Sentry.snt\nIncludeComments = 1\nMapRegion = Europe\n");
}

TEST_F(PlacewrightTest, ConvertRunsTheConverterAndPrintsItsLog) {
  const Result result = Run({"--load", "placeforge.txt", "--convert", "--folder", folder_.File("run")});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("Total number of POIs: 51"), std::string::npos) << result.out;
  EXPECT_TRUE(fs::exists(folder_ / "run/Placewright.txt"));
  EXPECT_TRUE(fs::exists(folder_ / "run/POI/SampleRoads/SampleRoads.nam"));
  EXPECT_EQ(ReadFile(folder_ / "run/POI/Sentry.snt").substr(0, 3), "snt");
}

TEST_F(PlacewrightTest, ConvertFailures) {
  // A list that is missing makes the converter fail; a program without its converter cannot start it.
  platform::testing::WriteFile(folder_ / "broken.txt",
                               "MainGroup = B\nSubGroup = G\nSubCategory = 1\n"
                               "ASCFile = nowhere.asc\nBitmapFile = bitmaps\\Camera.bmp\n");
  fs::create_directories(folder_ / "alone");
  fs::copy_file(PLACEWRIGHT_PATH, folder_ / "alone/placewright");
  struct Case {
    std::vector<std::string> args;
    std::string program;
    std::string message;
  } cases[] = {
      {{"--load", folder_.File("broken.txt"), "--convert", "--folder", folder_.File("run")},
       PLACEWRIGHT_PATH,
       "The conversion ended with result 3."},
      {{"--load", "placeforge.txt", "--convert", "--folder", folder_.File("run")},
       folder_.File("alone/placewright"),
       "Calling converting machine placeforge failed."},
      {{"--load", "placeforge.txt", "--convert", "--folder", folder_.File("broken.txt/under")},
       PLACEWRIGHT_PATH,
       "Can't open " + folder_.File("broken.txt/under") + "/Placewright.txt for write."},
  };
  for (const Case& c : cases) {
    const Result result = Run(c.args, c.program);
    EXPECT_EQ(result.exitCode, 1) << c.message;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
  }
}

}  // namespace
