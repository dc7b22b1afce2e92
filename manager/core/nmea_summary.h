#pragma once
// What the port test makes of a GPS stream: whole sentences cut out of the bytes as they come, and
// one summary line for each $GPGGA, $GPRMC and $GPVTG sentence that decodes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace manager {

// Cuts sentences from '$' up to and including the line feed out of a byte stream that may arrive in
// pieces. Bytes are taken as 7-bit characters; a line longer than kMaxLine is dropped.
class SentenceAssembler {
 public:
  static constexpr size_t kMaxLine = 255;

  // True when `byte` completed a sentence, which then stands in Sentence() until the next byte.
  bool Feed(uint8_t byte);
  std::string_view Sentence() const { return std::string_view(line_, length_); }

 private:
  char line_[kMaxLine + 1] = {};
  size_t length_ = 0;
  bool collecting_ = false;
};

// The summary line of a sentence; nothing for another sentence type, a sentence that fails the
// checksum test or one whose fields cannot be read.
std::optional<std::string> SentenceSummary(std::string_view sentence);

}  // namespace manager
