#include "driver/block/port_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <future>
#include <thread>
#include <vector>

#include "platform/bytes/little_endian.h"
#include "platform/errors/errors.h"

namespace driver {
namespace {

class Discard final : public TraceSink {
 public:
  void Trace(std::string_view) override {}
};

// A writer over one block and helpers that speak in stream offsets: byte n of the stream is
// Byte(n), so a reader can check that it got exactly the piece it expected.
class PortBlockTest : public ::testing::Test {
 protected:
  static constexpr const char* kName = "BlockTestNG";

  void SetUp() override {
    ASSERT_EQ(server_.CreateServerWrite(block_, kName, trace_), 0u);
    ASSERT_TRUE(server_.SetDeviceState(DeviceState::kInputOpen));
  }
  void TearDown() override { server_.DestroyServerWrite(trace_); }

  static uint8_t Byte(uint64_t n) { return static_cast<uint8_t>(n * 7 + n / 251); }

  uint32_t Append(uint32_t length) {
    std::vector<uint8_t> bytes(length);
    for (uint32_t i = 0; i < length; ++i) bytes[i] = Byte(written_ + i);
    const uint32_t error = server_.WriteServer(bytes.data(), static_cast<int32_t>(length));
    if (error == 0) written_ += length;
    return error;
  }
  void Attach(CClient& client, uint32_t slot = 1) { ASSERT_EQ(client.Create(block_, kName, slot, trace_), 0u); }

  // Reads `count` and expects `expected` bytes, the stream's bytes from `from` on.
  void ExpectRead(CClient& client, int32_t count, int32_t expected, uint64_t from, int result = kBlockOk) {
    std::vector<uint8_t> buffer(static_cast<size_t>(std::max(count, 1)));
    int32_t delivered = -2;
    EXPECT_EQ(client.Read(buffer.data(), count, &delivered), result);
    ASSERT_EQ(delivered, expected);
    for (int32_t i = 0; i < expected; ++i) ASSERT_EQ(buffer[i], Byte(from + i)) << "byte " << i;
  }

  Discard trace_;
  PortBlock block_;
  CServer server_;
  uint64_t written_ = 0;
};

TEST_F(PortBlockTest, EveryResultBecomesItsSystemError) {
  const std::pair<int, uint32_t> cases[] = {{0, 0}, {-4, 8255}, {-3, 55}, {-2, 55}, {-1, 21}, {1, 13}, {2, 38}};
  for (const auto& [result, error] : cases) EXPECT_EQ(SystemError(result), error) << result;
}

TEST_F(PortBlockTest, HeaderLaidOutLittleEndian) {
  ASSERT_EQ(Append(300), 0u);
  const uint8_t header[] = {8, 1, 2, 0, 0x2C, 0x01, 0, 0};
  for (size_t i = 0; i < sizeof header; ++i) EXPECT_EQ(block_.bytes[i], header[i]) << "offset " << i;
  EXPECT_EQ(block_.bytes[8], Byte(0));
}

TEST_F(PortBlockTest, ClientStartsWithWhatFollowsItsOpenAndTwoPacesBothGetAll) {
  ASSERT_EQ(Append(1000), 0u);
  CClient fast, slow;
  Attach(fast, 1);
  Attach(slow, 2);
  for (int round = 0; round < 40; ++round) {
    ASSERT_EQ(Append(2000), 0u);
    ExpectRead(fast, 4096, 2000, 1000 + round * 2000);
    if (round % 4 == 3) {
      for (int part = 0; part < 2; ++part) ExpectRead(slow, 4000, 4000, 1000 + (round - 3) * 2000 + part * 4000);
    }
  }
}

TEST_F(PortBlockTest, OvertakenClientGets13OnceThenOnlyNewerBytes) {
  CClient client;
  Attach(client);
  ASSERT_EQ(Append(32759), 0u);
  ASSERT_EQ(Append(2), 0u);
  ExpectRead(client, 100, 0, 0, kBlockOvertaken);
  ExpectRead(client, 100, 0, 0);
  ASSERT_EQ(Append(50), 0u);
  ExpectRead(client, 100, 50, 32761);
}

TEST_F(PortBlockTest, ClientExactlyOneRingBehindGetsEveryByte) {
  CClient client;
  Attach(client);
  ASSERT_EQ(Append(32759), 0u);
  ASSERT_EQ(Append(1), 0u);
  ExpectRead(client, 32759, 32759, 0);
  ExpectRead(client, 100, 1, 32759);
}

TEST_F(PortBlockTest, LengthsOfTheRingSizeAreRefused) {
  CClient client;
  Attach(client);
  EXPECT_EQ(Append(32760), 8255u);
  EXPECT_EQ(Append(32759), 0u);
  EXPECT_EQ(server_.WriteServer(nullptr, -1), 8255u);
  ExpectRead(client, 32760, -1, 0, kBlockWrongSide);
  ExpectRead(client, -1, -1, 0, kBlockWrongSide);
  ExpectRead(client, 32759, 32759, 0);
}

TEST_F(PortBlockTest, NothingNewIsSuccessWhileTheInputIsOpenElseNotReadyOrClosed) {
  const struct {
    DeviceState state;
    int result;
  } cases[] = {
      {DeviceState::kInputOpen, kBlockOk}, {DeviceState::kReady, kBlockNotReady}, {DeviceState::kClosed, kBlockClosed}};
  for (const auto& c : cases) {
    CClient client;
    Attach(client);
    ASSERT_TRUE(server_.SetDeviceState(c.state));
    ExpectRead(client, 10, 0, 0, c.result);
    client.Destroy(trace_);
  }
  CClient detached;
  ExpectRead(detached, 10, 0, 0, kBlockMissing);
}

TEST_F(PortBlockTest, ResyncDropsTheUnread) {
  CClient client;
  Attach(client);
  ASSERT_EQ(Append(500), 0u);
  client.Resync();
  ASSERT_EQ(Append(20), 0u);
  ExpectRead(client, 100, 20, 500);
}

TEST_F(PortBlockTest, TotalAndWritePositionStayInStepAcrossTheWrap) {
  const uint32_t wrap = TotalWrap(kRingLength);
  EXPECT_EQ(wrap % kRingLength, 0u);
  EXPECT_GT(uint64_t{wrap} + kRingLength, uint64_t{1} << 32);
  server_.SetTotalWritten(wrap - 1000);
  written_ = wrap - 1000;
  CClient early, late;
  Attach(early, 1);
  ASSERT_EQ(Append(900), 0u);
  ExpectRead(early, 4000, 900, wrap - 1000);
  ASSERT_EQ(Append(3000), 0u);  // the total passes the wrap inside this write
  EXPECT_EQ(platform::GetLe32(block_.bytes.data() + 4), 2900u);
  ExpectRead(early, 4000, 3000, wrap - 100);
  Attach(late, 2);
  ASSERT_EQ(Append(10), 0u);
  ExpectRead(late, 100, 10, uint64_t{wrap} + 2900);
  ExpectRead(early, 100, 10, uint64_t{wrap} + 2900);
  // Overtaking is still seen when the distance spans the wrap.
  ASSERT_EQ(Append(20000), 0u);
  ASSERT_EQ(Append(20000), 0u);
  ExpectRead(early, 100, 0, 0, kBlockOvertaken);
}

TEST_F(PortBlockTest, MutexHeldElsewhereReaderNotReadyWriterWaitsAndLosesNothing) {
  CClient client;
  Attach(client);
  std::promise<void> held, release;
  std::thread holder([&] {
    auto mutex = platform::NamedMutex::Open(BlockMutexName(kName));
    ASSERT_TRUE(mutex.has_value());
    mutex->Wait(platform::kInfinite);
    held.set_value();
    release.get_future().wait();
    mutex->Release();
  });
  held.get_future().wait();
  const auto start = std::chrono::steady_clock::now();
  ExpectRead(client, 10, 0, 0, kBlockNotReady);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));
  auto write = std::async(std::launch::async, [&] { return Append(30); });
  EXPECT_EQ(write.wait_for(std::chrono::milliseconds(250)), std::future_status::timeout);
  release.set_value();
  holder.join();
  EXPECT_EQ(write.get(), 0u);
  ExpectRead(client, 100, 30, 0);
}

}  // namespace
}  // namespace driver
