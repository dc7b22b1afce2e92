// placeforge: converts POI lists into the warner's database and the POI files of a navigation
// program, as its configuration file says. One conversion per start; the exit code is the run's
// result (0 done, 1 configuration not opened, 2 configuration/log/folder error, 3 conversion
// failed; 128 + the signal number when SIGINT or SIGTERM stopped it). The output files are put in
// place only when all of them are written: a run that fails or is stopped leaves the previous ones.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "converter/common/banner.h"
#include "converter/common/run_log.h"
#include "converter/run/conversion_run.h"
#include "platform/console/console.h"
#include "platform/files/file_replacement.h"

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

// Without a log file the details stand on the console, above the summary.
const char* SeeLogfile(const converter::ConversionRun& run) {
  return run.Config().logFile.empty() ? "" : " See logfile.";
}

void PrintSummary(const converter::ConversionRun& run) {
  const converter::ConverterConfig& config = run.Config();
  const converter::RunCounters& counters = run.Counters();
  if (config.target != converter::TargetSystem::kSntOnly) {
    std::printf("\n%d POIs converted to directory:\n%s\n", counters.pois,
                converter::LogText(config.destinationDirectory).c_str());
  }
  std::printf("\n%d POIs to watch converted to file:\n%s\n", counters.warningPois,
              converter::LogText(config.waypostPath).c_str());
  if (counters.configErrors != 0) {
    std::printf("\n## Conversion detected %d configuration file erros.%s ##\n", counters.configErrors, SeeLogfile(run));
  }
  if (counters.badPois != 0) {
    std::printf("\n## Conversion detected %d bad POIs.%s ##\n", counters.badPois, SeeLogfile(run));
  }
}

// A log or a console output with gaps must not pass for a complete one: said on the error output,
// and the exit status is no longer 0.
int CheckOutputs(const converter::RunLog& log, const std::string& logFile, bool logClosed, int result) {
  bool whole = true;
  if (!logClosed) {
    std::fprintf(stderr, "### Can't write to the logfile '%s'. Reason: %s. ###\n", converter::LogText(logFile).c_str(),
                 converter::ErrnoText(log.FileErrno()).c_str());
    whole = false;
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    std::fprintf(stderr, "### Can't write to the console. Reason: %s. ###\n", converter::ErrnoText(errno).c_str());
    whole = false;
  }
  return whole || result != converter::kRunDone ? result : converter::kRunConfigError;
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
        "(or no configuration file named, or a log that could not be written whole), 3 no\n"
        "subcategory or a POI list or output file failed, 128 + the signal number when stopped by\n"
        "SIGINT or SIGTERM. Output files change only when the whole conversion succeeds.\n");
    return 0;
  }
  // A stopped run removes the files it was writing; the previous ones stay.
  platform::RemoveReplacementsOnSignals();
  const platform::BlackOnWhiteConsole colours;
  CommandLine line = ScanArguments(argc, argv);
  std::printf("\n%s\n\n", converter::kBanner);
  if (line.configPath == nullptr) {
    std::printf("Calling sequence:\n %s [-k] ConfigurationFile\n", "Placeforge");
    if (line.waitForKey) HitAnyKey("Hit any key to continue...\n");
    return converter::kRunConfigError;
  }

  std::printf("Processing configuration File:\n%s\n", converter::LogText(line.configPath).c_str());
  std::fflush(stdout);
  converter::RunLog log(stdout);
  converter::ConversionRun run(log);
  int result = run.Run(line.configPath);
  const bool logClosed = log.CloseFile();
  if (run.Config().waitConfirmSet) line.waitForKey = run.Config().waitConfirm != 0;

  if (result != converter::kRunDone) {
    std::printf("\n### Conversion was not done.%s ###\n", SeeLogfile(run));
  } else {
    PrintSummary(run);
  }
  const std::string& logFile = run.Config().logFile;
  if (!logFile.empty()) std::printf("\nLog file was written to:\n%s\n", converter::LogText(logFile).c_str());
  result = CheckOutputs(log, logFile, logClosed, result);
  if (line.waitForKey) HitAnyKey("\nHit any key to continue...\n");
  return result;
}
