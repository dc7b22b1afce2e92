#include "platform/testing/pty.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include "platform/devices/custom_rate.h"
#include "platform/devices/port_map.h"
#include "platform/registry/registry.h"

namespace platform::testing {

Pty::Pty() {
  char name[256] = {};
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
    ADD_FAILURE() << "openpty failed";
    return;
  }
  slavePath_ = name;
}

Pty::~Pty() {
  CloseMaster();
  if (slave_ >= 0) close(slave_);
}

void Pty::MakeRaw() const {
  termios raw{};
  ASSERT_EQ(tcgetattr(slave_, &raw), 0);
  cfmakeraw(&raw);
  ASSERT_EQ(tcsetattr(slave_, TCSANOW, &raw), 0);
}

void Pty::Send(const std::string& bytes) const {
  size_t at = 0;
  while (at < bytes.size()) {
    const ssize_t n = write(master_, bytes.data() + at, bytes.size() - at);
    ASSERT_GT(n, 0);
    at += static_cast<size_t>(n);
  }
}

void Pty::CloseMaster() {
  if (master_ >= 0) close(master_);
  master_ = -1;
}

termios Pty::SlaveTermios() const {
  termios tio{};
  EXPECT_EQ(tcgetattr(slave_, &tio), 0);
  return tio;
}

void MapPort(const std::string& port, const std::string& device) {
  RegistryKey map;
  ASSERT_EQ(RegistryKey::Create(Hive::kLocalMachine, kPortMapKey, map), 0u);
  ASSERT_EQ(map.SetString(port, device), 0u);
}

TerminalSnapshot SnapshotTerminal(int fd) {
  TerminalSnapshot snapshot;
  EXPECT_EQ(tcgetattr(fd, &snapshot.tio), 0);
  snapshot.rate = serial_detail::ReadRate(fd);
  return snapshot;
}

void ExpectSameTerminal(const TerminalSnapshot& seen, const TerminalSnapshot& wanted) {
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

void SetOddTerminal(int fd, uint32_t rate) {
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
