#include "platform/memory/prefault.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstring>
#include <memory>

namespace platform {
namespace {

long MinorFaults() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

TEST(BackgroundPrefault, MapsTheBlockSoTheFillerTakesNoFaults) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "ThreadSanitizer's shadow memory faults on every write; the count says nothing there";
#endif
  constexpr size_t kBytes = 64u << 20;
  std::unique_ptr<char[]> block(new char[kBytes]);
  BackgroundPrefault prefault(block.get(), kBytes);
  ASSERT_TRUE(prefault.Wait());
  const long before = MinorFaults();
  std::memset(block.get(), 1, kBytes);
  // Without the prefault the memset alone takes one fault per page (16384); AddressSanitizer
  // adds about one per eight pages for its shadow.
  EXPECT_LT(MinorFaults() - before, static_cast<long>(kBytes / 4096 / 2));
}

TEST(BackgroundPrefault, StopsEarlyAndCopesWithTinyBlocks) {
  char small[16] = {};
  BackgroundPrefault tiny(small, sizeof small);
  EXPECT_TRUE(tiny.Wait());
  std::unique_ptr<char[]> block(new char[256u << 20]);
  { BackgroundPrefault abandoned(block.get(), 256u << 20); }  // must stop and join, not hang
}

}  // namespace
}  // namespace platform
