#include "manager/core/program_facts.h"

#include <gtest/gtest.h>

#include "manager/core/autostart.h"
#include "platform/registry/registry.h"
#include "platform/testing/system_root.h"

namespace manager {
namespace {

using platform::testing::ScopedEnv;

TEST(ProgramFactsTest, FileNamesGiveTheProgramAndInstanceNames) {
  struct Case {
    const char* path;
    const char* program;
    const char* registry;
  };
  const Case cases[] = {
      {"/usr/bin/sercastmgr", "SercastMgr", "SercastNG"},
      {"/opt/dw/SERCASTMGRTMC", "SercastMgrTMC", "SercastNGTMC"},
      {"./sercastmgrtmc.exe", "SercastMgrTMC", "SercastNGTMC"},
      {"sercastmgr2", "SercastMgr2", "SercastNG2"},
      {"/usr/bin/manager", "manager", "SercastNG"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgramNameFor(c.path), c.program) << c.path;
    ScopedEnv path("PATH", "/nonexistent");
    const ProgramFacts facts = GatherProgramFacts(c.path);
    EXPECT_EQ(facts.programName, c.program) << c.path;
    EXPECT_EQ(facts.registryName, c.registry) << c.path;
    EXPECT_EQ(facts.moduleFileName.front(), '/') << c.path;
  }
}

class OsVersionTest : public platform::testing::SystemRootTest {};

TEST_F(OsVersionTest, EnvironmentWinsOverTheRegistryWhichWinsOverTheDefault) {
  unsetenv(kOsVersionVariable);
  EXPECT_EQ(ReadOsVersion().major, 5);
  platform::RegistryKey key;
  ASSERT_EQ(platform::RegistryKey::Create(platform::Hive::kLocalMachine, kOsVersionKey, key), 0u);
  key.SetString(kOsVersionValue, "4.2");
  EXPECT_EQ(ReadOsVersion().minor, 2);
  ScopedEnv version(kOsVersionVariable, "6.1");
  EXPECT_EQ(ReadOsVersion().major, 6);
}

TEST(ProgramFactsTest, OsVersionIsReadOnlyFromAWellFormedSetting) {
  const std::pair<const char*, OsVersion> cases[] = {
      {"4.2", {4, 2}}, {"6", {6, 0}},    {"5.10", {5, 10}}, {"", {5, 0}},
      {"4.x", {5, 0}}, {"-4.2", {5, 0}}, {"4.", {5, 0}},
  };
  for (const auto& [text, expected] : cases) {
    const OsVersion version = ParseOsVersion(text);
    EXPECT_EQ(version.major, expected.major) << text;
    EXPECT_EQ(version.minor, expected.minor) << text;
  }
}

TEST(AutostartTest, EntryRunsTheProgramWithAutomaticActivationWhateverItsPath) {
  platform::testing::TempFolder folder("dw_mgr");
  ScopedEnv config("XDG_CONFIG_HOME", folder.Path().string());
  EXPECT_EQ(AutostartEntryPath("SercastMgrTMC"), folder.File("autostart/SercastMgrTMC.desktop"));
  {
    ScopedEnv relative("XDG_CONFIG_HOME", "relative");
    ScopedEnv home("HOME", "/home/driver");
    EXPECT_EQ(AutostartEntryPath("SercastMgr"), "/home/driver/.config/autostart/SercastMgr.desktop");
  }
  const std::pair<const char*, const char*> cases[] = {
      {"/usr/bin/sercastmgr", "Exec=\"/usr/bin/sercastmgr\" -A\n"},
      {"/My Apps/100% \"gps\"/$x`y`\\z", "Exec=\"/My Apps/100%% \\\\\"gps\\\\\"/\\\\$x\\\\`y\\\\`\\\\\\\\z\" -A\n"},
  };
  for (const auto& [path, exec] : cases) {
    const std::string text = AutostartEntryText("SercastMgr", path);
    EXPECT_EQ(text.rfind("[Desktop Entry]\nType=Application\n", 0), 0u) << text;
    EXPECT_NE(text.find(exec), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace manager
