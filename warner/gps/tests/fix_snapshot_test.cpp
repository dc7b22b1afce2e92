// Readers on other threads (displays, position records) must never see a fix that mixes two
// sentences. Run under ThreadSanitizer this also proves that no access to the fix is unguarded.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <string>
#include <thread>

#include "warner/gps/nmea_decoder.h"
#include "warner/gps/tests/nmea_test_util.h"

namespace gps {
namespace {

using testing::FramerHarness;
using testing::Nmea;

TEST(FixSnapshot, ReadersSeeWholeSentencesWhileTheWorkerParses) {
  FramerHarness h;
  // Two fixes whose fields differ everywhere; a torn copy would pair values of both.
  const std::string a = Nmea("GPRMC,010101,A,1000.000,N,02000.000,E,010.0,010.0,010101,,");
  const std::string b = Nmea("GPRMC,020202,A,3000.000,S,04000.000,W,020.0,020.0,020202,,");
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::atomic<int> reads{0};

  std::thread reader([&] {
    while (!done) {
      const GpsFix f = h.decoder.Snapshot();
      const bool isA = f.hour == 1 && f.latitude == 10.0 && f.longitude == 20.0 && f.day == 1 && f.course == 10.0;
      const bool isB = f.hour == 2 && f.latitude == -30.0 && f.longitude == -40.0 && f.day == 2 && f.course == 20.0;
      const bool empty = f.hour == 0 && f.validMask == 0;
      if (!isA && !isB && !empty) ++torn;
      ++reads;
    }
  });
  // The engine's side: consume the validity bits under the lock while the parser runs.
  std::thread consumer([&] {
    while (!done) {
      std::lock_guard guard(h.decoder.GpsFixLock());
      h.decoder.FixUnderLock().validMask = 0;
    }
  });
  for (int i = 0; i < 20000; ++i) h.Parse(i % 2 ? a : b);
  done = true;
  reader.join();
  consumer.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_GT(reads.load(), 0);
}

}  // namespace
}  // namespace gps
