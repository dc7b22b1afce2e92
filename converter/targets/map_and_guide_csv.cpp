#include <cstdio>
#include <cstring>
#include <string_view>

#include "converter/targets/csv_writers.h"
#include "converter/targets/target_file.h"
#include "platform/errors/errors.h"
#include "platform/paths/paths.h"

namespace converter {
namespace {

// x,y,"text","","","","","",category
size_t FormatLine(const ParsedPoi& poi, std::string_view text, int16_t categoryNumber, char* line) {
  char* at = line;
  at += FormatCoordinate(poi.x, at);
  *at++ = ',';
  at += FormatCoordinate(poi.y, at);
  *at++ = ',';
  *at++ = '"';
  std::memcpy(at, text.data(), text.size());
  at += text.size();
  static constexpr char kEmptyFields[] = "\",\"\",\"\",\"\",\"\",\"\",";
  std::memcpy(at, kEmptyFields, sizeof kEmptyFields - 1);
  at += sizeof kEmptyFields - 1;
  at += std::snprintf(at, 16, "%d\n", categoryNumber);
  return static_cast<size_t>(at - line);
}

}  // namespace

int WriteMapAndGuideCsv(const ConverterConfig& config, const std::vector<ParsedPoi>& pois, const PoiTexts& texts,
                        RunLog& log, StagedOutputs* staged) {
  // Checked for all subcategories first, so a bad name leaves no folders half made.
  for (const SubcategoryConfig& sub : config.subcategories) {
    if (sub.subGroup.size() > static_cast<size_t>(kMaxMapAndGuideName)) {
      log.Printf("### The subcategory name '%s' is too long for MuG, max %d characters allowed. ###\n",
                 sub.subGroup.c_str(), kMaxMapAndGuideName);
      return -1;
    }
  }
  const SubcategoryBuckets buckets(config.subcategories.size(), pois);
  OutputFile out(log, staged);
  char line[2 * kCoordinateTextSize + kPoiTextSize + 64];
  for (size_t s = 0; s < config.subcategories.size(); ++s) {
    const SubcategoryConfig& sub = config.subcategories[s];
    const std::string folder = config.destinationDirectory + sub.subGroup + ".adr\\";
    if (!platform::CreateFolders(ConverterPath(folder))) {
      log.Printf("### Can't create the directory '%s'. Reason: %s ###\n", folder.c_str(),
                 platform::ErrorText(platform::GetLastError()).c_str());
      return -1;
    }
    if (!out.Open(folder + sub.subGroup + ".csv")) return -1;
    for (const uint32_t i : buckets.Of(s)) {
      out.Write(line, FormatLine(pois[i], texts.View(pois[i].text), sub.categoryNumber, line));
    }
    if (!out.Close()) return -1;
    if (!CopyBitmap(sub.bitmapFile, folder + sub.subGroup + ".bmp", log, staged)) return -1;
  }
  return 0;
}

}  // namespace converter
