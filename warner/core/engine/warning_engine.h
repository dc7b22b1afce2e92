#pragma once
// The proximity warning engine: for every complete fix it finds the POIs ahead within their
// warning distance, follows them in a table of 40 slots until the vehicle has left them behind,
// and announces the nearest newly found one. It also raises the speed alarm.
//
// Threads: ProcessFix and the functions it calls run on the worker thread. The tracked table and
// the results are shared with the display under GpsFixLock: Snapshot() and the accessors by POI
// index take it themselves. The four setters (watch angle, tolerance, speed limit) may be called
// from any thread.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "platform/sync/critical_section.h"
#include "warner/core/engine/engine_constants.h"
#include "warner/core/engine/engine_output.h"
#include "warner/core/engine/engine_settings.h"
#include "warner/core/engine/poi_source.h"
#include "warner/gps/gps_fix.h"

namespace warner {

// The fix being evaluated, with what every POI test needs of it precomputed.
struct EngineFix {
  double longitude = 0, latitude = 0, altitude = 0, course = 0, speedKmh = 0;
  int32_t timeOfDayMs = 0;
  double longitudeRad = 0, sinLongitude = 0, cosLongitude = 0;
  double latitudeRad = 0, sinLatitude = 0, cosLatitude = 0;
  double courseRad = 0, sinCourse = 0, cosCourse = 0;
  double speedMs = 0;
};

struct FixSample {
  double longitude = 0, latitude = 0, altitude = 0, course = 0, speed = 0;
  int32_t timeOfDayMs = 0;
};

// The last fixes, oldest first.
struct FixHistory {
  std::array<FixSample, kFixHistorySize> samples{};
  int count = 0;
};

struct PoiCandidate {
  int32_t poiIndex = 0;
  int32_t inUse = 0;
  double bearing = 0;
  double distance = 0;
};

enum TrackedPoiState : int32_t {
  kTrackedFree = 0,
  kTrackedNew = 1,  // found, not yet announced
  kTrackedAnnouncing = 2,
  kTrackedAnnounced = 3,
};

// Where the vehicle was and how it moved.
struct VehicleState {
  double longitude = 0, latitude = 0, altitude = 0, course = 0, speed = 0;
};

struct TrackedPoi {
  int32_t poiIndex = 0;
  int32_t state = kTrackedFree;
  VehicleState first, current;
  double firstBearing = 0, bearing = 0;
  double firstDistance = 0, distance = 0;
  double dropDistance = 0;
  int32_t directionFlag = 0;  // +1: the POI lies within the watch angle, -1: not
};

inline constexpr size_t kAnnouncementTextSize = 260;  // 259 characters and the NUL

// What the display reads after each fix, copied under GpsFixLock.
struct EngineResults {
  int32_t candidateCount = 0;  // -1 when no database is loaded
  int32_t trackedCount = 0;    // -1 when no database is loaded
  int32_t lastAnnouncedPoi = -1;
  std::array<char, kAnnouncementTextSize> text{};        // UTF-8, NUL-terminated
  std::array<char, kAnnouncementTextSize> bitmapPath{};  // NUL-terminated, empty without a bitmap
  double signedDistance = 0;
  double bearing = 0;
  std::array<TrackedPoi, kMaxTrackedPois> tracked{};

  std::string_view Text() const { return text.data(); }
  std::string_view BitmapPath() const { return bitmapPath.data(); }
};

class WarningEngine {
 public:
  WarningEngine(platform::CriticalSection& gpsFixLock, EngineOutput& output);
  WarningEngine(const WarningEngine&) = delete;
  WarningEngine& operator=(const WarningEngine&) = delete;

  // The records to search; null or an unloaded source means no warnings. Frees every tracked slot,
  // since they hold indices into the previous records. Not while ProcessFix runs.
  void SetDatabase(const PoiSource* source);
  // Takes every setting; not while ProcessFix runs.
  void ApplySettings(const EngineSettings& settings);
  void SetWatchAngle(double angle);
  void SetDirectionTolerance(double angle);
  // Also re-arms the speed alarm.
  void SetSpeedLimit(int speedsToAverage, double limitKmh);

  // One sentence that the parser accepted: -1 when the fix is not complete (position, speed and
  // course), 1 when a POI was announced, else 0. Consumes fix.validMask; fix is read and written
  // under GpsFixLock.
  int ProcessFix(gps::GpsFix& fix);

  // The steps of ProcessFix.
  void SetFix(double longitude, double latitude, double altitude, double course, double speedKmh, int32_t timeOfDayMs);
  // 1: sound the alarm now; 0: not exceeded (re-armed); -1: exceeded and already warned.
  int CheckSpeedLimit();
  // The number of candidates, or -1 without a database.
  int FindCandidates();
  // The number of tracked POIs, or -1 without a database.
  int UpdateTrackedPois();
  // The first slot in state new, or -1.
  int FirstNewTrackedPoi() const;

  // Tests of one record against the current fix.
  double Distance(const PoiRecord& record) const;
  double Bearing(const PoiRecord& record) const;
  double WarningDistance(const PoiRecord& record) const;
  static double PoiDirection(const PoiRecord& record);
  // The POI's own direction against the course; `direction` receives the direction it was
  // compared in (untouched when the test is off).
  bool DirectionMatches(const PoiRecord& record, double& direction) const;
  bool IsCandidate(const PoiRecord& record, double& distance, double& bearing) const;

  // The tracked table by POI index; each takes GpsFixLock.
  int TrackedSlot(int32_t poiIndex) const;
  // 0 when the POI is not tracked.
  double SignedDistance(int32_t poiIndex) const;
  double CurrentBearing(int32_t poiIndex) const;
  void SetTrackedState(int32_t poiIndex, int32_t state);
  std::string AnnouncementText(int32_t poiIndex) const;
  std::string PoiBitmapPath(int32_t poiIndex) const;
  void PlayPoiSound(int32_t poiIndex) const;

  // Forgets the current fix, the history and the speed alarm.
  void ResetEngine();
  void ClearTrackedPois();
  // The display clears the announcement when its windows close.
  void ClearAnnouncement();
  EngineResults Snapshot() const;

  // Worker-thread views, for the worker and tests.
  const EngineFix& CurrentFix() const { return fix_; }
  const FixHistory& History() const { return history_; }
  std::span<const PoiCandidate> Candidates() const { return {candidates_.data(), candidateCount_}; }
  // The radius of the last search, metres.
  double SearchRadius() const { return searchRadius_; }
  double WatchAngle() const { return watchAngle_.load(std::memory_order_relaxed); }
  double DirectionTolerance() const { return directionTolerance_.load(std::memory_order_relaxed); }

 private:
  bool HasDatabase() const { return source_ != nullptr && source_->IsPoiDatabaseLoaded(); }
  int32_t DirectionFlag(double bearing, double course) const;
  double SignedDistanceOf(const TrackedPoi& poi) const;
  void AppendSample();
  void Announce(int slot, const gps::GpsFix& fix, std::unique_lock<platform::CriticalSection>& guard);
  void WriteMessageFile(const gps::GpsFix& fix, double signedDistance, std::string_view text) const;

  platform::CriticalSection& lock_;
  EngineOutput& output_;
  const PoiSource* source_ = nullptr;
  EngineSettings settings_;

  std::atomic<double> watchAngle_{18};
  std::atomic<double> directionTolerance_{27};
  std::atomic<int> speedsToAverage_{0};
  std::atomic<double> speedLimitKmh_{0};
  std::atomic<bool> speedAlarmRaised_{false};
  double averageSpeedKmh_ = 0;

  EngineFix fix_;
  FixHistory history_;
  std::array<PoiCandidate, kMaxCandidates> candidates_{};
  size_t candidateCount_ = 0;
  double searchRadius_ = 0;
  // Under lock_.
  std::array<TrackedPoi, kMaxTrackedPois> tracked_{};
  EngineResults results_;
};

}  // namespace warner
