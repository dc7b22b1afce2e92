#include "warner/headless/replay.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/errors/errors.h"
#include "platform/paths/paths.h"
#include "platform/sound/sound_player.h"
#include "warner/core/alarm/alarm_output.h"
#include "warner/core/alarm/satellite_sounds.h"
#include "warner/core/database/poi_database.h"
#include "warner/core/engine/poi_source.h"
#include "warner/core/engine/warning_engine.h"
#include "warner/core/settings/warner_settings.h"
#include "warner/core/worker/gps_worker.h"
#include "warner/gps/conversions.h"
#include "warner/gps/nmea_decoder.h"
#include "warner/headless/event_printer.h"
#include "warner/headless/file_byte_source.h"

namespace warner {

namespace {

void SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The values the main window's spins hand to the engine at start-up, and the rest it reads.
EngineSettings EngineSettingsFrom(const WarnerSettings& s) {
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
  return e;
}

// The alarm output's satellite sounds, reported to the printer when they play.
class PrintedSatelliteSounds final : public SatelliteSoundOutput {
 public:
  PrintedSatelliteSounds(SatelliteSounds& sounds, EventPrinter& printer) : sounds_(sounds), printer_(printer) {}
  void Reset() override { sounds_.Reset(); }
  void SatFixRegained(int32_t type) override {
    if (sounds_.SatFixRegained(type)) printer_.SatelliteSound(true, platform::ToLinuxPath(sounds_.lastPath()));
  }
  void SatFixLost(int32_t typeBits) override {
    if (sounds_.SatFixLost(typeBits)) printer_.SatelliteSound(false, platform::ToLinuxPath(sounds_.lastPath()));
  }

 private:
  SatelliteSounds& sounds_;
  EventPrinter& printer_;
};

WarnerSettings ReadSettings(const std::string& folder, platform::Reporter& reporter) {
  WarnerSettings settings;
  SetDefaultSettings(settings, ProgramMode::kSentry, folder);
  ReadMainWindowValues(settings, reporter);
  ReadGlobalSettings(settings, reporter);
  InitialiseSpinValues(settings);
  return settings;
}

}  // namespace

int RunReplay(const ReplayOptions& options, std::FILE* out, platform::Reporter& reporter) {
  const std::string folder = platform::EnsureTrailingSeparator(options.programFolder.empty() ? platform::ProgramFolder()
                                                                                             : options.programFolder);
  EnsureSystemSounds();
  const WarnerSettings settings = ReadSettings(folder, reporter);

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> log(std::fopen(options.logFile.c_str(), "rb"), &std::fclose);
  if (!log) {
    platform::SetLastErrorFromErrno(errno);
    reporter.ErrorLastError("Can't open the GPS log '%s'.\n", options.logFile.c_str());
    return kReplayLogUnreadable;
  }

  platform::CriticalSection gpsFixLock;
  gps::NmeaDecoder decoder(gpsFixLock);
  decoder.SetSettings({settings.writeMergedLog, settings.evaluateTMC});
  PoiDatabase database(reporter, {folder, DatabaseFileName(0)});
  const DatabasePoiSource pois(database);
  const std::unique_ptr<platform::SoundPlayer> player = platform::CreateSoundPlayerFromEnvironment();
  EventPrinter printer(
      out, options.json, decoder, pois, [&](std::string_view name, std::string_view fallback, bool categoryText) {
        SoundPaths paths;
        PlayNamedSound(*player, name, folder, fallback, paths, categoryText ? NameCoding::kCp1252 : NameCoding::kUtf8);
        return platform::ToLinuxPath(paths.path);
      });
  printer.SetCurrentPositionFile(platform::ToLinuxPath(settings.actPosFolder + settings.actPosFileName));

  WarningEngine engine(gpsFixLock, printer);
  EngineSettings engineSettings = EngineSettingsFrom(settings);
  engineSettings.testEveryRecord = options.testEveryRecord;
  engine.ApplySettings(engineSettings);
  database.SetUnloadObserver([&] {
    engine.ClearTrackedPois();
    engine.ResetEngine();
  });
  if (database.ActivatePoiDatabase(settings.logSntFileMissing) != 0) return kReplayNoDatabase;
  engine.SetDatabase(&pois);

  SatelliteSounds satelliteSounds(*player, settings);
  PrintedSatelliteSounds sounds(satelliteSounds, printer);
  GpsWorker worker(decoder, engine, sounds, printer,
                   {settings.playSatFixSound, settings.evaluateTMC, settings.writeMergedLog}, &SleepMs);
  FileByteSource source(log.get(), options.paced ? settings.baudRate : 0, &SleepMs);
  const std::atomic<bool> stop{false};
  const uint32_t code = worker.Run(source, stop);
  database.UnloadPoiDatabase();
  return code == platform::kErrorHandleEof ? kReplayDone : kReplaySourceFailed;
}

}  // namespace warner
