// placeforge: converts POI lists into the warner's database and the POI files of a navigation
// program, as its configuration file says. One conversion per start; the exit code is the run's
// result (0 done, 1 configuration not opened, 2 configuration/log/folder error, 3 conversion
// failed).

#include <cstdio>
#include <cstring>
#include <string>

#include "converter/common/banner.h"
#include "converter/common/run_log.h"
#include "converter/run/conversion_run.h"
#include "platform/console/console.h"

namespace {

struct CommandLine {
  bool waitForKey = true;
  const char* configPath = nullptr;
};

// Every argument that starts with '-' is an option; -k and -q switch the final key wait off.
// The last other argument is the configuration file.
CommandLine ScanArguments(int argc, char** argv) {
  CommandLine line;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (arg[0] != '-') {
      line.configPath = arg;
    } else if (arg[1] != '\0' && std::strchr("kKqQ", arg[1]) != nullptr) {
      line.waitForKey = false;
    }
  }
  return line;
}

void HitAnyKey(const char* prompt) {
  std::fputs(prompt, stdout);
  platform::WaitForKey();
}

void PrintSummary(const converter::ConversionRun& run) {
  const converter::ConverterConfig& config = run.Config();
  const converter::RunCounters& counters = run.Counters();
  if (config.target != converter::TargetSystem::kSntOnly) {
    std::printf("\n%d POIs converted to directory:\n%s\n", counters.pois, config.destinationDirectory.c_str());
  }
  std::printf("\n%d POIs to watch converted to file:\n%s\n", counters.warningPois, config.waypostPath.c_str());
  if (counters.configErrors != 0) {
    std::printf("\n## Conversion detected %d configuration file erros. See logfile. ##\n", counters.configErrors);
  }
  if (counters.badPois != 0) {
    std::printf("\n## Conversion detected %d bad POIs. See logfile. ##\n", counters.badPois);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf(
        "Usage: placeforge [-k|-q] ConfigurationFile\n"
        "Converts the POI lists named in the configuration file into the warner's .snt database\n"
        "and the POI files of the configured navigation program.\n"
        "  -k, -q  do not wait for a key at the end (never waited for when input is not a terminal)\n"
        "Exit status: 0 done, 1 configuration file not opened, 2 configuration, log or folder error\n"
        "(or no configuration file named), 3 no subcategory or a POI list or output file failed.\n");
    return 0;
  }
  const platform::BlackOnWhiteConsole colours;
  CommandLine line = ScanArguments(argc, argv);
  std::printf("\n%s\n\n", converter::kBanner);
  if (line.configPath == nullptr) {
    std::printf("Calling sequence:\n %s [-k] ConfigurationFile\n", "Placeforge");
    if (line.waitForKey) HitAnyKey("Hit any key to continue...\n");
    return converter::kRunConfigError;
  }

  std::printf("Processing configuration File:\n%s\n", line.configPath);
  std::fflush(stdout);
  converter::RunLog log(stdout);
  converter::ConversionRun run(log);
  const int result = run.Run(line.configPath);
  log.CloseFile();
  if (run.Config().waitConfirmSet) line.waitForKey = run.Config().waitConfirm != 0;

  if (result != converter::kRunDone) {
    std::printf("\n### Conversion was not done. See logfile. ###\n");
  } else {
    PrintSummary(run);
  }
  if (!run.Config().logFile.empty()) std::printf("\nLog file was written to:\n%s\n", run.Config().logFile.c_str());
  if (line.waitForKey) HitAnyKey("\nHit any key to continue...\n");
  return result;
}
