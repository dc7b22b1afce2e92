#pragma once
// A fresh system root per test, so the hives and the port map start empty; the real /dev and /sys
// are hidden so that the machine's own serial ports stay out of the tables.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace driver::testing {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/driver-registry-XXXXXX";
    root_ = mkdtemp(pattern);
    std::filesystem::create_directories(root_ + "/dev");
    std::filesystem::create_directories(root_ + "/sys");
    setenv("DW_SYSTEM_ROOT", root_.c_str(), 1);
    setenv("DW_DEV_ROOT", (root_ + "/dev").c_str(), 1);
    setenv("DW_SYS_ROOT", (root_ + "/sys").c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  const std::string& Root() const { return root_; }

 private:
  std::string root_;
};

}  // namespace driver::testing
