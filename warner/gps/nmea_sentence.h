#pragma once
// One framed sentence as the parsers see it: checksum test and field access by number.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace gps {

// Longest field texts the parsers accept (their buffers hold one more byte for the NUL).
inline constexpr size_t kAddressFieldMax = 6;
inline constexpr size_t kCoordinateFieldMax = 18;
inline constexpr size_t kFieldMax = 259;

class NmeaSentence {
 public:
  // The text ends at its first NUL, as a C string would.
  explicit NmeaSentence(std::string_view text);

  std::string_view Text() const { return text_; }

  // A comma must stand somewhere before the checksum marker.
  bool HasCommaBeforeChecksum() const;
  // Two upper-case hex digits after the last '*' that equal the XOR of the characters between
  // '$' and the first '*', CR, LF or end.
  bool ChecksumValid() const;

  // Field n (0 is the address field). False when the sentence ends before n commas were
  // passed, or when the field is longer than maxLength.
  bool Field(int n, size_t maxLength, std::string_view& out) const;

 private:
  bool FieldAt(size_t pos, size_t maxLength, std::string_view& out) const;

  // Where the first fields start, found in one pass; the parsers read none beyond these.
  static constexpr int kIndexedFields = 16;

  std::string_view text_;
  uint16_t fieldStart_[kIndexedFields] = {};
  int fieldCount_ = 0;
  size_t lastStar_ = std::string_view::npos;
  bool commaBeforeStar_ = false;
  uint8_t computedChecksum_ = 0;
};

}  // namespace gps
