#include "warner/serial/serial_ring.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/errors/errors.h"

namespace serial {
namespace {

std::vector<uint8_t> Sequence(size_t count, uint8_t first = 0) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(first + i);
  return bytes;
}

// Everything the ring gives until it reports no more bytes (or a code).
std::vector<uint8_t> Drain(SerialRing& ring, uint32_t* code = nullptr) {
  std::vector<uint8_t> all;
  uint8_t buffer[64];
  size_t count = 0;
  uint32_t result;
  while ((result = ring.Read(buffer, sizeof buffer, &count)) == 0 && count > 0)
    all.insert(all.end(), buffer, buffer + count);
  if (code != nullptr) *code = result;
  return all;
}

TEST(SerialRing, ARingNotSetUpGives8255) {
  SerialRing ring;
  uint8_t buffer[8];
  size_t count = 99;
  EXPECT_EQ(ring.Read(buffer, sizeof buffer, &count), platform::kErrorBufferNotSet);
  EXPECT_EQ(count, 0u);
  ring.Write(buffer, sizeof buffer);  // dropped, not a crash

  ASSERT_TRUE(ring.Setup());
  ring.Write(Sequence(10).data(), 10);
  ring.Destroy();
  EXPECT_EQ(ring.Read(buffer, sizeof buffer, &count), platform::kErrorBufferNotSet);
}

TEST(SerialRing, BytesComeOutInOrderAcrossTheWrap) {
  SerialRing ring;
  ASSERT_TRUE(ring.Setup());
  // Fill and drain most of the ring, so the next write crosses its end.
  const std::vector<uint8_t> first = Sequence(SerialRing::kSize - 100);
  ring.Write(first.data(), first.size());
  EXPECT_EQ(Drain(ring), first);
  const std::vector<uint8_t> second = Sequence(3000, 7);
  ring.Write(second.data(), 1000);
  ring.Write(second.data() + 1000, 2000);
  uint32_t code = 99;
  EXPECT_EQ(Drain(ring, &code), second);
  EXPECT_EQ(code, 0u);
}

TEST(SerialRing, OverrunGives13OnceAndThenOnlyNewBytes) {
  SerialRing ring;
  ASSERT_TRUE(ring.Setup());
  const std::vector<uint8_t> flood = Sequence(SerialRing::kSize + 1);
  ring.Write(flood.data(), flood.size());
  uint8_t buffer[64];
  size_t count = 99;
  EXPECT_EQ(ring.Read(buffer, sizeof buffer, &count), platform::kErrorInvalidData);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(ring.Read(buffer, sizeof buffer, &count), 0u);
  EXPECT_EQ(count, 0u);

  // Exactly full is no overrun.
  ring.Write(flood.data(), SerialRing::kSize);
  EXPECT_EQ(Drain(ring), std::vector<uint8_t>(flood.begin(), flood.begin() + SerialRing::kSize));

  const std::vector<uint8_t> fresh = Sequence(5, 200);
  ring.Write(fresh.data(), fresh.size());
  EXPECT_EQ(Drain(ring), fresh);
}

TEST(SerialRing, PendingStatusIsGivenOnceBeforeTheBytes) {
  SerialRing ring;
  ASSERT_TRUE(ring.Setup());
  ring.Write(Sequence(3).data(), 3);
  ring.SetPendingStatus(platform::kErrorNotReady);
  uint8_t buffer[64];
  size_t count = 99;
  EXPECT_EQ(ring.Read(buffer, sizeof buffer, &count), platform::kErrorNotReady);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(ring.Read(buffer, sizeof buffer, &count), 0u);
  EXPECT_EQ(count, 3u);
}

TEST(SerialRing, AWriterThreadAndAReaderAgreeOnEveryByte) {
  SerialRing ring;
  ASSERT_TRUE(ring.Setup());
  constexpr size_t kTotal = 200000;
  std::atomic<size_t> unreadBound{0};
  std::thread writer([&] {
    // Never more than half the ring ahead of the reader, so nothing is lost.
    for (size_t at = 0; at < kTotal;) {
      if (at - unreadBound.load() > SerialRing::kSize / 2) {
        std::this_thread::yield();
        continue;
      }
      const std::vector<uint8_t> block = Sequence(100, static_cast<uint8_t>(at));
      ring.Write(block.data(), block.size());
      at += block.size();
    }
  });
  size_t got = 0;
  bool inOrder = true;
  uint8_t buffer[64];
  while (got < kTotal) {
    size_t count = 0;
    ASSERT_EQ(ring.Read(buffer, sizeof buffer, &count), 0u);
    for (size_t i = 0; i < count; ++i) inOrder = inOrder && buffer[i] == static_cast<uint8_t>(got + i);
    got += count;
    unreadBound.store(got);
  }
  writer.join();
  EXPECT_TRUE(inOrder);
}

}  // namespace
}  // namespace serial
