#include "driver/stream/sercast_driver.h"

#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "driver/registry/driver_keys.h"
#include "platform/devices/device.h"
#include "platform/devices/serial_control.h"
#include "platform/errors/errors.h"
#include "platform/registry/registry.h"
#include "platform/testing/files.h"
#include "platform/testing/pty.h"
#include "platform/testing/system_root.h"

namespace driver {
namespace {

using platform::kGenericRead;
using platform::kGenericWrite;

class Discard final : public TraceSink {
 public:
  void Trace(std::string_view) override {}
};

struct Got {
  std::string bytes;
  int32_t result = 0;
  uint32_t error = 0;
};

// A driver loaded from a driver key on a temporary system root, its input a pseudo-terminal
// (COM4:, the test plays the receiver) or a file.
class SercastDriverTest : public platform::testing::SystemRootTest {
 protected:
  void Load(const DriverKeyValues& values) {
    ASSERT_EQ(WriteDriverKey("Drivers\\SercastNG", values), 0u);
    platform::RegistryKey active;
    ASSERT_EQ(platform::RegistryKey::Create(platform::Hive::kLocalMachine, "Drivers\\Active\\01", active), 0u);
    ASSERT_EQ(active.SetString("Key", "Drivers\\SercastNG"), 0u);
    ASSERT_EQ(driver_.Init("Drivers\\Active\\01"), kDeviceContext);
  }
  void LoadPort(uint32_t filter = 0) {
    pty_.MakeRaw();
    platform::testing::MapPort("COM4:", pty_.slavePath());
    DriverKeyValues values = MakeDriverKeyValues("SercastNG", "COM4:", 4, "", 6);
    values.nmeaFilter = filter;
    Load(values);
  }
  void LoadFile(const std::string& content, uint32_t baud) {
    file_ = (system_.Folder() / "drive.nmea").string();
    platform::testing::WriteFile(file_, content);
    DriverKeyValues values = MakeDriverKeyValues("SercastNG", "COM4:", 256, file_, 6);
    values.inBaud = baud;
    Load(values);
  }

  uint32_t OpenListener() { return driver_.Open(kDeviceContext, kGenericRead, platform::kFileShareRead); }
  // A writer of the pseudo-terminal reads what has arrived and returns soon when nothing has.
  uint32_t OpenWriter() {
    const uint32_t slot = driver_.Open(kDeviceContext, kGenericRead | kGenericWrite, 0);
    if (slot != 0 && file_.empty()) {
      const platform::SerialTimeouts timeouts{20, 0, 200, 0, 0};
      EXPECT_TRUE(Control(slot, platform::kIoctlSerialSetTimeouts, &timeouts, sizeof timeouts));
    }
    return slot;
  }
  bool Control(uint32_t slot, uint32_t code, const void* in, uint32_t inSize, void* out = nullptr, uint32_t outSize = 0,
               uint32_t* returned = nullptr) {
    return driver_.IoControl(slot, code, static_cast<const uint8_t*>(in), inSize, static_cast<uint8_t*>(out), outSize,
                             returned);
  }
  Got Read(uint32_t slot, uint32_t count = 4096) {
    std::string buffer(count, '\0');
    Got got;
    got.result = driver_.Read(slot, buffer.data(), count);
    got.error = platform::GetLastError();
    if (got.result > 0) got.bytes = buffer.substr(0, static_cast<size_t>(got.result));
    return got;
  }

  platform::testing::Pty pty_;
  std::string file_;
  Discard trace_;
  SercastDriver driver_{trace_};
};

TEST_F(SercastDriverTest, ListenerHearsWhatAWriterReadsAndWritesReachTheInput) {
  LoadPort();
  const uint32_t listener = OpenListener();
  ASSERT_NE(listener, 0u);
  Got got = Read(listener);
  EXPECT_EQ(got.result, 0);
  EXPECT_EQ(got.error, 21u);

  const uint32_t writer = OpenWriter();
  ASSERT_NE(writer, 0u);
  pty_.Send("$GPGGA,1*00\r\n");
  got = Read(writer);
  EXPECT_EQ(got.bytes, "$GPGGA,1*00\r\n");
  got = Read(listener);
  EXPECT_EQ(got.bytes, "$GPGGA,1*00\r\n");
  EXPECT_EQ(got.error, 0u);
  got = Read(listener);
  EXPECT_EQ(got.result, 0);
  EXPECT_EQ(got.error, 0u);  // nothing new, but the input is open

  for (const uint32_t slot : {writer, listener}) {
    EXPECT_EQ(driver_.Write(slot, "PSRF", 4), 4);
    char echoed[4] = {};
    ASSERT_EQ(::read(pty_.master(), echoed, sizeof echoed), 4);
    EXPECT_EQ(std::string(echoed, 4), "PSRF");
  }
  EXPECT_EQ(driver_.Seek(writer, 0, 0), -1);
}

TEST_F(SercastDriverTest, SettingsPassThroughToTheInputOnlyWhileItIsOpen) {
  LoadPort();
  const uint32_t listener = OpenListener();
  platform::SerialSettings settings;
  settings.baudRate = 19200;
  EXPECT_TRUE(Control(listener, platform::kIoctlSerialSetDcb, &settings, sizeof settings));
  EXPECT_EQ(platform::GetLastError(), 0u);
  platform::SerialSettings untouched;
  untouched.baudRate = 1234;
  uint32_t returned = 99;
  EXPECT_TRUE(Control(listener, platform::kIoctlSerialGetDcb, nullptr, 0, &untouched, sizeof untouched, &returned));
  EXPECT_EQ(untouched.baudRate, 1234u);
  EXPECT_EQ(returned, 0u);
  EXPECT_NE(cfgetospeed(&static_cast<const termios&>(pty_.SlaveTermios())), B19200);

  const uint32_t writer = OpenWriter();
  EXPECT_TRUE(Control(writer, platform::kIoctlSerialSetDcb, &settings, sizeof settings));
  const termios seen = pty_.SlaveTermios();
  EXPECT_EQ(cfgetospeed(&seen), B19200);
  EXPECT_TRUE(Control(listener, platform::kIoctlSerialGetDcb, nullptr, 0, &untouched, sizeof untouched, &returned));
  EXPECT_EQ(untouched.baudRate, 19200u);
  EXPECT_EQ(returned, sizeof untouched);
}

TEST_F(SercastDriverTest, IdentificationRequestIsAnsweredWhateverTheInput) {
  const struct {
    std::string in;
    uint32_t outSize;
    bool answered;
  } cases[] = {
      {std::string("1Vel", 4), 4, true}, {std::string("1Vel\0\0", 6), 8, true}, {std::string("1Vel\0x", 6), 4, false},
      {std::string("1Ve", 3), 4, false}, {std::string("1Vel", 4), 3, false},
  };
  LoadPort();
  const uint32_t listener = OpenListener();  // no input open behind it
  uint32_t code = 0;
  std::memcpy(&code, "Vel1", 4);
  for (const auto& c : cases) {
    char out[8] = "-------";
    uint32_t returned = 99;
    EXPECT_TRUE(Control(listener, code, c.in.data(), static_cast<uint32_t>(c.in.size()), out, c.outSize, &returned));
    EXPECT_EQ(std::string(out, 4), c.answered ? "1Vel" : "----") << c.in.size() << " " << c.outSize;
    EXPECT_EQ(returned, c.answered ? 4u : 0u);
  }
}

TEST_F(SercastDriverTest, EightOpensAndTheNinthFailsWithoutOpeningTheInput) {
  LoadPort();
  for (uint32_t slot = 1; slot <= 8; ++slot) EXPECT_EQ(OpenListener(), slot);
  EXPECT_EQ(OpenWriter(), 0u);
  EXPECT_EQ(platform::GetLastError(), 4u);
  EXPECT_EQ(Read(3).error, 21u);  // the refused writer left no input open
  EXPECT_TRUE(driver_.Close(3));
  EXPECT_EQ(OpenWriter(), 3u);
}

TEST_F(SercastDriverTest, WriterOpenFailsWithTheInputsErrorListenersStillOpen) {
  Load(MakeDriverKeyValues("SercastNG", "COM7:", 7, "", 6));  // nothing behind COM7:
  EXPECT_EQ(OpenWriter(), 0u);
  EXPECT_EQ(platform::GetLastError(), 2u);
  EXPECT_EQ(OpenListener(), 1u);
  EXPECT_EQ(Read(1).error, 21u);
}

TEST_F(SercastDriverTest, FilterRemovesRecordsForAWriterOnlyAlsoAcrossReads) {
  LoadPort(1);
  const uint32_t writer = OpenWriter();
  const uint32_t listener = OpenListener();
  const struct {
    std::string sent;
    std::string writerGets;
  } pieces[] = {
      {"$GPRMC*1\r\n?ABCDEFGH", "$GPRMC*1\r\n"},
      {"I$GPGGA*2\r\n?123", "$GPGGA*2\r\n"},
      {"456789?abcdefghi?", ""},
      {"?????????$GPVTG*3\r\n", "$GPVTG*3\r\n"},  // a record's own '?' bytes start nothing
  };
  std::string all;
  for (const auto& piece : pieces) {
    pty_.Send(piece.sent);
    all += piece.sent;
    const Got got = Read(writer);
    EXPECT_EQ(got.bytes, piece.writerGets) << piece.sent;
    EXPECT_EQ(got.error, 0u);
  }
  EXPECT_EQ(Read(listener).bytes, all);
}

TEST_F(SercastDriverTest, FileIsPacedAtItsBaudRateWhateverTheListeners) {
  std::string content(960, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('A' + i % 26);
  LoadFile(content, 4800);
  const uint32_t writer = OpenWriter();
  const uint32_t listener = OpenListener();
  std::string written, heard;
  const auto start = std::chrono::steady_clock::now();
  while (written.size() < content.size()) {
    const Got got = Read(writer);
    ASSERT_GT(got.result, 0);
    EXPECT_LE(got.result, 160);
    written += got.bytes;
    heard += Read(listener).bytes;
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(written, content);
  EXPECT_EQ(heard, content);
  EXPECT_GT(elapsed, std::chrono::milliseconds(1500));  // 960 bytes at 4800 baud: 2 s
  EXPECT_LT(elapsed, std::chrono::milliseconds(3200));

  // The file is only read: writes are swallowed and control requests accepted.
  EXPECT_EQ(driver_.Write(writer, "xyz", 3), 3);
  EXPECT_EQ(platform::testing::ReadFile(file_), content);
  platform::SerialSettings settings;
  EXPECT_TRUE(Control(writer, platform::kIoctlSerialSetDcb, &settings, sizeof settings));
}

TEST_F(SercastDriverTest, WritersAndListenersOnTheirOwnThreadsEachGetTheWholeStreamInOrder) {
  std::string content(20000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 + i / 251);
  LoadFile(content, 0);
  const uint32_t slots[] = {OpenWriter(), OpenWriter(), OpenListener(), OpenListener()};
  std::vector<std::string> received(std::size(slots));
  std::vector<std::thread> readers;
  for (size_t r = 0; r < std::size(slots); ++r) {
    readers.emplace_back([&, r] {
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      std::string buffer(4096, '\0');
      while (received[r].size() < content.size() && std::chrono::steady_clock::now() < until) {
        const int32_t got = driver_.Read(slots[r], buffer.data(), 4096);
        if (got > 0) received[r].append(buffer, 0, static_cast<size_t>(got));
        if (got <= 0) std::this_thread::yield();
      }
    });
  }
  for (auto& reader : readers) reader.join();
  for (size_t r = 0; r < std::size(slots); ++r) EXPECT_TRUE(received[r] == content) << "slot " << slots[r];
}

TEST_F(SercastDriverTest, PowerUpDropsWhatTheRingHeldBefore) {
  LoadPort();
  const uint32_t writer = OpenWriter();
  const uint32_t listener = OpenListener();
  pty_.Send("before");
  EXPECT_EQ(Read(writer).bytes, "before");
  driver_.PowerDown(kDeviceContext);
  driver_.PowerUp(kDeviceContext);
  pty_.Send("after");
  EXPECT_EQ(Read(writer).bytes, "after");
  EXPECT_EQ(Read(listener).bytes, "after");
}

TEST_F(SercastDriverTest, AfterTheUnloadEveryHandleFails) {
  LoadPort();
  const uint32_t writer = OpenWriter();
  const uint32_t listener = OpenListener();
  ASSERT_TRUE(driver_.Deinit(kDeviceContext));
  const struct {
    uint32_t slot;
    int32_t result;
    uint32_t error;
  } reads[] = {{writer, -1, 55}, {listener, 0, 55}};
  for (const auto& r : reads) {
    const Got got = Read(r.slot);
    EXPECT_EQ(got.result, r.result) << r.slot;
    EXPECT_EQ(got.error, r.error) << r.slot;
  }
  platform::SerialSettings settings;
  EXPECT_FALSE(Control(writer, platform::kIoctlSerialSetDcb, &settings, sizeof settings));
  EXPECT_EQ(platform::GetLastError(), 21u);
  EXPECT_EQ(driver_.Write(writer, "x", 1), 0);
}

TEST_F(SercastDriverTest, InitFailsWith55WithoutAnInputInTheDriverKey) {
  platform::RegistryKey key;
  ASSERT_EQ(platform::RegistryKey::Create(platform::Hive::kLocalMachine, "Drivers\\SercastNG", key), 0u);
  ASSERT_EQ(key.SetString("Prefix", "COM"), 0u);
  platform::RegistryKey active;
  ASSERT_EQ(platform::RegistryKey::Create(platform::Hive::kLocalMachine, "Drivers\\Active\\01", active), 0u);
  ASSERT_EQ(active.SetString("Key", "Drivers\\SercastNG"), 0u);
  EXPECT_EQ(driver_.Init("Drivers\\Active\\01"), 0u);
  EXPECT_EQ(platform::GetLastError(), 55u);
}

}  // namespace
}  // namespace driver
