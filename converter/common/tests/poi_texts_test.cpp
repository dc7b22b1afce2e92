#include "converter/common/poi_texts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace converter {
namespace {

TEST(PoiTexts, TextsSurviveTheStoreGrowingUnderThem) {
  PoiTexts texts;
  std::vector<PoiText> handles;
  std::vector<std::string> expected;
  // Far beyond the first allocation, so the store moves several times.
  for (int i = 0; i < 5000; ++i) {
    expected.push_back(std::to_string(i) + std::string(static_cast<size_t>(i % 200), 'a' + i % 26));
    handles.push_back(texts.Add(expected.back()));
  }
  for (size_t i = 0; i < handles.size(); ++i) ASSERT_EQ(texts.View(handles[i]), expected[i]) << i;
  EXPECT_EQ(texts.Size(), [&] {
    size_t sum = 0;
    for (const std::string& s : expected) sum += s.size();
    return sum;
  }());
}

TEST(PoiTexts, TextsAreCutTo254BytesAndEmptyOnesTakeNoRoom) {
  PoiTexts texts;
  const PoiText none;
  EXPECT_EQ(texts.View(none), "");
  const PoiText empty = texts.Add("");
  EXPECT_EQ(texts.View(empty), "");
  EXPECT_EQ(texts.Size(), 0u);
  const PoiText full = texts.Add(std::string(254, 'f'));
  const PoiText cut = texts.Add(std::string(300, 'c'));
  EXPECT_EQ(texts.View(full), std::string(254, 'f'));
  EXPECT_EQ(texts.View(cut), std::string(254, 'c'));
  EXPECT_EQ(texts.View(none), "");
}

TEST(PoiTexts, InPlaceWritingKeepsOnlyWhatIsFinished) {
  PoiTexts texts;
  texts.Reserve(PoiTexts::kMaxLength);
  const PoiText first = texts.Add("one");
  char* at = texts.Start();
  std::memcpy(at, "two-and-more", 12);
  const PoiText second = texts.Finish(3);
  // Started but given up: the next text takes its place.
  std::memcpy(texts.Start(), "junk", 4);
  const PoiText third = texts.Add("three");
  EXPECT_EQ(texts.View(first), "one");
  EXPECT_EQ(texts.View(second), "two");
  EXPECT_EQ(texts.View(third), "three");
  EXPECT_EQ(texts.Size(), 11u);

  texts.Clear();
  EXPECT_EQ(texts.Size(), 0u);
  EXPECT_EQ(texts.View(texts.Add("again")), "again");
}

}  // namespace
}  // namespace converter
