#include "converter/poi_list/poi_list_reader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "converter/poi_list/line_reader.h"
#include "formats/snt/snt_format.h"
#include "platform/memory/prefault.h"
#include "platform/numbers/lenient_number.h"

namespace converter {
namespace {

constexpr double kFeet = 0.3048;
constexpr size_t kMaxTextLength = PoiTexts::kMaxLength;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number at the start of a field; false when the field does not start with one.
bool ReadFieldNumber(std::string_view field, bool decimalComma, double& value) {
  const platform::LeadingNumber number = platform::ReadLeadingReal(field, platform::PoiListNumbers(decimalComma));
  value = number.value;
  return number.end != 0;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// What a text byte becomes in the stored description. Control codes would break the target files'
// lines and the double quote their quoting; NavigonOEM reserves "/" and "%".
using CleanTable = std::array<char, 256>;
constexpr CleanTable MakeCleanTable(bool navigon) {
  CleanTable table{};
  for (int c = 0; c < 256; ++c) table[c] = static_cast<char>(c);
  for (int c = 0; c < 32; ++c) table[c] = ' ';
  table['"'] = '\'';
  if (navigon) {
    table['/'] = '|';
    table['%'] = ':';
  }
  return table;
}
constexpr CleanTable kCleanPlain = MakeCleanTable(false);
constexpr CleanTable kCleanNavigon = MakeCleanTable(true);

// Blank after cleaning: the space and every control code, which cleaning turns into spaces.
bool IsCleanedSpace(char c) { return static_cast<unsigned char>(c) <= ' '; }

size_t Find(std::string_view text, char c, size_t from) {
  if (from >= text.size()) return std::string_view::npos;
  const void* hit = std::memchr(text.data() + from, c, text.size() - from);
  return hit != nullptr ? static_cast<size_t>(static_cast<const char*>(hit) - text.data()) : std::string_view::npos;
}

// x, y and directions are kept in one turn: the remainder modulo 360 with the value's sign.
double ReduceDegrees(double value) { return value != 0.0 ? std::fmod(value, 360.0) : value; }

bool HasBothMark(std::string_view field) {
  return field.find('B') != std::string_view::npos || field.find('b') != std::string_view::npos;
}

// A direction as the fifth field and the text group write it: degrees, "B" or "b" for both ways.
// False when the field holds no (finite) number.
bool ReadDirection(std::string_view field, bool decimalComma, double& tenths, uint16_t& flags) {
  double degrees = 0.0;
  if (!ReadFieldNumber(field, decimalComma, degrees) || !std::isfinite(degrees)) return false;
  degrees = ReduceDegrees(degrees);
  if (degrees < 0.0) degrees += 360.0;
  // A tiny negative direction rounds up to a whole turn; it means 0.
  if (degrees >= 360.0) degrees = 0.0;
  tenths = degrees * 10.0;
  flags = HasBothMark(field) ? snt::kDirectionFlag | snt::kBothWaysFlag : snt::kDirectionFlag;
  return true;
}

// The content of an encoded group, "0x" stripped: pairs of hex digits, then the key pair K; each
// pair stands for the character (pair - K) mod 256. False when the content is not whole hex pairs
// or decodes into more than the decoding buffer holds.
bool DecodeDirection(std::string_view hex, char (&decoded)[kMaxDecodedDirection + 1], size_t& length) {
  if (hex.size() < 2 || hex.size() % 2 != 0) return false;
  const size_t pairs = hex.size() / 2 - 1;
  if (pairs > kMaxDecodedDirection) return false;
  for (char c : hex) {
    if (HexValue(c) < 0) return false;
  }
  const int key = HexValue(hex[hex.size() - 2]) * 16 + HexValue(hex[hex.size() - 1]);
  length = 0;
  for (size_t i = 0; i < pairs; ++i) {
    const int value = HexValue(hex[2 * i]) * 16 + HexValue(hex[2 * i + 1]);
    const char c = static_cast<char>((value - key) & 0xFF);
    if (c == '\0') break;  // the decoded text is a C string
    decoded[length++] = c;
  }
  decoded[length] = '\0';
  return true;
}

struct DirectionGroup {
  size_t cutFrom = 0;  // the group with the blanks before it: [cutFrom, cutTo) of the text
  size_t cutTo = 0;
  double tenths = 0.0;
  uint16_t flags = 0;
};

// The last $...$ group of the text whose content starts with a digit, when its content yields a
// direction. Cleaning the text changes neither "$", digits nor hex digits, so the raw text is
// searched.
bool FindDirectionGroup(std::string_view text, DirectionGroup& group) {
  size_t close = text.rfind('$');
  std::string_view content;
  size_t open = std::string_view::npos;
  while (close != std::string_view::npos && close > 0) {
    open = text.rfind('$', close - 1);
    if (open == std::string_view::npos) return false;
    if (close - open > 1 && IsDigit(text[open + 1])) {
      content = text.substr(open + 1, close - open - 1);
      break;
    }
    close = open;
  }
  if (content.empty()) return false;

  if (content.size() >= 2 && content[0] == '0' && content[1] == 'x') {
    char decoded[kMaxDecodedDirection + 1];
    size_t length = 0;
    if (!DecodeDirection(content.substr(2), decoded, length)) return false;
    if (!ReadDirection(std::string_view(decoded, length), false, group.tenths, group.flags)) return false;
  } else if (!ReadDirection(content, false, group.tenths, group.flags)) {
    return false;
  }
  size_t from = open;
  while (from > 0 && IsCleanedSpace(text[from - 1])) --from;
  group.cutFrom = from;
  group.cutTo = close + 1;
  return true;
}

// Appends the cleaned bytes of `part` to the text, up to its size limit.
size_t AppendCleaned(char* out, size_t used, std::string_view part, const CleanTable& table) {
  const size_t n = std::min(part.size(), kMaxTextLength - used);
  for (size_t i = 0; i < n; ++i) out[used + i] = table[static_cast<unsigned char>(part[i])];
  return used + n;
}

PoiLineResult Reject(const char** reason, const char* text) {
  if (reason != nullptr) *reason = text;
  return PoiLineResult::kRejected;
}

bool ContainsFeetMark(std::string_view field) {
  for (size_t i = 0; i + 1 < field.size(); ++i) {
    if ((field[i] == 'f' || field[i] == 'F') && (field[i + 1] == 't' || field[i + 1] == 'T')) return true;
  }
  return false;
}

// The field that starts at `from`: up to the next separator or the end of the line.
std::string_view FieldAt(std::string_view line, size_t from, char separator, size_t& next) {
  next = Find(line, separator, from);
  return line.substr(from, (next == std::string_view::npos ? line.size() : next) - from);
}

}  // namespace

const char* HeightReason() {
  static const std::string text = [] {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "The height must be betweeen %.0f. and %.0f. meters.", kMaxPoiHeight,
                  kMinPoiHeight);
    return std::string(buffer);
  }();
  return text.c_str();
}

PoiLineResult ParsePoiLine(std::string_view line, const SubcategoryConfig& sub, int subcategoryIndex,
                           bool navigonTarget, PoiTexts& texts, ParsedPoi& poi, const char** reason) {
  constexpr auto npos = std::string_view::npos;
  const char separator = sub.separator;
  const bool decimalComma = separator != ',';

  size_t start = 0;
  while (start < line.size() && line[start] == ' ') ++start;
  if (start == line.size() || line[start] == ';' || line[start] == '\r' || line[start] == '\n') {
    return PoiLineResult::kIgnored;
  }
  size_t first = start;
  if (line[first] == '+' || line[first] == '-') ++first;
  if (first == line.size() || !IsDigit(line[first])) return Reject(reason, kReasonNotNumeric);

  // The numbers are read within their fields, so a separator that could belong to a number (a
  // point, say) still ends the field.
  const size_t sep1 = Find(line, separator, start);
  if (sep1 == npos) return Reject(reason, kReasonNoTwoSeparators);
  double x = 0.0;
  if (!ReadFieldNumber(line.substr(start, sep1 - start), decimalComma, x) || !std::isfinite(x)) {
    return Reject(reason, kReasonNoTwoCoordinates);
  }
  const size_t sep2 = Find(line, separator, sep1 + 1);
  if (sep2 == npos) return Reject(reason, kReasonNoTwoSeparators);
  double y = 0.0;
  if (!ReadFieldNumber(line.substr(sep1 + 1, sep2 - sep1 - 1), decimalComma, y) || !std::isfinite(y)) {
    return Reject(reason, kReasonNoTwoCoordinates);
  }

  const size_t openQuote = Find(line, '"', sep2 + 1);
  if (openQuote == npos) return Reject(reason, kReasonNoTwoQuotes);
  const size_t closeQuote = line.rfind('"');
  if (closeQuote == openQuote) return Reject(reason, kReasonNoTwoQuotes);
  const std::string_view text = line.substr(openQuote + 1, closeQuote - openQuote - 1);

  // Height and direction behind the text; a bad height rejects the line before anything is stored.
  bool hasHeight = false;
  double height = 0.0;
  bool hasDirection = false;
  double directionTenths = 0.0;
  uint16_t directionFlags = 0;
  const size_t sep3 = Find(line, separator, closeQuote + 1);
  if (sep3 != npos) {
    size_t sep4 = npos;
    const std::string_view heightField = FieldAt(line, sep3 + 1, separator, sep4);
    if (ReadFieldNumber(heightField, decimalComma, height)) {
      if (ContainsFeetMark(heightField)) height *= kFeet;
      if (!(height <= kMaxPoiHeight && height >= kMinPoiHeight)) return Reject(reason, HeightReason());
      hasHeight = true;
    }
    if (sep4 != npos) {
      size_t sep5 = npos;
      hasDirection =
          ReadDirection(FieldAt(line, sep4 + 1, separator, sep5), decimalComma, directionTenths, directionFlags);
    }
  }

  DirectionGroup group;
  const bool hasGroup = FindDirectionGroup(text, group);
  if (!hasDirection && hasGroup) {
    hasDirection = true;
    directionTenths = group.tenths;
    directionFlags = group.flags;
  }

  poi.text = PoiText{};
  if (sub.includeTexts) {
    // Cleaned straight into the store: the text is copied once.
    const CleanTable& table = navigonTarget ? kCleanNavigon : kCleanPlain;
    char* out = texts.Start();
    size_t used = 0;
    if (hasGroup) {
      used = AppendCleaned(out, used, text.substr(0, group.cutFrom), table);
      used = AppendCleaned(out, used, text.substr(group.cutTo), table);
    } else {
      used = AppendCleaned(out, used, text, table);
    }
    poi.text = texts.Finish(used);
  }

  x = ReduceDegrees(x);
  y = ReduceDegrees(y);
  poi.number = 0;
  poi.subcategory = subcategoryIndex;
  poi.x = x;
  poi.y = y;
  poi.x100k = ToHundredThousandths(x);
  poi.y100k = ToHundredThousandths(y);
  poi.heightFlags = hasHeight ? snt::kHeightFlag : 0;
  poi.heightPlus = hasHeight ? height + snt::kHeightOffset : 0.0;
  poi.directionFlags = hasDirection ? directionFlags : 0;
  poi.directionTenths = hasDirection ? directionTenths : 0.0;
  poi.categoryNumber = sub.categoryNumber;
  poi.datOffset = -1;
  poi.namOffset = -1;
  return PoiLineResult::kPoi;
}

namespace {

struct SortKey {
  uint64_t position;  // x100k, then y100k, both with the sign bit flipped: unsigned order = signed order
  uint32_t index;
};

uint64_t PositionKey(const ParsedPoi& p) {
  return (uint64_t{static_cast<uint32_t>(p.x100k) ^ 0x80000000u} << 32) |
         (static_cast<uint32_t>(p.y100k) ^ 0x80000000u);
}

// A stable LSD radix sort over 11-bit digits; a digit that all keys share costs no pass. Narrower
// digits than 16 bits cost more passes but win: each pass scatters into 2048 places instead of
// 65536, which the caches follow far better.
void RadixSort(std::vector<SortKey>& keys) {
  constexpr int kDigitBits = 11;
  constexpr uint64_t kDigitMask = (uint64_t{1} << kDigitBits) - 1;
  std::vector<SortKey> other(keys.size());
  std::vector<uint32_t> counts(kDigitMask + 1);
  for (int shift = 0; shift < 64; shift += kDigitBits) {
    std::fill(counts.begin(), counts.end(), 0u);
    for (const SortKey& k : keys) ++counts[(k.position >> shift) & kDigitMask];
    if (counts[(keys[0].position >> shift) & kDigitMask] == keys.size()) continue;
    uint32_t sum = 0;
    for (uint32_t& c : counts) {
      const uint32_t n = c;
      c = sum;
      sum += n;
    }
    for (const SortKey& k : keys) other[counts[(k.position >> shift) & kDigitMask]++] = k;
    keys.swap(other);
  }
}

}  // namespace

namespace {

// What sorting takes besides the POIs: a key per POI, and the array the POIs are gathered into.
struct SortSpace {
  std::vector<SortKey> keys;
  std::vector<ParsedPoi> ordered;
};

// Sorts by the keys, which hold each record's position key and index, then gathers the records in
// that order into the second array, which takes the first one's place; the texts stay where they
// are. The records are fetched well ahead: they lie scattered over a big array, and the loads of a
// gather, unlike those of a walk along the permutation's cycles, do not wait for each other.
void SortByKeys(std::vector<ParsedPoi>& pois, SortSpace& space) {
  const size_t n = pois.size();
  std::vector<SortKey>& keys = space.keys;
  bool sorted = true;
  for (size_t i = 1; i < n && sorted; ++i) sorted = keys[i - 1].position <= keys[i].position;
  if (!sorted) {
    RadixSort(keys);
    constexpr size_t kAhead = 8;
    space.ordered.clear();
    space.ordered.reserve(n);
    for (size_t k = 0; k < n; ++k) {
      if (k + kAhead < n) {
        // A record may straddle two cache lines.
        const char* ahead = reinterpret_cast<const char*>(&pois[keys[k + kAhead].index]);
        __builtin_prefetch(ahead);
        __builtin_prefetch(ahead + sizeof(ParsedPoi) - 1);
      }
      space.ordered.push_back(pois[keys[k].index]);
    }
    pois.swap(space.ordered);
  }
  for (size_t i = 0; i < n; ++i) pois[i].number = static_cast<int32_t>(i + 1);
}

}  // namespace

void SortPois(std::vector<ParsedPoi>& pois) {
  SortSpace space;
  space.keys.resize(pois.size());
  for (size_t i = 0; i < pois.size(); ++i) space.keys[i] = {PositionKey(pois[i]), static_cast<uint32_t>(i)};
  SortByKeys(pois, space);
}

namespace {

void ReportOpenFailure(RunLog& log, const std::string& path, int errorNumber) {
  log.Printf("### Can't open file '%s' for read. Reason: %s. ###\n", path.c_str(), ErrnoText(errorNumber).c_str());
}

std::string_view WithoutLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  return line;
}

void WriteLine(RunLog& log, int lineNumber, std::string_view line) {
  log.Printf("Line %6d: ", lineNumber);
  log.Write(line);
  log.Write("\n");
}

// Counting mode: every line of every list, comments and blank lines included, and a bound for the
// bytes of their texts (a text is no longer than its line).
bool CountLines(const ConverterConfig& config, RunLog& log, LineReader& reader, int64_t& lines, size_t& textBytes) {
  lines = 0;
  textBytes = 0;
  for (const SubcategoryConfig& sub : config.subcategories) {
    if (!reader.Open(ConverterPath(sub.ascFile))) {
      ReportOpenFailure(log, sub.ascFile, errno);
      return false;
    }
    std::string_view line;
    while (reader.Next(line)) {
      ++lines;
      if (sub.includeTexts) textBytes += std::min(line.size(), kMaxTextLength);
    }
    if (reader.Failed()) {
      ReportOpenFailure(log, sub.ascFile, reader.ErrorNumber());
      return false;
    }
    reader.Close();
  }
  return true;
}

// Everything the reading will fill, so that a lack of memory shows before any parsing. The text
// store gets room for one text more than the bound: it wants room for the longest text before each
// one is written. Pages are only mapped as they are filled.
bool ReservePois(std::vector<ParsedPoi>& pois, PoiTexts& texts, SortSpace& space, int64_t lines, size_t textBytes,
                 const PoiListLimits& limits) {
  if (lines > limits.maxPois) return false;
  try {
    pois.reserve(static_cast<size_t>(lines));
    texts.Reserve(textBytes + kMaxTextLength);
    space.keys.reserve(static_cast<size_t>(lines));
    space.ordered.reserve(static_cast<size_t>(lines));
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

// Parsing mode for one list.
bool ParseList(const ConverterConfig& config, int index, RunLog& log, RunCounters& counters, LineReader& reader,
               std::vector<ParsedPoi>& pois, PoiTexts& texts, std::vector<SortKey>& keys) {
  const SubcategoryConfig& sub = config.subcategories[static_cast<size_t>(index)];
  log.Printf("\nProcessing file '%s'.\n", sub.ascFile.c_str());
  if (!reader.Open(ConverterPath(sub.ascFile))) {
    ReportOpenFailure(log, sub.ascFile, errno);
    return false;
  }
  const bool navigon = config.target == TargetSystem::kNavigonOem;
  int lineNumber = 0;
  int errors = 0;
  std::string_view raw;
  while (reader.Next(raw)) {
    if (!reader.Continued()) ++lineNumber;
    const std::string_view line = WithoutLineEnd(raw);
    if (config.logLevel != 0) WriteLine(log, lineNumber, line);
    // The slot is filled in place; a line that gives no POI gives it back.
    ParsedPoi& poi = pois.emplace_back();
    const char* reason = nullptr;
    const PoiLineResult result = ParsePoiLine(line, sub, index, navigon, texts, poi, &reason);
    if (result == PoiLineResult::kPoi) {
      keys.push_back({PositionKey(poi), static_cast<uint32_t>(pois.size() - 1)});
      continue;
    }
    pois.pop_back();
    if (result == PoiLineResult::kRejected) {
      // With a log level the line already stands right above.
      if (config.logLevel == 0) WriteLine(log, lineNumber, line);
      log.Printf("## Can't decode the line above: '%s' ##\n", reason);
      ++errors;
    }
  }
  const bool failed = reader.Failed();
  const int errorNumber = reader.ErrorNumber();
  reader.Close();
  counters.badPois += errors;
  if (errors != 0) log.Printf("## %d Error(s) detected in file '%s'. ##\n", errors, sub.ascFile.c_str());
  if (failed) {
    ReportOpenFailure(log, sub.ascFile, errorNumber);
    return false;
  }
  return true;
}

}  // namespace

int ReadPoiLists(const ConverterConfig& config, RunLog& log, RunCounters& counters, std::vector<ParsedPoi>& pois,
                 PoiTexts& texts) {
  return ReadPoiLists(config, log, counters, pois, texts, PoiListLimits{});
}

int ReadPoiLists(const ConverterConfig& config, RunLog& log, RunCounters& counters, std::vector<ParsedPoi>& pois,
                 PoiTexts& texts, const PoiListLimits& limits) {
  pois.clear();
  texts.Clear();
  counters.pois = 0;
  LineReader reader(limits.maxLineLength != 0 ? limits.maxLineLength : kMaxPoiLineLength);

  int64_t lines = 0;
  size_t textBytes = 0;
  if (!CountLines(config, log, reader, lines, textBytes)) return -1;
  SortSpace space;
  if (!ReservePois(pois, texts, space, lines, textBytes, limits)) {
    log.Printf("### Not enough memory for %d POIs.###\n", static_cast<int>(std::min<int64_t>(lines, INT_MAX)));
    pois.clear();
    pois.shrink_to_fit();
    texts.Clear();
    return -1;
  }

  // The array is large and fresh; its pages are mapped by the other core while this one parses.
  platform::BackgroundPrefault prefault(pois.data(), pois.capacity() * sizeof(ParsedPoi));
  for (size_t i = 0; i < config.subcategories.size(); ++i) {
    if (!ParseList(config, static_cast<int>(i), log, counters, reader, pois, texts, space.keys)) return -1;
  }
  SortByKeys(pois, space);
  counters.pois = static_cast<int>(pois.size());
  log.Printf("\nTotal number of POIs: %d\n", counters.pois);
  return 0;
}

}  // namespace converter
