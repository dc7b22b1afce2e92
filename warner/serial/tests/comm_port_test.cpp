#include "warner/serial/comm_port.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <fstream>

#include "platform/errors/errors.h"
#include "platform/registry/registry.h"
#include "platform/reports/scripted_reporter.h"
#include "platform/testing/reports.h"
#include "warner/serial/tests/pty_fixture.h"

namespace serial {
namespace {

constexpr uint32_t kReadWrite = platform::kGenericRead | platform::kGenericWrite;

using platform::testing::ExpectSameTerminal;
using platform::testing::SnapshotTerminal;
using Setup = ReadOnlySetup;

class CommPortTest : public test::PtyFixture {
 protected:
  // A terminal as a console or another program left it, at a rate without a speed code. (A
  // pseudo-terminal keeps no byte size or parity of its own: it is always 8 bits without parity.)
  void SetUp() override {
    PtyFixture::SetUp();
    platform::testing::SetOddTerminal(pty_.slave(), 14400);
    found_ = SnapshotTerminal(pty_.slave());
  }
  void ExpectLeftAsFound() const { ExpectSameTerminal(SnapshotTerminal(pty_.slave()), found_); }

  platform::testing::TerminalSnapshot found_;
  platform::ScriptedReporter reporter_;
};

TEST_F(CommPortTest, WithWriteAccessThePortIsSetForNmeaAndPutBackAtClose) {
  CommPort port;
  ASSERT_EQ(OpenCommDevice("COM4:", kReadWrite, platform::kFileShareRead, port, 4800, 8, 0, Setup::kKeep, reporter_),
            0u);
  const termios tio = pty_.SlaveTermios();
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
  EXPECT_EQ(OpenCommDevice("COM4:", kReadWrite, platform::kFileShareRead, port, 9600, 8, 0, Setup::kKeep, reporter_),
            0u);
  const termios again = pty_.SlaveTermios();
  EXPECT_EQ(::cfgetispeed(&again), static_cast<speed_t>(B4800));

  EXPECT_EQ(CloseCommDevice(port), 0u);
  EXPECT_FALSE(port.IsOpen());
  ExpectLeftAsFound();
  EXPECT_TRUE(reporter_.Records().empty());
}

TEST_F(CommPortTest, ReadOnlyThePortKeepsItsSettingsButReadsGetALimit) {
  CommPort port;
  ASSERT_EQ(OpenCommDevice("COM4:", platform::kGenericRead, platform::kFileShareRead, port, 4800, 8, 0, Setup::kKeep,
                           reporter_),
            0u);
  ExpectLeftAsFound();
  // A read of a silent port comes back instead of waiting for 2048 bytes.
  uint8_t buffer[2048];
  size_t count = 99;
  EXPECT_TRUE(port.device->Read(buffer, sizeof buffer, &count));
  EXPECT_EQ(count, 0u);
  CloseCommDevice(port);
  ExpectLeftAsFound();
}

// A machine's port that nobody else sets up runs at the receiver's rate; one that another program
// holds is listened to as that program set it. Either way it is put back as found.
TEST_F(CommPortTest, ReadOnlyAMachinesPortIsSetUpUnlessAnotherProgramHoldsIt) {
  for (const bool held : {false, true}) {
    SCOPED_TRACE(held ? "held" : "free");
    std::unique_ptr<platform::Device> other;
    if (held) other = platform::OpenDevice("COM4:", kReadWrite, 0);
    const platform::testing::TerminalSnapshot before = SnapshotTerminal(pty_.slave());
    CommPort port;
    ASSERT_EQ(OpenCommDevice("COM4:", platform::kGenericRead, platform::kFileShareRead, port, 4800, 8, 0,
                             Setup::kWhenFree, reporter_),
              0u);
    const termios tio = pty_.SlaveTermios();
    if (held) {
      ExpectSameTerminal(SnapshotTerminal(pty_.slave()), before);
    } else {
      EXPECT_EQ(::cfgetispeed(&tio), static_cast<speed_t>(B4800));
      EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
      EXPECT_EQ(tio.c_iflag & ICRNL, 0u);
    }
    EXPECT_EQ(port.setUp, !held);
    uint8_t byte = 0;
    size_t count = 99;
    EXPECT_TRUE(port.device->Read(&byte, 1, &count)) << "reads have a limit either way";
    CloseCommDevice(port);
    ExpectSameTerminal(SnapshotTerminal(pty_.slave()), before);
    other.reset();
    ExpectLeftAsFound();
  }
  EXPECT_TRUE(reporter_.Records().empty());
}

TEST_F(CommPortTest, AnUnknownPortIsReported) {
  CommPort port;
  const uint32_t error =
      OpenCommDevice("COM9:", kReadWrite, platform::kFileShareRead, port, 4800, 8, 0, Setup::kKeep, reporter_);
  EXPECT_NE(error, 0u);
  EXPECT_EQ(platform::GetLastError(), error);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(platform::testing::OneRecordStartingWith(reporter_, "OpenCommDevice: Failed to open 'COM9:'\nError No "));
}

TEST_F(CommPortTest, ADamagedRegistryIsNamedWithWhatToDo) {
  std::ofstream(platform::HiveFilePath(platform::Hive::kLocalMachine), std::ios::trunc) << std::string(4096, 'x');
  CommPort port;
  EXPECT_EQ(OpenCommDevice("COM4:", kReadWrite, platform::kFileShareRead, port, 4800, 8, 0, Setup::kKeep, reporter_),
            platform::kErrorRegistryCorrupt);
  ASSERT_EQ(reporter_.Records().size(), 2u);
  EXPECT_EQ(reporter_.Records()[0].text.rfind("OpenCommDevice: Failed to open 'COM4:'\nError No 1015: ", 0), 0u);
  EXPECT_EQ(reporter_.Records()[1].text, platform::DamagedHiveAdvice(platform::Hive::kLocalMachine));
}

}  // namespace
}  // namespace serial
