#pragma once
// The NavigonOEM target: six files that together form one POI layer of the navigation software,
// all named DestinationDirectory + MainGroup + extension. Each writer returns 0, or -1 after its
// message in the log. The files are staged in `staged` (see OutputFile).

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "converter/common/converter_config.h"
#include "converter/common/parsed_poi.h"
#include "converter/common/run_log.h"
#include "converter/common/staged_outputs.h"

namespace converter {

// The six files in order; the first failure returns -1 after its message in the log. Sets datOffset
// and namOffset of every POI. producerText (may be null) receives the name file's first entry,
// "Compiled with " + banner + publisher credit, which the .snt writer reuses.
int WriteNavigonOem(const ConverterConfig& config, std::vector<ParsedPoi>& pois, const PoiTexts& texts, RunLog& log,
                    std::string* producerText, StagedOutputs* staged = nullptr);

// DestinationDirectory + MainGroup + extension (".nam", ".dat", ...), in the configured form.
std::string NavigonOemPath(const ConverterConfig& config, std::string_view extension);

// "Compiled with " + kBanner + kPublisherCredit.
std::string NavigonOemProducerText();

// ".nam": name entries in 8192-byte blocks; sets every POI's namOffset.
int WriteNameFile(const ConverterConfig& config, std::span<ParsedPoi> pois, const PoiTexts& texts, RunLog& log,
                  std::string* producerText, StagedOutputs* staged = nullptr);
// ".dat": the coordinates; sets every POI's datOffset.
int WriteDataFile(const ConverterConfig& config, std::span<ParsedPoi> pois, RunLog& log,
                  StagedOutputs* staged = nullptr);
// ".rid": the three-level index over the POIs; needs datOffset and namOffset set.
int WriteIndexFile(const ConverterConfig& config, std::span<const ParsedPoi> pois, RunLog& log,
                   StagedOutputs* staged = nullptr);
// ".mpl": the symbols (each subcategory's bitmap streamed through) and the font records.
int WriteMapLayerFile(const ConverterConfig& config, RunLog& log, StagedOutputs* staged = nullptr);
// ".cat": one text line naming the subcategories and their category numbers.
int WriteCategoryFile(const ConverterConfig& config, RunLog& log, StagedOutputs* staged = nullptr);
// ".lvl": the layer list, one text without line end.
int WriteLayerList(const ConverterConfig& config, RunLog& log, StagedOutputs* staged = nullptr);

// The index's shape for a POI count: leaves of 127 POIs, box blocks of up to 102 leaves, and a root
// block of its own only when there are two or more box blocks.
inline constexpr int kIndexBlockSize = 2048;
inline constexpr int kPoisPerLeaf = 127;
inline constexpr int kLeavesPerBox = 102;
inline constexpr int kMaxBoxBlocks = 102;
inline constexpr size_t kMaxIndexPois = static_cast<size_t>(kMaxBoxBlocks) * kLeavesPerBox * kPoisPerLeaf;

struct IndexLayout {
  int leafBlocks = 0;
  int boxBlocks = 0;
  int rootBlock = 0;
  int blockCount = 0;
};
// Only meaningful for poiCount <= kMaxIndexPois. No POIs still give one (empty) box block as root.
IndexLayout ComputeIndexLayout(size_t poiCount);

// 0 when the index can hold poiCount POIs; else -1 after "Too many POIs for the index file" in the
// log. The index writer checks it before it creates its file.
int CheckIndexCapacity(const ConverterConfig& config, size_t poiCount, RunLog& log);

}  // namespace converter
