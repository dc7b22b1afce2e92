#include "warner/headless/event_printer.h"

#include <cerrno>
#include <cmath>
#include <cstdio>

#include "platform/clock/clock.h"
#include "platform/errors/errors.h"
#include "platform/json/json_line.h"
#include "platform/text/text.h"

namespace warner {

namespace {

const char* StatusName(WorkerObserver::Status status) {
  switch (status) {
    case WorkerObserver::Status::kSearching: return "searching";
    case WorkerObserver::Status::kFix: return "fix";
    case WorkerObserver::Status::kNoFix: return "noFix";
    case WorkerObserver::Status::kInactive: return "inactive";
  }
  return "?";
}

}  // namespace

EventPrinter::EventPrinter(std::FILE* out, bool json, const gps::NmeaDecoder& decoder, const PoiSource& pois,
                           SoundPlay play)
    : out_(out), json_(json), decoder_(decoder), pois_(pois), play_(std::move(play)) {}

std::string EventPrinter::GpsTime() const {
  const gps::GpsFix fix = decoder_.Snapshot();
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", fix.hour % 100, fix.minute % 100, fix.second % 100,
                fix.millisecond % 1000);
  return text;
}

void EventPrinter::Emit(const std::string& line) {
  // Events nobody can read are a failure of the run, not something to carry on without a word.
  if (writeError_ == 0 && (std::fputs(line.c_str(), out_) == EOF || std::fflush(out_) == EOF)) {
    platform::SetLastErrorFromErrno(errno);
    writeError_ = platform::GetLastError();
  }
}

void EventPrinter::EmitText(std::string_view line) {
  // Texts come from files and receivers: none of their bytes may reach a terminal as a control.
  Emit(platform::TerminalSafe(line) + "\n");
}

void EventPrinter::Announced(const Announcement& announcement) {
  // Called under the fix lock; the sound follows right after it is released.
  pending_ = announcement;
  pendingText_ = std::string(announcement.text);
  pendingBitmap_ = std::string(announcement.bitmapPath);
}

void EventPrinter::PlayPoiSound(int32_t poiIndex, std::string_view categoryText, std::string_view fallback) {
  const std::string played = play_(categoryText, fallback, true);
  if (poiIndex != pending_.poiIndex) return;
  ++announcements_;
  const PoiRecord record = pois_.Record(poiIndex);
  const double lon = record.longitude / 100000.0, lat = record.latitude / 100000.0;
  if (json_) {
    Emit(platform::JsonLine()
             .Text("event", "announce")
             .Text("time", GpsTime())
             .Int("poi", poiIndex)
             .Real("lon", lon)
             .Real("lat", lat)
             .Real("distance", pending_.signedDistance)
             .Real("bearing", pending_.bearing)
             .Text("text", pendingText_)
             .Text("bitmap", pendingBitmap_)
             .Text("sound", played)
             .Finish());
    return;
  }
  char line[1024];
  std::snprintf(line, sizeof line, "%s  WARNING  %-20s %6.0f m %s, bearing %3.0f deg  (POI %d at %.5f, %.5f)",
                GpsTime().c_str(), pendingText_.c_str(), std::fabs(pending_.signedDistance),
                pending_.signedDistance < 0 ? "aside" : "ahead", pending_.bearing, poiIndex, lon, lat);
  EmitText(line);
  if (!played.empty()) EmitText(std::string("              sound ") + played);
}

void EventPrinter::PlaySound(std::string_view name, std::string_view fallback) {
  const std::string played = play_(name, fallback, false);
  if (json_) {
    Emit(platform::JsonLine()
             .Text("event", "sound")
             .Text("time", GpsTime())
             .Text("name", name)
             .Text("path", played)
             .Finish());
  } else if (!played.empty()) {
    EmitText(GpsTime() + "  sound    " + played);
  }
}

void EventPrinter::SpeedAlarmRaised(double speedKmh) {
  if (json_) {
    Emit(platform::JsonLine().Text("event", "speedAlarm").Text("time", GpsTime()).Real("speed", speedKmh).Finish());
    return;
  }
  char line[128];
  std::snprintf(line, sizeof line, "%s  SPEED    %.0f km/h, above the limit\n", GpsTime().c_str(), speedKmh);
  Emit(line);
}

void EventPrinter::MessageFileWritten(std::string_view path, std::string_view line) {
  if (json_) {
    Emit(platform::JsonLine().Text("event", "messageFile").Text("path", path).Text("line", line).Finish());
  }
}

void EventPrinter::CurrentPositionDue(const gps::GpsFix& fix) {
  if (currentPositionFile_.empty()) return;
  WriteCurrentPosition(currentPositionFile_, fix, "waypost", platform::GetSystemTime());
}

void EventPrinter::SatelliteSound(bool fix, std::string_view path) {
  if (json_) {
    Emit(platform::JsonLine()
             .Text("event", fix ? "satFix" : "satLost")
             .Text("time", GpsTime())
             .Text("sound", path)
             .Finish());
    return;
  }
  Emit(GpsTime() + (fix ? "  GPS fix  regained" : "  GPS fix  lost") + "\n");
}

void EventPrinter::TrafficMessage(std::string_view logLine) {
  const std::string line = platform::Cp1252ToUtf8(logLine);
  if (json_) {
    Emit(platform::JsonLine().Text("event", "traffic").Text("line", line).Finish());
    return;
  }
  EmitText(GpsTime() + "  TRAFFIC  " + line);
}

void EventPrinter::StatusChanged(Status status) {
  if (json_) Emit(platform::JsonLine().Text("event", "status").Text("status", StatusName(status)).Finish());
}

void EventPrinter::WorkerEnded(uint32_t errorCode) {
  if (json_) Emit(platform::JsonLine().Text("event", "end").Int("code", errorCode).Finish());
}

}  // namespace warner
