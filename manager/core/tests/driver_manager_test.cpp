#include "manager/core/driver_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "driver/registry/driver_keys.h"
#include "manager/core/autostart.h"
#include "platform/devices/device_manager.h"
#include "platform/registry/registry.h"
#include "platform/reports/scripted_reporter.h"
#include "platform/testing/files.h"
#include "platform/testing/pty.h"
#include "platform/testing/reports.h"
#include "platform/testing/system_root.h"

namespace manager {
namespace {

using platform::Hive;
using platform::RegistryKey;
using platform::testing::ScopedEnv;
using platform::testing::Texts;

class NullSink final : public PortTestSink {
 public:
  void Clear() override {}
  void RemoveFirstLine() override {}
  void AddLine(const std::string&) override {}
};

bool KeyExists(const std::string& path) {
  RegistryKey key;
  return RegistryKey::Open(Hive::kLocalMachine, path, key) == 0;
}

uint32_t Dword(const std::string& path, const char* name) {
  RegistryKey key;
  uint32_t value = 0xFFFFFFFF;
  if (RegistryKey::Open(Hive::kLocalMachine, path, key) == 0) key.QueryDword(name, value);
  return value;
}

void WriteKey(const std::string& path, const std::vector<std::pair<const char*, std::string>>& strings,
              const std::vector<std::pair<const char*, uint32_t>>& dwords = {}) {
  RegistryKey key;
  ASSERT_EQ(RegistryKey::Create(Hive::kLocalMachine, path, key), 0u);
  for (const auto& [name, value] : strings) key.SetString(name, value);
  for (const auto& [name, value] : dwords) key.SetDword(name, value);
}

// A receiver on COM4:, an empty autostart folder and the system version's default.
class DriverManagerTest : public platform::testing::SystemRootTest {
 protected:
  DriverManagerTest() {
    receiver_.MakeRaw();
    platform::testing::MapPort("COM4:", receiver_.slavePath());
    unsetenv(kOsVersionVariable);
  }
  ~DriverManagerTest() override { platform::StopDeviceManager(); }

  std::unique_ptr<DriverManager> Manager(const std::string& program = "SercastMgr",
                                         const std::string& path = "/usr/bin/sercastmgr") {
    return Manager(reporter_, program, path);
  }
  std::unique_ptr<DriverManager> Manager(platform::ScriptedReporter& reporter,
                                         const std::string& program = "SercastMgr",
                                         const std::string& path = "/usr/bin/sercastmgr") {
    ProgramFacts facts;
    facts.os = ReadOsVersion();
    facts.moduleFileName = path;
    facts.programName = program;
    facts.registryName = driver::RegistryName(program);
    return std::make_unique<DriverManager>(facts, reporter, sink_, [this](const FileDialogRequest& request) {
      dialogTitle_ = request.title;
      return chosenFile_;
    });
  }
  void Store(const driver::ManagerSettings& settings, const std::string& program = "SercastMgr") {
    ASSERT_EQ(driver::WriteManagerSettings(program, settings, "/usr/bin/sercastmgr"), 0u);
  }
  static driver::ManagerSettings Choices(const std::string& source, const std::string& outPort) {
    driver::ManagerSettings settings;
    settings.source = source;
    settings.outPort = outPort;
    return settings;
  }

  platform::testing::Pty receiver_;
  ScopedEnv config_{"XDG_CONFIG_HOME", (system_.Folder() / "config").string()};
  platform::ScriptedReporter reporter_;
  NullSink sink_;
  std::optional<std::string> chosenFile_;
  std::string dialogTitle_;
};

TEST_F(DriverManagerTest, RefusedActivationsAreSaidAndWriteNoKey) {
  struct Case {
    const char* source;
    const char* outPort;
    const char* message;
  };
  const Case cases[] = {
      {"COM3:", "COM7:", "Please select an Input Port."},  // no such port any more
      {"XYZ", "COM7:", "Please select an Input Port."},
      {"COM4:", "COM4:", "Please select a Virtual Output Port."},  // COM4: is taken by the receiver
      {"COM4:", "", "Please select a Virtual Output Port."},
      {"COM5:", "COM5:", "Can't select the same port as Source and Virtual Port."},
  };
  // A driver key of another driver offers COM5: without taking the number from the device list.
  WriteKey("Drivers\\Other", {{"Prefix", "COM"}}, {{"Index", 5}});
  for (const Case& c : cases) {
    platform::ScriptedReporter reporter;
    Store(Choices(c.source, c.outPort));
    auto manager = Manager(reporter);
    ASSERT_TRUE(manager->Start(RunMode::kActivate));
    EXPECT_FALSE(manager->Activate()) << c.message;
    EXPECT_EQ(Texts(reporter), std::vector<std::string>{c.message});
    EXPECT_FALSE(KeyExists("Drivers\\SercastNG")) << c.message;
  }
}

TEST_F(DriverManagerTest, NoFreePortLeavesTheOutputListEmpty) {
  for (int n = 0; n < 10; ++n) platform::testing::MapPort("COM" + std::to_string(n) + ":", receiver_.slavePath());
  auto manager = Manager();
  ASSERT_TRUE(manager->Start());
  EXPECT_TRUE(manager->View().output.items.empty());
  EXPECT_FALSE(manager->Activate());
  EXPECT_EQ(Texts(reporter_), std::vector<std::string>{"Please select a Virtual Output Port."});
}

TEST_F(DriverManagerTest, ActivateDeactivateAndTheStartupEntry) {
  driver::ManagerSettings stored = Choices("COM4:", "COM7:");
  stored.baudRate = 9600;
  stored.nmeaFilter = 1;
  stored.driverResident = 1;
  Store(stored);
  auto manager = Manager();
  ASSERT_TRUE(manager->Start(RunMode::kActivate));
  ManagerView view = manager->View();
  EXPECT_TRUE(view.activate.enabled);
  EXPECT_FALSE(view.deactivate.enabled);
  EXPECT_EQ(view.input.items.back(), "FILE");
  ASSERT_TRUE(manager->Activate()) << ::testing::PrintToString(Texts(reporter_));
  EXPECT_EQ(Dword("Drivers\\SercastNG", "InPortIndex"), 4u);
  EXPECT_EQ(Dword("Drivers\\SercastNG", "Index"), 7u);
  EXPECT_EQ(Dword("Drivers\\SercastNG", "InBaud"), 9600u);
  EXPECT_EQ(Dword("Drivers\\SercastNG", "NMEAFilter"), 1u);

  view = manager->View();
  EXPECT_EQ(view.input.items, std::vector<std::string>{"COM4:"});
  EXPECT_EQ(view.output.items, std::vector<std::string>{"COM7:"});
  EXPECT_FALSE(view.input.enabled || view.output.enabled || view.baud.enabled || view.activate.enabled ||
               view.filter.enabled || view.resident.enabled);
  EXPECT_TRUE(view.deactivate.enabled && view.testRaw.enabled && view.testGps.enabled);

  // Activating again rewrites the key without loading a second time.
  const auto devices = platform::ListDevices();
  ASSERT_TRUE(manager->Activate());
  EXPECT_EQ(platform::ListDevices()->size(), devices->size());

  const std::string entry = AutostartEntryPath("SercastMgr");
  ASSERT_TRUE(manager->Exit());
  EXPECT_NE(platform::testing::ReadFile(entry).find("Exec=\"/usr/bin/sercastmgr\" -A\n"), std::string::npos);

  // The next start finds the driver active from the active keys, and deactivates it.
  manager = Manager();
  ASSERT_TRUE(manager->Start(RunMode::kDeactivate));
  EXPECT_TRUE(manager->DriverActive());
  ASSERT_TRUE(manager->Deactivate());
  EXPECT_FALSE(KeyExists("Drivers\\SercastNG"));
  EXPECT_FALSE(manager->DriverActive());
  EXPECT_TRUE(manager->View().activate.enabled);
  ASSERT_TRUE(manager->Exit());
  EXPECT_FALSE(std::filesystem::exists(entry));
  EXPECT_TRUE(Texts(reporter_).empty()) << ::testing::PrintToString(Texts(reporter_));

  driver::ManagerSettings saved;
  ASSERT_EQ(driver::ReadManagerSettings("SercastMgr", saved), 0u);
  EXPECT_EQ(saved.source, "COM4:");
  EXPECT_EQ(saved.outPort, "COM7:");
  EXPECT_EQ(saved.baudRate, 9600u);
  EXPECT_EQ(saved.driverActivated, 0u);
  EXPECT_EQ(saved.driverResident, 1u);
}

// Below version 5 a resident driver is kept under Drivers\BuiltIn and no startup entry is made; the
// TMC manager never sets the filter.
TEST_F(DriverManagerTest, OldSystemKeepsAResidentTmcDriverBuiltIn) {
  ScopedEnv version(kOsVersionVariable, "4.2");
  driver::ManagerSettings stored = Choices("COM4:", "COM8:");
  stored.nmeaFilter = 1;
  stored.driverResident = 1;
  Store(stored, "SercastMgrTMC");
  auto manager = Manager("SercastMgrTMC", "/media/Card/sercastmgrtmc");
  ASSERT_TRUE(manager->Start(RunMode::kActivate));
  EXPECT_FALSE(manager->View().filter.checked || manager->View().filter.enabled);
  ASSERT_TRUE(manager->Activate()) << ::testing::PrintToString(Texts(reporter_));
  EXPECT_EQ(Dword("Drivers\\BuiltIn\\SercastNGTMC", "NMEAFilter"), 0u);
  EXPECT_FALSE(KeyExists("Drivers\\SercastNGTMC"));
  ASSERT_TRUE(manager->Exit());
  EXPECT_FALSE(std::filesystem::exists(AutostartEntryPath("SercastMgrTMC")));
  ASSERT_TRUE(manager->Deactivate());
  EXPECT_FALSE(KeyExists("Drivers\\BuiltIn\\SercastNGTMC"));
}

TEST_F(DriverManagerTest, ForeignKeyIsOverwrittenOnlyWhenTheUserSaysYes) {
  WriteKey("Drivers\\SercastNG", {{"Imprint", "Other Maker"}, {"Dll", "other.dll"}});
  Store(Choices("COM4:", "COM7:"));
  auto manager = Manager();
  ASSERT_TRUE(manager->Start());
  reporter_.QueueAnswer(false);
  EXPECT_FALSE(manager->Activate());
  const std::vector<platform::ScriptedReporter::Record> asked{
      {platform::Severity::kWarning,
       "The registry key Drivers\\SercastNG already exists and will be overwritten.\n\nContinue?", true, false}};
  EXPECT_EQ(reporter_.Records(), asked);
  RegistryKey key;
  ASSERT_EQ(RegistryKey::Open(Hive::kLocalMachine, "Drivers\\SercastNG", key), 0u);
  std::string dll;
  key.QueryString("Dll", dll);
  EXPECT_EQ(dll, "other.dll");
  EXPECT_EQ(Dword("Drivers\\SercastNG", "Index"), 0xFFFFFFFFu);
}

// A device manager that cannot load the driver is said, and the registry is left as it was.
TEST_F(DriverManagerTest, FailedLoadLeavesTheRegistryAsItWas) {
  ScopedEnv daemon("DW_DEVMGRD", "/nonexistent/devmgrd");
  WriteKey("Drivers\\SercastNG", {{"Imprint", "Velmora GmbH"}, {"InPortName", "COM1:"}});
  Store(Choices("COM4:", "COM7:"));
  for (const bool existed : {true, false}) {
    if (!existed) RegistryKey::DeleteKey(Hive::kLocalMachine, "Drivers\\SercastNG");
    platform::ScriptedReporter reporter;
    auto manager = Manager(reporter);
    ASSERT_TRUE(manager->Start());
    EXPECT_FALSE(manager->Activate());
    EXPECT_TRUE(platform::testing::OneRecordStartingWith(
        reporter, "Activating Sercast Device Driver SercastNG.dll failed\nError No "));
    EXPECT_EQ(KeyExists("Drivers\\SercastNG"), existed);
    EXPECT_EQ(Dword("Drivers\\SercastNG", "Index"), 0xFFFFFFFFu);
  }
}

// A driver left half configured, a device manager that is gone and an autostart folder that cannot
// be made: each is said with the system's text, and nothing crashes.
TEST_F(DriverManagerTest, BrokenStateIsSaidWithTheSystemsText) {
  WriteKey("Drivers\\SercastNG", {{"Prefix", "COM"}}, {{"Index", 7}});  // no InPortIndex, no File
  WriteKey("Drivers\\Active\\05", {{"Key", "Drivers\\SercastNG"}, {"Name", "COM7:"}}, {{"Hnd", 9}});
  driver::ManagerSettings stored = Choices("COM4:", "COM7:");
  stored.driverResident = 1;
  Store(stored);
  platform::testing::WriteFile(system_.Folder() / "config" / "autostart", "a file, not a folder");

  auto manager = Manager();
  ASSERT_TRUE(manager->Start());
  EXPECT_FALSE(manager->DriverActive());  // no device manager runs: the active key is stale

  // A device manager that does not know the device behind the active key.
  EXPECT_FALSE(platform::ActivateDevice("Drivers\\Nothing"));
  WriteKey("Drivers\\Active\\05", {{"Key", "Drivers\\SercastNG"}, {"Name", "COM7:"}}, {{"Hnd", 9}});
  manager = Manager();
  ASSERT_TRUE(manager->Start());
  EXPECT_TRUE(manager->DriverActive());
  EXPECT_FALSE(manager->Deactivate());
  EXPECT_TRUE(KeyExists("Drivers\\SercastNG"));  // the device is still loaded for all the manager knows
  EXPECT_FALSE(manager->Exit());
  const std::vector<std::string> expected{
      "Failed to query 'HKEY_LOCAL_MACHINE\\Drivers\\SercastNG\\InPortIndex'\nError No 2: ",
      "Failed to query 'HKEY_LOCAL_MACHINE\\Drivers\\SercastNG\\File'\nError No 2: ",
      "Can't deactivate the device.\nError No ",
      "Can't create the shortcut " + AutostartEntryPath("SercastMgr") + " to /usr/bin/sercastmgr.\nError No ",
  };
  const std::vector<std::string> texts = Texts(reporter_);
  for (const std::string& message : expected) {
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return t.rfind(message, 0) == 0; }))
        << message << ::testing::PrintToString(texts);
  }

  // An active key whose driver key is gone, on a port another driver key offers.
  RegistryKey::DeleteKey(Hive::kLocalMachine, "Drivers\\SercastNG");
  RegistryKey::DeleteKey(Hive::kLocalMachine, "Drivers\\Active\\05");
  WriteKey("Drivers\\Other", {{"Prefix", "COM"}}, {{"Index", 8}});
  WriteKey("Drivers\\Active\\06", {{"Key", "Drivers\\Gone\\SercastNG"}, {"Name", "COM8:"}}, {{"Hnd", 10}});
  platform::ScriptedReporter reporter;
  manager = Manager(reporter);
  ASSERT_TRUE(manager->Start());
  EXPECT_TRUE(manager->DriverActive());
  EXPECT_TRUE(platform::testing::OneRecordStartingWith(
      reporter, "Failed to open 'HKEY_LOCAL_MACHINE\\Drivers\\Gone\\SercastNG'\nError No 2: "));
}

TEST_F(DriverManagerTest, DamagedMachineHiveIsSaidWhenTheKeyCannotBeMade) {
  driver::ManagerSettings stored = Choices("FILE", "COM7:");
  stored.sourceFile = "/home/driver/drive.gps";
  Store(stored);
  platform::testing::WriteFile(platform::HiveFilePath(Hive::kLocalMachine), std::string(4096, 'x'));
  auto manager = Manager();
  ASSERT_TRUE(manager->Start(RunMode::kActivate));
  EXPECT_FALSE(manager->Activate());
  EXPECT_TRUE(platform::testing::OneRecordStartingWith(
      reporter_, "Can't create the driver entry: Drivers\\SercastNG\nError No 1015: "));
}

TEST_F(DriverManagerTest, StartRemovesThePreviousGenerationOnly) {
  WriteKey("Drivers\\Sercast", {{"Dll", "Sercast.dll"}});
  WriteKey("Drivers\\BuiltIn\\SercastAV", {{"Dll", "sercast.DLL"}});
  WriteKey("Drivers\\SercastAV", {{"Dll", "Other.dll"}});
  // An old device that the device manager cannot unload is passed over, not retried for ever.
  EXPECT_FALSE(platform::ActivateDevice("Drivers\\Nothing"));  // starts the device manager
  WriteKey("Drivers\\Active\\03", {{"Key", "Drivers\\Sercast"}, {"Name", "COM3:"}}, {{"Hnd", 5}});
  auto manager = Manager();
  ASSERT_TRUE(manager->Start());
  EXPECT_FALSE(KeyExists("Drivers\\Sercast"));
  EXPECT_FALSE(KeyExists("Drivers\\BuiltIn\\SercastAV"));
  EXPECT_TRUE(KeyExists("Drivers\\SercastAV"));
}

TEST_F(DriverManagerTest, RefusedStartsSaveNothing) {
  const std::pair<const char*, const char*> cases[] = {
      {"/media/Card/sercastmgr",
       "Can't execute\nSercastMgr under WM 5.0 from a card folder.\nPlease copy SercastMgr.exe to the main memory."},
      {"/usr/bin/manager", nullptr},
  };
  for (const auto& [path, message] : cases) {
    platform::ScriptedReporter reporter;
    auto manager = Manager(reporter, ProgramNameFor(path), path);
    EXPECT_FALSE(manager->Start());
    EXPECT_TRUE(manager->Exit());
    EXPECT_EQ(Texts(reporter), message ? std::vector<std::string>{message} : std::vector<std::string>{});
    RegistryKey settings;
    EXPECT_NE(RegistryKey::Open(Hive::kCurrentUser, "software\\Velmora", settings), 0u);
  }
}

TEST_F(DriverManagerTest, TestButtonsFollowTheRunningTest) {
  Store(Choices("COM4:", "COM7:"));
  auto manager = Manager();
  ASSERT_TRUE(manager->Start());
  EXPECT_EQ(manager->View().testCaption, "PortData");
  manager->PressTest(PortTestMode::kGps);
  ManagerView view = manager->View();
  EXPECT_EQ(view.testCaption, "GPS Data from COM4:");
  EXPECT_EQ(view.testGps.text, "Stop GPS");
  EXPECT_FALSE(view.testRaw.enabled);
  manager->PressTest(PortTestMode::kGps);
  view = manager->View();
  EXPECT_EQ(view.testGps.text, "Test GPS");
  EXPECT_TRUE(view.testRaw.enabled && view.testGps.enabled);
  EXPECT_TRUE(Texts(reporter_).empty());
}

TEST_F(DriverManagerTest, ChoosingAFileAndCancelling) {
  Store(Choices("COM4:", "COM7:"));
  auto manager = Manager();
  ASSERT_TRUE(manager->Start());
  const size_t file = manager->View().input.items.size() - 1;
  manager->SelectInput(file);
  EXPECT_EQ(dialogTitle_, "GPS Log File");
  EXPECT_EQ(manager->View().input.items[static_cast<size_t>(manager->View().input.selected)], "COM4:");
  EXPECT_FALSE(manager->View().fileLabelEnabled);
  chosenFile_ = "/home/driver/logs/drive.gps";
  manager->SelectInput(file);
  EXPECT_EQ(manager->View().input.selected, static_cast<int>(file));
  EXPECT_EQ(manager->View().fileLabel, "drive.gps");
  EXPECT_TRUE(manager->View().fileLabelEnabled);
  manager->SelectInput(0);
  EXPECT_FALSE(manager->View().fileLabelEnabled);
  EXPECT_TRUE(manager->Deactivate());  // nothing active: nothing changes
  EXPECT_TRUE(Texts(reporter_).empty());
}

}  // namespace
}  // namespace manager
