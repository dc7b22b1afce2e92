#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "driver/registry/driver_keys.h"
#include "platform/registry/registry.h"
#include "platform/stream_driver/stream_driver.h"
#include "platform/testing/files.h"
#include "platform/testing/system_root.h"

namespace {

class LibraryTest : public platform::testing::SystemRootTest {
 protected:
  void TearDown() override {
    if (library_ != nullptr) dlclose(library_);
  }
  template <typename Fn>
  Fn Entry(const char* name) {
    return reinterpret_cast<Fn>(dlsym(library_, name));
  }
  void* library_ = nullptr;
};

TEST_F(LibraryTest, EntryPointsServeAFileAndLeaveTheirErrorInErrno) {
  const std::string input = (system_.Folder() / "drive.nmea").string();
  const std::string tracePath = (system_.Folder() / "trace.txt").string();
  platform::testing::WriteFile(input, "$GPGGA,1*00\r\n");
  driver::DriverKeyValues values = driver::MakeDriverKeyValues("SercastNG", "COM1:", 256, input, 6);
  values.inBaud = 0;
  ASSERT_EQ(driver::WriteDriverKey("Drivers\\SercastNG", values), 0u);
  platform::RegistryKey active;
  ASSERT_EQ(platform::RegistryKey::Create(platform::Hive::kLocalMachine, "Drivers\\Active\\01", active), 0u);
  ASSERT_EQ(active.SetString("Key", "Drivers\\SercastNG"), 0u);
  platform::testing::ScopedEnv trace("DW_DRIVER_TRACE", tracePath);

  library_ = dlopen(DW_SERCAST_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library_, nullptr) << dlerror();
  for (const char* name : {"COM_Init", "COM_PreDeinit", "COM_Deinit", "COM_Open", "COM_Close", "COM_Read", "COM_Write",
                           "COM_Seek", "COM_IOControl", "COM_PowerUp", "COM_PowerDown"}) {
    EXPECT_NE(dlsym(library_, name), nullptr) << name;
  }
  const auto init = Entry<StreamInitFn>("COM_Init");
  const auto open = Entry<StreamOpenFn>("COM_Open");
  const auto read = Entry<StreamReadFn>("COM_Read");
  const auto deinit = Entry<StreamDeinitFn>("COM_Deinit");

  errno = 99;
  ASSERT_EQ(init("Drivers\\Active\\01"), 256u);
  EXPECT_EQ(errno, 0);
  const uint32_t listener = open(256, 0x80000000u, 1);
  ASSERT_EQ(listener, 1u);
  char buffer[64];
  EXPECT_EQ(read(listener, buffer, sizeof buffer), 0u);
  EXPECT_EQ(errno, 21);
  const uint32_t writer = open(256, 0xC0000000u, 0);
  ASSERT_EQ(writer, 2u);
  ASSERT_EQ(read(writer, buffer, sizeof buffer), 13u);
  EXPECT_EQ(std::string(buffer, 13), "$GPGGA,1*00\r\n");
  EXPECT_EQ(errno, 0);
  EXPECT_EQ(read(9, buffer, sizeof buffer), platform::kStreamFailed);
  EXPECT_EQ(errno, 6);
  EXPECT_EQ(deinit(256), 1);
  EXPECT_EQ(platform::testing::ReadFile(tracePath).rfind("COM_Init+: InitParm 0x", 0), 0u);
}

}  // namespace
