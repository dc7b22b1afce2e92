#include "errors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

namespace platform {
namespace {

TEST(Errors, LastErrorIsPerThread) {
  SetLastError(kErrorNotReady);
  uint32_t seenOnOtherThread = 999;
  std::thread([&] {
    seenOnOtherThread = GetLastError();
    SetLastError(kErrorInvalidData);
  }).join();
  EXPECT_EQ(seenOnOtherThread, kErrorSuccess);
  EXPECT_EQ(GetLastError(), kErrorNotReady);
}

TEST(Errors, ErrnoValuesMapToTheNumbersTheProgramsTestFor) {
  EXPECT_EQ(ErrorFromErrno(ENOENT), 2u);
  EXPECT_EQ(ErrorFromErrno(ENOTDIR), 3u);
  EXPECT_EQ(ErrorFromErrno(EMFILE), 4u);
  EXPECT_EQ(ErrorFromErrno(EACCES), 5u);
  EXPECT_EQ(ErrorFromErrno(EAGAIN), 21u);
  EXPECT_EQ(ErrorFromErrno(ENODEV), 55u);
  EXPECT_EQ(ErrorFromErrno(ENXIO), 55u);
  EXPECT_EQ(ErrorFromErrno(EBUSY), 2404u);
  EXPECT_EQ(SetLastErrorFromErrno(ENOENT), kErrorFileNotFound);
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
}

TEST(Errors, EveryNumberHasAText) {
  for (uint32_t code : {0u, 2u, 3u, 4u, 5u, 13u, 21u, 38u, 55u, 110u, 234u, 259u, 1018u, 2404u, 8255u}) {
    const std::string text = ErrorText(code);
    EXPECT_FALSE(text.empty()) << code;
    EXPECT_EQ(text.find("Unknown"), std::string::npos) << code;
    EXPECT_NE(text.back(), '\n') << code;
  }
  EXPECT_EQ(ErrorText(424242), "Unknown error 424242.");
}

}  // namespace
}  // namespace platform
