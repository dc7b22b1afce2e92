#include "platform/devices/serial_termios.h"

#include <gtest/gtest.h>

#include "platform/errors/errors.h"

namespace platform::serial_detail {
namespace {

termios Cooked() {
  termios tio{};
  tio.c_iflag = ICRNL | IXON;
  tio.c_oflag = OPOST;
  tio.c_lflag = ICANON | ECHO | ISIG;
  tio.c_cflag = CS8 | CREAD;
  cfsetospeed(&tio, B9600);
  cfsetispeed(&tio, B9600);
  return tio;
}

TEST(SerialTermios, TheFrameMapsToTheControlBitsAndBack) {
  struct Case {
    uint8_t byteSize, parity, stopBits;
    tcflag_t bits;
  };
  const Case cases[] = {
      {8, 0, 0, CS8},
      {7, 2, 2, CS7 | PARENB | CSTOPB},
      {7, 1, 0, CS7 | PARENB | PARODD},
      {6, 3, 0, CS6 | PARENB | PARODD | CMSPAR},
      {5, 4, 2, CS5 | PARENB | CMSPAR | CSTOPB},
  };
  for (const Case& c : cases) {
    SerialSettings wanted;
    wanted.baudRate = 57600;
    wanted.byteSize = c.byteSize;
    wanted.parity = c.parity;
    wanted.stopBits = c.stopBits;
    termios tio = Cooked();
    ASSERT_EQ(ApplySettings(wanted, tio), kErrorSuccess);
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB), c.bits) << int(c.parity);
    EXPECT_EQ(cfgetispeed(&tio), B57600);
    const SerialSettings back = SettingsFromTermios(tio, -1);
    EXPECT_EQ(back.byteSize, c.byteSize);
    EXPECT_EQ(back.parity, c.parity);
    EXPECT_EQ(back.stopBits, c.stopBits);
    EXPECT_EQ(back.baudRate, 57600u);
  }
}

TEST(SerialTermios, ARefusedBlockLeavesTheRecordAlone) {
  const termios before = Cooked();
  termios unchanged = before;
  SerialSettings settings;
  settings.baudRate = 128000;
  EXPECT_EQ(ApplySettings(settings, unchanged), kErrorInvalidParameter);
  EXPECT_EQ(unchanged.c_lflag, before.c_lflag);
  EXPECT_EQ(cfgetospeed(&unchanged), B9600);
}

}  // namespace
}  // namespace platform::serial_detail
