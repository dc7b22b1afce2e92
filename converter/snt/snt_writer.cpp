#include "converter/snt/snt_writer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "formats/snt/snt_format.h"
#include "platform/numbers/lenient_number.h"

namespace converter {
namespace {

constexpr double kMaxDistance = snt::kDistanceMask;

struct SntCategory {
  std::string text;
  int32_t offset = 0;
};

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
  const platform::LeadingNumber number = platform::ReadLeadingReal(text, platform::kConfigNumbers);
  double value = number.value;
  const size_t end = number.end;
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
  auto whole = static_cast<int32_t>(value);  // 0 < value <= 32767: the fraction is dropped
  // A value below 1 would drop to 0, which the warner would take as "no distance".
  if (whole == 0) whole = 1;
  return snt::EncodeWarningDistance({whole, seconds});
}

uint16_t HeightCode(const ParsedPoi& poi) {
  return (poi.heightFlags & snt::kHeightFlag) != 0 ? snt::EncodeHeight(poi.heightPlus) : 0;
}

uint16_t DirectionCode(const ParsedPoi& poi) {
  if ((poi.directionFlags & snt::kDirectionFlag) == 0) return 0;
  return snt::EncodeDirection(poi.directionTenths, (poi.directionFlags & snt::kBothWaysFlag) != 0);
}

SntImage BuildSntImage(const ConverterConfig& config, const std::vector<ParsedPoi>& pois,
                       std::string_view producerText) {
  // The categories, in configuration order, and where each record lies.
  std::vector<SntCategory> categories;
  std::vector<int32_t> offsetOf(config.subcategories.size(), -1);
  std::vector<uint16_t> distanceOf(config.subcategories.size(), 0);
  size_t end = snt::kFirstCategoryOffset;
  for (size_t i = 0; i < config.subcategories.size(); ++i) {
    const SubcategoryConfig& sub = config.subcategories[i];
    if (sub.wavFile.empty()) continue;
    SntCategory category{SntCategoryText(sub), static_cast<int32_t>(end)};
    if (category.text.size() > snt::kMaxCategoryText) category.text.resize(snt::kMaxCategoryText);
    offsetOf[i] = category.offset;
    distanceOf[i] = SentryDistanceCode(sub.sentryDistance);
    end += snt::CategoryRecordSize(category.text.size());
    categories.push_back(std::move(category));
  }
  SntImage image;
  if (categories.empty()) return image;

  auto selected = [&](const ParsedPoi& poi) {
    return poi.subcategory >= 0 && static_cast<size_t>(poi.subcategory) < offsetOf.size() &&
           offsetOf[static_cast<size_t>(poi.subcategory)] >= 0;
  };
  image.poiCount = static_cast<int32_t>(std::count_if(pois.begin(), pois.end(), selected));
  const size_t poiOffset = snt::PoiRecordsOffset(end);
  image.bytes.assign(poiOffset + snt::kPoiRecordSize * static_cast<size_t>(image.poiCount), 0);

  const snt::Header header{static_cast<uint32_t>(image.bytes.size()), static_cast<uint32_t>(image.poiCount),
                           static_cast<uint32_t>(categories.size()), static_cast<uint32_t>(poiOffset)};
  snt::EncodeHeader(header, producerText, image.bytes.data());
  for (const SntCategory& category : categories) {
    snt::EncodeCategoryRecord(category.text, image.bytes.data() + category.offset);
  }
  uint8_t* record = image.bytes.data() + poiOffset;
  for (const ParsedPoi& poi : pois) {
    if (!selected(poi)) continue;
    const auto sub = static_cast<size_t>(poi.subcategory);
    snt::EncodePoiRecord({poi.x100k, poi.y100k, distanceOf[sub], HeightCode(poi), offsetOf[sub], DirectionCode(poi)},
                         record);
    record += snt::kPoiRecordSize;
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
