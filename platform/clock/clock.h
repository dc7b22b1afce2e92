#pragma once
// Time as the handheld gave it to the programs: a 32-bit millisecond tick that wraps after about
// 49.7 days, the calendar time in UTC and local time, and the time-zone bias.

#include <cstdint>
#include <mutex>

namespace platform {

// A calendar time split into fields, as the handheld's system time record holds it.
struct SystemTime {
  uint16_t year = 0;
  uint16_t month = 0;      // 1..12
  uint16_t dayOfWeek = 0;  // 0 = Sunday
  uint16_t day = 0;        // 1..31
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t milliseconds = 0;
};

// Milliseconds of the monotonic clock, truncated to 32 bits: callers compare ticks by unsigned
// subtraction, which stays right across the wrap.
uint32_t GetTickCount();

SystemTime GetSystemTime();  // UTC
SystemTime GetLocalTime();   // in the zone TZ names (or the system's)

// UTC minus local time in minutes, at the current moment (Central Europe in winter: -60).
int TimeZoneBiasMinutes();

// Field-wise conversion between a UTC calendar time and milliseconds since 1970-01-01 UTC.
SystemTime SystemTimeFromEpochMs(int64_t epochMs);
int64_t EpochMsFromSystemTime(const SystemTime& utc);

// The time sources a component reads, so that a test can make time pass as it likes.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t TickCount() const = 0;
  virtual SystemTime UtcTime() const = 0;
  virtual SystemTime LocalTime() const = 0;
};

// The real clocks of the machine.
class SystemClock final : public Clock {
 public:
  uint32_t TickCount() const override { return GetTickCount(); }
  SystemTime UtcTime() const override { return GetSystemTime(); }
  SystemTime LocalTime() const override { return GetLocalTime(); }
};

// A clock that stands still until the test sets or advances it; tick and calendar time advance
// together, and local time is UTC minus a fixed bias. Safe to read from other threads.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(uint32_t tick = 0, int64_t utcEpochMs = 0, int biasMinutes = 0);

  void SetTick(uint32_t tick);
  void SetUtcTime(const SystemTime& utc);
  void SetBiasMinutes(int biasMinutes);
  void Advance(uint32_t ms);

  uint32_t TickCount() const override;
  SystemTime UtcTime() const override;
  SystemTime LocalTime() const override;

 private:
  mutable std::mutex mutex_;
  uint32_t tick_;
  int64_t utcEpochMs_;
  int biasMinutes_;
};

}  // namespace platform
