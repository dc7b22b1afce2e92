// Any bytes as a converter configuration, through every reading pass in the run's order, with the
// line echo on when the text asks for it. Whatever the text, the passes must keep their limits.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "converter/common/run_log.h"
#include "converter/config/config_reader.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckBlocks(const converter::ConverterConfig& config) {
  Check(config.subcategories.size() <= static_cast<size_t>(converter::kMaxSubcategories));
  for (const converter::SubcategoryConfig& block : config.subcategories) {
    Check(block.subGroup.size() < static_cast<size_t>(converter::kMainGroupBufferSize));
    for (const std::string* value :
         {&block.subCategory, &block.ascFile, &block.columnSeparator, &block.zoomLevelText, &block.fontName,
          &block.fontSize, &block.fontType, &block.fontColour, &block.outlineColour, &block.bitmapFile,
          &block.zoomLevelBitmap, &block.wavFile, &block.sentryDistance, &block.includeComments}) {
      Check(value->size() < static_cast<size_t>(converter::kValueSlotSize));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::FILE* sink = std::fopen("/dev/null", "w");
  converter::RunLog log(sink);
  const converter::ConfigFile file =
      converter::ConfigFile::FromText(std::string_view(reinterpret_cast<const char*>(data), size));
  // A line is cut to its limit, line end kept: the rest of it never shows as a line of its own.
  for (const converter::ConfigFile::Line& line : file.Lines()) {
    const size_t lineEnd = line.text.find('\n');
    Check(lineEnd == std::string::npos || lineEnd + 1 == line.text.size());
    Check(line.text.size() - (lineEnd == std::string::npos ? 0 : 1) <= converter::kMaxConfigLineLength);
  }
  std::string messages;
  Check(converter::ReportCutLines(file, messages) <= static_cast<int>(file.Lines().size()));

  converter::ConverterConfig config;
  if (!converter::ReadLogSettings(file, config).empty()) return 0;
  Check(config.logFile.size() < static_cast<size_t>(converter::kPathBufferSize));
  if (!converter::ReadGlobalSettings(file, config).empty()) return 0;
  Check(config.destinationDirectory.size() <= static_cast<size_t>(converter::kPathBufferSize));
  Check(config.destinationDirectory.empty() || config.destinationDirectory.back() == '\\' ||
        config.destinationDirectory.back() == '/');
  Check(config.mainGroup.size() < static_cast<size_t>(converter::kMainGroupBufferSize));
  if (!converter::CountSubcategories(file, config, &log).empty()) return 0;
  if (!converter::ReadSubcategoryValues(file, config, &log).empty()) return 0;
  CheckBlocks(config);

  converter::RunCounters counters;
  converter::ApplyDefaultsAndDerive(config, &log, &counters);
  CheckBlocks(config);
  Check(counters.configErrors >= 0 && counters.configErrors <= 2 * static_cast<int>(config.subcategories.size()));
  for (const converter::SubcategoryConfig& block : config.subcategories) {
    Check(!block.fontName.empty() && !block.columnSeparator.empty());
  }
  return 0;
}
