#pragma once
// The navigation target writers: besides the warner database, a run writes the POI files of the one
// navigation program its TargetSystem names.
//
// Adding a target format:
//   1. Add its code to TargetSystem (converter/common/converter_config.h) and its name to the
//      configuration reader.
//   2. Write one file named after the format, <format>.cpp, with its header (or a line in an
//      existing header of like formats, as csv_writers.h):
//        int Write<Format>(const ConverterConfig& config, const std::vector<ParsedPoi>& pois,
//                          const PoiTexts& texts, RunLog& log, StagedOutputs* staged);
//      It takes the POIs in the array's sorted order (SubcategoryBuckets gives them per
//      subcategory in one pass), opens every file through OutputFile (target_file.h) with `staged`,
//      which writes it in binary mode beside its target under ConverterPath(), so that the run puts
//      it in place with all the others, and logs the open and write failures in the run's wording;
//      it returns 0, or -1 after exactly one "###" message in the log.
//   3. Add its case to WriteTargetFiles below and golden-byte tests to tests/.

#include <string>
#include <vector>

#include "converter/common/converter_config.h"
#include "converter/common/parsed_poi.h"
#include "converter/common/run_log.h"
#include "converter/targets/csv_writers.h"
#include "converter/targets/navigon_oem_writer.h"

namespace converter {

// The files of config.target: 0, or -1 after the failure's message in the log. producerText (may be
// null) is set only by the NavigonOEM writer, which composes it; other targets leave it unchanged.
// The files are staged in `staged` (see OutputFile).
int WriteTargetFiles(const ConverterConfig& config, std::vector<ParsedPoi>& pois, const PoiTexts& texts, RunLog& log,
                     std::string* producerText, StagedOutputs* staged = nullptr);

}  // namespace converter
