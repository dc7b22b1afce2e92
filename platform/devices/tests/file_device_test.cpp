#include <gtest/gtest.h>

#include <filesystem>

#include "platform/devices/device.h"
#include "platform/devices/serial_control.h"
#include "platform/errors/errors.h"
#include "platform/testing/files.h"
#include "platform/testing/system_root.h"

namespace platform {
namespace {

class FileDeviceTest : public testing::SystemRootTest {
 protected:
  void SetUp() override {
    SystemRootTest::SetUp();
    testing::WriteFile(root_ + "/My Documents/drive.nmea", "$GPGGA,1\r\n$GPRMC,2\r\n");
  }

  std::string ReadAll(Device& file) {
    std::string all;
    char chunk[7];
    size_t count = 0;
    while (file.Read(chunk, sizeof chunk, &count) && count > 0) all.append(chunk, count);
    EXPECT_EQ(GetLastError(), kErrorSuccess);
    return all;
  }
};

TEST_F(FileDeviceTest, HandheldAndLinuxPathsReadToTheEnd) {
  auto file = OpenDevice("\\My Documents\\drive.nmea", kGenericRead, kFileShareRead);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadAll(*file), "$GPGGA,1\r\n$GPRMC,2\r\n");
  size_t count = 99;
  char byte = 0;
  EXPECT_TRUE(file->Read(&byte, 1, &count));
  EXPECT_EQ(count, 0u);

  auto same = OpenDevice(root_ + "/My Documents/drive.nmea", kGenericRead, 0);
  ASSERT_NE(same, nullptr);
  EXPECT_EQ(ReadAll(*same).size(), 20u);
}

TEST_F(FileDeviceTest, WritesNeedWriteAccessAndNothingIsCreated) {
  auto reader = OpenDevice("\\My Documents\\drive.nmea", kGenericRead, 0);
  ASSERT_NE(reader, nullptr);
  size_t written = 0;
  EXPECT_FALSE(reader->Write("x", 1, &written));
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);

  auto writer = OpenDevice("\\My Documents\\drive.nmea", kGenericRead | kGenericWrite, 0);
  ASSERT_NE(writer, nullptr);
  ASSERT_TRUE(writer->Write("$GPVTG", 6, &written));
  EXPECT_EQ(written, 6u);
  writer.reset();
  EXPECT_EQ(testing::ReadFile(root_ + "/My Documents/drive.nmea"), "$GPVTG,1\r\n$GPRMC,2\r\n");

  EXPECT_EQ(OpenDevice("\\My Documents\\missing.nmea", kGenericRead | kGenericWrite, 0), nullptr);
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_FALSE(std::filesystem::exists(root_ + "/My Documents/missing.nmea"));
  EXPECT_EQ(OpenDevice("\\My Documents", kGenericRead, 0), nullptr);
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
}

TEST_F(FileDeviceTest, AFileKnowsNoControlRequests) {
  auto file = OpenDevice("\\My Documents\\drive.nmea", kGenericRead, 0);
  ASSERT_NE(file, nullptr);
  SerialSettings settings;
  EXPECT_FALSE(GetSerialSettings(*file, settings));
  EXPECT_EQ(GetLastError(), kErrorNotSupported);
  EXPECT_FALSE(SetSerialTimeouts(*file, SerialTimeouts{}));
  EXPECT_EQ(GetLastError(), kErrorNotSupported);
}

}  // namespace
}  // namespace platform
