// Runs portcat on pseudo-terminals mapped as COM ports and on files.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/testing/files.h"
#include "platform/testing/pty.h"
#include "platform/testing/system_root.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using Clock = std::chrono::steady_clock;
using platform::testing::MapPort;
using platform::testing::Pty;

// One run of portcat: its standard output through a pipe, its standard error in a file.
class Portcat {
 public:
  Portcat(const std::vector<std::string>& args, const fs::path& errorFile) : errorFile_(errorFile) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      const int err = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(err, STDERR_FILENO);
      std::vector<char*> argv{const_cast<char*>(PORTCAT_PATH)};
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      execv(PORTCAT_PATH, argv.data());
      _exit(127);
    }
    close(out[1]);
    out_ = out[0];
  }
  ~Portcat() {
    if (pid_ > 0 && status_ < 0) Finish(0);
    if (out_ >= 0) close(out_);
  }
  Portcat(const Portcat&) = delete;
  Portcat& operator=(const Portcat&) = delete;

  // Reads until `size` bytes came, the output ended or `ms` passed.
  const std::string& ReadUntil(size_t size, int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    char buffer[4096];
    while (output.size() < size && Clock::now() < deadline) {
      pollfd entry{out_, POLLIN, 0};
      if (poll(&entry, 1, 10) <= 0) continue;
      const ssize_t n = read(out_, buffer, sizeof buffer);
      if (n <= 0) break;
      output.append(buffer, static_cast<size_t>(n));
    }
    return output;
  }
  void Signal(int number) const { kill(pid_, number); }
  // The exit status once the output has ended; a run that takes longer than `ms` is killed (-1).
  int Finish(int ms = 5000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    ReadUntil(SIZE_MAX, ms);
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (Clock::now() > deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        return status_ = -1;
      }
      usleep(5000);
    }
    return status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Errors() const { return platform::testing::ReadFile(errorFile_); }

  std::string output;

 private:
  fs::path errorFile_;
  pid_t pid_ = -1;
  int out_ = -1;
  int status_ = -1;
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
