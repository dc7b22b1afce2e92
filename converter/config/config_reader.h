#pragma once
// The converter's configuration reader: the passes over a configuration file in the order the
// conversion run calls them, and a whole load that collects its messages for the editor.

#include <string>
#include <vector>

#include "converter/common/converter_config.h"
#include "converter/common/run_log.h"
#include "converter/config/config_file.h"

namespace converter {

// Buffer sizes of the settings, terminator included; a value must be shorter.
inline constexpr int kPathBufferSize = 520;      // LogFile, DestinationDirectory, WaypostPath
inline constexpr int kMainGroupBufferSize = 32;  // MainGroup, SubGroup
inline constexpr int kValueSlotSize = 260;       // MapRegion and every per-subcategory value

// Makes `blocks` hold `count` empty blocks; throws std::bad_alloc when memory is short.
using BlockReserver = void (*)(std::vector<SubcategoryConfig>& blocks, int count);
void ReserveBlocks(std::vector<SubcategoryConfig>& blocks, int count);

// Each pass reads the whole file and returns "" or the error text that stops the run.

// LogFile, LogLevel, WaitConfirm.
std::string ReadLogSettings(const ConfigFile& file, ConverterConfig& config);
// Makes the configured LogFile the run's log. When it cannot be created: the message on the
// console, the name cleared, false. True when no LogFile is set.
bool OpenConfiguredLog(ConverterConfig& config, RunLog& log);
// DestinationDirectory, WaypostPath, MainGroup, MapRegion, IncludeComments, TargetSystem. Refuses
// a file whose settings have characters that Windows-1252 lacks (a UTF-8 file's): a path or name
// with '?' in their place would name another file. ReadLogSettings does the same for LogFile.
std::string ReadGlobalSettings(const ConfigFile& file, ConverterConfig& config);
// Counts the SubGroup blocks and reserves them, all values empty. Echoes every line to `echo`
// when the log level is not 0.
std::string CountSubcategories(const ConfigFile& file, ConverterConfig& config, RunLog* echo,
                               BlockReserver reserve = ReserveBlocks);
// Stores the per-subcategory values into the reserved blocks; echoes like the counting pass.
std::string ReadSubcategoryValues(const ConfigFile& file, ConverterConfig& config, RunLog* echo);
// "# Line %d: Line too long, ..." for every line that was cut; the run goes on with the cut line.
// Returns how many there were, which count as configuration errors.
int ReportCutLines(const ConfigFile& file, std::string& messages);
// Fills empty values with their defaults and computes the derived values. A colour that cannot be
// decoded becomes black, with a message to `log` and one configuration error in `counters`.
void ApplyDefaultsAndDerive(ConverterConfig& config, RunLog* log, RunCounters* counters);

enum class ConfigPass { kNone, kOpen, kLogSettings, kGlobalSettings, kCounting, kValues };

// The editor's load: every pass, messages collected as text instead of logged.
struct LoadedConfiguration {
  bool opened = false;
  int errnoValue = 0;     // why the file could not be opened
  std::string errorText;  // the text of the pass that stopped the reading
  ConfigPass failedPass = ConfigPass::kNone;
  std::string messages;  // what ReportCutLines and the defaults pass would have logged
  int configErrors = 0;
  ConverterConfig config;
};
// With applyDefaults false the values stay as read (empty where the file has none) and nothing is
// derived, which is what a table of the file's own values wants.
LoadedConfiguration LoadConfiguration(const std::string& linuxPath, bool applyDefaults = true);

}  // namespace converter
