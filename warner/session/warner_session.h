#pragma once
// One activation of the warner, the same for every face: settings and database from a program
// folder, the warning engine, the sounds, the worker, the serial sources and traffic decoding,
// put together as the main window puts them together, with what happens told to an observer.
// The headless program prints the events; the windows show them.
//
// Threads: the observer is called on the thread that runs ReplayLog or RunOnSources.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/clock/clock.h"
#include "platform/reports/reporter.h"
#include "platform/sound/sound_player.h"
#include "platform/sync/critical_section.h"
#include "warner/core/alarm/satellite_sounds.h"
#include "warner/core/alarm/sound_test.h"
#include "warner/core/database/poi_database.h"
#include "warner/core/engine/poi_source.h"
#include "warner/core/engine/warning_engine.h"
#include "warner/core/settings/warner_settings.h"
#include "warner/core/worker/gps_worker.h"
#include "warner/gps/gps_log.h"
#include "warner/gps/nmea_decoder.h"
#include "warner/serial/serial_sources.h"
#include "warner/serial/source_selection.h"
#include "warner/traffic/rds/traffic_decoder.h"

namespace warner {

struct SessionOptions {
  std::string programFolder;     // settings files, Sentry.snt, Sounds/, Bitmaps/; empty: the program's own
  bool testEveryRecord = false;  // check mode: no search window, every record on every fix
};

// A POI announced: what the announcement windows show and the sound that was played for it.
struct PoiAnnouncement {
  int32_t poiIndex = -1;
  std::string text;        // UTF-8
  std::string bitmapPath;  // empty when the POI has no bitmap
  double signedDistance = 0;
  double bearing = 0;
  double longitude = 0, latitude = 0;  // degrees
  std::string soundPath;               // Linux path; empty when no sound could be played
};

// What a session tells its face.
class SessionObserver {
 public:
  virtual ~SessionObserver() = default;
  virtual void Announced(const PoiAnnouncement& /*announcement*/) {}
  // A sound named by a setting (the speed alarm's); the path is empty when none could be played.
  virtual void SoundPlayed(std::string_view /*name*/, std::string_view /*path*/) {}
  virtual void SpeedAlarmRaised(double /*speedKmh*/) {}
  virtual void MessageFileWritten(std::string_view /*path*/, std::string_view /*line*/) {}
  // The satellite fix regained (true) or lost, with the sound played for it.
  virtual void SatelliteSound(bool /*fix*/, std::string_view /*path*/) {}
  // A traffic message that reached the traffic log: its line (Windows-1252 bytes).
  virtual void TrafficMessage(std::string_view /*logLine*/) {}
  virtual void StatusChanged(WorkerObserver::Status /*status*/) {}
  virtual void SourceNotReady() {}
  virtual void Ended(uint32_t /*errorCode*/) {}
};

// How a replay or a run ended: whether the sources opened (a failure was said where it happened)
// and the worker's code (38 at the end of a replayed log).
struct SessionEnd {
  bool opened = false;
  uint32_t code = 0;
};

class WarnerSession final : private EngineOutput, private WorkerObserver {
 public:
  // Reads the settings (writing the system sounds first where they are missing) and starts
  // traffic decoding. `sleep` is how the worker waits on an idle or not-ready source.
  WarnerSession(const SessionOptions& options, platform::Reporter& reporter, std::function<void(uint32_t ms)> sleep);
  WarnerSession(const WarnerSession&) = delete;
  WarnerSession& operator=(const WarnerSession&) = delete;
  ~WarnerSession() override;

  // Null: nobody listens.
  void SetObserver(SessionObserver* observer) { observer_ = observer != nullptr ? observer : &nobody_; }
  const WarnerSettings& Settings() const { return settings_; }
  // The settings as the main window changes them (SearchSurrASCFile of the search dialog, say);
  // SaveMainWindowValues writes its values back.
  WarnerSettings& MainWindowSettings() { return settings_; }
  // The player of every sound of the warner, so that a key sound cuts an announcement as on the road.
  platform::SoundPlayer& Player() { return *player_; }
  // The fix the events belong to.
  const gps::NmeaDecoder& Decoder() const { return decoder_; }
  // The track log that the decoders copy what they receive into while it is open.
  gps::GpsLogSink& GpsLog() { return gpsLog_; }

  // What the announcement windows show, taken as one copy under the fix lock: the last
  // announcement and, while its POI is still tracked, its signed distance now.
  struct AnnouncementView {
    std::string text;        // UTF-8; empty when none
    std::string bitmapPath;  // empty when none
    double signedDistance = 0;
    bool tracked = false;
  };
  AnnouncementView LastAnnouncement() const;
  // The display forgets the announcement when its windows close.
  void ClearAnnouncement() { engine_.ClearAnnouncement(); }
  // The traffic messages kept and the station, for the traffic window; empty while decoding is off.
  traffic::TmcStatus TrafficStatus();

  // Loads the database (the activation's first step); false when the activation is cancelled: a
  // damaged file, or a missing one that was not accepted (then the way to run without one is told).
  // A missing file that was accepted leaves the warner without warnings but running.
  bool ActivateDatabase();

  // Replays a GPS log (a Linux path; "-" the standard input) through the serial sources' log
  // replay, paced at the settings' baud rate or at once, to its end. A separate TMC source that is
  // a file is replayed beside it.
  SessionEnd ReplayLog(const std::string& path, bool paced);
  // Runs on the sources the settings name (standAlone: on the stored source selection) until
  // `stop` is set or the source ends or fails (said on the reporter); the ports are put back as
  // they were found, and the selection is kept for SaveMainWindowValues.
  SessionEnd RunOnSources(bool standAlone, const std::atomic<bool>& stop);
  // The deactivation's write-back of the main-window values; false after a report.
  bool SaveMainWindowValues();

  // What the main window adds; called on its thread. The database calls only while no worker
  // runs; the spins' values may change while it runs.
  //
  // The start-up check of the database file (an OK box when it is missing and that is reported):
  // true when the file is there.
  bool CheckDatabaseFile();
  void UnloadDatabase();
  // The speed-limit spin's value in the unit of SpeedLimitDimension, handed to the engine in km/h.
  void SetSpeedLimit(int value);
  // The watch-angle spin's value, with the direction tolerance of the settings.
  void SetWatchAngle(int degrees);
  // The user's choice in the source controls, used by the next RunOnSources.
  void SetSourceSelection(const serial::SourceSelection& selection);
  // Asked on the worker thread before each read whether the navigation program is present (the
  // shared port of UseWM5GPSPort is held open only then); unset, it always counts as present.
  void SetNavigationCheck(std::function<bool()> present) { navigationPresent_ = std::move(present); }
  // The position-record command's sound: KeyStrokeWAVFile, else the system's menu sound.
  void PlayKeyStrokeSound();
  // The sound test of the inactive warner; the number of sounds played.
  int RunSoundTest(SoundTestWindow& window);

 private:
  // The alarm output's satellite sounds, told to the observer when they play.
  class ObservedSatelliteSounds final : public SatelliteSoundOutput {
   public:
    explicit ObservedSatelliteSounds(WarnerSession& session) : session_(session) {}
    void Reset() override { session_.satelliteSounds_.Reset(); }
    void SatFixRegained(int32_t type) override;
    void SatFixLost(int32_t typeBits) override;

   private:
    WarnerSession& session_;
  };

  // The separate TMC source as the worker polls it.
  class TrafficPort final : public TrafficPortReader {
   public:
    TrafficPort(traffic::TrafficDecoder& traffic, traffic::TmcReadFunction read)
        : traffic_(traffic), read_(std::move(read)) {}
    int ReadTmcPort() override { return traffic_.ReadTmcPort(read_); }

   private:
    traffic::TrafficDecoder& traffic_;
    traffic::TmcReadFunction read_;
  };

  // EngineOutput
  void Announced(const Announcement& announcement) override;
  void PlayPoiSound(int32_t poiIndex, std::string_view categoryText, std::string_view fallback) override;
  void PlaySound(std::string_view name, std::string_view fallback) override;
  void SpeedAlarmRaised(double speedKmh) override;
  void MessageFileWritten(std::string_view path, std::string_view line) override;
  void CurrentPositionDue(const gps::GpsFix& fix) override;
  // WorkerObserver
  void StatusChanged(Status status) override;
  void SourceNotReady() override { observer_->SourceNotReady(); }
  void WorkerEnded(uint32_t errorCode) override;

  std::string PlayNamed(std::string_view name, std::string_view fallback, bool categoryText);
  void StartTraffic();
  bool ReadsSeparateTmcSource();
  // With a separate TMC source, the worker reads it through `read` whenever the GPS source is idle.
  void ReadTrafficFrom(traffic::TmcReadFunction read);
  SessionEnd RunWorker(serial::SerialSources& sources, ByteSource* bytes, const std::atomic<bool>& stop);

  platform::Reporter& reporter_;
  const std::string folder_;
  WarnerSettings settings_;
  SessionObserver nobody_;
  SessionObserver* observer_ = &nobody_;
  mutable platform::CriticalSection gpsFixLock_;
  gps::GpsLogSink gpsLog_;
  gps::NmeaDecoder decoder_;
  PoiDatabase database_;
  const DatabasePoiSource pois_;
  const std::unique_ptr<platform::SoundPlayer> player_;
  WarningEngine engine_;
  SatelliteSounds satelliteSounds_;
  ObservedSatelliteSounds sounds_;
  GpsWorker worker_;
  const platform::SystemClock clock_;
  traffic::TrafficDecoder traffic_;
  std::unique_ptr<TrafficPort> trafficPort_;
  PoiAnnouncement pending_;  // told once its sound is known
  std::string currentPositionFile_;
  std::function<bool()> navigationPresent_;
};

}  // namespace warner
