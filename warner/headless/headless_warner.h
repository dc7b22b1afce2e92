#pragma once
// The warner's parts without windows, set up from a program folder as the main window sets them
// up: settings, database, engine, sounds and the worker, with every event going to a printer.
// The replay and the run on the real sources share it.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/clock/clock.h"
#include "platform/reports/reporter.h"
#include "platform/sound/sound_player.h"
#include "platform/sync/critical_section.h"
#include "warner/core/alarm/satellite_sounds.h"
#include "warner/core/database/poi_database.h"
#include "warner/core/engine/poi_source.h"
#include "warner/core/engine/warning_engine.h"
#include "warner/core/settings/warner_settings.h"
#include "warner/core/worker/gps_worker.h"
#include "warner/gps/nmea_decoder.h"
#include "warner/headless/event_printer.h"
#include "warner/traffic/rds/traffic_decoder.h"

namespace warner {

struct HeadlessOptions {
  std::string programFolder;     // settings files, Sentry.snt, Sounds/, Bitmaps/; empty: the program's own
  bool json = false;             // one JSON object per event
  bool testEveryRecord = false;  // check mode: no search window, every record on every fix
};

class HeadlessWarner {
 public:
  // Reads the settings (writing the system sounds first where they are missing). `sleep` is how
  // the worker waits on an idle or not-ready source.
  HeadlessWarner(const HeadlessOptions& options, std::FILE* out, platform::Reporter& reporter,
                 std::function<void(uint32_t ms)> sleep);
  HeadlessWarner(const HeadlessWarner&) = delete;
  HeadlessWarner& operator=(const HeadlessWarner&) = delete;
  ~HeadlessWarner();

  WarnerSettings& Settings() { return settings_; }
  gps::NmeaDecoder& Decoder() { return decoder_; }
  GpsWorker& Worker() { return worker_; }

  // Loads the database (the activation's first step); false when the activation is cancelled: a
  // damaged file, or a missing one that was not accepted (then the way to run without one is told).
  // A missing file that was accepted leaves the warner without warnings but running.
  bool ActivateDatabase();
  // With a separate TMC source (EvaluateTMC 2 or -2), the worker reads it through `read` whenever
  // the GPS source is idle; otherwise nothing happens.
  void ReadTrafficFrom(traffic::TmcReadFunction read);
  // True when traffic decoding runs and reads a separate TMC source.
  bool ReadsSeparateTmcSource();
  // False, after a message with the error, when an event could not be written to the output.
  bool CheckOutput();

 private:
  // The alarm output's satellite sounds, reported to the printer when they play.
  class PrintedSatelliteSounds final : public SatelliteSoundOutput {
   public:
    PrintedSatelliteSounds(SatelliteSounds& sounds, EventPrinter& printer) : sounds_(sounds), printer_(printer) {}
    void Reset() override { sounds_.Reset(); }
    void SatFixRegained(int32_t type) override;
    void SatFixLost(int32_t typeBits) override;

   private:
    SatelliteSounds& sounds_;
    EventPrinter& printer_;
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

  std::string PlaySound(std::string_view name, std::string_view fallback, bool categoryText);
  void StartTraffic();

  platform::Reporter& reporter_;
  const std::string folder_;
  WarnerSettings settings_;
  platform::CriticalSection gpsFixLock_;
  gps::NmeaDecoder decoder_;
  PoiDatabase database_;
  const DatabasePoiSource pois_;
  const std::unique_ptr<platform::SoundPlayer> player_;
  EventPrinter printer_;
  WarningEngine engine_;
  SatelliteSounds satelliteSounds_;
  PrintedSatelliteSounds sounds_;
  GpsWorker worker_;
  const platform::SystemClock clock_;
  traffic::TrafficDecoder traffic_;
  std::unique_ptr<TrafficPort> trafficPort_;
};

}  // namespace warner
