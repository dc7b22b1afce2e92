#include <cstring>
#include <string_view>

#include "converter/targets/csv_writers.h"
#include "converter/targets/target_file.h"

namespace converter {
namespace {

// A field is quoted only when the reader would otherwise split it or take it for a quote.
char* AppendField(char* at, std::string_view text) {
  const bool quoted = text.find_first_of(",';") != std::string_view::npos;
  if (quoted) *at++ = '"';
  std::memcpy(at, text.data(), text.size());
  at += text.size();
  if (quoted) *at++ = '"';
  *at++ = ',';
  return at;
}

}  // namespace

int WriteDestinatorCsv(const ConverterConfig& config, const std::vector<ParsedPoi>& pois, const PoiTexts& texts,
                       RunLog& log, StagedOutputs* staged) {
  const SubcategoryBuckets buckets(config.subcategories.size(), pois);
  OutputFile out(log, staged);
  for (size_t s = 0; s < config.subcategories.size(); ++s) {
    const SubcategoryConfig& sub = config.subcategories[s];
    const std::string base = config.destinationDirectory + sub.subGroup;
    // The name field is the same on every line of the subcategory.
    std::string nameField(sub.subGroup.size() + 3, '\0');
    nameField.resize(static_cast<size_t>(AppendField(nameField.data(), sub.subGroup) - nameField.data()));
    if (!out.Open(base + ".csv")) return -1;
    char line[kPoiTextSize + 3 + 2 * kCoordinateTextSize + 8];
    for (const uint32_t i : buckets.Of(s)) {
      const ParsedPoi& poi = pois[i];
      char* at = AppendField(line, texts.View(poi.text));
      out.Write(line, static_cast<size_t>(at - line));
      out.Write(nameField);
      at = line;
      at += FormatCoordinate(poi.x, at);
      *at++ = ',';
      at += FormatCoordinate(poi.y, at);
      std::memcpy(at, ",,,,\n", 5);
      out.Write(line, static_cast<size_t>(at + 5 - line));
    }
    if (!out.Close()) return -1;
    if (!CopyBitmap(sub.bitmapFile, base + ".bmp", log, staged)) return -1;
  }
  return 0;
}

}  // namespace converter
