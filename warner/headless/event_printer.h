#pragma once
// Prints what the headless warner does, one line per event as it happens: readable text for a
// person, or JSON objects (field "event": announce, speedAlarm, satFix, satLost, sound,
// messageFile, status, end) for programs and tests.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "warner/core/engine/engine_output.h"
#include "warner/core/engine/poi_source.h"
#include "warner/core/worker/gps_worker.h"
#include "warner/gps/nmea_decoder.h"

namespace warner {

// Plays a sound by its name (a setting, or a POI's Windows-1252 category text) with a fallback;
// returns the path played.
using SoundPlay = std::function<std::string(std::string_view name, std::string_view fallback, bool categoryText)>;

class EventPrinter final : public EngineOutput, public WorkerObserver {
 public:
  EventPrinter(std::FILE* out, bool json, const gps::NmeaDecoder& decoder, const PoiSource& pois, SoundPlay play);

  // EngineOutput
  void Announced(const Announcement& announcement) override;
  void PlayPoiSound(int32_t poiIndex, std::string_view categoryText, std::string_view fallback) override;
  void PlaySound(std::string_view name, std::string_view fallback) override;
  void SpeedAlarmRaised(double speedKmh) override;
  void MessageFileWritten(std::string_view path, std::string_view line) override;
  void CurrentPositionDue(const gps::GpsFix& fix) override;

  // WorkerObserver
  void StatusChanged(Status status) override;
  void WorkerEnded(uint32_t errorCode) override;

  // Where the current position is written on every fix when WriteActPos asks for it (Linux path).
  void SetCurrentPositionFile(std::string linuxPath) { currentPositionFile_ = std::move(linuxPath); }

  // The satellite sounds report here when they play.
  void SatelliteSound(bool fix, std::string_view path);
  // A traffic message that reached the traffic log: its line (Windows-1252 bytes).
  void TrafficMessage(std::string_view logLine);

  int Announcements() const { return announcements_; }
  // The error of the first event that could not be written whole (a full disk, a closed pipe);
  // 0 while all were. Nothing more is written after it.
  uint32_t WriteError() const { return writeError_; }

 private:
  std::string GpsTime() const;
  void Emit(const std::string& line);
  // A readable line, escaped for the terminal; the line end is added.
  void EmitText(std::string_view line);

  std::FILE* out_;
  bool json_;
  const gps::NmeaDecoder& decoder_;
  const PoiSource& pois_;
  SoundPlay play_;
  Announcement pending_;  // printed once its sound is known
  std::string pendingText_, pendingBitmap_;
  std::string currentPositionFile_;
  int announcements_ = 0;
  uint32_t writeError_ = 0;
};

}  // namespace warner
