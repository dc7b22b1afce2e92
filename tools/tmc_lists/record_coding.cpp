#include <algorithm>
#include <array>

#include "tools/tmc_lists/code_list_compiler.h"

namespace tmc_lists {

namespace {

// The longest run one escape sequence can state: a count of 0x7FFF stands for 0x8000 copies.
constexpr size_t kMaxRun = 0x8000;

uint8_t LeastFrequentByte(const uint8_t* image, size_t imageSize) {
  std::array<size_t, 256> counts{};
  for (size_t i = 0; i < imageSize; ++i) ++counts[image[i]];
  return static_cast<uint8_t>(std::min_element(counts.begin(), counts.end()) - counts.begin());
}

void AppendRun(std::vector<uint8_t>& coded, uint8_t escape, uint8_t value, size_t run) {
  const size_t count = run - 1;
  if (value == escape && count < 3) {
    coded.insert(coded.end(), {escape, static_cast<uint8_t>(count)});
  } else if (run < 4) {
    coded.insert(coded.end(), run, value);
  } else if (count < 0x80) {
    coded.insert(coded.end(), {escape, static_cast<uint8_t>(count), value});
  } else {
    coded.insert(coded.end(), {escape, static_cast<uint8_t>(0x80 | (count >> 8)), static_cast<uint8_t>(count), value});
  }
}

}  // namespace

std::vector<uint8_t> EncodeRecord(const uint8_t* image, size_t imageSize) {
  const uint8_t escape = LeastFrequentByte(image, imageSize);
  std::vector<uint8_t> coded{escape};
  for (size_t i = 0; i < imageSize;) {
    size_t run = 1;
    while (i + run < imageSize && run < kMaxRun && image[i + run] == image[i]) ++run;
    AppendRun(coded, escape, image[i], run);
    i += run;
  }
  for (uint8_t& byte : coded) byte = static_cast<uint8_t>(~byte);
  return coded;
}

}  // namespace tmc_lists
