#include "warner/gps/nmea_sentence.h"

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

NmeaSentence::NmeaSentence(std::string_view text) : text_(text.substr(0, text.find('\0'))) {}

bool NmeaSentence::HasCommaBeforeChecksum() const {
  const std::string_view beforeStar = text_.substr(0, text_.find('*'));
  return beforeStar.find(',') != std::string_view::npos;
}

bool NmeaSentence::ChecksumValid() const {
  const size_t star = text_.rfind('*');
  if (star == std::string_view::npos || star + 2 >= text_.size()) return false;
  const int high = HexDigitValue(text_[star + 1]);
  const int low = HexDigitValue(text_[star + 2]);
  if (high < 0 || low < 0) return false;
  // Exactly two characters: the line end (or the end of the text) must follow.
  if (star + 3 < text_.size() && !EndsSentence(text_[star + 3])) return false;

  uint8_t computed = 0;
  for (size_t i = 1; i < text_.size(); ++i) {
    const char c = text_[i];
    if (c == '*' || EndsSentence(c)) break;
    computed ^= static_cast<uint8_t>(c);
  }
  return computed == high * 16 + low;
}

bool NmeaSentence::Field(int n, size_t maxLength, std::string_view& out) const {
  size_t pos = 0;
  for (int passed = 0; passed < n; ++pos) {
    if (pos >= text_.size() || EndsSentence(text_[pos])) return false;
    if (text_[pos] == ',') ++passed;
  }
  size_t end = pos;
  while (end < text_.size() && !EndsField(text_[end])) ++end;
  if (end - pos > maxLength) return false;
  out = text_.substr(pos, end - pos);
  return true;
}

}  // namespace gps
