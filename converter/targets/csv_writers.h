#pragma once
// The two comma-separated targets: per subcategory, in configuration order, one CSV file with a
// line per POI and a byte copy of the subcategory's bitmap. Each returns 0, or -1 after its message
// in the log. The files are staged in `staged` (see OutputFile).

#include <vector>

#include "converter/common/converter_config.h"
#include "converter/common/parsed_poi.h"
#include "converter/common/run_log.h"
#include "converter/common/staged_outputs.h"

namespace converter {

// The longest subcategory name the MapAndGuideCSV reader takes.
inline constexpr int kMaxMapAndGuideName = 13;

// DestinationDirectory + name + ".adr\" per subcategory (created with its parents), holding
// name + ".csv" and name + ".bmp".
int WriteMapAndGuideCsv(const ConverterConfig& config, const std::vector<ParsedPoi>& pois, const PoiTexts& texts,
                        RunLog& log, StagedOutputs* staged = nullptr);

// DestinationDirectory + name + ".csv" and + ".bmp" per subcategory.
int WriteDestinatorCsv(const ConverterConfig& config, const std::vector<ParsedPoi>& pois, const PoiTexts& texts,
                       RunLog& log, StagedOutputs* staged = nullptr);

}  // namespace converter
