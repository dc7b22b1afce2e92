#include "warner/headless/event_printer.h"

#include <cerrno>
#include <cmath>
#include <cstdio>

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

EventPrinter::EventPrinter(std::FILE* out, bool json, const gps::NmeaDecoder& decoder)
    : out_(out), json_(json), decoder_(decoder) {}

bool EventPrinter::CheckOutput(platform::Reporter& reporter) const {
  if (writeError_ == 0) return true;
  reporter.ErrorCode(writeError_, "The events could not be written to the output.\n");
  return false;
}

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

void EventPrinter::Announced(const PoiAnnouncement& a) {
  if (json_) {
    Emit(platform::JsonLine()
             .Text("event", "announce")
             .Text("time", GpsTime())
             .Int("poi", a.poiIndex)
             .Real("lon", a.longitude)
             .Real("lat", a.latitude)
             .Real("distance", a.signedDistance)
             .Real("bearing", a.bearing)
             .Text("text", a.text)
             .Text("bitmap", a.bitmapPath)
             .Text("sound", a.soundPath)
             .Finish());
    return;
  }
  char line[1024];
  std::snprintf(line, sizeof line, "%s  WARNING  %-20s %6.0f m %s, bearing %3.0f deg  (POI %d at %.5f, %.5f)",
                GpsTime().c_str(), a.text.c_str(), std::fabs(a.signedDistance),
                a.signedDistance < 0 ? "aside" : "ahead", a.bearing, a.poiIndex, a.longitude, a.latitude);
  EmitText(line);
  if (!a.soundPath.empty()) EmitText(std::string("              sound ") + a.soundPath);
}

void EventPrinter::SoundPlayed(std::string_view name, std::string_view path) {
  if (json_) {
    Emit(platform::JsonLine()
             .Text("event", "sound")
             .Text("time", GpsTime())
             .Text("name", name)
             .Text("path", path)
             .Finish());
  } else if (!path.empty()) {
    EmitText(GpsTime() + "  sound    " + std::string(path));
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

void EventPrinter::StatusChanged(WorkerObserver::Status status) {
  if (json_) Emit(platform::JsonLine().Text("event", "status").Text("status", StatusName(status)).Finish());
}

void EventPrinter::Ended(uint32_t errorCode) {
  if (json_) Emit(platform::JsonLine().Text("event", "end").Int("code", errorCode).Finish());
}

}  // namespace warner
