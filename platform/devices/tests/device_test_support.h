#pragma once
// What the device tests share: a temporary system root with its own /dev and /sys stand-ins (so
// the machine's real ports stay out), and a pseudo-terminal that plays the serial line.

#include <gtest/gtest.h>
#include <pty.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/devices/custom_rate.h"

namespace platform::testing {

class TempRootTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "devices_test_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    std::filesystem::create_directories(root_ + "/dev");
    std::filesystem::create_directories(root_ + "/sys");
    setenv("DW_SYSTEM_ROOT", root_.c_str(), 1);
    setenv("DW_DEV_ROOT", (root_ + "/dev").c_str(), 1);
    setenv("DW_SYS_ROOT", (root_ + "/sys").c_str(), 1);
  }
  void TearDown() override {
    for (const char* name : {"DW_SYSTEM_ROOT", "DW_DEV_ROOT", "DW_SYS_ROOT"}) unsetenv(name);
    std::filesystem::remove_all(root_);
  }

  std::string root_;
};

// Both ends of a pseudo-terminal; the test writes into and reads from the master side.
class Pty {
 public:
  Pty() {
    char name[128] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
      ADD_FAILURE() << "openpty failed";
      return;
    }
    slavePath_ = name;
  }
  ~Pty() {
    CloseMaster();
    if (slave_ >= 0) close(slave_);
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }
  void Send(const std::string& bytes) const {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  int master() const { return master_; }
  int slave() const { return slave_; }
  const std::string& slavePath() const { return slavePath_; }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};

// A terminal's settings as the kernel reports them, the arbitrary rate included.
struct TerminalSnapshot {
  termios tio{};
  uint32_t rate = 0;
};

inline TerminalSnapshot SnapshotTerminal(int fd) {
  TerminalSnapshot snapshot;
  EXPECT_EQ(tcgetattr(fd, &snapshot.tio), 0);
  snapshot.rate = serial_detail::ReadRate(fd);
  return snapshot;
}

// Every field, not only the rate: a port left in raw mode breaks a console.
inline void ExpectSameTerminal(const TerminalSnapshot& seen, const TerminalSnapshot& wanted) {
  EXPECT_EQ(seen.tio.c_iflag, wanted.tio.c_iflag);
  EXPECT_EQ(seen.tio.c_oflag, wanted.tio.c_oflag);
  EXPECT_EQ(seen.tio.c_cflag, wanted.tio.c_cflag);
  EXPECT_EQ(seen.tio.c_lflag, wanted.tio.c_lflag);
  EXPECT_EQ(seen.tio.c_line, wanted.tio.c_line);
  for (size_t i = 0; i < NCCS; ++i) EXPECT_EQ(seen.tio.c_cc[i], wanted.tio.c_cc[i]) << "c_cc[" << i << "]";
  EXPECT_EQ(cfgetispeed(&seen.tio), cfgetispeed(&wanted.tio));
  EXPECT_EQ(cfgetospeed(&seen.tio), cfgetospeed(&wanted.tio));
  EXPECT_EQ(seen.rate, wanted.rate);
}

// A terminal as a console or another program may leave it: line editing, echo, signals, CR to LF,
// output processing, odd control characters; at `rate`, which may lack a speed code.
inline void SetOddTerminal(int fd, uint32_t rate) {
  termios tio{};
  ASSERT_EQ(tcgetattr(fd, &tio), 0);
  tio.c_iflag |= ICRNL | IXON | IXANY;
  tio.c_oflag |= OPOST | ONLCR;
  tio.c_lflag |= ICANON | ECHO | ECHOE | ISIG | IEXTEN;
  tio.c_cflag |= CSTOPB | HUPCL;
  tio.c_cc[VEOF] = 0x01;
  tio.c_cc[VMIN] = 7;
  tio.c_cc[VTIME] = 3;
  tio.c_cc[VSTART] = 0x05;
  cfsetspeed(&tio, B57600);
  ASSERT_EQ(tcsetattr(fd, TCSANOW, &tio), 0);
  if (rate != 57600) {
    ASSERT_TRUE(serial_detail::SetCustomRate(fd, rate));
  }
}

}  // namespace platform::testing
