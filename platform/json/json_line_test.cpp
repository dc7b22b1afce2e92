#include "platform/json/json_line.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(JsonLine, EscapesControlAndQuoteCharacters) {
  EXPECT_EQ(JsonLine().Text("s", "a\"b\\c\r\x01").Finish(), "{\"s\":\"a\\\"b\\\\c\\u000d\\u0001\"}\n");
  EXPECT_EQ(JsonLine().Real("x", 1.0 / 0.0).Int("n", -3).Finish(), "{\"x\":null,\"n\":-3}\n");
  // UTF-8 stays whole; a Windows-1252 degree sign becomes its UTF-8 character.
  EXPECT_EQ(JsonLine()
                .Text("d",
                      "90\xC2\xB0 Stra\xC3\x9F"
                      "e")
                .Text("w", "7\xB0")
                .Finish(),
            "{\"d\":\"90\xC2\xB0 Stra\xC3\x9F"
            "e\",\"w\":\"7\xC2\xB0\"}\n");
}

}  // namespace
}  // namespace platform
