// Any bytes as POI list lines: the first byte picks the column separator, the target and whether
// texts are kept; the rest goes through the line parser once as one line and once split at its
// line ends, as the list reader splits a file.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "converter/poi_list/poi_list_reader.h"

namespace {

void Check(std::string_view line, const converter::SubcategoryConfig& sub, bool navigon) {
  converter::PoiTexts texts;
  converter::ParsedPoi poi;
  const char* reason = nullptr;
  const converter::PoiLineResult result = converter::ParsePoiLine(line, sub, 7, navigon, texts, poi, &reason);
  if (result != converter::PoiLineResult::kPoi) {
    // Only a POI leaves a text behind.
    if (texts.Size() != 0) std::abort();
    if (result == converter::PoiLineResult::kRejected && (reason == nullptr || *reason == '\0')) std::abort();
    return;
  }

  const std::string_view text = texts.View(poi.text);
  if (text.size() != texts.Size() || text.size() > converter::PoiTexts::kMaxLength) std::abort();
  if (!sub.includeTexts && !text.empty()) std::abort();
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 32 || c == '"') std::abort();
    if (navigon && (c == '/' || c == '%')) std::abort();
  }
  for (double v : {poi.x, poi.y}) {
    if (!std::isfinite(v) || !(std::fabs(v) < 360.0)) std::abort();
  }
  if (poi.x100k != converter::ToHundredThousandths(poi.x) || poi.y100k != converter::ToHundredThousandths(poi.y)) {
    std::abort();
  }
  if (std::abs(poi.x100k) > 36000000 || std::abs(poi.y100k) > 36000000) std::abort();
  if (poi.heightFlags != 0) {
    if (poi.heightFlags != 0x8000 || !(poi.heightPlus >= 0.0 && poi.heightPlus <= 34767.0)) std::abort();
  } else if (poi.heightPlus != 0.0) {
    std::abort();
  }
  if (poi.directionFlags != 0) {
    if ((poi.directionFlags & ~0x4000) != 0x8000) std::abort();
    if (!(poi.directionTenths >= 0.0 && poi.directionTenths < 3600.0)) std::abort();
  } else if (poi.directionTenths != 0.0) {
    std::abort();
  }
  if (poi.subcategory != 7 || poi.categoryNumber != sub.categoryNumber || poi.datOffset != -1 || poi.namOffset != -1) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t flags = data[0];
  converter::SubcategoryConfig sub;
  // Mostly the usual separators, sometimes any byte.
  static const char kSeparators[] = {',', ';', '\t', ' ', '|', ':', '.', '"'};
  sub.separator = (flags & 0x80) != 0 ? static_cast<char>(flags << 1) : kSeparators[flags & 7];
  sub.includeTexts = (flags & 0x10) == 0;
  sub.categoryNumber = 5;
  const bool navigon = (flags & 0x20) != 0;

  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  Check(text, sub, navigon);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    Check(line, sub, navigon);
    start = end + 1;
  }
  return 0;
}
