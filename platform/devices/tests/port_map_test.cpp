#include "platform/devices/port_map.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/devices/device.h"
#include "platform/errors/errors.h"
#include "platform/registry/registry.h"
#include "platform/testing/pty.h"
#include "platform/testing/system_root.h"

namespace platform {
namespace {

using PortList = std::vector<std::pair<std::string, std::string>>;

class PortMapTest : public testing::SystemRootTest {
 protected:
  std::string Dev(const std::string& name) { return system_.Dev() + "/" + name; }

  void AddDevices(std::initializer_list<const char*> names) {
    for (const char* name : names) {
      std::filesystem::create_directories(std::filesystem::path(Dev(name)).parent_path());
      std::ofstream(Dev(name)) << "";
    }
  }

  void SetUartType(const char* device, const char* type) {
    const std::string folder = system_.Sys() + "/class/tty/" + device;
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/type") << type << "\n";
  }
};

TEST_F(PortMapTest, DefaultsComeFromTheDevicesThatExist) {
  EXPECT_TRUE(PortMap().empty());
  AddDevices({"ttyS0", "ttyS1", "ttyS2", "ttyUSB0", "ttyUSB2", "ttyUSB3", "rfcomm0", "rfcomm1", "ttyACM1"});
  SetUartType("ttyS0", "4");
  SetUartType("ttyS1", "0");  // a UART slot with nothing in it
  EXPECT_EQ(PortMap(), (PortList{{"COM1:", Dev("ttyS0")},
                                 {"COM3:", Dev("ttyUSB0")},
                                 {"COM5:", Dev("ttyUSB2")},
                                 {"COM6:", Dev("rfcomm0")},
                                 {"COM8:", Dev("ttyACM1")}}));
  EXPECT_EQ(EnumDevices(), (std::vector<std::string>{"COM1:", "COM3:", "COM5:", "COM6:", "COM8:"}));
}

TEST_F(PortMapTest, RegistryEntriesWinAndDecideTheirPort) {
  AddDevices({"ttyUSB0", "ttyACM1", "pts/3", "ttyAMA0"});
  testing::MapPort("com3:", Dev("pts/3"));
  testing::MapPort("COM12:", Dev("ttyAMA0"));
  testing::MapPort("COM8:", Dev("ttyACM9"));  // not plugged in: COM8 is gone, not back to its default
  testing::MapPort("COM2:", Dev("ttyUSB7"));
  testing::MapPort("GPS", Dev("ttyUSB0"));  // not a port name
  {
    RegistryKey map;
    ASSERT_EQ(RegistryKey::Open(Hive::kLocalMachine, kPortMapKey, map), 0u);
    ASSERT_EQ(map.SetDword("COM9:", 1), 0u);  // not a string
  }
  EXPECT_EQ(PortMap(), (PortList{{"COM3:", Dev("pts/3")}, {"COM12:", Dev("ttyAMA0")}}));

  EXPECT_EQ(ResolvePortName("Com3:"), Dev("pts/3"));
  EXPECT_EQ(ResolvePortName("COM012:"), Dev("ttyAMA0"));
  EXPECT_EQ(ResolvePortName("COM8:"), std::nullopt);
  EXPECT_EQ(ResolvePortName("COM9:"), std::nullopt);
}

// A port the damaged registry may have mapped is reported as such, not as a missing device; the
// defaults still serve.
TEST_F(PortMapTest, ADamagedRegistryIsReportedAndTheDefaultsStay) {
  AddDevices({"ttyUSB0"});
  std::filesystem::create_directories(root_ + "/Registry");
  std::ofstream(HiveFilePath(Hive::kLocalMachine)) << std::string(4096, 'x');
  uint32_t registryError = 0;
  EXPECT_EQ(PortMap(&registryError), (PortList{{"COM3:", Dev("ttyUSB0")}}));
  EXPECT_EQ(registryError, kErrorRegistryCorrupt);
  EXPECT_EQ(OpenDevice("COM4:", kGenericRead, kFileShareRead), nullptr);
  EXPECT_EQ(GetLastError(), kErrorRegistryCorrupt);
}

TEST_F(PortMapTest, DeviceNamesAreRecognisedStrictly) {
  EXPECT_EQ(ResolvePortName("/dev/ttyUSB0:"), "/dev/ttyUSB0");
  EXPECT_EQ(ResolvePortName("/dev/ttyUSB0"), std::nullopt);
  EXPECT_EQ(ParseComPortName("COM0:"), 0);
  EXPECT_EQ(ParseComPortName("cOm255:"), 255);
  for (const char* bad : {"COM256:", "COM:", "COM1", "COMx:", "COM1x:", "COM1234:", "CON1:", "COM 1:", ""}) {
    EXPECT_EQ(ParseComPortName(bad), std::nullopt) << bad;
    EXPECT_EQ(ResolvePortName(bad), std::nullopt) << bad;
  }
}

}  // namespace
}  // namespace platform
