#include "warner/core/engine/warning_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "formats/snt/snt_format.h"
#include "platform/text/text.h"
#include "warner/core/engine/search_window.h"

namespace warner {
namespace {

double NormalisedAngle(double angle) {
  if (!std::isfinite(angle)) return 0;
  angle = std::fmod(angle, 360.0);
  return angle < 0 ? angle + 360.0 : angle;
}

// Cut at a character boundary, so that a long text never leaves half a character behind.
void CopyText(std::array<char, kAnnouncementTextSize>& to, std::string_view text) {
  text = text.substr(0, platform::Utf8CompleteLength(text.substr(0, to.size() - 1)));
  std::copy(text.begin(), text.end(), to.begin());
  to[text.size()] = '\0';
}

VehicleState VehicleOf(const EngineFix& fix) {
  return {fix.longitude, fix.latitude, fix.altitude, fix.course, fix.speedKmh};
}

}  // namespace

WarningEngine::WarningEngine(platform::CriticalSection& gpsFixLock, EngineOutput& output)
    : lock_(gpsFixLock), output_(output) {
  ApplySettings(settings_);
}

void WarningEngine::SetDatabase(const PoiSource* source) {
  std::lock_guard guard(lock_);
  source_ = source;
  candidateCount_ = 0;
  tracked_.fill(TrackedPoi{});
}

void WarningEngine::ApplySettings(const EngineSettings& settings) {
  settings_ = settings;
  SetWatchAngle(settings.watchAngle);
  SetDirectionTolerance(settings.directionToleranceAngle);
  SetSpeedLimit(settings.speedsToAverage, settings.speedLimitKmh);
}

void WarningEngine::SetWatchAngle(double angle) { watchAngle_.store(NormalisedAngle(angle)); }

void WarningEngine::SetDirectionTolerance(double angle) { directionTolerance_.store(NormalisedAngle(angle)); }

void WarningEngine::SetSpeedLimit(int speedsToAverage, double limitKmh) {
  speedsToAverage_.store(speedsToAverage > kMaxSpeedsToAverage ? kMaxSpeedsToAverage
                         : speedsToAverage < 1                 ? 0
                                                               : speedsToAverage);
  speedLimitKmh_.store(limitKmh);
  speedAlarmRaised_.store(false);
}

int WarningEngine::ProcessFix(gps::GpsFix& fix) {
  gps::GpsFix current;
  {
    std::lock_guard guard(lock_);
    results_.candidateCount = 0;
    results_.trackedCount = 0;
    if ((fix.validMask & gps::kValidFixComplete) != gps::kValidFixComplete) return -1;
    current = fix;
  }
  if (settings_.writeActPos > 0) output_.CurrentPositionDue(current);
  SetFix(current.longitude, current.latitude, current.altitude, current.course, current.speedKmh, current.timeOfDayMs);
  if (speedsToAverage_.load() > 0 && CheckSpeedLimit() > 0) {
    output_.SpeedAlarmRaised(averageSpeedKmh_);
    output_.PlaySound(settings_.speedLimitWavFile, kFallbackSound);
  }
  const int candidates = FindCandidates();

  std::unique_lock guard(lock_);
  // The next evaluation needs a new position, speed and course.
  fix.validMask = 0;
  results_.candidateCount = candidates;
  const int tracked = UpdateTrackedPois();
  results_.trackedCount = tracked;
  const int slot = tracked > 0 ? FirstNewTrackedPoi() : -1;
  if (slot < 0) return 0;
  Announce(slot, current, guard);
  return 1;
}

void WarningEngine::Announce(int slot, const gps::GpsFix& fix, std::unique_lock<platform::CriticalSection>& guard) {
  const TrackedPoi& poi = tracked_[static_cast<size_t>(slot)];
  const int32_t poiIndex = poi.poiIndex;
  const std::string_view category = source_->CategoryText(poiIndex);
  results_.lastAnnouncedPoi = poiIndex;
  CopyText(results_.text, source_->AnnouncementText(poiIndex));
  CopyText(results_.bitmapPath, source_->PoiBitmapPath(poiIndex));
  results_.signedDistance = SignedDistanceOf(poi);
  results_.bearing = poi.bearing;
  const int openTime = settings_.announceOpenTime < 1 ? 10 : settings_.announceOpenTime;
  output_.Announced({poiIndex, results_.Text(), results_.BitmapPath(), results_.signedDistance, results_.bearing,
                     fix.hour, fix.minute, fix.second, openTime * 1000});
  // The display may clear the results as soon as the lock is released.
  const std::array<char, kAnnouncementTextSize> text = results_.text;
  const double signedDistance = results_.signedDistance;
  guard.unlock();

  output_.PlayPoiSound(poiIndex, category, kFallbackSound);
  SetTrackedState(poiIndex, kTrackedAnnouncing);
  SetTrackedState(poiIndex, kTrackedAnnounced);
  if (!settings_.registeredMessageName.empty()) output_.PostRegisteredMessage(settings_.registeredMessageName);
  if (!settings_.fileMessageName.empty()) WriteMessageFile(fix, signedDistance, text.data());
}

void WarningEngine::WriteMessageFile(const gps::GpsFix& fix, double signedDistance, std::string_view text) const {
  char line[520];
  const int length = std::snprintf(line, sizeof line, "GPS Time: %02d:%02d:%02d, Dist: %.2fm, Anno: %.*s", fix.hour,
                                   fix.minute, fix.second, signedDistance, static_cast<int>(text.size()), text.data());
  if (length < 0) return;
  const size_t size = std::min(static_cast<size_t>(length), sizeof line - 1);
  std::FILE* file = std::fopen(settings_.fileMessageName.c_str(), "wb");
  if (file == nullptr) return;
  const bool written = std::fwrite(line, 1, size, file) == size;
  if (std::fclose(file) == 0 && written) output_.MessageFileWritten(settings_.fileMessageName, {line, size});
}

void WarningEngine::SetFix(double longitude, double latitude, double altitude, double course, double speedKmh,
                           int32_t timeOfDayMs) {
  FixSample sample{longitude, latitude, altitude, course, speedKmh, timeOfDayMs};
  if (history_.count == static_cast<int>(kFixHistorySize)) {
    std::move(history_.samples.begin() + 1, history_.samples.end(), history_.samples.begin());
    history_.samples.back() = sample;
  } else {
    history_.samples[static_cast<size_t>(history_.count++)] = sample;
  }

  fix_.longitude = longitude;
  fix_.latitude = latitude;
  fix_.longitudeRad = longitude * kRadiansPerDegree;
  fix_.sinLongitude = std::sin(fix_.longitudeRad);
  fix_.cosLongitude = std::cos(fix_.longitudeRad);
  fix_.latitudeRad = latitude * kRadiansPerDegree;
  fix_.sinLatitude = std::sin(fix_.latitudeRad);
  fix_.cosLatitude = std::cos(fix_.latitudeRad);
  fix_.altitude = altitude;
  fix_.course = course;
  fix_.courseRad = course * kRadiansPerDegree;
  fix_.sinCourse = std::sin(fix_.courseRad);
  fix_.cosCourse = std::cos(fix_.courseRad);
  fix_.speedKmh = speedKmh;
  fix_.speedMs = speedKmh * kMetresPerSecondPerKmh;
  fix_.timeOfDayMs = timeOfDayMs;
}

int WarningEngine::CheckSpeedLimit() {
  const int speeds = speedsToAverage_.load();
  const double limit = speedLimitKmh_.load();
  if (speeds < 1 || limit <= 0 || history_.count == 0 || fix_.speedKmh <= limit) {
    speedAlarmRaised_.store(false);
    return 0;
  }
  const int used = std::min(speeds, history_.count);
  double sum = 0;
  for (int i = history_.count - used; i < history_.count; ++i) sum += history_.samples[static_cast<size_t>(i)].speed;
  averageSpeedKmh_ = sum / used;
  if (averageSpeedKmh_ <= limit) {
    speedAlarmRaised_.store(false);
    return 0;
  }
  return speedAlarmRaised_.exchange(true) ? -1 : 1;
}

int WarningEngine::FindCandidates() {
  if (!HasDatabase()) return -1;
  candidateCount_ = 0;
  // A standing vehicle finds nothing; the search would only confirm it.
  if (!(fix_.speedKmh > 0)) return 0;
  // A record with metre distance 0 warns within the default distance, so the radius covers it.
  searchRadius_ = std::max({static_cast<double>(source_->MaxWarnMetres()),
                            snt::MetresForSeconds(source_->MaxWarnSeconds(), fix_.speedMs), kDefaultWarningMetres});
  const SearchWindow window = settings_.testEveryRecord
                                  ? EveryRecord(*source_)
                                  : FindSearchWindow(*source_, fix_.longitude, fix_.latitude, searchRadius_);
  for (int range = 0; range < window.count; ++range) {
    for (int32_t index = window.ranges[static_cast<size_t>(range)].begin;
         index < window.ranges[static_cast<size_t>(range)].end; ++index) {
      if (candidateCount_ == kMaxCandidates) return static_cast<int>(candidateCount_);
      const PoiRecord record = source_->Record(index);
      if (record.latitude < window.south || record.latitude > window.north) continue;
      double distance = 0, bearing = 0;
      if (IsCandidate(record, distance, bearing)) {
        candidates_[candidateCount_++] = {index, 1, bearing, distance};
      }
    }
  }
  return static_cast<int>(candidateCount_);
}

int32_t WarningEngine::DirectionFlag(double bearing, double course) const {
  const double angle = watchAngle_.load(std::memory_order_relaxed);
  const double d = std::fabs(bearing - course);
  return d > angle && d < 360.0 - angle ? -1 : 1;
}

int WarningEngine::UpdateTrackedPois() {
  std::lock_guard guard(lock_);
  if (!HasDatabase()) return -1;
  const int32_t recordCount = source_->RecordCount();
  const VehicleState vehicle = VehicleOf(fix_);
  for (TrackedPoi& poi : tracked_) {
    if (poi.state < kTrackedNew) continue;
    if (poi.poiIndex < 0 || poi.poiIndex >= recordCount) {
      poi.state = kTrackedFree;
      continue;
    }
    const PoiRecord record = source_->Record(poi.poiIndex);
    poi.current = vehicle;
    poi.distance = Distance(record);
    poi.bearing = Bearing(record);
    poi.directionFlag = DirectionFlag(poi.bearing, fix_.course);
    // Left behind: it may be announced again when the vehicle comes back.
    if (std::fabs(poi.distance) > std::fabs(poi.dropDistance)) poi.state = kTrackedFree;
  }

  for (PoiCandidate& candidate : std::span(candidates_.data(), candidateCount_)) {
    for (const TrackedPoi& poi : tracked_) {
      if (poi.state != kTrackedFree && poi.poiIndex == candidate.poiIndex) candidate.inUse = 0;
    }
  }
  size_t free = 0;
  for (const PoiCandidate& candidate : std::span(candidates_.data(), candidateCount_)) {
    if (candidate.inUse != 1) continue;
    while (free < kMaxTrackedPois && tracked_[free].state != kTrackedFree) ++free;
    if (free == kMaxTrackedPois) break;
    TrackedPoi& poi = tracked_[free];
    poi.poiIndex = candidate.poiIndex;
    poi.state = kTrackedNew;
    poi.first = poi.current = vehicle;
    poi.firstBearing = poi.bearing = candidate.bearing;
    poi.firstDistance = poi.distance = candidate.distance;
    poi.dropDistance = candidate.distance * kDropFactor;
    poi.directionFlag = DirectionFlag(candidate.bearing, fix_.course);
  }

  // Compact, then order by distance: an insertion sort keeps equal distances in table order.
  size_t used = 0;
  for (size_t slot = 0; slot < kMaxTrackedPois; ++slot) {
    if (tracked_[slot].state == kTrackedFree) continue;
    if (slot != used) {
      tracked_[used] = tracked_[slot];
      tracked_[slot] = TrackedPoi{};
    }
    ++used;
  }
  for (size_t i = 1; i < used; ++i) {
    const TrackedPoi moving = tracked_[i];
    size_t j = i;
    for (; j > 0 && moving.distance < tracked_[j - 1].distance; --j) tracked_[j] = tracked_[j - 1];
    tracked_[j] = moving;
  }
  return static_cast<int>(used);
}

int WarningEngine::FirstNewTrackedPoi() const {
  std::lock_guard guard(lock_);
  for (size_t slot = 0; slot < kMaxTrackedPois; ++slot) {
    if (tracked_[slot].state == kTrackedNew) return static_cast<int>(slot);
  }
  return -1;
}

double WarningEngine::Distance(const PoiRecord& record) const {
  const double latitude = record.latitude * kRadiansPerPoiUnit;
  const double longitude = record.longitude * kRadiansPerPoiUnit;
  return kEarthRadiusMetres *
         std::acos(fix_.sinLatitude * std::sin(latitude) +
                   fix_.cosLatitude * std::cos(latitude) * std::cos(longitude - fix_.longitudeRad));
}

double WarningEngine::Bearing(const PoiRecord& record) const {
  const double latitude = record.latitude * kRadiansPerPoiUnit;
  const double delta = record.longitude * kRadiansPerPoiUnit - fix_.longitudeRad;
  double bearing =
      std::atan2(std::sin(delta) * std::cos(latitude),
                 fix_.cosLatitude * std::sin(latitude) - fix_.sinLatitude * std::cos(latitude) * std::cos(delta)) *
      kDegreesPerRadian;
  if (bearing != 0) bearing = std::fmod(bearing, 360.0);
  return bearing < 0 ? bearing + 360.0 : bearing;
}

double WarningEngine::WarningDistance(const PoiRecord& record) const {
  const double distance = snt::WarningMetres(record.warnDistance, fix_.speedMs);
  return distance > 0 ? distance : kDefaultWarningMetres;
}

double WarningEngine::PoiDirection(const PoiRecord& record) { return snt::DirectionDegrees(record.direction); }

bool WarningEngine::DirectionMatches(const PoiRecord& record, double& direction) const {
  const double tolerance =
      watchAngle_.load(std::memory_order_relaxed) + directionTolerance_.load(std::memory_order_relaxed);
  if (tolerance < 0 || tolerance >= 360.0) return true;
  direction = PoiDirection(record);
  if (direction < 0) return true;
  const double d = std::fabs(direction - fix_.course);
  if (d <= tolerance || d >= 360.0 - tolerance) return true;
  if (!snt::AppliesBothWays(record.direction)) return false;
  direction = NormalisedAngle(direction - 180.0);
  const double reverse = std::fabs(direction - fix_.course);
  return !(reverse > tolerance && reverse < 360.0 - tolerance);
}

bool WarningEngine::IsCandidate(const PoiRecord& record, double& distance, double& bearing) const {
  distance = Distance(record);
  if (!(std::fabs(distance) < WarningDistance(record) && fix_.speedKmh > 0)) return false;
  bearing = Bearing(record);
  const double angle = watchAngle_.load(std::memory_order_relaxed);
  if (angle < kNoWatchAngle) return true;
  double direction = 0;
  if (!DirectionMatches(record, direction)) return false;
  const double d = std::fabs(bearing - fix_.course);
  return d <= angle || d >= 360.0 - angle;
}

int WarningEngine::TrackedSlot(int32_t poiIndex) const {
  std::lock_guard guard(lock_);
  for (size_t slot = 0; slot < kMaxTrackedPois; ++slot) {
    if (tracked_[slot].state >= kTrackedNew && tracked_[slot].poiIndex == poiIndex) return static_cast<int>(slot);
  }
  return -1;
}

double WarningEngine::SignedDistanceOf(const TrackedPoi& poi) const {
  return poi.directionFlag < 1 ? -poi.distance : poi.distance;
}

double WarningEngine::SignedDistance(int32_t poiIndex) const {
  std::lock_guard guard(lock_);
  const int slot = TrackedSlot(poiIndex);
  return slot < 0 ? 0.0 : SignedDistanceOf(tracked_[static_cast<size_t>(slot)]);
}

double WarningEngine::CurrentBearing(int32_t poiIndex) const {
  std::lock_guard guard(lock_);
  const int slot = TrackedSlot(poiIndex);
  return slot < 0 ? 0.0 : tracked_[static_cast<size_t>(slot)].bearing;
}

void WarningEngine::SetTrackedState(int32_t poiIndex, int32_t state) {
  std::lock_guard guard(lock_);
  const int slot = TrackedSlot(poiIndex);
  if (slot >= 0) tracked_[static_cast<size_t>(slot)].state = state;
}

std::string WarningEngine::AnnouncementText(int32_t poiIndex) const {
  std::lock_guard guard(lock_);
  if (!HasDatabase() || poiIndex < 0 || poiIndex >= source_->RecordCount()) return {};
  return source_->AnnouncementText(poiIndex);
}

std::string WarningEngine::PoiBitmapPath(int32_t poiIndex) const {
  std::lock_guard guard(lock_);
  if (!HasDatabase() || poiIndex < 0 || poiIndex >= source_->RecordCount()) return {};
  return source_->PoiBitmapPath(poiIndex);
}

void WarningEngine::PlayPoiSound(int32_t poiIndex) const {
  if (!HasDatabase() || poiIndex < 0 || poiIndex >= source_->RecordCount()) return;
  output_.PlayPoiSound(poiIndex, source_->CategoryText(poiIndex), kFallbackSound);
}

void WarningEngine::ResetEngine() {
  fix_ = EngineFix{};
  history_ = FixHistory{};
  speedAlarmRaised_.store(false);
}

void WarningEngine::ClearTrackedPois() {
  std::lock_guard guard(lock_);
  tracked_.fill(TrackedPoi{});
}

void WarningEngine::ClearAnnouncement() {
  std::lock_guard guard(lock_);
  results_.text[0] = '\0';
  results_.bitmapPath[0] = '\0';
}

EngineResults WarningEngine::Snapshot() const {
  std::lock_guard guard(lock_);
  EngineResults copy = results_;
  copy.tracked = tracked_;
  return copy;
}

}  // namespace warner
