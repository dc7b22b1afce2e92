#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/testing/files.h"
#include "platform/testing/reports.h"
#include "platform/testing/system_root.h"

namespace platform::testing {
namespace {

std::optional<std::string> Env(const char* name) {
  const char* value = getenv(name);
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

// A test that leaves a variable behind points the next test at a removed folder.
TEST(TempSystemRoot, SetsTheRootsAndPutsBackWhatWasThereAndRemovesItsFolder) {
  setenv("DW_SYSTEM_ROOT", "/before", 1);
  unsetenv("DW_DEV_ROOT");
  std::filesystem::path folder;
  {
    const TempSystemRoot system;
    folder = system.Folder();
    EXPECT_EQ(Env("DW_SYSTEM_ROOT"), system.Root());
    EXPECT_EQ(Env("DW_DEV_ROOT"), system.Dev());
    EXPECT_EQ(Env("DW_SYS_ROOT"), system.Sys());
    WriteFile(system.Folder() / "sub" / "file", std::string("a\0b", 3));
    EXPECT_EQ(ReadFile(system.Folder() / "sub" / "file"), std::string("a\0b", 3));
  }
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_EQ(Env("DW_SYSTEM_ROOT"), "/before");
  EXPECT_EQ(Env("DW_DEV_ROOT"), std::nullopt);
  unsetenv("DW_SYSTEM_ROOT");
}

TEST(OneRecordStartingWith, WantsExactlyOneRecordWithThePrefix) {
  ScriptedReporter reporter;
  EXPECT_FALSE(OneRecordStartingWith(reporter, ""));
  reporter.Error("Can't open %s", "COM4:");
  EXPECT_TRUE(OneRecordStartingWith(reporter, "Can't open"));
  EXPECT_FALSE(OneRecordStartingWith(reporter, "open"));
  reporter.Error("Can't open %s", "COM5:");
  EXPECT_FALSE(OneRecordStartingWith(reporter, "Can't open"));
  EXPECT_EQ(Texts(reporter), (std::vector<std::string>{"Can't open COM4:", "Can't open COM5:"}));
}

}  // namespace
}  // namespace platform::testing
