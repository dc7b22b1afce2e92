#include "tools/registry_tool/dwreg.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <sstream>

#include "platform/registry/registry.h"

namespace tools {
namespace {

namespace fs = std::filesystem;

class DwregTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "dwreg_test_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    setenv("DW_SYSTEM_ROOT", root_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("DW_SYSTEM_ROOT");
    fs::remove_all(root_);
  }

  // Runs one command line; keeps its output and messages.
  int Run(std::vector<std::string> args) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = RunDwreg(args, out, err);
    out_ = out.str();
    err_ = err.str();
    return code;
  }

  std::string root_;
  std::string out_;
  std::string err_;
};

TEST_F(DwregTest, SetGetListAndDeleteKeysAndValues) {
  ASSERT_EQ(Run({"set", "Linux\\SerialPorts", "COM4:", "--string", "/dev/pts/3"}), 0) << err_;
  ASSERT_EQ(Run({"set", "Drivers/SercastNG", "Index", "--dword", "0x2"}), 0);
  ASSERT_EQ(Run({"set", "Drivers/SercastNG", "InBaud", "--dword", "4294967295"}), 0);
  ASSERT_EQ(Run({"set", "Drivers/SercastNG", "Blob", "--binary", "007Fff"}), 0);
  ASSERT_EQ(Run({"set", "Drivers/SercastNG/Sub", "Empty", "--binary", ""}), 0);

  EXPECT_EQ(Run({"get", "linux\\serialports", "com4:"}), 0);
  EXPECT_EQ(out_, "/dev/pts/3\n");
  EXPECT_EQ(Run({"get", "Drivers\\SercastNG", "INDEX"}), 0);
  EXPECT_EQ(out_, "2\n");

  EXPECT_EQ(Run({"list", "Drivers\\SercastNG"}), 0);
  EXPECT_EQ(out_,
            "Sub\\\n"
            "Blob (binary) = 007fff\n"
            "InBaud (dword) = 4294967295\n"
            "Index (dword) = 2\n");
  EXPECT_EQ(Run({"list"}), 0);
  EXPECT_EQ(out_, "Drivers\\\nLinux\\\n");

  // The user hive is another file.
  EXPECT_EQ(Run({"--user", "get", "Drivers\\SercastNG", "Index"}), 1);
  EXPECT_EQ(err_, "dwreg: cannot open 'Drivers\\SercastNG': Error No 2: The system cannot find the file specified.\n");

  EXPECT_EQ(Run({"delete", "Drivers\\SercastNG", "Index"}), 0);
  EXPECT_EQ(Run({"get", "Drivers\\SercastNG", "Index"}), 1);
  EXPECT_EQ(Run({"delete", "Drivers"}), 0);
  EXPECT_EQ(Run({"list", "Drivers\\SercastNG\\Sub"}), 1);
  EXPECT_EQ(Run({"delete", "Drivers"}), 1);
  EXPECT_NE(err_.find("Error No 2"), std::string::npos);
}

TEST_F(DwregTest, MalformedCommandLinesAreUsageErrors) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"--user"},
      {"show"},
      {"get", "Key"},
      {"list", "A", "B"},
      {"delete"},
      {"set", "Key", "Name", "--dword"},
      {"set", "Key", "Name", "--dword", "4294967296"},
      {"set", "Key", "Name", "--dword", "-1"},
      {"set", "Key", "Name", "--dword", "12x"},
      {"set", "Key", "Name", "--dword", "0x"},
      {"set", "Key", "Name", "--binary", "0"},
      {"set", "Key", "Name", "--binary", "zz"},
      {"set", "Key", "Name", "--float", "1"},
  };
  for (const auto& args : bad) {
    EXPECT_EQ(Run(args), 2) << (args.empty() ? "(none)" : args.back());
    EXPECT_EQ(err_.rfind("Usage: dwreg", 0), 0u);
  }
  EXPECT_FALSE(fs::exists(platform::HiveFilePath(platform::Hive::kLocalMachine)));
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_EQ(out_.rfind("Usage: dwreg", 0), 0u);
}

TEST_F(DwregTest, TheProgramExitsWithTheCommandsCode) {
  const auto run = [](const std::string& arguments) {
    const int status = std::system((std::string(DWREG_PATH) + " " + arguments + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(run("set Key Name --string text"), 0);
  EXPECT_EQ(run("get Key Name"), 0);
  EXPECT_EQ(run("get Key Other"), 1);
  EXPECT_EQ(run("frobnicate"), 2);
}

}  // namespace
}  // namespace tools
