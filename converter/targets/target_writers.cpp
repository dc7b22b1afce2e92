#include "converter/targets/target_writers.h"

namespace converter {

int WriteTargetFiles(const ConverterConfig& config, std::vector<ParsedPoi>& pois, const PoiTexts& texts, RunLog& log,
                     std::string* producerText) {
  switch (config.target) {
    case TargetSystem::kSntOnly: return 0;
    case TargetSystem::kNavigonOem: return WriteNavigonOem(config, pois, texts, log, producerText);
    case TargetSystem::kMapAndGuideCsv: return WriteMapAndGuideCsv(config, pois, texts, log);
    case TargetSystem::kDestinatorCsv: return WriteDestinatorCsv(config, pois, texts, log);
  }
  return 0;
}

}  // namespace converter
