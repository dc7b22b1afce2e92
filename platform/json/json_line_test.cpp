#include "platform/json/json_line.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(JsonLine, EscapesControlAndQuoteCharacters) {
  EXPECT_EQ(JsonLine().Text("s", "a\"b\\c\r\x01").Finish(), "{\"s\":\"a\\\"b\\\\c\\u000d\\u0001\"}\n");
  EXPECT_EQ(JsonLine().Real("x", 1.0 / 0.0).Int("n", -3).Finish(), "{\"x\":null,\"n\":-3}\n");
}

}  // namespace
}  // namespace platform
