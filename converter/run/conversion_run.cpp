#include "converter/run/conversion_run.h"

#include <cerrno>
#include <cstdio>
#include <thread>

#include "converter/common/banner.h"
#include "converter/config/config_reader.h"
#include "converter/poi_list/poi_list_reader.h"
#include "converter/snt/snt_writer.h"
#include "converter/targets/navigon_oem_writer.h"
#include "converter/targets/target_writers.h"
#include "platform/errors/errors.h"
#include "platform/paths/paths.h"

namespace converter {

namespace {

// An empty folder part (a bare file name, an empty setting) names the current folder: nothing to do.
bool CreateFolderWithParents(const std::string& folder) {
  return folder.empty() || platform::CreateFolders(ConverterPath(folder));
}

void ReportFolderFailure(RunLog& log, const std::string& folder) {
  log.Printf("### Can't create the directory '%s'. Reason: %s ###\n", folder.c_str(),
             platform::ErrorText(platform::GetLastError()).c_str());
}

}  // namespace

int ConversionRun::Run(const std::string& configPath) {
  config_ = ConverterConfig{};
  counters_ = RunCounters{};
  pois_.clear();
  pois_.shrink_to_fit();
  texts_.Clear();

  if (const int result = ReadConfiguration(configPath); result != kRunDone) return result;
  if (config_.subcategories.empty()) {
    log_.Printf("### No SubGroup in the configuration file '%s': nothing to convert. ###\n", configPath.c_str());
    return kRunConversionFailed;
  }
  ApplyDefaultsAndDerive(config_, &log_, &counters_);
  if (const int result = CreateOutputFolders(); result != kRunDone) return result;
  if (!BitmapsReadable()) return kRunConversionFailed;
  if (ReadPoiLists(config_, log_, counters_, pois_, texts_) != 0) return kRunConversionFailed;
  return WriteOutputs();
}

int ConversionRun::ReadConfiguration(const std::string& configPath) {
  ConfigFile file;
  int errnoValue = 0;
  if (!ConfigFile::Load(platform::ToLinuxPath(configPath), file, &errnoValue)) {
    log_.Printf("### Can't open file '%s' for read. Reason: %s. ###\n", configPath.c_str(),
                ErrnoText(errnoValue).c_str());
    return kRunConfigNotOpened;
  }
  std::string error = ReadLogSettings(file, config_);
  if (!error.empty()) {
    log_.Printf("%s\n", error.c_str());
    return kRunConfigError;
  }
  if (!OpenConfiguredLog(config_, log_)) return kRunConfigError;
  log_.Printf("%s\n\n", kBanner);
  log_.Printf("Processing Configuration file '%s'\n", configPath.c_str());
  if (config_.logLevel != 0) log_.Printf("\nContents of the configuration file: %s\n", configPath.c_str());

  error = ReadGlobalSettings(file, config_);
  if (error.empty()) error = CountSubcategories(file, config_, &log_);
  if (error.empty()) error = ReadSubcategoryValues(file, config_, &log_);
  if (!error.empty()) {
    log_.Printf("%s\n", error.c_str());
    return kRunConfigError;
  }
  std::string messages;
  counters_.configErrors += ReportCutLines(file, messages);
  log_.Write(messages);
  return kRunDone;
}

int ConversionRun::CreateOutputFolders() {
  if (config_.target != TargetSystem::kSntOnly && !CreateFolderWithParents(config_.destinationDirectory)) {
    ReportFolderFailure(log_, config_.destinationDirectory);
    return kRunConfigError;
  }
  if (!config_.waypostPath.empty() && !CreateFolderWithParents(platform::FolderPart(config_.waypostPath))) {
    ReportFolderFailure(log_, config_.waypostPath);
    return kRunConfigError;
  }
  return kRunDone;
}

bool ConversionRun::BitmapsReadable() {
  if (config_.target == TargetSystem::kSntOnly) return true;
  // Every navigation target takes each subcategory's bitmap. Found missing before the lists are
  // read, a bitmap costs no waiting; the run would fail at it later anyway.
  for (const SubcategoryConfig& sub : config_.subcategories) {
    std::FILE* bitmap = std::fopen(ConverterPath(sub.bitmapFile).c_str(), "rb");
    if (bitmap == nullptr) {
      log_.Printf("### Can't open file '%s' for read. Reason: %s. ###\n", sub.bitmapFile.c_str(),
                  ErrnoText(errno).c_str());
      return false;
    }
    std::fclose(bitmap);
  }
  return true;
}

int ConversionRun::WriteOutputs() {
  // The database carries the producer text only when the name file composes it. It is built on
  // the other core while the navigation files are written, and written only when they succeed.
  const std::string producerText =
      config_.target == TargetSystem::kNavigonOem ? NavigonOemProducerText() : std::string(kCompiledWith);
  SntImage database;
  std::thread builder([&] { database = BuildSntImage(config_, pois_, producerText); });
  // Nothing is put in place before every file is written: a failure leaves the last run's files.
  StagedOutputs staged;
  const int targets = WriteTargetFiles(config_, pois_, texts_, log_, nullptr, &staged);
  builder.join();
  if (targets != 0) return kRunConversionFailed;
  if (WriteSntImage(config_, database, log_, counters_, &staged) != 0) return kRunConversionFailed;
  return staged.Commit(log_) ? kRunDone : kRunConversionFailed;
}

}  // namespace converter
