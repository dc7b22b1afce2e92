#include "platform/clock/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace platform {
namespace {

int64_t MinutesOfDay(const SystemTime& t) { return t.hour * 60 + t.minute; }

TEST(TickCount, FollowsTheMonotonicClockTruncatedTo32Bits) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const auto expected = static_cast<uint32_t>(uint64_t(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000);
  const uint32_t tick = GetTickCount();
  EXPECT_LT(tick - expected, 50u);  // unsigned difference, as callers compare ticks
}

TEST(EpochConversion, KnownDatesAndTheirWeekdays) {
  const SystemTime epoch = SystemTimeFromEpochMs(0);
  EXPECT_EQ(epoch.year, 1970);
  EXPECT_EQ(epoch.month, 1);
  EXPECT_EQ(epoch.day, 1);
  EXPECT_EQ(epoch.dayOfWeek, 4);  // a Thursday

  const SystemTime leap{2024, 2, 4, 29, 12, 34, 56, 789};
  EXPECT_EQ(EpochMsFromSystemTime(leap), 1709210096789);
  const SystemTime back = SystemTimeFromEpochMs(1709210096789);
  EXPECT_EQ(back.dayOfWeek, 4);
  EXPECT_EQ(back.day, 29);
  EXPECT_EQ(back.milliseconds, 789);
}

TEST(EpochConversion, MillisecondsBefore1970RoundDown) {
  const SystemTime t = SystemTimeFromEpochMs(-1);
  EXPECT_EQ(t.year, 1969);
  EXPECT_EQ(t.month, 12);
  EXPECT_EQ(t.day, 31);
  EXPECT_EQ(t.second, 59);
  EXPECT_EQ(t.milliseconds, 999);
  EXPECT_EQ(EpochMsFromSystemTime(t), -1);
}

// Sets TZ for one test and puts the old value back afterwards.
class TimeZone : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) saved_ = tz;
  }
  void TearDown() override {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  static void Use(const char* tz) { setenv("TZ", tz, 1); }

 private:
  std::optional<std::string> saved_;
};

TEST_F(TimeZone, BiasIsUtcMinusLocal) {
  Use("CET-1");
  EXPECT_EQ(TimeZoneBiasMinutes(), -60);
  Use("EST5");
  EXPECT_EQ(TimeZoneBiasMinutes(), 300);
  Use("UTC0");
  EXPECT_EQ(TimeZoneBiasMinutes(), 0);
}

TEST_F(TimeZone, LocalTimeIsUtcShiftedByTheZone) {
  Use("IST-5:30");
  const SystemTime utc = GetSystemTime();
  const SystemTime local = GetLocalTime();
  constexpr int64_t kMinutesPerDay = int64_t{24} * 60;
  const int64_t shift = (MinutesOfDay(local) - MinutesOfDay(utc) + kMinutesPerDay) % kMinutesPerDay;
  EXPECT_EQ(shift, 330);
  EXPECT_EQ(TimeZoneBiasMinutes(), -330);
}

TEST(ManualClockTest, AdvancesTickAndCalendarTogetherAcrossTheWrap) {
  ManualClock clock(0xFFFFFF00u, EpochMsFromSystemTime({2023, 12, 0, 31, 23, 59, 59, 900}), -60);
  const uint32_t start = clock.TickCount();
  clock.Advance(0x200);
  EXPECT_EQ(clock.TickCount(), 0x100u);
  EXPECT_EQ(clock.TickCount() - start, 0x200u);

  const SystemTime utc = clock.UtcTime();
  EXPECT_EQ(utc.year, 2024);
  EXPECT_EQ(utc.second, 0);
  EXPECT_EQ(utc.milliseconds, 412);
  const SystemTime local = clock.LocalTime();
  EXPECT_EQ(local.hour, 1);
  EXPECT_EQ(local.day, 1);
}

}  // namespace
}  // namespace platform
