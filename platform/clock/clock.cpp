#include "platform/clock/clock.h"

#include <ctime>

namespace platform {

namespace {

constexpr int64_t kMsPerSecond = 1000;

int64_t NowEpochMs() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return int64_t{now.tv_sec} * kMsPerSecond + now.tv_nsec / 1'000'000;
}

// Splits milliseconds into whole seconds and the remainder, rounding down also before 1970.
time_t FloorSeconds(int64_t epochMs) {
  int64_t seconds = epochMs / kMsPerSecond;
  if (epochMs % kMsPerSecond < 0) --seconds;
  return static_cast<time_t>(seconds);
}

SystemTime FromTm(const tm& fields, int64_t epochMs) {
  SystemTime t;
  t.year = static_cast<uint16_t>(fields.tm_year + 1900);
  t.month = static_cast<uint16_t>(fields.tm_mon + 1);
  t.dayOfWeek = static_cast<uint16_t>(fields.tm_wday);
  t.day = static_cast<uint16_t>(fields.tm_mday);
  t.hour = static_cast<uint16_t>(fields.tm_hour);
  t.minute = static_cast<uint16_t>(fields.tm_min);
  t.second = static_cast<uint16_t>(fields.tm_sec);
  t.milliseconds = static_cast<uint16_t>(epochMs - int64_t{FloorSeconds(epochMs)} * kMsPerSecond);
  return t;
}

// localtime_r need not look at TZ again, so a zone changed at run time (tests do) is read here.
tm LocalFields(time_t seconds) {
  tzset();
  tm fields{};
  localtime_r(&seconds, &fields);
  return fields;
}

}  // namespace

uint32_t GetTickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms = uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1'000'000u;
  return static_cast<uint32_t>(ms);
}

SystemTime SystemTimeFromEpochMs(int64_t epochMs) {
  const time_t seconds = FloorSeconds(epochMs);
  tm fields{};
  gmtime_r(&seconds, &fields);
  return FromTm(fields, epochMs);
}

int64_t EpochMsFromSystemTime(const SystemTime& utc) {
  tm fields{};
  fields.tm_year = utc.year - 1900;
  fields.tm_mon = utc.month - 1;
  fields.tm_mday = utc.day;
  fields.tm_hour = utc.hour;
  fields.tm_min = utc.minute;
  fields.tm_sec = utc.second;
  return int64_t{timegm(&fields)} * kMsPerSecond + utc.milliseconds;
}

SystemTime GetSystemTime() { return SystemTimeFromEpochMs(NowEpochMs()); }

SystemTime GetLocalTime() {
  const int64_t epochMs = NowEpochMs();
  return FromTm(LocalFields(FloorSeconds(epochMs)), epochMs);
}

int TimeZoneBiasMinutes() {
  const tm fields = LocalFields(time(nullptr));
  return static_cast<int>(-fields.tm_gmtoff / 60);
}

ManualClock::ManualClock(uint32_t tick, int64_t utcEpochMs, int biasMinutes)
    : tick_(tick), utcEpochMs_(utcEpochMs), biasMinutes_(biasMinutes) {}

void ManualClock::SetTick(uint32_t tick) {
  std::lock_guard lock(mutex_);
  tick_ = tick;
}

void ManualClock::SetUtcTime(const SystemTime& utc) {
  std::lock_guard lock(mutex_);
  utcEpochMs_ = EpochMsFromSystemTime(utc);
}

void ManualClock::SetBiasMinutes(int biasMinutes) {
  std::lock_guard lock(mutex_);
  biasMinutes_ = biasMinutes;
}

void ManualClock::Advance(uint32_t ms) {
  std::lock_guard lock(mutex_);
  tick_ += ms;  // wraps like the real tick
  utcEpochMs_ += ms;
}

uint32_t ManualClock::TickCount() const {
  std::lock_guard lock(mutex_);
  return tick_;
}

SystemTime ManualClock::UtcTime() const {
  std::lock_guard lock(mutex_);
  return SystemTimeFromEpochMs(utcEpochMs_);
}

SystemTime ManualClock::LocalTime() const {
  std::lock_guard lock(mutex_);
  return SystemTimeFromEpochMs(utcEpochMs_ - int64_t{biasMinutes_} * 60 * kMsPerSecond);
}

}  // namespace platform
