// The display thread reads the engine's results while the worker processes fixes: every
// snapshot must be one consistent state.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "warner/core/engine/tests/engine_test_util.h"

namespace warner::test {
namespace {

TEST(EngineThreads, SnapshotsAreConsistentWhileFixesAreProcessed) {
  constexpr Point kStart{11.0, 48.0};
  EngineRig rig;
  // A POI every 40 m along the road, each with its own category text.
  for (int i = 0; i < 200; ++i) rig.Add(RecordAt(Offset(kStart, 100 + i * 40.0, (i % 5) - 2.0), 150));
  rig.Load();

  std::atomic<bool> done{false};
  std::atomic<int> snapshots{0};
  std::thread display([&] {
    while (!done.load()) {
      const EngineResults results = rig.engine.Snapshot();
      int used = 0;
      for (const TrackedPoi& poi : results.tracked) used += poi.state != kTrackedFree;
      // The fix in progress may have cleared the counts, never left them half-written.
      if (results.trackedCount != 0) {
        EXPECT_EQ(results.trackedCount, used);
      }
      if (results.lastAnnouncedPoi >= 0) {
        EXPECT_EQ(results.Text(), std::string(rig.table.CategoryText(results.lastAnnouncedPoi)));
      }
      rig.engine.SignedDistance(results.lastAnnouncedPoi);
      snapshots.fetch_add(1);
    }
  });
  int announced = 0;
  for (int step = 0; step < 2000; ++step) {
    announced += rig.Drive(Offset(kStart, step * 4.0, 0), 0, 60, step * 250) == 1;
    if (step % 100 == 0) rig.engine.SetWatchAngle(step % 200 ? 18 : 25);
  }
  done.store(true);
  display.join();
  EXPECT_GT(announced, 150);
  EXPECT_GT(snapshots.load(), 0);
}

}  // namespace
}  // namespace warner::test
