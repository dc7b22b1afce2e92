#include "converter/common/poi_texts.h"

#include <algorithm>
#include <cstring>

namespace converter {

namespace {

// A store that has to grow at all grows in steps of at least this much.
constexpr size_t kMinGrowth = 64 * 1024;

}  // namespace

void PoiTexts::Reserve(size_t bytes) {
  if (bytes > capacity_) Reallocate(bytes);
}

void PoiTexts::Clear() {
  data_.reset();
  size_ = 0;
  capacity_ = 0;
}

PoiText PoiTexts::Add(std::string_view text) {
  const size_t length = std::min(text.size(), kMaxLength);
  char* at = Start();
  if (length != 0) std::memcpy(at, text.data(), length);
  return Finish(length);
}

char* PoiTexts::Start() {
  if (capacity_ - size_ < kMaxLength) Reallocate(std::max(size_ + kMaxLength, std::max(2 * capacity_, kMinGrowth)));
  return data_.get() + size_;
}

PoiText PoiTexts::Finish(size_t length) {
  PoiText text;
  text.offset = size_;
  text.length = std::min(length, kMaxLength);
  size_ += text.length;
  return text;
}

void PoiTexts::Reallocate(size_t capacity) {
  // Left uninitialised: pages of a big reservation are only mapped once texts reach them.
  auto data = std::make_unique_for_overwrite<char[]>(capacity);
  if (size_ != 0) std::memcpy(data.get(), data_.get(), size_);
  data_ = std::move(data);
  capacity_ = capacity;
}

}  // namespace converter
