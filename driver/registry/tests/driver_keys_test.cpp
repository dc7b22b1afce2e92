#include "driver/registry/driver_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/testing/system_root.h"

namespace driver {
namespace {

TEST(InstanceNamesTest, SuffixFollowsTheManagerName) {
  EXPECT_EQ(RegistryName("SercastMgr"), "SercastNG");
  EXPECT_EQ(RegistryName("SercastMgrTMC"), "SercastNGTMC");
  EXPECT_EQ(RegistryName("/opt/dw/bin/sercastmgrTMC.exe"), "SercastNGTMC");
  EXPECT_EQ(RegistryName("\\Program Files\\SercastMgrTMC.exe"), "SercastNGTMC");
  EXPECT_EQ(RegistryName("manager"), "SercastNG");
  EXPECT_STREQ(DriverKeyRoot(true, 4), "Drivers\\BuiltIn");
  EXPECT_STREQ(DriverKeyRoot(true, 5), "Drivers");
  EXPECT_STREQ(DriverKeyRoot(false, 4), "Drivers");
}

class DriverKeysTest : public platform::testing::SystemRootTest {};

TEST_F(DriverKeysTest, DriverKeyHoldsEveryValueInTheManagersOrderAndTypes) {
  const DriverKeyValues values = MakeDriverKeyValues("SercastNG", "COM1:", 1, "", 6);
  EXPECT_EQ(values.friendlyName, "SercastNG on COM1:");
  EXPECT_EQ(values.dll, "SercastNG.dll");
  ASSERT_EQ(WriteDriverKey("Drivers\\SercastNG", values), 0u);

  platform::RegistryKey key;
  ASSERT_EQ(platform::RegistryKey::Open(platform::Hive::kLocalMachine, "drivers\\sercastng", key), 0u);
  std::vector<std::string> strings;
  std::string name;
  platform::ValueType type = platform::ValueType::kNone;
  int dwords = 0;
  for (uint32_t i = 0; key.EnumValue(i, name, &type) == 0; ++i) {
    if (type == platform::ValueType::kString) strings.push_back(name);
    dwords += type == platform::ValueType::kDword;
  }
  EXPECT_EQ(strings, (std::vector<std::string>{"Dll", "File", "FriendlyName", "Imprint", "InPortName", "Prefix"}));
  EXPECT_EQ(dwords, 11);
  uint32_t index = 0;
  uint32_t arrayIndex = 0;
  ASSERT_EQ(key.QueryDword("Index", index), 0u);
  ASSERT_EQ(key.QueryDword("DeviceArrayIndex", arrayIndex), 0u);
  EXPECT_EQ(index, 6u);
  EXPECT_EQ(arrayIndex, 6u);
}

TEST_F(DriverKeysTest, ManagerSettingsRoundTripPerProgram) {
  ManagerSettings defaults;
  ASSERT_EQ(ReadManagerSettings("SercastMgr", defaults), 0u);  // no key yet: all defaults
  EXPECT_EQ(defaults.baudRate, 4800u);
  EXPECT_EQ(defaults.source, "");

  ManagerSettings tmc;
  tmc.source = "FILE";
  tmc.sourceFile = "\\My Documents\\tmc.txt";
  tmc.outPort = "COM7:";
  tmc.baudRate = 38400;
  tmc.driverResident = 1;
  tmc.driverActivated = 1;
  ASSERT_EQ(WriteManagerSettings("SercastMgrTMC.exe", tmc, "/opt/dw/SercastMgrTMC"), 0u);

  platform::RegistryKey key;
  ASSERT_EQ(platform::RegistryKey::Open(platform::Hive::kCurrentUser, "Software\\Velmora\\SercastMgrTMC", key), 0u);
  std::string module;
  ASSERT_EQ(key.QueryString("ModuleFileName", module), 0u);
  EXPECT_EQ(module, "/opt/dw/SercastMgrTMC");

  ManagerSettings read;
  ASSERT_EQ(ReadManagerSettings("SercastMgrTMC", read), 0u);
  EXPECT_EQ(read.source, "FILE");
  EXPECT_EQ(read.sourceFile, tmc.sourceFile);
  EXPECT_EQ(read.outPort, "COM7:");
  EXPECT_EQ(read.baudRate, 38400u);
  EXPECT_EQ(read.driverResident, 1u);
  EXPECT_EQ(read.nmeaFilter, 0u);
  EXPECT_EQ(read.driverActivated, 1u);

  ManagerSettings gps;
  ASSERT_EQ(ReadManagerSettings("SercastMgr", gps), 0u);  // the GPS manager keeps its own
  EXPECT_EQ(gps.source, "");
}

}  // namespace
}  // namespace driver
