#include "converter/common/run_log.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "converter/common/testing/captured_log.h"

namespace converter {
namespace {

TEST(RunLog, ShowsInputAsValidUtf8WithControlsEscaped) {
  struct Case {
    std::string written;
    std::string shown;
  };
  const Case cases[] = {
      {"Line      1: plain\n", "Line      1: plain\n"},
      {"nav \xFC\n", "nav \xC3\xBC\n"},                  // Windows-1252
      {"nav \xC3\xBC\n", "nav \xC3\xBC\n"},              // UTF-8 already
      {"\x1B[2J\tC:\\x\r\n", "\\x1B[2J\tC:\\x\\x0D\n"},  // escape sequence, CR; the tab stays
  };
  for (const Case& c : cases) {
    testing::CapturedLog log;
    log.log().Write(c.written);
    log.log().Printf("'%s'", c.written.c_str());
    EXPECT_EQ(log.Text(), c.shown + "'" + c.shown + "'") << c.written;
  }
}

TEST(RunLog, ALogFileThatCannotBeWrittenWholeIsReported) {
  RunLog log;
  ASSERT_TRUE(log.OpenFile("/dev/full"));
  log.Printf("%s\n", "lost");
  EXPECT_FALSE(log.CloseFile());
  EXPECT_EQ(log.FileErrno(), ENOSPC);
}

}  // namespace
}  // namespace converter
