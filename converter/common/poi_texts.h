#pragma once
// The descriptions of a run's POIs, kept in one block of their own instead of inside the records:
// most descriptions are short, so the records stay small for the passes that read, sort and write
// them, and sorting never moves a text.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace converter {

// A description keeps at most kPoiTextSize - 1 characters; writers size their line buffers by it.
inline constexpr int kPoiTextSize = 255;

// Where one description lies in its PoiTexts. The default one is the empty text.
struct PoiText {
  uint64_t offset : 56 = 0;
  uint64_t length : 8 = 0;
};

class PoiTexts {
 public:
  static constexpr size_t kMaxLength = kPoiTextSize - 1;

  // Room for `bytes` of texts in all, so that adding them moves nothing. Throws std::bad_alloc.
  void Reserve(size_t bytes);
  // Empties the store and gives its memory back; earlier PoiText values no longer apply.
  void Clear();

  // A copy of `text` (which must not lie in this store), cut to kMaxLength bytes.
  PoiText Add(std::string_view text);

  // Writing a text in place: Start() gives room for kMaxLength bytes at the end of the store,
  // Finish(length) keeps the first `length` of them. Nothing else may use the store in between.
  char* Start();
  PoiText Finish(size_t length);

  std::string_view View(PoiText text) const { return {data_.get() + text.offset, text.length}; }
  // Asks for a text's bytes ahead of their use: the writers take the texts in sorted order, which
  // scatters them over the store. A text may straddle two cache lines.
  void Prefetch(PoiText text) const {
    __builtin_prefetch(data_.get() + text.offset);
    __builtin_prefetch(data_.get() + text.offset + text.length);
  }
  size_t Size() const { return size_; }

 private:
  void Reallocate(size_t capacity);

  std::unique_ptr<char[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

}  // namespace converter
