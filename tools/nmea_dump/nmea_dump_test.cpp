// Runs the nmea-dump program on streams and checks its JSON lines.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/testing/files.h"
#include "platform/testing/temp_folder.h"

namespace {

namespace fs = std::filesystem;

struct DumpRun {
  int status = -1;
  std::vector<std::string> lines;
};

DumpRun RunDump(const std::string& input, const std::string& args = "") {
  const platform::testing::TempFolder folder("nmea_dump");
  const fs::path file = folder / "input";
  platform::testing::WriteFile(file, input);
  const std::string command = std::string(NMEA_DUMP_PATH) + " " + args + " " + file.string();
  DumpRun run;
  if (std::FILE* p = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, p)) run.lines.emplace_back(buffer);
    run.status = ::pclose(p);
  }
  return run;
}

TEST(NmeaDump, TheReferenceRmcSentence) {
  const DumpRun run = RunDump("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n");
  ASSERT_EQ(run.status, 0);
  ASSERT_EQ(run.lines.size(), 1u);
  const std::string& l = run.lines[0];
  EXPECT_EQ(l.rfind("{\"next\":0,\"sentence\":\"$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,"
                    "230394,003.1,W*6A\",\"parse\":0,\"lastSentenceType\":512,\"validMask\":519,",
                    0),
            0u)
      << l;
  for (const char* part : {"\"hour\":12,\"minute\":35,\"second\":19,\"millisecond\":0",
                           "\"day\":23,\"month\":3,\"year\":94", "\"latitude\":48.117",
                           "\"longitude\":11.51666666666666", "\"speedKmh\":41.4848", "\"course\":84.400000000000006",
                           "\"latHemisphere\":\"N\"", "\"geoidSeparationUnit\":\" \"", "\"fixQuality\":1}"}) {
    EXPECT_NE(l.find(part), std::string::npos) << part << " in " << l;
  }
}

TEST(NmeaDump, FramingErrorsAndTmcRecordsKeepTheStreamOrder) {
  const DumpRun run = RunDump(std::string(300, 'x') + "$GPGSV,1*00\n?\x01\x02\x03\x04\x05\x06\x07\x08\x09");
  ASSERT_EQ(run.status, 0);
  ASSERT_EQ(run.lines.size(), 3u);
  EXPECT_EQ(run.lines[0], "{\"next\":1,\"badSentenceCount\":1}\n");
  EXPECT_NE(run.lines[1].find("\"parse\":-2"), std::string::npos);
  EXPECT_EQ(run.lines[2], "{\"tmc\":\"010203040506070809\"}\n");
}

TEST(NmeaDump, SeparateTmcPortLeavesQuestionMarksInTheStream) {
  const DumpRun run = RunDump("?123456789", "--tmc-source 2");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.lines.empty());
}

TEST(NmeaDump, CommandLineErrors) {
  EXPECT_NE(RunDump("", "--tmc-source x").status, 0);
  EXPECT_NE(RunDump("", "--bogus").status, 0);
  const DumpRun missing = RunDump("", "/nonexistent/file");  // two files: refused
  EXPECT_NE(missing.status, 0);
}

TEST(NmeaDump, AnOutputThatCannotBeWrittenIsReported) {
  const platform::testing::TempFolder folder("nmea_dump");
  const fs::path input = folder / "input";
  const fs::path messages = folder / "messages";
  platform::testing::WriteFile(input, "$GPGSV,1*00\n");
  const int status =
      std::system((std::string(NMEA_DUMP_PATH) + " " + input.string() + " >/dev/full 2>" + messages.string()).c_str());
  const std::string said = platform::testing::ReadFile(messages);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(said, "nmea-dump: cannot write the output: No space left on device\n");
}

}  // namespace
