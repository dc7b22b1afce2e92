#include "warner/headless/file_byte_source.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/errors/errors.h"

namespace warner {
namespace {

TEST(FileByteSource, PacedAtTheBaudRateAndEndingWith38) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  const std::string bytes(480, '$');
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  uint32_t slept = 0;
  FileByteSource source(file, 4800, [&](uint32_t ms) { slept += ms; });
  uint8_t buffer[64];
  size_t total = 0, count = 0;
  uint32_t code;
  while ((code = source.Read(buffer, sizeof buffer, &count)) == platform::kErrorSuccess) total += count;
  EXPECT_EQ(code, platform::kErrorHandleEof);
  EXPECT_EQ(total, bytes.size());
  // 480 bytes of ten bits each at 4800 baud take one second (64-byte reads round down to 133 ms).
  EXPECT_GE(slept, 990u);
  EXPECT_LE(slept, 1000u);
  std::fclose(file);
}

TEST(FileByteSource, UnpacedNeverSleeps) {
  std::FILE* file = std::tmpfile();
  std::fputs("$GPRMC\r\n", file);
  std::rewind(file);
  bool slept = false;
  FileByteSource source(file, 0, [&](uint32_t) { slept = true; });
  uint8_t buffer[64];
  size_t count = 0;
  EXPECT_EQ(source.Read(buffer, sizeof buffer, &count), platform::kErrorSuccess);
  EXPECT_EQ(count, 8u);
  EXPECT_EQ(source.Read(buffer, sizeof buffer, &count), platform::kErrorHandleEof);
  EXPECT_FALSE(slept);
  std::fclose(file);
}

}  // namespace
}  // namespace warner
