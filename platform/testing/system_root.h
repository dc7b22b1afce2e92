#pragma once
// A temporary handheld for a test: DW_SYSTEM_ROOT in a temporary folder, so the hives and the port
// map start empty, and /dev and /sys stand-ins, so the machine's own serial ports stay out. The
// variables are put back as they were when it ends.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/testing/temp_folder.h"

namespace platform::testing {

// One environment variable set for a scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> previous_;
};

class TempSystemRoot {
 public:
  explicit TempSystemRoot(std::string_view prefix = "dw_root");

  // The test's scratch folder; the system root and the stand-ins lie inside it.
  const std::filesystem::path& Folder() const { return folder_.Path(); }
  const std::string& Root() const { return root_; }
  std::string Dev() const { return (Folder() / "dev").string(); }
  std::string Sys() const { return (Folder() / "sys").string(); }

 private:
  TempFolder folder_;
  std::string root_;
  ScopedEnv systemRoot_;
  ScopedEnv devRoot_;
  ScopedEnv sysRoot_;
};

// A test fixture with a fresh system root per test.
class SystemRootTest : public ::testing::Test {
 protected:
  TempSystemRoot system_;
  const std::string root_{system_.Root()};
};

}  // namespace platform::testing
