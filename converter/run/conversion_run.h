#pragma once
// One conversion: configuration, POI lists, the selected navigation files and the warner's
// database, in this order, with every message in the run's log. The console program and the
// configuration editor both start it; it returns the run's result code.

#include <string>
#include <vector>

#include "converter/common/converter_config.h"
#include "converter/common/parsed_poi.h"
#include "converter/common/run_log.h"

namespace converter {

enum RunResult : int {
  kRunDone = 0,
  kRunConfigNotOpened = 1,
  kRunConfigError = 2,       // configuration, log or folder error; also no configuration named
  kRunConversionFailed = 3,  // no subcategory, or a POI list or an output file failed
};

class ConversionRun {
 public:
  explicit ConversionRun(RunLog& log) : log_(log) {}

  // configPath is a path as given on a command line (Linux form, or with `\` separators).
  int Run(const std::string& configPath);

  const ConverterConfig& Config() const { return config_; }
  const RunCounters& Counters() const { return counters_; }

 private:
  int ReadConfiguration(const std::string& configPath);
  int CreateOutputFolders();
  bool BitmapsReadable();
  int WriteOutputs();

  RunLog& log_;
  ConverterConfig config_;
  RunCounters counters_;
  std::vector<ParsedPoi> pois_;
  PoiTexts texts_;
};

}  // namespace converter
