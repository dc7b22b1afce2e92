#pragma once
// Writes the warner's POI database (.snt, laid out by formats/snt): one category record per
// subcategory that has a warning sound, then the POI records in the order of the sorted POI array.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "converter/common/converter_config.h"
#include "converter/common/parsed_poi.h"
#include "converter/common/run_log.h"
#include "converter/common/staged_outputs.h"

namespace converter {

// Writes config.waypostPath. When no subcategory has a WAVFile text nothing is written (an old file
// stays) and the result is 0. producerText goes into the 80-byte producer field (cut to 80 bytes).
// Returns 0, or -1 after its message in the log; adds the records written to counters.warningPois.
// The file is staged in `staged` (see OutputFile in converter/targets).
int WriteSntDatabase(const ConverterConfig& config, const std::vector<ParsedPoi>& pois, std::string_view producerText,
                     RunLog& log, RunCounters& counters, StagedOutputs* staged = nullptr);

// The whole database in memory, so that it can be built while the navigation files are written.
// Empty when no subcategory has a WAVFile text.
struct SntImage {
  std::vector<uint8_t> bytes;
  int32_t poiCount = 0;
};
SntImage BuildSntImage(const ConverterConfig& config, const std::vector<ParsedPoi>& pois,
                       std::string_view producerText);
// Writes an image to config.waypostPath (nothing for an empty image): 0, or -1 after its message.
// Adds its records to counters.warningPois once they are on disk (staged in `staged` when given).
int WriteSntImage(const ConverterConfig& config, const SntImage& image, RunLog& log, RunCounters& counters,
                  StagedOutputs* staged = nullptr);

// The text of a subcategory's category record: its WAVFile text, or "<-" and its SubGroup name for a
// WAVFile text that starts with "<-".
std::string SntCategoryText(const SubcategoryConfig& sub);

// The warning distance field for a SentryDistance text: metres, or seconds with bit 15 set.
uint16_t SentryDistanceCode(std::string_view text);
// The height field of a POI (see snt::EncodeHeight); 0 without a height.
uint16_t HeightCode(const ParsedPoi& poi);
// The direction field of a POI (see snt::EncodeDirection); 0 without a direction.
uint16_t DirectionCode(const ParsedPoi& poi);

}  // namespace converter
