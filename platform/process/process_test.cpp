#include "platform/process/process.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "platform/errors/errors.h"

namespace platform {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

int RunShell(const std::string& script, std::vector<std::string> extra = {}) {
  std::vector<std::string> args{"-c", script};
  args.insert(args.end(), extra.begin(), extra.end());
  const ProcessResult result = StartProcess("/bin/sh", args, true);
  EXPECT_TRUE(result.ok);
  EXPECT_GT(result.pid, 0);
  return result.exitCode;
}

TEST(StartProcessWaiting, ReturnsTheExitCode) {
  EXPECT_EQ(RunShell("exit 3"), 3);
  EXPECT_EQ(StartProcess("/bin/true", {}, true).exitCode, 0);
  EXPECT_EQ(RunShell("kill -9 $$"), 128 + SIGKILL);
}

TEST(StartProcessWaiting, ArgumentsArriveAsGiven) {
  EXPECT_EQ(RunShell(R"(test "$0" = "a b" && test "$1" = '"quoted"')", {"a b", "\"quoted\""}), 0);
}

TEST(StartProcessNames, ExeEndingInAnyCaseFallsBackToTheBareName) {
  for (const char* name : {"true.exe", "true.EXE", "false.Exe"}) {
    const ProcessResult result = StartProcess(name, {}, true);
    EXPECT_TRUE(result.ok) << name;
    EXPECT_EQ(result.exitCode, name[0] == 't' ? 0 : 1) << name;
  }
}

TEST(StartProcessNames, AMissingProgramFailsWithFileNotFound) {
  for (const char* name : {"/nonexistent/program", "dw-no-such-program.exe", ".exe", ""}) {
    SetLastError(kErrorSuccess);
    EXPECT_FALSE(StartProcess(name, {}, true).ok) << name;
    EXPECT_EQ(GetLastError(), kErrorFileNotFound) << name;
  }
}

TEST(StartProcessNames, AFileThatIsNotAProgramIsRefused) {
  const std::string path = ::testing::TempDir() + "dw_not_a_program.txt";
  std::ofstream(path) << "just text\n";
  chmod(path.c_str(), 0644);
  EXPECT_FALSE(StartProcess(path, {}, false).ok);
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  std::remove(path.c_str());
}

TEST(StartProcessNotWaiting, ReturnsAtOnceAndLeavesNoZombie) {
  const auto start = steady_clock::now();
  const ProcessResult result = StartProcess("/bin/sh", {"-c", "sleep 0.2"}, false);
  EXPECT_LT(steady_clock::now() - start, milliseconds(150));
  ASSERT_TRUE(result.ok);
  ASSERT_GT(result.pid, 0);
  // A zombie still answers kill(pid, 0); a reaped child does not.
  const auto deadline = steady_clock::now() + std::chrono::seconds(5);
  while (kill(result.pid, 0) == 0 && steady_clock::now() < deadline) {
    std::this_thread::sleep_for(milliseconds(10));
  }
  EXPECT_EQ(kill(result.pid, 0), -1);
  EXPECT_EQ(errno, ESRCH);
}

}  // namespace
}  // namespace platform
