#include "converter/snt/snt_writer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "converter/poi_list/decimal_number.h"
#include "platform/bytes/little_endian.h"

namespace converter {
namespace {

constexpr size_t kFirstCategoryOffset = kSntHeaderSize;
constexpr size_t kCategoryRecordOverhead = 3;  // uint16 length and the terminator
constexpr uint16_t kSecondsFlag = 0x8000;
constexpr uint16_t kHeightFlag = 0x8000;
constexpr double kMaxHeightCode = 32767.0;  // 30000 m
constexpr double kMaxDirectionTenths = 3600.0;
constexpr double kMaxDistance = 32767.0;

void PutLe16(uint8_t* out, uint16_t value) { platform::PutLe16(out, value); }
void PutLe32(uint8_t* out, int32_t value) { platform::PutLe32(out, static_cast<uint32_t>(value)); }

struct SntCategory {
  std::string text;
  int32_t offset = 0;
};

struct SntHeaderValues {
  std::string_view producer;
  int32_t fileLength = 0;
  int32_t poiCount = 0;
  int32_t categoryCount = 0;
  int32_t poiOffset = 0;
};

// Fills the kSntHeaderSize bytes at `header`.
void BuildHeader(const SntHeaderValues& values, uint8_t* header) {
  std::memset(header, 0, kSntHeaderSize);
  std::memcpy(header, "snt", 3);
  std::memcpy(header + 3, values.producer.data(), std::min(values.producer.size(), kSntProducerSize));
  PutLe32(header + 84, values.fileLength);
  PutLe32(header + 88, values.poiCount);
  PutLe32(header + 92, values.categoryCount);
  PutLe32(header + 96, values.poiOffset);
}

bool ContainsUnit(std::string_view lowered, std::string_view unit) {
  return lowered.find(unit) != std::string_view::npos;
}

}  // namespace

std::string SntCategoryText(const SubcategoryConfig& sub) {
  // "<-" points the warner at the subcategory's own name: sound and bitmap named like it.
  if (sub.wavFile.compare(0, 2, "<-") == 0) return "<-" + sub.subGroup;
  return sub.wavFile;
}

uint16_t SentryDistanceCode(std::string_view text) {
  if (text.empty()) return 200;
  double value = 0.0;
  size_t end = 0;
  ReadDecimal(text, false, value, &end);
  char lowered[260];
  const std::string_view rest = text.substr(end);
  const size_t n = std::min(rest.size(), sizeof lowered);
  for (size_t i = 0; i < n; ++i) {
    const char c = rest[i];
    lowered[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  const std::string_view units(lowered, n);
  bool seconds = false;
  if (ContainsUnit(units, "nm")) {
    value *= 1852.0;
  } else if (ContainsUnit(units, "mi")) {
    value *= 1609.344;
  } else if (ContainsUnit(units, "ft")) {
    value *= 0.3048;
  } else if (ContainsUnit(units, "km")) {
    value *= 1000.0;
  } else if (ContainsUnit(units, "s")) {
    seconds = true;
  }
  value = std::min(value, kMaxDistance);
  if (!(value > 0.0)) value = seconds ? 10.0 : 200.0;
  auto code = static_cast<uint16_t>(value);  // 0 < value <= 32767: the fraction is dropped
  // A value below 1 would drop to 0, which the warner would take as "no distance".
  if (code == 0) code = 1;
  return seconds ? static_cast<uint16_t>(code | kSecondsFlag) : code;
}

uint16_t HeightCode(const ParsedPoi& poi) {
  if ((poi.heightFlags & kHeightFlag) == 0) return 0;
  double value = std::trunc(poi.heightPlus);
  if (!(value >= 0.0)) value = 0.0;
  value = std::min(value, kMaxHeightCode);
  return static_cast<uint16_t>(kHeightFlag | static_cast<uint16_t>(value));
}

uint16_t DirectionCode(const ParsedPoi& poi) {
  if ((poi.directionFlags & 0x8000) == 0) return 0;
  double tenths = std::floor(poi.directionTenths + 0.5);  // never negative
  if (!(tenths >= 0.0)) tenths = 0.0;
  tenths = std::min(tenths, kMaxDirectionTenths);
  return static_cast<uint16_t>((poi.directionFlags & 0xC000) | static_cast<uint16_t>(tenths));
}

SntImage BuildSntImage(const ConverterConfig& config, const std::vector<ParsedPoi>& pois,
                       std::string_view producerText) {
  // The categories, in configuration order, and where each record lies.
  std::vector<SntCategory> categories;
  std::vector<int32_t> offsetOf(config.subcategories.size(), -1);
  std::vector<uint16_t> distanceOf(config.subcategories.size(), 0);
  size_t end = kFirstCategoryOffset;
  for (size_t i = 0; i < config.subcategories.size(); ++i) {
    const SubcategoryConfig& sub = config.subcategories[i];
    if (sub.wavFile.empty()) continue;
    SntCategory category{SntCategoryText(sub), static_cast<int32_t>(end)};
    if (category.text.size() > 0xFFFF) category.text.resize(0xFFFF);  // the length field is 16 bits
    offsetOf[i] = category.offset;
    distanceOf[i] = SentryDistanceCode(sub.sentryDistance);
    end += kCategoryRecordOverhead + category.text.size();
    categories.push_back(std::move(category));
  }
  SntImage image;
  if (categories.empty()) return image;

  auto selected = [&](const ParsedPoi& poi) {
    return poi.subcategory >= 0 && static_cast<size_t>(poi.subcategory) < offsetOf.size() &&
           offsetOf[static_cast<size_t>(poi.subcategory)] >= 0;
  };
  image.poiCount = static_cast<int32_t>(std::count_if(pois.begin(), pois.end(), selected));
  const size_t poiOffset = (end + 8) & ~size_t{7};
  image.bytes.assign(poiOffset + kSntPoiRecordSize * static_cast<size_t>(image.poiCount), 0);

  const SntHeaderValues values{producerText, static_cast<int32_t>(image.bytes.size()), image.poiCount,
                               static_cast<int32_t>(categories.size()), static_cast<int32_t>(poiOffset)};
  BuildHeader(values, image.bytes.data());
  for (const SntCategory& category : categories) {
    uint8_t* record = image.bytes.data() + category.offset;
    PutLe16(record, static_cast<uint16_t>(category.text.size()));
    std::memcpy(record + 2, category.text.data(), category.text.size());  // the terminator is already 0
  }
  uint8_t* record = image.bytes.data() + poiOffset;
  for (const ParsedPoi& poi : pois) {
    if (!selected(poi)) continue;
    const auto sub = static_cast<size_t>(poi.subcategory);
    PutLe32(record + 0, poi.x100k);
    PutLe32(record + 4, poi.y100k);
    PutLe16(record + 8, distanceOf[sub]);
    PutLe16(record + 10, HeightCode(poi));
    PutLe32(record + 12, offsetOf[sub]);
    PutLe16(record + 16, DirectionCode(poi));
    record += kSntPoiRecordSize;
  }
  return image;
}

int WriteSntImage(const ConverterConfig& config, const SntImage& image, RunLog& log, RunCounters& counters,
                  StagedOutputs* staged) {
  if (image.bytes.empty()) return 0;
  const std::string& path = config.waypostPath;
  if (path.empty()) {
    log.Printf("### Can't open file '%s' for write. Reason: %s. ###\n", "the sentry file", "No valid filename");
    return -1;
  }
  StagedOutputs own;
  StagedOutputs& outputs = staged != nullptr ? *staged : own;
  std::FILE* file = outputs.Create(path, &log, image.bytes.size());
  if (file == nullptr) return -1;
  if (std::fwrite(image.bytes.data(), 1, image.bytes.size(), file) != image.bytes.size()) {
    // The stream stays with the set, which removes it.
    log.Printf("### Can't write to file '%s'. Reason: %s. ###\n", path.c_str(), ErrnoText(errno).c_str());
    return -1;
  }
  if (!outputs.Finish(file, &log) || (staged == nullptr && !own.Commit(log))) return -1;
  counters.warningPois += image.poiCount;
  return 0;
}

int WriteSntDatabase(const ConverterConfig& config, const std::vector<ParsedPoi>& pois, std::string_view producerText,
                     RunLog& log, RunCounters& counters, StagedOutputs* staged) {
  return WriteSntImage(config, BuildSntImage(config, pois, producerText), log, counters, staged);
}

}  // namespace converter
