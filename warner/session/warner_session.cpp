#include "warner/session/warner_session.h"

#include "driver/registry/port_table.h"
#include "platform/errors/errors.h"
#include "platform/paths/paths.h"
#include "warner/core/alarm/alarm_output.h"
#include "warner/gps/conversions.h"
#include "warner/serial/port_entry.h"
#include "warner/serial/source_controls.h"
#include "warner/serial/worker_inputs.h"

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

traffic::TrafficSettings TrafficSettingsFrom(const WarnerSettings& s) {
  return {s.evaluateTMC, s.writeMergedLog, s.programFolder,
          traffic::TrafficLogPath(s.ascWriteDirPath, s.mode == ProgramMode::kRover)};
}

serial::SourceSettings SourceSettingsFrom(const WarnerSettings& s) {
  return {s.GpsPort(),   s.useTMCPort,          s.gpsSourceState,      s.tmcSourceState,
          s.evaluateTMC, s.alternateSourceFile, s.alternateSourceType, {false, s.source, s.sourceFile, s.baudRate}};
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

// The worker polls a separate TMC source only while the GPS source is idle. A log file never is,
// so while the TMC file has bytes left, every block of GPS bytes is followed by one idle read, as
// a receiver pauses between its bursts.
class PausingSource final : public ByteSource {
 public:
  PausingSource(ByteSource& gps, const bool& tmcEnded) : gps_(gps), tmcEnded_(tmcEnded) {}
  uint32_t Read(uint8_t* buffer, size_t capacity, size_t* count) override {
    if (pauseNext_ && !tmcEnded_) {
      pauseNext_ = false;
      *count = 0;
      return 0;
    }
    const uint32_t error = gps_.Read(buffer, capacity, count);
    pauseNext_ = error == 0 && *count > 0;
    return error;
  }

 private:
  ByteSource& gps_;
  const bool& tmcEnded_;
  bool pauseNext_ = false;
};

// Asks for the navigation program before each read and tells the sources.
class NavigationCheckingSource final : public ByteSource {
 public:
  NavigationCheckingSource(ByteSource& bytes, serial::SerialSources& sources, const std::function<bool()>& present)
      : bytes_(bytes), sources_(sources), present_(present) {}
  uint32_t Read(uint8_t* buffer, size_t capacity, size_t* count) override {
    sources_.SetNavigationProgramPresent(present_());
    return bytes_.Read(buffer, capacity, count);
  }

 private:
  ByteSource& bytes_;
  serial::SerialSources& sources_;
  const std::function<bool()>& present_;
};

// The source controls as the main window fills them before an activation.
void PrepareSelection(serial::SourceControls& controls, const WarnerSettings& settings, bool standAlone,
                      platform::Reporter& reporter) {
  if (standAlone) {
    controls.ToggleSourceMode();
    driver::PortTable table(driver::kWarnerPortTableSize, driver::kWarnerDeviceListChars);
    table.BuildPortTable(reporter);
    controls.FillPortCombo(table, false);
    controls.SelectPortEntry(settings.source);
  }
  controls.FillBaudCombo();
  controls.SelectBaud(settings.baudRate);
}

// How the user named the source that failed: its port, or the log file replayed in its place.
std::string GpsSourceName(const serial::SerialSources& sources, const WarnerSettings& settings) {
  const serial::SourceSelection& selection = sources.Selection();
  if (selection.standAlone) {
    return serial::PortEntryKind(selection.portName) == kInputKindFile ? selection.filePath : selection.portName;
  }
  return sources.GpsPortName().empty() ? settings.GpsPort().filePath : sources.GpsPortName();
}

}  // namespace

void WarnerSession::ObservedSatelliteSounds::SatFixRegained(int32_t type) {
  if (session_.satelliteSounds_.SatFixRegained(type)) {
    session_.observer_->SatelliteSound(true, platform::ToLinuxPath(session_.satelliteSounds_.lastPath()));
  }
}

void WarnerSession::ObservedSatelliteSounds::SatFixLost(int32_t typeBits) {
  if (session_.satelliteSounds_.SatFixLost(typeBits)) {
    session_.observer_->SatelliteSound(false, platform::ToLinuxPath(session_.satelliteSounds_.lastPath()));
  }
}

WarnerSession::WarnerSession(const SessionOptions& options, platform::Reporter& reporter,
                             std::function<void(uint32_t ms)> sleep)
    : reporter_(reporter),
      folder_(ProgramFolderOf(options.programFolder)),
      settings_(ReadSettings(folder_, reporter)),
      decoder_(gpsFixLock_, &gpsLog_),
      database_(reporter, {folder_, DatabaseFileName(0)}),
      pois_(database_),
      player_(platform::CreateSoundPlayerFromEnvironment()),
      engine_(gpsFixLock_, *this),
      satelliteSounds_(*player_, settings_),
      sounds_(*this),
      worker_(decoder_, engine_, sounds_, *this,
              {settings_.playSatFixSound, settings_.evaluateTMC, settings_.writeMergedLog}, std::move(sleep)),
      traffic_(reporter, clock_, &gpsLog_),
      currentPositionFile_(platform::ToLinuxPath(settings_.actPosFolder + settings_.actPosFileName)) {
  decoder_.SetSettings({settings_.writeMergedLog, settings_.evaluateTMC});
  engine_.ApplySettings(EngineSettingsFrom(settings_, options.testEveryRecord));
  database_.SetUnloadObserver([this] {
    engine_.ClearTrackedPois();
    engine_.ResetEngine();
  });
  StartTraffic();
}

WarnerSession::~WarnerSession() {
  // The observer may be gone already; what the unloading still tells goes nowhere.
  observer_ = &nobody_;
  database_.UnloadPoiDatabase();
  if (settings_.evaluateTMC != 0) traffic_.StopTraffic();
}

void WarnerSession::StartTraffic() {
  // Without its code lists the decoder runs on without descriptions and log, and the setting
  // says so from then on.
  settings_.evaluateTMC = traffic_.StartTraffic(TrafficSettingsFrom(settings_));
  traffic::CRDSDecoder* rds = traffic_.Decoder();
  if (rds == nullptr) return;
  rds->SetLogObserver([this](std::string_view line) { observer_->TrafficMessage(line); });
  // Records embedded in the GPS stream go from the framer straight to the decoder; a separate
  // TMC source is polled by the worker instead (ReadTrafficFrom).
  if (!UsesSeparateTmcSource(settings_.evaluateTMC)) decoder_.SetTmcSink(rds);
}

bool WarnerSession::ReadsSeparateTmcSource() {
  return traffic_.Decoder() != nullptr && UsesSeparateTmcSource(settings_.evaluateTMC);
}

void WarnerSession::ReadTrafficFrom(traffic::TmcReadFunction read) {
  if (!ReadsSeparateTmcSource()) return;
  trafficPort_ = std::make_unique<TrafficPort>(traffic_, std::move(read));
  worker_.SetTrafficPortReader(trafficPort_.get());
}

bool WarnerSession::ActivateDatabase() {
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

SessionEnd WarnerSession::ReplayLog(const std::string& path, bool paced) {
  serial::SourceSettings replay;
  // The standard input as a file of its own, so that the sources read it as any log.
  replay.gpsPort.filePath = path == "-" ? "/dev/stdin" : path;
  replay.gpsState = kGpsSourceUseGpsPort;
  // Unpaced, the replay's time is the log's own.
  replay.selection.baudRate = paced ? settings_.baudRate : 0;
  // A separate TMC source that is a file is replayed beside the GPS log; a port is not read.
  const bool tmcFile = settings_.useTMCPort.IsFile() && ReadsSeparateTmcSource();
  if (tmcFile) {
    replay.tmcPort = settings_.useTMCPort;
    replay.tmcState = kTmcSourceUseTmcPort;
    replay.evaluateTmc = settings_.evaluateTMC;
  }
  serial::SerialSources sources(replay, reporter_, clock_);
  bool tmcEnded = !tmcFile;
  ReadTrafficFrom([&](uint8_t* buffer, size_t capacity, size_t* count) {
    const uint32_t error = sources.ReadTmcBytes(buffer, capacity, count);
    tmcEnded = error != 0;
    return error;
  });
  serial::GpsByteInput gps(sources);
  PausingSource bytes(gps, tmcEnded);
  const std::atomic<bool> stop{false};
  return RunWorker(sources, &bytes, stop);
}

SessionEnd WarnerSession::RunOnSources(bool standAlone, const std::atomic<bool>& stop) {
  serial::SerialSources sources(SourceSettingsFrom(settings_), reporter_, clock_);
  // Without windows there is no navigation program to look for: it counts as present.
  sources.SetNavigationProgramPresent(!navigationPresent_ || navigationPresent_());
  serial::SourceControls controls(sources.Selection(), reporter_);
  PrepareSelection(controls, settings_, standAlone, reporter_);
  ReadTrafficFrom([&sources](uint8_t* buffer, size_t capacity, size_t* count) {
    return sources.ReadTmcBytes(buffer, capacity, count);
  });
  serial::GpsByteInput gps(sources);
  NavigationCheckingSource checked(gps, sources, navigationPresent_);
  ByteSource* bytes = navigationPresent_ ? static_cast<ByteSource*>(&checked) : &gps;
  serial::AlternateFileInput alternate(sources.Alternate(), decoder_, nullptr);
  if (sources.Alternate().Configured()) {
    worker_.SetAlternateFileReader(&alternate, sources.Alternate().IsPositionSource());
  }
  const SessionEnd end = RunWorker(sources, bytes, stop);
  worker_.SetAlternateFileReader(nullptr, false);
  // A source that fails while running (a receiver unplugged) ends the worker, and only here can
  // it be said; opening failures were said where they happened.
  if (end.opened && end.code != 0 && end.code != platform::kErrorHandleEof) {
    reporter_.ErrorCode(end.code, "The GPS source %s failed.\n", GpsSourceName(sources, settings_).c_str());
  }
  const serial::SourceSelection& selection = sources.Selection();
  settings_.source = selection.portName;
  settings_.baudRate = selection.baudRate;
  settings_.sourceFile = selection.filePath;
  return end;
}

SessionEnd WarnerSession::RunWorker(serial::SerialSources& sources, ByteSource* bytes, const std::atomic<bool>& stop) {
  SessionEnd end;
  end.code = sources.StartSources();
  end.opened = end.code == 0;
  // Only the started sources know whether bytes come at all: the search for the driver's virtual
  // port happens in StartSources.
  if (end.opened) end.code = worker_.Run(sources.ReadsGpsBytes() ? bytes : nullptr, stop);
  sources.StopSources();
  worker_.SetTrafficPortReader(nullptr);
  trafficPort_.reset();
  return end;
}

bool WarnerSession::SaveMainWindowValues() { return WriteMainWindowValues(settings_, reporter_) == 0; }

bool WarnerSession::CheckDatabaseFile() {
  return database_.OpenPoiDatabaseFile(settings_.logSntFileMissing, MessageStyle::kOk) == 0;
}

void WarnerSession::UnloadDatabase() { database_.UnloadPoiDatabase(); }

void WarnerSession::SetSpeedLimit(int value) {
  settings_.speedLimit = value;
  engine_.SetSpeedLimit(settings_.speedsToAverage, value / gps::ConvertKmh(1.0, settings_.speedLimitDimension));
}

void WarnerSession::SetWatchAngle(int degrees) {
  settings_.watchAngle = degrees;
  engine_.SetWatchAngle(degrees);
  engine_.SetDirectionTolerance(settings_.directionToleranceAngle);
}

void WarnerSession::SetSourceSelection(const serial::SourceSelection& selection) {
  settings_.source = selection.portName;
  settings_.baudRate = selection.baudRate;
  settings_.sourceFile = selection.filePath;
}

void WarnerSession::PlayKeyStrokeSound() { PlaySound(settings_.keyStrokeWAVFile, "\\Windows\\MenuPop.wav"); }

int WarnerSession::RunSoundTest(SoundTestWindow& window) {
  return warner::RunSoundTest(settings_, database_, *player_, reporter_, window);
}

WarnerSession::AnnouncementView WarnerSession::LastAnnouncement() const {
  std::lock_guard guard(gpsFixLock_);
  const EngineResults results = engine_.Snapshot();
  AnnouncementView view{std::string(results.Text()), std::string(results.BitmapPath())};
  const int32_t poi = results.lastAnnouncedPoi;
  view.tracked = poi >= 0 && engine_.TrackedSlot(poi) >= 0;
  view.signedDistance = view.tracked ? engine_.SignedDistance(poi) : results.signedDistance;
  return view;
}

traffic::TmcStatus WarnerSession::TrafficStatus() {
  const traffic::CRDSDecoder* decoder = traffic_.Decoder();
  return decoder != nullptr ? decoder->Status().Snapshot() : traffic::TmcStatus{};
}

void WarnerSession::Announced(const Announcement& announcement) {
  // Called under the fix lock; the sound follows right after it is released.
  pending_.poiIndex = announcement.poiIndex;
  pending_.text = std::string(announcement.text);
  pending_.bitmapPath = std::string(announcement.bitmapPath);
  pending_.signedDistance = announcement.signedDistance;
  pending_.bearing = announcement.bearing;
}

void WarnerSession::PlayPoiSound(int32_t poiIndex, std::string_view categoryText, std::string_view fallback) {
  const std::string played = PlayNamed(categoryText, fallback, true);
  if (poiIndex != pending_.poiIndex) return;
  const PoiRecord record = pois_.Record(poiIndex);
  pending_.longitude = record.longitude / 100000.0;
  pending_.latitude = record.latitude / 100000.0;
  pending_.soundPath = played;
  observer_->Announced(pending_);
}

void WarnerSession::PlaySound(std::string_view name, std::string_view fallback) {
  observer_->SoundPlayed(name, PlayNamed(name, fallback, false));
}

void WarnerSession::SpeedAlarmRaised(double speedKmh) { observer_->SpeedAlarmRaised(speedKmh); }

void WarnerSession::MessageFileWritten(std::string_view path, std::string_view line) {
  observer_->MessageFileWritten(path, line);
}

void WarnerSession::CurrentPositionDue(const gps::GpsFix& fix) {
  WriteCurrentPosition(currentPositionFile_, fix, "waypost", platform::GetSystemTime());
}

void WarnerSession::StatusChanged(Status status) { observer_->StatusChanged(status); }

void WarnerSession::WorkerEnded(uint32_t errorCode) { observer_->Ended(errorCode); }

std::string WarnerSession::PlayNamed(std::string_view name, std::string_view fallback, bool categoryText) {
  SoundPaths paths;
  PlayNamedSound(*player_, name, folder_, fallback, paths, categoryText ? NameCoding::kCp1252 : NameCoding::kUtf8);
  return platform::ToLinuxPath(paths.path);
}

}  // namespace warner
