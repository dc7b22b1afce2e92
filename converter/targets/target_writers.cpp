#include "converter/targets/target_writers.h"

namespace converter {

int WriteTargetFiles(const ConverterConfig& config, std::vector<ParsedPoi>& pois, const PoiTexts& texts, RunLog& log,
                     std::string* producerText, StagedOutputs* staged) {
  switch (config.target) {
    case TargetSystem::kSntOnly: return 0;
    case TargetSystem::kNavigonOem: return WriteNavigonOem(config, pois, texts, log, producerText, staged);
    case TargetSystem::kMapAndGuideCsv: return WriteMapAndGuideCsv(config, pois, texts, log, staged);
    case TargetSystem::kDestinatorCsv: return WriteDestinatorCsv(config, pois, texts, log, staged);
  }
  return 0;
}

}  // namespace converter
