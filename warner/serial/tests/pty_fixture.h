#pragma once
// Pseudo-terminals as the serial ports of the source tests: the slave is mapped as "COM4:" in
// the registry of a temporary system root, the test writes the receiver's bytes into the master.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/devices/port_map.h"
#include "platform/devices/tests/device_test_support.h"
#include "platform/registry/registry.h"

namespace serial::test {

class PtyFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("serial_test_" + std::to_string(::getpid()) + "_" +
                                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "root");
    std::filesystem::create_directories(dir_ / "dev");
    ::setenv("DW_SYSTEM_ROOT", (dir_ / "root").c_str(), 1);
    // No real port of the machine may turn up in a port list.
    ::setenv("DW_DEV_ROOT", (dir_ / "dev").c_str(), 1);
    ::setenv("DW_SYS_ROOT", (dir_ / "dev").c_str(), 1);
    char name[256] = {};
    ASSERT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
    slavePath_ = name;
    termios raw{};
    ::tcgetattr(slave_, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave_, TCSANOW, &raw);
    MapPort("COM4:", slavePath_);
  }
  void TearDown() override {
    CloseMaster();
    if (slave_ >= 0) ::close(slave_);
    std::filesystem::remove_all(dir_);
  }

  static void MapPort(const std::string& port, const std::string& device) {
    platform::RegistryKey map;
    ASSERT_EQ(platform::RegistryKey::Create(platform::Hive::kLocalMachine, platform::kPortMapKey, map), 0u);
    ASSERT_EQ(map.SetString(port, device), 0u);
  }

  void WriteMaster(const std::string& bytes) const {
    size_t at = 0;
    while (at < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + at, bytes.size() - at);
      ASSERT_GT(n, 0);
      at += static_cast<size_t>(n);
    }
  }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  termios SlaveTermios() const {
    termios tio{};
    ::tcgetattr(slave_, &tio);
    return tio;
  }

  std::filesystem::path dir_;
  int master_ = -1;
  int slave_ = -1;  // kept open, so the terminal's settings can be watched
  std::string slavePath_;
};

}  // namespace serial::test
