// Runs portcat on pseudo-terminals mapped as COM ports and on files.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/testing/child_process.h"
#include "platform/testing/files.h"
#include "platform/testing/pty.h"
#include "platform/testing/system_root.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using Clock = std::chrono::steady_clock;
using platform::testing::MapPort;
using platform::testing::Pty;

// One run of portcat, its standard error in a file.
class Portcat : public platform::testing::ChildProcess {
 public:
  Portcat(const std::vector<std::string>& args, const fs::path& errorFile)
      : ChildProcess(PORTCAT_PATH, args, errorFile), errorFile_(errorFile) {}
  std::string Errors() const { return platform::testing::ReadFile(errorFile_); }

 private:
  fs::path errorFile_;
};

class PortcatTest : public platform::testing::SystemRootTest {
 protected:
  // A receiver on COM7: in raw mode, so that every byte value passes.
  std::unique_ptr<Pty> Receiver() {
    auto pty = std::make_unique<Pty>();
    pty->MakeRaw();
    MapPort("COM7:", pty->slavePath());
    return pty;
  }
  fs::path Errors() const { return system_.Folder() / "stderr"; }
};

TEST_F(PortcatTest, CopiesExactlyTheBytesWithinItsLimits) {
  const std::string sentence = "$GPGGA,1*00\r\n\0\xff\x1b[2J"s;
  const fs::path file = system_.Folder() / "log.nmea";
  std::string log;
  for (int i = 0; i < 500; ++i) log += sentence;  // more than one read
  platform::testing::WriteFile(file, log);
  struct Case {
    std::vector<std::string> args;
    std::string expected;
  };
  const Case cases[] = {
      {{"--bytes", "5", "COM7:"}, sentence.substr(0, 5)},
      {{"--seconds", "0.3", "COM7:"}, sentence},
      {{"--write", "--seconds", "0.3", "COM7:"}, sentence},
      {{file.string()}, log},
  };
  for (const Case& c : cases) {
    const auto receiver = Receiver();
    receiver->Send(sentence);
    const auto start = Clock::now();
    Portcat run(c.args, Errors());
    EXPECT_EQ(run.Finish(), 0) << c.args[0] << run.Errors();
    EXPECT_EQ(run.output, c.expected) << c.args[0];
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2)) << c.args[0];
  }
}

// Bytes reach the output as they come, not when a buffer is full; a signal ends the copy.
TEST_F(PortcatTest, PassesBytesOnAsTheyComeUntilASignal) {
  const std::pair<std::vector<std::string>, int> runs[] = {{{"COM7:"}, SIGINT}, {{"--write", "COM7:"}, SIGTERM}};
  for (const auto& [args, signal] : runs) {
    const auto receiver = Receiver();
    Portcat run(args, Errors());
    receiver->Send("$GPRMC");
    EXPECT_EQ(run.ReadUntil(6, 2000), "$GPRMC") << args[0];
    receiver->Send(",1*00\r\n");
    EXPECT_EQ(run.ReadUntil(13, 2000), "$GPRMC,1*00\r\n") << args[0];
    run.Signal(signal);
    EXPECT_EQ(run.Finish(1000), 0) << args[0];
  }
}

TEST_F(PortcatTest, FailuresAreSaidWithTheSystemsText) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string said;
  };
  const Case cases[] = {
      {{"COM9:"}, 1, "portcat: cannot open 'COM9:': Error No 2: The system cannot find the file specified.\n"},
      {{"--bytes", "1.5", "COM7:"}, 2, "portcat: --bytes needs a number, not '1.5'\n"},
      {{"COM7:", "COM8:"}, 2, "portcat: unexpected argument 'COM8:'\n"},
      {{}, 2, "portcat: which port?\n"},
  };
  for (const Case& c : cases) {
    Portcat run(c.args, Errors());
    EXPECT_EQ(run.Finish(), c.status) << c.said;
    EXPECT_EQ(run.Errors().rfind(c.said, 0), 0u) << run.Errors();
    EXPECT_EQ(run.output, "");
  }
}

}  // namespace
