#include "tools/registry_tool/dwreg.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "platform/registry/registry.h"
#include "platform/testing/files.h"
#include "platform/testing/system_root.h"

namespace tools {
namespace {

namespace fs = std::filesystem;

class DwregTest : public platform::testing::SystemRootTest {
 protected:
  // Runs one command line; keeps its output and messages.
  int Run(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = RunDwreg(args, out, err);
    out_ = out.str();
    err_ = err.str();
    return code;
  }

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

TEST_F(DwregTest, AValueThatCannotBeStoredIsNamedWithWhatIsWrong) {
  const std::string notANumber = "is not a number: decimal digits, or 0x and hex digits, expected\n";
  const std::string tooLarge = "is too large: a DWORD holds 0 to 4294967295 (0xFFFFFFFF)\n";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--dword", "99999999999"}, "--dword '99999999999' " + tooLarge},
      {{"--dword", "4294967296"}, "--dword '4294967296' " + tooLarge},
      {{"--dword", "0x100000000"}, "--dword '0x100000000' " + tooLarge},
      {{"--dword", "-1"}, "--dword '-1' " + notANumber},
      {{"--dword", "12x"}, "--dword '12x' " + notANumber},
      {{"--dword", "0x"}, "--dword '0x' " + notANumber},
      {{"--dword", ""}, "--dword '' " + notANumber},
      {{"--binary", "ABC"}, "--binary 'ABC' has an odd number of hex digits: each byte takes two\n"},
      {{"--binary", "zz"}, "--binary 'zz' holds 'z', which is no hex digit\n"},
  };
  for (const auto& [value, said] : cases) {
    EXPECT_EQ(Run({"set", "Key", "Name", value[0], value[1]}), 2) << value[1];
    EXPECT_EQ(err_, "dwreg: " + said);
  }
  EXPECT_FALSE(fs::exists(platform::HiveFilePath(platform::Hive::kLocalMachine)));
}

TEST_F(DwregTest, ADamagedHiveIsNamedWithWhatToDo) {
  const std::string hive = platform::HiveFilePath(platform::Hive::kLocalMachine);
  for (int i = 0; i < 200; ++i) ASSERT_EQ(Run({"set", "Keys\\K" + std::to_string(i), "V", "--dword", "1"}), 0);
  const std::string whatToDo = "dwreg: The registry file '" + hive +
                               "' is damaged or is no registry. Move it away, together with its '-wal' and '-shm' "
                               "files if there are any, to start afresh with an empty one.\n";
  for (const bool truncated : {true, false}) {
    SCOPED_TRACE(truncated ? "truncated" : "no database");
    if (truncated) {
      fs::resize_file(hive, fs::file_size(hive) / 2);
    } else {
      std::ofstream(hive, std::ios::trunc) << std::string(4096, 'x');
    }
    EXPECT_EQ(Run({"list", "Keys"}), 1);
    EXPECT_EQ(err_, "dwreg: cannot open 'Keys': Error No 1015: The registry is corrupted.\n" + whatToDo);
  }
}

// A fresh system has no port map entries, yet its ports have numbers.
TEST_F(DwregTest, ThePortMapIsListedAsItIsInForce) {
  const std::string usb = system_.Dev() + "/ttyUSB0";
  platform::testing::WriteFile(usb, "");
  platform::testing::WriteFile(root_ + "/gps", "");
  const std::string inForce = "# The ports in force: the entries above over the defaults from the devices that exist\n";
  EXPECT_EQ(Run({"list", "Linux\\SerialPorts"}), 0) << err_;
  EXPECT_EQ(out_, inForce + "# COM3: = " + usb + " (default)\n");

  ASSERT_EQ(Run({"set", "Linux\\SerialPorts", "COM4:", "--string", root_ + "/gps"}), 0);
  ASSERT_EQ(Run({"set", "Linux\\SerialPorts", "COM5:", "--string", root_ + "/unplugged"}), 0);
  EXPECT_EQ(Run({"list", "/linux/serialports/"}), 0);
  EXPECT_EQ(out_, "COM4: (string) = " + root_ + "/gps\nCOM5: (string) = " + root_ + "/unplugged\n" + inForce +
                      "# COM3: = " + usb + " (default)\n# COM4: = " + root_ + "/gps\n");
  EXPECT_EQ(Run({"--user", "list", "Linux\\SerialPorts"}), 1) << "the map lives in the machine hive";
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
