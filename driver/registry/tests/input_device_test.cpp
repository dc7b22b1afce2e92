#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/registry/driver_keys.h"
#include "driver/registry/input_device.h"
#include "platform/registry/registry.h"
#include "platform/testing/system_root.h"

namespace driver {
namespace {

class RecordingTrace final : public TraceSink {
 public:
  void Trace(std::string_view text) override { lines.emplace_back(text); }
  std::vector<std::string> lines;
};

class InputDeviceTest : public platform::testing::SystemRootTest {
 protected:
  // An active key that points at `keyPath`, as the device manager writes it.
  void WriteActiveKey(const std::string& keyPath) {
    platform::RegistryKey active;
    ASSERT_EQ(platform::RegistryKey::Create(platform::Hive::kLocalMachine, "Drivers\\Active\\12", active), 0u);
    ASSERT_EQ(active.SetString("Key", keyPath), 0u);
    ASSERT_EQ(active.SetString("Name", "COM2:"), 0u);
  }
  platform::RegistryKey DriverKey(const std::string& path) {
    platform::RegistryKey key;
    EXPECT_EQ(platform::RegistryKey::Create(platform::Hive::kLocalMachine, path, key), 0u);
    return key;
  }
  RecordingTrace trace_;
  DriverConfig config_;
};

TEST_F(InputDeviceTest, PortInputWithoutInPortNameUsesTheIndexAndDefaults) {
  platform::RegistryKey key = DriverKey("Drivers\\SercastNG");
  ASSERT_EQ(key.SetDword("InPortIndex", 3), 0u);
  WriteActiveKey("Drivers\\SercastNG");

  ASSERT_TRUE(GetInputDeviceFromReg("Drivers\\Active\\12", config_, &trace_));
  EXPECT_EQ(config_.registryName, "SercastNG");
  EXPECT_FALSE(config_.inputIsFile);
  EXPECT_EQ(config_.inputName, "COM3:");
  EXPECT_EQ(config_.index, 2u);
  EXPECT_EQ(config_.inBaud, 4800u);
  EXPECT_EQ(config_.inBits, 8u);
  EXPECT_EQ(config_.inParity, 0u);
  EXPECT_EQ(config_.inStopBits, 1u);
  EXPECT_EQ(config_.nmeaFilter, 0u);
  EXPECT_EQ(config_.outputName, "COM2:");
  ASSERT_FALSE(trace_.lines.empty());
  EXPECT_EQ(trace_.lines.front(), "GetInputDeviceFromReg+: Called with registry entry: Drivers\\Active\\12\n");
  EXPECT_EQ(trace_.lines.back(), "GetInputDeviceFromReg-: using 'COM3:', index 3, output port 2.\n");
}

TEST_F(InputDeviceTest, FileInputIgnoresInPortNameAndReadsEveryValue) {
  const DriverKeyValues values = MakeDriverKeyValues("SercastNGTMC", "COM9:", 256, "\\My Documents\\drive.txt", 7);
  ASSERT_EQ(WriteDriverKey("Drivers\\BuiltIn\\SercastNGTMC", values), 0u);
  WriteActiveKey("Drivers\\BuiltIn\\SercastNGTMC");

  ASSERT_TRUE(GetInputDeviceFromReg("Drivers\\Active\\12", config_, &trace_));
  EXPECT_EQ(config_.registryName, "SercastNGTMC");
  EXPECT_TRUE(config_.inputIsFile);
  EXPECT_EQ(config_.inputName, "\\My Documents\\drive.txt");
  EXPECT_EQ(config_.friendlyName, "SercastNGTMC on COM9:");
  EXPECT_EQ(config_.outputName, "COM7:");
  EXPECT_EQ(trace_.lines.back(), "GetInputDeviceFromReg-: using file \\My Documents\\drive.txt, output port 7.\n");
}

TEST_F(InputDeviceTest, RegistryNameAfterTheLastSlashWhenKeyHasNoBackslash) {
  platform::RegistryKey key = DriverKey("Drivers\\SercastNG");
  ASSERT_EQ(key.SetDword("InPortIndex", 1), 0u);
  WriteActiveKey("Drivers/SercastNG");
  ASSERT_TRUE(GetInputDeviceFromReg("Drivers\\Active\\12", config_, &trace_));
  EXPECT_EQ(config_.registryName, "SercastNG");

  WriteActiveKey("SercastNG");
  EXPECT_FALSE(GetInputDeviceFromReg("Drivers\\Active\\12", config_, &trace_));
  EXPECT_EQ(trace_.lines.back(), "GetInputDeviceFromReg-: Unable to get the Registry Name from 'SercastNG'\n");
}

TEST_F(InputDeviceTest, RefusesWhatTheDriverCannotLoadWith) {
  EXPECT_FALSE(GetInputDeviceFromReg(nullptr, config_, &trace_));
  EXPECT_EQ(trace_.lines.back(), "GetInputDeviceFromReg-: Doesn't have registry string.\n");

  EXPECT_FALSE(GetInputDeviceFromReg("Drivers\\Active\\99", config_, &trace_));
  EXPECT_EQ(trace_.lines.back(), "GetInputDeviceFromReg-: Failed to open 'HKEY_LOCAL_MACHINE\\Drivers\\Active\\99'\n");

  platform::RegistryKey active = DriverKey("Drivers\\Active\\12");
  ASSERT_EQ(active.SetDword("Key", 5), 0u);
  EXPECT_FALSE(GetInputDeviceFromReg("Drivers\\Active\\12", config_, &trace_));
  EXPECT_EQ(trace_.lines.back(),
            "GetInputDeviceFromReg-: Failed to query 'HKEY_LOCAL_MACHINE\\Drivers\\Active\\12\\Key', Error 13\n");

  WriteActiveKey("Drivers\\SercastNG");
  EXPECT_FALSE(GetInputDeviceFromReg("Drivers\\Active\\12", config_, &trace_));
  EXPECT_EQ(trace_.lines.back(), "GetInputDeviceFromReg-: Failed to open 'HKEY_LOCAL_MACHINE\\Drivers\\SercastNG'\n");

  platform::RegistryKey key = DriverKey("Drivers\\SercastNG");
  ASSERT_EQ(key.SetString("InPortIndex", "3"), 0u);
  EXPECT_FALSE(GetInputDeviceFromReg("Drivers\\Active\\12", config_, &trace_));
  EXPECT_EQ(trace_.lines.back(),
            "GetInputDeviceFromReg-: Failed to query 'HKEY_LOCAL_MACHINE\\Drivers\\SercastNG\\InPortIndex', type 1, "
            "Error 13\n");
}

TEST_F(InputDeviceTest, FilePathTooLongForTheDriverLeavesTheInputNameEmpty) {
  platform::RegistryKey key = DriverKey("Drivers\\SercastNG");
  ASSERT_EQ(key.SetDword("InPortIndex", 256), 0u);
  ASSERT_EQ(key.SetString("File", std::string(129, 'f')), 0u);
  WriteActiveKey("Drivers\\SercastNG");
  ASSERT_TRUE(GetInputDeviceFromReg("Drivers\\Active\\12", config_, nullptr));
  EXPECT_EQ(config_.inputName, std::string(129, 'f'));

  ASSERT_EQ(key.SetString("File", std::string(130, 'f')), 0u);
  ASSERT_TRUE(GetInputDeviceFromReg("Drivers\\Active\\12", config_, nullptr));
  EXPECT_TRUE(config_.inputIsFile);
  EXPECT_EQ(config_.inputName, "");
}

}  // namespace
}  // namespace driver
