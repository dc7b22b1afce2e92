#pragma once
// What the device tests share: a temporary system root with its own /dev and /sys stand-ins (so
// the machine's real ports stay out), and a pseudo-terminal that plays the serial line.

#include <gtest/gtest.h>
#include <pty.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

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

}  // namespace platform::testing
