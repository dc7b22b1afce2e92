#include <cstdio>
#include <string>
#include <string_view>

#include "platform/paths/paths.h"
#include "warner/core/worker/gps_worker.h"

namespace warner {

std::string PositionRecordLine(const gps::GpsFix& fix, std::string_view programName,
                               const platform::SystemTime& utcNow) {
  const bool gpsDate = fix.month != 0;
  const int day = gpsDate ? fix.day : utcNow.day;
  const int month = gpsDate ? fix.month : utcNow.month;
  // Two digits whatever century the system clock is in.
  const int year = gpsDate ? fix.year : utcNow.year % 100;
  // The comment names the program as its file is called, without folder or extension.
  const std::string name = platform::BaseNamePart(programName);

  // The degree sign is the single byte of the Windows code page: the converter reads these files.
  const auto format = [&](char* buffer, size_t size) {
    return std::snprintf(
        buffer, size,
        "%.5f, %.5f, \"%s %s%02d.%02d.%02d %02d:%02d:%02d.%03d %5.1fkm/h %5.1f\xB0 %.1fm %2d#S %.1f~\"\r\n",
        fix.longitude, fix.latitude, name.c_str(), gpsDate ? "GD" : "SD", day, month, year, fix.hour, fix.minute,
        fix.second, fix.millisecond, fix.speedKmh, fix.course, fix.altitude, fix.satellites, fix.hdop);
  };
  const int length = format(nullptr, 0);
  if (length <= 0) return {};
  std::string line(static_cast<size_t>(length), '\0');
  format(line.data(), line.size() + 1);
  return line;
}

int WriteCurrentPosition(const std::string& linuxPath, const gps::GpsFix& fix, std::string_view programName,
                         const platform::SystemTime& utcNow) {
  const std::string line = PositionRecordLine(fix, programName, utcNow);
  std::FILE* file = std::fopen(linuxPath.c_str(), "wb");
  if (file == nullptr) return -1;
  const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
  const bool closed = std::fclose(file) == 0;
  return written && closed ? 0 : -1;
}

}  // namespace warner
