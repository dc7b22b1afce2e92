#include "warner/serial/comm_port.h"

#include <gtest/gtest.h>
#include <termios.h>

#include "platform/errors/errors.h"
#include "platform/reports/scripted_reporter.h"
#include "warner/serial/tests/pty_fixture.h"

namespace serial {
namespace {

constexpr uint32_t kReadWrite = platform::kGenericRead | platform::kGenericWrite;

class CommPortTest : public test::PtyFixture {
 protected:
  // A terminal as some other program left it: 19200 baud, two stop bits. (A pseudo-terminal keeps
  // no byte size or parity of its own: it is always 8 bits without parity.)
  void SetUp() override {
    PtyFixture::SetUp();
    termios tio = SlaveTermios();
    ::cfsetispeed(&tio, B19200);
    ::cfsetospeed(&tio, B19200);
    tio.c_cflag |= CSTOPB;
    ASSERT_EQ(::tcsetattr(slave_, TCSANOW, &tio), 0);
  }
  void ExpectLeftAsFound() const {
    const termios tio = SlaveTermios();
    EXPECT_EQ(::cfgetispeed(&tio), static_cast<speed_t>(B19200));
    EXPECT_NE(tio.c_cflag & CSTOPB, 0u);
  }

  platform::ScriptedReporter reporter_;
};

TEST_F(CommPortTest, WithWriteAccessThePortIsSetForNmeaAndPutBackAtClose) {
  CommPort port;
  ASSERT_EQ(OpenCommDevice("COM4:", kReadWrite, platform::kFileShareRead, port, 4800, 8, 0, reporter_), 0u);
  const termios tio = SlaveTermios();
  EXPECT_EQ(::cfgetispeed(&tio), static_cast<speed_t>(B4800));
  EXPECT_EQ(tio.c_cflag & CSTOPB, 0u);

  platform::SerialSettings settings;
  ASSERT_TRUE(platform::GetSerialSettings(*port.device, settings));
  EXPECT_EQ(settings.baudRate, 4800u);
  EXPECT_EQ(settings.byteSize, 8);
  EXPECT_EQ(settings.stopBits, 0);
  EXPECT_EQ(settings.eventChar, 0x0A);
  EXPECT_EQ(settings.parity, 0);
  EXPECT_EQ(settings.flags & ~kKeptSerialFlags, 0u) << "flow control and checks are off";
  EXPECT_NE(settings.flags & platform::SerialSettings::kBinary, 0u);
  platform::SerialTimeouts timeouts;
  ASSERT_TRUE(platform::GetSerialTimeouts(*port.device, timeouts));
  EXPECT_EQ(timeouts.readInterval, 100u);
  EXPECT_EQ(timeouts.readTotalMultiplier, 0u);
  EXPECT_EQ(timeouts.readTotalConstant, 100u);
  EXPECT_EQ(timeouts.writeTotalMultiplier, 100u);
  EXPECT_EQ(timeouts.writeTotalConstant, 100u);

  // A second open of an open port changes nothing.
  EXPECT_EQ(OpenCommDevice("COM4:", kReadWrite, platform::kFileShareRead, port, 9600, 8, 0, reporter_), 0u);
  const termios again = SlaveTermios();
  EXPECT_EQ(::cfgetispeed(&again), static_cast<speed_t>(B4800));

  EXPECT_EQ(CloseCommDevice(port), 0u);
  EXPECT_FALSE(port.IsOpen());
  ExpectLeftAsFound();
  EXPECT_TRUE(reporter_.Records().empty());
}

TEST_F(CommPortTest, ReadOnlyThePortKeepsItsSettingsButReadsGetALimit) {
  CommPort port;
  ASSERT_EQ(OpenCommDevice("COM4:", platform::kGenericRead, platform::kFileShareRead, port, 4800, 8, 0, reporter_), 0u);
  ExpectLeftAsFound();
  // A read of a silent port comes back instead of waiting for 2048 bytes.
  uint8_t buffer[2048];
  size_t count = 99;
  EXPECT_TRUE(port.device->Read(buffer, sizeof buffer, &count));
  EXPECT_EQ(count, 0u);
  CloseCommDevice(port);
  ExpectLeftAsFound();
}

TEST_F(CommPortTest, AnUnknownPortIsReported) {
  CommPort port;
  const uint32_t error = OpenCommDevice("COM9:", kReadWrite, platform::kFileShareRead, port, 4800, 8, 0, reporter_);
  EXPECT_NE(error, 0u);
  EXPECT_EQ(platform::GetLastError(), error);
  EXPECT_FALSE(port.IsOpen());
  ASSERT_EQ(reporter_.Records().size(), 1u);
  EXPECT_EQ(reporter_.Records()[0].text.rfind("OpenCommDevice: Failed to open 'COM9:'\nError No ", 0), 0u);
}

}  // namespace
}  // namespace serial
