#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>

#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "platform/devices/custom_rate.h"
#include "platform/devices/device.h"
#include "platform/devices/port_map.h"
#include "platform/devices/serial_control.h"
#include "platform/errors/errors.h"
#include "platform/registry/registry.h"
#include "platform/testing/pty.h"
#include "platform/testing/system_root.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;
using testing::Pty;

constexpr uint32_t kReadWrite = kGenericRead | kGenericWrite;

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class SerialPortTest : public testing::SystemRootTest {
 protected:
  std::unique_ptr<Device> OpenSlave(uint32_t access = kReadWrite) {
    return OpenDevice(pty_.slavePath() + ":", access, kFileShareRead);
  }

  static void SetTimeouts(Device& port, uint32_t interval, uint32_t multiplier, uint32_t constant) {
    SerialTimeouts timeouts{interval, multiplier, constant, 0, 0};
    ASSERT_TRUE(SetSerialTimeouts(port, timeouts));
  }

  // Reads once and tells how long it took.
  static std::string TimedRead(Device& port, size_t capacity, int64_t& ms, bool* ok = nullptr) {
    std::string bytes(capacity, '\0');
    size_t count = 0;
    const auto start = Clock::now();
    const bool result = port.Read(bytes.data(), capacity, &count);
    ms = MsSince(start);
    if (ok != nullptr) *ok = result;
    bytes.resize(count);
    return bytes;
  }

  Pty pty_;
};

TEST_F(SerialPortTest, OpensThroughThePortMapAndThroughTheDevicePath) {
  testing::MapPort("COM4:", pty_.slavePath());
  EXPECT_NE(OpenDevice("COM4:", kGenericRead, kFileShareRead), nullptr);
  EXPECT_NE(OpenDevice("com4:", kGenericRead, kFileShareRead), nullptr);
  EXPECT_NE(OpenSlave(), nullptr);
  EXPECT_EQ(EnumDevices(), std::vector<std::string>{"COM4:"});

  EXPECT_EQ(OpenDevice("COM5:", kReadWrite, 0), nullptr);
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_EQ(OpenDevice("/dev/pts/no-such-terminal:", kReadWrite, 0), nullptr);
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
}

// A pseudo-terminal keeps 8 data bits without parity whatever it is told; the frame's mapping is
// checked on plain termios records in serial_termios_test.cpp.
TEST_F(SerialPortTest, SettingsRoundTripAndReachTheTerminal) {
  auto port = OpenSlave();
  ASSERT_NE(port, nullptr);
  SerialSettings wanted;
  wanted.baudRate = 38400;
  wanted.stopBits = 2;
  wanted.flags = SerialSettings::kBinary | SerialSettings::kOutxCtsFlow | SerialSettings::kOutxDsrFlow |
                 SerialSettings::kOutX | (1u << 4) | (1u << 12);
  wanted.xonLimit = 5;
  wanted.eventChar = 0x0A;
  wanted.xonChar = 0x01;
  ASSERT_TRUE(SetSerialSettings(*port, wanted)) << GetLastError();

  // What Linux has no place for comes back as it was set.
  SerialSettings back;
  size_t returned = 0;
  ASSERT_TRUE(port->IoControl(kIoctlSerialGetDcb, nullptr, 0, &back, sizeof back, &returned));
  EXPECT_EQ(returned, sizeof back);
  EXPECT_EQ(std::memcmp(&back, &wanted, sizeof back), 0);

  termios seen{};
  ASSERT_EQ(tcgetattr(pty_.slave(), &seen), 0);
  EXPECT_EQ(cfgetispeed(&seen), B38400);
  EXPECT_EQ(cfgetospeed(&seen), B38400);
  EXPECT_EQ(seen.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_FALSE(seen.c_cflag & PARENB);
  EXPECT_TRUE(seen.c_cflag & CSTOPB);
  EXPECT_TRUE(seen.c_cflag & CRTSCTS);
  EXPECT_TRUE(seen.c_iflag & IXON);
  EXPECT_FALSE(seen.c_iflag & IXOFF);
  EXPECT_EQ(seen.c_cc[VSTART], 0x01);
  EXPECT_FALSE(seen.c_lflag & (ICANON | ECHO));

  wanted.baudRate = 4800;
  wanted.stopBits = 0;
  wanted.flags = SerialSettings::kBinary | SerialSettings::kInX;
  ASSERT_TRUE(SetSerialSettings(*port, wanted));
  ASSERT_EQ(tcgetattr(pty_.slave(), &seen), 0);
  EXPECT_EQ(cfgetispeed(&seen), B4800);
  EXPECT_FALSE(seen.c_cflag & (CSTOPB | CRTSCTS));
  EXPECT_EQ(seen.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXOFF));
}

TEST_F(SerialPortTest, SettingsLinuxCannotApplyAreRefusedAndChangeNothing) {
  auto port = OpenSlave();
  ASSERT_NE(port, nullptr);
  SerialSettings good;
  good.baudRate = 4800;
  ASSERT_TRUE(SetSerialSettings(*port, good));
  struct Case {
    const char* what;
    void (*spoil)(SerialSettings&);
  };
  const Case cases[] = {
      {"rate 5000000", [](SerialSettings& s) { s.baudRate = 5000000; }},
      {"rate 0", [](SerialSettings& s) { s.baudRate = 0; }},
      {"byte size 4", [](SerialSettings& s) { s.byteSize = 4; }},
      {"byte size 9", [](SerialSettings& s) { s.byteSize = 9; }},
      {"parity 5", [](SerialSettings& s) { s.parity = 5; }},
      {"1.5 stop bits", [](SerialSettings& s) { s.stopBits = 1; }},
      {"stop bits 3", [](SerialSettings& s) { s.stopBits = 3; }},
  };
  for (const Case& c : cases) {
    SerialSettings bad = good;
    c.spoil(bad);
    EXPECT_FALSE(SetSerialSettings(*port, bad)) << c.what;
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter) << c.what;
  }
  SerialSettings back;
  ASSERT_TRUE(GetSerialSettings(*port, back));
  EXPECT_EQ(back.baudRate, 4800u);
  termios seen{};
  ASSERT_EQ(tcgetattr(pty_.slave(), &seen), 0);
  EXPECT_EQ(cfgetospeed(&seen), B4800);

  // Blocks that do not fit the buffers given.
  EXPECT_FALSE(port->IoControl(kIoctlSerialSetDcb, &good, sizeof good - 1, nullptr, 0, nullptr));
  EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
  EXPECT_FALSE(port->IoControl(kIoctlSerialGetTimeouts, nullptr, 0, &back, sizeof(SerialTimeouts) - 1, nullptr));
  EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
  EXPECT_FALSE(port->IoControl(0x12345678, nullptr, 0, nullptr, 0, nullptr));
  EXPECT_EQ(GetLastError(), kErrorNotSupported);
}

// 14400 and the like have no termios speed code; they reach the terminal all the same, and a port
// opened meanwhile finds them.
TEST_F(SerialPortTest, RatesWithoutASpeedCodeAreSetAndFound) {
  auto port = OpenSlave();
  ASSERT_NE(port, nullptr);
  SerialSettings wanted;
  wanted.baudRate = 14400;
  ASSERT_TRUE(SetSerialSettings(*port, wanted)) << GetLastError();
  EXPECT_EQ(serial_detail::ReadRate(pty_.slave()), 14400u);
  SerialSettings back;
  ASSERT_TRUE(GetSerialSettings(*port, back));
  EXPECT_EQ(back.baudRate, 14400u);

  auto reader = OpenSlave(kGenericRead);
  ASSERT_NE(reader, nullptr);
  ASSERT_TRUE(GetSerialSettings(*reader, back));
  EXPECT_EQ(back.baudRate, 14400u);
  port.reset();
  wanted.baudRate = 9600;
  ASSERT_TRUE(SetSerialSettings(*reader, wanted));
  EXPECT_EQ(serial_detail::ReadRate(pty_.slave()), 9600u);
}

TEST_F(SerialPortTest, TheBlockAtOpenDescribesTheTerminalAsFound) {
  termios tio{};
  ASSERT_EQ(tcgetattr(pty_.slave(), &tio), 0);
  cfsetospeed(&tio, B115200);
  cfsetispeed(&tio, B115200);
  tio.c_cflag = (tio.c_cflag & ~CRTSCTS) | CSTOPB;
  tio.c_iflag |= IXOFF;
  ASSERT_EQ(tcsetattr(pty_.slave(), TCSANOW, &tio), 0);

  auto port = OpenSlave(kGenericRead);
  ASSERT_NE(port, nullptr);
  SerialSettings found;
  ASSERT_TRUE(GetSerialSettings(*port, found));
  EXPECT_EQ(found.baudRate, 115200u);
  EXPECT_EQ(found.byteSize, 8);
  EXPECT_EQ(found.parity, 0);
  EXPECT_EQ(found.stopBits, 2);
  EXPECT_EQ(found.flags & (SerialSettings::kInX | SerialSettings::kOutxCtsFlow), SerialSettings::kInX);
  EXPECT_EQ(found.length, sizeof(SerialSettings));
}

// A port on the machine's console must not stay in raw mode: whatever an opener changed, the
// terminal is exactly as it was found once the opener closes it, and a reader that asks for no
// change leaves it alone while it is open.
TEST_F(SerialPortTest, EveryOpenerLeavesTheTerminalAsItFoundIt) {
  struct Case {
    const char* what;
    uint32_t access;
    bool setsUp;
  };
  const Case cases[] = {
      {"writer", kReadWrite, false},
      {"writer that sets the port up", kReadWrite, true},
      {"reader", kGenericRead, false},
      {"reader that sets the port up", kGenericRead, true},
  };
  for (const uint32_t rate : {57600u, 14400u}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + " at " + std::to_string(rate));
      testing::SetOddTerminal(pty_.slave(), rate);
      const testing::TerminalSnapshot found = testing::SnapshotTerminal(pty_.slave());
      auto port = OpenSlave(c.access);
      ASSERT_NE(port, nullptr);
      if (!(c.access & kGenericWrite)) testing::ExpectSameTerminal(testing::SnapshotTerminal(pty_.slave()), found);
      if (c.setsUp) {
        SerialSettings settings;
        settings.baudRate = rate == 14400 ? 4800 : 14400;
        ASSERT_TRUE(SetSerialSettings(*port, settings)) << GetLastError();
        EXPECT_EQ(serial_detail::ReadRate(pty_.slave()), settings.baudRate);
      }
      port.reset();
      testing::ExpectSameTerminal(testing::SnapshotTerminal(pty_.slave()), found);
    }
  }
}

TEST_F(SerialPortTest, AReaderSetsThePortUpOnlyWhileNoOtherOpenerHoldsIt) {
  auto writer = OpenSlave(kReadWrite);
  auto reader = OpenSlave(kGenericRead);
  ASSERT_NE(writer, nullptr);
  ASSERT_NE(reader, nullptr);
  const testing::TerminalSnapshot before = testing::SnapshotTerminal(pty_.slave());
  SerialSettings settings;
  settings.baudRate = 4800;
  EXPECT_FALSE(SetSerialSettings(*reader, settings));
  EXPECT_EQ(GetLastError(), kErrorSharingViolation);
  testing::ExpectSameTerminal(testing::SnapshotTerminal(pty_.slave()), before);

  writer.reset();
  EXPECT_TRUE(SetSerialSettings(*reader, settings));
  EXPECT_EQ(OpenSlave(kReadWrite), nullptr) << "the reader holds the port now";
  EXPECT_EQ(GetLastError(), kErrorSharingViolation);
}

TEST_F(SerialPortTest, IntervalAndTotalTimeOutsEndAReadWithWhatCame) {
  auto port = OpenSlave();
  ASSERT_NE(port, nullptr);
  SetTimeouts(*port, 100, 0, 100);
  int64_t ms = 0;
  bool ok = false;
  EXPECT_EQ(TimedRead(*port, 64, ms, &ok), "");
  EXPECT_TRUE(ok);
  EXPECT_GE(ms, 90);
  EXPECT_LT(ms, 300);

  pty_.Send("$GPGGA");
  std::thread later([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    pty_.Send(",1\r\n");
  });
  EXPECT_EQ(TimedRead(*port, 64, ms), "$GPGGA,1\r\n");  // 30 ms apart: inside the interval
  later.join();
  EXPECT_LT(ms, 300);

  // A full buffer returns at once.
  pty_.Send("0123456789");
  EXPECT_EQ(TimedRead(*port, 4, ms), "0123");
  EXPECT_EQ(TimedRead(*port, 6, ms), "456789");
  EXPECT_LT(ms, 50);

  // Only a total: 10 ms per byte asked for.
  SetTimeouts(*port, 0, 10, 0);
  EXPECT_EQ(TimedRead(*port, 12, ms), "");
  EXPECT_GE(ms, 110);
  EXPECT_LT(ms, 400);
}

TEST_F(SerialPortTest, ImmediateModeReturnsAtOnceWithWhatIsThere) {
  auto port = OpenSlave();
  ASSERT_NE(port, nullptr);
  SetTimeouts(*port, 0xFFFFFFFFu, 0, 0);
  int64_t ms = 0;
  EXPECT_EQ(TimedRead(*port, 64, ms), "");
  EXPECT_LT(ms, 50);
  pty_.Send("abc");
  pollfd ready{pty_.slave(), POLLIN, 0};
  ASSERT_EQ(poll(&ready, 1, 1000), 1);
  EXPECT_EQ(TimedRead(*port, 64, ms), "abc");
  EXPECT_LT(ms, 50);

  // MAXDWORD/MAXDWORD/constant: waits up to the constant for the first byte only.
  SetTimeouts(*port, 0xFFFFFFFFu, 0xFFFFFFFFu, 80);
  EXPECT_EQ(TimedRead(*port, 64, ms), "");
  EXPECT_GE(ms, 70);
  EXPECT_LT(ms, 300);
}

TEST_F(SerialPortTest, AClosedLineEndsAWaitingReadWith55) {
  auto port = OpenSlave();
  ASSERT_NE(port, nullptr);
  SetTimeouts(*port, 0, 0, 0);  // wait for the whole count
  auto reading = std::async(std::launch::async, [&port] {
    char buffer[16];
    size_t count = 0;
    const bool ok = port->Read(buffer, sizeof buffer, &count);
    return std::make_pair(ok, GetLastError());
  });
  // Control requests go on while the read waits.
  SerialSettings settings;
  EXPECT_TRUE(GetSerialSettings(*port, settings));
  SetTimeouts(*port, 0, 0, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto start = Clock::now();
  pty_.CloseMaster();
  ASSERT_EQ(reading.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  EXPECT_LT(MsSince(start), 500);
  const auto [ok, error] = reading.get();
  EXPECT_FALSE(ok);
  EXPECT_EQ(error, kErrorDevNotExist);

  size_t count = 0;
  char byte = 0;
  EXPECT_FALSE(port->Write("x", 1, &count));
  EXPECT_EQ(GetLastError(), kErrorDevNotExist);
  SetTimeouts(*port, 100, 0, 100);
  EXPECT_FALSE(port->Read(&byte, 1, &count));
  EXPECT_EQ(GetLastError(), kErrorDevNotExist);
}

TEST_F(SerialPortTest, PurgeDropsUnreadInput) {
  auto port = OpenSlave();
  ASSERT_NE(port, nullptr);
  pty_.Send("stale bytes");
  pollfd ready{pty_.slave(), POLLIN, 0};
  ASSERT_EQ(poll(&ready, 1, 1000), 1);
  uint32_t what = kPurgeRxClear | kPurgeRxAbort;
  ASSERT_TRUE(port->IoControl(kIoctlSerialPurge, &what, sizeof what, nullptr, 0, nullptr));
  SetTimeouts(*port, 0xFFFFFFFFu, 0, 0);
  int64_t ms = 0;
  EXPECT_EQ(TimedRead(*port, 64, ms), "");
  what = 0x10;
  EXPECT_FALSE(port->IoControl(kIoctlSerialPurge, &what, sizeof what, nullptr, 0, nullptr));
  EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
}

TEST_F(SerialPortTest, OneWriterPerPortAndReadersBeside) {
  auto writer = OpenSlave(kReadWrite);
  ASSERT_NE(writer, nullptr);
  EXPECT_EQ(OpenSlave(kGenericWrite), nullptr);
  EXPECT_EQ(GetLastError(), kErrorSharingViolation);
  auto reader = OpenSlave(kGenericRead);
  ASSERT_NE(reader, nullptr);

  // A reader may not write, a writer without read access may not read.
  size_t count = 0;
  char byte = 0;
  EXPECT_FALSE(reader->Write("x", 1, &count));
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);

  writer.reset();
  auto next = OpenSlave(kGenericWrite);
  ASSERT_NE(next, nullptr);
  EXPECT_FALSE(next->Read(&byte, 1, &count));
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
}

TEST_F(SerialPortTest, AWriteThatNobodyTakesEndsAfterItsTimeOut) {
  auto port = OpenSlave();
  ASSERT_NE(port, nullptr);
  SerialTimeouts timeouts{};
  timeouts.writeTotalConstant = 100;
  ASSERT_TRUE(SetSerialTimeouts(*port, timeouts));
  const std::string block(1 << 20, 'x');
  size_t written = 0;
  const auto start = Clock::now();
  EXPECT_TRUE(port->Write(block.data(), block.size(), &written));
  const int64_t ms = MsSince(start);
  EXPECT_GT(written, 0u);
  EXPECT_LT(written, block.size());
  EXPECT_GE(ms, 90);
  EXPECT_LT(ms, 500);

  char echo[8] = {};
  ASSERT_GT(read(pty_.master(), echo, sizeof echo), 0);
  EXPECT_EQ(echo[0], 'x');
}

TEST_F(SerialPortTest, ModemLinesOfAPseudoTerminalAreQuietlyAbsent) {
  auto port = OpenSlave();
  ASSERT_NE(port, nullptr);
  for (const uint32_t code : {kIoctlSerialSetDtr, kIoctlSerialClrDtr, kIoctlSerialSetRts, kIoctlSerialClrRts}) {
    EXPECT_TRUE(port->IoControl(code, nullptr, 0, nullptr, 0, nullptr)) << code;
  }
  uint32_t status = 0xFFFF;
  size_t returned = 0;
  ASSERT_TRUE(port->IoControl(kIoctlSerialGetModemStatus, nullptr, 0, &status, sizeof status, &returned));
  EXPECT_EQ(status, 0u);
  EXPECT_EQ(returned, sizeof status);
}

}  // namespace
}  // namespace platform
