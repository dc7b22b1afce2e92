// Any bytes as a database file: a load either refuses them with a message or gives records whose
// every field, category text and announcement can be read without leaving the buffer; a loaded
// database then goes through the warning engine for a drive past every record.

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "formats/snt/snt_format.h"
#include "platform/reports/scripted_reporter.h"
#include "platform/sync/critical_section.h"
#include "warner/core/database/poi_database.h"
#include "warner/core/engine/poi_source.h"
#include "warner/core/engine/warning_engine.h"

namespace {

// Fixes at each record's own position, heading north, east and south: whatever the records say,
// the engine must search, track and announce within its fixed tables.
void DrivePastEveryRecord(const warner::PoiDatabase& db) {
  const warner::DatabasePoiSource source(db);
  warner::EngineOutput output;
  platform::CriticalSection lock;
  warner::WarningEngine engine(lock, output);
  engine.SetDatabase(&source);
  engine.SetWatchAngle(30);
  const int32_t step = std::max<int32_t>(1, db.RecordCount() / 64);
  for (int32_t i = 0; i < db.RecordCount(); i += step) {
    const warner::PoiRecord record = db.Record(i);
    for (double course : {0.0, 90.0, 180.0}) {
      gps::GpsFix fix;
      fix.longitude = record.longitude / 100000.0;
      fix.latitude = record.latitude / 100000.0 - 0.001;
      fix.course = course;
      fix.speedKmh = 50;
      fix.validMask = gps::kValidFixComplete;
      if (engine.ProcessFix(fix) < -1) std::abort();
    }
  }
  const warner::EngineResults results = engine.Snapshot();
  if (results.trackedCount > 40 || results.candidateCount > 40) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/poi_database_fuzz_" + std::to_string(::getpid()) + ".snt";
  {
    warner::UniqueFile out(std::fopen(path.c_str(), "wb"));
    if (!out) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, out.get()) != size) std::abort();
  }
  platform::ScriptedReporter reporter;
  warner::PoiDatabase db(reporter, warner::DatabaseLocation{"/tmp/", "poi_database_fuzz_none.snt"});
  int unloads = 0;
  db.SetUnloadObserver([&] { ++unloads; });

  warner::UniqueFile in(std::fopen(path.c_str(), "rb"));
  if (!in) std::abort();
  const int result = db.LoadPoiDatabase(in.get(), path);
  const size_t messages = reporter.Records().size();
  if (result != 0 && result != -1) std::abort();
  if ((result == -1) != (messages == 1) || db.IsPoiDatabaseLoaded() != (db.RecordCount() > 0)) std::abort();
  if (result == -1 && db.IsPoiDatabaseLoaded()) std::abort();

  snt::WarningReach reach;
  size_t textBytes = 0;
  for (int32_t i = 0; i < db.RecordCount(); ++i) {
    const warner::PoiRecord record = db.Record(i);
    reach.Add(record.warnDistance);
    if (record.categoryOffset < static_cast<int32_t>(snt::kFirstCategoryOffset)) std::abort();
    textBytes += db.CategoryText(i).size() + db.AnnouncementText(i).size();
  }
  if (reach.maxMetres != db.MaxWarnMetres() || reach.maxSeconds != db.MaxWarnSeconds()) std::abort();
  for (std::string_view text : db.CategoryTexts()) {
    textBytes += warner::CategoryFilePath(text, "/tmp/", "Sounds\\", ".wav").size();
  }
  if (db.IsPoiDatabaseLoaded()) DrivePastEveryRecord(db);
  db.UnloadPoiDatabase();
  if (db.IsPoiDatabaseLoaded() || unloads != 2 || textBytes == SIZE_MAX) std::abort();
  return 0;
}
