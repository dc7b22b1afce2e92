#include "converter/targets/target_writers.h"

namespace converter {

int WriteTargetFiles(const ConverterConfig& config, std::vector<ParsedPoi>& pois, RunLog& log,
                     std::string* producerText) {
  switch (config.target) {
    case TargetSystem::kSntOnly: return 0;
    case TargetSystem::kNavigonOem: return WriteNavigonOem(config, pois, log, producerText);
    case TargetSystem::kMapAndGuideCsv: return WriteMapAndGuideCsv(config, pois, log);
    case TargetSystem::kDestinatorCsv: return WriteDestinatorCsv(config, pois, log);
  }
  return 0;
}

}  // namespace converter
