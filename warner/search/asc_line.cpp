#include "warner/search/asc_line.h"

#include <algorithm>
#include <cstring>

#include "platform/numbers/lenient_number.h"
#include "platform/text/text.h"

namespace warner {

namespace {

constexpr size_t kBlockSize = size_t{64} * 1024;
constexpr platform::NumberFormat kAscNumbers = platform::PoiListNumbers(false);

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// Cut to kAscTextMax bytes; a UTF-8 text loses no half character.
std::string CutText(std::string_view text) {
  if (text.size() <= kAscTextMax) return std::string(text);
  const bool utf8 = platform::IsValidUtf8(text);
  text = text.substr(0, kAscTextMax);
  return std::string(utf8 ? text.substr(0, platform::Utf8CompleteLength(text)) : text);
}

// The text between the first pair of double quotes (to the line's end when the second is missing).
std::string_view QuotedText(std::string_view rest) {
  const size_t open = rest.find('"');
  if (open == std::string_view::npos) return {};
  rest.remove_prefix(open + 1);
  return rest.substr(0, rest.find('"'));
}

void CutAtNulAndLength(std::string_view& line) { line = line.substr(0, std::min(line.find('\0'), kAscLineMax)); }

}  // namespace

bool ParseAscLine(std::string_view raw, AscLine& out) {
  char text[kAscLineMax];
  const size_t size = std::min(raw.size(), kAscLineMax);
  std::replace_copy(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(size), text, '\t', ' ');
  std::string_view line(text, size);
  line.remove_prefix(std::min(line.find_first_not_of(" \r\n"), line.size()));
  if (line.empty() || line.front() == ';') return false;
  const size_t first = line.front() == '+' || line.front() == '-' ? 1 : 0;
  if (line.size() <= first || !IsDigit(line[first])) return false;

  const platform::LeadingNumber longitude = platform::ReadLeadingReal(line, kAscNumbers);
  const size_t comma = line.find(',');
  if (longitude.end == 0 || comma == std::string_view::npos) return false;
  const std::string_view afterLongitude = line.substr(comma + 1);
  const platform::LeadingNumber latitude = platform::ReadLeadingReal(afterLongitude, kAscNumbers);
  if (latitude.end == 0) return false;
  const size_t secondComma = afterLongitude.find(',');

  out.longitude = longitude.value;
  out.latitude = latitude.value;
  out.longitudeText = CutText(TrimBlanks(line.substr(0, comma)));
  out.latitudeText = CutText(TrimBlanks(afterLongitude.substr(0, secondComma)));
  const std::string_view description =
      secondComma == std::string_view::npos ? std::string_view() : QuotedText(afterLongitude.substr(secondComma + 1));
  out.description = description.empty() ? "-" : CutText(description);
  return true;
}

AscLineReader::AscLineReader(std::FILE* stream) : stream_(stream), buffer_(kBlockSize) {}

bool AscLineReader::Fill() {
  if (stream_ == nullptr || std::feof(stream_) || std::ferror(stream_)) return false;
  end_ = std::fread(buffer_.data(), 1, buffer_.size(), stream_);
  pos_ = 0;
  return end_ > 0;
}

bool AscLineReader::NextLine(std::string_view& line) {
  carry_.clear();
  bool carried = false;
  for (;;) {
    if (pos_ == end_ && !Fill()) {
      if (!carried) return false;
      line = carry_;
      CutAtNulAndLength(line);
      return true;
    }
    const char* start = buffer_.data() + pos_;
    const size_t available = end_ - pos_;
    const char* feed = static_cast<const char*>(std::memchr(start, '\n', available));
    const size_t length = feed != nullptr ? static_cast<size_t>(feed - start) : available;
    pos_ += feed != nullptr ? length + 1 : length;
    if (feed != nullptr && !carried) {
      line = std::string_view(start, length);
    } else {
      // Only what can still be kept is carried over: an endless line costs no memory.
      carry_.append(start, std::min(length, kAscLineMax + 1 - std::min(carry_.size(), kAscLineMax + 1)));
      carried = true;
      if (feed == nullptr) continue;
      line = carry_;
    }
    CutAtNulAndLength(line);
    return true;
  }
}

int ReadAscLine(AscLineReader& stream, AscLine& out) {
  std::string_view line;
  while (stream.NextLine(line)) {
    if (ParseAscLine(line, out)) return 0;
  }
  return -1;
}

}  // namespace warner
