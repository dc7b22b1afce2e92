#include "warner/headless/headless_warner.h"

#include "platform/paths/paths.h"
#include "warner/core/alarm/alarm_output.h"
#include "warner/gps/conversions.h"

namespace warner {

namespace {

// The values the main window's spins hand to the engine at start-up, and the rest it reads.
EngineSettings EngineSettingsFrom(const WarnerSettings& s, bool testEveryRecord) {
  EngineSettings e;
  e.watchAngle = s.watchAngle;
  e.directionToleranceAngle = s.directionToleranceAngle;
  e.speedsToAverage = s.speedsToAverage;
  e.speedLimitKmh = s.speedLimit / gps::ConvertKmh(1.0, s.speedLimitDimension);
  e.speedLimitWavFile = s.speedLimitWAVFile;
  e.writeActPos = s.writeActPos;
  e.registeredMessageName = s.registeredMessageName;
  e.fileMessageName = s.fileMessageName.empty() ? std::string() : platform::ToLinuxPath(s.fileMessageName);
  e.announceOpenTime = s.announceOpenTime;
  e.testEveryRecord = testEveryRecord;
  return e;
}

WarnerSettings ReadSettings(const std::string& folder, platform::Reporter& reporter) {
  EnsureSystemSounds();
  WarnerSettings settings;
  SetDefaultSettings(settings, ProgramMode::kSentry, folder);
  ReadMainWindowValues(settings, reporter);
  ReadGlobalSettings(settings, reporter);
  InitialiseSpinValues(settings);
  return settings;
}

bool UsesSeparateTmcSource(int evaluateTmc) { return evaluateTmc == 2 || evaluateTmc == -2; }

// The folder as a Linux path ending in '/': "." and "name" must find the files exactly as their
// absolute forms do.
std::string ProgramFolderOf(const std::string& given) {
  if (given.empty()) return platform::ProgramFolder();
  return platform::ToLinuxPath(platform::EnsureTrailingSeparator(platform::ToLinuxPath(given)));
}

}  // namespace

void HeadlessWarner::PrintedSatelliteSounds::SatFixRegained(int32_t type) {
  if (sounds_.SatFixRegained(type)) printer_.SatelliteSound(true, platform::ToLinuxPath(sounds_.lastPath()));
}

void HeadlessWarner::PrintedSatelliteSounds::SatFixLost(int32_t typeBits) {
  if (sounds_.SatFixLost(typeBits)) printer_.SatelliteSound(false, platform::ToLinuxPath(sounds_.lastPath()));
}

HeadlessWarner::HeadlessWarner(const HeadlessOptions& options, std::FILE* out, platform::Reporter& reporter,
                               std::function<void(uint32_t ms)> sleep)
    : reporter_(reporter),
      folder_(ProgramFolderOf(options.programFolder)),
      settings_(ReadSettings(folder_, reporter)),
      decoder_(gpsFixLock_),
      database_(reporter, {folder_, DatabaseFileName(0)}),
      pois_(database_),
      player_(platform::CreateSoundPlayerFromEnvironment()),
      printer_(out, options.json, decoder_, pois_,
               [this](std::string_view name, std::string_view fallback, bool categoryText) {
                 return PlaySound(name, fallback, categoryText);
               }),
      engine_(gpsFixLock_, printer_),
      satelliteSounds_(*player_, settings_),
      sounds_(satelliteSounds_, printer_),
      worker_(decoder_, engine_, sounds_, printer_,
              {settings_.playSatFixSound, settings_.evaluateTMC, settings_.writeMergedLog}, std::move(sleep)),
      traffic_(reporter, clock_) {
  decoder_.SetSettings({settings_.writeMergedLog, settings_.evaluateTMC});
  printer_.SetCurrentPositionFile(platform::ToLinuxPath(settings_.actPosFolder + settings_.actPosFileName));
  engine_.ApplySettings(EngineSettingsFrom(settings_, options.testEveryRecord));
  database_.SetUnloadObserver([this] {
    engine_.ClearTrackedPois();
    engine_.ResetEngine();
  });
  StartTraffic();
}

HeadlessWarner::~HeadlessWarner() {
  database_.UnloadPoiDatabase();
  traffic_.StopTraffic(settings_);
}

void HeadlessWarner::StartTraffic() {
  traffic_.StartTraffic(settings_);
  traffic::CRDSDecoder* rds = traffic_.Decoder();
  if (rds == nullptr) return;
  rds->SetLogObserver([this](std::string_view line) { printer_.TrafficMessage(line); });
  // Records embedded in the GPS stream go from the framer straight to the decoder; a separate
  // TMC source is polled by the worker instead (ReadTrafficFrom).
  if (!UsesSeparateTmcSource(settings_.evaluateTMC)) decoder_.SetTmcSink(rds);
}

bool HeadlessWarner::ReadsSeparateTmcSource() {
  return traffic_.Decoder() != nullptr && UsesSeparateTmcSource(settings_.evaluateTMC);
}

void HeadlessWarner::ReadTrafficFrom(traffic::TmcReadFunction read) {
  if (!ReadsSeparateTmcSource()) return;
  trafficPort_ = std::make_unique<TrafficPort>(traffic_, std::move(read));
  worker_.SetTrafficPortReader(trafficPort_.get());
}

bool HeadlessWarner::ActivateDatabase() {
  // Only a refusal cancels: a file missing without a word (5) or with the user's consent (6) runs
  // the warner without warnings, with its satellite sounds, speed alarm and traffic.
  if (database_.ActivatePoiDatabase(settings_.logSntFileMissing) < 0) {
    if (!platform::FileExists(database_.DatabasePath())) {
      reporter_.Inform("To run without a database, set LogSntFileMissing = 0 in %s.\n",
                       platform::JoinPath(folder_, GlobalSettingsFileName(settings_.mode)).c_str());
    }
    return false;
  }
  engine_.SetDatabase(&pois_);
  return true;
}

bool HeadlessWarner::CheckOutput() {
  if (printer_.WriteError() == 0) return true;
  reporter_.ErrorCode(printer_.WriteError(), "The events could not be written to the output.\n");
  return false;
}

std::string HeadlessWarner::PlaySound(std::string_view name, std::string_view fallback, bool categoryText) {
  SoundPaths paths;
  PlayNamedSound(*player_, name, folder_, fallback, paths, categoryText ? NameCoding::kCp1252 : NameCoding::kUtf8);
  return platform::ToLinuxPath(paths.path);
}

}  // namespace warner
