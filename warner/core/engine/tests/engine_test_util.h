#pragma once
// Shared pieces of the engine tests: POIs placed in metres around a position, a recording output,
// and a fix as the decoder leaves it.

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "formats/snt/snt_format.h"
#include "platform/reports/scripted_reporter.h"
#include "warner/core/database/poi_database.h"

#include "warner/core/engine/engine_constants.h"
#include "warner/core/engine/engine_output.h"
#include "warner/core/engine/poi_table.h"
#include "warner/core/engine/warning_engine.h"
#include "warner/gps/gps_fix.h"

namespace warner::test {

struct Point {
  double longitude = 0, latitude = 0;
};

// A point `north` and `east` metres away (flat approximation, good to well under a metre here).
inline Point Offset(Point from, double north, double east) {
  const double latitude = from.latitude + north / kMetresPerDegree;
  return {from.longitude + east / (kMetresPerDegree * std::cos(from.latitude * kRadiansPerDegree)), latitude};
}

inline PoiRecord RecordAt(Point at, uint16_t warnDistance, uint16_t direction = 0) {
  PoiRecord record;
  record.longitude = static_cast<int32_t>(std::lround(at.longitude * 1e5));
  record.latitude = static_cast<int32_t>(std::lround(at.latitude * 1e5));
  record.warnDistance = warnDistance;
  record.direction = direction;
  return record;
}

inline gps::GpsFix FixAt(Point at, double course, double speedKmh, int32_t timeOfDayMs = 0) {
  gps::GpsFix fix;
  fix.longitude = at.longitude;
  fix.latitude = at.latitude;
  fix.course = course;
  fix.speedKmh = speedKmh;
  fix.timeOfDayMs = timeOfDayMs;
  fix.hour = timeOfDayMs / 3600000;
  fix.minute = timeOfDayMs / 60000 % 60;
  fix.second = timeOfDayMs / 1000 % 60;
  fix.validMask = gps::kValidFixComplete;
  return fix;
}

// Every call the engine made, in order.
class RecordingOutput : public EngineOutput {
 public:
  struct Made {
    int32_t poiIndex;
    std::string text;
    double signedDistance;
  };
  std::vector<Made> announced;
  std::vector<int32_t> poiSounds;
  std::vector<std::string> sounds;
  std::vector<double> speedAlarms;
  std::vector<std::string> messages;
  std::vector<std::string> fileLines;
  int positionsDue = 0;

  void Announced(const Announcement& a) override {
    announced.push_back({a.poiIndex, std::string(a.text), a.signedDistance});
  }
  void PlayPoiSound(int32_t poiIndex, std::string_view, std::string_view) override { poiSounds.push_back(poiIndex); }
  void PlaySound(std::string_view name, std::string_view fallback) override {
    sounds.push_back(std::string(name) + "|" + std::string(fallback));
  }
  void SpeedAlarmRaised(double speedKmh) override { speedAlarms.push_back(speedKmh); }
  void PostRegisteredMessage(std::string_view name) override { messages.emplace_back(name); }
  void MessageFileWritten(std::string_view, std::string_view line) override { fileLines.emplace_back(line); }
  void CurrentPositionDue(const gps::GpsFix&) override { ++positionsDue; }
};

// An engine over its own table, with the watch angle and tolerance given.
struct EngineRig {
  platform::CriticalSection lock;
  RecordingOutput output;
  PoiTable table;
  WarningEngine engine{lock, output};

  // Records get the categories "Poi<n>" in the order added (before sorting).
  void Add(const PoiRecord& record) { table.Add(record, table.AddCategory("Poi" + std::to_string(added++))); }
  void Load() {
    table.Finish();
    engine.SetDatabase(&table);
  }
  int Drive(Point at, double course, double speedKmh, int32_t timeOfDayMs = 0) {
    gps::GpsFix fix = FixAt(at, course, speedKmh, timeOfDayMs);
    return engine.ProcessFix(fix);
  }
  int added = 0;
};

// A table written out as a .snt file, laid out as the converter writes it.
inline std::string SntBytes(const PoiTable& table, const std::vector<std::string>& categories) {
  std::string bytes(snt::kHeaderSize, '\0');
  auto at = [&bytes](size_t offset) { return reinterpret_cast<uint8_t*>(bytes.data() + offset); };
  std::vector<int32_t> offsets;
  for (const std::string& text : categories) {
    offsets.push_back(static_cast<int32_t>(bytes.size()));
    bytes.append(snt::CategoryRecordSize(text.size()), '\0');
    snt::EncodeCategoryRecord(text, at(static_cast<size_t>(offsets.back())));
  }
  const auto recordOffset = static_cast<uint32_t>(bytes.size());
  for (int32_t index = 0; index < table.RecordCount(); ++index) {
    PoiRecord record = table.Record(index);
    record.categoryOffset = offsets.at(static_cast<size_t>(record.categoryOffset));
    bytes.append(snt::kPoiRecordSize, '\0');
    snt::EncodePoiRecord(record, at(bytes.size() - snt::kPoiRecordSize));
  }
  const snt::Header header{static_cast<uint32_t>(bytes.size()), static_cast<uint32_t>(table.RecordCount()),
                           static_cast<uint32_t>(categories.size()), recordOffset};
  snt::EncodeHeader(header, "", at(0));
  return bytes;
}

// A real database loaded from such a file in a folder of its own.
class LoadedDatabase {
 public:
  LoadedDatabase(const PoiTable& table, const std::vector<std::string>& categories)
      : folder_(std::filesystem::temp_directory_path() /
                ("engine_db_" + std::to_string(::getpid()) + "_" + std::to_string(++Serial()))),
        database_(reporter_, DatabaseLocation{folder_.string(), "Sentry.snt"}) {
    std::filesystem::create_directories(folder_);
    const std::string path = (folder_ / "Sentry.snt").string();
    const std::string bytes = SntBytes(table, categories);
    std::FILE* file = std::fopen(path.c_str(), "w+b");
    if (file == nullptr) return;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    loadResult_ = database_.LoadPoiDatabase(file, path);
    std::fclose(file);
  }
  ~LoadedDatabase() {
    database_.UnloadPoiDatabase();
    std::filesystem::remove_all(folder_);
  }
  PoiDatabase& Database() { return database_; }
  int LoadResult() const { return loadResult_; }

 private:
  static int& Serial() {
    static int serial = 0;
    return serial;
  }
  std::filesystem::path folder_;
  platform::ScriptedReporter reporter_;
  PoiDatabase database_;
  int loadResult_ = -1;
};

}  // namespace warner::test
