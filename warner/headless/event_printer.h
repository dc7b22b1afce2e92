#pragma once
// Prints what a warner session does, one line per event as it happens: readable text for a
// person, or JSON objects (field "event": announce, speedAlarm, satFix, satLost, sound,
// messageFile, status, end) for programs and tests.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/reports/reporter.h"
#include "warner/gps/nmea_decoder.h"
#include "warner/session/warner_session.h"

namespace warner {

class EventPrinter final : public SessionObserver {
 public:
  // `decoder` gives the GPS time of each event.
  EventPrinter(std::FILE* out, bool json, const gps::NmeaDecoder& decoder);

  void Announced(const PoiAnnouncement& announcement) override;
  void SoundPlayed(std::string_view name, std::string_view path) override;
  void SpeedAlarmRaised(double speedKmh) override;
  void MessageFileWritten(std::string_view path, std::string_view line) override;
  void SatelliteSound(bool fix, std::string_view path) override;
  void TrafficMessage(std::string_view logLine) override;
  void StatusChanged(WorkerObserver::Status status) override;
  void Ended(uint32_t errorCode) override;

  // The error of the first event that could not be written whole (a full disk, a closed pipe);
  // 0 while all were. Nothing more is written after it.
  uint32_t WriteError() const { return writeError_; }
  // False, after a message with that error, when an event could not be written.
  bool CheckOutput(platform::Reporter& reporter) const;

 private:
  std::string GpsTime() const;
  void Emit(const std::string& line);
  // A readable line, escaped for the terminal; the line end is added.
  void EmitText(std::string_view line);

  std::FILE* out_;
  bool json_;
  const gps::NmeaDecoder& decoder_;
  uint32_t writeError_ = 0;
};

}  // namespace warner
