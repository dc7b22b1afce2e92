#include "warner/gps/nmea_sentence.h"

#include <algorithm>
#include <cstdint>

namespace gps {

namespace {

bool EndsSentence(char c) { return c == '\r' || c == '\n'; }

bool EndsField(char c) { return c == ',' || c == '*' || EndsSentence(c); }

// Checksum digits are decimal digits or upper-case A..F; lower case counts as missing.
int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

// The markers are found with memchr-based searches and the checksum in one tight loop; the
// framer hands over a sentence per fix or more, so this is the parser's hot path.
NmeaSentence::NmeaSentence(std::string_view text) : text_(text.substr(0, text.find('\0'))) {
  const size_t lineEnd = std::min({text_.find('\r'), text_.find('\n'), text_.size()});
  const size_t firstStar = text_.find('*');
  lastStar_ = text_.rfind('*');
  commaBeforeStar_ = text_.substr(0, firstStar).find(',') != std::string_view::npos;

  const size_t checksummedEnd = std::min(firstStar, lineEnd);
  for (size_t i = 1; i < checksummedEnd; ++i) computedChecksum_ ^= static_cast<uint8_t>(text_[i]);

  fieldStart_[fieldCount_++] = 0;
  for (size_t comma = text_.find(','); comma < lineEnd && fieldCount_ < kIndexedFields;
       comma = text_.find(',', comma + 1)) {
    fieldStart_[fieldCount_++] = static_cast<uint16_t>(comma + 1);
  }
}

bool NmeaSentence::HasCommaBeforeChecksum() const { return commaBeforeStar_; }

bool NmeaSentence::ChecksumValid() const {
  const size_t star = lastStar_;
  if (star == std::string_view::npos || star + 2 >= text_.size()) return false;
  const int high = HexDigitValue(text_[star + 1]);
  const int low = HexDigitValue(text_[star + 2]);
  if (high < 0 || low < 0) return false;
  // Exactly two characters: the line end (or the end of the text) must follow.
  if (star + 3 < text_.size() && !EndsSentence(text_[star + 3])) return false;
  return computedChecksum_ == high * 16 + low;
}

bool NmeaSentence::Field(int n, size_t maxLength, std::string_view& out) const {
  if (n < 0) return false;
  if (n < fieldCount_) return FieldAt(fieldStart_[n], maxLength, out);
  if (fieldCount_ < kIndexedFields) return false;  // the sentence ended before field n
  size_t pos = fieldStart_[kIndexedFields - 1];
  for (int passed = kIndexedFields - 1; passed < n; ++pos) {
    if (pos >= text_.size() || EndsSentence(text_[pos])) return false;
    if (text_[pos] == ',') ++passed;
  }
  return FieldAt(pos, maxLength, out);
}

bool NmeaSentence::FieldAt(size_t pos, size_t maxLength, std::string_view& out) const {
  size_t end = pos;
  while (end < text_.size() && !EndsField(text_[end])) ++end;
  if (end - pos > maxLength) return false;
  out = text_.substr(pos, end - pos);
  return true;
}

}  // namespace gps
