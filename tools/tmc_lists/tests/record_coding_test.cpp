#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "tools/tmc_lists/code_list_compiler.h"
#include "warner/traffic/code_lists/code_lists.h"

namespace tmc_lists {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Complement(Bytes bytes) {
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(~byte);
  return bytes;
}

// Encodes and expands `image` again; also checks that the escape is a least frequent byte.
void ExpectRoundTrip(const Bytes& image, size_t maxStored) {
  const Bytes stored = EncodeRecord(image.data(), image.size());
  ASSERT_LE(stored.size(), maxStored);
  const Bytes coded = Complement(stored);
  std::array<size_t, 256> counts{};
  for (uint8_t byte : image) ++counts[byte];
  EXPECT_EQ(counts[coded[0]], *std::min_element(counts.begin(), counts.end()));
  Bytes expanded(image.size());
  ASSERT_TRUE(traffic::ExpandRecord(coded.data(), coded.size(), expanded.data(), expanded.size()));
  EXPECT_EQ(expanded, image);
}

TEST(RecordCoding, RunsOfFourOrMoreAreCoded) {
  // 'a' x4 then 'b': the escape is byte 0 (unused, lowest), the run is coded, the single 'b' is not.
  EXPECT_EQ(Complement(EncodeRecord(Bytes{'a', 'a', 'a', 'a', 'b'}.data(), 5)), (Bytes{0, 0, 3, 'a', 'b'}));
  EXPECT_EQ(Complement(EncodeRecord(Bytes{'a', 'a', 'a', 'b'}.data(), 4)), (Bytes{0, 'a', 'a', 'a', 'b'}));
  // Escape bytes themselves: one to three as a count, four or more as a run. Every other value
  // appears nine times, 7 only eight, so 7 becomes the escape.
  Bytes image;
  for (int round = 0; round < 9; ++round) {
    for (int value = 0; value < 256; ++value) {
      if (value != 7) image.push_back(static_cast<uint8_t>(value));
    }
  }
  image.insert(image.end(), {7, 'a', 7, 7, 7, 'b', 7, 7, 7, 7});
  const Bytes coded = Complement(EncodeRecord(image.data(), image.size()));
  EXPECT_EQ(coded.front(), 7);
  EXPECT_EQ(Bytes(coded.end() - 9, coded.end()), (Bytes{7, 0, 'a', 7, 2, 'b', 7, 3, 7}));
}

TEST(RecordCoding, LongRunsUseTheTwoByteCountAndSplit) {
  Bytes image(300, ' ');
  EXPECT_EQ(Complement(EncodeRecord(image.data(), image.size())), (Bytes{0, 0, 0x81, 0x2B, ' '}));
  image.assign(0x8000 + 300, 'x');  // longer than one escape sequence can state
  ExpectRoundTrip(image, SIZE_MAX);
}

// Random images of both sizes, from noise to long runs: every one comes back byte for byte and
// stays within the stored length the reader accepts.
TEST(RecordCoding, RandomImagesRoundTrip) {
  std::mt19937 random(20240601);
  for (int round = 0; round < 3000; ++round) {
    const bool event = round % 2 == 0;
    Bytes image(event ? traffic::kEventImageSize : traffic::kLocationImageSize);
    const int alphabet = std::array{2, 3, 16, 256}[static_cast<size_t>(round) % 4];
    const int maxRun = std::array{1, 5, 40, 400}[static_cast<size_t>(round / 4) % 4];
    for (size_t i = 0; i < image.size();) {
      const uint8_t value = static_cast<uint8_t>(random() % static_cast<unsigned>(alphabet) * (256 / alphabet));
      const size_t run = 1 + random() % static_cast<unsigned>(maxRun);
      for (size_t j = 0; j < run && i < image.size(); ++j) image[i++] = value;
    }
    ExpectRoundTrip(image, event ? traffic::kMaxEventRecordLength : traffic::kMaxLocationRecordLength);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace tmc_lists
