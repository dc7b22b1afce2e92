#include "platform/devices/serial_termios.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>

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

TEST(SerialTermios, AppliedSettingsAreRawAndRefusalsLeaveTheRecordAlone) {
  termios tio = Cooked();
  SerialSettings settings;
  settings.flags = SerialSettings::kBinary | SerialSettings::kParity | (2u << 12);  // RTS hand-shake
  ASSERT_EQ(ApplySettings(settings, tio), kErrorSuccess);
  EXPECT_FALSE(tio.c_lflag & (ICANON | ECHO | ISIG));
  EXPECT_FALSE(tio.c_oflag & OPOST);
  EXPECT_FALSE(tio.c_iflag & (ICRNL | IXON));
  EXPECT_TRUE(tio.c_iflag & INPCK);
  EXPECT_TRUE(tio.c_cflag & (CRTSCTS | CLOCAL | CREAD));
  EXPECT_EQ(tio.c_cc[VMIN], 1);

  const termios before = Cooked();
  termios unchanged = before;
  settings.baudRate = 128000;
  EXPECT_EQ(ApplySettings(settings, unchanged), kErrorInvalidParameter);
  EXPECT_EQ(unchanged.c_lflag, before.c_lflag);
  EXPECT_EQ(cfgetospeed(&unchanged), B9600);
}

TEST(SerialTermios, LinesDecideDtrAndRtsControlWhenTheyCanBeRead) {
  termios tio = Cooked();
  constexpr uint32_t kControls = SerialSettings::kDtrControlMask | SerialSettings::kRtsControlMask;
  EXPECT_EQ(SettingsFromTermios(tio, -1).flags & kControls, (1u << 4) | (1u << 12));
  EXPECT_EQ(SettingsFromTermios(tio, 0).flags & kControls, 0u);
  EXPECT_EQ(SettingsFromTermios(tio, TIOCM_DTR).flags & kControls, 1u << 4);
  tio.c_cflag |= CRTSCTS;
  EXPECT_EQ(SettingsFromTermios(tio, TIOCM_RTS).flags & (kControls | SerialSettings::kOutxCtsFlow),
            (2u << 12) | SerialSettings::kOutxCtsFlow);
}

}  // namespace
}  // namespace platform::serial_detail
