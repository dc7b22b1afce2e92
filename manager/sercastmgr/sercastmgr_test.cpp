// sercastmgr on a receiver mapped as COM4:, without a display: activate, read the virtual port,
// test it, deactivate.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "driver/registry/driver_keys.h"
#include "platform/devices/device.h"
#include "platform/devices/device_manager.h"
#include "platform/devices/serial_control.h"
#include "platform/registry/registry.h"
#include "platform/testing/files.h"
#include "platform/testing/pty.h"
#include "platform/testing/system_root.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kSentences =
    "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
    "$GPRMC,123520,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*60\r\n"
    "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n";

// One run of the program: standard output through a pipe, standard error into a file.
class ProgramRun {
 public:
  ProgramRun(const std::vector<std::string>& args, const std::string& errorFile,
             const std::string& program = SERCASTMGR_PATH)
      : errorFile_(errorFile) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      dup2(open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
      std::vector<char*> argv{const_cast<char*>(program.c_str())};
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    close(out[1]);
    out_ = out[0];
  }
  ~ProgramRun() {
    if (pid_ > 0 && !ended_) Finish(0);
    close(out_);
  }
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  // Reads until `text` has come or `ms` passed.
  bool ReadUntil(const std::string& text, int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (output.find(text) == std::string::npos && Clock::now() < deadline) {
      pollfd entry{out_, POLLIN, 0};
      char buffer[1024];
      if (poll(&entry, 1, 10) <= 0) continue;
      const ssize_t n = read(out_, buffer, sizeof buffer);
      if (n <= 0) break;
      output.append(buffer, static_cast<size_t>(n));
    }
    return output.find(text) != std::string::npos;
  }
  void Signal(int number) const { kill(pid_, number); }
  // The exit status; a run that takes longer than `ms` is killed (-1).
  int Finish(int ms = 20000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    int status = 0;
    ended_ = true;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (Clock::now() > deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Errors() const { return platform::testing::ReadFile(errorFile_); }

  std::string output;

 private:
  std::string errorFile_;
  pid_t pid_ = -1;
  int out_ = -1;
  bool ended_ = false;
};

class SercastMgrTest : public platform::testing::SystemRootTest {
 protected:
  ~SercastMgrTest() override { platform::StopDeviceManager(); }
  std::string Errors() const { return (system_.Folder() / "stderr").string(); }

  platform::testing::ScopedEnv config_{"XDG_CONFIG_HOME", (system_.Folder() / "config").string()};
};

TEST_F(SercastMgrTest, ActivateReadTestAndDeactivateWithoutADisplay) {
  platform::testing::ScopedEnv display("DISPLAY", "");
  platform::testing::Pty receiver;
  receiver.MakeRaw();
  platform::testing::MapPort("COM4:", receiver.slavePath());
  driver::ManagerSettings settings;
  settings.source = "COM4:";
  settings.outPort = "COM7:";
  ASSERT_EQ(driver::WriteManagerSettings("SercastMgr", settings, SERCASTMGR_PATH), 0u);

  {
    ProgramRun activate({"-A"}, Errors());
    ASSERT_EQ(activate.Finish(), 0) << activate.Errors();
  }
  {
    auto reader =
        platform::OpenDevice("COM7:", platform::kGenericRead | platform::kGenericWrite, platform::kFileShareRead);
    ASSERT_NE(reader, nullptr);
    platform::SerialTimeouts timeouts{.readInterval = 20, .readTotalConstant = 200};
    ASSERT_TRUE(platform::SetSerialTimeouts(*reader, timeouts));
    receiver.Send("$GPGSV,through the driver\r\n");
    std::string received;
    for (int i = 0; i < 20 && received.size() < 27; ++i) {
      char buffer[64];
      size_t count = 0;
      ASSERT_TRUE(reader->Read(buffer, sizeof buffer, &count));
      received.append(buffer, count);
    }
    EXPECT_EQ(received, "$GPGSV,through the driver\r\n");
  }
  {
    ProgramRun test({"--test-gps", "COM7:"}, Errors());
    const std::string last = "VTG     54.70000T 34.40000M 10.2km 5.5kn\n";
    for (int i = 0; i < 50 && !test.ReadUntil(last, 100); ++i) receiver.Send(kSentences);
    EXPECT_NE(test.output.find("GGA :19 11.51667E 48.11730N Fx 1 nS 8\n"
                               "RMC :20 11.51667E 48.11730N A 22.4kn trA 84.400000\n" +
                               last),
              std::string::npos)
        << test.output << test.Errors();
    test.Signal(SIGINT);
    EXPECT_EQ(test.Finish(), 0) << test.Errors();
  }
  {
    ProgramRun deactivate({"-D"}, Errors());
    ASSERT_EQ(deactivate.Finish(), 0) << deactivate.Errors();
  }
  platform::RegistryKey key;
  EXPECT_NE(platform::RegistryKey::Open(platform::Hive::kLocalMachine, "Drivers\\SercastNG", key), 0u);
  std::string active;
  if (platform::RegistryKey::Open(platform::Hive::kLocalMachine, "Drivers\\Active", key) == 0) {
    EXPECT_NE(key.EnumSubkey(0, active), 0u) << active;
  }
}

TEST_F(SercastMgrTest, WithADisplayTheWindowOpensAndClosesSavingTheChoices) {
  const std::string picture = (system_.Folder() / "window.png").string();
  platform::testing::ScopedEnv qpa("QT_QPA_PLATFORM", "offscreen");
  platform::testing::ScopedEnv screenshot("DW_SCREENSHOT", picture);
  ProgramRun run({}, Errors());
  EXPECT_EQ(run.Finish(), 0) << run.Errors();
  EXPECT_GT(std::filesystem::file_size(picture), 0u);
  platform::RegistryKey settings;
  EXPECT_EQ(platform::RegistryKey::Open(platform::Hive::kCurrentUser, "software\\Velmora\\SercastMgr", settings), 0u);
}

TEST_F(SercastMgrTest, CommandLineFailuresSayWhatAndExitNonZero) {
  platform::testing::ScopedEnv display("DISPLAY", "");
  platform::testing::ScopedEnv wayland("WAYLAND_DISPLAY", "");
  platform::testing::ScopedEnv qpa("QT_QPA_PLATFORM", "");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string said;
  };
  const Case cases[] = {
      {{"-A"}, 1, "Error: Please select an Input Port."},
      {{}, 2, "sercastmgr: no display to show the window on; use -A or -D"},
      {{"--test-raw", "COM9:"}, 1, "Error: Can't open 'COM9:'\nError No 2"},
      {{"-X"}, 2, "Usage: sercastmgr"},
  };
  for (const Case& c : cases) {
    ProgramRun run(c.args, Errors());
    EXPECT_EQ(run.Finish(), c.status) << c.said;
    EXPECT_NE(run.Errors().find(c.said), std::string::npos) << run.Errors();
  }
  // The TMC manager is the same program under another name, with settings of its own.
  const std::string tmc = std::filesystem::path(SERCASTMGR_PATH).replace_filename("sercastmgrtmc").string();
  ProgramRun run({"-A"}, Errors(), tmc);
  EXPECT_EQ(run.Finish(), 1) << run.Errors();
  platform::RegistryKey settings;
  EXPECT_EQ(platform::RegistryKey::Open(platform::Hive::kCurrentUser, "software\\Velmora\\SercastMgrTMC", settings),
            0u);
}

}  // namespace
